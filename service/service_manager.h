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
    std::uint32_t serviceType = 0x10;      // own process
    ServiceState currentState = ServiceState::Running;
    std::uint32_t controlsAccepted = 0x5;  // stop and shutdown
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
};

using ServiceControlHandler = std::function<std::uint32_t(ServiceControl control)>;

// The side of the service manager that a running service talks to.
class ServiceHost {
public:
    virtual ~ServiceHost() = default;
    // Registers the control handler under the service name; returns a status handle
    // (0 when the registration failed).
    virtual std::uintptr_t registerHandler(const std::string& serviceName,
                                           ServiceControlHandler handler) = 0;
    // false when the report could not be delivered.
    virtual bool setStatus(std::uintptr_t statusHandle, const ServiceStatus& status) = 0;
};

// The registration of pollwerk as a service.
struct ServiceRegistration {
    std::string name = kServiceName;
    std::string displayName = kServiceDisplayName;
    std::string programPath;
};

// The administrative side: install, remove, stop and start. Every call stands for one
// request; failures carry the system's error code where there is one.
class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    // false when the service manager cannot be reached or changed.
    virtual bool open() = 0;
    virtual bool serviceExists(const std::string& name) = 0;
    virtual bool createService(const ServiceRegistration& registration, int& errorCode) = 0;
    virtual bool deleteService(const std::string& name) = 0;
    // Stops the service and returns once it has stopped.
    virtual bool stopService(const std::string& name) = 0;
    virtual bool startService(const std::string& name) = 0;
};

}  // namespace ixan
