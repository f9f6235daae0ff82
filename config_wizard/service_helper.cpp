#include "config_wizard/service_helper.h"

#include <utility>

namespace ixan {

CServiceHelper::CServiceHelper(ServiceManager& manager, std::string serviceName)
    : manager_(manager), serviceName_(std::move(serviceName)), opened_(manager_.open()) {}

bool CServiceHelper::serviceInstalled() {
    return opened_ && manager_.serviceExists(serviceName_);
}

void CServiceHelper::RequestStop() {
    if (serviceInstalled()) {
        manager_.stopService(serviceName_);
    }
}

void CServiceHelper::RequestStart() {
    if (serviceInstalled()) {
        manager_.startService(serviceName_);
    }
}

void restartService(ServiceManager& manager) {
    CServiceHelper helper(manager);
    helper.RequestStop();
    helper.RequestStart();
}

}  // namespace ixan
