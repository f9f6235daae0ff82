#pragma once
// Text formats the tests exchange with the independent readers of written files: JSON
// strings for the python checkers, comma-separated text from LibreOffice's conversion.

#include <cstdio>
#include <string>
#include <vector>

namespace ixan::test {

// Appends text as a JSON string (bytes from 0x80 on are passed through as UTF-8).
inline void appendJsonString(std::string& out, const std::string& text) {
    out += '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
}

// Comma-separated rows, fields optionally in double quotes with doubled quotes inside;
// lines end in LF or CR LF.
inline std::vector<std::vector<std::string>> parseCommaSeparated(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    bool rowStarted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
            continue;
        }
        rowStarted = true;
        if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            row.push_back(std::move(field));
            field.clear();
            rows.push_back(std::move(row));
            row.clear();
            rowStarted = false;
        } else {
            field += c;
        }
    }
    if (rowStarted) {
        row.push_back(std::move(field));
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace ixan::test
