#pragma once
// An embedded event database made from the shipped schema, and a way to read it back.

#include <sqlite3.h>

#include <string>
#include <vector>

#include "common/tests/test_files.h"

namespace ixan::test {

inline bool createEventDatabase(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    const std::string schema =
        readFile(std::string(IXAN_SOURCE_DIR) + "/events/schema/z_servicelog.sqlite.sql");
    const bool ok =
        !schema.empty() && sqlite3_exec(db, schema.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// Every row as "IP|Datum|...|Kartentyp", in insertion order.
inline std::vector<std::string> readEventRows(const std::string& path) {
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_exec(
            db,
            "SELECT IP,Datum,Tuername,Ausloeser,Ereignis,Benutzer,Kartennummer,Kartentyp "
            "FROM Z_servicelog ORDER BY rowid",
            [](void* out, int n, char** values, char**) {
                std::string row;
                for (int i = 0; i < n; ++i) {
                    row += (i ? "|" : "") + std::string(values[i] ? values[i] : "<NULL>");
                }
                static_cast<std::vector<std::string>*>(out)->push_back(row);
                return 0;
            },
            &rows, nullptr);
    }
    sqlite3_close(db);
    return rows;
}

}  // namespace ixan::test
