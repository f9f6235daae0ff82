#include "export/export_messages.h"

namespace ixan::exporttool {

std::string fileTypeMessage(const std::string& path) {
    return "File type: '" + path + "' unkown";
}

std::string rowLimitMessage(std::size_t rowsNotWritten) {
    const std::string count = std::to_string(rowsNotWritten);
    return "Die Tabelle fasst höchstens 65535 Zeilen: " + count +
           (rowsNotWritten == 1 ? " Zeile wurde" : " Zeilen wurden") + " nicht geschrieben.";
}

std::string rowsRefusedMessage(std::size_t rowsRefused) {
    const std::string count = std::to_string(rowsRefused);
    return count + (rowsRefused == 1 ? " Zeile konnte" : " Zeilen konnten") +
           " nicht in die Zieldatei eingefügt werden (siehe Aktivitätsprotokoll).";
}

}  // namespace ixan::exporttool
