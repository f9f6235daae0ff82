#include "events/xls/xls_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "events/xls/tests/sample_sheets.h"
#include "events/xls/tests/xls_test_support.h"

namespace ixan {
namespace {

using test::checkWithXlrd;
using test::expectedTable;
using test::ScratchDir;

TEST(XlsWriter, EveryKindOfTextReadsBackWithXlrd) {
    ScratchDir scratch;
    const test::SampleSheet sample = test::mixedTextSheet();
    const std::string path = scratch.file("mixed.xls");

    const XlsWriteResult result = writeXlsWorkbook(path, sample.sheet);

    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.rowsNotWritten, 0u);
    EXPECT_NE(result.message.find(std::to_string(sample.cellsCut) + " texts cut to 32767"),
              std::string::npos)
        << result.message;
    EXPECT_EQ(checkWithXlrd(path, "Z_servicelog", sample.expected, scratch), "");
}

TEST(XlsWriter, TitleRowOnlyForNoRows) {
    ScratchDir scratch;
    const XlsSheet sheet{"Z_servicelog", test::kEventTitles, {}};
    const std::string path = scratch.file("empty.xls");

    const XlsWriteResult result = writeXlsWorkbook(path, sheet);

    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.message, "");
    EXPECT_EQ(checkWithXlrd(path, "Z_servicelog", expectedTable(sheet), scratch), "");
}

TEST(XlsWriter, SheetWithoutAnyTextIsEmpty) {
    ScratchDir scratch;
    const XlsSheet sheet{"Z_servicelog", {}, {}};
    const std::string path = scratch.file("nothing.xls");

    ASSERT_TRUE(writeXlsWorkbook(path, sheet).ok);

    EXPECT_EQ(checkWithXlrd(path, "Z_servicelog", {}, scratch), "");
}

TEST(XlsWriter, SheetNamesExcelAccepts) {
    const char* const names[] = {"Z_servicelog", "Łódź €", "a", "1234567890123456789012345678901",
                                 "it's"};
    for (const char* name : names) {
        ScratchDir scratch;
        const XlsSheet sheet{name, {"Titel"}, {{"Wert"}}};
        const std::string path = scratch.file("named.xls");
        const XlsWriteResult result = writeXlsWorkbook(path, sheet);
        ASSERT_TRUE(result.ok) << name << ": " << result.message;
        EXPECT_EQ(checkWithXlrd(path, name, expectedTable(sheet), scratch), "") << name;
    }
}

TEST(XlsWriter, RefusesSheetsExcelCannotHold) {
    struct BadSheet {
        const char* label;
        XlsSheet sheet;
        const char* messagePart;
    };
    const std::vector<BadSheet> cases = {
        {"empty name", {"", {"a"}, {}}, "empty"},
        {"32 characters", {std::string(32, 'x'), {"a"}, {}}, "longer than 31"},
        {"slash", {"a/b", {"a"}, {}}, "characters"},
        {"brackets", {"x[1]", {"a"}, {}}, "characters"},
        {"leading apostrophe", {"'Log", {"a"}, {}}, "apostrophe"},
        {"trailing apostrophe", {"Log'", {"a"}, {}}, "apostrophe"},
        {"control character", {std::string("Log\x03", 4), {"a"}, {}}, "control character"},
        {"too many titles",
         {"Z_servicelog", std::vector<std::string>(257, "t"), {}},
         "256 columns"},
        {"too many texts in a row",
         {"Z_servicelog", {"a"}, {{"1"}, std::vector<std::string>(300, "v")}},
         "row 3 holds 300 texts"},
    };
    for (const BadSheet& c : cases) {
        ScratchDir scratch;
        const std::string path = scratch.file("bad.xls");
        const XlsWriteResult result = writeXlsWorkbook(path, c.sheet);
        EXPECT_FALSE(result.ok) << c.label;
        EXPECT_NE(result.message.find(c.messagePart), std::string::npos)
            << c.label << ": " << result.message;
        EXPECT_NE(result.message.find(path), std::string::npos)
            << c.label << ": " << result.message;
        EXPECT_TRUE(scratch.entries().empty()) << c.label;
    }
}

