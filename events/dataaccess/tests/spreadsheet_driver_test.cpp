#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "events/dataaccess/connection.h"
#include "events/dataaccess/tests/test_support.h"

namespace ixan {
namespace {

using test::TempDir;

const char* const kCreateTable =
    "CREATE TABLE Z_servicelog (`Adresse IXAN` TEXT,`Datum/Zeit` TEXT,`Türname` TEXT,"
    "`Auslöser` TEXT,`Ereignis` TEXT,`Name` TEXT,`Merkmal` TEXT,`Zugangsmodul` TEXT)";

std::string excelConnectionString(const std::string& path) {
    return "DRIVER={MICROSOFT EXCEL DRIVER (*.XLS)};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;"
           "CREATE_DB=\"" +
           path + "\";DBQ=" + path;
}

std::string insertRow(const std::vector<std::string>& values) {
    std::string sql = "INSERT INTO Z_servicelog VALUES (";
    for (std::size_t i = 0; i < values.size(); ++i) {
        sql += (i ? ",'" : "'") + values[i] + "'";
    }
    return sql + ");";
}

// The workbook as an independent reader (xlrd) sees it: the sheet names, then one line per
// row with the cells separated by tabs.
std::string readWorkbook(const std::string& path) {
    const std::string command =
        "/usr/bin/python3 -c 'import sys, xlrd\n"
        "b = xlrd.open_workbook(sys.argv[1])\n"
        "print(\"|\".join(b.sheet_names()))\n"
        "s = b.sheet_by_index(0)\n"
        "for r in range(s.nrows):\n"
        "    print(\"\\t\".join(str(c.value) + (\"\" if c.ctype == 1 else \"?\") for c in "
        "s.row(r)))\n"
        "' '" +
        path + "' 2>&1";
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        return "popen failed";
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.append(buffer, n);
    }
    ::pclose(pipe);
    return out;
}

TEST(SpreadsheetDriver, WritesTheTableAsAWorkbookOnClose) {
    TempDir dir;
    const std::string path = dir.file("Export März.xls");
    OpenResult opened = openConnection(excelConnectionString(path));
    ASSERT_TRUE(opened.status.ok) << opened.status.message;
    Connection& db = *opened.connection;
    ASSERT_TRUE(db.execute(kCreateTable).ok);
    ASSERT_TRUE(db.execute("DELETE FROM Z_servicelog").ok);
    ASSERT_TRUE(db.execute(insertRow({"10.0.0.2", "2007-03-05 10:00:00", "Tür", "Karte", "Zutritt",
                                      "Müller", "4711", "Leser"}))
                    .ok);
    ASSERT_TRUE(
        db.execute(insertRow({"10.0.0.1", "2007-03-04 09:00:00", "", "", "", "", "", ""})).ok);
    // The event database's statement names columns the sheet does not have.
    DbStatus named = db.execute(
        "INSERT INTO Z_servicelog (IP,Datum,Tuername,Ausloeser,Ereignis,Benutzer,Kartennummer,"
        "Kartentyp) VALUES ('a','b','c','d','e','f','g','h');");
    EXPECT_FALSE(named.ok);
    EXPECT_NE(named.message.find("no column named IP"), std::string::npos) << named.message;
    // An apostrophe that is not doubled ends the literal early.
    EXPECT_FALSE(
        db.execute(insertRow({"O'Neill", "2007-03-05 10:00:00", "", "", "", "", "", ""})).ok);
    ASSERT_TRUE(db.execute(insertRow({"10.0.0.3", "2007-03-06 08:00:00", "a;b", "\"q\"", "it''s",
                                      "x", "y", "z"}))
                    .ok);
    EXPECT_FALSE(test::fileExists(path));

    DbCloseResult closed = db.close();
    EXPECT_TRUE(closed.status.ok) << closed.status.message;
    EXPECT_EQ(closed.rowsNotWritten, 0u);
    ASSERT_TRUE(test::fileExists(path));
    EXPECT_EQ(readWorkbook(path),
              "Z_servicelog\n"
              "Adresse IXAN\tDatum/Zeit\tTürname\tAuslöser\tEreignis\tName\tMerkmal\t"
              "Zugangsmodul\n"
              "10.0.0.2\t2007-03-05 10:00:00\tTür\tKarte\tZutritt\tMüller\t4711\tLeser\n"
              "10.0.0.1\t2007-03-04 09:00:00\t\t\t\t\t\t\n"
              "10.0.0.3\t2007-03-06 08:00:00\ta;b\t\"q\"\tit's\tx\ty\tz\n");
    EXPECT_TRUE(db.close().status.ok);
}

TEST(SpreadsheetDriver, DestroyingTheConnectionAlsoWritesTheWorkbook) {
    TempDir dir;
    const std::string path = dir.file("a.xls");
    {
        OpenResult opened = openConnection(excelConnectionString(path));
        ASSERT_TRUE(opened.status.ok) << opened.status.message;
        ASSERT_TRUE(opened.connection->execute(kCreateTable).ok);
    }
    EXPECT_EQ(readWorkbook(path),
              "Z_servicelog\n"
              "Adresse IXAN\tDatum/Zeit\tTürname\tAuslöser\tEreignis\tName\tMerkmal\t"
              "Zugangsmodul\n");
}

TEST(SpreadsheetDriver, StatementsReachNoOtherFile) {
    TempDir dir;
    OpenResult opened = openConnection(excelConnectionString(dir.file("a.xls")));
    ASSERT_TRUE(opened.status.ok) << opened.status.message;
    EXPECT_FALSE(opened.connection->execute("ATTACH DATABASE '" + dir.file("x.db") + "' AS x").ok);
    EXPECT_FALSE(test::fileExists(dir.file("x.db")));
}

TEST(SpreadsheetDriver, TargetThatCannotBeWrittenIsAFailedConnect) {
    TempDir dir;
    struct Case {
        std::string path;
        const char* message;
    } cases[] = {
        {dir.file("no/such/folder/a.xls"), "does not exist"},
        {dir.path(), "is a folder"},
    };
    for (const Case& c : cases) {
        OpenResult opened = openConnection(excelConnectionString(c.path));
        EXPECT_FALSE(opened.status.ok) << c.path;
        EXPECT_NE(opened.status.message.find(c.message), std::string::npos)
            << "path: " << c.path << "\nmessage: " << opened.status.message;
    }
}

TEST(SpreadsheetDriver, WithoutTheTableNothingIsWrittenAndAnOldFileStays) {
    TempDir dir;
    const std::string path = dir.file("old.xls");
    {
        FILE* f = fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs("old contents", f);
        fclose(f);
    }
    OpenResult opened = openConnection(excelConnectionString(path));
    ASSERT_TRUE(opened.status.ok) << opened.status.message;
    EXPECT_FALSE(opened.connection->execute("CREATE TABLE Z_servicelog (").ok);
    DbCloseResult closed = opened.connection->close();
    EXPECT_FALSE(closed.status.ok);
    EXPECT_NE(closed.status.message.find("no table Z_servicelog"), std::string::npos)
        << closed.status.message;
    EXPECT_EQ(test::readFile(path), "old contents");
}

TEST(SpreadsheetDriver, RowsBeyondTheSheetLimitAreCounted) {
    TempDir dir;
    const std::string path = dir.file("big.xls");
    OpenResult opened = openConnection(excelConnectionString(path));
    ASSERT_TRUE(opened.status.ok) << opened.status.message;
    Connection& db = *opened.connection;
    ASSERT_TRUE(db.execute(kCreateTable).ok);
    ASSERT_TRUE(db.beginTransaction().ok);
    const std::size_t rows = 65535 + 3;
    for (std::size_t i = 0; i < rows; ++i) {
        ASSERT_TRUE(db.execute(insertRow({std::to_string(i), "d", "", "", "", "", "", ""})).ok);
    }
    ASSERT_TRUE(db.commit().ok);
    DbCloseResult closed = db.close();
    EXPECT_TRUE(closed.status.ok) << closed.status.message;
    EXPECT_EQ(closed.rowsNotWritten, 3u);
    EXPECT_FALSE(closed.notes.empty());
    ASSERT_TRUE(test::fileExists(path));
}

}  // namespace
}  // namespace ixan
