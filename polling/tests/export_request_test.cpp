#include "polling/export_request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "polling/tests/log_capture.h"
#include "polling/tests/loopback_server.h"

namespace ixan {
namespace {

using namespace std::chrono_literals;
using test::LogCapture;
using test::LoopbackServer;
using test::ServerScript;

constexpr const char* kUri = "/cgi/lgexport.cgi";

// Short bounds so that the time-out cases end quickly.
FetchLimits testLimits() {
    FetchLimits limits;
    limits.connectTimeout = 2000ms;
    limits.stallTimeout = 1s;
    return limits;
}

class ExportRequestTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Loopback must never be sent to a proxy of the test machine.
        for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
            ::unsetenv(name);
        }
    }
    LogCapture log_;
};

struct ParsedRequest {
    std::string requestLine;
    std::map<std::string, std::string> headers;
    std::vector<std::string> headerOrder;
    std::string body;
};

ParsedRequest parseRequest(const std::string& raw) {
    ParsedRequest parsed;
    const std::size_t headEnd = raw.find("\r\n\r\n");
    if (headEnd == std::string::npos) {
        ADD_FAILURE() << "incomplete request: " << raw;
        return parsed;
    }
    std::size_t pos = raw.find("\r\n");
    parsed.requestLine = raw.substr(0, pos);
    while (pos < headEnd) {
        const std::size_t start = pos + 2;
        const std::size_t end = raw.find("\r\n", start);
        const std::string line = raw.substr(start, end - start);
        const std::size_t colon = line.find(": ");
        EXPECT_NE(colon, std::string::npos) << "header line: " << line;
        parsed.headers[line.substr(0, colon)] = line.substr(colon + 2);
        parsed.headerOrder.push_back(line.substr(0, colon));
        pos = end;
    }
    parsed.body = raw.substr(headEnd + 4);
    return parsed;
}

TEST_F(ExportRequestTest, SendsOneMinimalHttp10PostWithTheCredentialsUnchanged) {
    LoopbackServer server({"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", 0ms});
    const std::string host = "127.0.0.1";
    const std::string result = fetchExport(host, server.port(), kUri, "a&b", "p w%+=ä");
    EXPECT_EQ(result, "ok");

    const ParsedRequest request = parseRequest(server.request());
    const std::string body = "user=a&b&pass=p w%+=ä";
    EXPECT_EQ(request.requestLine, "POST /cgi/lgexport.cgi HTTP/1.0");
    const std::map<std::string, std::string> expected = {
        {"Host", host + ":" + std::to_string(server.port())},
        {"User-Agent", "IXANSession"},
        {"Content-Type", "application/x-www-form-urlencoded"},
        {"Content-Length", std::to_string(body.size())},
    };
    EXPECT_EQ(request.headers, expected);
    EXPECT_EQ(request.headerOrder.size(), expected.size()) << "a header was sent twice";
    EXPECT_EQ(request.body, body);
    EXPECT_EQ(server.connections(), 1);
    EXPECT_TRUE(log_.messages().empty());
}

TEST_F(ExportRequestTest, ConfiguredPathGoesOutAsRequestTarget) {
    struct Case {
        std::string uri;
        std::string requestLine;
    };
    const Case cases[] = {
        {"/other/x.cgi?a=1&b=%41", "POST /other/x.cgi?a=1&b=%41 HTTP/1.0"},
        {"cgi/lgexport.cgi", "POST /cgi/lgexport.cgi HTTP/1.0"},  // the leading "/" is added
        {"", "POST / HTTP/1.0"},
    };
    for (const Case& c : cases) {
        LoopbackServer server({"HTTP/1.0 200 OK\r\n\r\n", 0ms});
        std::string received = "old";
        EXPECT_TRUE(postExportRequest("127.0.0.1", server.port(), c.uri, "user=u&pass=p", received,
                                      testLimits()))
            << "uri: " << c.uri;
        EXPECT_EQ(received, "") << "uri: " << c.uri;
        EXPECT_EQ(parseRequest(server.request()).requestLine, c.requestLine) << "uri: " << c.uri;
    }
}

TEST_F(ExportRequestTest, Status200WithEmptyBodyGivesEmptyTextAndNoMessage) {
    LoopbackServer server({"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", 0ms});
    EXPECT_EQ(fetchExport("127.0.0.1", server.port(), kUri, "u", "p", testLimits()), "");
    EXPECT_TRUE(log_.messages().empty());
}

TEST_F(ExportRequestTest, BodyIsDecodedToUtf8WithEscapesUndone) {
    struct Case {
        std::string body;
        std::string expected;
    };
    const Case cases[] = {
        {"M\xFCller,%E4%2C\r\n", "Müller,ä,\r\n"},  // Windows-1252 bytes
        {"Müller %41\n", "Müller A\n"},             // already UTF-8
        {"\x80%80\n", "€€\n"},                      // the euro sign both ways
    };
    for (const Case& c : cases) {
        LoopbackServer server({"HTTP/1.0 200 OK\r\n\r\n" + c.body, 0ms});
        EXPECT_EQ(fetchExport("127.0.0.1", server.port(), kUri, "u", "p", testLimits()), c.expected)
            << "body: " << c.body;
    }
}

TEST_F(ExportRequestTest, FailureLeavesReceivedUntouched) {
    LoopbackServer server({"HTTP/1.0 404 Not Found\r\nContent-Length: 3\r\n\r\nno!", 0ms});
    std::string received = "kept";
    EXPECT_FALSE(postExportRequest("127.0.0.1", server.port(), kUri, "user=u&pass=p", received,
                                   testLimits()));
    EXPECT_EQ(received, "kept");
    EXPECT_EQ(log_.messages(), std::vector<std::string>{"FAILED HTTP Status Code: 404"});
}

