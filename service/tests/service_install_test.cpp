// installService and uninstallService against a unit folder of the test's own and a
// recording stand-in for systemctl: in process with the console as strings, and
// through the pollwerk binary with a real standard input.

#include "service/service_install.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <thread>

#include "service/systemd_service_manager.h"
#include "service/tests/test_support.h"

namespace ixan {
namespace {

using namespace std::chrono_literals;
using test::FakeSystemctl;
using test::TempDir;

const char* const kProgram = "/opt/ixan/sbin/pollwerk";

std::string expectedUnit(const std::string& program) {
    return "[Unit]\n"
           "Description=IXAN Pollwerk\n"
           "Wants=network-online.target\n"
           "After=network-online.target\n"
           "\n"
           "[Service]\n"
           "Type=notify\n"
           "ExecStart=" +
           program +
           "\n"
           "User=root\n"
           "StandardOutput=null\n"
           "StandardError=journal\n"
           "\n"
           "[Install]\n"
           "WantedBy=multi-user.target\n";
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) {
        out += "[" + l + "]";
    }
    return out;
}

std::vector<std::string> dirEntries(const std::string& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

enum class UnitDir { Present, Missing, IsAFile };
enum class Unit { Absent, Foreign, UndeletableDirectory };

struct Scene {
    UnitDir unitDir = UnitDir::Present;
    Unit unit = Unit::Absent;
    std::vector<std::pair<std::string, int>> systemctlCodes;
    bool systemctlMissing = false;
};

struct Outcome {
    bool result = false;
    std::string out;
    std::streamoff consumed = 0;
};

// Builds the scene in a fresh folder and runs one command in process.
class InstallHarness {
  public:
    explicit InstallHarness(const Scene& scene)
        : units_(dir_.file("units")), systemctl_(dir_, scene.systemctlCodes) {
        if (scene.unitDir == UnitDir::Present) {
            std::filesystem::create_directory(units_);
        } else if (scene.unitDir == UnitDir::IsAFile) {
            test::writeFile(units_, "not a folder\n");
        }
        if (scene.unit == Unit::Foreign) {
            test::writeFile(unitPath(), "# left by someone else\n");
        } else if (scene.unit == Unit::UndeletableDirectory) {
            std::filesystem::create_directories(unitPath() + "/keep");
        }
        settings_.unitDir = units_;
        settings_.systemctl =
            scene.systemctlMissing ? dir_.file("no-systemctl") : systemctl_.path();
    }

    Outcome install(const ProgramPathFn& path) {
        SystemdServiceManager manager(settings_);
        std::istringstream in("abc");
        std::ostringstream out;
        Outcome o;
        o.result = installService(manager, in, out, path);
        o.out = out.str();
        o.consumed = in.tellg();
        return o;
    }
    Outcome uninstall() {
        SystemdServiceManager manager(settings_);
        std::istringstream in("abc");
        std::ostringstream out;
        Outcome o;
        o.result = uninstallService(manager, in, out);
        o.out = out.str();
        o.consumed = in.tellg();
        return o;
    }

    // Lets another user run the stand-in and record its calls; the unit folder stays
    // writable for its owner only.
    void openToEveryone() {
        ::chmod(dir_.path().c_str(), 0755);
        test::writeFile(systemctl_.callsPath(), "");
        ::chmod(systemctl_.callsPath().c_str(), 0666);
    }

    std::string unitPath() const { return units_ + "/IXAN.service"; }
    const std::string& units() const { return units_; }
    std::vector<std::string> calls() const { return systemctl_.calls(); }

  private:
    TempDir dir_;
    std::string units_;
    FakeSystemctl systemctl_;
    SystemdSettings settings_;
};

ProgramPathFn fixedPath(const std::string& path) {
    return [path](std::string& p, int&) {
        p = path;
        return true;
    };
}

ProgramPathFn failingPath(int error) {
    return [error](std::string&, int& code) {
        code = error;
        return false;
    };
}

const std::string kInstalling = "installing 'IXAN' as service...\n";
const std::string kUninstalling = "uninstalling system service 'IXAN'...\n";
const std::string kNoManager = "failed to open Service Manager!\n";

TEST(InstallServiceTest, Cases) {
    enum class After { Absent, Created, Unchanged };
    struct Case {
        const char* what;
        Scene scene;
        ProgramPathFn path;
        bool result;
        std::string out;
        std::streamoff waits;
        std::vector<std::string> calls;
        After unit;
    };
    const std::vector<Case> cases = {
        // Success: three systemctl calls, the unit file written, no wait.
        {"fresh install",
         {},
         fixedPath(kProgram),
         true,
         kInstalling + "system service 'IXAN' was created\n",
         0,
         {"show-environment", "daemon-reload", "enable IXAN.service"},
         After::Created},
        {"already installed",
         {UnitDir::Present, Unit::Foreign, {}, false},
         fixedPath(kProgram),
         true,
         kInstalling + "'IXAN' is already installed as Win32 System service!\n",
         1,
         {"show-environment"},
         After::Unchanged},
        // The service manager cannot be opened.
        {"systemd not reachable",
         {UnitDir::Present, Unit::Absent, {{"show-environment", 1}}, false},
         fixedPath(kProgram),
         false,
         kInstalling + kNoManager,
         1,
         {"show-environment"},
         After::Absent},
        {"no systemctl program",
         {UnitDir::Present, Unit::Absent, {}, true},
         fixedPath(kProgram),
         false,
         kInstalling + kNoManager,
         1,
         {},
         After::Absent},
        {"unit folder missing",
         {UnitDir::Missing, Unit::Absent, {}, false},
         fixedPath(kProgram),
         false,
         kInstalling + kNoManager,
         1,
         {"show-environment"},
         After::Absent},
        {"unit folder is a file",
         {UnitDir::IsAFile, Unit::Absent, {}, false},
         fixedPath(kProgram),
         false,
         kInstalling + kNoManager,
         1,
         {"show-environment"},
         After::Absent},
        // The own path is fetched before the probe: reported even when installed.
        {"own path unknown",
         {},
         failingPath(2),
         false,
         kInstalling + "GetModuleFileName failed (2)\n",
         0,
         {"show-environment"},
         After::Absent},
        {"own path unknown, already installed",
         {UnitDir::Present, Unit::Foreign, {}, false},
         failingPath(13),
         false,
         kInstalling + "GetModuleFileName failed (13)\n",
         0,
         {"show-environment"},
         After::Unchanged},
        // A failed systemctl step leaves no registration behind.
        {"daemon-reload fails",
         {UnitDir::Present, Unit::Absent, {{"daemon-reload", 3}}, false},
         fixedPath(kProgram),
         false,
         kInstalling + "CreateService failed (ErrorCode: 3)\n",
         0,
         {"show-environment", "daemon-reload", "daemon-reload"},
         After::Absent},
        {"enable fails",
         {UnitDir::Present, Unit::Absent, {{"enable", 4}}, false},
         fixedPath(kProgram),
         false,
         kInstalling + "CreateService failed (ErrorCode: 4)\n",
         0,
         {"show-environment", "daemon-reload", "enable IXAN.service", "daemon-reload"},
         After::Absent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InstallHarness h(c.scene);
        const std::string before =
            test::fileExists(h.unitPath()) ? test::readFile(h.unitPath()) : "";
        const Outcome o = h.install(c.path);
        EXPECT_EQ(o.result, c.result);
        EXPECT_EQ(o.out, c.out);
        EXPECT_EQ(o.consumed, c.waits) << "characters read from standard input";
        EXPECT_EQ(joinLines(h.calls()), joinLines(c.calls));
        switch (c.unit) {
            case After::Absent:
                EXPECT_FALSE(test::fileExists(h.unitPath()));
                break;
            case After::Unchanged:
                EXPECT_EQ(test::readFile(h.unitPath()), before);
                break;
            case After::Created: {
                EXPECT_EQ(test::readFile(h.unitPath()), expectedUnit(kProgram));
                struct stat st {};
                ASSERT_EQ(::stat(h.unitPath().c_str(), &st), 0);
                EXPECT_EQ(st.st_mode & 07777, 0644u);
                break;
            }
        }
        if (c.scene.unitDir == UnitDir::Present) {
            // No temporary file is left behind.
            const std::vector<std::string> entries = dirEntries(h.units());
            const std::vector<std::string> expected = test::fileExists(h.unitPath())
                                                          ? std::vector<std::string>{"IXAN.service"}
                                                          : std::vector<std::string>{};
            EXPECT_EQ(joinLines(entries), joinLines(expected));
        }
    }
}

// Run by a user who may not write the unit folder, as an operator without root.
TEST(InstallServiceTest, UnwritableUnitFolderCannotBeOpened) {
    InstallHarness h(Scene{});
    h.openToEveryone();
    Outcome o;
    if (::geteuid() != 0) {
        ::chmod(h.units().c_str(), 0555);
        o = h.install(fixedPath(kProgram));
        ::chmod(h.units().c_str(), 0755);
    } else {
        // Root may write anywhere: the command runs in a child as "nobody".
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
                ::_exit(99);
            }
            const Outcome child = h.install(fixedPath(kProgram));
            const std::string report = std::to_string(child.consumed) + "|" + child.out;
            [[maybe_unused]] const ssize_t n = ::write(fds[1], report.data(), report.size());
            ::_exit(child.result ? 1 : 0);
        }
        ::close(fds[1]);
        std::string report;
        char buf[256];
        ssize_t n = 0;
        while ((n = ::read(fds[0], buf, sizeof buf)) > 0) {
            report.append(buf, static_cast<std::size_t>(n));
        }
        ::close(fds[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 99) << "cannot become nobody";
        o.result = WEXITSTATUS(status) == 1;
        const auto bar = report.find('|');
        ASSERT_NE(bar, std::string::npos) << report;
        o.consumed = std::stoll(report.substr(0, bar));
        o.out = report.substr(bar + 1);
    }
    EXPECT_FALSE(o.result);
    EXPECT_EQ(o.out, kInstalling + kNoManager);
    EXPECT_EQ(o.consumed, 1);
    EXPECT_EQ(joinLines(h.calls()), joinLines({"show-environment"}))
        << "systemd was reachable; the folder must be the reason";
    EXPECT_FALSE(test::fileExists(h.unitPath()));
}

TEST(UninstallServiceTest, Cases) {
    struct Case {
        const char* what;
        Scene scene;
        bool result;
        std::string out;
        std::streamoff waits;
        std::vector<std::string> calls;
        bool unitAfter;
    };
    const std::vector<Case> cases = {
        {"installed",
         {UnitDir::Present, Unit::Foreign, {}, false},
         true,
         kUninstalling + "system service 'IXAN' was removed\n",
         0,
         {"show-environment", "disable IXAN.service", "daemon-reload"},
         false},
        // disable's result is not examined; the unit file decides.
        {"disable fails",
         {UnitDir::Present, Unit::Foreign, {{"disable", 1}}, false},
         true,
         kUninstalling + "system service 'IXAN' was removed\n",
         0,
         {"show-environment", "disable IXAN.service", "daemon-reload"},
         false},
        {"not installed",
         {},
         true,
         kUninstalling + "\n'IXAN' is not installed as Win32 System service!\n",
         1,
         {"show-environment"},
         false},
        {"systemd not reachable",
         {UnitDir::Present, Unit::Foreign, {{"show-environment", 1}}, false},
         false,
         kUninstalling + kNoManager,
         1,
         {"show-environment"},
         true},
        {"unit folder missing",
         {UnitDir::Missing, Unit::Absent, {}, false},
         false,
         kUninstalling + kNoManager,
         1,
         {"show-environment"},
         false},
        // A registration that cannot be removed is never reported as removed.
        {"unit file cannot be removed",
         {UnitDir::Present, Unit::UndeletableDirectory, {}, false},
         false,
         kUninstalling + "failed to open service!\n",
         1,
         {"show-environment", "disable IXAN.service", "daemon-reload"},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InstallHarness h(c.scene);
        const Outcome o = h.uninstall();
        EXPECT_EQ(o.result, c.result);
        EXPECT_EQ(o.out, c.out);
        EXPECT_EQ(o.consumed, c.waits) << "characters read from standard input";
        EXPECT_EQ(joinLines(h.calls()), joinLines(c.calls));
        EXPECT_EQ(test::fileExists(h.unitPath()), c.unitAfter);
    }
}

TEST(SystemdServiceManagerTest, StopAndStartRunSystemctlAndReportItsOutcome) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, int>> codes;
        bool stopped;
        bool started;
    };
    const Case cases[] = {{"both succeed", {}, true, true},
                          {"stop fails", {{"stop", 5}}, false, true},
                          {"start fails", {{"start", 1}}, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        FakeSystemctl systemctl(dir, c.codes);
        SystemdServiceManager manager({dir.path(), systemctl.path()});
        EXPECT_TRUE(manager.open());
        EXPECT_EQ(manager.stopService("IXAN"), c.stopped);
        EXPECT_EQ(manager.startService("IXAN"), c.started);
        EXPECT_EQ(joinLines(systemctl.calls()),
                  joinLines({"show-environment", "stop IXAN.service", "start IXAN.service"}));
    }
}

TEST(SystemdServiceManagerTest, ProgramPathsThatSystemdWouldMisreadAreQuoted) {
    struct Case {
        std::string path;
        std::string execStart;
    };
    const Case cases[] = {
        {"/usr/local/sbin/pollwerk", "/usr/local/sbin/pollwerk"},
        {"/opt/IXAN Pollwerk/pollwerk", "\"/opt/IXAN Pollwerk/pollwerk\""},
        {"/opt/100%/pollwerk", "/opt/100%%/pollwerk"},
        {"/opt/$HOME/pollwerk", "/opt/$$HOME/pollwerk"},
        {"/opt/a\"b\\c/pollwerk", "\"/opt/a\\\"b\\\\c/pollwerk\""},
        {"/opt/line\nExecStartPre=/bin/evil", "\"/opt/line\\nExecStartPre=/bin/evil\""},
    };
    for (const Case& c : cases) {
        ServiceRegistration r;
        r.programPath = c.path;
        const std::string unit = unitFileText(r);
        EXPECT_NE(unit.find("\nExecStart=" + c.execStart + "\n"), std::string::npos)
            << "path: " << c.path << "\nunit:\n"
            << unit;
        EXPECT_EQ(unit.find("\nExecStartPre"), std::string::npos) << "path: " << c.path;
    }
}

TEST(SystemdServiceManagerTest, EnvironmentNamesTheUnitFolderAndSystemctl) {
    ::setenv("IXAN_SYSTEMD_UNIT_DIR", "/tmp/units", 1);
    ::setenv("IXAN_SYSTEMCTL", "/tmp/fake", 1);
    SystemdSettings s = systemdSettingsFromEnvironment();
    EXPECT_EQ(s.unitDir, "/tmp/units");
    EXPECT_EQ(s.systemctl, "/tmp/fake");
    ::setenv("IXAN_SYSTEMD_UNIT_DIR", "", 1);
    ::unsetenv("IXAN_SYSTEMCTL");
    s = systemdSettingsFromEnvironment();
    EXPECT_EQ(s.unitDir, "/etc/systemd/system");
    EXPECT_EQ(s.systemctl, "systemctl");
    ::unsetenv("IXAN_SYSTEMD_UNIT_DIR");
}

// The commands as an operator runs them: the binary, a terminal-like standard input,
// the settings store and the unit folder named by the environment.
class InstallCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(units_);
        test::writeFile(dir_.file("registry"), "path=" + dir_.file("ixan.ini") + "\n");
        test::writeFile(dir_.file("ixan.ini"),
                        "[Global]\nlog=" + dir_.file("ixan.log") + "\n[10.0.0.5]\n");
    }

