#pragma once
// The SQLite driver behind the Access connection string, and the engine of the spreadsheet
// driver. Statements run one at a time (a text holding two statements is refused); Access
// date literals become 'yyyy-mm-dd hh:mm:ss'.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include <sqlite3.h>

#include "events/dataaccess/connection.h"
#include "events/dataaccess/statement_shape.h"

namespace ixan {

struct SqliteHandleCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteHandleCloser>;

struct SqliteStatementFinalizer {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteStatementFinalizer>;

class SqliteConnection final : public Connection {
  public:
    // Opens the existing database file at path read-write (read-only when the file is not
    // writable), never creating it; journal in WAL mode with the -wal and -shm files kept
    // in place after the last connection; lock waits up to timeouts.querySeconds.
    static OpenResult openFile(const std::string& path, const DbTimeouts& timeouts);

    // A private in-memory database (the engine of the spreadsheet driver).
    static std::unique_ptr<SqliteConnection> openMemory();

    ~SqliteConnection() override;

    DbStatus execute(std::string_view sql) override;
    QueryResult query(std::string_view sql) override;
    DbStatus beginTransaction() override;
    DbStatus commit() override;
    DbStatus rollback() override;
    DbCloseResult close() override;

    // The open database; nullptr after close(). Still owned by this object.
    sqlite3* handle() const { return db_ ? db_.get() : nullptr; }

  private:
    explicit SqliteConnection(std::shared_ptr<sqlite3> db);

    DbStatus prepareOne(std::string_view sql, SqliteStatement& stmt);
    DbStatus checkUsable() const;
    void noteFailure(const std::string& message);
    sqlite3_stmt* cachedStatement(const StatementShape& shape);
    DbStatus runCached(sqlite3_stmt* stmt, const StatementShape& shape);

    static constexpr std::size_t kStatementCacheSize = 64;

    std::shared_ptr<sqlite3> db_;  // shared with the result sets still alive
    bool inTransaction_ = false;
    std::optional<std::string> transactionLost_;  // why SQLite rolled the transaction back
    // Compiled shapes of the statements run with execute(); finalized before the handle.
    std::unordered_map<std::string, SqliteStatement> cache_;
};

}  // namespace ixan
