#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "common/config.h"
#include "common/tests/run_process.h"
#include "common/tests/test_files.h"
#include "events/dataaccess/connection.h"
#include "events/event_texts.h"
#include "events/insert_statement.h"
#include "events/tests/event_store_fixture.h"
#include "events/tests/pg_test_table.h"
#include "export/export_run.h"
#include "export/tests/export_test_support.h"
#include "tools/tests/sim_process.h"

namespace ixan::exporttool {
namespace {

// Two devices; with this seed each log runs from 4 March 2024 into 6 March 2024, so a
// range of days cuts the data at both ends.
constexpr int kEvents = 1200;
constexpr int kSeed = 7;

const std::string kPollwerkColumns =
    " (IP,Datum,Tuername,Ausloeser,Ereignis,Benutzer,Kartennummer,Kartentyp)"
    " VALUES (%s,%s,%s,%s,%s,%s,%s,%s);";

// The events of a device as pollwerk stores them, in log order.
std::vector<EventRow> deviceRows(int deviceIndex) {
    const auto printed =
        sim::test::runSim({"--print-events", "--events", std::to_string(kEvents), "--seed",
                           std::to_string(kSeed), "--device-index", std::to_string(deviceIndex)});
    EXPECT_EQ(printed.exitCode, 0) << printed.err;
    std::vector<EventRow> rows;
    std::istringstream in(printed.out);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> f;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos;
             start = tab + 1) {
            f.push_back(line.substr(start, tab - start));
        }
        f.push_back(line.substr(start));
        f.resize(8);
        EventRow r{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
        decodeEventRow(r);
        r.Datum = normaliseEventDate(r.Datum);
        rows.push_back(r);
    }
    return rows;
}

// The stored events of the days from..to (YYYY-MM-DD), in storage order.
std::vector<EventRow> rowsOfDays(const std::vector<EventRow>& all, const std::string& from,
                                 const std::string& to) {
    std::vector<EventRow> picked;
    for (const EventRow& r : all) {
        const std::string day = r.Datum.substr(0, 10);
        if (day >= from && day <= to) {
            picked.push_back(r);
        }
    }
    return picked;
}

std::vector<EventRow> sortedRows(std::vector<EventRow> rows) {
    std::sort(rows.begin(), rows.end(), [](const EventRow& a, const EventRow& b) {
        return test::joinRow(a) < test::joinRow(b);
    });
    return rows;
}

// "" when the texts agree, else the first line that differs.
std::string firstDifference(const std::string& actual, const std::string& expected) {
    if (actual == expected) {
        return "";
    }
    std::istringstream a(actual), e(expected);
    std::string la, le;
    for (int line = 1;; ++line) {
        const bool moreA = static_cast<bool>(std::getline(a, la));
        const bool moreE = static_cast<bool>(std::getline(e, le));
        if (!moreA || !moreE || la != le) {
            return "line " + std::to_string(line) + "\nexpected: " + (moreE ? le : "<end>") +
                   "\nactual:   " + (moreA ? la : "<end>");
        }
    }
}

// The stored rows of the days in the order the embedded database delivers them for the
// export's filter (the statement has no ORDER BY).
std::vector<EventRow> storedRowsOfDays(const std::string& db, const std::string& from,
                                       const std::string& to) {
    auto q =
        test::queryDatabase(db, "SELECT * FROM Z_servicelog WHERE Z_servicelog.Datum>='" + from +
                                    " 00:00:00' AND Z_servicelog.Datum<='" + to + " 23:59:59'");
    std::vector<EventRow> rows;
    while (q.rows && !q.rows->atEnd()) {
        EventRow row;
        for (auto [name, value] : {std::pair{"IP", &row.IP},
                                   {"Datum", &row.Datum},
                                   {"Tuername", &row.Tuername},
                                   {"Ausloeser", &row.Ausloeser},
                                   {"Ereignis", &row.Ereignis},
                                   {"Benutzer", &row.Benutzer},
                                   {"Kartennummer", &row.Kartennummer},
                                   {"Kartentyp", &row.Kartentyp}}) {
            q.rows->getText(name, *value);
        }
        rows.push_back(row);
        q.rows->next();
    }
    return rows;
}

std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

class ExportEndToEnd : public testing::Test {
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
        all_ = deviceRows(0);
        const std::vector<EventRow> second = deviceRows(1);
        all_.insert(all_.end(), second.begin(), second.end());
        ASSERT_GT(all_.size(), 0u);
        ASSERT_LT(all_.front().Datum, "2024-03-05");
        ASSERT_GT(all_.back().Datum, "2024-03-06");
    }

