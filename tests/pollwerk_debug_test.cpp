#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "common/tests/run_process.h"
#include "common/tests/test_files.h"
#include "events/dataaccess/connection.h"
#include "events/event_texts.h"
#include "events/insert_statement.h"
#include "events/tests/event_store_fixture.h"
#include "events/tests/pg_test_table.h"
#include "tools/tests/sim_process.h"

namespace ixan {
namespace {

constexpr int kEvents = 40;
constexpr int kSeed = 7;

// What a device generated, decoded as pollwerk stores it: "IP|Datum|...|Kartentyp".
std::vector<std::string> expectedRows(int deviceIndex) {
    const auto printed =
        sim::test::runSim({"--print-events", "--events", std::to_string(kEvents), "--seed",
                           std::to_string(kSeed), "--device-index", std::to_string(deviceIndex)});
    EXPECT_EQ(printed.exitCode, 0) << printed.err;
    std::vector<std::string> rows;
    std::istringstream in(printed.out);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos;
             start = tab + 1) {
            f.push_back(line.substr(start, tab - start));
        }
        f.push_back(line.substr(start));
        EXPECT_EQ(f.size(), 8u) << line;
        f.resize(8);
        EventRow r{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
        decodeEventRow(r);
        r.Datum = normaliseEventDate(r.Datum);
        rows.push_back(r.IP + "|" + r.Datum + "|" + r.Tuername + "|" + r.Ausloeser + "|" +
                       r.Ereignis + "|" + r.Benutzer + "|" + r.Kartennummer + "|" + r.Kartentyp);
    }
    return rows;
}

int freePortThatRefuses() {
    // a port of a listener that is closed again: nothing accepts there afterwards
    std::string error;
    auto sim = sim::test::SimProcess::start({"--listen", "127.0.0.1:0"}, 1, error);
    const int port = sim ? sim->port() : 1;
    return port;
}

class PollwerkDebug : public testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        sim_ = sim::test::SimProcess::start(
            {"--listen", "127.0.0.1:0", "--listen", "127.0.0.1:0", "--events",
             std::to_string(kEvents), "--seed", std::to_string(kSeed)},
            2, error);
        ASSERT_TRUE(sim_) << error;
        registry_ = dir_.file("registry");
        config_ = dir_.file("ixan.ini");
        log_ = dir_.file("ixansys.log");
        db_ = dir_.file("ixan_log.db");
    }

    void writeConfig(const std::string& global) {
        test::writeFile(registry_, "path=" + config_ + "\nmdb_path=" + db_ + "\n");
        test::writeFile(config_, "[Global]\n" + global + "log=" + log_ + "\n" +
                                     "[127.0.0.1]\nport=" + std::to_string(sim_->ports()[0]) +
                                     "\nuser=Service\npass=Fenwix\n"
                                     "[127.0.0.1]\nport=" +
                                     std::to_string(refused_) +
                                     "\nuser=Service\npass=Fenwix\n"
                                     "[127.0.0.1]\nport=" +
                                     std::to_string(sim_->ports()[1]) +
                                     "\nuser=Service\npass=Fenwix\n");
    }

    test::ProcessResult debug() {
        return test::runProcess(POLLWERK_PATH, {"debug"}, {{"IXAN_REGISTRY", registry_}}, "",
                                std::chrono::seconds(60));
    }

    static std::size_t count(const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) {
            ++n;
        }
        return n;
    }

    test::TempDir dir_;
    std::unique_ptr<sim::test::SimProcess> sim_;
    int refused_ = freePortThatRefuses();
    std::string registry_, config_, log_, db_;
};