enum class Target { Server, RefusedPort, UnresolvableHost, FullBacklog, GivenPort, GivenHost };

struct FailureCase {
    const char* name;
    Target target;
    ServerScript script;
    std::string expected;  // the exchange's message, or its beginning when `prefix`
    bool prefix = false;
    std::optional<std::size_t> bodyLimit = std::nullopt;
    std::int32_t givenPort = 0;
    std::string ending = {};  // with `prefix`: how the message ends; GivenHost: the host
};

std::vector<FailureCase> failureCases() {
    const std::string ex = "CInternetException was thrown: ";
    const std::string big(5000, 'x');
    return {
        {"404",
         Target::Server,
         {"HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found"},
         "FAILED HTTP Status Code: 404"},
        {"500",
         Target::Server,
         {"HTTP/1.1 500 Internal Server Error\r\n\r\n"},
         "FAILED HTTP Status Code: 500"},
        {"204",
         Target::Server,
         {"HTTP/1.0 204 No Content\r\n\r\n"},
         "FAILED HTTP Status Code: 204"},
        {"301 is not followed",
         Target::Server,
         {"HTTP/1.0 301 Moved\r\nLocation: http://127.0.0.1:1/\r\n\r\n"},
         "FAILED HTTP Status Code: 301"},
        {"refused port",
         Target::RefusedPort,
         {},
         ex + "Failed to connect to 127.0.0.1 port",
         true,
         std::nullopt,
         0,
         "Couldn't connect to server"},
        {"unresolvable host",
         Target::UnresolvableHost,
         {},
         ex + "Could not resolve host: device.invalid"},
        {"no answer within the stall time",
         Target::Server,
         {"", 10000ms},
         ex + "Operation too slow. Less than 1 bytes/sec transferred the last 1 seconds"},
        {"connect time-out",
         Target::FullBacklog,
         {},
         ex + "Failed to connect to 127.0.0.1 port",
         true,
         std::nullopt,
         0,
         "Timeout was reached"},
        {"oversized body without length",
         Target::Server,
         {"HTTP/1.0 200 OK\r\n\r\n" + big},
         ex + "answer body larger than 1000 bytes, transfer abandoned",
         false,
         1000},
        {"oversized body announced",
         Target::Server,
         {"HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n" + big},
         ex + "answer body larger than 1000 bytes, transfer abandoned",
         false,
         1000},
        {"close mid-body",
         Target::Server,
         {"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nabc"},
         ex + "transfer closed with 97 bytes remaining to read"},
        {"close without answer", Target::Server, {""}, ex + "Empty reply from server"},
        {"no HTTP status line",
         Target::Server,
         {"hello there\r\n\r\n"},
         ex + "Received HTTP/0.9 when not allowed"},
        {"port 0",
         Target::GivenPort,
         {},
         ex + "port 0 is outside 1 to 65535",
         false,
         std::nullopt,
         0},
        {"port 70000",
         Target::GivenPort,
         {},
         ex + "port 70000 is outside 1 to 65535",
         false,
         std::nullopt,
         70000},
    };
}

TEST_F(ExportRequestTest, EveryFailureLogsItsMessageThenTheUnableEntry) {
    for (const FailureCase& c : failureCases()) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        FetchLimits limits = testLimits();
        if (c.bodyLimit) {
            limits.maxBodyBytes = *c.bodyLimit;
        }
        std::optional<LoopbackServer> server;
        std::optional<test::FullBacklog> backlog;
        std::string host = "127.0.0.1";
        std::int32_t port = 0;
        switch (c.target) {
            case Target::Server:
                server.emplace(c.script);
                port = server->port();
                break;
            case Target::RefusedPort:
                port = test::unusedLoopbackPort();
                break;
            case Target::UnresolvableHost:
                host = "device.invalid";
                port = 80;
                break;
            case Target::FullBacklog:
                backlog.emplace();
                port = backlog->port();
                break;
            case Target::GivenPort:
                port = c.givenPort;
                break;
            case Target::GivenHost:
                host = c.ending;
                port = 80;
                break;
        }
        const auto start = std::chrono::steady_clock::now();
        const std::string result = fetchExport(host, port, kUri, "a&b", "s3cret", limits);
        const auto elapsed = std::chrono::steady_clock::now() - start;

        EXPECT_EQ(result, "");
        EXPECT_LT(elapsed, 8s) << "the exchange was not bounded in time";
        const std::vector<std::string> messages = log.messages();
        ASSERT_EQ(messages.size(), 2U) << "messages: " << ::testing::PrintToString(messages);
        if (c.prefix) {
            EXPECT_EQ(messages[0].substr(0, c.expected.size()), c.expected)
                << "actual: " << messages[0];
            if (c.target != Target::GivenHost) {
                EXPECT_TRUE(messages[0].ends_with(c.ending)) << "actual: " << messages[0];
            }
        } else {
            EXPECT_EQ(messages[0], c.expected);
        }
        EXPECT_EQ(messages[1], "unable to get data from " + host + ":" + std::to_string(port) +
                                   ", user=a&b, pass=s3cret, uri=/cgi/lgexport.cgi");
        if (server) {
            EXPECT_EQ(server->connections(), 1);
        }
    }
}

}  // namespace
}  // namespace ixan
