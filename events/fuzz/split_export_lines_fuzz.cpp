// Any export text splits into non-empty lines free of LF, CR and NUL, which are
// exactly the complete records: nothing but CR, NUL, LF and the unterminated tail
// is dropped.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "events/export_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<ixan::ExportLine> lines = ixan::splitExportLines(text);

    std::string kept;  // the text without CR and NUL, up to its last LF
    for (const char c : text) {
        if (c != '\r' && c != '\0') {
            kept += c;
        }
    }
    kept.erase(kept.rfind('\n') == std::string::npos ? 0 : kept.rfind('\n') + 1);

    std::string joined;
    for (const ixan::ExportLine& line : lines) {
        if (line.empty() ||
            line.find_first_of(std::string_view("\n\r\0", 3)) != std::string::npos) {
            std::abort();
        }
        joined += line;
        joined += '\n';
    }
    std::string squeezed;  // `kept` without empty lines
    std::size_t start = 0;
    while (start < kept.size()) {
        const std::size_t feed = kept.find('\n', start);
        if (feed > start) {
            squeezed.append(kept, start, feed - start + 1);
        }
        start = feed + 1;
    }
    if (joined != squeezed) {
        std::abort();
    }
    return 0;
}
