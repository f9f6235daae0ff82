#pragma once
// Helpers for the service tests: temporary folders, files, child processes with a
// controlled environment, and a recording stand-in for systemctl.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/unique_fd.h"

namespace ixan::test {

class TempDir {
  public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

// Lines of the activity log without their time stamps ("YYYY-MM-DD HH:MM:SS ").
std::vector<std::string> logMessages(const std::string& path);

struct ChildOptions {
    std::vector<std::string> argv;
    // Removed from the inherited environment before `set` is applied.
    std::vector<std::string> unset;
    std::vector<std::pair<std::string, std::string>> set;
    // When true the child's standard input is a pipe the test writes to; otherwise
    // /dev/null.
    bool stdinPipe = false;
    std::string stdoutPath;
    std::string stderrPath;
};

// A started child; killed and reaped by the destructor if still running.
class Child {
  public:
    explicit Child(const ChildOptions& options);
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();

    pid_t pid() const { return pid_; }
    // Writes to the child's standard input (stdinPipe only).
    void writeInput(const std::string& text);
    void closeInput() { stdin_.reset(); }
    // The wait status once the child has ended, nullopt when it is still running after
    // timeout.
    std::optional<int> waitFor(std::chrono::milliseconds timeout);
    bool running();

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    UniqueFd stdin_;
};

// A shell script standing in for systemctl: appends its arguments as one line to a
// calls file, writes noise to its standard output and error, and exits with the code
// configured for its first argument (0 otherwise).
class FakeSystemctl {
  public:
    explicit FakeSystemctl(const TempDir& dir,
                           std::vector<std::pair<std::string, int>> exitCodes = {});
    const std::string& path() const { return path_; }
    const std::string& callsPath() const { return callsPath_; }
    std::vector<std::string> calls() const;
    void clearCalls() const;

  private:
    std::string path_;
    std::string callsPath_;
};

}  // namespace ixan::test
