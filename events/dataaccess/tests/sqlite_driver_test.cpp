#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "events/dataaccess/connection.h"
#include "events/dataaccess/tests/test_support.h"

namespace ixan {
namespace {

using test::TempDir;

using test::insertStatement;
using test::kColumns;
using test::quoted;

std::vector<std::string> row(const std::string& ip, const std::string& datum) {
    return {ip, datum, "Haupteingang", "Karte", "Zutritt erlaubt", "Müller", "4711", "Leser"};
}

class SqliteDriver : public ::testing::Test {
  protected:
    void SetUp() override {
        dbPath_ = dir_.file("ixan_log.db");
        ASSERT_EQ(test::createEventDatabase(dbPath_), "");
    }

    std::unique_ptr<Connection> open(DbTimeouts timeouts = {}) {
        OpenResult opened = openConnection(test::accessConnectionString(dbPath_), timeouts);
        EXPECT_TRUE(opened.status.ok) << opened.status.message;
        return std::move(opened.connection);
    }

    std::size_t countRows(Connection& db, const std::string& where = "") {
        QueryResult q = db.query("SELECT count(*) AS n FROM Z_servicelog" + where);
        EXPECT_TRUE(q.status.ok) << q.status.message;
        if (!q.status.ok) {
            return 0;
        }
        std::string n;
        EXPECT_TRUE(q.rows->getText("n", n).ok);
        return static_cast<std::size_t>(std::stoul(n));
    }

