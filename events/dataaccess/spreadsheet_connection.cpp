#include "events/dataaccess/spreadsheet_connection.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "events/dataaccess/connection_string.h"
#include "events/dataaccess/sqlite_connection.h"
#include "events/xls/xls_writer.h"

namespace ixan {
namespace {

constexpr const char* kSheetTable = "Z_servicelog";

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

DbStatus checkTarget(const std::string& path) {
    if (path.empty()) {
        return DbStatus::failure("no target file named (DBQ= is empty)");
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return DbStatus::failure("the target is a folder: " + path);
    }
    const std::string folder = folderOf(path);
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return DbStatus::failure("the folder of the target file does not exist: " + folder);
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return DbStatus::failure("cannot write into the folder " + folder + ": " +
                                 std::strerror(errno));
    }
    return DbStatus::success();
}

std::string quoteIdentifier(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
    return out;
}

// Reads the table into a sheet; the rows come in rowid (insertion) order.
DbStatus readSheet(Connection& db, XlsSheet& sheet) {
    QueryResult table = db.query(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'Z_servicelog' "
        "COLLATE NOCASE");
    if (!table.status.ok) {
        return table.status;
    }
    if (table.rows->atEnd()) {
        return DbStatus::failure(
            "the workbook has no table Z_servicelog (CREATE TABLE failed or was not sent); "
            "nothing was written");
    }
    std::string name;
    if (DbStatus got = table.rows->getText("name", name); !got.ok) {
        return got;
    }
    table.rows.reset();

    sheet.name = kSheetTable;
    QueryResult rows = db.query("SELECT * FROM " + quoteIdentifier(name) + " ORDER BY rowid");
    if (!rows.status.ok) {
        return rows.status;
    }
    sheet.columns = rows.rows->columnNames();
    while (!rows.rows->atEnd()) {
        std::vector<std::string> row(sheet.columns.size());
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (DbStatus got = rows.rows->getText(sheet.columns[i], row[i]); !got.ok) {
                return got;
            }
        }
        sheet.rows.push_back(std::move(row));
        if (DbStatus moved = rows.rows->next(); !moved.ok) {
            return moved;
        }
    }
    return DbStatus::success();
}

class SpreadsheetConnection final : public Connection {
  public:
    SpreadsheetConnection(std::unique_ptr<SqliteConnection> engine, std::string path)
        : engine_(std::move(engine)), path_(std::move(path)) {}
    ~SpreadsheetConnection() override { close(); }

    DbStatus execute(std::string_view sql) override {
        return engine_ ? engine_->execute(sql) : closedStatus();
    }
    QueryResult query(std::string_view sql) override {
        return engine_ ? engine_->query(sql) : QueryResult{closedStatus(), nullptr};
    }
    DbStatus beginTransaction() override {
        return engine_ ? engine_->beginTransaction() : closedStatus();
    }
    DbStatus commit() override { return engine_ ? engine_->commit() : closedStatus(); }
    DbStatus rollback() override { return engine_ ? engine_->rollback() : closedStatus(); }

    DbCloseResult close() override {
        if (!engine_) {
            return {};
        }
        // Rows of a transaction left open are not part of the workbook.
        engine_->rollback();
        XlsSheet sheet;
        DbStatus read = readSheet(*engine_, sheet);
        engine_->close();
        engine_.reset();
        if (!read.ok) {
            return {read, 0, {}};
        }
        const XlsWriteResult written = writeXlsWorkbook(path_, sheet);
        if (!written.ok) {
            return {DbStatus::failure(written.message), written.rowsNotWritten, {}};
        }
        return {DbStatus::success(), written.rowsNotWritten, written.message};
    }

  private:
    static DbStatus closedStatus() { return DbStatus::failure("the connection is closed"); }

    std::unique_ptr<SqliteConnection> engine_;
    std::string path_;
};

}  // namespace

std::string spreadsheetPath(const std::string& connectionString, std::string& error) {
    const std::vector<ConnectionAttribute> attrs = parseConnectionString(connectionString);
    const std::optional<std::string> create = findConnectionAttribute(attrs, "CREATE_DB");
    const std::optional<std::string> dbq = findConnectionAttribute(attrs, "DBQ");
    const bool haveCreate = create && !create->empty();
    const bool haveDbq = dbq && !dbq->empty();
    // A path holding a semicolon is cut short in the bare DBQ= but whole in the quoted
    // CREATE_DB; DBQ= is the last attribute of the string the export tool builds.
    const std::string wholeTail = "DBQ=" + (create ? *create : std::string());
    const bool createEndsString =
        haveCreate && connectionString.size() >= wholeTail.size() &&
        equalsIgnoreAsciiCase(
            connectionString.substr(connectionString.size() - wholeTail.size(), 4), "DBQ=") &&
        connectionString.compare(connectionString.size() - wholeTail.size() + 4, std::string::npos,
                                 *create) == 0;
    if (haveCreate && haveDbq && *create != *dbq && !createEndsString) {
        error = "CREATE_DB and DBQ name different files: " + *create + " and " + *dbq;
        return {};
    }
    if (!haveCreate && !haveDbq) {
        error = "the connection string names no file (DBQ=)";
        return {};
    }
    error.clear();
    return haveCreate ? *create : *dbq;
}

OpenResult openSpreadsheetConnection(const std::string& path) {
    if (DbStatus target = checkTarget(path); !target.ok) {
        return {std::move(target), nullptr};
    }
    std::unique_ptr<SqliteConnection> engine = SqliteConnection::openMemory();
    if (!engine) {
        return {DbStatus::failure("cannot create the in-memory database of the spreadsheet"),
                nullptr};
    }
    return {DbStatus::success(), std::make_unique<SpreadsheetConnection>(std::move(engine), path)};
}

}  // namespace ixan
