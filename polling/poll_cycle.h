#pragma once
// One pass over the configured devices: fetch each device that is due and store what it
// delivered.

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "common/config.h"

namespace ixan {

// What a cycle needs from the outside; the real ones are the clock, fetchExport and
// storeExport.
struct PollCycleDeps {
    std::function<std::int64_t()> now;  // seconds since 1970-01-01 UTC
    std::function<std::string(const NodeEntry& device)> fetch;
    std::function<void(const std::string& text)> store;
    std::ostream* out = nullptr;  // "last run: " lines
};

// A device is due when it was never polled (lastRun 0) or when more than interval
// seconds have passed since lastRun, in signed 64-bit arithmetic.
bool isDue(std::int64_t lastRun, std::int32_t interval, std::int64_t now);

// Walks devices in order; writes back only each polled device's lastRun.
void runPollCycle(std::vector<NodeEntry>& devices, const PollCycleDeps& deps);

// The cycle over the process configuration with the real clock, HTTP and database.
void runPollCycle();

}  // namespace ixan
