#pragma once
// A manual-reset event: once set it stays set, and every wait returns at once.

#include <chrono>
#include <optional>

#include "common/unique_fd.h"

namespace ixan {

enum class WaitResult { Signalled, TimedOut, Failed };

// Backed by an eventfd whose counter is never read back. set() and wait() may be
// called from different threads at the same time.
class StopEvent {
  public:
    // Not signalled; nullopt (errno set) when the system refuses the event.
    static std::optional<StopEvent> create();

    StopEvent(StopEvent&&) noexcept = default;
    StopEvent& operator=(StopEvent&&) noexcept = default;

    // false when the event could not be set.
    bool set();
    WaitResult wait(std::chrono::milliseconds timeout);

  private:
    explicit StopEvent(UniqueFd fd) : fd_(std::move(fd)) {}

    UniqueFd fd_;
};

}  // namespace ixan
