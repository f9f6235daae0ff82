#pragma once
// The private PostgreSQL server of scripts/test-services, as the end-to-end tests use it:
// its data source, and a Z_servicelog table of the test's own, so that tests running in
// parallel do not see each other's rows.

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "events/dataaccess/connection.h"

namespace ixan::test {

struct PgTestServer {
    std::string dsn;
    std::string user;
    std::string pass;
    std::string connectionString() const {
        return "DSN=" + dsn + ";Uid=" + user + ";Pwd=" + pass + ";";
    }
};

// The server scripts/test-services started, or nullopt when none was.
inline std::optional<PgTestServer> pgTestServer() {
    const char* dsn = std::getenv("IXAN_TEST_PG_DSN");
    const char* user = std::getenv("IXAN_TEST_PG_USER");
    const char* pass = std::getenv("IXAN_TEST_PG_PASS");
    if (dsn == nullptr || user == nullptr || pass == nullptr) {
        return std::nullopt;
    }
    return PgTestServer{dsn, user, pass};
}

// True when the services were started and their tests must not skip.
inline bool testServicesRequired() {
    return std::getenv("IXAN_TEST_SERVICES") != nullptr;
}

// A table shaped like Z_servicelog (constraints included), dropped again at the end.
class PgTestTable {
  public:
    PgTestTable(const PgTestServer& server, const std::string& prefix)
        : name_(prefix + std::to_string(::getpid())) {
        OpenResult opened = openConnection(server.connectionString());
        status_ = opened.status;
        if (status_.ok) {
            connection_ = std::move(opened.connection);
            status_ = connection_->execute("CREATE TABLE " + name_ +
                                           " (LIKE Z_servicelog INCLUDING ALL)");
        }
    }
    PgTestTable(const PgTestTable&) = delete;
    PgTestTable& operator=(const PgTestTable&) = delete;
    ~PgTestTable() {
        if (connection_) {
            connection_->execute("DROP TABLE IF EXISTS " + name_);
        }
    }

    // Whether the table could be made, with the driver's text when not.
    const DbStatus& status() const { return status_; }
    const std::string& name() const { return name_; }
    Connection& connection() { return *connection_; }

  private:
    std::string name_;
    DbStatus status_;
    std::unique_ptr<Connection> connection_;
};

}  // namespace ixan::test

// Skips without the test services; fails when they were started but are not usable.
#define IXAN_REQUIRE_PG_TEST_SERVER(server)                                               \
    const auto server = ::ixan::test::pgTestServer();                                     \
    if (!server) {                                                                        \
        if (::ixan::test::testServicesRequired()) {                                       \
            FAIL() << "IXAN_TEST_SERVICES is set but the PostgreSQL server is not named"; \
        }                                                                                 \
        GTEST_SKIP() << "no PostgreSQL test server (run through scripts/test)";           \
    }
