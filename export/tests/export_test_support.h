#pragma once
// Helpers for the export tests: recorded messages, embedded event databases with given
// rows, and the independent readers of the written files (python3-xlrd, LibreOffice).

#include <memory>
#include <string>
#include <vector>

#include "common/tests/test_files.h"
#include "events/dataaccess/connection.h"
#include "events/event_row.h"
#include "export/export_messages.h"

namespace ixan::exporttool::test {

class RecordingMessages final : public ExportMessages {
  public:
    void show(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

// "Driver={Microsoft Access Driver (*.mdb)};Dbq=<path>;Uid=;Pwd=;"
std::string accessConnectionString(const std::string& path);

// A database file from the shipped schema holding rows, in this order. Fails the test
// (ADD_FAILURE) when it cannot be made.
void createDatabaseWithRows(const std::string& path, const std::vector<EventRow>& rows);

// count rows with distinct texts, Datum on the given day (YYYY-MM-DD) with the time
// counting up in seconds.
std::vector<EventRow> generatedRows(std::size_t count, const std::string& day = "2007-03-05");

// The embedded database opened and queried; keeps the connection alive with the rows
// (the rows go first, being declared last).
struct OpenedQuery {
    std::unique_ptr<Connection> connection;
    std::unique_ptr<ResultSet> rows;
};
OpenedQuery queryDatabase(const std::string& path,
                          const std::string& sql = "SELECT * FROM Z_servicelog ORDER BY rowid");

// The CSV text the export writes for rows, built independently of the writer.
std::string expectedCsv(const std::vector<EventRow>& rows);

// The eight spreadsheet column titles.
std::vector<std::string> sheetTitles();

// Title row then one row per event.
std::vector<std::vector<std::string>> sheetTable(const std::vector<EventRow>& rows);

// "" when xlrd reads exactly one sheet Z_servicelog holding table (every cell a text
// cell); otherwise what differs.
std::string checkXlsWithXlrd(const std::string& xlsPath,
                             const std::vector<std::vector<std::string>>& table,
                             const ixan::test::TempDir& scratch);

// Every row of the only sheet as xlrd reads it (cells as text); error says what failed.
std::vector<std::vector<std::string>> readXlsWithXlrd(const std::string& xlsPath,
                                                      std::string& error);

// The first sheet converted to CSV by LibreOffice (private profile, bounded in time)
// and parsed; error says what failed.
std::vector<std::vector<std::string>> readXlsWithLibreOffice(const std::string& xlsPath,
                                                             const ixan::test::TempDir& scratch,
                                                             std::string& error);

// Entries of a folder, sorted.
std::vector<std::string> folderEntries(const std::string& folder);

// "IP|Datum|...|Kartentyp"
std::string joinRow(const EventRow& row);

}  // namespace ixan::exporttool::test
