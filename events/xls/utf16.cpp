#include "events/xls/utf16.h"

#include <cstdint>

namespace ixan {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Decodes the code point at `pos` and advances `pos` past it (or past the maximal
// ill-formed subsequence, which yields U+FFFD).
char32_t decodeAt(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    ++pos;
    if (lead < 0x80) {
        return lead;
    }
    std::size_t need = 0;
    char32_t value = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        value = lead & 0x0F;
        if (lead == 0xE0) {
            low = 0xA0;  // no overlong forms
        } else if (lead == 0xED) {
            high = 0x9F;  // no surrogates
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        value = lead & 0x07;
        if (lead == 0xF0) {
            low = 0x90;  // no overlong forms
        } else if (lead == 0xF4) {
            high = 0x8F;  // nothing above U+10FFFF
        }
    } else {
        return kReplacement;
    }
    for (std::size_t i = 0; i < need; ++i) {
        if (pos >= text.size()) {
            return kReplacement;
        }
        const auto byte = static_cast<unsigned char>(text[pos]);
        const bool inRange = i == 0 ? (byte >= low && byte <= high) : isContinuation(byte);
        if (!inRange) {
            return kReplacement;
        }
        value = (value << 6) | (byte & 0x3F);
        ++pos;
    }
    return value;
}

}  // namespace

std::size_t utf16Length(std::string_view text) {
    std::size_t units = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        units += decodeAt(text, pos) > 0xFFFF ? 2 : 1;
    }
    return units;
}

bool utf8ToUtf16(std::string_view text, std::size_t maxUnits, std::u16string& out) {
    out.clear();
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        const char32_t cp = decodeAt(text, pos);
        const std::size_t units = cp > 0xFFFF ? 2 : 1;
        if (out.size() + units > maxUnits) {
            pos = start;
            break;
        }
        if (units == 1) {
            out.push_back(static_cast<char16_t>(cp));
        } else {
            const char32_t v = cp - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        }
    }
    return pos == text.size();
}

}  // namespace ixan