    // The configuration both programs read; global holds the lines of [Global].
    void writeConfig(const std::string& global) {
        ixan::test::writeFile(registry_, "path=" + config_ + "\nmdb_path=" + db_ + "\n");
        std::string devices;
        for (int port : sim_->ports()) {
            devices +=
                "[127.0.0.1]\nport=" + std::to_string(port) + "\nuser=Service\npass=Fenwix\n";
        }
        ixan::test::writeFile(config_, "[Global]\n" + global + "log=" + log_ + "\n" + devices);
    }

    void pollwerkDebug() {
        const auto r =
            ixan::test::runProcess(POLLWERK_PATH, {"debug"}, {{"IXAN_REGISTRY", registry_}}, "",
                                   std::chrono::seconds(120));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        ASSERT_EQ(r.out.find("db connect failed"), std::string::npos) << r.out;
    }

    // The export run as the dialog makes it, with the configuration the programs read.
    ExportRunResult exportDays(ExportDate from, ExportDate to, const std::string& path) {
        ixan::test::ScopedEnv registry("IXAN_REGISTRY", registry_);
        Config cfg;
        loadConfig(cfg, config_, ConfigReader::Export);
        messages_.shown.clear();
        std::ostringstream out;
        return ExportEvents({cfg.global, from, to, path}, messages_, out);
    }

    ixan::test::TempDir dir_;
    std::unique_ptr<sim::test::SimProcess> sim_;
    std::string registry_, config_, log_, db_;
    std::vector<EventRow> all_;
    test::RecordingMessages messages_;
};

TEST_F(ExportEndToEnd, ExportsTheChosenDaysFromTheEmbeddedDatabase) {
    ASSERT_TRUE(ixan::test::createEventDatabase(db_));
    writeConfig("dsn=nodsn\n");
    pollwerkDebug();
    ASSERT_EQ(ixan::test::readEventRows(db_).size(), all_.size());

    const struct {
        ExportDate from, to;
        const char* fromText;
        const char* toText;
    } ranges[] = {
        {{2024, 3, 5}, {2024, 3, 5}, "2024-03-05", "2024-03-05"},
        {{2024, 3, 5}, {2024, 3, 6}, "2024-03-05", "2024-03-06"},
        {{2024, 3, 1}, {2024, 3, 3}, "2024-03-01", "2024-03-03"},  // no events
    };
    for (const auto& range : ranges) {
        SCOPED_TRACE(std::string(range.fromText) + " to " + range.toText);
        // what the devices logged for these days, in the order the database delivers it
        const std::vector<EventRow> want = storedRowsOfDays(db_, range.fromText, range.toText);
        EXPECT_EQ(sortedRows(want), sortedRows(rowsOfDays(all_, range.fromText, range.toText)));
        const std::string csv = dir_.file("events.csv");
        const ExportRunResult csvRun = exportDays(range.from, range.to, csv);
        EXPECT_TRUE(csvRun.written);
        EXPECT_EQ(csvRun.rowsRead, want.size());
        EXPECT_TRUE(messages_.shown.empty());
        EXPECT_EQ(firstDifference(ixan::test::readFile(csv), test::expectedCsv(want)), "");

        const std::string xls = dir_.file("events.xls");
        const ExportRunResult xlsRun = exportDays(range.from, range.to, xls);
        EXPECT_TRUE(xlsRun.written);
        EXPECT_EQ(xlsRun.rowsRefused, 0u);  // the apostrophes of the device's names go in
        EXPECT_TRUE(messages_.shown.empty());
        EXPECT_EQ(test::checkXlsWithXlrd(xls, test::sheetTable(want), dir_), "");
    }
    // the devices' texts hold apostrophes: the export carries them
    const auto apostrophes = std::count_if(all_.begin(), all_.end(), [](const EventRow& r) {
        return r.Benutzer.find('\'') != std::string::npos ||
               r.Tuername.find('\'') != std::string::npos;
    });
    EXPECT_GT(apostrophes, 0);
}

