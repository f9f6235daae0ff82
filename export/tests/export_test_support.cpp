#include "export/tests/export_test_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "common/tests/run_process.h"
#include "common/tests/text_formats.h"
#include "events/tests/event_store_fixture.h"

namespace ixan::exporttool::test {
namespace {}  // namespace

std::string accessConnectionString(const std::string& path) {
    return "Driver={Microsoft Access Driver (*.mdb)};Dbq=" + path + ";Uid=;Pwd=;";
}

void createDatabaseWithRows(const std::string& path, const std::vector<EventRow>& rows) {
    if (!ixan::test::createEventDatabase(path)) {
        ADD_FAILURE() << "cannot create " << path;
        return;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << path;
        sqlite3_close(db);
        return;
    }
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Z_servicelog VALUES (?,?,?,?,?,?,?,?)", -1, &insert,
                       nullptr);
    for (const EventRow& row : rows) {
        const std::string* values[] = {&row.IP,           &row.Datum,    &row.Tuername,
                                       &row.Ausloeser,    &row.Ereignis, &row.Benutzer,
                                       &row.Kartennummer, &row.Kartentyp};
        for (int i = 0; i < 8; ++i) {
            sqlite3_bind_text(insert, i + 1, values[i]->data(), static_cast<int>(values[i]->size()),
                              SQLITE_TRANSIENT);
        }
        if (sqlite3_step(insert) != SQLITE_DONE) {
            ADD_FAILURE() << "insert refused: " << sqlite3_errmsg(db) << " for " << joinRow(row);
        }
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

std::vector<EventRow> generatedRows(std::size_t count, const std::string& day) {
    std::vector<EventRow> rows;
    rows.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        char time[16];
        std::snprintf(time, sizeof time, "%02zu:%02zu:%02zu", (i / 3600) % 24, (i / 60) % 60,
                      i % 60);
        rows.push_back({"192.168.10." + std::to_string(20 + i % 3), day + " " + time,
                        "Tür " + std::to_string(i % 7), "Leser " + std::to_string(i % 4),
                        "Zutritt gewährt", "Person " + std::to_string(i),
                        std::to_string(100000 + i), "Karte"});
    }
    return rows;
}

OpenedQuery queryDatabase(const std::string& path, const std::string& sql) {
    OpenedQuery opened;
    OpenResult connection = openConnection(accessConnectionString(path));
    if (!connection.status.ok) {
        ADD_FAILURE() << "cannot open " << path << ": " << connection.status.message;
        return opened;
    }
    opened.connection = std::move(connection.connection);
    QueryResult result = opened.connection->query(sql);
    if (!result.status.ok) {
        ADD_FAILURE() << "query refused: " << result.status.message;
        return opened;
    }
    opened.rows = std::move(result.rows);
    return opened;
}

std::string expectedCsv(const std::vector<EventRow>& rows) {
    std::string text;
    for (const EventRow& row : rows) {
        for (const std::string* value :
             {&row.IP, &row.Datum, &row.Tuername, &row.Ausloeser, &row.Ereignis, &row.Benutzer,
              &row.Kartennummer, &row.Kartentyp}) {
            std::string field;
            for (char c : *value) {
                field += c == '"' ? std::string("\"\"") : std::string(1, c);
            }
            text += "\"" + field + "\";";
        }
        text += "\n";
    }
    return text;
}

std::vector<std::string> sheetTitles() {
    return {"Adresse IXAN", "Datum/Zeit", "Türname", "Auslöser",
            "Ereignis",     "Name",       "Merkmal", "Zugangsmodul"};
}

std::vector<std::vector<std::string>> sheetTable(const std::vector<EventRow>& rows) {
    std::vector<std::vector<std::string>> table{sheetTitles()};
    for (const EventRow& r : rows) {
        table.push_back({r.IP, r.Datum, r.Tuername, r.Ausloeser, r.Ereignis, r.Benutzer,
                         r.Kartennummer, r.Kartentyp});
    }
    return table;
}

std::string checkXlsWithXlrd(const std::string& xlsPath,
                             const std::vector<std::vector<std::string>>& table,
                             const ixan::test::TempDir& scratch) {
    std::string json = "{\"sheet\": \"Z_servicelog\", \"rows\": [";
    for (std::size_t r = 0; r < table.size(); ++r) {
        json += r ? ",\n[" : "[";
        for (std::size_t c = 0; c < table[r].size(); ++c) {
            if (c) {
                json += ", ";
            }
            ixan::test::appendJsonString(json, table[r][c]);
        }
        json += "]";
    }
    json += "]}";
    const std::string expected = scratch.file("expected.json");
    ixan::test::writeFile(expected, json);
    const ixan::test::ProcessResult run =
        ixan::test::runProcess(IXAN_PYTHON3, {IXAN_XLS_CHECK_SCRIPT, "workbook", xlsPath, expected},
                               {}, "", std::chrono::seconds(120));
    if (run.exitCode == 0) {
        return "";
    }
    return "xlrd check failed (exit " + std::to_string(run.exitCode) + "):\n" + run.out + run.err;
}

std::vector<std::vector<std::string>> readXlsWithXlrd(const std::string& xlsPath,
                                                      std::string& error) {
    // Cells separated by 0x1F, rows ended by 0x1E.
    const char* script =
        "import sys, xlrd\n"
        "book = xlrd.open_workbook(sys.argv[1], ragged_rows=True)\n"
        "sheet = book.sheet_by_index(0)\n"
        "out = sys.stdout.buffer\n"
        "out.write(('%s\\x1e' % book.sheet_names()).encode('utf-8'))\n"
        "for r in range(sheet.nrows):\n"
        "    out.write(('\\x1f'.join(str(c.value) for c in sheet.row(r)) + '\\x1e')"
        ".encode('utf-8'))\n";
    const ixan::test::ProcessResult run = ixan::test::runProcess(
        IXAN_PYTHON3, {"-c", script, xlsPath}, {}, "", std::chrono::seconds(120));
    if (run.exitCode != 0) {
        error = "xlrd cannot read " + xlsPath + ":\n" + run.err;
        return {};
    }
    std::vector<std::vector<std::string>> rows;
    std::size_t start = 0;
    bool first = true;
    for (std::size_t end; (end = run.out.find('\x1e', start)) != std::string::npos;
         start = end + 1) {
        const std::string line = run.out.substr(start, end - start);
        if (first) {
            first = false;
            if (line != "['Z_servicelog']") {
                error = "sheets: " + line;
                return {};
            }
            continue;
        }
        std::vector<std::string> cells;
        std::size_t from = 0;
        for (std::size_t sep; (sep = line.find('\x1f', from)) != std::string::npos;
             from = sep + 1) {
            cells.push_back(line.substr(from, sep - from));
        }
        cells.push_back(line.substr(from));
        rows.push_back(std::move(cells));
    }
    error.clear();
    return rows;
}

std::vector<std::vector<std::string>> readXlsWithLibreOffice(const std::string& xlsPath,
                                                             const ixan::test::TempDir& scratch,
                                                             std::string& error) {
    const std::string outDir = scratch.file("lo-out");
    std::filesystem::create_directories(outDir);
    const std::string profile = "file://" + scratch.file("lo-profile");
    const ixan::test::ProcessResult run = ixan::test::runProcess(
        "/usr/bin/timeout",
        {"-k", "10", "170", IXAN_SOFFICE, "-env:UserInstallation=" + profile, "--headless",
         "--norestore", "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir",
         outDir, xlsPath},
        {{"HOME", scratch.path().string()}}, "", std::chrono::seconds(190));
    const std::string stem = std::filesystem::path(xlsPath).stem().string();
    const std::string csv = outDir + "/" + stem + ".csv";
    if (run.exitCode != 0 || !std::filesystem::exists(csv)) {
        error = "LibreOffice conversion failed (exit " + std::to_string(run.exitCode) + "):\n" +
                run.out + run.err;
        return {};
    }
    error.clear();
    return ixan::test::parseCommaSeparated(ixan::test::readFile(csv));
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string joinRow(const EventRow& r) {
    return r.IP + "|" + r.Datum + "|" + r.Tuername + "|" + r.Ausloeser + "|" + r.Ereignis + "|" +
           r.Benutzer + "|" + r.Kartennummer + "|" + r.Kartentyp;
}

}  // namespace ixan::exporttool::test
