#pragma once
// The wizard's restart of the pollwerk service after a new configuration is written.

#include <string>

#include "service/service_manager.h"

namespace ixan {

// One instance for one finish of the wizard. Every failure is silent: the wizard goes
// on whatever the service manager answers. The manager is borrowed and must outlive
// the helper.
class CServiceHelper {
  public:
    // Opens the service manager; when that fails no request is ever made.
    explicit CServiceHelper(ServiceManager& manager, std::string serviceName = kServiceName);
    CServiceHelper(const CServiceHelper&) = delete;
    CServiceHelper& operator=(const CServiceHelper&) = delete;
    virtual ~CServiceHelper() = default;

    // Asks the service to stop and returns once it has stopped (or the request failed).
    // Nothing is requested when the service is not installed.
    void RequestStop();
    // Asks the service to start; nothing is requested when it is not installed.
    void RequestStart();

  private:
    bool serviceInstalled();

    ServiceManager& manager_;
    std::string serviceName_;
    bool opened_ = false;
};

// Stop, then start once the stop has finished, so the service runs afterwards with the
// new configuration.
void restartService(ServiceManager& manager);

}  // namespace ixan
