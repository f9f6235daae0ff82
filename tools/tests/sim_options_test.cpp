// The command line of ixan-sim.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/sim_options.h"

namespace ixan::sim {
namespace {

ParsedOptions parse(const std::vector<std::string>& args) {
    return parseSimOptions(args);
}

std::string joined(const std::vector<std::string>& args) {
    std::string out;
    for (const std::string& a : args) {
        out += a + " ";
    }
    return out;
}

TEST(SimOptions, Defaults) {
    const ParsedOptions p = parse({"--listen", "127.0.0.1:0"});
    ASSERT_EQ(p.error, "");
    const SimOptions& o = p.options;
    ASSERT_EQ(o.listen.size(), 1u);
    EXPECT_EQ(o.listen[0].host, "127.0.0.1");
    EXPECT_EQ(o.listen[0].port, 0);
    EXPECT_EQ(o.path, "/cgi/lgexport.cgi");
    EXPECT_EQ(o.user, "Service");
    EXPECT_EQ(o.pass, "Fenwix");
    EXPECT_EQ(o.authFailure, AuthFailure::Status401);
    EXPECT_EQ(o.events, 50u);
    EXPECT_EQ(o.mode, LogMode::Ring);
    EXPECT_EQ(o.newPerRequest, 0u);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.charset, Charset::Escaped);
    EXPECT_FALSE(o.oversize.has_value());
    EXPECT_EQ(deviceLogSettings(o).ringCapacity, 50u);
    EXPECT_EQ(deviceSeed(o, 2), o.seed + 2);
}

TEST(SimOptions, EveryOptionIsRead) {
    const ParsedOptions p = parse({"--listen",
                                   "127.0.0.1:8080",
                                   "--listen",
                                   "[::1]:0",
                                   "--path",
                                   "/x.cgi",
                                   "--user",
                                   "a&b",
                                   "--pass",
                                   "p=1",
                                   "--auth-failure",
                                   "empty",
                                   "--events",
                                   "7",
                                   "--capacity",
                                   "9",
                                   "--seed",
                                   "42",
                                   "--mode",
                                   "incremental",
                                   "--new-per-request",
                                   "3",
                                   "--status",
                                   "503",
                                   "--delay-ms",
                                   "250",
                                   "--crlf",
                                   "--close-without-answer",
                                   "--charset",
                                   "utf8",
                                   "--record",
                                   "/tmp/r",
                                   "--threads",
                                   "2",
                                   "--truncate"});
    ASSERT_EQ(p.error, "");
    const SimOptions& o = p.options;
    ASSERT_EQ(o.listen.size(), 2u);
    EXPECT_EQ(o.listen[0].port, 8080);
    EXPECT_EQ(o.listen[1].host, "::1");
    EXPECT_EQ(o.path, "/x.cgi");
    EXPECT_EQ(o.user, "a&b");
    EXPECT_EQ(o.pass, "p=1");
    EXPECT_EQ(o.authFailure, AuthFailure::EmptyBody);
    EXPECT_EQ(o.events, 7u);
    EXPECT_EQ(deviceLogSettings(o).ringCapacity, 9u);
    EXPECT_EQ(o.seed, 42u);
    EXPECT_EQ(o.mode, LogMode::Incremental);
    EXPECT_EQ(o.newPerRequest, 3u);
    EXPECT_EQ(o.status, 503);
    EXPECT_EQ(o.delayMs, 250);
    EXPECT_TRUE(o.crlf);
    EXPECT_TRUE(o.closeWithoutAnswer);
    EXPECT_TRUE(o.truncate);
    EXPECT_EQ(o.charset, Charset::Utf8);
    EXPECT_EQ(o.recordFile, "/tmp/r");
    EXPECT_EQ(o.threads, 2);
}

TEST(SimOptions, BadCommandLinesAreRefusedWithAReason) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{}, "nothing to do"},
        {{"--listen"}, "missing value for --listen"},
        {{"--listen", "127.0.0.1"}, "invalid value for --listen"},
        {{"--listen", "127.0.0.1:70000"}, "invalid value for --listen"},
        {{"--listen", ":80"}, "invalid value for --listen"},
        {{"--listen", "127.0.0.1:0", "--events", "-1"}, "invalid value for --events"},
        {{"--listen", "127.0.0.1:0", "--events", "12x"}, "invalid value for --events"},
        {{"--listen", "127.0.0.1:0", "--mode", "fifo"}, "invalid value for --mode"},
        {{"--listen", "127.0.0.1:0", "--status", "200"}, "invalid value for --status"},
        {{"--listen", "127.0.0.1:0", "--status", "600"}, "invalid value for --status"},
        {{"--listen", "127.0.0.1:0", "--charset", "latin1"}, "invalid value for --charset"},
        {{"--listen", "127.0.0.1:0", "--auth-failure", "403"}, "invalid value for --auth-failure"},
        {{"--listen", "127.0.0.1:0", "--path", "x"}, "invalid value for --path"},
        {{"--listen", "127.0.0.1:0", "--threads", "0"}, "invalid value for --threads"},
        {{"--listen", "127.0.0.1:0", "--frobnicate"}, "unknown option: --frobnicate"},
        {{"--print-export", "--print-events"}, "only one of"},
        {{"--print-export", "--truncate", "--oversize", "10"}, "exclude each other"},
    };
    for (const Case& c : cases) {
        const ParsedOptions p = parse(c.args);
        EXPECT_NE(p.error.find(c.error), std::string::npos)
            << "args: " << joined(c.args) << "\nexpected: " << c.error << "\nactual: " << p.error;
    }
}

}  // namespace
}  // namespace ixan::sim
