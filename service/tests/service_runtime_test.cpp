#include "service/service_runtime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <thread>

#include "common/config.h"
#include "service/tests/fake_service_host.h"
#include "service/tests/test_support.h"

namespace ixan {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::FakeServiceHost;
using test::HostCall;

long long msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count();
}

const char* stateName(ServiceState s) {
    switch (s) {
        case ServiceState::Stopped:
            return "STOPPED";
        case ServiceState::StartPending:
            return "START_PENDING";
        case ServiceState::StopPending:
            return "STOP_PENDING";
        case ServiceState::Running:
            return "RUNNING";
    }
    return "?";
}

std::string describe(const std::vector<ServiceState>& states) {
    std::string out;
    for (ServiceState s : states) {
        out += out.empty() ? "" : " ";
        out += stateName(s);
    }
    return out;
}

// A poll cycle that records when it starts and, while held, blocks until released.
class TestCycle {
  public:
    // Held cycles block until release().
    void hold() {
        std::lock_guard lock(mutex_);
        hold_ = true;
    }

    void operator()() {
        std::unique_lock lock(mutex_);
        starts_.push_back(Clock::now());
        changed_.notify_all();
        changed_.wait(lock, [&] { return !hold_; });
        returns_.push_back(Clock::now());
    }
    bool waitStarted(std::size_t n, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return starts_.size() >= n; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        hold_ = false;
        changed_.notify_all();
    }
    std::vector<Clock::time_point> starts() {
        std::lock_guard lock(mutex_);
        return starts_;
    }
    std::vector<Clock::time_point> returns() {
        std::lock_guard lock(mutex_);
        return returns_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool hold_ = false;
    std::vector<Clock::time_point> starts_;
    std::vector<Clock::time_point> returns_;
};

class ServiceRuntimeTest : public ::testing::Test {
  protected:
    void SetUp() override { processConfig().global.log = dir_.file("ixan.log"); }

    void TearDown() override {
        // A failed test must not leave the service thread running.
        cycle_.release();
        for (int i = 0; i < 100 && !returned_; ++i) {
            host_.deliver(ServiceControl::Stop);
            std::this_thread::sleep_for(20ms);
        }
        if (service_.joinable()) {
            service_.join();
        }
        processConfig().global.log.clear();
    }

    void start(std::vector<std::string> args = {"IXAN"},
               StopEventFactory factory = &StopEvent::create) {
        runtime_.host = &host_;
        runtime_.runPollCycle = [this] { cycle_(); };
        runtime_.createStopEvent = factory;
        service_ = std::thread([this, args] {
            serviceMain(args, runtime_);
            returned_ = true;
        });
    }

    bool joinWithin(std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (!returned_ && Clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        if (!returned_) {
            return false;
        }
        service_.join();
        return true;
    }

    std::vector<std::string> log() { return test::logMessages(dir_.file("ixan.log")); }

    test::TempDir dir_;
    FakeServiceHost host_;
    TestCycle cycle_;
    ServiceRuntime runtime_;
    std::thread service_;
    std::atomic<bool> returned_{false};
};

class HeldCycleTest : public ServiceRuntimeTest {
  protected:
    void SetUp() override {
        ServiceRuntimeTest::SetUp();
        cycle_.hold();
    }
};

TEST_F(ServiceRuntimeTest, StopWhileWaitingEndsWithinMilliseconds) {
    start({"IXAN-second"});
    ASSERT_TRUE(host_.waitForReports(ServiceState::Running, 1, 2s));

    const auto before = Clock::now();
    EXPECT_EQ(host_.deliver(ServiceControl::Stop), std::optional<std::uint32_t>(0));
    ASSERT_TRUE(host_.waitForReports(ServiceState::Stopped, 1, 2s));
    ASSERT_TRUE(joinWithin(1s));

    const std::vector<HostCall> calls = host_.calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].kind, HostCall::Register);
    EXPECT_EQ(calls[0].serviceName, "IXAN-second");
    EXPECT_EQ(describe(host_.reportedStates()), "RUNNING STOP_PENDING STOPPED");
    for (std::size_t i = 1; i < calls.size(); ++i) {
        const ServiceStatus& s = calls[i].status;
        EXPECT_EQ(s.serviceType, 0x10u) << "report " << i;
        EXPECT_EQ(s.controlsAccepted, 0x5u) << "report " << i;
        EXPECT_EQ(s.win32ExitCode, 0u) << "report " << i;
        EXPECT_EQ(s.serviceExitCode, 0u) << "report " << i;
        EXPECT_EQ(s.checkPoint, 0u) << "report " << i;
        EXPECT_EQ(s.waitHint, 0u) << "report " << i;
    }
    const long long stopMs = msBetween(before, calls[3].at);
    std::cout << "stop while waiting: stopped " << stopMs << " ms after the control\n";
    EXPECT_LT(stopMs, 100) << "a stop during the wait must end the loop at once";
    EXPECT_TRUE(cycle_.starts().empty()) << "no cycle may start after the stop";
    // The start message names the service by its fixed name.
    EXPECT_EQ(log(), std::vector<std::string>{"starting system service IXAN"});
}