TEST_F(PollwerkDebug, StoresEveryEventOnceInTheEmbeddedDatabase) {
    ASSERT_TRUE(test::createEventDatabase(db_));
    writeConfig("dsn=nodsn\n");

    const auto first = debug();
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(count(first.out, "\nstore..."), 2u * kEvents);
    EXPECT_EQ(count(first.out, "\nSQL: "), 2u * kEvents);
    EXPECT_EQ(count(first.out, "last run: 0\n"), 3u);
    EXPECT_EQ(count(first.out, "db connect failed"), 0u);

    std::vector<std::string> want = expectedRows(0);
    const auto second = expectedRows(1);
    want.insert(want.end(), second.begin(), second.end());
    EXPECT_EQ(test::readEventRows(db_), want);

    // the devices repeat their whole log; the table refuses every repeated event
    const auto again = debug();
    EXPECT_EQ(count(again.out, "\nstore..."), 2u * kEvents);
    EXPECT_EQ(test::readEventRows(db_), want);

    // the failing device leaves its lines in order and does not stop the cycle
    const std::string log = test::readFile(log_);
    const std::string refused = "127.0.0.1:" + std::to_string(refused_);
    const auto node =
        log.find(" processing node: 127.0.0.1\n", log.find(" processing node: 127.0.0.1\n") + 1);
    const auto failure = log.find(" CInternetException was thrown: ", node);
    const auto unable = log.find(" unable to get data from " + refused +
                                     ", user=Service, pass=Fenwix, uri=/cgi/lgexport.cgi\n",
                                 failure);
    const auto nodata = log.find(" no data received from host\n", unable);
    EXPECT_NE(node, std::string::npos) << log;
    EXPECT_NE(failure, std::string::npos) << log;
    EXPECT_NE(unable, std::string::npos) << log;
    EXPECT_NE(nodata, std::string::npos) << log;
}

TEST_F(PollwerkDebug, AMissingDatabaseIsReportedPerDevice) {
    writeConfig("dsn=nodsn\n");  // no database file made
    const auto r = debug();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(count(r.out, "db connect failed\n"), 2u);
    EXPECT_EQ(count(test::readFile(log_), " CDBException was thrown: "), 2u);
    EXPECT_FALSE(std::filesystem::exists(db_));
}

// The same export into PostgreSQL through an ODBC data source.
TEST_F(PollwerkDebug, StoresEveryEventOnceInPostgreSqlThroughOdbc) {
    IXAN_REQUIRE_PG_TEST_SERVER(pg);
    test::PgTestTable pgTable(*pg, "z_e2e_");
    ASSERT_TRUE(pgTable.status().ok) << pgTable.status().message;
    const std::string& table = pgTable.name();
    auto& c = pgTable.connection();

    writeConfig("dsn=" + pg->dsn + "\nuser=" + pg->user + "\npass=" + pg->pass +
                "\nsql=INSERT INTO " + table +
                " (IP,Datum,Tuername,Ausloeser,Ereignis,Benutzer,Kartennummer,Kartentyp)"
                " VALUES (%s,%s,%s,%s,%s,%s,%s,%s);\n");
    const auto first = debug();
    EXPECT_EQ(count(first.out, "db connect failed"), 0u) << first.out;
    debug();  // a second run adds nothing

    auto rows = c.query(
        "SELECT IP,Datum,Tuername,Ausloeser,Ereignis,Benutzer,Kartennummer,"
        "Kartentyp FROM " +
        table);
    ASSERT_TRUE(rows.status.ok) << rows.status.message;
    std::vector<std::string> got;
    const char* cols[] = {"IP",       "Datum",    "Tuername",     "Ausloeser",
                          "Ereignis", "Benutzer", "Kartennummer", "Kartentyp"};
    while (!rows.rows->atEnd()) {
        std::string row;
        for (const char* col : cols) {
            std::string v;
            EXPECT_TRUE(rows.rows->getText(col, v).ok);
            row += (row.empty() && col == cols[0] ? "" : "|") + v;
        }
        got.push_back(row);
        rows.rows->next();
    }
    rows.rows.reset();

    std::vector<std::string> want = expectedRows(0);
    const auto second = expectedRows(1);
    want.insert(want.end(), second.begin(), second.end());
    std::sort(want.begin(), want.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, want);
}

}  // namespace
}  // namespace ixan
