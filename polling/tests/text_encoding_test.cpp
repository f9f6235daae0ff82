#include "polling/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace ixan {
namespace {

TEST(TextEncoding, RecognisesWellFormedUtf8) {
    struct Case {
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"plain ascii, 12", true},
        {"Türöffner ß €", true},
        {std::string("a\0b", 3), true},
        {"\xF0\x9F\x98\x80", true},   // U+1F600
        {"\xF4\x8F\xBF\xBF", true},   // U+10FFFF
        {"M\xFCller", false},         // Windows-1252 ü
        {"\xC3", false},              // cut short
        {"\xE2\x82", false},          // cut short
        {"\xC0\xAF", false},          // overlong
        {"\xE0\x80\xAF", false},      // overlong
        {"\xED\xA0\x80", false},      // surrogate
        {"\xF4\x90\x80\x80", false},  // above U+10FFFF
        {"\xF5\x80\x80\x80", false},
        {"\x80", false},  // lone continuation
        {"\xC3\x28", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << "bytes: " << ::testing::PrintToString(c.bytes);
    }
}

TEST(TextEncoding, DeviceTextIsUtf8OrWindows1252) {
    struct Case {
        std::string raw;
        std::string expected;
    };
    const Case cases[] = {
        {"Müller", "Müller"},     // valid UTF-8 stays
        {"M\xFCller", "Müller"},  // Windows-1252
        {"T\xFCr\xF6"
         "ffner \xDF",
         "Türöffner ß"},
        {"\x80 \x84\x93\x94\x99", "€ „“”™"},
        {"\x81\x8D\x8F\x90\x9D", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},  // undefined in 1252
        {"\xC3\xA4 \xE4", "Ã¤ ä"},  // one bad byte: the whole text is 1252
        {std::string("a\0\xE4", 3), std::string("a\0ä", 4)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(deviceTextToUtf8(c.raw), c.expected)
            << "raw: " << ::testing::PrintToString(c.raw);
    }
}

TEST(TextEncoding, EveryWindows1252ByteGivesOneValidCharacter) {
    for (int value = 1; value < 256; ++value) {
        const std::string raw(1, static_cast<char>(value));
        const std::string text = windows1252ToUtf8(raw);
        EXPECT_TRUE(isValidUtf8(text)) << "byte " << value;
        EXPECT_FALSE(text.empty()) << "byte " << value;
    }
}

TEST(TextEncoding, AppendUtf8ReplacesNonScalarValues) {
    std::string out;
    appendUtf8(out, 0xD800);
    appendUtf8(out, 0x110000);
    appendUtf8(out, 0x10FFFF);
    EXPECT_EQ(out, "\uFFFD\uFFFD\U0010FFFF");
}

}  // namespace
}  // namespace ixan
