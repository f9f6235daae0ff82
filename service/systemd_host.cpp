#include "service/systemd_host.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <thread>

#include "common/unique_fd.h"

namespace ixan {

namespace {

constexpr std::uintptr_t kStatusHandle = 1;
constexpr std::uint32_t kAcceptStop = 0x1;

// Resets a non-blocking eventfd.
void drainEventFd(int fd) {
    std::uint64_t count = 0;
    while (::read(fd, &count, sizeof count) > 0) {
    }
}

}  // namespace

std::string notifyMessage(ServiceState state) {
    switch (state) {
        case ServiceState::Running:
            return "READY=1";
        case ServiceState::StopPending:
            return "STOPPING=1";
        case ServiceState::StartPending:
            return "STATUS=starting";
        case ServiceState::Stopped:
            return "STATUS=stopped";
    }
    return "STATUS=unknown";
}

std::uintptr_t SystemdServiceHost::registerHandler(const std::string& /*serviceName*/,
                                                   ServiceControlHandler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
    return kStatusHandle;
}

bool SystemdServiceHost::setStatus(std::uintptr_t statusHandle, const ServiceStatus& status) {
    std::lock_guard lock(mutex_);
    if (status.currentState == ServiceState::Stopped) {
        stopped_ = true;
    } else if ((status.controlsAccepted & kAcceptStop) != 0 && !accepting_) {
        accepting_ = true;
        if (!pending_.empty()) {
            wakeDispatcher();
        }
    }
    if (statusHandle != kStatusHandle) {
        return false;
    }
    return sd_notify(0, notifyMessage(status.currentState).c_str()) > 0;
}

void SystemdServiceHost::wakeDispatcher() {
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
}

void SystemdServiceHost::deliverPending() {
    std::lock_guard lock(mutex_);
    if (stopped_) {
        pending_.clear();
        return;
    }
    while (accepting_ && !pending_.empty() && handler_) {
        const ServiceControl control = pending_.front();
        pending_.pop_front();
        handler_(control);
    }
}

bool SystemdServiceHost::dispatch(const ServiceTable& table) {
    const char* socket = std::getenv("NOTIFY_SOCKET");
    if (socket == nullptr || *socket == '\0' || !table.serviceMain) {
        return false;
    }
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    // Blocked before the service thread exists, so it inherits the mask and the
    // signals reach only the signalfd below.
    if (pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
        return false;
    }
    UniqueFd signals(::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK));
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!signals || !wake) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        wakeFd_ = wake.get();
    }

    bool finished = false;
    std::thread service;
    try {
        service = std::thread([this, &table, &finished] {
            table.serviceMain({kServiceName});
            std::lock_guard lock(mutex_);
            finished = true;
            wakeDispatcher();
        });
    } catch (const std::system_error&) {
        std::lock_guard lock(mutex_);
        wakeFd_ = -1;
        return false;
    }

    for (;;) {
        pollfd fds[2] = {{signals.get(), POLLIN, 0}, {wake.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            // No way left to hear a stop request: stop now rather than run unstoppable.
            std::lock_guard lock(mutex_);
            pending_.push_back(ServiceControl::Stop);
        }
        if ((fds[0].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            while (::read(signals.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                std::lock_guard lock(mutex_);
                pending_.push_back(ServiceControl::Stop);
            }
        }
        if ((fds[1].revents & POLLIN) != 0) {
            drainEventFd(wake.get());
        }
        deliverPending();
        std::lock_guard lock(mutex_);
        if (finished) {
            break;
        }
    }
    service.join();
    std::lock_guard lock(mutex_);
    wakeFd_ = -1;
    return true;
}

}  // namespace ixan
