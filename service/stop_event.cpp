#include "service/stop_event.h"

#include <poll.h>
#include <sys/eventfd.h>

#include <cerrno>
#include <cstdint>

namespace ixan {

std::optional<StopEvent> StopEvent::create() {
    UniqueFd fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!fd) {
        return std::nullopt;
    }
    return StopEvent(std::move(fd));
}

bool StopEvent::set() {
    const std::uint64_t one = 1;
    for (;;) {
        const ssize_t n = ::write(fd_.get(), &one, sizeof one);
        if (n == static_cast<ssize_t>(sizeof one)) {
            return true;
        }
        // EAGAIN: the counter is at its limit, which means set already.
        if (n < 0 && errno == EAGAIN) {
            return true;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return false;
    }
}

WaitResult StopEvent::wait(std::chrono::milliseconds timeout) {
    pollfd p{fd_.get(), POLLIN, 0};
    const int n = ::poll(&p, 1, static_cast<int>(timeout.count()));
    if (n > 0 && (p.revents & POLLIN) != 0) {
        return WaitResult::Signalled;
    }
    return n == 0 ? WaitResult::TimedOut : WaitResult::Failed;
}

}  // namespace ixan