// LibreOffice, a second independent reader, sees the same sheet.
TEST_F(ExportEndToEnd, LibreOfficeReadsTheExportedWorkbook) {
    ASSERT_TRUE(ixan::test::createEventDatabase(db_));
    writeConfig("dsn=nodsn\n");
    pollwerkDebug();
    const std::string xls = dir_.file("libre.xls");
    ASSERT_TRUE(exportDays({2024, 3, 5}, {2024, 3, 5}, xls).written);
    std::string error;
    const auto table = test::readXlsWithLibreOffice(xls, dir_, error);
    ASSERT_EQ(error, "");
    const auto want = test::sheetTable(storedRowsOfDays(db_, "2024-03-05", "2024-03-05"));
    ASSERT_EQ(table.size(), want.size());
    for (std::size_t r = 0; r < want.size(); ++r) {
        ASSERT_EQ(table[r], want[r]) << "row " << r;
    }
}

TEST_F(ExportEndToEnd, ExportsTheChosenDaysFromPostgreSqlThroughADataSource) {
    IXAN_REQUIRE_PG_TEST_SERVER(pg);
    // a table of this test's own, seen by the export under the name Z_servicelog
    ixan::test::PgTestTable pgTable(*pg, "z_export_");
    ASSERT_TRUE(pgTable.status().ok) << pgTable.status().message;
    const std::string& table = pgTable.name();
    const std::string credentials = "dsn=" + pg->dsn + "\nuser=" + pg->user + "\npass=" + pg->pass;

    writeConfig(credentials + "\nsql=INSERT INTO " + table + kPollwerkColumns + "\n");
    pollwerkDebug();
    // the export reads the table under the name its filter uses
    writeConfig(credentials + "\nselect=SELECT * FROM " + table + " AS Z_servicelog\n");

    const std::vector<EventRow> want = rowsOfDays(all_, "2024-03-05", "2024-03-05");
    ASSERT_FALSE(want.empty());
    const std::string csv = dir_.file("pg.csv");
    const ExportRunResult csvRun = exportDays({2024, 3, 5}, {2024, 3, 5}, csv);
    EXPECT_TRUE(csvRun.written);
    EXPECT_EQ(csvRun.rowsRead, want.size());
    EXPECT_TRUE(messages_.shown.empty()) << messages_.shown.front();
    EXPECT_TRUE(sortedLines(ixan::test::readFile(csv)) == sortedLines(test::expectedCsv(want)))
        << firstDifference(ixan::test::readFile(csv), test::expectedCsv(want));

    const std::string xls = dir_.file("pg.xls");
    const ExportRunResult xlsRun = exportDays({2024, 3, 5}, {2024, 3, 5}, xls);
    EXPECT_TRUE(xlsRun.written);
    EXPECT_TRUE(messages_.shown.empty());
    std::string error;
    auto got = test::readXlsWithXlrd(xls, error);
    ASSERT_EQ(error, "");
    auto expected = test::sheetTable(want);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front(), expected.front());  // the title row first
    std::sort(got.begin() + 1, got.end());
    std::sort(expected.begin() + 1, expected.end());
    EXPECT_TRUE(got == expected) << got.size() << " rows read, " << expected.size() << " expected";
}

