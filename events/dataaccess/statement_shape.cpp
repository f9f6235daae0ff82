#include "events/dataaccess/statement_shape.h"

namespace ixan {

namespace {

bool isIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Copies a quoted identifier ("..", `..`, [..]) through; false when it does not end.
bool copyQuoted(std::string_view sql, std::size_t& i, char close, std::string& out) {
    out += sql[i++];
    while (i < sql.size()) {
        const char c = sql[i++];
        out += c;
        if (c == close) {
            if (close != ']' && i < sql.size() && sql[i] == close) {
                out += sql[i++];  // doubled quote inside
                continue;
            }
            return true;
        }
    }
    return false;
}

}  // namespace

bool shapeStatement(std::string_view sql, StatementShape& shape) {
    shape.text.clear();
    shape.values.clear();
    shape.text.reserve(sql.size());
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'') {
            if (!shape.text.empty() && isIdentifierChar(shape.text.back())) {
                return false;
            }
            std::string value;
            ++i;
            bool closed = false;
            while (i < sql.size()) {
                if (sql[i] == '\'') {
                    if (i + 1 < sql.size() && sql[i + 1] == '\'') {
                        value += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += sql[i++];
            }
            if (!closed) {
                return false;
            }
            shape.text += '?';
            shape.values.push_back(std::move(value));
        } else if (c == '"' || c == '`' || c == '[') {
            if (!copyQuoted(sql, i, c == '[' ? ']' : c, shape.text)) {
                return false;
            }
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const auto end = sql.find('\n', i);
            const std::size_t stop = end == std::string_view::npos ? sql.size() : end;
            shape.text.append(sql.substr(i, stop - i));
            i = stop;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const auto end = sql.find("*/", i + 2);
            if (end == std::string_view::npos) {
                return false;
            }
            shape.text.append(sql.substr(i, end + 2 - i));
            i = end + 2;
        } else if (c == '?' || c == ':' || c == '@' || c == '$' || c == '#') {
            return false;  // parameters of its own (or an unrewritten date literal)
        } else {
            shape.text += c;
            ++i;
        }
    }
    return true;
}

}  // namespace ixan
