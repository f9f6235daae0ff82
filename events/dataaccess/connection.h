#pragma once
// The data access interface: a connection opened by an ODBC-style connection string and the
// forward-only result sets of its queries. Nothing here throws; every failure is a DbStatus
// carrying the driver's text.
//
// Drivers, chosen by openConnection() from the connection string:
//   Driver={Microsoft Access Driver (*.mdb)};Dbq=PATH;...   the SQLite database file PATH
//   DRIVER={MICROSOFT EXCEL DRIVER (*.XLS)};...;DBQ=PATH     an .xls workbook written on close
//   anything else                                           an ODBC data source (unixODBC)
// Access date literals #mm/dd/yyyy hh:mm:ss# outside quoted text are rewritten by every
// driver into its own form (see date_literal.h).
//
// Not thread-safe: a connection and its result sets belong to one thread.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "events/dataaccess/db_status.h"

namespace ixan {

// Zero or less: ODBC sets no limit, SQLite does not wait for locks.
struct DbTimeouts {
    int loginSeconds = 15;  // opening the connection (ODBC)
    int querySeconds = 15;  // each statement; for SQLite the wait for a lock held by another
};

// One forward-only pass over the rows of a query.
class ResultSet {
  public:
    virtual ~ResultSet() = default;

    // True once the rows are used up; an empty result is at its end at once.
    virtual bool atEnd() const = 0;

    // Moves to the next row. On failure the result set is at its end.
    virtual DbStatus next() = 0;

    // The value of the named column in the current row as the driver renders it as text;
    // NULL gives the empty text. Names compare ignoring ASCII case (PostgreSQL folds
    // unquoted names to lower case). Fails, leaving value untouched, for a name that is not
    // a column of the result or when the result set is at its end.
    virtual DbStatus getText(std::string_view column, std::string& value) const = 0;

    // The column names in result order.
    virtual const std::vector<std::string>& columnNames() const = 0;
};

struct QueryResult {
    DbStatus status;
    std::unique_ptr<ResultSet> rows;  // set exactly when status.ok; positioned on row one
};

struct DbCloseResult {
    DbStatus status;
    // Spreadsheet driver: rows of the table that the workbook could not hold (a sheet has
    // room for 65,535 data rows). Always 0 for the other drivers.
    std::size_t rowsNotWritten = 0;
    // Spreadsheet driver, on success: what the workbook holds differently from the table
    // (rows left out, texts cut); empty when it holds everything.
    std::string notes;
};

class Connection {
  public:
    // Closes the connection if close() was not called; its outcome is then lost (for the
    // spreadsheet driver the workbook is still written).
    virtual ~Connection() = default;

    // Runs one statement that returns no rows.
    virtual DbStatus execute(std::string_view sql) = 0;

    // Runs a query. A result set may outlive neither close() nor the connection in use;
    // if it does anyway, the handles it needs stay alive until it is destroyed.
    virtual QueryResult query(std::string_view sql) = 0;

    // A transaction around several statements. SQLite: BEGIN IMMEDIATE (waits up to the
    // query time-out for other writers); a refused statement inside it affects no other,
    // an error that makes SQLite roll back the whole transaction (disk full, I/O error)
    // fails the following statements and commit(). ODBC: the connection stays in
    // autocommit (in PostgreSQL a refused statement would abort the whole transaction),
    // so these succeed without doing anything and every accepted statement stays.
    virtual DbStatus beginTransaction() = 0;
    virtual DbStatus commit() = 0;
    virtual DbStatus rollback() = 0;

    // Ends the connection; an open transaction is rolled back. The spreadsheet driver
    // writes its workbook here. Later calls of any operation fail; a second close() is a
    // no-op that succeeds.
    virtual DbCloseResult close() = 0;
};

struct OpenResult {
    DbStatus status;
    std::unique_ptr<Connection> connection;  // set exactly when status.ok
};

// Opens the connection that the connection string names, choosing the driver as above.
OpenResult openConnection(const std::string& connectionString, const DbTimeouts& timeouts = {});

}  // namespace ixan
