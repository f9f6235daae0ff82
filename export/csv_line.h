#pragma once
// The line of one event in the CSV export.

#include <string>

#include "events/event_row.h"

namespace ixan::exporttool {

// Appends "t1";"t2";"t3";"t4";"t5";"t6";"t7";"t8"; and a line feed to line, with every
// double quote inside a text doubled. The texts go in byte for byte otherwise.
void appendCsvLine(const EventRow& row, std::string& line);

}  // namespace ixan::exporttool
