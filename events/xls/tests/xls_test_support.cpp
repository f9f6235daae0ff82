#include "events/xls/tests/xls_test_support.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/tests/text_formats.h"

namespace ixan::test {
namespace {

std::string quoteForShell(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string shorten(const std::string& text) {
    return text.size() <= 60
               ? text
               : text.substr(0, 60) + "...(" + std::to_string(text.size()) + " bytes)";
}

}  // namespace

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ixan-xls-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchDir::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

CommandResult runCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        result.output = "popen failed";
        return result;
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.output.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::vector<std::vector<std::string>> expectedTable(const XlsSheet& sheet) {
    std::vector<std::vector<std::string>> table;
    table.reserve(1 + sheet.rows.size());
    table.push_back(sheet.columns);
    table.insert(table.end(), sheet.rows.begin(), sheet.rows.end());
    return table;
}

std::string checkWithXlrd(const std::string& xlsPath, const std::string& name,
                          const std::vector<std::vector<std::string>>& table,
                          const ScratchDir& scratch) {
    std::string json = "{\"sheet\": ";
    appendJsonString(json, name);
    json += ", \"rows\": [";
    for (std::size_t r = 0; r < table.size(); ++r) {
        json += r == 0 ? "\n[" : ",\n[";
        for (std::size_t c = 0; c < table[r].size(); ++c) {
            if (c > 0) {
                json += ", ";
            }
            appendJsonString(json, table[r][c]);
        }
        json += ']';
    }
    json += "]}\n";
    const std::string expectedPath = scratch.file("expected.json");
    writeFile(expectedPath, json);

    const CommandResult run =
        runCommand(std::string(IXAN_PYTHON3) + " " + quoteForShell(IXAN_XLS_CHECK_SCRIPT) +
                   " workbook " + quoteForShell(xlsPath) + " " + quoteForShell(expectedPath));
    return run.exitCode == 0 ? std::string() : "xlrd check failed: " + run.output;
}

unsigned char patternByte(std::size_t i) {
    return static_cast<unsigned char>((i * 131 + (i >> 11)) & 0xFF);
}

std::string checkCompoundWithXlrd(const std::string& path, std::size_t size) {
    const CommandResult run =
        runCommand(std::string(IXAN_PYTHON3) + " " + quoteForShell(IXAN_XLS_CHECK_SCRIPT) +
                   " compound " + quoteForShell(path) + " " + std::to_string(size));
    return run.exitCode == 0 ? std::string() : "xlrd check failed: " + run.output;
}

std::vector<std::vector<std::string>> readWithLibreOffice(const std::string& xlsPath,
                                                          const ScratchDir& scratch,
                                                          std::string& error) {
    const std::string outDir = scratch.file("csv");
    std::filesystem::create_directory(outDir);
    // Comma-separated, double quotes, UTF-8 (76), from line 1.
    const CommandResult run =
        runCommand("timeout 180 " + std::string(IXAN_SOFFICE) + " -env:UserInstallation=file://" +
                   scratch.file("lo-profile") + " --headless --norestore --convert-to " +
                   quoteForShell("csv:Text - txt - csv (StarCalc):44,34,76,1") + " --outdir " +
                   quoteForShell(outDir) + " " + quoteForShell(xlsPath));
    const std::string stem = std::filesystem::path(xlsPath).stem().string();
    const std::string csvPath = outDir + "/" + stem + ".csv";
    if (run.exitCode != 0 || !std::filesystem::exists(csvPath)) {
        error = "LibreOffice conversion failed (exit " + std::to_string(run.exitCode) +
                "): " + run.output;
        return {};
    }
    return parseCommaSeparated(readFile(csvPath));
}

std::string compareTables(const std::vector<std::vector<std::string>>& expected,
                          const std::vector<std::vector<std::string>>& actual) {
    std::ostringstream report;
    int differences = 0;
    if (expected.size() != actual.size()) {
        report << "rows: expected " << expected.size() << ", actual " << actual.size() << "\n";
        ++differences;
    }
    for (std::size_t r = 0; r < std::min(expected.size(), actual.size()) && differences < 20; ++r) {
        const auto& want = expected[r];
        const auto& got = actual[r];
        for (std::size_t c = 0; c < std::max(want.size(), got.size()) && differences < 20; ++c) {
            const std::string wantCell = c < want.size() ? want[c] : std::string();
            const std::string gotCell = c < got.size() ? got[c] : std::string();
            if (wantCell != gotCell) {
                report << "cell (" << r << ", " << c << "): expected '" << shorten(wantCell)
                       << "', actual '" << shorten(gotCell) << "'\n";
                ++differences;
            }
        }
    }
    return report.str();
}

}  // namespace ixan::test