    struct Run {
        std::string out;
        bool waited = false;
        int status = -1;
    };

    // Runs pollwerk with one argument and an open, silent standard input. A command
    // that must not wait has to end on its own. One that must wait has to print all of
    // `out` and then still be running a second later; it then gets a line end.
    Run run(const std::string& command, const std::string& out, bool expectWait) {
        test::ChildOptions o;
        o.argv = {IXAN_POLLWERK_PATH, command};
        o.unset = {"NOTIFY_SOCKET"};
        o.set = {{"IXAN_REGISTRY", dir_.file("registry")},
                 {"IXAN_SYSTEMD_UNIT_DIR", units_},
                 {"IXAN_SYSTEMCTL", systemctl_.path()}};
        o.stdinPipe = true;
        o.stdoutPath = dir_.file("stdout");
        o.stderrPath = dir_.file("stderr");
        test::Child child(o);
        Run r;
        std::optional<int> status;
        if (expectWait) {
            const auto deadline = std::chrono::steady_clock::now() + 10s;
            while (test::readFile(dir_.file("stdout")) != out && child.running() &&
                   std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(10ms);
            }
            status = child.waitFor(1s);
            r.waited = !status;
            if (r.waited) {
                child.writeInput("\n");
            }
        }
        if (!status) {
            status = child.waitFor(10s);
        }
        EXPECT_TRUE(status) << command << " did not end";
        r.status = status.value_or(-1);
        r.out = test::readFile(dir_.file("stdout"));
        return r;
    }

