#pragma once
// The two export formats: an .xls workbook written through the spreadsheet driver, and a
// semicolon-separated text file. Both walk the result set once, front to back, and hold
// one row at a time. Both write to a temporary file in the target's folder and rename it
// over the target once it is complete: whatever fails, an old file at the path stays as
// it was and no half-written file is left.

#include <cstddef>
#include <iosfwd>
#include <string>

#include "events/dataaccess/connection.h"
#include "export/export_messages.h"

namespace ixan::exporttool {

struct WriterContext {
    ExportMessages& messages;
    std::string sqlTemplate;  // the configured "sql": the INSERT of one spreadsheet row
    std::ostream& out;        // where the spreadsheet connection string is printed
};

struct WriteOutcome {
    bool written = false;            // the file is complete at the path
    std::size_t rowsRead = 0;        // rows taken from the result set
    std::size_t rowsNotWritten = 0;  // rows beyond the sheet's limit (spreadsheet only)
    std::size_t rowsRefused = 0;     // row inserts the target refused (spreadsheet only)
};

// Picks the writer by the last three characters of path, in any letter case: "csv" or
// "xls". Any other ending shows "File type: '<path>' unkown" and writes nothing. Reads
// rows but does not destroy it.
WriteOutcome ChooseWriter(ResultSet& rows, const std::string& path, WriterContext& context);

// The workbook: CREATE TABLE with the column titles, DELETE, one insertRow per row, and
// the close of the target connection writes the file. Every failure shows its own
// message; rows beyond the sheet's limit and refused inserts are reported, and the file
// then still counts as written.
WriteOutcome WriteSpreadsheet(ResultSet& rows, const std::string& path, WriterContext& context);

// One line "t1";"t2";...;"t8"; and a line feed per row, with a double quote inside a
// text doubled. A file that cannot be created or written shows
// "Die Zieldatei kann nicht geschrieben werden: <path>" with the reason.
WriteOutcome WriteCsv(ResultSet& rows, const std::string& path, WriterContext& context);

// The Excel connection string for path.
std::string spreadsheetConnectionString(const std::string& path);

// The statement that creates the sheet with its eight column titles.
extern const char* const kCreateSheetStatement;

}  // namespace ixan::exporttool
