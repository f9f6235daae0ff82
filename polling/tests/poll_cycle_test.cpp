#include <gtest/gtest.h>

#include <sstream>

#include "common/activity_log.h"
#include "common/config.h"
#include "common/tests/test_files.h"
#include "polling/poll_cycle.h"

namespace ixan {
namespace {

TEST(IsDue, StrictlyMoreThanTheIntervalInSigned64Bit) {
    struct Case {
        std::int64_t lastRun;
        std::int32_t interval;
        std::int64_t now;
        bool due;
    };
    const Case cases[] = {
        {0, 180, 5, true},  // never polled
        {0, 2147483647, 0, true},
        {1000, 180, 1180, false},  // exactly the interval: not yet
        {1000, 180, 1181, true},
        {1000, 0, 1000, false},  // interval 0: from the next second on
        {1000, 0, 1001, true},
        {1000, -5, 1000, true},           // negative: every cycle
        {5000, 180, 5000 - 3600, false},  // clock set back an hour
        {5000, 180, 5181, true},
        {1'700'000'000, 2147483647, 1'700'000'000 + 2147483647LL, false},  // no 32-bit wrap
        {1'700'000'000, 2147483647, 1'700'000'000 + 2147483648LL, true},
        {1'700'000'000, -2147483647 - 1, 1'700'000'000, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isDue(c.lastRun, c.interval, c.now), c.due)
            << "lastRun " << c.lastRun << " interval " << c.interval << " now " << c.now;
    }
}

class PollCycle : public testing::Test {
  protected:
    void SetUp() override {
        processConfig().global.log = dir_.file("ixansys.log");
        deps_.now = [this] { return now_; };
        deps_.fetch = [this](const NodeEntry& d) {
            events_.push_back("fetch " + d.host + ":" + std::to_string(d.port));
            now_ += fetchTakes_;  // the stamp is taken after the fetch
            return d.user == "empty" ? std::string() : "line of " + d.host + "\n";
        };
        deps_.store = [this](const std::string& text) { events_.push_back("store " + text); };
        deps_.out = &out_;
    }
    void TearDown() override { processConfig().global.log.clear(); }

    static NodeEntry device(const std::string& host, std::int32_t interval,
                            const std::string& user = "u") {
        NodeEntry n;
        n.host = host;
        n.interval = interval;
        n.user = user;
        return n;
    }

    test::TempDir dir_;
    PollCycleDeps deps_;
    std::int64_t now_ = 1000;
    std::int64_t fetchTakes_ = 0;
    std::vector<std::string> events_;
    std::ostringstream out_;
};

TEST_F(PollCycle, FirstCyclePollsEveryDeviceInOrderThenFollowsEachInterval) {
    std::vector<NodeEntry> devices = {device("a", 180), device("b", 0), device("a", -1)};
    runPollCycle(devices, deps_);
    EXPECT_EQ(events_,
              (std::vector<std::string>{"fetch a:80", "store line of a\n", "fetch b:80",
                                        "store line of b\n", "fetch a:80", "store line of a\n"}));
    EXPECT_EQ(out_.str(), "last run: 0\nlast run: 0\nlast run: 0\n");
    for (const NodeEntry& d : devices) {
        EXPECT_EQ(d.lastRun, 1000);
    }

    // the same second: only the negative interval is due
    events_.clear();
    out_.str("");
    runPollCycle(devices, deps_);
    EXPECT_EQ(events_, (std::vector<std::string>{"fetch a:80", "store line of a\n"}));
    EXPECT_EQ(out_.str(), "last run: 1000\n");

    // 180 s later: interval 0 and -1 are due, interval 180 is not; one second more and it is
    now_ = 1180;
    events_.clear();
    runPollCycle(devices, deps_);
    EXPECT_EQ(events_.size(), 4u);
    now_ = 1181;
    events_.clear();
    runPollCycle(devices, deps_);
    EXPECT_EQ(events_.front(), "fetch a:80");
    EXPECT_EQ(events_.size(), 6u);
}

TEST_F(PollCycle, StampIsTakenAfterTheFetchAndAFailedFetchMovesOnToo) {
    fetchTakes_ = 30;
    std::vector<NodeEntry> devices = {device("slow", 100, "empty"), device("next", 100)};
    runPollCycle(devices, deps_);
    EXPECT_EQ(devices[0].lastRun, 1030);
    EXPECT_EQ(devices[1].lastRun, 1060);
    EXPECT_EQ(events_,
              (std::vector<std::string>{"fetch slow:80", "fetch next:80", "store line of next\n"}));
    const std::string log = test::readFile(processConfig().global.log);
    const auto first = log.find(" processing node: slow\n");
    const auto nodata = log.find(" no data received from host\n", first);
    const auto second = log.find(" processing node: next\n", nodata);
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_NE(nodata, std::string::npos) << log;
    EXPECT_NE(second, std::string::npos) << log;
    EXPECT_EQ(log.find("no data", nodata + 2), std::string::npos) << log;
}

TEST_F(PollCycle, AnEmptyDeviceListDoesNothing) {
    std::vector<NodeEntry> none;
    runPollCycle(none, deps_);
    EXPECT_TRUE(events_.empty());
    EXPECT_EQ(out_.str(), "");
    EXPECT_FALSE(std::filesystem::exists(processConfig().global.log));
}

}  // namespace
}  // namespace ixan
