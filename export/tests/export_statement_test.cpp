#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "common/tests/test_files.h"
#include "export/export_run.h"
#include "export/tests/export_test_support.h"

namespace ixan::exporttool {
namespace {

struct StatementCase {
    const char* what;
    std::string select;
    ExportDate from;
    ExportDate to;
    std::string expected;
};

TEST(ExportStatement, FiltersWholeDaysInAccessDateLiterals) {
    const StatementCase cases[] = {
        {"a range of days",
         kSelectDefault,
         {2007, 3, 5},
         {2007, 3, 9},
         "SELECT * FROM Z_servicelog WHERE Z_servicelog.Datum>=#03/05/2007 00:00:00# AND "
         "Z_servicelog.Datum<=#03/09/2007 23:59:59#;"},
        {"start and end on the same day",
         kSelectDefault,
         {2007, 3, 5},
         {2007, 3, 5},
         "SELECT * FROM Z_servicelog WHERE Z_servicelog.Datum>=#03/05/2007 00:00:00# AND "
         "Z_servicelog.Datum<=#03/05/2007 23:59:59#;"},
        {"days and months below ten with a leading zero",
         kSelectDefault,
         {2007, 1, 2},
         {2007, 12, 31},
         "SELECT * FROM Z_servicelog WHERE Z_servicelog.Datum>=#01/02/2007 00:00:00# AND "
         "Z_servicelog.Datum<=#12/31/2007 23:59:59#;"},
        {"a configured select goes in front as it stands",
         "SELECT IP, Datum FROM Z_servicelog",
         {2024, 2, 29},
         {2024, 3, 1},
         "SELECT IP, Datum FROM Z_servicelog WHERE Z_servicelog.Datum>=#02/29/2024 00:00:00# AND "
         "Z_servicelog.Datum<=#03/01/2024 23:59:59#;"},
    };
    for (const StatementCase& c : cases) {
        EXPECT_EQ(buildExportStatement(c.select, c.from, c.to), c.expected) << c.what;
    }
}

TEST(ExportStatement, KnowsWhichDaysExist) {
    const struct {
        ExportDate date;
        bool valid;
    } cases[] = {
        {{2007, 2, 28}, true},  {{2007, 2, 29}, false}, {{2007, 2, 30}, false},
        {{2024, 2, 29}, true},  {{1900, 2, 29}, false}, {{2000, 2, 29}, true},
        {{2007, 4, 31}, false}, {{2007, 12, 31}, true}, {{2007, 13, 1}, false},
        {{2007, 0, 1}, false},  {{2007, 1, 0}, false},  {{0, 1, 1}, false},
        {{9999, 12, 31}, true}, {{10000, 1, 1}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isValidDate(c.date), c.valid)
            << c.date.year << "-" << c.date.month << "-" << c.date.day;
    }
}

// A range that ends before it starts holds no events: warned and not written, and the
// database is not even opened.
TEST(ExportRun, StartAfterEndWarnsAndWritesNothing) {
    ixan::test::TempDir dir;
    const std::string target = dir.file("out.csv");
    ixan::test::writeFile(target, "old");
    test::RecordingMessages messages;
    std::ostringstream out;
    ExportRequest request;
    request.settings = defaultGlobalSettings(ConfigReader::Export);
    request.from = {2007, 3, 10};
    request.to = {2007, 3, 9};
    request.path = target;
    const ExportRunResult result = ExportEvents(request, messages, out);
    EXPECT_FALSE(result.written);
    EXPECT_EQ(messages.shown,
              std::vector<std::string>{"Das Startdatum darf nicht nach dem Enddatum liegen."});
    EXPECT_EQ(out.str(), "");  // no connection string: nothing was connected
    EXPECT_EQ(ixan::test::readFile(target), "old");
}

TEST(ExportRun, AnInvalidDateIsRefused) {
    test::RecordingMessages messages;
    std::ostringstream out;
    ExportRequest request;
    request.from = {2007, 2, 30};
    request.to = {2007, 3, 9};
    request.path = "/nonexistent/out.csv";
    EXPECT_FALSE(ExportEvents(request, messages, out).written);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Das gewählte Datum ist ungültig."});
}

}  // namespace
}  // namespace ixan::exporttool
