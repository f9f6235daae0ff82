#pragma once
// The event log of one simulated device and what each export takes from it.

#include <cstdint>
#include <mutex>

namespace ixan::sim {

enum class LogMode {
    Ring,         // every export holds the whole log, as a device with a ring buffer does
    Incremental,  // every export holds only the events no export has held before
};

struct DeviceLogSettings {
    std::uint64_t initialEvents = 50;  // events in the log when the device starts
    std::uint64_t ringCapacity = 50;   // ring mode: most events the log holds
    std::uint64_t newPerExport = 0;    // events that appear before each export
    LogMode mode = LogMode::Ring;
};

// Events [first, first + count) by sequence number (see generateEvent).
struct EventRange {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
    bool operator==(const EventRange&) const = default;
};

// Holds only sequence numbers: the events themselves are generated on demand, so a log
// of any length and any number of exports take constant memory. Thread-safe.
class DeviceLog {
  public:
    explicit DeviceLog(const DeviceLogSettings& settings);

    // One export: the new events appear, then the events of the export are returned. In
    // incremental mode they count as delivered and no later export holds them again.
    EventRange takeExport();

    // What the next export would hold, without changing the log.
    EventRange peekExport() const;

  private:
    EventRange currentLocked(std::uint64_t next) const;

    const DeviceLogSettings settings_;
    mutable std::mutex mutex_;
    std::uint64_t next_;           // sequence number of the next event to appear
    std::uint64_t delivered_ = 0;  // incremental mode: first event not yet delivered
};

}  // namespace ixan::sim
