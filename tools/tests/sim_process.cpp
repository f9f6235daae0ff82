#include "tools/tests/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace ixan::sim::test {
namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// Waits for the child; its exit code, or -1 when it has not ended by the deadline.
int waitChild(pid_t pid, Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            if (WIFEXITED(status)) {
                return WEXITSTATUS(status);
            }
            return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        }
        if (r < 0 && errno != EINTR) {
            return -1;
        }
        if (Clock::now() >= deadline) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

pid_t spawnSim(const std::vector<std::string>& args, int outFd, int errFd) {
    std::vector<std::string> all;
    all.push_back(IXAN_SIM_PATH);
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    if (errFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    }
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, IXAN_SIM_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

}  // namespace

RunResult runSim(const std::vector<std::string>& args, int timeoutMs) {
    RunResult result;
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        return result;
    }
    const pid_t pid = spawnSim(args, out[1], err[1]);
    ::close(out[1]);
    ::close(err[1]);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = pid > 0 ? 2 : 0;
    char buf[65536];
    while (open > 0 && remainingMs(deadline) > 0) {
        if (::poll(fds, 2, remainingMs(deadline)) <= 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP)) != 0) {
                const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
                if (n > 0) {
                    sinks[i]->append(buf, static_cast<std::size_t>(n));
                } else {
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    if (pid > 0) {
        result.exitCode = waitChild(pid, deadline);
        if (result.exitCode < 0) {
            ::kill(pid, SIGKILL);
            waitChild(pid, Clock::now() + std::chrono::seconds(5));
        }
    }
    return result;
}

std::unique_ptr<SimProcess> SimProcess::start(const std::vector<std::string>& args, int devices,
                                              std::string& error, int timeoutMs) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        error = "pipe failed";
        return nullptr;
    }
    const pid_t pid = spawnSim(args, out[1], -1);
    ::close(out[1]);
    if (pid <= 0) {
        ::close(out[0]);
        error = "cannot start " IXAN_SIM_PATH;
        return nullptr;
    }
    std::unique_ptr<SimProcess> process(new SimProcess(pid, out[0]));
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string text;
    const std::string marker = "listening on ";
    while (static_cast<int>(process->ports_.size()) < devices) {
        pollfd p{out[0], POLLIN, 0};
        if (remainingMs(deadline) == 0 || ::poll(&p, 1, remainingMs(deadline)) <= 0) {
            error = "no listening line in time; output so far: " + text;
            return nullptr;
        }
        char buf[4096];
        const ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0) {
            error = "ixan-sim ended early; output: " + text;
            return nullptr;
        }
        text.append(buf, static_cast<std::size_t>(n));
        process->ports_.clear();
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind(marker, 0) == 0 && lines.good()) {
                process->ports_.push_back(std::atoi(line.substr(line.rfind(':') + 1).c_str()));
            }
        }
    }
    return process;
}

SimProcess::~SimProcess() {
    if (!reaped_ && terminate(10000) < 0) {
        ::kill(pid_, SIGKILL);
        waitChild(pid_, Clock::now() + std::chrono::seconds(5));
    }
    ::close(outFd_);
}

int SimProcess::terminate(int timeoutMs) {
    if (reaped_) {
        return -1;
    }
    ::kill(pid_, SIGTERM);
    const int code = waitChild(pid_, Clock::now() + std::chrono::milliseconds(timeoutMs));
    reaped_ = code >= 0;
    return code;
}

long SimProcess::rssKiB() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

std::string tempPath(const std::string& name) {
    struct TempDir {
        std::string path;
        TempDir() {
            std::string pattern = "/tmp/ixan-sim-test-XXXXXX";
            if (::mkdtemp(pattern.data()) != nullptr) {
                path = pattern;
            }
        }
        ~TempDir() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const TempDir dir;
    static int counter = 0;
    return dir.path + "/" + std::to_string(++counter) + "-" + name;
}

}  // namespace ixan::sim::test
