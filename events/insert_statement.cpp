#include "events/insert_statement.h"

#include <cstdio>

namespace ixan {

namespace {

// Reads minWidth to maxWidth decimal digits at pos.
bool readNumber(std::string_view text, std::size_t& pos, std::size_t minWidth, std::size_t maxWidth,
                int& value) {
    std::size_t n = 0;
    value = 0;
    while (pos + n < text.size() && n < maxWidth && text[pos + n] >= '0' && text[pos + n] <= '9') {
        value = value * 10 + (text[pos + n] - '0');
        ++n;
    }
    if (n < minWidth) {
        return false;
    }
    pos += n;
    return true;
}

bool expect(std::string_view text, std::size_t& pos, char c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

bool isLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

bool validDate(int y, int m, int d) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1) {
        return false;
    }
    const int last = (m == 2 && isLeapYear(y)) ? 29 : kDays[m - 1];
    return d <= last;
}

// HH:MM[:SS] up to the end of the text.
bool readTime(std::string_view text, std::size_t pos, int& h, int& mi, int& s) {
    s = 0;
    if (!readNumber(text, pos, 1, 2, h) || !expect(text, pos, ':') ||
        !readNumber(text, pos, 2, 2, mi)) {
        return false;
    }
    if (pos < text.size() && (!expect(text, pos, ':') || !readNumber(text, pos, 2, 2, s))) {
        return false;
    }
    return pos == text.size() && h <= 23 && mi <= 59 && s <= 59;
}

}  // namespace

std::string quoteSqlValue(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    out += '\'';
    for (char c : value) {
        if (c == '\'') {
            out += '\'';
        }
        out += c;
    }
    out += '\'';
    return out;
}

std::string fillTemplate(std::string_view format, const std::string* values, std::size_t count) {
    std::string out;
    out.reserve(format.size() + 64 * count);
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (format[i + 1] == 's' && next < count) {
                out += values[next++];
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

std::string normaliseEventDate(std::string_view datum) {
    int y = 0, m = 0, d = 0;
    std::size_t pos = 0;
    bool dateOk = false;
    if (readNumber(datum, pos, 1, 2, d) && expect(datum, pos, '.')) {
        dateOk = readNumber(datum, pos, 1, 2, m) && expect(datum, pos, '.') &&
                 readNumber(datum, pos, 4, 4, y) && expect(datum, pos, ' ');
    } else {
        pos = 0;
        dateOk = readNumber(datum, pos, 4, 4, y) && expect(datum, pos, '-') &&
                 readNumber(datum, pos, 1, 2, m) && expect(datum, pos, '-') &&
                 readNumber(datum, pos, 1, 2, d) &&
                 (expect(datum, pos, ' ') || expect(datum, pos, 'T'));
    }
    int h = 0, mi = 0, s = 0;
    if (!dateOk || !validDate(y, m, d) || !readTime(datum, pos, h, mi, s)) {
        return std::string(datum);
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, h, mi, s);
    return buf;
}

std::array<std::string, 8> quotedRowValues(const EventRow& row) {
    return {quoteSqlValue(row.IP),           quoteSqlValue(row.Datum),
            quoteSqlValue(row.Tuername),     quoteSqlValue(row.Ausloeser),
            quoteSqlValue(row.Ereignis),     quoteSqlValue(row.Benutzer),
            quoteSqlValue(row.Kartennummer), quoteSqlValue(row.Kartentyp)};
}

std::string buildInsertStatement(std::string_view sqlTemplate, const EventRow& decodedRow) {
    const auto values = quotedRowValues(decodedRow);
    return fillTemplate(sqlTemplate, values.data(), values.size());
}

}  // namespace ixan
