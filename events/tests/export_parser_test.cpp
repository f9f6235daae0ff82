#include "events/export_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "events/event_texts.h"

namespace ixan {
namespace {

using Lines = std::vector<ExportLine>;

EventRow row(std::string ip, std::string datum, std::string tuer, std::string ausloeser,
             std::string ereignis, std::string benutzer, std::string karte, std::string typ) {
    return {ip, datum, tuer, ausloeser, ereignis, benutzer, karte, typ};
}

TEST(SplitExportLines, Table) {
    struct Case {
        const char* name;
        std::string text;
        Lines expected;
    };
    const Case cases[] = {
        {"empty export", "", {}},
        {"no line feed", "a,b,c", {}},
        {"LF", "one\ntwo\n", {"one", "two"}},
        {"CRLF gives the same lines", "one\r\ntwo\r\n", {"one", "two"}},
        {"CR inside a value is removed", "o\rne\n", {"one"}},
        {"CR alone makes no line", "\r\n\r\r\n", {}},
        {"last record without LF is dropped", "one\ntwo", {"one"}},
        {"empty lines are skipped", "\none\n\n\ntwo\n", {"one", "two"}},
        {"blank line is a record", "   \n", {"   "}},
        {"NUL is dropped, later lines kept", std::string("o\0ne\ntwo\n", 9), {"one", "two"}},
        {"NUL alone makes no line", std::string("\0\n", 2), {}},
        {"escaped LF already decoded", "a\nb\n", {"a", "b"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitExportLines(c.text), c.expected)
            << c.name << "; text: " << ::testing::PrintToString(c.text);
    }
}

TEST(ParseEventRow, Table) {
    struct Case {
        const char* name;
        std::string line;
        EventRow expected;
    };
    const Case cases[] = {
        {"eight fields", "10.0.0.5,25.10.2006 09:05:03,Haupteingang,9,6,Meier,12345,1",
         row("10.0.0.5", "25.10.2006 09:05:03", "Haupteingang", "9", "6", "Meier", "12345", "1")},
        {"three fields", "a,b,c", row("a", "b", "", "", "", "", "", "c")},
        {"no comma", "whole line", row("", "", "", "", "", "", "", "whole line")},
        {"nine fields drop the eighth", "1,2,3,4,5,6,7,8,9",
         row("1", "2", "3", "4", "5", "6", "7", "9")},
        {"many fields", "1,2,3,4,5,6,7,8,9,10,11", row("1", "2", "3", "4", "5", "6", "7", "11")},
        {"trailing comma", "1,2,3,4,5,6,7,", row("1", "2", "3", "4", "5", "6", "7", "")},
        {"only commas", ",,,,,,,", row("", "", "", "", "", "", "", "")},
        {"blanks stay", " a , b ", row(" a ", "", "", "", "", "", "", " b ")},
        {"blank line", "   ", row("", "", "", "", "", "", "", "   ")},
        {"empty line", "", row("", "", "", "", "", "", "", "")},
        {"UTF-8 values", "ä,Tür,ß", row("ä", "Tür", "", "", "", "", "", "ß")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseEventRow(c.line), c.expected)
            << c.name << "; line: " << ::testing::PrintToString(c.line);
    }
}

// A realistic export as a device sends it, CR LF line ends.
std::string realisticExport() {
    std::string text;
    for (int i = 0; i < 40; ++i) {
        text += "192.168.1." + std::to_string(10 + i % 3) + "," + std::to_string(1 + i % 28) +
                ".11.2026 0" + std::to_string(i % 10) + ":1" + std::to_string(i % 6) + ":2" +
                std::to_string(i % 10) + ",Tür " + std::to_string(i % 4) + "," +
                std::to_string(i % 13) + "," + std::to_string(i % 32) + ",Müller " +
                std::to_string(i) + "," + std::to_string(1000 + i) + "," + std::to_string(i % 5) +
                "\r\n";
        if (i % 7 == 0) {
            text += "\r\n";
        }
    }
    return text;
}

TEST(ExportParser, EveryPrefixYieldsOnlyCompleteLines) {
    const std::string text = realisticExport();
    const Lines all = splitExportLines(text);
    ASSERT_EQ(all.size(), 40U);
    for (std::size_t length = 0; length <= text.size(); ++length) {
        const std::string prefix = text.substr(0, length);
        const Lines lines = splitExportLines(prefix);
        // The complete records of the prefix are exactly those before its last LF.
        const std::size_t lastFeed = prefix.rfind('\n');
        const std::size_t complete = lastFeed == std::string::npos
                                         ? 0
                                         : splitExportLines(text.substr(0, lastFeed + 1)).size();
        ASSERT_EQ(lines.size(), complete) << "prefix length " << length;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            ASSERT_EQ(lines[i], all[i]) << "prefix length " << length << ", line " << i;
            EventRow decoded = parseEventRow(lines[i]);
            EXPECT_FALSE(decoded.Kartentyp.empty()) << lines[i];
            decodeEventRow(decoded);
            EXPECT_FALSE(decoded.Kartentyp.empty()) << lines[i];
        }
    }
}

}  // namespace
}  // namespace ixan
