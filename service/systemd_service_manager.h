#pragma once
// ServiceManager on systemd: the registration is a unit file, every change goes through
// the systemctl program.

#include <memory>
#include <string>

#include "service/service_manager.h"

namespace ixan {

inline constexpr const char* kDefaultUnitDir = "/etc/systemd/system";
inline constexpr const char* kUnitDirEnv = "IXAN_SYSTEMD_UNIT_DIR";
inline constexpr const char* kDefaultSystemctl = "systemctl";
inline constexpr const char* kSystemctlEnv = "IXAN_SYSTEMCTL";

struct SystemdSettings {
    std::string unitDir = kDefaultUnitDir;
    // A program name (looked up in PATH) or a path.
    std::string systemctl = kDefaultSystemctl;
};

// The defaults, overridden by IXAN_SYSTEMD_UNIT_DIR and IXAN_SYSTEMCTL when set and
// not empty.
SystemdSettings systemdSettingsFromEnvironment();

// "NAME.service".
std::string unitFileName(const std::string& serviceName);

// The unit file for a registration: a notify service started at boot, run as root,
// whose standard output is discarded and whose standard error goes to the journal.
std::string unitFileText(const ServiceRegistration& registration);

// open(): `systemctl show-environment` succeeds (systemd is reachable) and the unit
// folder is writable.
// serviceExists(): the unit file is present in the unit folder.
// createService(): writes the unit file atomically, then `systemctl daemon-reload` and
// `systemctl enable NAME.service`; if any of that fails the unit file is removed again
// and errorCode is the errno of the failed file operation or the exit status of the
// failed systemctl run.
// deleteService(): `systemctl disable NAME.service`, removes the unit file,
// `systemctl daemon-reload`; only the removal decides the result.
// stopService()/startService(): `systemctl stop|start NAME.service`; true when systemctl
// succeeded. stop returns once the service has stopped.
// systemctl runs without a shell, with standard input, output and error on /dev/null.
class SystemdServiceManager final : public ServiceManager {
  public:
    explicit SystemdServiceManager(SystemdSettings settings = systemdSettingsFromEnvironment());

    bool open() override;
    bool serviceExists(const std::string& name) override;
    bool createService(const ServiceRegistration& registration, int& errorCode) override;
    bool deleteService(const std::string& name) override;
    bool stopService(const std::string& name) override;
    bool startService(const std::string& name) override;

    const SystemdSettings& settings() const { return settings_; }

  private:
    std::string unitPath(const std::string& name) const;

    SystemdSettings settings_;
};

// The real service manager, configured from the environment.
std::unique_ptr<ServiceManager> makeSystemdServiceManager();

}  // namespace ixan
