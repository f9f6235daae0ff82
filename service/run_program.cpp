#include "service/run_program.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;

namespace ixan {

namespace {

class SpawnFileActions {
  public:
    SpawnFileActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;
    ~SpawnFileActions() {
        if (ok_) {
            posix_spawn_file_actions_destroy(&actions_);
        }
    }
    bool ok() const { return ok_; }
    posix_spawn_file_actions_t* get() { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

class SpawnAttributes {
  public:
    SpawnAttributes() { ok_ = posix_spawnattr_init(&attr_) == 0; }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    ~SpawnAttributes() {
        if (ok_) {
            posix_spawnattr_destroy(&attr_);
        }
    }
    bool ok() const { return ok_; }
    posix_spawnattr_t* get() { return &attr_; }

  private:
    posix_spawnattr_t attr_{};
    bool ok_ = false;
};

}  // namespace

ProgramResult runProgram(const std::vector<std::string>& argv) {
    ProgramResult result;
    if (argv.empty() || argv.front().empty()) {
        result.startError = ENOENT;
        return result;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);

    SpawnFileActions actions;
    SpawnAttributes attr;
    if (!actions.ok() || !attr.ok()) {
        result.startError = ENOMEM;
        return result;
    }
    int rc = posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    if (rc == 0) {
        rc = posix_spawn_file_actions_addopen(actions.get(), 1, "/dev/null", O_WRONLY, 0);
    }
    if (rc == 0) {
        rc = posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0);
    }
    // The service blocks its stop signals; the helper must not inherit that.
    sigset_t empty;
    sigemptyset(&empty);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGPIPE);
    if (rc == 0) {
        rc = posix_spawnattr_setsigmask(attr.get(), &empty);
    }
    if (rc == 0) {
        rc = posix_spawnattr_setsigdefault(attr.get(), &defaults);
    }
    if (rc == 0) {
        rc = posix_spawnattr_setflags(attr.get(), POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    pid_t pid = -1;
    if (rc == 0) {
        rc = posix_spawnp(&pid, args.front(), actions.get(), attr.get(), args.data(), environ);
    }
    if (rc != 0) {
        result.startError = rc;
        return result;
    }
    result.started = true;
    int status = 0;
    pid_t waited = -1;
    do {
        waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited == pid && WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    }
    return result;
}

}  // namespace ixan
