#include "events/dataaccess/date_literal.h"

#include <cstddef>

namespace ixan {
namespace {

constexpr std::size_t kLiteralLength = 21;  // #mm/dd/yyyy hh:mm:ss#

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Two digits at text[pos]; -1 when they are not digits.
int twoDigits(std::string_view text, std::size_t pos) {
    if (!isDigit(text[pos]) || !isDigit(text[pos + 1])) {
        return -1;
    }
    return (text[pos] - '0') * 10 + (text[pos + 1] - '0');
}

// Whether text at pos holds a well-formed literal.
bool isDateLiteral(std::string_view text, std::size_t pos) {
    if (text.size() - pos < kLiteralLength) {
        return false;
    }
    std::string_view lit = text.substr(pos, kLiteralLength);
    if (lit[0] != '#' || lit[3] != '/' || lit[6] != '/' || lit[11] != ' ' || lit[14] != ':' ||
        lit[17] != ':' || lit[20] != '#') {
        return false;
    }
    for (std::size_t i : {7u, 8u, 9u, 10u}) {
        if (!isDigit(lit[i])) {
            return false;
        }
    }
    const int month = twoDigits(lit, 1);
    const int day = twoDigits(lit, 4);
    const int hour = twoDigits(lit, 12);
    const int minute = twoDigits(lit, 15);
    const int second = twoDigits(lit, 18);
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour >= 0 && hour <= 23 &&
           minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

void appendRewritten(std::string& out, std::string_view lit, DateLiteralStyle style) {
    if (style == DateLiteralStyle::OdbcEscape) {
        out += "{ts ";
    }
    out += '\'';
    out.append(lit.substr(7, 4));  // yyyy
    out += '-';
    out.append(lit.substr(1, 2));  // mm
    out += '-';
    out.append(lit.substr(4, 2));  // dd
    out += ' ';
    out.append(lit.substr(12, 8));  // hh:mm:ss
    out += '\'';
    if (style == DateLiteralStyle::OdbcEscape) {
        out += '}';
    }
}

}  // namespace

std::string rewriteAccessDateLiterals(std::string_view sql, DateLiteralStyle style) {
    std::string out;
    out.reserve(sql.size() + 16);
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '`') {
            // Copy the quoted text through its closing quote; a doubled quote continues it.
            std::size_t end = i + 1;
            while (end < sql.size()) {
                if (sql[end] == c) {
                    if (end + 1 < sql.size() && sql[end + 1] == c) {
                        end += 2;
                        continue;
                    }
                    break;
                }
                ++end;
            }
            const std::size_t stop = end < sql.size() ? end + 1 : sql.size();
            out.append(sql.substr(i, stop - i));
            i = stop;
            continue;
        }
        if (c == '#' && isDateLiteral(sql, i)) {
            appendRewritten(out, sql.substr(i, kLiteralLength), style);
            i += kLiteralLength;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

}  // namespace ixan
