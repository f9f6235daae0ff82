#include <gtest/gtest.h>

#include <sqlite3.h>

#include <chrono>
#include <sstream>

#include "common/activity_log.h"
#include "common/config.h"
#include "common/tests/test_files.h"
#include "events/event_database.h"
#include "events/tests/event_store_fixture.h"

namespace ixan {
namespace {

class StoreExport : public testing::Test {
  protected:
    void SetUp() override {
        dbFile_ = dir_.file("ixan_log.db");
        ASSERT_TRUE(test::createEventDatabase(dbFile_));
        test::writeFile(dir_.file("registry"), "mdb_path=" + dbFile_ + "\n");
        log_ = dir_.file("ixansys.log");
        processConfig().global.log = log_;
        settings_ = defaultGlobalSettings(ConfigReader::Pollwerk);
        settings_.dsn = "nodsn";
        settings_.log = log_;
    }
    void TearDown() override { processConfig().global.log.clear(); }

    std::string store(const std::string& text, const DbTimeouts& timeouts = {}) {
        std::ostringstream out;
        storeExport(text, settings_, out, timeouts);
        return out.str();
    }
    std::string cs() const {
        return "Driver={Microsoft Access Driver (*.mdb)};Dbq=" + dbFile_ + ";Uid=;Pwd=;";
    }

    test::TempDir dir_;
    test::ScopedEnv registry_{"IXAN_REGISTRY", dir_.file("registry")};
    std::string dbFile_, log_;
    GlobalSettings settings_;
};

TEST_F(StoreExport, ThreeLinesGiveThreeRowsAndTheProgressLines) {
    const std::string text =
        "192.168.10.21,05.03.2007 07:05:09,T%C3%BCr,1,6,Pat O'Neill,4711,1\r\n"
        "192.168.10.21,05.03.2007 07:06:00,Lager,2,7,,3,3\n"
        "192.168.10.21,2007-03-05T08:00,Büro,99,40,x,12,9\n"
        "cut off,without line feed";
    const std::string out = store(text);
    const std::string sql =
        "SQL: INSERT INTO Z_servicelog (IP,Datum,Tuername,Ausloeser,Ereignis,Benutzer,"
        "Kartennummer,Kartentyp) VALUES (";
    EXPECT_EQ(out,
              cs() + "\n" +
                  "store...192.168.10.21,05.03.2007 07:05:09,T%C3%BCr,1,6,Pat O'Neill,4711,1\n" +
                  sql +
                  "'192.168.10.21','2007-03-05 07:05:09','T%C3%BCr','Türöffner','Zutritt',"
                  "'Pat O''Neill','4711','RAK (Tokenfunk-Lese-Modul)');\n"
                  "store...192.168.10.21,05.03.2007 07:06:00,Lager,2,7,,3,3\n" +
                  sql +
                  "'192.168.10.21','2007-03-05 07:06:00','Lager','Türtaster',"
                  "'Zeitüberschreitung','','rechts: Mittelfinger','SOV (FingerPrint-Modul)');\n"
                  "store...192.168.10.21,2007-03-05T08:00,Büro,99,40,x,12,9\n" +
                  sql + "'192.168.10.21','2007-03-05 08:00:00','Büro','','','x','12','');\n");
    EXPECT_EQ(test::readEventRows(dbFile_),
              (std::vector<std::string>{
                  "192.168.10.21|2007-03-05 07:05:09|T%C3%BCr|Türöffner|Zutritt|Pat O'Neill|4711|"
                  "RAK (Tokenfunk-Lese-Modul)",
                  "192.168.10.21|2007-03-05 07:06:00|Lager|Türtaster|Zeitüberschreitung||"
                  "rechts: Mittelfinger|SOV (FingerPrint-Modul)",
                  "192.168.10.21|2007-03-05 08:00:00|Büro|||x|12|"}));
    EXPECT_EQ(test::readFile(log_), "");
}

TEST_F(StoreExport, RepeatedEventsAreRefusedAndOthersStay) {
    const std::string first =
        "a,01.01.2007 00:00:00,d,1,1,u,1,1\nb,01.01.2007 00:00:01,d,1,1,u,1,1\n";
    store(first);
    // the same export again plus one new event between two repeated ones
    store(
        "a,01.01.2007 00:00:00,d,1,1,u,1,1\nc,02.01.2007 00:00:00,d,1,1,u,1,1\n"
        "b,01.01.2007 00:00:01,d,1,1,u,1,1\n");
    const auto rows = test::readEventRows(dbFile_);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].substr(0, 2), "c|");
}

