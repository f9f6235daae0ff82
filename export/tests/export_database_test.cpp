#include <gtest/gtest.h>

#include <sstream>

#include "common/config.h"
#include "common/tests/test_files.h"
#include "events/tests/event_store_fixture.h"
#include "export/export_database.h"
#include "export/tests/export_test_support.h"

namespace ixan::exporttool {
namespace {

class ExportDatabaseTest : public testing::Test {
  protected:
    void SetUp() override {
        log_ = dir_.file("ixansys.log");
        savedLog_ = processConfig().global.log;
        processConfig().global.log = log_;
        db_ = dir_.file("ixan_log.db");
    }
    void TearDown() override { processConfig().global.log = savedLog_; }

    std::string logText() const { return ixan::test::readFile(log_); }

    ixan::test::TempDir dir_;
    std::string log_, db_, savedLog_;
    test::RecordingMessages messages_;
    std::ostringstream out_;
};

TEST_F(ExportDatabaseTest, ConnectUsesPollwerksRulesAndPrintsTheString) {
    test::createDatabaseWithRows(db_, {});
    ixan::test::writeFile(dir_.file("registry"), "mdb_path=" + db_ + "\n");
    ixan::test::ScopedEnv registry("IXAN_REGISTRY", dir_.file("registry"));
    EventDatabase db(messages_, out_);
    EXPECT_TRUE(db.connect("nodsn", "admin", "geheim"));
    EXPECT_EQ(out_.str(),
              "Driver={Microsoft Access Driver (*.mdb)};Dbq=" + db_ + ";Uid=admin;Pwd=geheim;\n");
    EXPECT_NE(db.connection(), nullptr);
}

// A failed connect says nothing and logs nothing: the caller reports it.
TEST_F(ExportDatabaseTest, FailedConnectIsSilent) {
    ixan::test::writeFile(dir_.file("registry"), "mdb_path=" + dir_.file("missing.db") + "\n");
    ixan::test::ScopedEnv registry("IXAN_REGISTRY", dir_.file("registry"));
    const struct {
        const char* dsn;
        const char* printed;
    } cases[] = {
        {"nodsn", nullptr},  // the file does not exist
        {"", "DSN=;Uid=;Pwd=;\n"},
        {"NODSN", "DSN=NODSN;Uid=;Pwd=;\n"},  // not the special value
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        EventDatabase db(messages_, out);
        EXPECT_FALSE(db.connect(c.dsn, "", "")) << c.dsn;
        if (c.printed) {
            EXPECT_EQ(out.str(), c.printed);
        }
        EXPECT_FALSE(db.lastError().empty()) << c.dsn;
        EXPECT_EQ(db.connection(), nullptr);
    }
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(logText(), "");
}

TEST_F(ExportDatabaseTest, OpenQueryRefusesAnEmptyStatementAndIsSilentOnAFailedOne) {
    test::createDatabaseWithRows(db_, {});
    EventDatabase db(messages_, out_);
    ASSERT_TRUE(db.connectString(test::accessConnectionString(db_)));

    EXPECT_EQ(db.openQuery(""), nullptr);
    EXPECT_EQ(messages_.shown, std::vector<std::string>{"Missing SELECT-Statement (2)"});

    messages_.shown.clear();
    EXPECT_EQ(db.openQuery("SELECT * FROM Nirgendwo"), nullptr);
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_NE(db.lastError().find("Nirgendwo"), std::string::npos) << db.lastError();
    EXPECT_EQ(logText(), "");

    auto rows = db.openQuery("SELECT * FROM Z_servicelog");
    ASSERT_NE(rows, nullptr);
    EXPECT_TRUE(rows->atEnd());
}

TEST_F(ExportDatabaseTest, ExecuteLogsAFailureWithTheErrorTextAndTheStatement) {
    test::createDatabaseWithRows(db_, {});
    EventDatabase db(messages_, out_);
    ASSERT_TRUE(db.connectString(test::accessConnectionString(db_)));
    EXPECT_TRUE(db.execute("DELETE FROM Z_servicelog"));
    EXPECT_EQ(logText(), "");

    const std::string statement = "DELETE FROM Nirgendwo";
    EXPECT_FALSE(db.execute(statement));
    const std::string log = logText();
    // "YYYY-MM-DD HH:MM:SS SQL-Statement failed (CDBException): <error><statement>\n"
    ASSERT_GT(log.size(), 20u);
    const std::string entry = log.substr(20);
    EXPECT_EQ(entry.rfind("SQL-Statement failed (CDBException): ", 0), 0u) << log;
    EXPECT_NE(entry.find("no such table: Nirgendwo" + statement + "\n"), std::string::npos) << log;
    EXPECT_TRUE(messages_.shown.empty());
}

// Apostrophes inside the texts are doubled: the row goes in whole.
TEST_F(ExportDatabaseTest, InsertRowKeepsApostrophes) {
    test::createDatabaseWithRows(db_, {});
    EventDatabase db(messages_, out_);
    ASSERT_TRUE(db.connectString(test::accessConnectionString(db_)));
    const EventRow row{
        "10.0.0.1", "2007-03-05 10:00:00", "Tür 'Nord'", "Leser", "Zutritt", "O'Neill", "''", "'"};
    EXPECT_TRUE(db.insertRow(row, kPollwerkSqlDefault));
    // the same row again: refused by the table, and logged
    EXPECT_FALSE(db.insertRow(row, kExportSqlDefault));
    db.close();
    EXPECT_EQ(ixan::test::readEventRows(db_),
              std::vector<std::string>{"10.0.0.1|2007-03-05 10:00:00|Tür 'Nord'|Leser|Zutritt|"
                                       "O'Neill|''|'"});
    EXPECT_NE(logText().find("SQL-Statement failed (CDBException): "), std::string::npos);
    EXPECT_NE(logText().find("'O''Neill'"), std::string::npos);
}

TEST_F(ExportDatabaseTest, RowsAreReadByColumnName) {
    const std::vector<EventRow> rows = test::generatedRows(3);
    test::createDatabaseWithRows(db_, rows);
    // columns in another order than the table's: the names count
    auto q = test::queryDatabase(db_,
                                 "SELECT Kartentyp,Kartennummer,Benutzer,Ereignis,Ausloeser,"
                                 "Tuername,Datum,IP FROM Z_servicelog ORDER BY rowid");
    ASSERT_TRUE(q.rows);
    std::vector<EventRow> read;
    while (!q.rows->atEnd()) {
        EventRow row;
        ASSERT_TRUE(readEventRow(*q.rows, row).ok);
        read.push_back(row);
        ASSERT_TRUE(q.rows->next().ok);
    }
    EXPECT_EQ(read, rows);

    auto missing = test::queryDatabase(db_, "SELECT IP,Datum FROM Z_servicelog");
    ASSERT_TRUE(missing.rows);
    EventRow row;
    const DbStatus got = readEventRow(*missing.rows, row);
    EXPECT_FALSE(got.ok);
    EXPECT_NE(got.message.find("Tuername"), std::string::npos) << got.message;
}

}  // namespace
}  // namespace ixan::exporttool
