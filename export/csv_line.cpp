#include "export/csv_line.h"

#include <string_view>

namespace ixan::exporttool {
namespace {

void appendField(std::string_view text, std::string& line) {
    line += '"';
    for (std::size_t quote; (quote = text.find('"')) != std::string_view::npos;) {
        line.append(text.data(), quote + 1);
        line += '"';
        text.remove_prefix(quote + 1);
    }
    line.append(text.data(), text.size());
    line += "\";";
}

}  // namespace

void appendCsvLine(const EventRow& row, std::string& line) {
    appendField(row.IP, line);
    appendField(row.Datum, line);
    appendField(row.Tuername, line);
    appendField(row.Ausloeser, line);
    appendField(row.Ereignis, line);
    appendField(row.Benutzer, line);
    appendField(row.Kartennummer, line);
    appendField(row.Kartentyp, line);
    line += '\n';
}

}  // namespace ixan::exporttool