TEST_F(StoreExport, HostileValuesAreStoredAsText) {
    const std::string values[] = {
        "x'); DROP TABLE Z_servicelog; --",
        "back\\slash",
        "semi;colon",
        "''",
        "%s %n %d %%",
        "\"quoted\"",
    };
    std::string text;
    for (const std::string& v : values) {
        text += "10.0.0.1,01.01.2007 00:00:00," + v + ",1,1," + v + ",1,1\n";
    }
    store(text);
    const auto rows = test::readEventRows(dbFile_);
    ASSERT_EQ(rows.size(), std::size(values));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i], "10.0.0.1|2007-01-01 00:00:00|" + values[i] +
                               "|Türöffner|nicht anwesend|" + values[i] +
                               "|1|RAK (Tokenfunk-Lese-Modul)");
    }
}

TEST_F(StoreExport, TemplatesWithTheWrongPlacesFailQuietly) {
    const std::string line = "a,01.01.2007 00:00:00,d,1,1,u,1,1\n";
    const char* templates[] = {
        "INSERT INTO Z_servicelog VALUES (%s,%s,%s,%s,%s,%s,%s);",
        "INSERT INTO Z_servicelog VALUES (%s,%s,%s,%s,%s,%s,%s,%s,%s);",
        "INSERT INTO Z_servicelog VALUES (%n,%d);",
        "garbage",
        "",
    };
    for (const char* t : templates) {
        settings_.sql = t;
        const std::string out = store(line);
        EXPECT_NE(out.find("SQL: "), std::string::npos) << t;
    }
    EXPECT_TRUE(test::readEventRows(dbFile_).empty());
    // a template that names the columns in another order is used as written
    settings_.sql =
        "INSERT INTO Z_servicelog (Kartentyp,Kartennummer,Benutzer,Ereignis,Ausloeser,Tuername,"
        "Datum,IP) VALUES (%s,%s,%s,%s,%s,%s,%s,%s);";
    store(line);
    EXPECT_EQ(test::readEventRows(dbFile_),
              std::vector<std::string>{"RAK (Tokenfunk-Lese-Modul)|1|u|nicht anwesend|Türöffner|d|"
                                       "2007-01-01 00:00:00|a"});
}

TEST_F(StoreExport, AFailedConnectIsLoggedAndStoresNothing) {
    const std::string missing = dir_.file("gone.db");
    test::writeFile(dir_.file("registry"), "mdb_path=" + missing + "\n");
    const std::string out = store("a,b,c,d,e,f,g,h\n");
    const std::string want_cs =
        "Driver={Microsoft Access Driver (*.mdb)};Dbq=" + missing + ";Uid=;Pwd=;";
    EXPECT_EQ(out, want_cs + "\ndb connect failed\n");
    const std::string log = test::readFile(log_);
    EXPECT_NE(log.find(" CDBException was thrown: "), std::string::npos) << log;
    EXPECT_NE(log.find(" Connection String: " + want_cs + "\n"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(StoreExport, ADatabaseLockedByAnotherWriterKeepsTheRunBounded) {
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(dbFile_.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::string text;
    for (int i = 0; i < 50; ++i) {
        text += "a,01.01.2007 00:00:" + std::to_string(10 + i) + ",d,1,1,u,1,1\n";
    }
    const auto start = std::chrono::steady_clock::now();
    const std::string out = store(text, DbTimeouts{1, 1});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_EQ(out.find("store..."), std::string::npos) << out;
    EXPECT_NE(test::readFile(log_).find("[error] events not stored: "), std::string::npos);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    // once the other writer is gone, the same export is stored whole
    store(text);
    EXPECT_EQ(test::readEventRows(dbFile_).size(), 50u);
}

}  // namespace
}  // namespace ixan
