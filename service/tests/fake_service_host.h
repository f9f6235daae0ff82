#pragma once
// An in-process service host: records every registration and status report and
// delivers controls to the registered handler on the calling thread, under the same
// rules as the real host (only between the first report that accepts stop and the
// stopped report).

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "service/service_manager.h"

namespace ixan::test {

struct HostCall {
    enum Kind { Register, Status } kind = Status;
    std::string serviceName;  // Register
    ServiceStatus status;     // Status
    std::uintptr_t statusHandle = 0;
    std::chrono::steady_clock::time_point at;
};

class FakeServiceHost final : public ServiceHost {
  public:
    // Every report fails when set.
    bool failReports = false;

    std::uintptr_t registerHandler(const std::string& serviceName,
                                   ServiceControlHandler handler) override;
    bool setStatus(std::uintptr_t statusHandle, const ServiceStatus& status) override;

    // The handler's result, nullopt when the host would not deliver the control now.
    std::optional<std::uint32_t> deliver(ServiceControl control);

    std::vector<HostCall> calls();
    std::vector<ServiceState> reportedStates();
    // Waits until `count` reports of `state` have been made.
    bool waitForReports(ServiceState state, std::size_t count, std::chrono::milliseconds timeout);

  private:
    std::recursive_mutex mutex_;
    std::condition_variable_any changed_;
    std::vector<HostCall> calls_;
    ServiceControlHandler handler_;
    bool accepting_ = false;
    bool stopped_ = false;
};

}  // namespace ixan::test
