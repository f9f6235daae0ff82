#pragma once
// Builds the BIFF8 "Workbook" stream of a one-sheet workbook.

#include <cstddef>
#include <string>

#include "events/xls/byte_buffer.h"
#include "events/xls/xls_writer.h"

namespace ixan {

struct WorkbookStream {
    Bytes bytes;
    std::size_t rowsNotWritten = 0;
    std::size_t cellsCut = 0;  // cells whose text was cut to kXlsMaxCellChars
};

// Fills `result` from `sheet` (see writeXlsWorkbook for what is written). Returns an
// empty text on success, otherwise why the sheet cannot be written; `result` is then
// unspecified.
std::string buildWorkbookStream(const XlsSheet& sheet, WorkbookStream& result);

}  // namespace ixan
