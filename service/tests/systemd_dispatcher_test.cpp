// The real pollwerk binary under the sd_notify protocol, with the test in the role of
// systemd: a notify socket, the stop signals, and a device on loopback.

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "service/tests/loopback_listener.h"
#include "service/tests/test_support.h"

namespace ixan {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const char* const kUsage =
    "\n"
    "IXAN Pollwerk - collects the event logs of IXAN devices\n"
    " usage: pollwerk command\n"
    " commands:\n"
    " installService       Installs the service\n"
    " uninstallService     Uninstalls the service\n"
    " configTest           Test the config file\n"
    "\n\n";

long long msSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

class NotifySocket {
  public:
    explicit NotifySocket(const std::string& path) : path_(path) {
        fd_.reset(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        if (!fd_ || ::bind(fd_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            throw std::runtime_error("cannot bind " + path);
        }
    }
    const std::string& path() const { return path_; }

    std::optional<std::string> receive(std::chrono::milliseconds timeout) {
        pollfd p{fd_.get(), POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) {
            return std::nullopt;
        }
        char buf[4096];
        const ssize_t n = ::recv(fd_.get(), buf, sizeof buf, 0);
        if (n < 0) {
            return std::nullopt;
        }
        return std::string(buf, static_cast<std::size_t>(n));
    }

  private:
    std::string path_;
    UniqueFd fd_;
};

class DispatcherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::writeFile(dir_.file("registry"), "path=" + dir_.file("ixan.ini") + "\n");
        test::writeFile(dir_.file("ixan.ini"),
                        "[Global]\n"
                        "log=" +
                            dir_.file("ixan.log") +
                            "\n"
                            "dsn=nodsn\n"
                            "[127.0.0.1]\n"
                            "user=Service\n"
                            "pass=Fenwix\n"
                            "port=" +
                            std::to_string(device_.port()) +
                            "\n"
                            "interval=-1\n");
    }

    test::ChildOptions pollwerk(std::optional<std::string> notifySocket) {
        test::ChildOptions o;
        o.argv = {IXAN_POLLWERK_PATH};
        o.unset = {"NOTIFY_SOCKET",  "IXAN_SYSTEMD_UNIT_DIR",
                   "IXAN_SYSTEMCTL", "http_proxy",
                   "HTTP_PROXY",     "all_proxy",
                   "ALL_PROXY"};
        o.set = {{"IXAN_REGISTRY", dir_.file("registry")}};
        if (notifySocket) {
            o.set.emplace_back("NOTIFY_SOCKET", *notifySocket);
        }
        o.stdoutPath = dir_.file("stdout");
        o.stderrPath = dir_.file("stderr");
        return o;
    }

    std::vector<std::string> log() { return test::logMessages(dir_.file("ixan.log")); }

    std::size_t logCount(const std::string& message) {
        const std::vector<std::string> lines = log();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), message));
    }

    test::TempDir dir_;
    test::LoopbackListener device_;
};

class StopSignalTest : public DispatcherTest, public ::testing::WithParamInterface<int> {};

TEST_P(StopSignalTest, ReadyPollsAndStopsOnTheSignal) {
    const int signal = GetParam();
    NotifySocket notify(dir_.file("notify"));
    test::Child child(pollwerk(notify.path()));

    EXPECT_EQ(notify.receive(5s), std::optional<std::string>("READY=1"));
    ASSERT_TRUE(device_.waitForRequests(2, 5s)) << "the service must poll the device every cycle";
    // Stop right after a cycle has begun, so the signal falls into the rest or the wait.
    std::this_thread::sleep_for(300ms);

    const auto sent = Clock::now();
    ASSERT_EQ(::kill(child.pid(), signal), 0);
    EXPECT_EQ(notify.receive(2s), std::optional<std::string>("STOPPING=1"));
    const long long pendingMs = msSince(sent);
    EXPECT_EQ(notify.receive(2s), std::optional<std::string>("STATUS=stopped"));
    const std::optional<int> status = child.waitFor(2s);
    const long long exitMs = msSince(sent);
    ASSERT_TRUE(status) << "pollwerk did not end after signal " << signal;
    EXPECT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    std::cout << "signal " << signal << ": stop pending after " << pendingMs << " ms, exit after "
              << exitMs << " ms\n";
    EXPECT_LT(pendingMs, 200) << "stop pending must be reported at once";
    EXPECT_LT(exitMs, 1000) << "a stop outside a cycle ends within the rest after the cycle";

    const std::size_t polls = device_.requests().size();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(device_.requests().size(), polls) << "no poll after the stop";
    const std::vector<std::string> lines = log();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "starting system service IXAN");
    EXPECT_EQ(logCount("error in api call SetServiceStatus"), 0u);
    EXPECT_EQ(logCount("processing node: 127.0.0.1"), polls);
    EXPECT_EQ(notify.receive(100ms), std::nullopt) << "nothing after the stopped report";
}

INSTANTIATE_TEST_SUITE_P(TermAndInt, StopSignalTest, ::testing::Values(SIGTERM, SIGINT));

TEST_F(DispatcherTest, RepeatedStopSignalsEndTheServiceOnceWithExitCodeZero) {
    NotifySocket notify(dir_.file("notify"));
    test::Child child(pollwerk(notify.path()));
    ASSERT_EQ(notify.receive(5s), std::optional<std::string>("READY=1"));
    for (int i = 0; i < 5; ++i) {
        ::kill(child.pid(), SIGTERM);
    }
    const std::optional<int> status = child.waitFor(3s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    std::vector<std::string> messages;
    while (std::optional<std::string> m = notify.receive(100ms)) {
        messages.push_back(*m);
    }
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "STATUS=stopped");
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "STATUS=stopped"), 1);
    EXPECT_GE(std::count(messages.begin(), messages.end(), "STOPPING=1"), 1);
}

TEST_F(DispatcherTest, UndeliverableReportsAreLoggedAsSetServiceStatus) {
    // The socket named does not exist: every sd_notify fails.
    test::Child child(pollwerk(dir_.file("no-such-socket")));
    const auto deadline = Clock::now() + 5s;
    while (logCount("error in api call SetServiceStatus") == 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(logCount("error in api call SetServiceStatus"), 1u) << "the running report";
    ASSERT_EQ(::kill(child.pid(), SIGTERM), 0);
    const std::optional<int> status = child.waitFor(3s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    const std::vector<std::string> lines = log();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "starting system service IXAN");
    EXPECT_EQ(lines[1], "error in api call SetServiceStatus");
    EXPECT_EQ(logCount("error in api call SetServiceStatus"), 3u)
        << "running, stop pending and stopped each failed";
}

TEST_F(DispatcherTest, StartedFromAConsolePrintsTheUsageText) {
    struct Case {
        const char* what;
        std::optional<std::string> notifySocket;
    };
    const Case cases[] = {{"NOTIFY_SOCKET unset", std::nullopt}, {"NOTIFY_SOCKET empty", ""}};
    for (const Case& c : cases) {
        test::Child child(pollwerk(c.notifySocket));
        const std::optional<int> status = child.waitFor(5s);
        ASSERT_TRUE(status) << c.what << ": pollwerk did not end";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << c.what;
        EXPECT_EQ(test::readFile(dir_.file("stdout")), kUsage) << c.what;
        EXPECT_EQ(logCount("starting system service IXAN"), 0u)
            << c.what << ": serviceMain must not run";
        EXPECT_TRUE(device_.requests().empty()) << c.what;
    }
}

}  // namespace
}  // namespace ixan
