#include <gtest/gtest.h>

#include "common/config.h"

namespace ixan {
namespace {

struct LineCase {
    const char* line;
    const char* key;
    const char* value;
    bool isSection;
};

TEST(ParseConfigLine, SplitsTrimsAndRecognisesHeaders) {
    const LineCase cases[] = {
        // plain keys; every "=" is dropped
        {"host=10.0.0.7", "host", "10.0.0.7", false},
        {"host = 10.0.0.7", "host", "10.0.0.7", false},
        {"pass=x=y", "pass", "xy", false},
        {"pass==", "pass", "", false},
        {"novalue", "novalue", "", false},
        {"=value", "", "value", false},
        {"", "", "", false},
        // only blanks are trimmed, tabs stay
        {"host\t= 10.0.0.7", "host\t", "10.0.0.7", false},
        {"  key  =  value\t ", "key", "value\t", false},
        // comments only in the first column
        {"# note=1", "", "", false},
        {"#", "", "", false},
        {"  # note", "# note", "", false},
        // headers
        {"[Global]", "Global", "", true},
        {"[ Global ]", " Global ", "", true},
        {"  [10.0.0.5]  ", "10.0.0.5", "", true},
        {"[10.0.0.5]=x", "10.0.0.5", "x", true},
        {"[]", "", "", true},
        {"[", "[", "", false},
        {"[abc", "[abc", "", false},
        {"abc]", "abc]", "", false},
        {"[a]b", "[a]b", "", false},
    };
    for (const LineCase& c : cases) {
        const ConfigLine got = parseConfigLine(c.line);
        EXPECT_EQ(got.key, c.key) << "line '" << c.line << "'";
        EXPECT_EQ(got.value, c.value) << "line '" << c.line << "'";
        EXPECT_EQ(got.isSection, c.isSection) << "line '" << c.line << "'";
    }
}

TEST(TrimSpaces, RemovesOnlyBlanksAtBothEnds) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""}, {"   ", ""}, {" a b ", "a b"}, {"\ta\t", "\ta\t"}, {"x", "x"},
    };
    for (const auto& [in, want] : cases) {
        std::string text = in;
        trimSpaces(text);
        EXPECT_EQ(text, want) << "input '" << in << "'";
    }
}

TEST(ParseNumber, ReadsSignAndLeadingDigitsOnly) {
    const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
        {"8080", 8080},
        {"+81", 81},
        {"-5", -5},
        {"80abc", 80},
        {"  42", 42},
        {"\t7", 7},
        {"0x50", 0},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        // not a number: the caller keeps what it had
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"+", std::nullopt},
        {"- 5", std::nullopt},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999999", std::nullopt},
    };
    for (const auto& [text, want] : cases) {
        EXPECT_EQ(parseNumber(text), want) << "input '" << text << "'";
    }
}

}  // namespace
}  // namespace ixan