    TempDir dir_;
    std::string dbPath_;
};

TEST_F(SqliteDriver, MissingFileIsAFailedConnectAndIsNotCreated) {
    const std::string missing = dir_.file("nothing-here.db");
    OpenResult opened = openConnection(test::accessConnectionString(missing));
    EXPECT_FALSE(opened.status.ok);
    EXPECT_EQ(opened.connection, nullptr);
    EXPECT_NE(opened.status.message.find("does not exist: " + missing), std::string::npos)
        << opened.status.message;
    EXPECT_FALSE(test::fileExists(missing));
    EXPECT_FALSE(test::fileExists(missing + "-wal"));
}

TEST_F(SqliteDriver, UnusableFilesAreFailedConnects) {
    const std::string text = dir_.file("notes.txt");
    {
        FILE* f = fopen(text.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs("this is not a database, but it is long enough to look like a header\n", f);
        fclose(f);
    }
    struct Case {
        std::string connection;
        const char* message;
    } cases[] = {
        {test::accessConnectionString(text), "file is not a database"},
        {test::accessConnectionString(dir_.path()), "not a database file"},
        {"Driver={Microsoft Access Driver (*.mdb)};Dbq=;Uid=;Pwd=;", "Dbq= is empty"},
        {"Driver={Microsoft Access Driver (*.mdb)};Uid=;Pwd=;", "Dbq= is empty"},
    };
    for (const Case& c : cases) {
        OpenResult opened = openConnection(c.connection);
        EXPECT_FALSE(opened.status.ok) << c.connection;
        EXPECT_NE(opened.status.message.find(c.message), std::string::npos)
            << "connection: " << c.connection << "\nexpected part: " << c.message
            << "\nactual: " << opened.status.message;
    }
    EXPECT_EQ(test::readFile(text).substr(0, 17), "this is not a dat");
}

TEST_F(SqliteDriver, ValuesComeBackAsStoredText) {
    const std::vector<std::string> values[] = {
        {"10.0.0.1", "2007-03-05 10:00:00", "Tür 1", "Auslöser ä", "Ereignis ö", "Weiß", "ü", "€"},
        {"O'Neill", "2007-03-05 10:00:01", "it''s", "'", "''", "a'b'c", "'start", "end'"},
        {"back\\slash", "2007-03-05 10:00:02", "\\", "\\'", "C:\\ixan\\", "\\n", "\\\\", "x"},
        {"semi;colon", "2007-03-05 10:00:03", ";", "; DROP TABLE Z_servicelog; --", "a;b", "--",
         "/* c */", "#03/05/2007 00:00:00#"},
        {"percent", "2007-03-05 10:00:04", "%s", "%%", "%d", "\"quoted\"", "`bq`", "{ts 'x'}"},
        {"empty", "2007-03-05 10:00:05", "", "", "", "", "", ""},
        {"blanks", " 2007-03-05 10:00:06 ", "  ", "\t", "line\nbreak", "cr\r\n", " a ", "b "},
    };
    auto db = open();
    ASSERT_TRUE(db);
    for (const auto& v : values) {
        DbStatus inserted = db->execute(insertStatement(v));
        ASSERT_TRUE(inserted.ok) << insertStatement(v) << "\n" << inserted.message;
    }
    QueryResult q = db->query("SELECT * FROM Z_servicelog ORDER BY rowid");
    ASSERT_TRUE(q.status.ok) << q.status.message;
    for (const auto& v : values) {
        ASSERT_FALSE(q.rows->atEnd());
        for (std::size_t i = 0; i < 8; ++i) {
            std::string got = "unset";
            ASSERT_TRUE(q.rows->getText(kColumns[i], got).ok);
            EXPECT_EQ(got, v[i]) << "column " << kColumns[i] << " of row " << v[0];
        }
        ASSERT_TRUE(q.rows->next().ok);
    }
    EXPECT_TRUE(q.rows->atEnd());
}

TEST_F(SqliteDriver, LongValuesRoundTrip) {
    auto db = open();
    ASSERT_TRUE(db);
    std::string longText;
    for (int i = 0; longText.size() < 3 * 1024 * 1024; ++i) {
        longText += "Zeile " + std::to_string(i) + " äöü;'\\\n";
    }
    auto values = row("long", "2007-03-05 10:00:00");
    values[4] = longText;
    ASSERT_TRUE(db->execute(insertStatement(values)).ok);
    QueryResult q = db->query("SELECT Ereignis FROM Z_servicelog WHERE IP = 'long'");
    ASSERT_TRUE(q.status.ok) << q.status.message;
    std::string got;
    ASSERT_TRUE(q.rows->getText("Ereignis", got).ok);
    EXPECT_EQ(got.size(), longText.size());
    EXPECT_TRUE(got == longText);
}

TEST_F(SqliteDriver, ColumnsAreFoundByNameIgnoringCaseAndMissingOnesAreErrors) {
    auto db = open();
    ASSERT_TRUE(db);
    ASSERT_TRUE(db->execute(insertStatement(row("10.0.0.9", "2007-03-05 10:00:00"))).ok);
    QueryResult q = db->query("SELECT IP, Datum, NULL AS empty_value FROM Z_servicelog");
    ASSERT_TRUE(q.status.ok) << q.status.message;
    std::string value = "unchanged";
    DbStatus missing = q.rows->getText("Kartentyp", value);
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.message.find("Kartentyp"), std::string::npos) << missing.message;
    EXPECT_EQ(value, "unchanged");
    ASSERT_TRUE(q.rows->getText("ip", value).ok);
    EXPECT_EQ(value, "10.0.0.9");
    ASSERT_TRUE(q.rows->getText("DATUM", value).ok);
    EXPECT_EQ(value, "2007-03-05 10:00:00");
    ASSERT_TRUE(q.rows->getText("empty_value", value).ok);
    EXPECT_EQ(value, "");
    EXPECT_EQ(q.rows->columnNames(), (std::vector<std::string>{"IP", "Datum", "empty_value"}));
    ASSERT_TRUE(q.rows->next().ok);
    EXPECT_TRUE(q.rows->atEnd());
    EXPECT_FALSE(q.rows->getText("IP", value).ok);
    EXPECT_FALSE(q.rows->next().ok);
}

TEST_F(SqliteDriver, EmptyResultIsAtItsEndAtOnce) {
    auto db = open();
    ASSERT_TRUE(db);
    QueryResult q = db->query("SELECT * FROM Z_servicelog");
    ASSERT_TRUE(q.status.ok) << q.status.message;
    EXPECT_TRUE(q.rows->atEnd());
    EXPECT_EQ(q.rows->columnNames().size(), 8u);
}

TEST_F(SqliteDriver, BadStatementsFailWithTheDriversText) {
    auto db = open();
    ASSERT_TRUE(db);
    struct Case {
        const char* sql;
        const char* message;
    } cases[] = {
        {"SELEC * FROM Z_servicelog", "syntax error"},
        {"SELECT * FROM nosuch", "no such table: nosuch"},
        {"SELECT * FROM Z_servicelog WHERE Z_servicelog.Datum>=#03/05/2007 00:00:00#;"
         " AND Z_servicelog.Datum<=#03/09/2007 23:59:59#",
         "one statement"},
        {"SELECT Kartentyp FROM Z_servicelog WHERE x = 1", "no such column: x"},
        {"", "empty statement"},
        {"  -- only a comment", "empty statement"},
    };
    for (const Case& c : cases) {
        QueryResult q = db->query(c.sql);
        EXPECT_FALSE(q.status.ok) << c.sql;
        EXPECT_EQ(q.rows, nullptr);
        EXPECT_NE(q.status.message.find(c.message), std::string::npos)
            << "sql: " << c.sql << "\nexpected part: " << c.message
            << "\nactual: " << q.status.message;
        DbStatus executed = db->execute(c.sql);
        EXPECT_FALSE(executed.ok) << c.sql;
    }
}

TEST_F(SqliteDriver, OnlyOneStatementRunsAtATime) {
    auto db = open();
    ASSERT_TRUE(db);
    ASSERT_TRUE(db->execute(insertStatement(row("keep", "2007-03-05 10:00:00"))).ok);
    DbStatus two = db->execute(insertStatement(row("a", "2007-03-05 10:00:00")) +
                               " DELETE FROM Z_servicelog;");
    EXPECT_FALSE(two.ok);
    EXPECT_EQ(countRows(*db), 1u);
    // Trailing semicolons, blanks and comments are not statements.
    EXPECT_TRUE(db->execute(insertStatement(row("b", "2007-03-05 10:00:00")) + " ; ;\n -- end").ok);
    EXPECT_EQ(countRows(*db), 2u);
}

TEST_F(SqliteDriver, StatementsReachNoOtherFile) {
    auto db = open();
    ASSERT_TRUE(db);
    ASSERT_TRUE(db->execute(insertStatement(row("keep", "2007-03-05 10:00:00"))).ok);
    const std::string other = dir_.file("other.db");
    DbStatus attached = db->execute("ATTACH DATABASE '" + other + "' AS o");
    EXPECT_FALSE(attached.ok);
    EXPECT_FALSE(test::fileExists(other));
    // A NUL byte would end the text early: the statement is refused as a whole.
    const std::string withNul = std::string("DELETE FROM Z_servicelog WHERE IP <> 'x") + '\0' + "'";
    DbStatus cut = db->execute(withNul);
    EXPECT_FALSE(cut.ok);
    EXPECT_NE(cut.message.find("NUL"), std::string::npos) << cut.message;
    EXPECT_FALSE(db->query(withNul).status.ok);
    EXPECT_EQ(countRows(*db), 1u);
}

TEST_F(SqliteDriver, DateLiteralsFilterByDay) {
    auto db = open();
    ASSERT_TRUE(db);
    const char* dates[] = {"2007-03-04 23:59:59", "2007-03-05 00:00:00", "2007-03-07 12:00:00",
                           "2007-03-09 23:59:59", "2007-03-10 00:00:00"};
    for (const char* d : dates) {
        ASSERT_TRUE(db->execute(insertStatement(row("10.0.0.1", d))).ok);
    }
    QueryResult q = db->query(
        "SELECT * FROM Z_servicelog WHERE Z_servicelog.Datum>=#03/05/2007 00:00:00# AND "
        "Z_servicelog.Datum<=#03/09/2007 23:59:59#;");
    ASSERT_TRUE(q.status.ok) << q.status.message;
    std::vector<std::string> got;
    while (!q.rows->atEnd()) {
        std::string d;
        ASSERT_TRUE(q.rows->getText("Datum", d).ok);
        got.push_back(d);
        ASSERT_TRUE(q.rows->next().ok);
    }
    EXPECT_EQ(got, (std::vector<std::string>{"2007-03-05 00:00:00", "2007-03-07 12:00:00",
                                             "2007-03-09 23:59:59"}));
}

TEST_F(SqliteDriver, RepeatedEventIsRefusedByTheTable) {
    auto db = open();
    ASSERT_TRUE(db);
    const std::string sql = insertStatement(row("10.0.0.1", "2007-03-05 10:00:00"));
    ASSERT_TRUE(db->execute(sql).ok);
    DbStatus again = db->execute(sql);
    EXPECT_FALSE(again.ok);
    EXPECT_NE(again.message.find("UNIQUE constraint failed"), std::string::npos) << again.message;
    // Any one differing value makes it another event.
    auto other = row("10.0.0.1", "2007-03-05 10:00:00");
    other[7] = "Leser 2";
    EXPECT_TRUE(db->execute(insertStatement(other)).ok);
    EXPECT_EQ(countRows(*db), 2u);
}

TEST_F(SqliteDriver, RefusedRowInATransactionLeavesTheOthers) {
    auto db = open();
    ASSERT_TRUE(db);
    auto reader = open();
    ASSERT_TRUE(reader);
    ASSERT_TRUE(db->beginTransaction().ok);
    EXPECT_FALSE(db->beginTransaction().ok);
    ASSERT_TRUE(db->execute(insertStatement(row("1", "2007-03-05 10:00:00"))).ok);
    EXPECT_FALSE(db->execute(insertStatement(row("1", "2007-03-05 10:00:00"))).ok);
    EXPECT_FALSE(db->execute("INSERT INTO Z_servicelog (Nope) VALUES ('x')").ok);
    ASSERT_TRUE(db->execute(insertStatement(row("2", "2007-03-05 10:00:00"))).ok);
    // WAL: the reader is not blocked and sees nothing before the commit.
    EXPECT_EQ(countRows(*reader), 0u);
    ASSERT_TRUE(db->commit().ok);
    EXPECT_EQ(countRows(*reader), 2u);
    EXPECT_FALSE(db->commit().ok);

    ASSERT_TRUE(db->beginTransaction().ok);
    ASSERT_TRUE(db->execute(insertStatement(row("3", "2007-03-05 10:00:00"))).ok);
    ASSERT_TRUE(db->rollback().ok);
    EXPECT_EQ(countRows(*db), 2u);

    // Closing with an open transaction rolls it back.
    ASSERT_TRUE(db->beginTransaction().ok);
    ASSERT_TRUE(db->execute(insertStatement(row("4", "2007-03-05 10:00:00"))).ok);
    EXPECT_TRUE(db->close().status.ok);
    EXPECT_EQ(countRows(*reader), 2u);
}

TEST_F(SqliteDriver, WalFilesStayInPlaceAfterClose) {
    auto db = open();
    ASSERT_TRUE(db);
    ASSERT_TRUE(db->execute(insertStatement(row("1", "2007-03-05 10:00:00"))).ok);
    QueryResult mode = db->query("PRAGMA journal_mode");
    ASSERT_TRUE(mode.status.ok);
    std::string value;
    ASSERT_TRUE(mode.rows->getText("journal_mode", value).ok);
    EXPECT_EQ(value, "wal");
    mode.rows.reset();
    EXPECT_TRUE(db->close().status.ok);
    EXPECT_TRUE(test::fileExists(dbPath_ + "-wal"));
    EXPECT_TRUE(test::fileExists(dbPath_ + "-shm"));
    auto again = open();
    ASSERT_TRUE(again);
    EXPECT_EQ(countRows(*again), 1u);
}

// Another writer holds the write lock; the statement waits for the query time-out.
class LockHolder {
  public:
    explicit LockHolder(const std::string& path) {
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        ok_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~LockHolder() { sqlite3_close(db_); }
    bool ok() const { return ok_; }
    void release() { sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr); }

