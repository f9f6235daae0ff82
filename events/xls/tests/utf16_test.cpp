#include "events/xls/utf16.h"

#include <gtest/gtest.h>

#include <string>

namespace ixan {
namespace {

std::string hex(const std::u16string& units) {
    std::string text;
    char buffer[8];
    for (char16_t unit : units) {
        std::snprintf(buffer, sizeof buffer, "%04X ", static_cast<unsigned>(unit));
        text += buffer;
    }
    return text;
}

struct ConversionCase {
    const char* label;
    std::string input;
    std::size_t maxUnits;
    std::u16string expected;
    bool complete;
};

TEST(Utf8ToUtf16, ConvertsAndReplacesIllFormedSequences) {
    const std::vector<ConversionCase> cases = {
        // Well-formed text of one to four bytes per character.
        {"ASCII", "Tor 1", 100, u"Tor 1", true},
        {"umlaut", "T\xC3\xBCr", 100, u"T\u00FCr", true},
        {"euro", "\xE2\x82\xAC", 100, u"\u20AC", true},
        {"beyond the BMP", "\xF0\x9F\x98\x80", 100, u"\xD83D\xDE00", true},
        {"highest code point", "\xF4\x8F\xBF\xBF", 100, u"\xDBFF\xDFFF", true},
        {"empty", "", 100, u"", true},
        // One U+FFFD per maximal ill-formed subsequence.
        {"lone continuation byte", "a\x80z", 100, u"a\uFFFDz", true},
        {"invalid lead bytes", "\xC0\xC1\xF5\xFF", 100, u"\uFFFD\uFFFD\uFFFD\uFFFD", true},
        {"overlong two bytes", "\xC0\xAF", 100, u"\uFFFD\uFFFD", true},
        {"overlong three bytes", "\xE0\x80\xAF", 100, u"\uFFFD\uFFFD\uFFFD", true},
        {"surrogate", "\xED\xA0\x80", 100, u"\uFFFD\uFFFD\uFFFD", true},
        {"above U+10FFFF", "\xF4\x90\x80\x80", 100, u"\uFFFD\uFFFD\uFFFD\uFFFD", true},
        {"truncated three-byte sequence", "\xE2\x82z", 100, u"\uFFFDz", true},
        {"truncated at the end", "ab\xF0\x9F\x98", 100, u"ab\uFFFD", true},
        {"NUL kept", std::string("a\0b", 3), 100, std::u16string(u"a\0b", 3), true},
        // Cut at the unit limit, never inside a surrogate pair.
        {"cut", "abcdef", 4, u"abcd", false},
        {"exactly at the limit", "abcd", 4, u"abcd", true},
        {"pair does not fit", "abc\xF0\x9F\x98\x80", 4, u"abc", false},
        {"pair fits exactly", "ab\xF0\x9F\x98\x80", 4, u"ab\xD83D\xDE00", true},
        {"limit zero", "a", 0, u"", false},
    };
    for (const ConversionCase& c : cases) {
        std::u16string out = u"stale";
        const bool complete = utf8ToUtf16(c.input, c.maxUnits, out);
        EXPECT_EQ(hex(out), hex(c.expected)) << c.label;
        EXPECT_EQ(complete, c.complete) << c.label;
        std::u16string whole;
        utf8ToUtf16(c.input, c.input.size() * 2 + 1, whole);
        EXPECT_EQ(utf16Length(c.input), whole.size()) << c.label;
    }
}

// Every prefix of a text converts without reading past its end.
TEST(Utf8ToUtf16, EveryPrefixConverts) {
    const std::string text =
        "T\xC3\xBCr \xE2\x82\xAC \xF0\x9F\x98\x80 \xC5\x81\xC3\xB3"
        "d\xC5\xBA";
    for (std::size_t length = 0; length <= text.size(); ++length) {
        std::u16string out;
        EXPECT_TRUE(utf8ToUtf16(std::string_view(text).substr(0, length), 1000, out)) << length;
        EXPECT_LE(out.size(), length) << length;
    }
}

}  // namespace
}  // namespace ixan
