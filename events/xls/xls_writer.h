#pragma once
// Writes one sheet of text cells as an Excel 97-2003 workbook (.xls, BIFF8 in a compound file).

#include <cstddef>
#include <string>
#include <vector>

namespace ixan {

// One worksheet: the title row and the data rows, all texts in UTF-8.
struct XlsSheet {
    std::string name;
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
};

struct XlsWriteResult {
    bool ok = false;
    // Failure: why nothing was written. Success: empty, or notes on what was cut
    // (rows beyond the sheet limit, texts beyond the cell limit).
    std::string message;
    std::size_t rowsNotWritten = 0;
};

// A sheet holds 65,536 rows: the title row and 65,535 data rows.
inline constexpr std::size_t kXlsMaxDataRows = 65535;
// Excel's limit for the text of one cell, in UTF-16 code units.
inline constexpr std::size_t kXlsMaxCellChars = 32767;
inline constexpr std::size_t kXlsMaxColumns = 256;

// Writes `sheet` as a workbook with this one sheet to `path`: the titles in row 1, then
// one row of text cells per entry of `rows`, in order.
//
// - Every text becomes a text cell; an empty text becomes a text cell holding the empty
//   string (every reader shows it empty, and each row keeps all its cells).
// - Invalid UTF-8 is written as U+FFFD. Texts longer than kXlsMaxCellChars are cut to
//   that length; the message says how many cells were cut, ok stays true.
// - Rows beyond kXlsMaxDataRows are not written; rowsNotWritten counts them, the
//   message says so, ok stays true.
// - The file is written to a temporary file in the same folder and renamed over `path`.
//   On failure ok is false, the message says why, any old file at `path` is left as it
//   was and no temporary file is left behind.
// - Fails without writing for a sheet name Excel refuses (empty, over 31 characters,
//   holding : \ / ? * [ ] or a control character, beginning or ending with an
//   apostrophe) and for more than kXlsMaxColumns texts in a row.
// - A symbolic link at `path` is replaced by the new file, not followed.
// Reads `sheet` only; does not keep references to it after returning.
XlsWriteResult writeXlsWorkbook(const std::string& path, const XlsSheet& sheet);

}  // namespace ixan
