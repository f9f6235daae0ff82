#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/unique_fd.h"
#include "events/dataaccess/connection.h"
#include "events/dataaccess/tests/test_support.h"

namespace ixan {
namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Tests that need the services skip without them; with IXAN_TEST_SERVICES=1 they must work.
#define REQUIRE_TEST_SERVICES()                                                  \
    do {                                                                         \
        if (env("IXAN_TEST_SERVICES") != "1") {                                  \
            GTEST_SKIP() << "test services not started (scripts/test-services)"; \
        }                                                                        \
    } while (0)

using test::insertStatement;
using test::kColumns;
using test::quoted;

// A marker for the IP column that no other test (or test process) uses.
std::string marker(const std::string& name) {
    return name + "-" + std::to_string(::getpid());
}

std::string pgConnectionString(const std::string& password) {
    return "DSN=" + env("IXAN_TEST_PG_DSN") + ";Uid=" + env("IXAN_TEST_PG_USER") +
           ";Pwd=" + password + ";";
}

struct DataSource {
    const char* name;
    std::string connection;
};

// Both data sources of the test services, through the same statements.
std::vector<DataSource> dataSources() {
    return {{"postgresql", pgConnectionString(env("IXAN_TEST_PG_PASS"))},
            {"sqliteodbc", "DSN=" + env("IXAN_TEST_SQLITE_ODBC_DSN") + ";Uid=;Pwd=;"}};
}

std::unique_ptr<Connection> openOrFail(const DataSource& source) {
    OpenResult opened = openConnection(source.connection, {5, 15});
    EXPECT_TRUE(opened.status.ok) << source.name << ": " << opened.status.message;
    return std::move(opened.connection);
}

std::vector<std::vector<std::string>> readAll(Connection& db, const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    QueryResult q = db.query(sql);
    EXPECT_TRUE(q.status.ok) << sql << "\n" << q.status.message;
    if (!q.status.ok) {
        return rows;
    }
    while (!q.rows->atEnd()) {
        std::vector<std::string> row;
        for (const char* column : kColumns) {
            std::string value;
            DbStatus got = q.rows->getText(column, value);
            EXPECT_TRUE(got.ok) << got.message;
            row.push_back(value);
        }
        rows.push_back(row);
        DbStatus moved = q.rows->next();
        EXPECT_TRUE(moved.ok) << moved.message;
    }
    return rows;
}

class OdbcDriver : public ::testing::Test {
  protected:
    void SetUp() override { REQUIRE_TEST_SERVICES(); }

    // Rows of this test process are removed again.
    void TearDown() override {
        if (env("IXAN_TEST_SERVICES") != "1") {
            return;
        }
        for (const DataSource& source : dataSources()) {
            OpenResult opened = openConnection(source.connection);
            if (opened.status.ok) {
                opened.connection->execute("DELETE FROM Z_servicelog WHERE IP LIKE '%-" +
                                           std::to_string(::getpid()) + "'");
            }
        }
    }
};

TEST_F(OdbcDriver, ConnectsToBothDataSources) {
    for (const DataSource& source : dataSources()) {
        auto db = openOrFail(source);
        ASSERT_TRUE(db);
        QueryResult q = db->query("SELECT * FROM Z_servicelog WHERE 1 = 0");
        ASSERT_TRUE(q.status.ok) << source.name << ": " << q.status.message;
        EXPECT_TRUE(q.rows->atEnd());
        EXPECT_EQ(q.rows->columnNames().size(), 8u) << source.name;
        EXPECT_TRUE(db->close().status.ok);
    }
}

TEST_F(OdbcDriver, FailedConnectsCarryTheDiagnostics) {
    struct Case {
        std::string connection;
        std::vector<std::string> parts;
    } cases[] = {
        {pgConnectionString("wrong-password"), {"[08001]", "password authentication failed"}},
        {"DSN=ixan_no_such_dsn;Uid=a;Pwd=b;", {"[IM002]", "Data source name not found"}},
        {"Driver={No Such Driver};Database=x", {"[01000]", "No Such Driver"}},
        {"DSN=;Uid=;Pwd=;", {"["}},
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        OpenResult opened = openConnection(c.connection, {5, 5});
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_FALSE(opened.status.ok) << c.connection;
        EXPECT_EQ(opened.connection, nullptr);
        for (const std::string& part : c.parts) {
            EXPECT_NE(opened.status.message.find(part), std::string::npos)
                << "connection: " << c.connection << "\nexpected part: " << part
                << "\nactual: " << opened.status.message;
        }
        EXPECT_LE(seconds, 10.0) << c.connection;
    }
}

TEST_F(OdbcDriver, LoginTimeOutBoundsAServerThatNeverAnswers) {
    // Accepts TCP connections (the kernel's backlog) but never speaks.
    UniqueFd listener(::socket(AF_INET, SOCK_STREAM, 0));
    ASSERT_TRUE(listener);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener.get(), 8), 0);
    socklen_t length = sizeof addr;
    ASSERT_EQ(::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&addr), &length), 0);
    const std::string connection = "Driver={PostgreSQL Unicode};Servername=127.0.0.1;Port=" +
                                   std::to_string(ntohs(addr.sin_port)) +
                                   ";Database=ixan_test;Uid=a;Pwd=b;SSLmode=disable;";
    const auto start = std::chrono::steady_clock::now();
    OpenResult opened = openConnection(connection, {2, 2});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(opened.status.ok);
    EXPECT_NE(opened.status.message.find("["), std::string::npos) << opened.status.message;
    EXPECT_GE(seconds, 1.0);
    EXPECT_LE(seconds, 10.0);
}

