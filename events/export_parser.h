#pragma once
// The export text format: one event per line feed terminated line, fields separated
// by commas, no quoting.

#include <string>
#include <string_view>
#include <vector>

#include "events/event_row.h"

namespace ixan {

// One record without its line feed, carriage returns and NUL bytes removed.
using ExportLine = std::string;

// The non-empty lines of `text` in their order. Carriage returns and NUL bytes are
// dropped wherever they stand (a NUL costs no later line); text after the last line
// feed is no record and is not returned. Never fails.
std::vector<ExportLine> splitExportLines(std::string_view text);

// Cuts one line at every comma: pieces 1 to 7 fill IP to Kartennummer, the text
// after the last comma fills Kartentyp, pieces in between are dropped; absent fields
// stay empty. Nothing is trimmed or checked. Never fails.
EventRow parseEventRow(std::string_view line);

}  // namespace ixan