// ---- the headless command as a program

#ifdef IXAN_EXPORT_PATH
class HeadlessCommand : public ExportEndToEnd {
  protected:
    ixan::test::ProcessResult run(const std::vector<std::string>& args) {
        // no display: the headless command must not need one
        return ixan::test::runProcess(IXAN_EXPORT_PATH, args,
                                      {{"IXAN_REGISTRY", registry_},
                                       {"DISPLAY", "\x01unset"},
                                       {"WAYLAND_DISPLAY", "\x01unset"},
                                       {"QT_QPA_PLATFORM", "\x01unset"}},
                                      "", std::chrono::seconds(120));
    }
};

TEST_F(HeadlessCommand, WritesTheFileAndExitsZero) {
    ASSERT_TRUE(ixan::test::createEventDatabase(db_));
    writeConfig("dsn=nodsn\n");
    pollwerkDebug();
    const std::vector<EventRow> want = storedRowsOfDays(db_, "2024-03-05", "2024-03-06");
    const std::string csv = dir_.file("cron.csv");
    const auto r = run({"--from", "2024-03-05", "--to", "2024-03-06", csv});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(firstDifference(ixan::test::readFile(csv), test::expectedCsv(want)), "");
    EXPECT_EQ(r.out, std::to_string(want.size()) + " events exported to " + csv + "\n")
        << "no connection string (it holds the password) on standard output";

    const std::string xls = dir_.file("cron.XLS");
    const auto x = run({"--from=2024-03-05", "--to=2024-03-06", xls});
    EXPECT_EQ(x.exitCode, 0) << x.err;
    EXPECT_EQ(test::checkXlsWithXlrd(xls, test::sheetTable(want), dir_), "");
}

TEST_F(HeadlessCommand, FailuresGiveTheirMessageOnStandardErrorAndExitNonZero) {
    writeConfig("dsn=nodsn\n");  // no database file
    const std::string target = dir_.file("x.csv");
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string err;  // a part of standard error
    } cases[] = {
        {{"--from", "2007-02-30", "--to", "2007-03-09", target},
         2,
         "invalid date for --from: '2007-02-30'"},
        {{"--from", "2007-03-05", "--to", "9.3.2007", target},
         2,
         "invalid date for --to: '9.3.2007'"},
        {{"--from", "2007-03-05", target}, 2, "missing --to YYYY-MM-DD"},
        {{"--from", "2007-03-05", "--to", "2007-03-09"}, 2, "missing FILE"},
        {{"--from"}, 2, "option --from needs a date"},
        {{"--frobnicate", target}, 2, "unknown option '--frobnicate'"},
        {{"--from", "2007-03-10", "--to", "2007-03-09", target},
         1,
         "Das Startdatum darf nicht nach dem Enddatum liegen."},
        {{"--from", "2007-03-05", "--to", "2007-03-09", target},
         1,
         "Beim Verbinden zur Datenbank ist ein Fehler aufgetreten."},
    };
    for (const auto& c : cases) {
        const auto r = run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.err << "\n" << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos)
            << "expected: " << c.err << "\nactual: " << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(target));

    ASSERT_TRUE(ixan::test::createEventDatabase(db_));
    const std::string txt = dir_.file("events.txt");
    const auto r = run({"--from", "2007-03-05", "--to", "2007-03-09", txt});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("File type: '" + txt + "' unkown\n"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(txt));
}

TEST_F(HeadlessCommand, HelpAndVersion) {
    const auto help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: ixan-export --from YYYY-MM-DD --to YYYY-MM-DD FILE\n", 0), 0u)
        << help.out;
    const auto version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("ixan-export ", 0), 0u) << version.out;
}
#endif

}  // namespace
}  // namespace ixan::exporttool
