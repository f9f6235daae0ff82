#include "events/dataaccess/connection_string.h"

#include <cstddef>

namespace ixan {
namespace {

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string unwrapValue(std::string_view value) {
    if (value.size() >= 2 && value.front() == '{' && value.back() == '}') {
        std::string out;
        std::string_view inner = value.substr(1, value.size() - 2);
        for (std::size_t i = 0; i < inner.size(); ++i) {
            out += inner[i];
            if (inner[i] == '}' && i + 1 < inner.size() && inner[i + 1] == '}') {
                ++i;
            }
        }
        return out;
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        return std::string(value.substr(1, value.size() - 2));
    }
    return std::string(value);
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::vector<ConnectionAttribute> parseConnectionString(std::string_view text) {
    std::vector<ConnectionAttribute> attrs;
    std::size_t start = 0;
    while (start < text.size()) {
        // Find the end of this part: a semicolon outside braces and double quotes.
        std::size_t pos = start;
        const std::size_t eq = text.find('=', start);
        const std::size_t semi = text.find(';', start);
        if (eq != std::string_view::npos && (semi == std::string_view::npos || eq < semi)) {
            pos = eq + 1;
            while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
                ++pos;
            }
            if (pos < text.size() && (text[pos] == '{' || text[pos] == '"')) {
                const char close = text[pos] == '{' ? '}' : '"';
                ++pos;
                while (pos < text.size()) {
                    if (text[pos] == close) {
                        if (close == '}' && pos + 1 < text.size() && text[pos + 1] == '}') {
                            pos += 2;
                            continue;
                        }
                        ++pos;
                        break;
                    }
                    ++pos;
                }
            }
        }
        std::size_t end = text.find(';', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view part = text.substr(start, end - start);
        start = end + 1;
        if (trimBlanks(part).empty()) {
            continue;
        }
        const std::size_t partEq = part.find('=');
        ConnectionAttribute attr;
        if (partEq == std::string_view::npos) {
            attr.key = std::string(trimBlanks(part));
        } else {
            attr.key = std::string(trimBlanks(part.substr(0, partEq)));
            attr.value = unwrapValue(trimBlanks(part.substr(partEq + 1)));
        }
        attrs.push_back(std::move(attr));
    }
    return attrs;
}

std::optional<std::string> findConnectionAttribute(const std::vector<ConnectionAttribute>& attrs,
                                                   std::string_view key) {
    for (const ConnectionAttribute& attr : attrs) {
        if (equalsIgnoreAsciiCase(attr.key, key)) {
            return attr.value;
        }
    }
    return std::nullopt;
}

DriverKind classifyConnectionString(const std::vector<ConnectionAttribute>& attrs) {
    const std::optional<std::string> driver = findConnectionAttribute(attrs, "Driver");
    if (!driver) {
        return DriverKind::Odbc;
    }
    if (equalsIgnoreAsciiCase(*driver, "Microsoft Access Driver (*.mdb)")) {
        return DriverKind::AccessFile;
    }
    if (equalsIgnoreAsciiCase(*driver, "Microsoft Excel Driver (*.xls)")) {
        return DriverKind::Spreadsheet;
    }
    return DriverKind::Odbc;
}

}  // namespace ixan
