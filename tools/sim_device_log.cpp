#include "tools/sim_device_log.h"

#include <algorithm>

namespace ixan::sim {

DeviceLog::DeviceLog(const DeviceLogSettings& settings)
    : settings_(settings), next_(settings.initialEvents) {}

EventRange DeviceLog::currentLocked(std::uint64_t next) const {
    if (settings_.mode == LogMode::Incremental) {
        return {delivered_, next - delivered_};
    }
    const std::uint64_t held = std::min(next, settings_.ringCapacity);
    return {next - held, held};
}

EventRange DeviceLog::takeExport() {
    std::lock_guard lock(mutex_);
    next_ += settings_.newPerExport;
    const EventRange range = currentLocked(next_);
    if (settings_.mode == LogMode::Incremental) {
        delivered_ = next_;
    }
    return range;
}

EventRange DeviceLog::peekExport() const {
    std::lock_guard lock(mutex_);
    return currentLocked(next_ + settings_.newPerExport);
}

}  // namespace ixan::sim
