#include "events/xls/xls_writer.h"

#include "events/xls/compound_file.h"
#include "events/xls/replace_file.h"
#include "events/xls/workbook_stream.h"

namespace ixan {
namespace {

std::string counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string notes(const WorkbookStream& stream) {
    std::string text;
    if (stream.rowsNotWritten > 0) {
        text = counted(stream.rowsNotWritten, "row", "rows") +
               " not written: a sheet holds at most 65535 data rows";
    }
    if (stream.cellsCut > 0) {
        if (!text.empty()) {
            text += "; ";
        }
        text += counted(stream.cellsCut, "text", "texts") +
                " cut to 32767 characters, the most a cell holds";
    }
    return text;
}

}  // namespace

XlsWriteResult writeXlsWorkbook(const std::string& path, const XlsSheet& sheet) {
    XlsWriteResult result;
    WorkbookStream stream;
    if (std::string problem = buildWorkbookStream(sheet, stream); !problem.empty()) {
        result.message = "cannot write '" + path + "': " + problem;
        return result;
    }
    if (stream.bytes.size() < kCompoundMiniStreamCutoff) {
        // Padding keeps the stream out of the mini stream; readers stop at the EOF record.
        stream.bytes.resize(kCompoundMiniStreamCutoff, 0);
    }
    const CompoundFileLayout layout = layoutCompoundFile(stream.bytes.size());
    const Bytes padding(layout.streamPadding, 0);
    if (std::string problem =
            replaceFileContents(path, {layout.header, stream.bytes, padding, layout.tail});
        !problem.empty()) {
        result.message = problem;
        return result;
    }
    result.ok = true;
    result.rowsNotWritten = stream.rowsNotWritten;
    result.message = notes(stream);
    return result;
}

}  // namespace ixan
