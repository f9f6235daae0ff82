#include "polling/percent_decode.h"

#include <cstring>

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

namespace {

// Decodes `text` into `out`, which has room for text.size() bytes and may be
// text.data() itself: each step writes no more bytes than it has read, and only
// after reading them. Returns the decoded length.
std::size_t decode(std::string_view text, char* out) {
    std::size_t written = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t percent = text.find('%', pos);
        if (percent == std::string_view::npos) {
            percent = text.size();
        }
        if (percent > pos && out + written != text.data() + pos) {
            std::memmove(out + written, text.data() + pos, percent - pos);
        }
        written += percent - pos;
        if (percent == text.size()) {
            break;
        }
        pos = percent + 1;
        const int high = pos < text.size() ? hexValue(text[pos]) : -1;
        if (high < 0) {
            out[written++] = '%';
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
        // At most 3 bytes (U+FFFD at most), for at least 2 read; a 3-byte form needs a
        // value of 0x80 or more, so two hex digits and 3 bytes read.
        char bytes[4];
        const std::size_t length =
            encodeUtf8(windows1252CodePoint(static_cast<unsigned char>(value)), bytes);
        std::memcpy(out + written, bytes, length);
        written += length;
    }
    return written;
}

}  // namespace

std::string percentDecode(std::string_view text) {
    std::string out(text.size(), '\0');
    out.resize(decode(text, out.data()));
    return out;
}

void percentDecodeInPlace(std::string& text) {
    text.resize(decode(text, text.data()));
}

}  // namespace ixan
