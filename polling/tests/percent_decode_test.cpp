#include "polling/percent_decode.h"

#include <gtest/gtest.h>

#include <string>

#include "polling/text_encoding.h"

namespace ixan {
namespace {

struct DecodeCase {
    std::string input;
    std::string expected;
};

void expectDecodes(const DecodeCase& c) {
    EXPECT_EQ(percentDecode(c.input), c.expected)
        << "input: " << ::testing::PrintToString(c.input)
        << "\nexpected: " << ::testing::PrintToString(c.expected);
    std::string inPlace = c.input;
    percentDecodeInPlace(inPlace);
    EXPECT_EQ(inPlace, c.expected) << "in place; input: " << ::testing::PrintToString(c.input);
}

TEST(PercentDecode, Escapes) {
    const DecodeCase cases[] = {
        {"%41%42", "AB"},  {"a+b", "a+b"},  // "+" is no blank
        {"%2C", ","},      {"%0A", "\n"},
        {"%0D", "\r"},     {"%e4", "ä"},
        {"%E4", "ä"},      {"%FF", "ÿ"},
        {"%A0", "\u00A0"}, {"%7F", "\x7F"},
        {"x%00y", "xy"},    // value 0 gives nothing
        {"%2541", "%41"},   // one pass only
        {"%4G", "\x04"},    // reading stops at the first non-hex character
        {"%4Gx", "\x04x"},  // ... which still belongs to the escape
        {"%4ä!", "\x04!"},  // a multi-byte character counts as one
        {"", ""},          {"no escapes, ä", "no escapes, ä"},
    };
    for (const DecodeCase& c : cases) {
        expectDecodes(c);
    }
}

TEST(PercentDecode, ShortEscapesAtTheEnd) {
    const DecodeCase cases[] = {
        {"ab%7", "ab\x07"},              // "%" second to last: the one character is the escape
        {"%A", "\n"},       {"%", "%"},  // "%" as the very last character is kept
        {"ab%", "ab%"},     {"%0", ""},  // value 0
    };
    for (const DecodeCase& c : cases) {
        expectDecodes(c);
    }
}

TEST(PercentDecode, PercentWithoutHexDigitIsKeptAsText) {
    const DecodeCase cases[] = {
        {"%G1", "%G1"},     {"100% sicher", "100% sicher"},
        {"50%,x", "50%,x"},  // the comma stays a separator
        {"%%41", "%A"},     {"%ä", "%ä"},
        {"%\n", "%\n"},
    };
    for (const DecodeCase& c : cases) {
        expectDecodes(c);
    }
}

TEST(PercentDecode, C1RangeIsReadAsWindows1252) {
    // The code points 0x80 to 0x9F are control characters; a device writing them means
    // the Windows-1252 characters of those bytes.
    const std::string expected[32] = {
        "€", "\uFFFD", "‚",      "ƒ", "„",      "…",      "†", "‡",      "ˆ", "‰", "Š",
        "‹", "Œ",      "\uFFFD", "Ž", "\uFFFD", "\uFFFD", "‘", "’",      "“", "”", "•",
        "–", "—",      "˜",      "™", "š",      "›",      "œ", "\uFFFD", "ž", "Ÿ",
    };
    static const char kHex[] = "0123456789ABCDEF";
    for (int value = 0x80; value <= 0x9F; ++value) {
        const std::string input = {'%', kHex[value / 16], kHex[value % 16]};
        expectDecodes({input, expected[value - 0x80]});
    }
}

TEST(PercentDecode, KeepsValidUtf8Valid) {
    std::string input;
    for (int value = 0; value < 256; ++value) {
        static const char kHex[] = "0123456789abcdef";
        input += {'%', kHex[value / 16], kHex[value % 16], 'x'};
    }
    const std::string output = percentDecode(input);
    EXPECT_TRUE(isValidUtf8(output));
    // 254 values give one character each (0 gives none), plus 256 x.
    EXPECT_EQ(output.find('\0'), std::string::npos);
}

}  // namespace
}  // namespace ixan
