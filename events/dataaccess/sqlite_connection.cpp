#include "events/dataaccess/sqlite_connection.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "events/dataaccess/connection_string.h"
#include "events/dataaccess/date_literal.h"
#include "events/dataaccess/statement_shape.h"

namespace ixan {
namespace {

// SQLite's text; for failures of the file system also the system's reason ("disk I/O
// error (File too large)").
std::string errorText(sqlite3* db) {
    const char* text = db ? sqlite3_errmsg(db) : nullptr;
    if (!text) {
        return "out of memory";
    }
    std::string message(text);
    const int code = sqlite3_errcode(db);
    const int systemError = sqlite3_system_errno(db);
    if ((code == SQLITE_IOERR || code == SQLITE_FULL || code == SQLITE_CANTOPEN) &&
        systemError != 0) {
        message += " (";
        message += std::strerror(systemError);
        message += ")";
    }
    return message;
}

// Statements reach no other file than this database (no ATTACH) and cannot corrupt it
// through the schema tables.
void restrictHandle(sqlite3* db) {
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
}

std::shared_ptr<sqlite3> shareHandle(sqlite3* db) {
    restrictHandle(db);
    return std::shared_ptr<sqlite3>(db, SqliteHandleCloser{});
}

class SqliteResultSet final : public ResultSet {
  public:
    // Keeps the database alive while it lives; the statement is finalized first.
    SqliteResultSet(std::shared_ptr<sqlite3> db, SqliteStatement stmt)
        : db_(std::move(db)), stmt_(std::move(stmt)) {
        const int count = sqlite3_column_count(stmt_.get());
        for (int i = 0; i < count; ++i) {
            const char* name = sqlite3_column_name(stmt_.get(), i);
            names_.emplace_back(name ? name : "");
        }
    }

    DbStatus next() override {
        if (atEnd_) {
            return DbStatus::failure("the result set is at its end");
        }
        const int rc = sqlite3_step(stmt_.get());
        if (rc == SQLITE_ROW) {
            return DbStatus::success();
        }
        atEnd_ = true;
        if (rc == SQLITE_DONE) {
            return DbStatus::success();
        }
        return DbStatus::failure(errorText(db_.get()));
    }

    bool atEnd() const override { return atEnd_; }

    DbStatus getText(std::string_view column, std::string& value) const override {
        if (atEnd_) {
            return DbStatus::failure("no current row to read column " + std::string(column));
        }
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (equalsIgnoreAsciiCase(names_[i], column)) {
                const int index = static_cast<int>(i);
                const unsigned char* text = sqlite3_column_text(stmt_.get(), index);
                if (!text) {
                    if (sqlite3_errcode(db_.get()) == SQLITE_NOMEM) {
                        return DbStatus::failure("out of memory reading column " +
                                                 std::string(column));
                    }
                    value.clear();
                    return DbStatus::success();
                }
                const int bytes = sqlite3_column_bytes(stmt_.get(), index);
                value.assign(reinterpret_cast<const char*>(text), static_cast<std::size_t>(bytes));
                return DbStatus::success();
            }
        }
        return DbStatus::failure("no column named " + std::string(column) + " in the result");
    }

    const std::vector<std::string>& columnNames() const override { return names_; }

  private:
    std::shared_ptr<sqlite3> db_;
    SqliteStatement stmt_;
    std::vector<std::string> names_;
    bool atEnd_ = false;
};

}  // namespace

OpenResult SqliteConnection::openFile(const std::string& path, const DbTimeouts& timeouts) {
    if (path.empty()) {
        return {DbStatus::failure("no database file named (Dbq= is empty)"), nullptr};
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT) {
            return {DbStatus::failure("database file does not exist: " + path), nullptr};
        }
        return {
            DbStatus::failure("cannot access database file " + path + ": " + std::strerror(err)),
            nullptr};
    }
    if (!S_ISREG(st.st_mode)) {
        return {DbStatus::failure("not a database file: " + path), nullptr};
    }

    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    SqliteHandle owner(raw);
    if (rc != SQLITE_OK) {
        return {DbStatus::failure("cannot open database file " + path + ": " + errorText(raw)),
                nullptr};
    }
    sqlite3_busy_timeout(raw, timeouts.querySeconds > 0 ? timeouts.querySeconds * 1000 : 0);

    std::unique_ptr<SqliteConnection> conn(new SqliteConnection(shareHandle(owner.release())));
    // Reading the mode also proves that the file is a database.
    QueryResult mode = conn->query("PRAGMA journal_mode=WAL");
    if (!mode.status.ok) {
        return {DbStatus::failure("cannot open database file " + path + ": " + mode.status.message),
                nullptr};
    }
    mode.rows.reset();
    int persist = 1;
    sqlite3_file_control(conn->handle(), "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    return {DbStatus::success(), std::move(conn)};
}

