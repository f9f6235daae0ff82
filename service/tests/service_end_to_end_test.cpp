// The whole road as systemd would run it: pollwerk started with a notify socket polls a
// simulated device (ixan-sim) and stores its events in the embedded database, then
// stops on SIGTERM.

#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <regex>
#include <thread>

#include "service/tests/test_support.h"

namespace ixan {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;

Db openDb(const std::string& path) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open(path.c_str(), &raw);
    Db db(raw);
    if (rc != SQLITE_OK) {
        throw std::runtime_error("cannot open " + path);
    }
    sqlite3_busy_timeout(raw, 5000);
    return db;
}

// -1 when the count cannot be read now.
long long rowCount(const std::string& path) {
    Db db = openDb(path);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db.get(), "SELECT COUNT(*) FROM Z_servicelog", -1, &stmt, nullptr) !=
        SQLITE_OK) {
        return -1;
    }
    long long n = -1;
    if (sqlite3_step(stmt) == SQLITE_ROW) {
        n = sqlite3_column_int64(stmt, 0);
    }
    sqlite3_finalize(stmt);
    return n;
}

std::optional<std::string> receive(int fd, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) {
        return std::nullopt;
    }
    char buf[512];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    return n < 0 ? std::nullopt : std::optional<std::string>(std::string(buf, n));
}

TEST(ServiceEndToEndTest, PollsASimulatedDeviceStoresItsEventsAndStops) {
    constexpr int kEvents = 7;
    test::TempDir dir;

    test::ChildOptions simOptions;
    simOptions.argv = {
        IXAN_SIM_PATH, "--listen", "127.0.0.1:0", "--events", std::to_string(kEvents),
        "--seed",      "3"};
    simOptions.stdoutPath = dir.file("sim.out");
    simOptions.stderrPath = dir.file("sim.err");
    test::Child sim(simOptions);
    std::string port;
    const std::regex listening("listening on 127\\.0\\.0\\.1:([0-9]+)");
    for (auto deadline = Clock::now() + 5s; port.empty() && Clock::now() < deadline;) {
        std::smatch m;
        const std::string out = test::readFile(dir.file("sim.out"));
        if (std::regex_search(out, m, listening)) {
            port = m[1];
        } else {
            std::this_thread::sleep_for(10ms);
        }
    }
    ASSERT_FALSE(port.empty()) << "ixan-sim did not start: " << test::readFile(dir.file("sim.err"));

    const std::string database = dir.file("ixan_log.db");
    {
        Db db = openDb(database);
        const std::string schema =
            test::readFile(IXAN_SOURCE_DIR "/events/schema/z_servicelog.sqlite.sql");
        ASSERT_EQ(sqlite3_exec(db.get(), schema.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    test::writeFile(dir.file("registry"),
                    "path=" + dir.file("ixan.ini") + "\nmdb_path=" + database + "\n");
    test::writeFile(dir.file("ixan.ini"), "[Global]\ndsn=nodsn\nlog=" + dir.file("ixan.log") +
                                              "\n[127.0.0.1]\nport=" + port +
                                              "\nuser=Service\npass=Fenwix\ninterval=300\n");

    UniqueFd notify(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, dir.file("notify").c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(notify.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

    test::ChildOptions o;
    o.argv = {IXAN_POLLWERK_PATH};
    o.unset = {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"};
    o.set = {{"IXAN_REGISTRY", dir.file("registry")}, {"NOTIFY_SOCKET", dir.file("notify")}};
    o.stdoutPath = dir.file("stdout");
    o.stderrPath = dir.file("stderr");
    test::Child pollwerk(o);

    EXPECT_EQ(receive(notify.get(), 5s), std::optional<std::string>("READY=1"));
    long long rows = -1;
    for (auto deadline = Clock::now() + 10s; rows < kEvents && Clock::now() < deadline;) {
        std::this_thread::sleep_for(50ms);
        rows = rowCount(database);
    }
    EXPECT_EQ(rows, kEvents) << "activity log:\n" << test::readFile(dir.file("ixan.log"));

    ASSERT_EQ(::kill(pollwerk.pid(), SIGTERM), 0);
    EXPECT_EQ(receive(notify.get(), 2s), std::optional<std::string>("STOPPING=1"));
    const std::optional<int> status = pollwerk.waitFor(3s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    const std::vector<std::string> log = test::logMessages(dir.file("ixan.log"));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "starting system service IXAN");
    EXPECT_EQ(log[1], "processing node: 127.0.0.1");
    EXPECT_EQ(rowCount(database), kEvents) << "interval 300: the device is polled once";
}

}  // namespace
}  // namespace ixan
