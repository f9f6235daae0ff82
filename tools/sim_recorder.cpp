#include "tools/sim_recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ixan::sim {

std::unique_ptr<RequestRecorder> RequestRecorder::open(const std::string& path,
                                                       std::string& error) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
    if (!fd) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<RequestRecorder>(new RequestRecorder(std::move(fd)));
}

bool RequestRecorder::append(std::string_view bytes) {
    std::lock_guard lock(mutex_);
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_.get(), bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace ixan::sim
