#pragma once
// Helpers for the workbook writer tests: scratch folders, the xlrd and LibreOffice
// readers, expected-data files.

#include <string>
#include <vector>

#include "events/xls/xls_writer.h"

namespace ixan::test {

// A fresh folder under the system's temporary folder, removed with its contents.
class ScratchDir {
  public:
    ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    ~ScratchDir();

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> entries() const;

  private:
    std::string path_;
};

struct CommandResult {
    int exitCode = -1;
    std::string output;  // standard output and standard error
};

// Runs `command` with /bin/sh.
CommandResult runCommand(const std::string& command);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

// The sheet as a reader should show it: the title row first, then the data rows.
std::vector<std::vector<std::string>> expectedTable(const XlsSheet& sheet);

// Checks `xlsPath` with xlrd against `name` and `table`; returns "" when they agree,
// otherwise what differs.
std::string checkWithXlrd(const std::string& xlsPath, const std::string& name,
                          const std::vector<std::vector<std::string>>& table,
                          const ScratchDir& scratch);

// Checks that `path` is a compound file whose Workbook stream is the test pattern of
// `size` bytes (see patternByte).
std::string checkCompoundWithXlrd(const std::string& path, std::size_t size);
unsigned char patternByte(std::size_t i);

// Converts `xlsPath` to CSV (UTF-8) with LibreOffice in a private profile and reads it
// back as a table; `error` tells what went wrong when the conversion failed.
std::vector<std::vector<std::string>> readWithLibreOffice(const std::string& xlsPath,
                                                          const ScratchDir& scratch,
                                                          std::string& error);

// Compares tables cell by cell; rows of `actual` that are shorter than in `expected`
// count as ending in empty cells. Returns "" or the first differences.
std::string compareTables(const std::vector<std::vector<std::string>>& expected,
                          const std::vector<std::vector<std::string>>& actual);

}  // namespace ixan::test
