#include "config_wizard/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/unique_fd.h"

namespace ixan {

namespace {

std::string failure(const char* call, const std::string& path, int error) {
    return std::string(call) + " " + path + ": " + std::strerror(error);
}

// Removes the temporary file unless it has been renamed into place.
class TempFileGuard {
  public:
    explicit TempFileGuard(std::string path) : path_(std::move(path)) {}
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;
    ~TempFileGuard() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    void release() { path_.clear(); }

  private:
    std::string path_;
};

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};

bool resolveTarget(const std::string& path, std::string& target, std::string& reason) {
    target = path;
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        std::unique_ptr<char, FreeDeleter> real(::realpath(path.c_str(), nullptr));
        if (!real) {
            reason = failure("realpath", path, errno);
            return false;
        }
        target = real.get();
    }
    return true;
}

bool writeAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

bool replaceFileAtomically(const std::string& path, std::string_view content, mode_t newFileMode,
                           std::string& reason) {
    if (path.empty()) {
        reason = "no file name given";
        return false;
    }
    std::string target;
    if (!resolveTarget(path, target, reason)) {
        return false;
    }
    struct stat old {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0;
    if (hadOld) {
        if (!S_ISREG(old.st_mode)) {
            reason = target + " is not a regular file";
            return false;
        }
        if (::access(target.c_str(), W_OK) != 0) {
            reason = failure("access", target, errno);
            return false;
        }
    }

    const auto slash = target.rfind('/');
    const std::string dir =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string tempPath = (dir == "/" ? "" : dir) + "/." + base + ".XXXXXX";
    UniqueFd fd(::mkostemp(tempPath.data(), O_CLOEXEC));
    if (!fd) {
        reason = failure("mkstemp", tempPath, errno);
        return false;
    }
    TempFileGuard guard(tempPath);

    if (hadOld) {
        // Best effort: an unprivileged process keeps its own owner.
        if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
            [[maybe_unused]] int ignored = ::fchown(fd.get(), static_cast<uid_t>(-1), old.st_gid);
        }
    }
    const mode_t mode = hadOld ? (old.st_mode & 07777) : newFileMode;
    if (::fchmod(fd.get(), mode) != 0) {
        reason = failure("fchmod", tempPath, errno);
        return false;
    }
    if (!writeAll(fd.get(), content)) {
        reason = failure("write", tempPath, errno);
        return false;
    }
    if (::fsync(fd.get()) != 0) {
        reason = failure("fsync", tempPath, errno);
        return false;
    }
    if (::close(fd.release()) != 0) {
        reason = failure("close", tempPath, errno);
        return false;
    }
    if (::rename(tempPath.c_str(), target.c_str()) != 0) {
        reason = failure("rename", tempPath + " -> " + target, errno);
        return false;
    }
    guard.release();
    // The rename is durable only once the folder is flushed; the new file is in place
    // either way, so a failure here is not one of the replacement.
    UniqueFd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd) {
        ::fsync(dirFd.get());
    }
    return true;
}

}  // namespace ixan