  private:
    sqlite3* db_ = nullptr;
    bool ok_ = false;
};

TEST_F(SqliteDriver, WriterLockedOutLongerThanTheTimeOutFailsInTime) {
    auto db = open({15, 1});
    ASSERT_TRUE(db);
    LockHolder holder(dbPath_);
    ASSERT_TRUE(holder.ok());
    const auto start = std::chrono::steady_clock::now();
    DbStatus inserted = db->execute(insertStatement(row("1", "2007-03-05 10:00:00")));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(inserted.ok);
    EXPECT_NE(inserted.message.find("locked"), std::string::npos) << inserted.message;
    EXPECT_GE(seconds, 0.8);
    EXPECT_LE(seconds, 5.0);
    // The same holds for opening a transaction.
    DbStatus begun = db->beginTransaction();
    EXPECT_FALSE(begun.ok);
    EXPECT_NE(begun.message.find("locked"), std::string::npos) << begun.message;
}

TEST_F(SqliteDriver, WriterWaitsForALockReleasedWithinTheTimeOut) {
    auto db = open({15, 10});
    ASSERT_TRUE(db);
    LockHolder holder(dbPath_);
    ASSERT_TRUE(holder.ok());
    std::thread releaser([&holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        holder.release();
    });
    const auto start = std::chrono::steady_clock::now();
    DbStatus inserted = db->execute(insertStatement(row("1", "2007-03-05 10:00:00")));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    releaser.join();
    EXPECT_TRUE(inserted.ok) << inserted.message;
    EXPECT_LE(seconds, 5.0);
}

TEST_F(SqliteDriver, FullDiskFailsTheStatementsAndKeepsTheFileIntact) {
    {
        auto db = open();
        ASSERT_TRUE(db);
        ASSERT_TRUE(db->execute(insertStatement(row("before", "2007-03-05 10:00:00"))).ok);
    }
    struct stat st {};
    ASSERT_EQ(::stat(dbPath_.c_str(), &st), 0);
    const std::string path = dbPath_;
    // The child may write little more than the files hold now.
    test::ChildResult child = test::runInChild([&path] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{256 * 1024, 256 * 1024};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return std::string("setrlimit failed");
        }
        OpenResult opened = openConnection(test::accessConnectionString(path));
        if (!opened.status.ok) {
            return "connect: " + opened.status.message;
        }
        Connection& db = *opened.connection;
        if (DbStatus begun = db.beginTransaction(); !begun.ok) {
            return "begin: " + begun.message;
        }
        std::string failure;
        const std::string filler(8000, 'x');
        for (int i = 0; i < 200 && failure.empty(); ++i) {
            auto values = row("full " + std::to_string(i), "2007-03-05 10:00:00");
            values[4] = filler;
            DbStatus inserted = db.execute(insertStatement(values));
            if (!inserted.ok) {
                failure = inserted.message;
            }
        }
        DbStatus committed = db.commit();
        if (failure.empty()) {
            failure = committed.ok ? std::string("no failure") : committed.message;
        }
        return "failed: " + failure + "|commit ok: " + (committed.ok ? "yes" : "no");
    });
    ASSERT_TRUE(child.finished) << child.text;
    EXPECT_NE(child.text.find("failed: "), std::string::npos) << child.text;
    EXPECT_EQ(child.text.find("no failure"), std::string::npos) << child.text;
    EXPECT_NE(child.text.find("commit ok: no"), std::string::npos) << child.text;
    // The system's reason comes with SQLite's text.
    EXPECT_TRUE(child.text.find("File too large") != std::string::npos ||
                child.text.find("database or disk is full") != std::string::npos)
        << child.text;

