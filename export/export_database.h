#pragma once
// The export tool's event database: one connection for one export run (the event
// database) or for one spreadsheet file (the target). The connection rules are
// pollwerk's (events/event_database.h); unlike pollwerk's connect, a failed connect is
// neither shown nor logged here: the caller reports it.

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "events/dataaccess/connection.h"
#include "events/event_row.h"
#include "export/export_messages.h"

namespace ixan::exporttool {

class EventDatabase {
  public:
    // REQUIRES: messages and out outlive the object. out receives the connection string
    // of every connect (standard output in the programs).
    EventDatabase(ExportMessages& messages, std::ostream& out, DbTimeouts timeouts = {});
    EventDatabase(const EventDatabase&) = delete;
    EventDatabase& operator=(const EventDatabase&) = delete;
    // Closes the connection; for the spreadsheet driver this writes the workbook (see
    // close()).
    ~EventDatabase();

    // Builds the connection string by pollwerk's rules ("nodsn" and the settings store's
    // "mdb_path", read anew) and opens it as connectString() does.
    bool connect(const std::string& dsn, const std::string& user, const std::string& pass);

    // Prints the connection string and a line end to out, then opens it. False when it
    // cannot be opened; nothing is shown or logged (lastError() tells why).
    bool connectString(const std::string& connectionString);

    // A forward-only result set positioned on its first row, owned by the caller, who
    // must destroy it before this object. An empty statement shows "Missing
    // SELECT-Statement (2)"; a statement the database refuses gives nullptr silently
    // (lastError() tells why).
    std::unique_ptr<ResultSet> openQuery(const std::string& statement);

    // Runs a statement that returns no rows. A refused statement is logged as
    // "SQL-Statement failed (CDBException): " + error text + statement; false then.
    bool execute(const std::string& statement);

    // Fills sqlTemplate ("%s" eight times) with the eight texts of row, each in
    // apostrophes with apostrophes inside doubled, and runs it like execute().
    bool insertRow(const EventRow& row, std::string_view sqlTemplate);

    // Ends the connection and reports how that went. For the spreadsheet driver this is
    // where the workbook is written (rowsNotWritten: rows beyond the sheet's limit). A
    // second call, or a call without a connection, succeeds without doing anything.
    DbCloseResult close();

    // Null until a connect succeeded and after close().
    Connection* connection() { return connection_.get(); }

    // The driver's text for the last failed connect or openQuery.
    const std::string& lastError() const { return lastError_; }

  private:
    ExportMessages& messages_;
    std::ostream& out_;
    DbTimeouts timeouts_;
    std::unique_ptr<Connection> connection_;
    std::string lastError_;
};

// Reads the current row into row by the column names IP, Datum, Tuername, Ausloeser,
// Ereignis, Benutzer, Kartennummer, Kartentyp, in this order. On failure (a column
// missing, no current row) the driver's text is returned and row is partly filled.
DbStatus readEventRow(const ResultSet& rows, EventRow& row);

}  // namespace ixan::exporttool
