#include <gtest/gtest.h>

#include "common/config.h"
#include "common/tests/test_files.h"
#include "events/event_database.h"
#include "events/insert_statement.h"

namespace ixan {
namespace {

const EventRow kAtoH{"A", "B", "C", "D", "E", "F", "G", "H"};

TEST(InsertStatement, DefaultTemplateTakesTheEightQuotedValuesInColumnOrder) {
    EXPECT_EQ(buildInsertStatement(kPollwerkSqlDefault, kAtoH),
              "INSERT INTO Z_servicelog (IP,Datum,Tuername,Ausloeser,Ereignis,Benutzer,"
              "Kartennummer,Kartentyp) VALUES ('A','B','C','D','E','F','G','H');");
    const EventRow decoded{"192.168.10.21", "2007-03-05 07:05:09",    "Tür Süd",
                           "Türöffner",     "Zeitüberschreitung",     "Pat O'Neill",
                           "links: Daumen", "SOV (FingerPrint-Modul)"};
    EXPECT_EQ(buildInsertStatement(kPollwerkSqlDefault, decoded),
              "INSERT INTO Z_servicelog (IP,Datum,Tuername,Ausloeser,Ereignis,Benutzer,"
              "Kartennummer,Kartentyp) VALUES ('192.168.10.21','2007-03-05 07:05:09',"
              "'Tür Süd','Türöffner','Zeitüberschreitung','Pat O''Neill','links: Daumen',"
              "'SOV (FingerPrint-Modul)');");
}

TEST(InsertStatement, QuotesAreDoubledAndNothingElseIsEscaped) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "''"},
        {"O'Neill", "'O''Neill'"},
        {"''", "''''''"},
        {"a\\b;c", "'a\\b;c'"},
        {"x'); DROP TABLE Z_servicelog; --", "'x''); DROP TABLE Z_servicelog; --'"},
    };
    for (const auto& [value, want] : cases) {
        EXPECT_EQ(quoteSqlValue(value), want) << "value " << value;
    }
}

TEST(InsertStatement, OnlyPercentSAndPercentPercentAreConversions) {
    const std::string v[] = {"1", "2", "3", "4", "5", "6", "7", "8"};
    const std::pair<const char*, const char*> cases[] = {
        {"%s,%s,%s,%s,%s,%s,%s,%s", "1,2,3,4,5,6,7,8"},
        {"no places", "no places"},                            // 0 places
        {"%s,%s,%s,%s,%s,%s,%s", "1,2,3,4,5,6,7"},             // 7 places
        {"%s,%s,%s,%s,%s,%s,%s,%s,%s", "1,2,3,4,5,6,7,8,%s"},  // 9: the rest stays
        {"%n %d %x %5s %", "%n %d %x %5s %"},                  // copied as they stand
        {"100%% %s", "100% 1"},
        {"%%s", "%s"},
        {"%", "%"},
        {"%s%", "1%"},
    };
    for (const auto& [format, want] : cases) {
        EXPECT_EQ(fillTemplate(format, v, 8), want) << "template " << format;
    }
}

TEST(InsertStatement, EventDatesInKnownFormsAreNormalised) {
    const std::pair<const char*, const char*> cases[] = {
        {"05.03.2007 07:05:09", "2007-03-05 07:05:09"},
        {"05.03.2007 07:05", "2007-03-05 07:05:00"},
        {"5.3.2007 7:05:09", "2007-03-05 07:05:09"},
        {"2007-03-05 07:05:09", "2007-03-05 07:05:09"},
        {"2007-03-05T23:59", "2007-03-05 23:59:00"},
        {"29.02.2008 00:00:00", "2008-02-29 00:00:00"},
        // anything else goes in as written
        {"29.02.2007 00:00:00", "29.02.2007 00:00:00"},
        {"31.04.2007 10:00:00", "31.04.2007 10:00:00"},
        {"05.03.2007 24:00:00", "05.03.2007 24:00:00"},
        {"05.03.2007", "05.03.2007"},
        {"05.03.2007 07:05:09 ", "05.03.2007 07:05:09 "},
        {"gestern", "gestern"},
        {"", ""},
        {"2007-13-01 00:00", "2007-13-01 00:00"},
    };
    for (const auto& [in, want] : cases) {
        EXPECT_EQ(normaliseEventDate(in), want) << "date '" << in << "'";
    }
}

TEST(ConnectionString, FollowsTheDsnSwitch) {
    test::TempDir dir;
    const std::string store = dir.file("registry");
    test::ScopedEnv env("IXAN_REGISTRY", store);
    test::writeFile(store, "");
    EXPECT_EQ(buildConnectionString("nodsn", "", "", eventDatabaseFile()),
              "Driver={Microsoft Access Driver (*.mdb)};Dbq=/var/lib/ixan/ixan_log.db;Uid=;Pwd=;");
    test::writeFile(store, "mdb_path=/srv/ixan/log.db\n");
    EXPECT_EQ(buildConnectionString("nodsn", "u", "p", eventDatabaseFile()),
              "Driver={Microsoft Access Driver (*.mdb)};Dbq=/srv/ixan/log.db;Uid=u;Pwd=p;");
    EXPECT_EQ(buildConnectionString("NODSN", "u", "p", eventDatabaseFile()),
              "DSN=NODSN;Uid=u;Pwd=p;");
    EXPECT_EQ(buildConnectionString("", "", "", eventDatabaseFile()), "DSN=;Uid=;Pwd=;");
    EXPECT_EQ(buildConnectionString("ixan_pg", "ixan", "geheim", ""),
              "DSN=ixan_pg;Uid=ixan;Pwd=geheim;");
}

}  // namespace
}  // namespace ixan