TEST(XlsWriter, RepeatedTextsAreStoredOnce) {
    ScratchDir scratch;
    XlsSheet sheet{"Z_servicelog", {"Türname"}, {}};
    const std::string door = "Haupteingang Süd " + test::digits(5000);
    for (int i = 0; i < 2000; ++i) {
        sheet.rows.push_back({door});
    }
    const std::string path = scratch.file("repeated.xls");

    ASSERT_TRUE(writeXlsWorkbook(path, sheet).ok);

    // 2000 copies would take 10 MB; one copy and 2000 small cell records take far less.
    EXPECT_LT(std::filesystem::file_size(path), 100'000u);
    EXPECT_EQ(checkWithXlrd(path, "Z_servicelog", expectedTable(sheet), scratch), "");
}

TEST(XlsWriter, ManyDistinctTextsContinueTheStringTable) {
    ScratchDir scratch;
    XlsSheet sheet{"Z_servicelog", test::kEventTitles, {}};
    // Lengths and character widths vary so that record ends fall at every kind of place:
    // between strings, inside 8-bit and inside 16-bit text.
    std::size_t n = 0;
    for (int r = 0; r < 3000; ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < 8; ++c, ++n) {
            const std::size_t length = (n * 37) % 301;
            std::string text = std::to_string(n) + (n % 3 == 0 ? " Ł" : n % 3 == 1 ? " ä" : " a");
            while (text.size() < length) {
                text += n % 3 == 0 ? "€" : "x";
            }
            row.push_back(std::move(text));
        }
        sheet.rows.push_back(std::move(row));
    }
    const std::string path = scratch.file("distinct.xls");

    const XlsWriteResult result = writeXlsWorkbook(path, sheet);

    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(checkWithXlrd(path, "Z_servicelog", expectedTable(sheet), scratch), "");
}

// The first title fills the first string table record up to `room` bytes before its end;
// the next string must then start in a CONTINUE record or be split there correctly.
TEST(XlsWriter, StringStartingAtEveryOffsetBeforeARecordEnd) {
    constexpr std::size_t kRecordData = 8224;
    constexpr std::size_t kCounts = 8;  // total and unique string counts
    constexpr std::size_t kHeader = 3;
    for (const bool wide : {false, true}) {
        for (std::size_t room = 0; room <= 7; ++room) {
            ScratchDir scratch;
            const std::string filler(kRecordData - kCounts - kHeader - room, 'f');
            std::string next;
            for (int i = 0; i < 5000; ++i) {
                next += wide ? (i % 2 ? "Ł" : "€") : (i % 2 ? "ä" : "b");
            }
            const XlsSheet sheet{"Z_servicelog", {filler, next, "Ende"}, {{"Ende", next}}};
            const std::string path = scratch.file("offset.xls");
            ASSERT_TRUE(writeXlsWorkbook(path, sheet).ok);
            EXPECT_EQ(checkWithXlrd(path, "Z_servicelog", expectedTable(sheet), scratch), "")
                << (wide ? "16-bit" : "8-bit") << " string with " << room << " bytes left";
        }
    }
}

TEST(XlsWriter, ExistingFileIsReplaced) {
    ScratchDir scratch;
    const std::string path = scratch.file("export.xls");
    test::writeFile(path, "old content that is not a workbook");
    const XlsSheet sheet = test::eventSheet(100);

    const XlsWriteResult result = writeXlsWorkbook(path, sheet);

    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(checkWithXlrd(path, "Z_servicelog", expectedTable(sheet), scratch), "");
    // Only the workbook and the checker's own file: no temporary file is left.
    EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"expected.json", "export.xls"}));
}

TEST(XlsWriter, MissingFolderFailsAndCreatesNothing) {
    ScratchDir scratch;
    const std::string path = scratch.file("no-such-folder/export.xls");

    const XlsWriteResult result = writeXlsWorkbook(path, test::eventSheet(3));

    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, "cannot write '" + path + "': the folder '" +
                                  scratch.file("no-such-folder") + "' does not exist");
    EXPECT_TRUE(scratch.entries().empty());
}

TEST(XlsWriter, FolderInTheWayFailsAndIsLeftAsItWas) {
    ScratchDir scratch;
    const std::string path = scratch.file("export.xls");
    std::filesystem::create_directory(path);
    test::writeFile(path + "/inside", "keep");

    const XlsWriteResult result = writeXlsWorkbook(path, test::eventSheet(3));

    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("cannot write '" + path + "'"), std::string::npos)
        << result.message;
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"export.xls"});
    EXPECT_EQ(test::readFile(path + "/inside"), "keep");
}

// A write that fails half way (here: the file size limit) leaves the old file and no
// temporary file. Runs in a child process so the limit stays there.
TEST(XlsWriter, FailedWriteKeepsTheOldFile) {
    ScratchDir scratch;
    const std::string path = scratch.file("export.xls");
    test::writeFile(path, "old export");
    const XlsSheet sheet = test::eventSheet(5000);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const XlsWriteResult result = writeXlsWorkbook(path, sheet);
        const bool reported =
            !result.ok && result.message.find("cannot write '" + path + "': ") == 0;
        ::_exit(reported ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "failure not reported";
    EXPECT_EQ(test::readFile(path), "old export");
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"export.xls"});
}

}  // namespace
}  // namespace ixan