std::unique_ptr<SqliteConnection> SqliteConnection::openMemory() {
    sqlite3* raw = nullptr;
    const int rc =
        sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    SqliteHandle owner(raw);
    if (rc != SQLITE_OK) {
        return nullptr;
    }
    return std::unique_ptr<SqliteConnection>(new SqliteConnection(shareHandle(owner.release())));
}

SqliteConnection::SqliteConnection(std::shared_ptr<sqlite3> db) : db_(std::move(db)) {}

SqliteConnection::~SqliteConnection() {
    close();
}

DbStatus SqliteConnection::checkUsable() const {
    if (!db_) {
        return DbStatus::failure("the connection is closed");
    }
    if (transactionLost_) {
        return DbStatus::failure("the transaction was rolled back after an earlier error: " +
                                 *transactionLost_);
    }
    return DbStatus::success();
}

void SqliteConnection::noteFailure(const std::string& message) {
    if (inTransaction_ && sqlite3_get_autocommit(db_.get()) != 0) {
        transactionLost_ = message;
    }
}

DbStatus SqliteConnection::prepareOne(std::string_view sql, SqliteStatement& stmt) {
    // SQLite would end the text at the NUL and run what stands before it.
    if (sql.find('\0') != std::string_view::npos) {
        return DbStatus::failure("the statement holds a NUL byte");
    }
    const std::string text = rewriteAccessDateLiterals(sql, DateLiteralStyle::SqliteText);
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    int rc =
        sqlite3_prepare_v2(db_.get(), text.c_str(), static_cast<int>(text.size()), &raw, &tail);
    stmt.reset(raw);
    if (rc != SQLITE_OK) {
        return DbStatus::failure(errorText(db_.get()));
    }
    if (!stmt) {
        return DbStatus::failure("empty statement");
    }
    // Whatever follows the first statement must be blanks, semicolons or comments.
    const char* end = text.c_str() + text.size();
    if (tail && tail < end) {
        sqlite3_stmt* rest = nullptr;
        rc = sqlite3_prepare_v2(db_.get(), tail, static_cast<int>(end - tail), &rest, nullptr);
        SqliteStatement restOwner(rest);
        if (rc != SQLITE_OK || rest) {
            stmt.reset();
            return DbStatus::failure("only one statement at a time can be run");
        }
    }
    return DbStatus::success();
}

sqlite3_stmt* SqliteConnection::cachedStatement(const StatementShape& shape) {
    if (auto found = cache_.find(shape.text); found != cache_.end()) {
        return found->second.get();
    }
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v3(db_.get(), shape.text.c_str(), static_cast<int>(shape.text.size()),
                           SQLITE_PREPARE_PERSISTENT, &raw, &tail) != SQLITE_OK) {
        return nullptr;  // the plain path reports the error in the statement's own words
    }
    SqliteStatement stmt(raw);
    if (!stmt || sqlite3_bind_parameter_count(raw) != static_cast<int>(shape.values.size())) {
        return nullptr;
    }
    const char* end = shape.text.c_str() + shape.text.size();
    for (; tail && tail < end; ++tail) {
        if (*tail != ' ' && *tail != ';' && *tail != '\n' && *tail != '\r' && *tail != '\t') {
            return nullptr;
        }
    }
    if (cache_.size() >= kStatementCacheSize) {
        cache_.clear();
    }
    return cache_.emplace(shape.text, std::move(stmt)).first->second.get();
}

