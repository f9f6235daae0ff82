#pragma once
// The service manager as pollwerk and ixan-config see it. The real implementation is
// systemd (unit file, systemctl, sd_notify); tests use an in-process fake host.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ixan {

inline constexpr const char* kServiceName = "IXAN";
inline constexpr const char* kServiceDisplayName = "IXAN Pollwerk";

enum class ServiceState : std::uint32_t {
    Stopped = 1,
    StartPending = 2,
    StopPending = 3,
    Running = 4,
};

enum class ServiceControl : std::uint32_t {
    Stop = 1,
    Pause = 2,
    Continue = 3,
    Interrogate = 4,
    Shutdown = 5,
};

// What the runtime hands to every status report.
struct ServiceStatus {
    std::uint32_t serviceType = 0x10;  // own process
    ServiceState currentState = ServiceState::Running;
    std::uint32_t controlsAccepted = 0x5;  // stop and shutdown
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
};

using ServiceControlHandler = std::function<std::uint32_t(ServiceControl control)>;

// The side of the service manager that a running service talks to.
//
// The host calls the handler on a thread other than the service's, one control at a
// time, and only between the first report that accepts stop and the stopped report:
// once setStatus with ServiceState::Stopped has returned, the handler is not called
// again, so it may refer to state that dies with the service. The handler may call
// setStatus itself.
class ServiceHost {
  public:
    virtual ~ServiceHost() = default;
    // Registers the control handler under the service name; returns a status handle
    // (0 when the registration failed).
    virtual std::uintptr_t registerHandler(const std::string& serviceName,
                                           ServiceControlHandler handler) = 0;
    // false when the report could not be delivered; the state counts as reported anyway.
    virtual bool setStatus(std::uintptr_t statusHandle, const ServiceStatus& status) = 0;
};

// The registration of pollwerk as a service.
struct ServiceRegistration {
    std::string name = kServiceName;
    std::string displayName = kServiceDisplayName;
    std::string programPath;
};

// The administrative side: install, remove, stop and start. Every call stands for one
// request; nothing is held between calls. Failures carry the system's error code where
// there is one. Not thread-safe; one request at a time.
class ServiceManager {
  public:
    virtual ~ServiceManager() = default;
    // false when the service manager cannot be reached or changed (not running, or no
    // right to change it). Call it first; the other calls assume it succeeded.
    virtual bool open() = 0;
    virtual bool serviceExists(const std::string& name) = 0;
    // Registers an automatically started service. On failure nothing of the
    // registration is left and errorCode holds the reason.
    virtual bool createService(const ServiceRegistration& registration, int& errorCode) = 0;
    // false when the registration is still there afterwards.
    virtual bool deleteService(const std::string& name) = 0;
    // Stops the service and returns once it has stopped.
    virtual bool stopService(const std::string& name) = 0;
    virtual bool startService(const std::string& name) = 0;
};

}  // namespace ixan