    auto db = open();
    ASSERT_TRUE(db);
    QueryResult check = db->query("PRAGMA integrity_check");
    ASSERT_TRUE(check.status.ok) << check.status.message;
    std::string verdict;
    ASSERT_TRUE(check.rows->getText("integrity_check", verdict).ok);
    EXPECT_EQ(verdict, "ok");
    check.rows.reset();
    EXPECT_EQ(countRows(*db), 1u);
    EXPECT_EQ(countRows(*db, " WHERE IP = 'before'"), 1u);
}

TEST_F(SqliteDriver, ReadOnlyFileCanBeReadButNotWritten) {
    {
        auto db = open();
        ASSERT_TRUE(db);
        ASSERT_TRUE(db->execute(insertStatement(row("kept", "2007-03-05 10:00:00"))).ok);
    }
    // The -wal and -shm files are kept; a reader only needs to use them.
    ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(dbPath_.c_str(), 0444), 0);
    ASSERT_EQ(::chmod((dbPath_ + "-wal").c_str(), 0666), 0);
    ASSERT_EQ(::chmod((dbPath_ + "-shm").c_str(), 0666), 0);
    const std::string path = dbPath_;
    // root writes any file: the check runs as an unprivileged user then.
    test::ChildResult child = test::runInChild([&path] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return std::string("cannot drop privileges");
        }
        OpenResult opened = openConnection(test::accessConnectionString(path));
        if (!opened.status.ok) {
            return "connect: " + opened.status.message;
        }
        std::string out;
        QueryResult q = opened.connection->query("SELECT IP FROM Z_servicelog");
        std::string ip;
        if (q.status.ok && !q.rows->atEnd() && q.rows->getText("IP", ip).ok) {
            out += "read: " + ip + "|";
        } else {
            out += "read failed: " + q.status.message + "|";
        }
        q.rows.reset();
        DbStatus inserted = opened.connection->execute(insertStatement(row("new", "2007-03-05")));
        out += inserted.ok ? "write: ok" : "write failed: " + inserted.message;
        return out;
    });
    ASSERT_TRUE(child.finished) << child.text;
    EXPECT_NE(child.text.find("read: kept|"), std::string::npos) << child.text;
    EXPECT_NE(child.text.find("write failed: attempt to write a readonly database"),
              std::string::npos)
        << child.text;
    ASSERT_EQ(::chmod(dbPath_.c_str(), 0644), 0);
    auto db = open();
    ASSERT_TRUE(db);
    EXPECT_EQ(countRows(*db), 1u);
}

