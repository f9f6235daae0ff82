#include "polling/text_encoding.h"

#include <array>

namespace ixan {

namespace {

// 0x80 to 0x9F; the rest of Windows-1252 equals Latin-1.
constexpr std::array<char32_t, 32> kWindows1252High = {
    U'\u20AC',
    kReplacementCharacter,
    U'\u201A',
    U'\u0192',
    U'\u201E',
    U'\u2026',
    U'\u2020',
    U'\u2021',
    U'\u02C6',
    U'\u2030',
    U'\u0160',
    U'\u2039',
    U'\u0152',
    kReplacementCharacter,
    U'\u017D',
    kReplacementCharacter,
    kReplacementCharacter,
    U'\u2018',
    U'\u2019',
    U'\u201C',
    U'\u201D',
    U'\u2022',
    U'\u2013',
    U'\u2014',
    U'\u02DC',
    U'\u2122',
    U'\u0161',
    U'\u203A',
    U'\u0153',
    kReplacementCharacter,
    U'\u017E',
    U'\u0178',
};

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0U) == 0x80U;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80U) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80U;  // allowed range of the second byte
        unsigned char high = 0xBFU;
        if (lead >= 0xC2U && lead <= 0xDFU) {
            length = 2;
        } else if (lead >= 0xE0U && lead <= 0xEFU) {
            length = 3;
            if (lead == 0xE0U) {
                low = 0xA0U;  // overlong
            } else if (lead == 0xEDU) {
                high = 0x9FU;  // surrogates
            }
        } else if (lead >= 0xF0U && lead <= 0xF4U) {
            length = 4;
            if (lead == 0xF0U) {
                low = 0x90U;  // overlong
            } else if (lead == 0xF4U) {
                high = 0x8FU;  // above U+10FFFF
            }
        } else {
            return false;
        }
        if (n - i < length) {
            return false;
        }
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second < low || second > high) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if (!isContinuation(static_cast<unsigned char>(bytes[i + k]))) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

char32_t windows1252CodePoint(unsigned char value) {
    if (value >= 0x80U && value <= 0x9FU) {
        return kWindows1252High[value - 0x80U];
    }
    return value;
}

std::size_t encodeUtf8(char32_t codePoint, char* out) {
    if (codePoint > 0x10FFFFU || (codePoint >= 0xD800U && codePoint <= 0xDFFFU)) {
        codePoint = kReplacementCharacter;
    }
    if (codePoint < 0x80U) {
        out[0] = static_cast<char>(codePoint);
        return 1;
    }
    if (codePoint < 0x800U) {
        out[0] = static_cast<char>(0xC0U | (codePoint >> 6));
        out[1] = static_cast<char>(0x80U | (codePoint & 0x3FU));
        return 2;
    }
    if (codePoint < 0x10000U) {
        out[0] = static_cast<char>(0xE0U | (codePoint >> 12));
        out[1] = static_cast<char>(0x80U | ((codePoint >> 6) & 0x3FU));
        out[2] = static_cast<char>(0x80U | (codePoint & 0x3FU));
        return 3;
    }
    out[0] = static_cast<char>(0xF0U | (codePoint >> 18));
    out[1] = static_cast<char>(0x80U | ((codePoint >> 12) & 0x3FU));
    out[2] = static_cast<char>(0x80U | ((codePoint >> 6) & 0x3FU));
    out[3] = static_cast<char>(0x80U | (codePoint & 0x3FU));
    return 4;
}

void appendUtf8(std::string& out, char32_t codePoint) {
    char bytes[4];
    out.append(bytes, encodeUtf8(codePoint, bytes));
}

std::string windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes) {
        appendUtf8(out, windows1252CodePoint(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string deviceTextToUtf8(std::string_view bytes) {
    if (isValidUtf8(bytes)) {
        return std::string(bytes);
    }
    return windows1252ToUtf8(bytes);
}

}  // namespace ixan
