#pragma once
// Runs the real ixan-sim binary for tests, every wait bounded.

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace ixan::sim::test {

struct RunResult {
    int exitCode = -1;  // -1: did not end in time (killed)
    std::string out;
    std::string err;
};

// Runs ixan-sim to its end with the arguments and returns its output.
RunResult runSim(const std::vector<std::string>& args, int timeoutMs = 20000);

// A listening ixan-sim process; the destructor stops it (SIGTERM, then SIGKILL).
class SimProcess {
  public:
    // Starts ixan-sim and waits for one "listening on" line per device. Nothing on failure,
    // with the reason in `error`.
    static std::unique_ptr<SimProcess> start(const std::vector<std::string>& args, int devices,
                                             std::string& error, int timeoutMs = 10000);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::vector<int>& ports() const { return ports_; }
    int port() const { return ports_.at(0); }
    pid_t pid() const { return pid_; }

    // Sends SIGTERM and waits; the exit code, or -1 if it did not end in time.
    int terminate(int timeoutMs = 10000);

    // Resident set size in KiB from /proc, -1 if unreadable.
    long rssKiB() const;

  private:
    SimProcess(pid_t pid, int outFd) : pid_(pid), outFd_(outFd) {}

    pid_t pid_;
    int outFd_;
    bool reaped_ = false;
    std::vector<int> ports_;
};

// A fresh path in a temporary folder that lives until the test program ends.
std::string tempPath(const std::string& name);

}  // namespace ixan::sim::test
