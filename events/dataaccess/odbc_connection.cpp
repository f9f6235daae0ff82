#include "events/dataaccess/odbc_connection.h"

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "events/dataaccess/connection_string.h"
#include "events/dataaccess/date_literal.h"

namespace ixan {
namespace {

// Owns one ODBC handle of the given type.
class OdbcHandle {
  public:
    OdbcHandle() = default;
    OdbcHandle(SQLSMALLINT type, SQLHANDLE handle) : type_(type), handle_(handle) {}
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    OdbcHandle(OdbcHandle&& other) noexcept
        : type_(other.type_), handle_(std::exchange(other.handle_, nullptr)) {}
    OdbcHandle& operator=(OdbcHandle&& other) noexcept {
        if (this != &other) {
            reset();
            type_ = other.type_;
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    ~OdbcHandle() { reset(); }

    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }
    void reset() {
        if (handle_ != nullptr) {
            SQLFreeHandle(type_, handle_);
            handle_ = nullptr;
        }
    }

  private:
    SQLSMALLINT type_ = 0;
    SQLHANDLE handle_ = nullptr;
};

// The diagnostic records of a handle, "[SQLSTATE] message" joined by blanks.
std::string diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::string out;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        std::vector<SQLCHAR> text(1024);
        SQLRETURN rc = SQLGetDiagRec(type, handle, record, state, &native, text.data(),
                                     static_cast<SQLSMALLINT>(text.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(text.size())) {
            text.resize(static_cast<std::size_t>(length) + 1);
            rc = SQLGetDiagRec(type, handle, record, state, &native, text.data(),
                               static_cast<SQLSMALLINT>(text.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc)) {
            break;
        }
        // One line: drivers break long texts into lines, the activity log takes one.
        std::string message;
        for (const char* c = reinterpret_cast<const char*>(text.data()); *c; ++c) {
            if (*c == '\n' || *c == '\r' || *c == '\t') {
                if (!message.empty() && message.back() != ' ') {
                    message += ' ';
                }
            } else {
                message += *c;
            }
        }
        while (!message.empty() && message.back() == ' ') {
            message.pop_back();
        }
        if (!out.empty()) {
            out += ' ';
        }
        out += '[';
        out += reinterpret_cast<const char*>(state);
        out += "] ";
        out += message;
    }
    return out;
}

std::string failureText(const OdbcHandle& handle, const char* what) {
    std::string text = diagnostics(handle.type(), handle.get());
    return text.empty() ? std::string(what) + " failed without a diagnostic record" : text;
}

// Environment and connection; the result sets share it so that it outlives them.
struct OdbcLink {
    OdbcHandle env;
    OdbcHandle dbc;
    bool connected = false;

    OdbcLink() = default;
    OdbcLink(const OdbcLink&) = delete;
    OdbcLink& operator=(const OdbcLink&) = delete;
    ~OdbcLink() {
        if (connected) {
            SQLDisconnect(dbc.get());
        }
    }
};

class OdbcResultSet final : public ResultSet {
  public:
    OdbcResultSet(std::shared_ptr<OdbcLink> link, OdbcHandle stmt)
        : link_(std::move(link)), stmt_(std::move(stmt)) {}

    // Reads the column names and moves to the first row.
    DbStatus start() {
        SQLSMALLINT count = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(stmt_.get(), &count))) {
            atEnd_ = true;
            return DbStatus::failure(failureText(stmt_, "SQLNumResultCols"));
        }
        for (SQLSMALLINT col = 1; col <= count; ++col) {
            std::vector<SQLCHAR> name(256);
            SQLSMALLINT length = 0;
            SQLSMALLINT dataType = 0;
            SQLULEN size = 0;
            SQLSMALLINT digits = 0;
            SQLSMALLINT nullable = 0;
            SQLRETURN rc =
                SQLDescribeCol(stmt_.get(), col, name.data(), static_cast<SQLSMALLINT>(name.size()),
                               &length, &dataType, &size, &digits, &nullable);
            if (SQL_SUCCEEDED(rc) && length >= static_cast<SQLSMALLINT>(name.size())) {
                name.resize(static_cast<std::size_t>(length) + 1);
                rc = SQLDescribeCol(stmt_.get(), col, name.data(),
                                    static_cast<SQLSMALLINT>(name.size()), &length, &dataType,
                                    &size, &digits, &nullable);
            }
            if (!SQL_SUCCEEDED(rc)) {
                atEnd_ = true;
                return DbStatus::failure(failureText(stmt_, "SQLDescribeCol"));
            }
            names_.emplace_back(reinterpret_cast<const char*>(name.data()));
        }
        values_.resize(names_.size());
        if (names_.empty()) {
            atEnd_ = true;
            return DbStatus::success();
        }
        return next();
    }

