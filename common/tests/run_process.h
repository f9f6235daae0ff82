#pragma once
// Runs a program for a test: arguments, extra environment, standard input, captured
// standard output and error, and a time limit after which it is killed.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace ixan::test {

struct ProcessResult {
    int exitCode = -1;  // -1 when killed or not started
    bool timedOut = false;
    std::string out;
    std::string err;
};

inline ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                                const std::map<std::string, std::string>& env = {},
                                const std::string& input = {},
                                std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    ProcessResult result;
    int inPipe[2], outPipe[2], errPipe[2];
    if (::pipe2(inPipe, O_CLOEXEC) != 0 || ::pipe2(outPipe, O_CLOEXEC) != 0 ||
        ::pipe2(errPipe, O_CLOEXEC) != 0) {
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);

    std::map<std::string, std::string> merged;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        merged[entry.substr(0, eq)] = eq == std::string::npos ? "" : entry.substr(eq + 1);
    }
    for (const auto& [k, v] : env) {
        merged[k] = v;
    }
    std::vector<std::string> envStrings;
    for (const auto& [k, v] : merged) {
        if (v != "\x01unset") {
            envStrings.push_back(k + "=" + v);
        }
    }
    std::vector<char*> envp;
    for (auto& s : envStrings) {
        envp.push_back(s.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argStrings) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int rc =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(inPipe[0]);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (rc != 0) {
        ::close(inPipe[1]);
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return result;
    }
    // Small inputs only: they fit the pipe buffer, so this write cannot block.
    if (!input.empty()) {
        [[maybe_unused]] ssize_t n = ::write(inPipe[1], input.data(), input.size());
    }
    ::close(inPipe[1]);

    const auto deadline = std::chrono::steady_clock::now() + limit;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        if (::poll(fds, 2, static_cast<int>(left.count())) < 0) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                char buf[4096];
                const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
                if (n <= 0) {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                } else {
                    (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(n));
                }
            }
        }
    }
    for (auto& f : fds) {
        if (f.fd >= 0) {
            ::close(f.fd);
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!result.timedOut && WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    return result;
}

// Marks a variable for removal from the child's environment.
inline const char* kUnset = "\x01unset";

}  // namespace ixan::test
