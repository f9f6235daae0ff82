#pragma once
// Building the INSERT statement of one event from the configured "sql" template.

#include <array>
#include <string>
#include <string_view>

#include "events/event_row.h"

namespace ixan {

// "'" + value + "'", with every single quote inside doubled so that the value stays one
// SQL literal whatever it holds.
std::string quoteSqlValue(std::string_view value);

// Fills a printf-style template: each "%s" takes the next value, "%%" gives "%"; any other
// "%" sequence is copied as it stands. A "%s" beyond the supplied values is copied as it
// stands too, so a template with the wrong number of places gives a statement that fails
// in the database instead of reading past the values.
std::string fillTemplate(std::string_view format, const std::string* values, std::size_t count);

// The event date as the database stores it: DD.MM.YYYY HH:MM[:SS], YYYY-MM-DD HH:MM[:SS]
// and YYYY-MM-DDTHH:MM[:SS] become YYYY-MM-DD HH:MM:SS; any other text is returned as is.
std::string normaliseEventDate(std::string_view datum);

// The eight values of a row in column order, each quoted.
std::array<std::string, 8> quotedRowValues(const EventRow& row);

// The statement for a decoded row; the values go in as they stand.
std::string buildInsertStatement(std::string_view sqlTemplate, const EventRow& decodedRow);

}  // namespace ixan
