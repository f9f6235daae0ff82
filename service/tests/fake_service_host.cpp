#include "service/tests/fake_service_host.h"

#include <algorithm>

namespace ixan::test {

namespace {
constexpr std::uintptr_t kHandle = 42;
}

std::uintptr_t FakeServiceHost::registerHandler(const std::string& serviceName,
                                                ServiceControlHandler handler) {
    std::lock_guard lock(mutex_);
    HostCall call;
    call.kind = HostCall::Register;
    call.serviceName = serviceName;
    call.at = std::chrono::steady_clock::now();
    calls_.push_back(call);
    handler_ = std::move(handler);
    changed_.notify_all();
    return kHandle;
}

bool FakeServiceHost::setStatus(std::uintptr_t statusHandle, const ServiceStatus& status) {
    std::lock_guard lock(mutex_);
    HostCall call;
    call.kind = HostCall::Status;
    call.status = status;
    call.statusHandle = statusHandle;
    call.at = std::chrono::steady_clock::now();
    calls_.push_back(call);
    if (status.currentState == ServiceState::Stopped) {
        stopped_ = true;
    } else if ((status.controlsAccepted & 0x1) != 0) {
        accepting_ = true;
    }
    changed_.notify_all();
    return !failReports && statusHandle == kHandle;
}

std::optional<std::uint32_t> FakeServiceHost::deliver(ServiceControl control) {
    std::lock_guard lock(mutex_);
    if (!accepting_ || stopped_ || !handler_) {
        return std::nullopt;
    }
    return handler_(control);
}

std::vector<HostCall> FakeServiceHost::calls() {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<ServiceState> FakeServiceHost::reportedStates() {
    std::lock_guard lock(mutex_);
    std::vector<ServiceState> out;
    for (const HostCall& c : calls_) {
        if (c.kind == HostCall::Status) {
            out.push_back(c.status.currentState);
        }
    }
    return out;
}

bool FakeServiceHost::waitForReports(ServiceState state, std::size_t count,
                                     std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        const auto n = std::count_if(calls_.begin(), calls_.end(), [&](const HostCall& c) {
            return c.kind == HostCall::Status && c.status.currentState == state;
        });
        return static_cast<std::size_t>(n) >= count;
    });
}

}  // namespace ixan::test