    TempDir dir_;
    std::string units_ = dir_.file("units");
    FakeSystemctl systemctl_{dir_};
};

TEST_F(InstallCommandTest, InstallTwiceThenUninstallTwice) {
    const std::string program = std::filesystem::canonical(IXAN_POLLWERK_PATH).string();
    struct Step {
        const char* command;
        std::string out;
        bool waits;
        std::vector<std::string> calls;
        bool unitAfter;
    };
    const Step steps[] = {
        {"installService",
         kInstalling + "system service 'IXAN' was created\n",
         false,
         {"show-environment", "daemon-reload", "enable IXAN.service"},
         true},
        {"INSTALLSERVICE",
         kInstalling + "'IXAN' is already installed as Win32 System service!\n",
         true,
         {"show-environment"},
         true},
        {"uninstallService",
         kUninstalling + "system service 'IXAN' was removed\n",
         false,
         {"show-environment", "disable IXAN.service", "daemon-reload"},
         false},
        {"uninstallservice",
         kUninstalling + "\n'IXAN' is not installed as Win32 System service!\n",
         true,
         {"show-environment"},
         false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.command);
        systemctl_.clearCalls();
        const Run r = run(s.command, s.out, s.waits);
        EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0);
        EXPECT_EQ(r.out, s.out) << "systemctl's own output must not reach the console";
        EXPECT_EQ(r.waited, s.waits) << "still waiting for Enter after its last message";
        EXPECT_EQ(joinLines(systemctl_.calls()), joinLines(s.calls));
        EXPECT_EQ(test::fileExists(units_ + "/IXAN.service"), s.unitAfter);
        if (s.unitAfter) {
            EXPECT_EQ(test::readFile(units_ + "/IXAN.service"), expectedUnit(program));
        }
    }
}

TEST_F(InstallCommandTest, FailuresStillEndWithExitCodeZero) {
    // Rewrites the stand-in in place: systemd cannot be reached.
    const FakeSystemctl unreachable(dir_, {{"show-environment", 1}});
    struct Step {
        const char* command;
        std::string out;
    };
    const Step steps[] = {{"installService", kInstalling + kNoManager},
                          {"uninstallService", kUninstalling + kNoManager}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.command);
        const Run r = run(s.command, s.out, true);
        EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0);
        EXPECT_EQ(r.out, s.out);
        EXPECT_TRUE(r.waited) << "still waiting for Enter after its last message";
        EXPECT_FALSE(test::fileExists(units_ + "/IXAN.service"));
    }
}

}  // namespace
}  // namespace ixan
