#include "events/dataaccess/tests/test_support.h"

#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "common/unique_fd.h"

namespace ixan::test {

TempDir::TempDir() {
    char pattern[] = "/tmp/ixan-dataaccess-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string createEventDatabase(const std::string& path) {
    const std::string schema =
        readFile(std::string(IXAN_SOURCE_DIR) + "/events/schema/z_servicelog.sqlite.sql");
    if (schema.empty()) {
        return "schema file missing";
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::string error = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        return error;
    }
    char* message = nullptr;
    std::string error;
    if (sqlite3_exec(db, schema.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        error = message ? message : "schema failed";
    }
    sqlite3_free(message);
    sqlite3_close(db);
    return error;
}

std::string accessConnectionString(const std::string& path) {
    return "Driver={Microsoft Access Driver (*.mdb)};Dbq=" + path + ";Uid=;Pwd=;";
}

ChildResult runInChild(const std::function<std::string()>& step, int timeoutSeconds) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return {};
    }
    UniqueFd readEnd(fds[0]);
    UniqueFd writeEnd(fds[1]);
    const pid_t pid = ::fork();
    if (pid < 0) {
        return {};
    }
    if (pid == 0) {
        readEnd.reset();
        const std::string text = step();
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(writeEnd.get(), text.data() + done, text.size() - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    writeEnd.reset();
    ChildResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        pollfd pfd{readEnd.get(), POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        const ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        result.text.append(buffer, static_cast<std::size_t>(n));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.finished = WIFEXITED(status);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string quoted(const std::string& value) {
    std::string out = "'";
    for (char c : value) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    return out + "'";
}

std::string insertStatement(const std::vector<std::string>& values) {
    std::string sql =
        "INSERT INTO Z_servicelog (IP,Datum,Tuername,Ausloeser,Ereignis,Benutzer,Kartennummer,"
        "Kartentyp) VALUES (";
    for (std::size_t i = 0; i < values.size(); ++i) {
        sql += (i ? "," : "") + quoted(values[i]);
    }
    return sql + ");";
}

}  // namespace ixan::test
