// The real ixan-sim binary on 127.0.0.1, driven by libcurl and raw sockets.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/tests/sim_client.h"
#include "tools/tests/sim_process.h"

namespace ixan::sim::test {
namespace {

using Args = std::vector<std::string>;

std::string joined(const Args& args) {
    std::string out;
    for (const std::string& a : args) {
        out += a + " ";
    }
    return out;
}

Args withListen(Args args, int devices = 1) {
    for (int i = 0; i < devices; ++i) {
        args.insert(args.begin(), {"--listen", "127.0.0.1:0"});
    }
    return args;
}

std::unique_ptr<SimProcess> startSim(const Args& args, int devices = 1) {
    std::string error;
    auto sim = SimProcess::start(withListen(args, devices), devices, error);
    EXPECT_NE(sim, nullptr) << joined(args) << ": " << error;
    return sim;
}

std::string printed(const Args& args) {
    const RunResult r = runSim(args);
    EXPECT_EQ(r.exitCode, 0) << joined(args) << "\n" << r.err;
    return r.out;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t lineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// --- printing ------------------------------------------------------------------------------

TEST(SimPrint, ExportDecodesToTheEventTable) {
    struct Case {
        Args args;
        Charset charset;
    };
    const std::vector<Case> cases = {
        {{}, Charset::Escaped},
        {{"--charset", "escaped", "--seed", "9"}, Charset::Escaped},
        {{"--charset", "cp1252", "--crlf"}, Charset::Cp1252},
        {{"--charset", "utf8", "--events", "300"}, Charset::Utf8},
        {{"--device-index", "3", "--seed", "4"}, Charset::Escaped},
        {{"--mode", "incremental", "--events", "2", "--new-per-request", "5"}, Charset::Escaped},
        {{"--events", "0"}, Charset::Escaped},
    };
    for (const Case& c : cases) {
        Args exportArgs = c.args;
        exportArgs.push_back("--print-export");
        Args eventArgs = c.args;
        eventArgs.push_back("--print-events");
        const std::string body = printed(exportArgs);
        const std::string table = printed(eventArgs);
        EXPECT_EQ(exportToTable(decodeBody(body, c.charset)), table) << joined(c.args);
        std::istringstream lines(table);
        std::string line;
        while (std::getline(lines, line)) {
            EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 7) << joined(c.args) << line;
        }
    }
    EXPECT_EQ(lineCount(printed({"--print-events"})), 50u);
    EXPECT_EQ(lineCount(printed({"--print-events", "--mode", "incremental", "--events", "2",
                                 "--new-per-request", "5"})),
              7u);
}

TEST(SimPrint, OversizeIsStreamedToItsExactLength) {
    const std::string body = printed({"--print-export", "--oversize", "1000003"});
    EXPECT_EQ(body.size(), 1000003u);
    EXPECT_EQ(body.substr(0, 1000), printed({"--print-export"}).substr(0, 1000));
}

TEST(SimPrint, BadCommandLineExitsWithUsage) {
    for (const Args& args : {Args{}, Args{"--listen", "nowhere"}, Args{"--status", "x"}}) {
        const RunResult r = runSim(args);
        EXPECT_EQ(r.exitCode, 2) << joined(args);
        EXPECT_NE(r.err.find("usage: ixan-sim"), std::string::npos) << joined(args) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const RunResult help = runSim({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--close-without-answer"), std::string::npos);
}

// --- answers -------------------------------------------------------------------------------

TEST(SimServer, RingExportIsTheWholeLogEveryTime) {
    const std::string expected = printed({"--print-export", "--seed", "5"});
    auto sim = startSim({"--seed", "5"});
    ASSERT_NE(sim, nullptr);
    for (int i = 0; i < 3; ++i) {
        const HttpReply r = post(sim->port(), kExportPath, kGoodBody);
        ASSERT_EQ(r.code, CURLE_OK) << r.error;
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.body, expected) << "request " << i;
    }
    EXPECT_EQ(sim->terminate(), 0);
}

TEST(SimServer, CredentialsAndRouting) {
    struct Case {
        Args args;
        std::string method;
        std::string path;
        std::string body;
        long status;
        bool export_;  // the body is the export; otherwise empty or an error page
    };
    const std::vector<Case> cases = {
        {{}, "POST", kExportPath, kGoodBody, 200, true},
        {{}, "POST", kExportPath, "user=Service&pass=fenwix", 401, false},
        {{}, "POST", kExportPath, "user=service&pass=Fenwix", 401, false},
        {{}, "POST", kExportPath, "pass=Fenwix&user=Service", 401, false},
        {{}, "POST", kExportPath, "", 401, false},
        {{}, "POST", kExportPath, kGoodBody + "&x=1", 401, false},
        {{"--auth-failure", "empty"}, "POST", kExportPath, "user=Service&pass=x", 200, false},
        {{"--auth-failure", "empty"}, "POST", kExportPath, kGoodBody, 200, true},
        {{"--user", "a&b", "--pass", "p=1&q"},
         "POST",
         kExportPath,
         "user=a&b&pass=p=1&q",
         200,
         true},
        {{"--user", "x y", "--pass", "%41+"}, "POST", kExportPath, "user=x y&pass=%41+", 200, true},
        {{"--user", "x y", "--pass", "%41+"}, "POST", kExportPath, "user=x y&pass=A+", 401, false},
        {{}, "POST", "/cgi/other.cgi", kGoodBody, 404, false},
        {{}, "GET", kExportPath, "", 405, false},
        {{"--path", "/export"}, "POST", "/export", kGoodBody, 200, true},
        {{"--path", "/export"}, "POST", kExportPath, kGoodBody, 404, false},
    };
    for (const Case& c : cases) {
        auto sim = startSim(c.args);
        ASSERT_NE(sim, nullptr);
        PostOptions options;
        options.method = c.method;
        const HttpReply r = post(sim->port(), c.path, c.body, options);
        const std::string what = joined(c.args) + c.method + " " + c.path + " \"" + c.body + "\"";
        ASSERT_EQ(r.code, CURLE_OK) << what << ": " << r.error;
        EXPECT_EQ(r.status, c.status) << what;
        if (c.export_) {
            EXPECT_EQ(lineCount(r.body), 50u) << what;
        } else if (c.status == 200) {
            EXPECT_EQ(r.body, "") << what;
        } else {
            EXPECT_EQ(r.body.find("192.168."), std::string::npos) << what;
        }
    }
}

TEST(SimServer, IncrementalDeliversEveryEventOnceInOrder) {
    const Args log = {"--mode", "incremental", "--events", "5", "--new-per-request",
                      "2",      "--seed",      "3"};
    auto sim = startSim(log);
    ASSERT_NE(sim, nullptr);
    std::string all;
    const std::vector<std::size_t> counts = {7, 2, 2, 2};
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const HttpReply r = post(sim->port(), kExportPath, kGoodBody);
        ASSERT_EQ(r.status, 200) << r.error;
        EXPECT_EQ(lineCount(r.body), counts[i]) << "export " << i;
        all += r.body;
    }
    // Together the exports are the first 13 events of the same log, without gaps or repeats.
    EXPECT_EQ(all, printed({"--print-export", "--events", "13", "--seed", "3"}));

    auto quiet = startSim({"--mode", "incremental", "--events", "4"});
    ASSERT_NE(quiet, nullptr);
    EXPECT_EQ(lineCount(post(quiet->port(), kExportPath, kGoodBody).body), 4u);
    const HttpReply second = post(quiet->port(), kExportPath, kGoodBody);
    EXPECT_EQ(second.status, 200);
    EXPECT_EQ(second.body, "") << "nothing new: status 200 with an empty body";
    // A refused request delivers nothing and adds nothing.
    EXPECT_EQ(post(quiet->port(), kExportPath, "user=x&pass=y").status, 401);
}

TEST(SimServer, RingWithNewEventsKeepsItsCapacity) {
    auto sim = startSim({"--events", "4", "--capacity", "5", "--new-per-request", "2"});
    ASSERT_NE(sim, nullptr);
    const std::string log = printed({"--print-export", "--events", "9"});
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line + "\n");
    }
    ASSERT_EQ(lines.size(), 9u);
    // Export k holds events [1 + 2k, 6 + 2k).
    for (std::size_t k = 0; k < 2; ++k) {
        std::string expected;
        for (std::size_t i = 1 + 2 * k; i < 6 + 2 * k; ++i) {
            expected += lines[i];
        }
        EXPECT_EQ(post(sim->port(), kExportPath, kGoodBody).body, expected) << "export " << k;
    }
}

// --- failure injection ---------------------------------------------------------------------

TEST(SimFailures, InjectedStatusForEveryRequest) {
    for (const long status : {201L, 204L, 404L, 500L, 503L}) {
        auto sim = startSim({"--status", std::to_string(status)});
        ASSERT_NE(sim, nullptr);
        const HttpReply r = post(sim->port(), kExportPath, kGoodBody);
        ASSERT_EQ(r.code, CURLE_OK) << status << ": " << r.error;
        EXPECT_EQ(r.status, status);
        EXPECT_EQ(r.body.find("192.168."), std::string::npos) << status;
        if (status == 204) {
            EXPECT_EQ(r.body, "");
        }
        EXPECT_EQ(post(sim->port(), "/elsewhere", "").status, status);
    }
}

TEST(SimFailures, DelayWaitsBeforeAnswering) {
    auto sim = startSim({"--delay-ms", "400"});
    ASSERT_NE(sim, nullptr);
    const auto start = std::chrono::steady_clock::now();
    const HttpReply r = post(sim->port(), kExportPath, kGoodBody);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, 200);
    EXPECT_GE(took, std::chrono::milliseconds(400));
    PostOptions impatient;
    impatient.timeoutMs = 150;
    EXPECT_EQ(post(sim->port(), kExportPath, kGoodBody, impatient).code, CURLE_OPERATION_TIMEDOUT);
}

