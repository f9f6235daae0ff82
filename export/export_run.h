#pragma once
// The export run: the events of a range of calendar days from the event database into
// the file the operator chose. Shared by the dialog and the headless command.

#include <cstddef>
#include <iosfwd>
#include <string>

#include "common/config.h"
#include "events/dataaccess/connection.h"
#include "export/export_messages.h"

namespace ixan::exporttool {

// A calendar day.
struct ExportDate {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31

    friend auto operator<=>(const ExportDate&, const ExportDate&) = default;
};

// True for a day of the Gregorian calendar in the years 1..9999.
bool isValidDate(const ExportDate& date);

// select + " WHERE Z_servicelog.Datum>=#MM/DD/YYYY 00:00:00# AND
// Z_servicelog.Datum<=#MM/DD/YYYY 23:59:59#;" for the days from and to (both included).
// REQUIRES: both dates valid.
std::string buildExportStatement(const std::string& select, const ExportDate& from,
                                 const ExportDate& to);

struct ExportRunResult {
    bool written = false;            // the file at the path is complete and new
    std::size_t rowsRead = 0;        // events read from the database
    std::size_t rowsNotWritten = 0;  // beyond the sheet's limit (.xls)
    std::size_t rowsRefused = 0;     // inserts the spreadsheet refused (.xls)
};

struct ExportRequest {
    GlobalSettings settings;  // dsn, user, pass (connection), select, sql (spreadsheet row)
    ExportDate from;
    ExportDate to;
    std::string path;  // the target file; its last three characters choose the writer
};

// Runs one export. Everything it has to say goes to messages, one message per failure:
// a start after the end, a connect that fails, a query that does not open, a file type
// it does not know, a target that cannot be written. The connection strings are printed
// to out. Nothing is written unless written is true; an old file at the path stays as
// it was unless the new one is complete.
ExportRunResult ExportEvents(const ExportRequest& request, ExportMessages& messages,
                             std::ostream& out, const DbTimeouts& timeouts = {});

}  // namespace ixan::exporttool