TEST_F(OdbcDriver, QueryTimeOutEndsALongStatement) {
    OpenResult opened = openConnection(pgConnectionString(env("IXAN_TEST_PG_PASS")), {5, 1});
    ASSERT_TRUE(opened.status.ok) << opened.status.message;
    const auto start = std::chrono::steady_clock::now();
    DbStatus slept = opened.connection->execute("SELECT pg_sleep(20)");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(slept.ok);
    EXPECT_NE(slept.message.find("[57014]"), std::string::npos) << slept.message;
    EXPECT_EQ(slept.message.find('\n'), std::string::npos) << slept.message;
    EXPECT_GE(seconds, 0.8);
    EXPECT_LE(seconds, 8.0);
    // The connection is still usable.
    QueryResult q = opened.connection->query("SELECT 1 AS one");
    EXPECT_TRUE(q.status.ok) << q.status.message;
}

TEST_F(OdbcDriver, RowsRoundTripWithUmlautsAndQuotes) {
    for (const DataSource& source : dataSources()) {
        auto db = openOrFail(source);
        ASSERT_TRUE(db);
        const std::string ip = marker(std::string("round-") + source.name);
        const std::vector<std::string> values = {
            ip,        "2007-03-05 10:00:00",   "Tür äöü ÄÖÜ ß €",
            "O'Neill", "a;b; DROP TABLE x; --", "C:\\x\\",
            "''",      "\"dq\" %s %%"};
        DbStatus inserted = db->execute(insertStatement(values));
        ASSERT_TRUE(inserted.ok) << source.name << ": " << inserted.message;
        auto rows = readAll(*db, "SELECT * FROM Z_servicelog WHERE IP = " + quoted(ip));
        ASSERT_EQ(rows.size(), 1u) << source.name;
        EXPECT_EQ(rows[0], values) << source.name;
    }
}

TEST_F(OdbcDriver, DateLiteralsFilterByDay) {
    for (const DataSource& source : dataSources()) {
        auto db = openOrFail(source);
        ASSERT_TRUE(db);
        const std::string ip = marker(std::string("days-") + source.name);
        for (const char* d : {"2007-03-04 23:59:59", "2007-03-05 00:00:00", "2007-03-09 23:59:59",
                              "2007-03-10 00:00:00"}) {
            DbStatus inserted = db->execute(insertStatement({ip, d, "T", "A", "E", "B", "K", "M"}));
            ASSERT_TRUE(inserted.ok) << source.name << ": " << inserted.message;
        }
        auto rows = readAll(*db, "SELECT * FROM Z_servicelog WHERE IP = " + quoted(ip) +
                                     " AND Z_servicelog.Datum>=#03/05/2007 00:00:00# AND "
                                     "Z_servicelog.Datum<=#03/09/2007 23:59:59# ORDER BY Datum;");
        ASSERT_EQ(rows.size(), 2u) << source.name;
        EXPECT_EQ(rows[0][1], "2007-03-05 00:00:00") << source.name;
        EXPECT_EQ(rows[1][1], "2007-03-09 23:59:59") << source.name;
    }
}