    bool atEnd() const override { return atEnd_; }

    DbStatus next() override {
        if (atEnd_) {
            return DbStatus::failure("the result set is at its end");
        }
        const SQLRETURN rc = SQLFetch(stmt_.get());
        if (rc == SQL_NO_DATA) {
            atEnd_ = true;
            return DbStatus::success();
        }
        if (!SQL_SUCCEEDED(rc)) {
            atEnd_ = true;
            return DbStatus::failure(failureText(stmt_, "SQLFetch"));
        }
        // Drivers need not allow SQLGetData out of column order: the whole row is read here.
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (DbStatus read = readColumn(static_cast<SQLUSMALLINT>(i + 1), values_[i]);
                !read.ok) {
                atEnd_ = true;
                return read;
            }
        }
        return DbStatus::success();
    }

    DbStatus getText(std::string_view column, std::string& value) const override {
        if (atEnd_) {
            return DbStatus::failure("no current row to read column " + std::string(column));
        }
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (equalsIgnoreAsciiCase(names_[i], column)) {
                value = values_[i];
                return DbStatus::success();
            }
        }
        return DbStatus::failure("no column named " + std::string(column) + " in the result");
    }

    const std::vector<std::string>& columnNames() const override { return names_; }

  private:
    // The value as text in as many pieces as it takes; NULL gives the empty text.
    DbStatus readColumn(SQLUSMALLINT column, std::string& value) {
        value.clear();
        char buffer[4096];
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc =
                SQLGetData(stmt_.get(), column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
            if (rc == SQL_NO_DATA) {
                return DbStatus::success();
            }
            if (!SQL_SUCCEEDED(rc)) {
                return DbStatus::failure(failureText(stmt_, "SQLGetData"));
            }
            if (indicator == SQL_NULL_DATA) {
                value.clear();
                return DbStatus::success();
            }
            const bool whole = indicator != SQL_NO_TOTAL && indicator >= 0 &&
                               static_cast<std::size_t>(indicator) < sizeof buffer;
            if (whole) {
                value.append(buffer, static_cast<std::size_t>(indicator));
                return DbStatus::success();
            }
            // Truncated: the buffer holds sizeof buffer - 1 bytes and its terminator.
            value.append(buffer, sizeof buffer - 1);
            if (rc == SQL_SUCCESS) {
                return DbStatus::success();
            }
        }
    }

    std::shared_ptr<OdbcLink> link_;  // declared first: released after the statement
    OdbcHandle stmt_;
    std::vector<std::string> names_;
    std::vector<std::string> values_;
    bool atEnd_ = false;
};

class OdbcConnection final : public Connection {
  public:
    OdbcConnection(std::shared_ptr<OdbcLink> link, const DbTimeouts& timeouts)
        : link_(std::move(link)), timeouts_(timeouts) {}
    ~OdbcConnection() override { close(); }

    DbStatus execute(std::string_view sql) override {
        OdbcHandle stmt;
        if (DbStatus ran = run(sql, stmt); !ran.ok) {
            return ran;
        }
        return DbStatus::success();
    }

    QueryResult query(std::string_view sql) override {
        OdbcHandle stmt;
        if (DbStatus ran = run(sql, stmt); !ran.ok) {
            return {std::move(ran), nullptr};
        }
        auto rows = std::make_unique<OdbcResultSet>(link_, std::move(stmt));
        if (DbStatus first = rows->start(); !first.ok) {
            return {std::move(first), nullptr};
        }
        return {DbStatus::success(), std::move(rows)};
    }

