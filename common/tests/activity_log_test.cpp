#include <gtest/gtest.h>

#include <sys/stat.h>

#include <regex>

#include "common/activity_log.h"
#include "common/config.h"
#include "common/tests/test_files.h"

namespace ixan {
namespace {

TEST(PadNumber, PutsAZeroBeforeNumbersBelowTen) {
    const std::pair<std::int32_t, const char*> cases[] = {
        {0, "00"}, {7, "07"}, {9, "09"}, {10, "10"}, {59, "59"}, {2007, "2007"}, {-3, "0-3"},
    };
    for (const auto& [n, want] : cases) {
        EXPECT_EQ(padNumber(n), want) << "number " << n;
    }
}

TEST(FormatLogStamp, IsYearMonthDayHourMinuteSecond) {
    std::tm t{};
    t.tm_year = 2007 - 1900;
    t.tm_mon = 1;
    t.tm_mday = 3;
    t.tm_hour = 7;
    t.tm_min = 5;
    t.tm_sec = 9;
    EXPECT_EQ(formatLogStamp(t), "2007-02-03 07:05:09");
    t.tm_hour = 0;
    t.tm_min = 0;
    t.tm_sec = 0;
    EXPECT_EQ(formatLogStamp(t), "2007-02-03 00:00:00");
}

TEST(LogActivity, AppendsOneStampedLinePerCall) {
    test::TempDir dir;
    const std::string log = dir.file("ixansys.log");
    processConfig().global.log = log;
    logActivity("processing node: 10.0.0.5");
    logActivity("");
    logActivity("two\nlines");
    const std::string text = test::readFile(log);
    const std::regex want(
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d processing node: 10\\.0\\.0\\.5\n"
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \n"
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d two\nlines\n");
    EXPECT_TRUE(std::regex_match(text, want)) << text;

    struct stat st {};
    ASSERT_EQ(::stat(log.c_str(), &st), 0);
    EXPECT_EQ(
        st.st_mode & 0777, 0640u & ~[] {
            const mode_t m = ::umask(0);
            ::umask(m);
            return m;
        }());
    processConfig().global.log.clear();
}

TEST(LogActivity, BadLocationsLoseTheLineQuietly) {
    test::TempDir dir;
    for (const std::string& path :
         {dir.file("no/such/folder/ixansys.log"), dir.path().string(), std::string()}) {
        processConfig().global.log = path;
        logActivity("lost");  // must neither throw nor crash
        EXPECT_FALSE(std::filesystem::is_regular_file(path)) << path;
    }
    processConfig().global.log.clear();
}

}  // namespace
}  // namespace ixan
