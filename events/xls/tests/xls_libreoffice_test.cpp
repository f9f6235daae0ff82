// LibreOffice as a second, independent reader. Each conversion starts LibreOffice, so
// the cases are few and broad.
#include <gtest/gtest.h>

#include "events/xls/tests/sample_sheets.h"
#include "events/xls/tests/xls_test_support.h"
#include "events/xls/xls_writer.h"

namespace ixan {
namespace {

using test::compareTables;
using test::expectedTable;
using test::ScratchDir;

void expectLibreOfficeShows(const std::string& path,
                            const std::vector<std::vector<std::string>>& expected,
                            const ScratchDir& scratch) {
    std::string error;
    const auto table = test::readWithLibreOffice(path, scratch, error);
    ASSERT_EQ(error, "");
    EXPECT_EQ(compareTables(expected, table), "");
}

TEST(XlsWriterLibreOffice, EveryKindOfText) {
    ScratchDir scratch;
    const test::SampleSheet sample = test::mixedTextSheet();
    const std::string path = scratch.file("mixed.xls");
    ASSERT_TRUE(writeXlsWorkbook(path, sample.sheet).ok);
    expectLibreOfficeShows(path, sample.expected, scratch);
}

// The smallest workbook: its stream is padded to the mini stream cutoff.
TEST(XlsWriterLibreOffice, TitleRowOnly) {
    ScratchDir scratch;
    const XlsSheet sheet{"Z_servicelog", test::kEventTitles, {}};
    const std::string path = scratch.file("empty.xls");
    ASSERT_TRUE(writeXlsWorkbook(path, sheet).ok);
    expectLibreOfficeShows(path, expectedTable(sheet), scratch);
}

// The largest sheet; its compound file needs DIFAT sectors.
TEST(XlsWriterLibreOffice, FullSheetOf65535Rows) {
    ScratchDir scratch;
    const XlsSheet sheet = test::eventSheet(kXlsMaxDataRows);
    const std::string path = scratch.file("full.xls");
    ASSERT_TRUE(writeXlsWorkbook(path, sheet).ok);
    expectLibreOfficeShows(path, expectedTable(sheet), scratch);
}

}  // namespace
}  // namespace ixan