TEST_F(SqliteDriver, ClosedConnectionRefusesWorkAndResultSetsOutlivingItStayUsable) {
    auto db = open();
    ASSERT_TRUE(db);
    ASSERT_TRUE(db->execute(insertStatement(row("1", "2007-03-05 10:00:00"))).ok);
    ASSERT_TRUE(db->execute(insertStatement(row("2", "2007-03-05 10:00:00"))).ok);
    QueryResult q = db->query("SELECT IP FROM Z_servicelog ORDER BY IP");
    ASSERT_TRUE(q.status.ok);
    EXPECT_TRUE(db->close().status.ok);
    EXPECT_TRUE(db->close().status.ok);
    DbStatus after = db->execute("DELETE FROM Z_servicelog");
    EXPECT_FALSE(after.ok);
    EXPECT_EQ(after.message, "the connection is closed");
    EXPECT_FALSE(db->query("SELECT 1").status.ok);
    EXPECT_FALSE(db->beginTransaction().ok);
    std::string ip;
    ASSERT_TRUE(q.rows->getText("IP", ip).ok);
    EXPECT_EQ(ip, "1");
    ASSERT_TRUE(q.rows->next().ok);
    ASSERT_TRUE(q.rows->getText("IP", ip).ok);
    EXPECT_EQ(ip, "2");
    db.reset();
    ASSERT_TRUE(q.rows->next().ok);
    EXPECT_TRUE(q.rows->atEnd());
}

}  // namespace
}  // namespace ixan