DbStatus SqliteConnection::runCached(sqlite3_stmt* stmt, const StatementShape& shape) {
    for (std::size_t i = 0; i < shape.values.size(); ++i) {
        const std::string& v = shape.values[i];
        sqlite3_bind_text(stmt, static_cast<int>(i + 1), v.data(), static_cast<int>(v.size()),
                          SQLITE_STATIC);
    }
    int rc = SQLITE_ROW;
    while (rc == SQLITE_ROW) {
        rc = sqlite3_step(stmt);
    }
    std::string message = rc == SQLITE_DONE ? std::string() : errorText(db_.get());
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (rc != SQLITE_DONE) {
        noteFailure(message);
        return DbStatus::failure(std::move(message));
    }
    return DbStatus::success();
}

DbStatus SqliteConnection::execute(std::string_view sql) {
    if (DbStatus usable = checkUsable(); !usable.ok) {
        return usable;
    }
    // A literal is exactly the text value it binds, so a shape with its values bound does
    // what the statement does, without compiling every statement anew.
    if (sql.find('\0') == std::string_view::npos) {
        StatementShape shape;
        if (shapeStatement(rewriteAccessDateLiterals(sql, DateLiteralStyle::SqliteText), shape)) {
            if (sqlite3_stmt* cached = cachedStatement(shape)) {
                return runCached(cached, shape);
            }
        }
    }
    SqliteStatement stmt;
    if (DbStatus prepared = prepareOne(sql, stmt); !prepared.ok) {
        return prepared;
    }
    int rc = SQLITE_ROW;
    while (rc == SQLITE_ROW) {
        rc = sqlite3_step(stmt.get());
    }
    if (rc != SQLITE_DONE) {
        std::string message = errorText(db_.get());
        noteFailure(message);
        return DbStatus::failure(std::move(message));
    }
    return DbStatus::success();
}

QueryResult SqliteConnection::query(std::string_view sql) {
    if (DbStatus usable = checkUsable(); !usable.ok) {
        return {std::move(usable), nullptr};
    }
    SqliteStatement stmt;
    if (DbStatus prepared = prepareOne(sql, stmt); !prepared.ok) {
        return {std::move(prepared), nullptr};
    }
    auto rows = std::make_unique<SqliteResultSet>(db_, std::move(stmt));
    if (DbStatus first = rows->next(); !first.ok) {
        noteFailure(first.message);
        return {std::move(first), nullptr};
    }
    return {DbStatus::success(), std::move(rows)};
}

DbStatus SqliteConnection::beginTransaction() {
    if (!db_) {
        return DbStatus::failure("the connection is closed");
    }
    if (inTransaction_) {
        return DbStatus::failure("a transaction is already open");
    }
    DbStatus begun = execute("BEGIN IMMEDIATE");
    if (begun.ok) {
        inTransaction_ = true;
    }
    return begun;
}

DbStatus SqliteConnection::commit() {
    if (!db_) {
        return DbStatus::failure("the connection is closed");
    }
    if (!inTransaction_) {
        return DbStatus::failure("no transaction is open");
    }
    if (transactionLost_) {
        DbStatus lost = DbStatus::failure("the transaction was rolled back: " + *transactionLost_);
        transactionLost_.reset();
        inTransaction_ = false;
        return lost;
    }
    DbStatus committed = execute("COMMIT");
    // A failed COMMIT (a lock held too long) may leave the transaction open for rollback().
    if (committed.ok || sqlite3_get_autocommit(db_.get()) != 0) {
        inTransaction_ = false;
    }
    return committed;
}

DbStatus SqliteConnection::rollback() {
    if (!db_) {
        return DbStatus::failure("the connection is closed");
    }
    transactionLost_.reset();
    if (!inTransaction_) {
        return DbStatus::success();
    }
    inTransaction_ = false;
    if (sqlite3_get_autocommit(db_.get()) != 0) {
        return DbStatus::success();
    }
    return execute("ROLLBACK");
}

DbCloseResult SqliteConnection::close() {
    if (!db_) {
        return {};
    }
    if (inTransaction_) {
        rollback();
    }
    cache_.clear();
    // The handle closes once no result set holds it any more.
    db_.reset();
    return {};
}

}  // namespace ixan
