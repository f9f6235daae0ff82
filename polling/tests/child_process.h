#pragma once
// A child program for tests: started with its standard output on a pipe, stopped
// with SIGTERM (then SIGKILL) and reaped when the object goes. Every read is bounded.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "common/unique_fd.h"

namespace ixan::test {

class ChildProcess {
  public:
    // Throws std::runtime_error when the program cannot be started.
    explicit ChildProcess(const std::vector<std::string>& argv);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // The next output line (without its LF), or nullopt when none came in time or the
    // output ended.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    // Everything up to the end of the output, or nullopt when it did not end in time.
    std::optional<std::string> readAll(std::chrono::milliseconds timeout);

  private:
    bool fill(std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    UniqueFd out_;
    std::string buffer_;
    bool ended_ = false;
};

}  // namespace ixan::test
