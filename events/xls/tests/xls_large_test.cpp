#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <iostream>

#include "events/xls/tests/sample_sheets.h"
#include "events/xls/tests/xls_test_support.h"
#include "events/xls/xls_writer.h"

namespace ixan {
namespace {

using test::checkWithXlrd;
using test::expectedTable;
using test::ScratchDir;

TEST(XlsWriterLarge, FullSheetOf65535RowsIsWrittenQuickly) {
    ScratchDir scratch;
    const XlsSheet sheet = test::eventSheet(kXlsMaxDataRows);
    const std::string path = scratch.file("full.xls");

    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    const XlsWriteResult result = writeXlsWorkbook(path, sheet);
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const auto elapsed = std::chrono::steady_clock::now() - start;

    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.rowsNotWritten, 0u);
    EXPECT_EQ(result.message, "");
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    const auto bytes = std::filesystem::file_size(path);
    std::cout << "65535 rows x 8 columns: " << bytes << " bytes written in " << ms << " ms ("
              << static_cast<long>(cpuMs) << " ms CPU)\n";
    RecordProperty("write_ms", static_cast<int>(ms));
    RecordProperty("file_bytes", static_cast<int>(bytes));
    // CPU time, so that a busy machine does not count; generous for the sanitizer build.
    EXPECT_LT(cpuMs, 10000.0);
    // Over 109 FAT sectors' worth: the compound file needs DIFAT sectors.
    EXPECT_GT(bytes, 109u * 128 * 512);
    EXPECT_EQ(checkWithXlrd(path, "Z_servicelog", expectedTable(sheet), scratch), "");
}

TEST(XlsWriterLarge, RowsBeyondTheSheetLimitAreCountedNotWritten) {
    ScratchDir scratch;
    const XlsSheet sheet = test::eventSheet(kXlsMaxDataRows + 1);
    const std::string path = scratch.file("over.xls");

    const XlsWriteResult result = writeXlsWorkbook(path, sheet);

    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.rowsNotWritten, 1u);
    EXPECT_EQ(result.message, "1 row not written: a sheet holds at most 65535 data rows");
    std::vector<std::vector<std::string>> expected = expectedTable(sheet);
    expected.pop_back();
    EXPECT_EQ(checkWithXlrd(path, "Z_servicelog", expected, scratch), "");
}

}  // namespace
}  // namespace ixan
