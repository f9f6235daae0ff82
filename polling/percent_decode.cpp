#include "polling/percent_decode.h"

#include "polling/text_encoding.h"

namespace ixan {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Bytes of the UTF-8 character that starts at `pos`; a stray byte counts as one.
std::size_t characterLength(std::string_view text, std::size_t pos) {
    std::size_t length = 1;
    if (static_cast<unsigned char>(text[pos]) >= 0xC0U) {
        while (length < 4 && pos + length < text.size() &&
               (static_cast<unsigned char>(text[pos + length]) & 0xC0U) == 0x80U) {
            ++length;
        }
    }
    return length;
}

}  // namespace

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t percent = text.find('%', pos);
        if (percent == std::string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, percent - pos));
        pos = percent + 1;
        const int high = pos < text.size() ? hexValue(text[pos]) : -1;
        if (high < 0) {
            out += '%';
            continue;
        }
        int value = high;
        ++pos;
        if (pos < text.size()) {
            const int low = hexValue(text[pos]);
            if (low >= 0) {
                value = high * 16 + low;
            }
            pos += characterLength(text, pos);
        }
        if (value == 0) {
            continue;
        }
        appendUtf8(out, windows1252CodePoint(static_cast<unsigned char>(value)));
    }
    return out;
}

}  // namespace ixan