TEST_F(ServiceRuntimeTest, ShutdownIsHandledLikeStop) {
    start();
    ASSERT_TRUE(host_.waitForReports(ServiceState::Running, 1, 2s));
    EXPECT_EQ(host_.deliver(ServiceControl::Shutdown), std::optional<std::uint32_t>(0));
    ASSERT_TRUE(joinWithin(1s));
    EXPECT_EQ(describe(host_.reportedStates()), "RUNNING STOP_PENDING STOPPED");
}

TEST_F(ServiceRuntimeTest, CyclesStartAboutOneSecondApartPlusTheRest) {
    start();
    ASSERT_TRUE(host_.waitForReports(ServiceState::Running, 1, 2s));
    const Clock::time_point running = host_.calls().back().at;
    ASSERT_TRUE(cycle_.waitStarted(3, 6s));
    host_.deliver(ServiceControl::Stop);
    ASSERT_TRUE(joinWithin(2s));

    const std::vector<Clock::time_point> starts = cycle_.starts();
    const long long first = msBetween(running, starts[0]);
    std::cout << "first cycle " << first << " ms after the running report\n";
    EXPECT_GE(first, 990);
    EXPECT_LT(first, 1500);
    for (std::size_t i = 1; i < starts.size(); ++i) {
        const long long gap = msBetween(starts[i - 1], starts[i]);
        std::cout << "cycle " << i << " -> " << i + 1 << ": " << gap << " ms\n";
        EXPECT_GE(gap, 1090) << "between cycle " << i << " and " << i + 1;
        EXPECT_LT(gap, 1600) << "between cycle " << i << " and " << i + 1;
    }
}

TEST_F(HeldCycleTest, StopDuringCycleIsHonouredAfterTheCycleReturns) {
    start();
    ASSERT_TRUE(cycle_.waitStarted(1, 3s));

    const auto control = Clock::now();
    EXPECT_EQ(host_.deliver(ServiceControl::Stop), std::optional<std::uint32_t>(0));
    EXPECT_LT(msBetween(control, Clock::now()), 100) << "the handler must not wait for the cycle";
    EXPECT_EQ(describe(host_.reportedStates()), "RUNNING STOP_PENDING");

    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(describe(host_.reportedStates()), "RUNNING STOP_PENDING")
        << "stopped reported while the cycle still runs";

    cycle_.release();
    ASSERT_TRUE(joinWithin(2s));
    EXPECT_EQ(describe(host_.reportedStates()), "RUNNING STOP_PENDING STOPPED");
    const long long afterCycle = msBetween(cycle_.returns().at(0), host_.calls().back().at);
    std::cout << "stopped " << afterCycle << " ms after the cycle returned\n";
    EXPECT_GE(afterCycle, 95) << "the rest after the cycle comes first";
    EXPECT_LT(afterCycle, 400);
    EXPECT_EQ(cycle_.starts().size(), 1u) << "no further cycle after the stop";
}

