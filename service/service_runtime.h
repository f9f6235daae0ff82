#pragma once
// The service itself: serviceMain runs the poll loop until a stop or shutdown control
// arrives through serviceControlHandler.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/service_manager.h"
#include "service/stop_event.h"

namespace ixan {

inline constexpr std::chrono::milliseconds kStopWait{1000};
inline constexpr std::chrono::milliseconds kCycleRest{100};

using StopEventFactory = std::optional<StopEvent> (*)();

// What serviceMain needs from outside. host must outlive the call.
struct ServiceRuntime {
    ServiceHost* host = nullptr;
    // One poll cycle; empty runs the loop without polling.
    std::function<void()> runPollCycle;
    StopEventFactory createStopEvent = &StopEvent::create;
};

// One run of the service. Owned by serviceMain; every field is set before the first
// status report and only read afterwards, by the handler too.
struct ServiceContext {
    std::optional<StopEvent> stopEvent;
    std::string serviceName;
    std::uintptr_t statusHandle = 0;
    ServiceHost* host = nullptr;
};

// Appends "error in api call <apiName>" to the activity log.
void logApiError(std::string_view apiName);

// Sends one status report; a failed report is logged as SetServiceStatus.
void reportServiceStatus(ServiceState state, ServiceContext& context);

// Stop and shutdown: stop pending, then the stop event is set. Any other control: a
// running report. Never waits; always returns 0.
std::uint32_t serviceControlHandler(ServiceControl control, ServiceContext& context);

// args[0] is the service name. Reports running, then runs a poll cycle about every
// 1.1 seconds until the stop event is set, reports stopped and returns. A stop that
// arrives during a cycle takes effect when the cycle has returned. If the stop event
// cannot be created, reports stopped at once and returns.
void serviceMain(const std::vector<std::string>& args, const ServiceRuntime& runtime);

}  // namespace ixan