    // Autocommit stays on: see connection.h.
    DbStatus beginTransaction() override { return usable(); }
    DbStatus commit() override { return usable(); }
    DbStatus rollback() override { return usable(); }

    DbCloseResult close() override {
        if (!link_) {
            return {};
        }
        DbCloseResult result;
        if (link_.use_count() == 1 && link_->connected) {
            link_->connected = false;
            if (!SQL_SUCCEEDED(SQLDisconnect(link_->dbc.get()))) {
                result.status = DbStatus::failure(failureText(link_->dbc, "SQLDisconnect"));
            }
        }
        link_.reset();
        return result;
    }

  private:
    DbStatus usable() const {
        return link_ ? DbStatus::success() : DbStatus::failure("the connection is closed");
    }

    DbStatus run(std::string_view sql, OdbcHandle& stmt) {
        if (!link_) {
            return DbStatus::failure("the connection is closed");
        }
        SQLHANDLE raw = SQL_NULL_HANDLE;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, link_->dbc.get(), &raw))) {
            return DbStatus::failure(failureText(link_->dbc, "SQLAllocHandle"));
        }
        stmt = OdbcHandle(SQL_HANDLE_STMT, raw);
        // A driver without query time-outs still runs the statement.
        SQLSetStmtAttr(stmt.get(), SQL_ATTR_QUERY_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(
                           timeouts_.querySeconds > 0 ? timeouts_.querySeconds : 0)),
                       0);
        if (sql.find('\0') != std::string_view::npos) {
            return DbStatus::failure("the statement holds a NUL byte");
        }
        std::string text = rewriteAccessDateLiterals(sql, DateLiteralStyle::OdbcEscape);
        const SQLRETURN rc = SQLExecDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                           static_cast<SQLINTEGER>(text.size()));
        // SQL_NO_DATA: a searched UPDATE or DELETE that touched no row.
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            return DbStatus::failure(failureText(stmt, "SQLExecDirect"));
        }
        return DbStatus::success();
    }

    std::shared_ptr<OdbcLink> link_;
    DbTimeouts timeouts_;
};

}  // namespace

OpenResult openOdbcConnection(const std::string& connectionString, const DbTimeouts& timeouts) {
    auto link = std::make_shared<OdbcLink>();
    SQLHANDLE raw = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &raw))) {
        return {DbStatus::failure("cannot allocate an ODBC environment"), nullptr};
    }
    link->env = OdbcHandle(SQL_HANDLE_ENV, raw);
    if (!SQL_SUCCEEDED(SQLSetEnvAttr(link->env.get(), SQL_ATTR_ODBC_VERSION,
                                     reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
        return {DbStatus::failure(failureText(link->env, "SQLSetEnvAttr")), nullptr};
    }
    raw = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, link->env.get(), &raw))) {
        return {DbStatus::failure(failureText(link->env, "SQLAllocHandle")), nullptr};
    }
    link->dbc = OdbcHandle(SQL_HANDLE_DBC, raw);
    SQLSetConnectAttr(link->dbc.get(), SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(
                          timeouts.loginSeconds > 0 ? timeouts.loginSeconds : 0)),
                      0);

    if (connectionString.size() > 32767) {
        return {DbStatus::failure("the connection string is too long"), nullptr};
    }
    std::string text = connectionString;
    SQLCHAR completed[1024];
    SQLSMALLINT completedLength = 0;
    const SQLRETURN rc = SQLDriverConnect(
        link->dbc.get(), nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
        static_cast<SQLSMALLINT>(text.size()), completed,
        static_cast<SQLSMALLINT>(sizeof completed), &completedLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        return {DbStatus::failure(failureText(link->dbc, "SQLDriverConnect")), nullptr};
    }
    link->connected = true;
    return {DbStatus::success(), std::make_unique<OdbcConnection>(std::move(link), timeouts)};
}

}  // namespace ixan
