#include "service/service_runtime.h"

#include <thread>

#include "common/activity_log.h"

namespace ixan {

void logApiError(std::string_view apiName) {
    std::string message = "error in api call ";
    message.append(apiName);
    logActivity(message);
}

void reportServiceStatus(ServiceState state, ServiceContext& context) {
    ServiceStatus status;
    status.currentState = state;
    if (context.host == nullptr || !context.host->setStatus(context.statusHandle, status)) {
        logApiError("SetServiceStatus");
    }
}

std::uint32_t serviceControlHandler(ServiceControl control, ServiceContext& context) {
    if (control == ServiceControl::Stop || control == ServiceControl::Shutdown) {
        reportServiceStatus(ServiceState::StopPending, context);
        if (!context.stopEvent || !context.stopEvent->set()) {
            logApiError("SetEvent");
        }
    } else {
        reportServiceStatus(ServiceState::Running, context);
    }
    return 0;
}

void serviceMain(const std::vector<std::string>& args, const ServiceRuntime& runtime) {
    ServiceContext context;
    context.host = runtime.host;
    context.serviceName = args.empty() ? std::string() : args.front();
    if (context.host != nullptr) {
        context.statusHandle = context.host->registerHandler(
            context.serviceName,
            [&context](ServiceControl control) { return serviceControlHandler(control, context); });
    }
    context.stopEvent = runtime.createStopEvent();
    if (!context.stopEvent) {
        // Without the event nothing could stop the loop.
        logApiError("CreateEvent");
        reportServiceStatus(ServiceState::Stopped, context);
        return;
    }
    logActivity(std::string("starting system service ") + kServiceName);
    reportServiceStatus(ServiceState::Running, context);

    while (context.stopEvent->wait(kStopWait) != WaitResult::Signalled) {
        if (runtime.runPollCycle) {
            runtime.runPollCycle();
        }
        std::this_thread::sleep_for(kCycleRest);
    }
    reportServiceStatus(ServiceState::Stopped, context);
}

}  // namespace ixan
