#pragma once
// The spreadsheet driver behind the Excel connection string: statements run on a private
// in-memory SQLite database (back-quoted names such as `Adresse IXAN` work there); close()
// writes its table Z_servicelog as an .xls workbook: one sheet of that name, the column
// names of the table as title row, one text row per table row in insertion order.

#include <string>

#include "events/dataaccess/connection.h"

namespace ixan {

// `path` is the file named in the connection string (see spreadsheetPath()).
// Fails at once when its folder does not exist or is not writable, so a target that
// cannot be written is reported at connect time. Nothing is written before close(); the
// workbook replaces an old file at the path only once it is complete.
OpenResult openSpreadsheetConnection(const std::string& path);

// The file the Excel connection string names: CREATE_DB="PATH" and DBQ=PATH must agree
// when both are given. Empty with a message in `error` when neither names a file.
std::string spreadsheetPath(const std::string& connectionString, std::string& error);

}  // namespace ixan
