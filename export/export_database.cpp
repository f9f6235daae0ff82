#include "export/export_database.h"

#include <array>
#include <ostream>
#include <utility>

#include "common/activity_log.h"
#include "events/event_database.h"
#include "events/insert_statement.h"

namespace ixan::exporttool {

EventDatabase::EventDatabase(ExportMessages& messages, std::ostream& out, DbTimeouts timeouts)
    : messages_(messages), out_(out), timeouts_(timeouts) {}

EventDatabase::~EventDatabase() {
    close();
}

bool EventDatabase::connect(const std::string& dsn, const std::string& user,
                            const std::string& pass) {
    return connectString(buildConnectionString(dsn, user, pass, eventDatabaseFile()));
}

bool EventDatabase::connectString(const std::string& connectionString) {
    out_ << connectionString << '\n' << std::flush;
    close();
    OpenResult opened = openConnection(connectionString, timeouts_);
    if (!opened.status.ok) {
        lastError_ = std::move(opened.status.message);
        return false;
    }
    connection_ = std::move(opened.connection);
    return true;
}

std::unique_ptr<ResultSet> EventDatabase::openQuery(const std::string& statement) {
    if (statement.empty()) {
        messages_.show(kMsgMissingSelect);
        return nullptr;
    }
    if (!connection_) {
        lastError_ = "the database is not connected";
        return nullptr;
    }
    QueryResult result = connection_->query(statement);
    if (!result.status.ok) {
        lastError_ = std::move(result.status.message);
        return nullptr;
    }
    return std::move(result.rows);
}

bool EventDatabase::execute(const std::string& statement) {
    const DbStatus ran = connection_ ? connection_->execute(statement)
                                     : DbStatus::failure("the database is not connected");
    if (!ran.ok) {
        // The platform's error text is limited to 1023 bytes.
        logActivity("SQL-Statement failed (CDBException): " + ran.message.substr(0, 1023) +
                    statement);
        return false;
    }
    return true;
}

bool EventDatabase::insertRow(const EventRow& row, std::string_view sqlTemplate) {
    const std::array<std::string, 8> values = quotedRowValues(row);
    return execute(fillTemplate(sqlTemplate, values.data(), values.size()));
}

DbCloseResult EventDatabase::close() {
    if (!connection_) {
        return {};
    }
    DbCloseResult closed = connection_->close();
    connection_.reset();
    return closed;
}

DbStatus readEventRow(const ResultSet& rows, EventRow& row) {
    const std::pair<const char*, std::string*> columns[] = {
        {"IP", &row.IP},
        {"Datum", &row.Datum},
        {"Tuername", &row.Tuername},
        {"Ausloeser", &row.Ausloeser},
        {"Ereignis", &row.Ereignis},
        {"Benutzer", &row.Benutzer},
        {"Kartennummer", &row.Kartennummer},
        {"Kartentyp", &row.Kartentyp},
    };
    for (const auto& [name, value] : columns) {
        if (DbStatus got = rows.getText(name, *value); !got.ok) {
            return got;
        }
    }
    return DbStatus::success();
}

}  // namespace ixan::exporttool
