#include "events/dataaccess/connection_string.h"

#include <gtest/gtest.h>

#include <string>

#include "events/dataaccess/spreadsheet_connection.h"

namespace ixan {
namespace {

const char* kindName(DriverKind kind) {
    switch (kind) {
        case DriverKind::AccessFile:
            return "AccessFile";
        case DriverKind::Spreadsheet:
            return "Spreadsheet";
        case DriverKind::Odbc:
            return "Odbc";
    }
    return "?";
}

TEST(ConnectionString, ChoosesTheDriverByItsName) {
    struct Case {
        const char* text;
        DriverKind kind;
    } cases[] = {
        {"Driver={Microsoft Access Driver (*.mdb)};Dbq=c:\\ixan_log.mdb;Uid=;Pwd=;",
         DriverKind::AccessFile},
        {"driver={MICROSOFT ACCESS DRIVER (*.MDB)};dbq=/x.db", DriverKind::AccessFile},
        {"DRIVER={MICROSOFT EXCEL DRIVER (*.XLS)};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;"
         "CREATE_DB=\"/tmp/a.xls\";DBQ=/tmp/a.xls",
         DriverKind::Spreadsheet},
        {"Driver={Microsoft Excel Driver (*.xls)};DBQ=/tmp/a.xls", DriverKind::Spreadsheet},
        {"DSN=ixan_pg;Uid=u;Pwd=p;", DriverKind::Odbc},
        {"DSN=NODSN;Uid=;Pwd=;", DriverKind::Odbc},
        {"DSN=;Uid=;Pwd=;", DriverKind::Odbc},
        {"", DriverKind::Odbc},
        {"Driver={PostgreSQL Unicode};Servername=127.0.0.1", DriverKind::Odbc},
        {"Driver={Microsoft Access Driver (*.mdb, *.accdb)};Dbq=/x.accdb", DriverKind::Odbc},
        // The driver name without braces is still the name.
        {"Driver=Microsoft Access Driver (*.mdb);Dbq=/x.db", DriverKind::AccessFile},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(kindName(classifyConnectionString(parseConnectionString(c.text))),
                     kindName(c.kind))
            << "connection string: " << c.text;
    }
}

TEST(ConnectionString, SplitsKeysAndValues) {
    const auto attrs = parseConnectionString(
        " Driver = {a;b}}c} ; Dbq=/var/lib/ixan/ixan_log.db;Uid=;Pwd=p=q;"
        "CREATE_DB=\"/t/x;y.xls\";;Flag");
    ASSERT_EQ(attrs.size(), 6u);
    EXPECT_EQ(attrs[0].key, "Driver");
    EXPECT_EQ(attrs[0].value, "a;b}c");
    EXPECT_EQ(findConnectionAttribute(attrs, "DBQ").value_or("?"), "/var/lib/ixan/ixan_log.db");
    EXPECT_EQ(findConnectionAttribute(attrs, "uid").value_or("?"), "");
    EXPECT_EQ(findConnectionAttribute(attrs, "Pwd").value_or("?"), "p=q");
    EXPECT_EQ(findConnectionAttribute(attrs, "create_db").value_or("?"), "/t/x;y.xls");
    EXPECT_EQ(attrs[5].key, "Flag");
    EXPECT_FALSE(findConnectionAttribute(attrs, "Database").has_value());
}

TEST(ConnectionString, SpreadsheetPathFromCreateDbAndDbq) {
    struct Case {
        std::string text;
        std::string path;   // expected; empty: refused
        const char* error;  // part of the message when refused
    } cases[] = {
        {"DRIVER={MICROSOFT EXCEL DRIVER (*.XLS)};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;"
         "CREATE_DB=\"/home/op/Export März.xls\";DBQ=/home/op/Export März.xls",
         "/home/op/Export März.xls", ""},
        // A semicolon cuts the bare DBQ= short; the quoted CREATE_DB holds the whole path.
        {"DRIVER={MICROSOFT EXCEL DRIVER (*.XLS)};CREATE_DB=\"/tmp/a;b.xls\";DBQ=/tmp/a;b.xls",
         "/tmp/a;b.xls", ""},
        {"DRIVER={MICROSOFT EXCEL DRIVER (*.XLS)};DBQ=/tmp/only.xls", "/tmp/only.xls", ""},
        {"DRIVER={MICROSOFT EXCEL DRIVER (*.XLS)};CREATE_DB=\"/tmp/c.xls\"", "/tmp/c.xls", ""},
        {"DRIVER={MICROSOFT EXCEL DRIVER (*.XLS)};CREATE_DB=\"/tmp/a.xls\";DBQ=/tmp/b.xls", "",
         "different files"},
        {"DRIVER={MICROSOFT EXCEL DRIVER (*.XLS)};DSN='';", "", "names no file"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(spreadsheetPath(c.text, error), c.path) << "connection string: " << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos)
            << "connection string: " << c.text << "\nerror: " << error;
    }
}

}  // namespace
}  // namespace ixan
