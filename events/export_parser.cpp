#include "events/export_parser.h"

#include <algorithm>
#include <array>

namespace ixan {

std::vector<ExportLine> splitExportLines(std::string_view text) {
    std::string cleaned;
    if (text.find_first_of(std::string_view("\r\0", 2)) != std::string_view::npos) {
        cleaned.reserve(text.size());
        for (const char c : text) {
            if (c != '\r' && c != '\0') {
                cleaned += c;
            }
        }
        text = cleaned;
    }
    std::vector<ExportLine> lines;
    lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t feed = text.find('\n', pos);
        if (feed == std::string_view::npos) {
            break;
        }
        if (feed > pos) {
            lines.emplace_back(text.substr(pos, feed - pos));
        }
        pos = feed + 1;
    }
    return lines;
}

EventRow parseEventRow(std::string_view line) {
    EventRow row;
    const std::array<std::string*, 7> leading = {&row.IP,          &row.Datum,    &row.Tuername,
                                                 &row.Ausloeser,   &row.Ereignis, &row.Benutzer,
                                                 &row.Kartennummer};
    std::size_t pos = 0;
    std::size_t piece = 0;
    for (std::size_t comma = line.find(','); comma != std::string_view::npos;
         comma = line.find(',', pos)) {
        if (piece < leading.size()) {
            *leading[piece] = std::string(line.substr(pos, comma - pos));
        }
        ++piece;
        pos = comma + 1;
    }
    row.Kartentyp = std::string(line.substr(pos));
    return row;
}

}  // namespace ixan
