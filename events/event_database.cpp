#include "events/event_database.h"

#include <iostream>

#include "common/activity_log.h"
#include "common/paths.h"
#include "common/registry.h"
#include "events/event_texts.h"
#include "events/export_parser.h"
#include "events/insert_statement.h"

namespace ixan {

std::string buildConnectionString(const std::string& dsn, const std::string& user,
                                  const std::string& pass, const std::string& mdbPath) {
    if (dsn == "nodsn") {
        return "Driver={Microsoft Access Driver (*.mdb)};Dbq=" + mdbPath + ";Uid=" + user +
               ";Pwd=" + pass + ";";
    }
    return "DSN=" + dsn + ";Uid=" + user + ";Pwd=" + pass + ";";
}

std::string eventDatabaseFile() {
    std::string path = readRegistryValue("mdb_path");
    return path.empty() ? std::string(kDefaultDatabasePath) : path;
}

EventDatabase::EventDatabase(std::ostream& out, DbTimeouts timeouts)
    : out_(out), timeouts_(timeouts) {}

EventDatabase::~EventDatabase() {
    if (connection_) {
        connection_->close();
    }
}

bool EventDatabase::connect(const std::string& dsn, const std::string& user,
                            const std::string& pass) {
    connectionString_ = buildConnectionString(dsn, user, pass, eventDatabaseFile());
    out_ << connectionString_ << '\n';
    OpenResult opened = openConnection(connectionString_, timeouts_);
    if (!opened.status.ok) {
        logActivity("CDBException was thrown: " + opened.status.message +
                    " Connection String: " + connectionString_);
        return false;
    }
    connection_ = std::move(opened.connection);
    return true;
}

void insertEvent(EventDatabase& db, EventRow row, const std::string& sqlTemplate) {
    decodeEventRow(row);
    row.Datum = normaliseEventDate(row.Datum);
    const std::string statement = buildInsertStatement(sqlTemplate, row);
    db.out() << "SQL: " << statement << '\n';
    if (Connection* c = db.connection()) {
        c->execute(statement);  // a refused row is dropped quietly
    }
}

void storeExport(const std::string& text, const GlobalSettings& settings, std::ostream& out,
                 const DbTimeouts& timeouts) {
    EventDatabase db(out, timeouts);
    if (!db.connect(settings.dsn, settings.user, settings.pass)) {
        out << "db connect failed" << std::endl;
        return;
    }
    Connection& c = *db.connection();
    // On a database locked by another writer every single INSERT would wait out the
    // time-out again; give up the run instead and keep the rows for a later export.
    if (const DbStatus begun = c.beginTransaction(); !begun.ok) {
        logActivity("[error] events not stored: " + begun.message +
                    " Connection String: " + db.connectionString());
        out << "store failed: " << begun.message << std::endl;
        return;
    }
    for (const ExportLine& line : splitExportLines(text)) {
        out << "store..." << line << '\n';
        insertEvent(db, parseEventRow(line), settings.sql);
    }
    if (const DbStatus committed = c.commit(); !committed.ok) {
        // The rows of this export are lost unless the device delivers them again.
        logActivity("[error] events not stored: " + committed.message +
                    " Connection String: " + db.connectionString());
        out << "store failed: " << committed.message << '\n';
    }
    out << std::flush;
}

void storeExport(const std::string& text) {
    storeExport(text, processConfig().global, std::cout);
}

}  // namespace ixan
