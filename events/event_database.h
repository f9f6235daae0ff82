#pragma once
// pollwerk's event database: the connection rules, the INSERT of one event and the store
// run of one device export.

#include <memory>
#include <ostream>
#include <string>

#include "common/config.h"
#include "events/dataaccess/connection.h"
#include "events/event_row.h"

namespace ixan {

// "Driver={Microsoft Access Driver (*.mdb)};Dbq=<mdbPath>;Uid=<user>;Pwd=<pass>;" when dsn
// is exactly "nodsn", else "DSN=<dsn>;Uid=<user>;Pwd=<pass>;". Values go in as they stand.
std::string buildConnectionString(const std::string& dsn, const std::string& user,
                                  const std::string& pass, const std::string& mdbPath);

// The database file for "nodsn": the settings store's "mdb_path", read anew at every call,
// or the default location when that is empty.
std::string eventDatabaseFile();

// One connection for one store run; closed when the object goes away.
class EventDatabase {
  public:
    explicit EventDatabase(std::ostream& out, DbTimeouts timeouts = {});
    EventDatabase(const EventDatabase&) = delete;
    EventDatabase& operator=(const EventDatabase&) = delete;
    ~EventDatabase();

    // Prints the connection string and opens it. On failure the error and the connection
    // string are in the activity log and the result is false.
    bool connect(const std::string& dsn, const std::string& user, const std::string& pass);

    // Null until connect() succeeded.
    Connection* connection() { return connection_.get(); }
    const std::string& connectionString() const { return connectionString_; }
    std::ostream& out() { return out_; }

  private:
    std::ostream& out_;
    DbTimeouts timeouts_;
    std::string connectionString_;
    std::unique_ptr<Connection> connection_;
};

// Decodes the row, builds the statement from sqlTemplate, prints "SQL: " with it and runs
// it. A statement the database refuses drops this event only; nothing is reported.
void insertEvent(EventDatabase& db, EventRow row, const std::string& sqlTemplate);

// Stores every line of one device export through one connection. On the embedded database
// the run is one transaction; each row the table accepts stays, a refused row affects no
// other.
void storeExport(const std::string& text, const GlobalSettings& settings, std::ostream& out,
                 const DbTimeouts& timeouts = {});

// The same with the process configuration and standard output.
void storeExport(const std::string& text);

}  // namespace ixan