TEST_F(OdbcDriver, RepeatedEventIsRefusedAndTheConnectionGoesOn) {
    for (const DataSource& source : dataSources()) {
        auto db = openOrFail(source);
        ASSERT_TRUE(db);
        const std::string ip = marker(std::string("dup-") + source.name);
        const std::vector<std::string> values = {ip, "2007-03-05 10:00:00", "T", "A", "E", "B", "K",
                                                 "M"};
        // Inside a "transaction": autocommit stays, so the refusal aborts nothing else.
        ASSERT_TRUE(db->beginTransaction().ok);
        ASSERT_TRUE(db->execute(insertStatement(values)).ok) << source.name;
        DbStatus again = db->execute(insertStatement(values));
        EXPECT_FALSE(again.ok) << source.name;
        EXPECT_TRUE(again.message.find("[23505]") != std::string::npos ||
                    again.message.find("UNIQUE constraint failed") != std::string::npos)
            << source.name << ": " << again.message;
        auto other = values;
        other[6] = "K2";
        DbStatus next = db->execute(insertStatement(other));
        EXPECT_TRUE(next.ok) << source.name << ": " << next.message;
        ASSERT_TRUE(db->commit().ok);
        EXPECT_EQ(readAll(*db, "SELECT * FROM Z_servicelog WHERE IP = " + quoted(ip)).size(), 2u)
            << source.name;
    }
}

TEST_F(OdbcDriver, BadStatementsAndMissingColumnsAreErrors) {
    for (const DataSource& source : dataSources()) {
        auto db = openOrFail(source);
        ASSERT_TRUE(db);
        QueryResult bad = db->query("SELECT * FROM no_such_table");
        EXPECT_FALSE(bad.status.ok) << source.name;
        EXPECT_NE(bad.status.message.find("no_such_table"), std::string::npos)
            << source.name << ": " << bad.status.message;
        EXPECT_FALSE(db->execute("INSERT INTO Z_servicelog (Nope) VALUES ('x')").ok);

        QueryResult q = db->query("SELECT 'x' AS IP, NULL AS Datum");
        ASSERT_TRUE(q.status.ok) << source.name << ": " << q.status.message;
        std::string value = "unchanged";
        DbStatus missing = q.rows->getText("Kartentyp", value);
        EXPECT_FALSE(missing.ok);
        EXPECT_NE(missing.message.find("Kartentyp"), std::string::npos) << missing.message;
        EXPECT_EQ(value, "unchanged");
        ASSERT_TRUE(q.rows->getText("ip", value).ok) << source.name;
        EXPECT_EQ(value, "x");
        ASSERT_TRUE(q.rows->getText("Datum", value).ok) << source.name;
        EXPECT_EQ(value, "") << source.name;
    }
}

TEST_F(OdbcDriver, LongValuesAreReadInFull) {
    // PostgreSQL builds the value; 60,000 two-byte characters span many read pieces.
    auto db = openOrFail(dataSources()[0]);
    ASSERT_TRUE(db);
    QueryResult q = db->query(
        "SELECT repeat('ä', 60000) || 'end' AS v, length(repeat('ä', 60000))"
        " AS n");
    ASSERT_TRUE(q.status.ok) << q.status.message;
    std::string value;
    ASSERT_TRUE(q.rows->getText("v", value).ok);
    std::string expected;
    for (int i = 0; i < 60000; ++i) {
        expected += "ä";
    }
    expected += "end";
    EXPECT_EQ(value.size(), expected.size());
    EXPECT_TRUE(value == expected);

    // sqliteodbc on a private file: a stored 1 MiB value.
    test::TempDir dir;
    const std::string file = dir.file("long.db");
    ASSERT_EQ(test::createEventDatabase(file), "");
    auto lite = openOrFail({"sqlite file", "Driver=SQLite3;Database=" + file + ";"});
    ASSERT_TRUE(lite);
    std::string longText;
    while (longText.size() < 1024 * 1024) {
        longText += "Zeile äöü " + std::to_string(longText.size()) + "\n";
    }
    ASSERT_TRUE(lite->execute(insertStatement(
                                  {"long", "2007-03-05 10:00:00", longText, "", "", "", "", ""}))
                    .ok);
    auto rows = readAll(*lite, "SELECT * FROM Z_servicelog");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][2].size(), longText.size());
    EXPECT_TRUE(rows[0][2] == longText);
}

TEST_F(OdbcDriver, ClosedConnectionRefusesWork) {
    auto db = openOrFail(dataSources()[0]);
    ASSERT_TRUE(db);
    QueryResult q = db->query("SELECT 1 AS one UNION ALL SELECT 2");
    ASSERT_TRUE(q.status.ok) << q.status.message;
    EXPECT_TRUE(db->close().status.ok);
    EXPECT_EQ(db->execute("SELECT 1").message, "the connection is closed");
    EXPECT_FALSE(db->query("SELECT 1").status.ok);
    // The result set keeps what it needs until it goes.
    std::string one;
    ASSERT_TRUE(q.rows->getText("one", one).ok);
    EXPECT_EQ(one, "1");
    EXPECT_TRUE(q.rows->next().ok);
    db.reset();
    EXPECT_TRUE(q.rows->next().ok);
    EXPECT_TRUE(q.rows->atEnd());
}

}  // namespace
}  // namespace ixan