TEST(SimFailures, StopEndsAPendingDelay) {
    auto sim = startSim({"--delay-ms", "600000"});
    ASSERT_NE(sim, nullptr);
    std::thread client([port = sim->port()] {
        PostOptions options;
        options.timeoutMs = 20000;
        post(port, kExportPath, kGoodBody, options);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sim->terminate(5000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    client.join();
}

TEST(SimFailures, BodyFormsMatchThePrintedExport) {
    struct Case {
        Args args;
        bool endsWithLf;
        bool crlf;
    };
    const std::vector<Case> cases = {
        {{"--truncate"}, false, false},
        {{"--truncate", "--crlf", "--charset", "utf8"}, false, true},
        {{"--crlf"}, true, true},
        {{"--charset", "cp1252"}, true, false},
        {{"--charset", "utf8"}, true, false},
    };
    for (const Case& c : cases) {
        Args print = c.args;
        print.push_back("--print-export");
        const std::string expected = printed(print);
        auto sim = startSim(c.args);
        ASSERT_NE(sim, nullptr);
        const HttpReply r = post(sim->port(), kExportPath, kGoodBody);
        EXPECT_EQ(r.status, 200) << joined(c.args);
        EXPECT_EQ(r.body, expected) << joined(c.args);
        ASSERT_FALSE(r.body.empty());
        EXPECT_EQ(r.body.back() == '\n', c.endsWithLf) << joined(c.args);
        const std::size_t crs =
            static_cast<std::size_t>(std::count(r.body.begin(), r.body.end(), '\r'));
        EXPECT_EQ(crs, c.crlf ? lineCount(r.body) : 0u) << joined(c.args);
    }
    const std::string full = printed({"--print-export"});
    const std::string cut = printed({"--print-export", "--truncate"});
    EXPECT_EQ(full.substr(0, cut.size()), cut);
    EXPECT_EQ(lineCount(cut), 49u);
}

TEST(SimFailures, OversizeBodyIsStreamedNotHeld) {
    const std::uint64_t size = 300ull * 1024 * 1024 + 7;
    auto sim = startSim({"--oversize", std::to_string(size)});
    ASSERT_NE(sim, nullptr);
    PostOptions options;
    options.keepBody = false;
    options.timeoutMs = 60000;
    const HttpReply r = post(sim->port(), kExportPath, kGoodBody, options);
    ASSERT_EQ(r.code, CURLE_OK) << r.error;
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.bytes, size);
    EXPECT_LT(sim->rssKiB(), 64 * 1024) << "a 300 MiB body must not be held in memory";

    auto small = startSim({"--oversize", "100000", "--events", "3"});
    ASSERT_NE(small, nullptr);
    const HttpReply body = post(small->port(), kExportPath, kGoodBody);
    ASSERT_EQ(body.body.size(), 100000u);
    const std::string pattern = printed({"--print-export", "--events", "3"});
    for (std::size_t at = 0; at + pattern.size() <= body.body.size(); at += pattern.size()) {
        ASSERT_EQ(body.body.compare(at, pattern.size(), pattern), 0) << "at " << at;
    }
}

TEST(SimFailures, CloseWithoutAnswerSendsNothing) {
    auto sim = startSim({"--close-without-answer"});
    ASSERT_NE(sim, nullptr);
    EXPECT_EQ(post(sim->port(), kExportPath, kGoodBody).code, CURLE_GOT_NOTHING);
    const RawReply raw = rawExchange(sim->port(),
                                     "POST /cgi/lgexport.cgi HTTP/1.0\r\nContent-Length: 24\r\n"
                                     "\r\nuser=Service&pass=Fenwix");
    EXPECT_TRUE(raw.closed);
    EXPECT_EQ(raw.bytes, "");
}

TEST(SimFailures, AbortAndStallMidBody) {
    const std::string full = printed({"--print-export"});
    {
        auto sim = startSim({"--abort-mid-body"});
        ASSERT_NE(sim, nullptr);
        const HttpReply r = post(sim->port(), kExportPath, kGoodBody);
        EXPECT_EQ(r.code, CURLE_PARTIAL_FILE) << r.error;
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.body, full.substr(0, full.size() / 2));
    }
    {
        auto sim = startSim({"--stall-mid-body"});
        ASSERT_NE(sim, nullptr);
        PostOptions options;
        options.timeoutMs = 1500;
        const HttpReply r = post(sim->port(), kExportPath, kGoodBody, options);
        EXPECT_EQ(r.code, CURLE_OPERATION_TIMEDOUT) << r.error;
        EXPECT_EQ(r.body, full.substr(0, full.size() / 2));
        EXPECT_EQ(sim->terminate(5000), 0) << "a stalled answer does not block the stop";
    }
}

// --- recording -----------------------------------------------------------------------------

TEST(SimRecord, RawRequestBytesAreAppendedAsReceived) {
    const std::string file = tempPath("requests.bin");
    auto sim = startSim({"--record", file});
    ASSERT_NE(sim, nullptr);
    // Header spelling, order, blanks and a bare LF line end are kept as they came.
    const std::string first =
        "POST /cgi/lgexport.cgi HTTP/1.0\r\nuser-AGENT:   IXANSession \r\nX-Odd: a\tb\n"
        "Content-Length: 24\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n"
        "user=Service&pass=Fenwix";
    const RawReply r1 = rawExchange(sim->port(), first);
    EXPECT_NE(r1.bytes.find(" 200 "), std::string::npos) << r1.bytes.substr(0, 100);
    EXPECT_EQ(readFile(file), first) << "recorded before the answer was sent";

    const std::string second = "GET /nothing HTTP/1.0\r\n\r\n";
    EXPECT_NE(rawExchange(sim->port(), second).bytes.find(" 404 "), std::string::npos);
    EXPECT_EQ(readFile(file), first + second);

    const HttpReply viaCurl = post(sim->port(), kExportPath, "user=Service&pass=\xE4&%");
    EXPECT_EQ(viaCurl.status, 401);
    const std::string recorded = readFile(file).substr(first.size() + second.size());
    EXPECT_EQ(recorded.rfind("POST /cgi/lgexport.cgi HTTP/1.0\r\n", 0), 0u) << recorded;
    EXPECT_NE(recorded.find("\r\nUser-Agent: IXANSession\r\n"), std::string::npos) << recorded;
    EXPECT_NE(recorded.find("\r\nContent-Length: 21\r\n"), std::string::npos) << recorded;
    EXPECT_EQ(recorded.substr(recorded.size() - 25), "\r\n\r\nuser=Service&pass=\xE4&%");

    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "requests carry passwords";
}

TEST(SimRecord, ConnectionDroppedWithoutAnswerIsStillRecorded) {
    const std::string file = tempPath("dropped.bin");
    auto sim = startSim({"--record", file, "--close-without-answer"});
    ASSERT_NE(sim, nullptr);
    const std::string request = "POST /cgi/lgexport.cgi HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc";
    const RawReply r = rawExchange(sim->port(), request);
    EXPECT_TRUE(r.closed);
    EXPECT_EQ(readFile(file), request);
}

// --- several devices -----------------------------------------------------------------------

TEST(SimDevices, EachListenAddressIsADeviceOfItsOwn) {
    auto sim = startSim({"--seed", "20"}, 3);
    ASSERT_NE(sim, nullptr);
    ASSERT_EQ(sim->ports().size(), 3u);
    auto other = startSim({"--seed", "20", "--mode", "incremental"}, 2);
    ASSERT_NE(other, nullptr);
    for (int i = 0; i < 3; ++i) {
        const std::string expected =
            printed({"--print-export", "--seed", "20", "--device-index", std::to_string(i)});
        EXPECT_NE(expected.find("192.168.10." + std::to_string(21 + i) + ","), std::string::npos);
        for (int round = 0; round < 2; ++round) {
            const HttpReply r =
                post(sim->ports()[static_cast<std::size_t>(i)], kExportPath, kGoodBody);
            EXPECT_EQ(r.body, expected) << "device " << i << " round " << round;
        }
        if (i < 2) {
            const int port = other->ports()[static_cast<std::size_t>(i)];
            EXPECT_EQ(post(port, kExportPath, kGoodBody).body, expected) << "process 2, " << i;
            EXPECT_EQ(post(port, kExportPath, kGoodBody).body, "") << "own log per device";
        }
    }
    EXPECT_NE(post(sim->ports()[0], kExportPath, kGoodBody).body,
              post(sim->ports()[1], kExportPath, kGoodBody).body);
}

TEST(SimDevices, ConcurrentClientsOnSeveralDevices) {
    constexpr int kDevices = 4;
    auto sim = startSim({"--seed", "30", "--delay-ms", "5"}, kDevices);
    ASSERT_NE(sim, nullptr);
    std::vector<std::string> expected;
    for (int i = 0; i < kDevices; ++i) {
        expected.push_back(
            printed({"--print-export", "--seed", "30", "--device-index", std::to_string(i)}));
    }
    std::atomic<int> wrong{0};
    std::vector<std::thread> clients;
    for (int t = 0; t < 8; ++t) {
        clients.emplace_back([&, t] {
            for (int n = 0; n < 40; ++n) {
                const auto device = static_cast<std::size_t>((t + n) % kDevices);
                if (post(sim->ports()[device], kExportPath, kGoodBody).body != expected[device]) {
                    ++wrong;
                }
            }
        });
    }
    for (std::thread& c : clients) {
        c.join();
    }
    EXPECT_EQ(wrong, 0) << "of 320 concurrent requests";
    EXPECT_EQ(sim->terminate(), 0);
}

TEST(SimDevices, PortInUseIsAnError) {
    auto sim = startSim({});
    ASSERT_NE(sim, nullptr);
    const RunResult r = runSim({"--listen", "127.0.0.1:" + std::to_string(sim->port())}, 5000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot listen on 127.0.0.1:" + std::to_string(sim->port())),
              std::string::npos)
        << r.err;
}

// --- load ----------------------------------------------------------------------------------

TEST(SimLoad, TwoThousandRequestsInBoundedMemoryAndTime) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer keeps freed blocks in quarantine, which would read as growth.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string options = std::string(asan != nullptr ? asan : "") + ":quarantine_size_mb=0";
    ::setenv("ASAN_OPTIONS", options.c_str(), 1);
#endif
    auto sim = startSim({"--events", "200"});
    ASSERT_NE(sim, nullptr);
    const std::string expected = printed({"--print-export", "--events", "200"});
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(post(sim->port(), kExportPath, kGoodBody).status, 200);
    }
    const long rssBefore = sim->rssKiB();
    const auto start = std::chrono::steady_clock::now();
    int failures = 0;
    for (int i = 0; i < 2000; ++i) {
        const HttpReply r = post(sim->port(), i % 10 == 0 ? "/x" : kExportPath,
                                 i % 7 == 0 ? "user=a&pass=b" : kGoodBody);
        const long want = i % 10 == 0 ? 404 : (i % 7 == 0 ? 401 : 200);
        if (r.code != CURLE_OK || r.status != want ||
            (want == 200 && r.body.size() != expected.size())) {
            ++failures;
        }
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(failures, 0);
    EXPECT_LT(took, std::chrono::seconds(60));
    const long rssAfter = sim->rssKiB();
    EXPECT_LT(rssAfter, rssBefore + 8 * 1024) << "before " << rssBefore << " KiB";
    EXPECT_EQ(post(sim->port(), kExportPath, kGoodBody).body, expected);
    EXPECT_EQ(sim->terminate(), 0);
    std::cout << "2000 requests in "
              << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms, RSS "
              << rssBefore << " -> " << rssAfter << " KiB\n";
}

}  // namespace
}  // namespace ixan::sim::test
