// Fetches from the device simulator and checks the decoded records against the
// simulator's own list of the events it exported.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "events/export_parser.h"
#include "polling/export_request.h"
#include "polling/tests/child_process.h"
#include "polling/tests/log_capture.h"

namespace ixan {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;

constexpr const char* kUri = "/cgi/lgexport.cgi";
constexpr const char* kUser = "Service";
constexpr const char* kPass = "Fenwix";

std::vector<std::string> simArgs(const std::vector<std::string>& options) {
    std::vector<std::string> args = {IXAN_SIM_PATH, "--seed", "11", "--events", "300"};
    args.insert(args.end(), options.begin(), options.end());
    return args;
}

// A running simulator on an ephemeral loopback port.
struct RunningSim {
    explicit RunningSim(const std::vector<std::string>& options) {
        std::vector<std::string> args = simArgs(options);
        args.insert(args.end(), {"--listen", "127.0.0.1:0"});
        process.emplace(args);
        const std::optional<std::string> line = process->readLine(10s);
        const std::string prefix = "listening on 127.0.0.1:";
        if (!line || line->rfind(prefix, 0) != 0) {
            ADD_FAILURE() << "simulator did not start: " << line.value_or("(no output)");
            return;
        }
        port = std::atoi(line->c_str() + prefix.size());
    }
    std::optional<ChildProcess> process;
    int port = 0;
};

// The simulator's list of the first export's events, one TAB-separated line each.
std::vector<std::string> expectedEvents(const std::vector<std::string>& options) {
    std::vector<std::string> args = simArgs(options);
    args.push_back("--print-events");
    ChildProcess printer(args);
    const std::optional<std::string> text = printer.readAll(10s);
    EXPECT_TRUE(text.has_value()) << "--print-events did not finish";
    std::vector<std::string> lines;
    for (std::string& line : splitExportLines(text.value_or(""))) {
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> fetchedEvents(int port, const FetchLimits& limits = {}) {
    const std::string text = fetchExport("127.0.0.1", port, kUri, kUser, kPass, limits);
    std::vector<std::string> rows;
    for (const ExportLine& line : splitExportLines(text)) {
        const EventRow row = parseEventRow(line);
        rows.push_back(row.IP + '\t' + row.Datum + '\t' + row.Tuername + '\t' + row.Ausloeser +
                       '\t' + row.Ereignis + '\t' + row.Benutzer + '\t' + row.Kartennummer + '\t' +
                       row.Kartentyp);
    }
    return rows;
}

class SimFetchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
            ::unsetenv(name);
        }
    }
    test::LogCapture log_;
};

TEST_F(SimFetchTest, EveryCharsetAndLineEndGivesTheDevicesEvents) {
    const std::vector<std::vector<std::string>> variants = {
        {"--charset", "escaped"},
        {"--charset", "cp1252"},
        {"--charset", "utf8"},
        {"--charset", "escaped", "--crlf"},
        {"--charset", "cp1252", "--crlf"},
    };
    for (const std::vector<std::string>& options : variants) {
        SCOPED_TRACE(::testing::PrintToString(options));
        const std::vector<std::string> expected = expectedEvents(options);
        ASSERT_EQ(expected.size(), 300U);
        RunningSim sim(options);
        ASSERT_NE(sim.port, 0);
        const std::vector<std::string> fetched = fetchedEvents(sim.port);
        ASSERT_EQ(fetched.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(fetched[i], expected[i]) << "event " << i;
        }
    }
    EXPECT_TRUE(log_.messages().empty());
}

TEST_F(SimFetchTest, TruncatedExportLosesOnlyItsUnfinishedRecord) {
    const std::vector<std::string> expected = expectedEvents({});
    RunningSim sim({"--truncate"});
    ASSERT_NE(sim.port, 0);
    const std::vector<std::string> fetched = fetchedEvents(sim.port);
    ASSERT_EQ(fetched.size() + 1, expected.size());
    for (std::size_t i = 0; i < fetched.size(); ++i) {
        ASSERT_EQ(fetched[i], expected[i]) << "event " << i;
    }
}

TEST_F(SimFetchTest, DeviceFailuresGiveNoEventsAndTheirMessages) {
    struct Case {
        std::vector<std::string> options;
        std::string expectedStart;
        std::size_t bodyLimit = std::size_t{256} * 1024 * 1024;
    };
    const std::string ex = "CInternetException was thrown: ";
    const Case cases[] = {
        {{"--pass", "other"}, "FAILED HTTP Status Code: 401"},
        {{"--status", "503"}, "FAILED HTTP Status Code: 503"},
        {{"--abort-mid-body"}, ex + "transfer closed with "},
        {{"--stall-mid-body"}, ex + "Operation too slow."},
        {{"--close-without-answer"}, ex + "Empty reply from server"},
        {{"--oversize", "3000000"}, ex + "answer body larger than 1000000 bytes", 1000000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.options));
        test::LogCapture log;
        RunningSim sim(c.options);
        ASSERT_NE(sim.port, 0);
        FetchLimits limits;
        limits.connectTimeout = 2s;
        limits.stallTimeout = 1s;
        limits.maxBodyBytes = c.bodyLimit;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(fetchedEvents(sim.port, limits).empty());
        EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);
        const std::vector<std::string> messages = log.messages();
        ASSERT_EQ(messages.size(), 2U) << ::testing::PrintToString(messages);
        EXPECT_EQ(messages[0].substr(0, c.expectedStart.size()), c.expectedStart)
            << "actual: " << messages[0];
        EXPECT_EQ(messages[1], "unable to get data from 127.0.0.1:" + std::to_string(sim.port) +
                                   ", user=Service, pass=Fenwix, uri=/cgi/lgexport.cgi");
    }
}

}  // namespace
}  // namespace ixan
