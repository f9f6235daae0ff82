// Stands in for the .xls writer while the library ixan_xls is not part of the build:
// every spreadsheet close then fails with a clear message instead of writing a file.
#include "events/xls/xls_writer.h"

namespace ixan {

XlsWriteResult writeXlsWorkbook(const std::string& path, const XlsSheet& /*sheet*/) {
    return {false, "cannot write " + path + ": the .xls writer is not part of this build", 0};
}

}  // namespace ixan
