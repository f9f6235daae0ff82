#include "tools/sim_render.h"

#include <cstdio>

namespace ixan::sim {
namespace {

// Splits UTF-8 into code points; a byte that starts no valid sequence stands for itself.
std::vector<std::uint32_t> codePoints(const std::string& text) {
    std::vector<std::uint32_t> out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::size_t len = 1;
        std::uint32_t cp = b;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
            cp = b & 0x1Fu;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            cp = b & 0x0Fu;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            cp = b & 0x07u;
        }
        bool valid = len == 1 || i + len <= text.size();
        for (std::size_t k = 1; valid && k < len; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            valid = (c & 0xC0u) == 0x80u;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if (!valid) {
            len = 1;
            cp = b;
        }
        out.push_back(cp);
        i += len;
    }
    return out;
}

void appendEscape(std::string& out, unsigned value) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%%%02X", value & 0xFFu);
    out += buf;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The device's form of one character.
std::string encodeCodePoint(std::uint32_t cp, Charset charset) {
    std::string out;
    if (cp == '%' || cp < 0x20 || cp == 0x7F) {
        appendEscape(out, cp);
    } else if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (charset == Charset::Utf8) {
        appendUtf8(out, cp);
    } else if (cp > 0xFF) {
        out += '?';  // not in the device's code page
    } else if (charset == Charset::Cp1252 && cp >= 0xA0) {
        out += static_cast<char>(cp);
    } else {
        appendEscape(out, cp);
    }
    return out;
}

void appendLineEnd(std::string& out, const RenderOptions& options) {
    if (options.crlf) {
        out += '\r';
    }
    out += '\n';
}

}  // namespace

std::string encodeField(const std::string& text, Charset charset) {
    std::string out;
    out.reserve(text.size() + 8);
    for (const std::uint32_t cp : codePoints(text)) {
        out += encodeCodePoint(cp, charset);
    }
    return out;
}

std::string renderRecord(const SimEvent& e, const RenderOptions& options) {
    std::string out;
    const std::string* fields[] = {&e.ip,       &e.datum,    &e.tuername,     &e.ausloeser,
                                   &e.ereignis, &e.benutzer, &e.kartennummer, &e.kartentyp};
    bool first = true;
    for (const std::string* field : fields) {
        if (!first) {
            out += ',';
        }
        first = false;
        out += encodeField(*field, options.charset);
    }
    appendLineEnd(out, options);
    return out;
}

std::string renderExport(std::span<const SimEvent> events, const RenderOptions& options) {
    std::string out;
    for (const SimEvent& e : events) {
        out += renderRecord(e, options);
    }
    return out;
}

std::string renderTruncatedExport(std::span<const SimEvent> events, const RenderOptions& options) {
    if (events.empty()) {
        return {};
    }
    std::string out = renderExport(events.first(events.size() - 1), options);
    const SimEvent& last = events.back();
    out += encodeField(last.ip, options.charset);
    out += ',';
    out += encodeField(last.datum, options.charset);
    out += ',';
    // Cut between characters, never inside an escape or a UTF-8 sequence.
    const std::vector<std::uint32_t> door = codePoints(last.tuername);
    const std::size_t keep = door.size() / 2;
    for (std::size_t i = 0; i < keep; ++i) {
        out += encodeCodePoint(door[i], options.charset);
    }
    return out;
}

std::string renderEventTable(std::span<const SimEvent> events) {
    std::string out;
    for (const SimEvent& e : events) {
        out += e.ip + '\t' + e.datum + '\t' + e.tuername + '\t' + e.ausloeser + '\t' + e.ereignis +
               '\t' + e.benutzer + '\t' + e.kartennummer + '\t' + e.kartentyp + '\n';
    }
    return out;
}

}  // namespace ixan::sim
