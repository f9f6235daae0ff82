#include "service/tests/test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace ixan::test {

TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "ixan-svc-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed: " + std::string(std::strerror(errno)));
    }
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> logMessages(const std::string& path) {
    std::vector<std::string> out;
    std::istringstream in(readFile(path));
    std::string line;
    constexpr std::size_t kStamp = 20;  // "YYYY-MM-DD HH:MM:SS "
    while (std::getline(in, line)) {
        out.push_back(line.size() >= kStamp ? line.substr(kStamp) : line);
    }
    return out;
}

Child::Child(const ChildOptions& options) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        bool drop = false;
        for (const std::string& u : options.unset) {
            drop = drop || u == name;
        }
        for (const auto& s : options.set) {
            drop = drop || s.first == name;
        }
        if (!drop) {
            env.push_back(entry);
        }
    }
    for (const auto& s : options.set) {
        env.push_back(s.first + "=" + s.second);
    }
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> argvCopy = options.argv;
    std::vector<char*> argv;
    for (std::string& a : argvCopy) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeFds[2] = {-1, -1};
    if (options.stdinPipe) {
        // A child that has ended must fail the test, not kill it.
        ::signal(SIGPIPE, SIG_IGN);
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    const std::string out = options.stdoutPath.empty() ? "/dev/null" : options.stdoutPath;
    const std::string err = options.stderrPath.empty() ? "/dev/null" : options.stderrPath;
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // The child starts with an empty signal mask whatever the test thread blocks.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t empty;
    sigemptyset(&empty);
    posix_spawnattr_setsigmask(&attr, &empty);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
    const int rc = posix_spawn(&pid_, argv.front(), &actions, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (options.stdinPipe) {
        ::close(pipeFds[0]);
        stdin_.reset(pipeFds[1]);
    }
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + options.argv.front() + ": " + std::strerror(rc));
    }
}

Child::~Child() {
    if (pid_ > 0 && !status_) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

void Child::writeInput(const std::string& text) {
    if (stdin_) {
        [[maybe_unused]] const ssize_t n = ::write(stdin_.get(), text.data(), text.size());
    }
}

std::optional<int> Child::waitFor(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!status_) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            status_ = status;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return status_;
}

bool Child::running() {
    return !waitFor(std::chrono::milliseconds(0)).has_value();
}

namespace {

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

}  // namespace

FakeSystemctl::FakeSystemctl(const TempDir& dir, std::vector<std::pair<std::string, int>> exitCodes)
    : path_(dir.file("fake-systemctl")), callsPath_(dir.file("systemctl-calls")) {
    std::string script = "#!/bin/sh\n";
    script += "printf '%s\\n' \"$*\" >> " + shellQuote(callsPath_) + "\n";
    script += "echo 'systemctl noise on stdout'\n";
    script += "echo 'systemctl noise on stderr' >&2\n";
    script += "case \"$1\" in\n";
    for (const auto& [verb, code] : exitCodes) {
        script += "  " + verb + ") exit " + std::to_string(code) + " ;;\n";
    }
    script += "esac\nexit 0\n";
    writeFile(path_, script);
    ::chmod(path_.c_str(), 0755);
}

std::vector<std::string> FakeSystemctl::calls() const {
    std::vector<std::string> out;
    std::istringstream in(readFile(callsPath_));
    std::string line;
    while (std::getline(in, line)) {
        out.push_back(line);
    }
    return out;
}

void FakeSystemctl::clearCalls() const {
    ::unlink(callsPath_.c_str());
}

}  // namespace ixan::test
