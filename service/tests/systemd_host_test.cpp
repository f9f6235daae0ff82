// SystemdServiceHost in this process: the test plays both systemd (the notify socket,
// the stop signal) and the service. The dispatcher blocks SIGTERM and SIGINT in this
// process for good, hence a test program of its own.

#include "service/systemd_host.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "common/config.h"
#include "service/tests/test_support.h"

namespace ixan {
namespace {

using namespace std::chrono_literals;

class NotifyEnvironment {
  public:
    explicit NotifyEnvironment(const std::string& path) {
        fd_.reset(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        if (!fd_ || ::bind(fd_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            throw std::runtime_error("cannot bind " + path);
        }
        ::setenv("NOTIFY_SOCKET", path.c_str(), 1);
    }
    ~NotifyEnvironment() { ::unsetenv("NOTIFY_SOCKET"); }

    std::vector<std::string> received() {
        std::vector<std::string> out;
        char buf[512];
        for (;;) {
            pollfd p{fd_.get(), POLLIN, 0};
            if (::poll(&p, 1, 0) <= 0) {
                return out;
            }
            const ssize_t n = ::recv(fd_.get(), buf, sizeof buf, 0);
            if (n < 0) {
                return out;
            }
            out.emplace_back(buf, static_cast<std::size_t>(n));
        }
    }

  private:
    UniqueFd fd_;
};

TEST(SystemdHostTest, NotifyMessages) {
    EXPECT_EQ(notifyMessage(ServiceState::Running), "READY=1");
    EXPECT_EQ(notifyMessage(ServiceState::StopPending), "STOPPING=1");
    EXPECT_EQ(notifyMessage(ServiceState::Stopped), "STATUS=stopped");
}

TEST(SystemdHostTest, RefusesWithoutNotifySocket) {
    ::unsetenv("NOTIFY_SOCKET");
    SystemdServiceHost host;
    bool ran = false;
    EXPECT_FALSE(host.dispatch({"", [&](const std::vector<std::string>&) { ran = true; }}));
    EXPECT_FALSE(ran);
    ::setenv("NOTIFY_SOCKET", "", 1);
    EXPECT_FALSE(host.dispatch({"", [&](const std::vector<std::string>&) { ran = true; }}));
    EXPECT_FALSE(ran);
    ::unsetenv("NOTIFY_SOCKET");
}

// A stop signal that arrives before the service accepts stop is held back, then
// delivered on the dispatching thread; the dispatcher returns after serviceMain.
TEST(SystemdHostTest, EarlyStopIsDeliveredOnTheMainThreadOnceStopIsAccepted) {
    test::TempDir dir;
    NotifyEnvironment notify(dir.file("notify"));
    SystemdServiceHost host;

    const std::thread::id mainThread = std::this_thread::get_id();
    std::mutex m;
    std::condition_variable changed;
    std::vector<std::string> events;
    auto note = [&](const std::string& e) {
        std::lock_guard lock(m);
        events.push_back(e);
        changed.notify_all();
    };
    std::vector<std::string> args;
    bool serviceReturned = false;

    const bool dispatched = host.dispatch(
        {"", [&](const std::vector<std::string>& a) {
             args = a;
             const std::uintptr_t handle =
                 host.registerHandler("IXAN", [&](ServiceControl control) -> std::uint32_t {
                     note(std::string("control ") +
                          std::to_string(static_cast<std::uint32_t>(control)) +
                          (std::this_thread::get_id() == mainThread ? " on main thread"
                                                                    : " on service thread"));
                     ServiceStatus pending;
                     pending.currentState = ServiceState::StopPending;
                     host.setStatus(handle, pending);
                     return 0;
                 });
             ::kill(::getpid(), SIGTERM);
             std::this_thread::sleep_for(200ms);
             note("running");
             ServiceStatus running;
             host.setStatus(handle, running);
             {
                 std::unique_lock lock(m);
                 changed.wait_for(lock, 2s, [&] { return events.size() >= 2; });
             }
             ServiceStatus stopped;
             stopped.currentState = ServiceState::Stopped;
             host.setStatus(handle, stopped);
             // Signals after the stopped report reach nobody and harm nothing.
             ::kill(::getpid(), SIGTERM);
             std::this_thread::sleep_for(50ms);
             serviceReturned = true;
         }});

    EXPECT_TRUE(dispatched);
    EXPECT_TRUE(serviceReturned);
    EXPECT_EQ(args, std::vector<std::string>{"IXAN"});
    EXPECT_EQ(events, (std::vector<std::string>{"running", "control 1 on main thread"}));
    EXPECT_EQ(notify.received(),
              (std::vector<std::string>{"READY=1", "STOPPING=1", "STATUS=stopped"}));
}

}  // namespace
}  // namespace ixan
