#include "polling/poll_cycle.h"

#include <ctime>
#include <iostream>

#include "common/activity_log.h"
#include "events/event_database.h"
#include "polling/export_request.h"

namespace ixan {

bool isDue(std::int64_t lastRun, std::int32_t interval, std::int64_t now) {
    // Overflow is impossible: both stamps are real times in seconds.
    return lastRun == 0 || now - lastRun > static_cast<std::int64_t>(interval);
}

void runPollCycle(std::vector<NodeEntry>& devices, const PollCycleDeps& deps) {
    for (NodeEntry& entry : devices) {
        const NodeEntry device = entry;
        if (!isDue(device.lastRun, device.interval, deps.now())) {
            continue;
        }
        logActivity("processing node: " + device.host);
        const std::string text = deps.fetch(device);
        if (!text.empty()) {
            deps.store(text);
        } else {
            logActivity("no data received from host");
        }
        entry.lastRun = deps.now();
        *deps.out << "last run: " << device.lastRun << std::endl;
    }
}

void runPollCycle() {
    PollCycleDeps deps;
    deps.now = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
    deps.fetch = [](const NodeEntry& d) {
        return fetchExport(d.host, d.port, d.uri, d.user, d.pass);
    };
    deps.store = [](const std::string& text) { storeExport(text); };
    deps.out = &std::cout;
    runPollCycle(processConfig().nodes, deps);
}

}  // namespace ixan
