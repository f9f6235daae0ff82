#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "common/config.h"
#include "common/tests/test_files.h"
#include "export/export_writers.h"
#include "export/tests/export_test_support.h"

namespace ixan::exporttool {
namespace {

class ExportWriters : public testing::Test {
  protected:
    void SetUp() override {
        savedLog_ = processConfig().global.log;
        log_ = dir_.file("ixansys.log");
        processConfig().global.log = log_;
        db_ = dir_.file("ixan_log.db");
        out_ = dir_.file("out");
        std::filesystem::create_directory(out_);
    }
    void TearDown() override { processConfig().global.log = savedLog_; }

    // Writes the rows of the database through ChooseWriter to path.
    WriteOutcome write(const std::string& path, const std::string& sql = kExportSqlDefault,
                       const std::string& query = "SELECT * FROM Z_servicelog ORDER BY rowid") {
        auto q = test::queryDatabase(db_, query);
        if (!q.rows) {
            return {};
        }
        WriterContext context{messages_, sql, printed_};
        return ChooseWriter(*q.rows, path, context);
    }

    std::size_t logEntries(const std::string& what) const {
        const std::string log = ixan::test::readFile(log_);
        std::size_t n = 0;
        for (auto p = log.find(what); p != std::string::npos; p = log.find(what, p + 1)) {
            ++n;
        }
        return n;
    }

