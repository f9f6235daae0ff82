#pragma once
// Appends the raw bytes of received requests to a file.

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "common/unique_fd.h"

namespace ixan::sim {

// One file shared by all devices of the process. Each append is one write to a file opened
// with O_APPEND, so the bytes of one request stay together even when several processes
// record into the same file. Thread-safe.
class RequestRecorder {
  public:
    // Creates the file with mode 0600 if needed (requests carry passwords). Nothing on
    // failure, with the reason in `error`.
    static std::unique_ptr<RequestRecorder> open(const std::string& path, std::string& error);

    // Returns false if the bytes could not be written in full.
    bool append(std::string_view bytes);

  private:
    explicit RequestRecorder(UniqueFd fd) : fd_(std::move(fd)) {}

    std::mutex mutex_;
    UniqueFd fd_;
};

}  // namespace ixan::sim
