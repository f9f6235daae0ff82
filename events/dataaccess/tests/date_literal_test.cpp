#include "events/dataaccess/date_literal.h"

#include <gtest/gtest.h>

#include <string>

namespace ixan {
namespace {

struct LiteralCase {
    const char* input;
    const char* sqlite;  // expected for DateLiteralStyle::SqliteText
    const char* odbc;    // expected for DateLiteralStyle::OdbcEscape
};

const LiteralCase kCases[] = {
    // The export run's filter.
    {"SELECT * FROM Z_servicelog WHERE Z_servicelog.Datum>=#03/05/2007 00:00:00# AND "
     "Z_servicelog.Datum<=#03/09/2007 23:59:59#;",
     "SELECT * FROM Z_servicelog WHERE Z_servicelog.Datum>='2007-03-05 00:00:00' AND "
     "Z_servicelog.Datum<='2007-03-09 23:59:59';",
     "SELECT * FROM Z_servicelog WHERE Z_servicelog.Datum>={ts '2007-03-05 00:00:00'} AND "
     "Z_servicelog.Datum<={ts '2007-03-09 23:59:59'};"},
    {"#01/02/2007 00:00:00#", "'2007-01-02 00:00:00'", "{ts '2007-01-02 00:00:00'}"},
    {"#12/31/1999 23:59:59##01/01/2000 00:00:00#", "'1999-12-31 23:59:59''2000-01-01 00:00:00'",
     "{ts '1999-12-31 23:59:59'}{ts '2000-01-01 00:00:00'}"},
    // Quoted text is never touched; a doubled quote does not end it.
    {"'#03/05/2007 00:00:00#'", "'#03/05/2007 00:00:00#'", "'#03/05/2007 00:00:00#'"},
    {"'it''s #03/05/2007 00:00:00#' = #03/05/2007 00:00:00#",
     "'it''s #03/05/2007 00:00:00#' = '2007-03-05 00:00:00'",
     "'it''s #03/05/2007 00:00:00#' = {ts '2007-03-05 00:00:00'}"},
    {"\"#03/05/2007 00:00:00#\"", "\"#03/05/2007 00:00:00#\"", "\"#03/05/2007 00:00:00#\""},
    {"`a``#03/05/2007 00:00:00#`", "`a``#03/05/2007 00:00:00#`", "`a``#03/05/2007 00:00:00#`"},
    {"'''' #03/05/2007 00:00:00#", "'''' '2007-03-05 00:00:00'", "'''' {ts '2007-03-05 00:00:00'}"},
    // An unterminated quote runs to the end.
    {"'open #03/05/2007 00:00:00#", "'open #03/05/2007 00:00:00#", "'open #03/05/2007 00:00:00#"},
    // Malformed literals stay as they stand.
    {"#3/5/2007 00:00:00#", "#3/5/2007 00:00:00#", "#3/5/2007 00:00:00#"},
    {"#03/05/07 00:00:00#", "#03/05/07 00:00:00#", "#03/05/07 00:00:00#"},
    {"#03-05-2007 00:00:00#", "#03-05-2007 00:00:00#", "#03-05-2007 00:00:00#"},
    {"#13/05/2007 00:00:00#", "#13/05/2007 00:00:00#", "#13/05/2007 00:00:00#"},
    {"#00/05/2007 00:00:00#", "#00/05/2007 00:00:00#", "#00/05/2007 00:00:00#"},
    {"#03/32/2007 00:00:00#", "#03/32/2007 00:00:00#", "#03/32/2007 00:00:00#"},
    {"#03/05/2007 24:00:00#", "#03/05/2007 24:00:00#", "#03/05/2007 24:00:00#"},
    {"#03/05/2007 00:60:00#", "#03/05/2007 00:60:00#", "#03/05/2007 00:60:00#"},
    {"#03/05/2007 00:00:00", "#03/05/2007 00:00:00", "#03/05/2007 00:00:00"},
    {"#03/05/2007 00:00#", "#03/05/2007 00:00#", "#03/05/2007 00:00#"},
    {"#03/05/2007T00:00:00#", "#03/05/2007T00:00:00#", "#03/05/2007T00:00:00#"},
    {"#a3/05/2007 00:00:00#", "#a3/05/2007 00:00:00#", "#a3/05/2007 00:00:00#"},
    {"##", "##", "##"},
    {"#", "#", "#"},
    {"", "", ""},
    {"SELECT 1", "SELECT 1", "SELECT 1"},
};

TEST(DateLiteral, RewritesOutsideQuotesAndLeavesTheRest) {
    for (const LiteralCase& c : kCases) {
        EXPECT_EQ(rewriteAccessDateLiterals(c.input, DateLiteralStyle::SqliteText), c.sqlite)
            << "input: " << c.input;
        EXPECT_EQ(rewriteAccessDateLiterals(c.input, DateLiteralStyle::OdbcEscape), c.odbc)
            << "input: " << c.input;
    }
}

TEST(DateLiteral, EveryPrefixOfALiteralIsLeftAlone) {
    const std::string literal = "#03/05/2007 10:20:30#";
    for (std::size_t n = 0; n < literal.size(); ++n) {
        const std::string prefix = literal.substr(0, n);
        EXPECT_EQ(rewriteAccessDateLiterals(prefix, DateLiteralStyle::SqliteText), prefix);
        EXPECT_EQ(rewriteAccessDateLiterals(prefix, DateLiteralStyle::OdbcEscape), prefix);
    }
    EXPECT_EQ(rewriteAccessDateLiterals(literal, DateLiteralStyle::SqliteText),
              "'2007-03-05 10:20:30'");
}

}  // namespace
}  // namespace ixan