    ixan::test::TempDir dir_;
    std::string savedLog_, log_, db_, out_;
    test::RecordingMessages messages_;
    std::ostringstream printed_;
};

const std::vector<EventRow> kSample = {
    {"192.168.10.21", "2007-03-05 06:00:36", "Haupteingang", "Leser 1", "Zutritt gewährt",
     "Jürgen Weiß", "069:53123", "Karte"},
    {"192.168.10.21", "2007-03-05 06:03:38", "Küche \"Pause\"", "Leser 2", "Tür offen", "O'Neill",
     "", "Finger"},
    {"192.168.10.22", "2007-03-05 07:00:00", "a;b", "zwei\nZeilen", "", "", "", ""},
};

// Only the last three characters count, in any letter case.
TEST_F(ExportWriters, ChooseWriterGoesByTheLastThreeCharacters) {
    test::createDatabaseWithRows(db_, kSample);
    const struct {
        const char* name;
        const char* format;  // "csv", "xls" or nullptr for refused
    } cases[] = {
        {"events.csv", "csv"}, {"events.CSV", "csv"},    {"eventscsv", "csv"},
        {"events.xls", "xls"}, {"events.XLS", "xls"},    {"events.XlS", "xls"},
        {"eventsxls", "xls"},  {"events.xlsx", nullptr}, {"events.txt", nullptr},
        {"events", nullptr},   {"sv", nullptr},
    };
    for (const auto& c : cases) {
        messages_.shown.clear();
        const std::string path = out_ + "/" + c.name;
        const WriteOutcome outcome = write(path);
        const std::string content = ixan::test::readFile(path);
        if (c.format == nullptr) {
            EXPECT_FALSE(outcome.written) << c.name;
            EXPECT_EQ(messages_.shown, std::vector<std::string>{"File type: '" + path + "' unkown"})
                << c.name;
            EXPECT_FALSE(std::filesystem::exists(path)) << c.name;
            continue;
        }
        EXPECT_TRUE(outcome.written) << c.name;
        EXPECT_TRUE(messages_.shown.empty()) << c.name;
        if (std::string(c.format) == "csv") {
            EXPECT_EQ(content, test::expectedCsv(kSample)) << c.name;
        } else {
            // the compound file signature
            EXPECT_EQ(content.substr(0, 8), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") << c.name;
        }
    }
    EXPECT_EQ(test::folderEntries(out_).size(), 7u);  // no temporary files left
}

TEST_F(ExportWriters, CsvIsWrittenByteForByte) {
    test::createDatabaseWithRows(db_, kSample);
    const std::string path = out_ + "/events.csv";
    const WriteOutcome outcome = write(path);
    EXPECT_TRUE(outcome.written);
    EXPECT_EQ(outcome.rowsRead, 3u);
    EXPECT_EQ(ixan::test::readFile(path),
              "\"192.168.10.21\";\"2007-03-05 06:00:36\";\"Haupteingang\";\"Leser 1\";"
              "\"Zutritt gewährt\";\"Jürgen Weiß\";\"069:53123\";\"Karte\";\n"
              "\"192.168.10.21\";\"2007-03-05 06:03:38\";\"Küche \"\"Pause\"\"\";\"Leser 2\";"
              "\"Tür offen\";\"O'Neill\";\"\";\"Finger\";\n"
              "\"192.168.10.22\";\"2007-03-05 07:00:00\";\"a;b\";\"zwei\nZeilen\";\"\";\"\";"
              "\"\";\"\";\n");
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ExportWriters, AnEmptyResultGivesAnEmptyCsvAndATitleOnlySheet) {
    test::createDatabaseWithRows(db_, {});
    const std::string csv = out_ + "/empty.csv";
    const std::string xls = out_ + "/empty.xls";
    EXPECT_TRUE(write(csv).written);
    EXPECT_TRUE(std::filesystem::exists(csv));
    EXPECT_EQ(std::filesystem::file_size(csv), 0u);
    EXPECT_TRUE(write(xls).written);
    EXPECT_EQ(test::checkXlsWithXlrd(xls, test::sheetTable({}), dir_), "");
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ExportWriters, SpreadsheetHoldsTheTitlesAndEveryCell) {
    test::createDatabaseWithRows(db_, kSample);
    const std::string path = out_ + "/events.xls";
    const WriteOutcome outcome = write(path);
    EXPECT_TRUE(outcome.written);
    EXPECT_EQ(outcome.rowsRefused, 0u);
    EXPECT_TRUE(messages_.shown.empty());
    // the apostrophe of O'Neill is doubled in the INSERT: the row is there
    EXPECT_EQ(test::checkXlsWithXlrd(path, test::sheetTable(kSample), dir_), "");
    EXPECT_EQ(logEntries("SQL-Statement failed"), 0u);
    EXPECT_NE(printed_.str().find("DRIVER={MICROSOFT EXCEL DRIVER (*.XLS)};DSN='';"
                                  "FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB=\"" +
                                  path + "\";DBQ=" + path + "\n"),
              std::string::npos)
        << printed_.str();
}

TEST_F(ExportWriters, AnExistingTargetIsReplaced) {
    test::createDatabaseWithRows(db_, kSample);
    for (const std::string name : {"old.csv", "old.xls"}) {
        const std::string path = out_ + "/" + name;
        ixan::test::writeFile(path, std::string(200000, 'x'));
        ::chmod(path.c_str(), 0640);
        EXPECT_TRUE(write(path).written) << name;
        if (name == "old.csv") {
            struct stat st {};
            ASSERT_EQ(::stat(path.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0640u);  // the new file keeps the old one's mode
        }
    }
    EXPECT_EQ(ixan::test::readFile(out_ + "/old.csv"), test::expectedCsv(kSample));
    EXPECT_EQ(test::checkXlsWithXlrd(out_ + "/old.xls", test::sheetTable(kSample), dir_), "");
    EXPECT_EQ(test::folderEntries(out_), (std::vector<std::string>{"old.csv", "old.xls"}));
}

// A target that cannot be written gives its own message, writes nothing and leaves an
// old file as it was.
TEST_F(ExportWriters, AnUnwritableTargetIsReportedAndChangesNothing) {
    test::createDatabaseWithRows(db_, kSample);
    const std::string missingFolder = dir_.file("nowhere");
    std::filesystem::create_directory(out_ + "/folder.csv");
    std::filesystem::create_directory(out_ + "/folder.xls");
    const struct {
        std::string path;
        std::string message;  // the beginning of the one message shown
    } cases[] = {
        {missingFolder + "/events.csv",
         "Die Zieldatei kann nicht geschrieben werden: " + missingFolder + "/events.csv ("},
        {missingFolder + "/events.xls",
         "Beim öffnen der Zieldatei ist ein Fehler aufgetreten. (INB008)"},
        {out_ + "/folder.csv",
         "Die Zieldatei kann nicht geschrieben werden: " + out_ + "/folder.csv ("},
        {out_ + "/folder.xls", "Beim öffnen der Zieldatei ist ein Fehler aufgetreten. (INB008)"},
    };
    for (const auto& c : cases) {
        messages_.shown.clear();
        EXPECT_FALSE(write(c.path).written) << c.path;
        ASSERT_EQ(messages_.shown.size(), 1u) << c.path;
        EXPECT_EQ(messages_.shown[0].rfind(c.message, 0), 0u)
            << c.path << "\nexpected: " << c.message << "\nactual: " << messages_.shown[0];
    }
    EXPECT_FALSE(std::filesystem::exists(missingFolder));
    EXPECT_EQ(test::folderEntries(out_), (std::vector<std::string>{"folder.csv", "folder.xls"}));
    EXPECT_TRUE(std::filesystem::is_empty(out_ + "/folder.csv"));
}

// A database error while rows are read: the driver's text is shown, nothing is
// written, the old file stays and no half file is left.
TEST_F(ExportWriters, AReadErrorKeepsTheOldFile) {
    test::createDatabaseWithRows(db_, kSample);
    for (const char* name : {"keep.csv", "keep.xls"}) {
        messages_.shown.clear();
        const std::string path = out_ + "/" + name;
        ixan::test::writeFile(path, "old content");
        const WriteOutcome outcome =
            write(path, kExportSqlDefault, "SELECT IP,Datum,Tuername FROM Z_servicelog");
        EXPECT_FALSE(outcome.written) << name;
        ASSERT_EQ(messages_.shown.size(), 1u) << name;
        EXPECT_EQ(messages_.shown[0].rfind("Beim Lesen der Ereignisse ist ein Fehler "
                                           "aufgetreten; die Zieldatei wurde nicht geschrieben.\n",
                                           0),
                  0u)
            << messages_.shown[0];
        EXPECT_NE(messages_.shown[0].find("Ausloeser"), std::string::npos) << messages_.shown[0];
        EXPECT_EQ(ixan::test::readFile(path), "old content") << name;
    }
    EXPECT_EQ(test::folderEntries(out_), (std::vector<std::string>{"keep.csv", "keep.xls"}));
}

// pollwerk's "sql" with its column list does not fit the sheet's titles: every insert
// fails and is logged, the file holds the title row, and the operator is told.
TEST_F(ExportWriters, AnInsertWithTheEventDatabasesColumnsFailsForEveryRow) {
    test::createDatabaseWithRows(db_, kSample);
    const std::string path = out_ + "/columns.xls";
    const WriteOutcome outcome = write(path, kPollwerkSqlDefault);
    EXPECT_TRUE(outcome.written);
    EXPECT_EQ(outcome.rowsRefused, 3u);
    EXPECT_EQ(logEntries(" SQL-Statement failed (CDBException): "), 3u);
    EXPECT_EQ(logEntries("INSERT INTO Z_servicelog (IP,Datum,"), 3u);
    EXPECT_EQ(test::checkXlsWithXlrd(path, test::sheetTable({}), dir_), "");
    EXPECT_EQ(messages_.shown,
              std::vector<std::string>{"3 Zeilen konnten nicht in die Zieldatei eingefügt werden "
                                       "(siehe Aktivitätsprotokoll)."});
}

// A template whose places do not match gives a failed statement, not a crash.
TEST_F(ExportWriters, AMalformedTemplateOnlyFailsTheStatements) {
    test::createDatabaseWithRows(db_, kSample);
    for (const char* sql :
         {"INSERT INTO Z_servicelog VALUES (%s,%s);",
          "INSERT INTO Z_servicelog VALUES (%s,%s,%s,%s,%s,%s,%s,%s,%s,%d);", ""}) {
        messages_.shown.clear();
        const WriteOutcome outcome = write(out_ + "/bad.xls", sql);
        EXPECT_TRUE(outcome.written) << sql;
        EXPECT_EQ(outcome.rowsRefused, 3u) << sql;
    }
}

// A cell holds 32767 characters; a longer text is cut, and the operator is told.
TEST_F(ExportWriters, TextsLongerThanACellAreReported) {
    std::vector<EventRow> rows = kSample;
    rows[1].Benutzer = std::string(40000, 'x');
    test::createDatabaseWithRows(db_, rows);
    const std::string path = out_ + "/long.xls";
    EXPECT_TRUE(write(path).written);
    EXPECT_EQ(messages_.shown,
              std::vector<std::string>{"Texte, die länger sind als eine Zelle fasst (32767 "
                                       "Zeichen), wurden gekürzt."});
    rows[1].Benutzer.resize(32767);
    EXPECT_EQ(test::checkXlsWithXlrd(path, test::sheetTable(rows), dir_), "");
    // the CSV file has no such limit
    messages_.shown.clear();
    EXPECT_TRUE(write(out_ + "/long.csv").written);
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(std::filesystem::file_size(out_ + "/long.csv"),
              test::expectedCsv(rows).size() + 40000 - 32767);
}

TEST_F(ExportWriters, RowsBeyondTheSheetLimitAreReported) {
    const std::vector<EventRow> rows = test::generatedRows(65535 + 7);
    test::createDatabaseWithRows(db_, rows);
    const std::string path = out_ + "/big.xls";
    const WriteOutcome outcome = write(path);
    EXPECT_TRUE(outcome.written);
    EXPECT_EQ(outcome.rowsRead, 65542u);
    EXPECT_EQ(outcome.rowsNotWritten, 7u);
    EXPECT_EQ(messages_.shown,
              std::vector<std::string>{
                  "Die Tabelle fasst höchstens 65535 Zeilen: 7 Zeilen wurden nicht geschrieben."});
    const std::vector<EventRow> kept(rows.begin(), rows.begin() + 65535);
    EXPECT_EQ(test::checkXlsWithXlrd(path, test::sheetTable(kept), dir_), "");

    // exactly the limit fits
    messages_.shown.clear();
    const WriteOutcome exact = write(out_ + "/exact.xls", kExportSqlDefault,
                                     "SELECT * FROM Z_servicelog ORDER BY rowid LIMIT 65535");
    EXPECT_TRUE(exact.written);
    EXPECT_EQ(exact.rowsNotWritten, 0u);
    EXPECT_TRUE(messages_.shown.empty());
}

}  // namespace
}  // namespace ixan::exporttool