TEST_F(HeldCycleTest, SecondStopAndInterrogationWhileStopPendingGiveOneStopped) {
    start();
    ASSERT_TRUE(cycle_.waitStarted(1, 3s));
    host_.deliver(ServiceControl::Stop);
    host_.deliver(ServiceControl::Stop);
    host_.deliver(ServiceControl::Interrogate);
    cycle_.release();
    ASSERT_TRUE(joinWithin(2s));
    EXPECT_EQ(describe(host_.reportedStates()),
              "RUNNING STOP_PENDING STOP_PENDING RUNNING STOPPED");
    EXPECT_EQ(cycle_.starts().size(), 1u);
    EXPECT_EQ(log(), std::vector<std::string>{"starting system service IXAN"})
        << "setting the event twice is no error";
}

TEST_F(ServiceRuntimeTest, OtherControlsAreAnsweredWithRunningAndChangeNothing) {
    struct Case {
        std::uint32_t code;
        const char* what;
    };
    const Case cases[] = {
        {2, "pause"}, {3, "continue"}, {4, "interrogate"}, {0x10, "unknown code 16"}};
    start();
    ASSERT_TRUE(host_.waitForReports(ServiceState::Running, 1, 2s));
    std::size_t running = 1;
    for (const Case& c : cases) {
        EXPECT_EQ(host_.deliver(static_cast<ServiceControl>(c.code)),
                  std::optional<std::uint32_t>(0))
            << c.what;
        ++running;
        EXPECT_TRUE(host_.waitForReports(ServiceState::Running, running, 1s)) << c.what;
        EXPECT_EQ(host_.reportedStates().back(), ServiceState::Running) << c.what;
    }
    // The loop goes on polling.
    EXPECT_TRUE(cycle_.waitStarted(1, 3s));
    host_.deliver(ServiceControl::Stop);
    ASSERT_TRUE(joinWithin(2s));
    EXPECT_EQ(describe(host_.reportedStates()),
              "RUNNING RUNNING RUNNING RUNNING RUNNING STOP_PENDING STOPPED");
}

TEST_F(ServiceRuntimeTest, FailedStatusReportsAreLoggedAndTheServiceCarriesOn) {
    host_.failReports = true;
    start();
    ASSERT_TRUE(host_.waitForReports(ServiceState::Running, 1, 2s));
    host_.deliver(ServiceControl::Stop);
    ASSERT_TRUE(joinWithin(2s));
    EXPECT_EQ(describe(host_.reportedStates()), "RUNNING STOP_PENDING STOPPED");
    EXPECT_EQ(log(),
              (std::vector<std::string>{
                  "starting system service IXAN", "error in api call SetServiceStatus",
                  "error in api call SetServiceStatus", "error in api call SetServiceStatus"}));
}

TEST_F(ServiceRuntimeTest, WithoutStopEventTheServiceReportsStoppedAndReturns) {
    start({"IXAN"}, [] { return std::optional<StopEvent>(); });
    ASSERT_TRUE(joinWithin(1s)) << "serviceMain must return when it cannot be stopped";
    EXPECT_EQ(describe(host_.reportedStates()), "STOPPED");
    EXPECT_EQ(log(), std::vector<std::string>{"error in api call CreateEvent"});
    EXPECT_TRUE(cycle_.starts().empty());
    EXPECT_FALSE(host_.deliver(ServiceControl::Stop).has_value())
        << "no control may reach the handler after the stopped report";
}

TEST(StopEventTest, StaysSetOnceSet) {
    std::optional<StopEvent> event = StopEvent::create();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->wait(0ms), WaitResult::TimedOut);
    const auto before = Clock::now();
    EXPECT_EQ(event->wait(50ms), WaitResult::TimedOut);
    EXPECT_GE(msBetween(before, Clock::now()), 45);
    EXPECT_TRUE(event->set());
    EXPECT_TRUE(event->set());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(event->wait(1000ms), WaitResult::Signalled) << "wait " << i;
    }
}

TEST(StopEventTest, SetFromAnotherThreadWakesTheWaiter) {
    std::optional<StopEvent> event = StopEvent::create();
    ASSERT_TRUE(event);
    std::thread setter([&] {
        std::this_thread::sleep_for(50ms);
        event->set();
    });
    const auto before = Clock::now();
    EXPECT_EQ(event->wait(2000ms), WaitResult::Signalled);
    EXPECT_LT(msBetween(before, Clock::now()), 500);
    setter.join();
}

}  // namespace
}  // namespace ixan
