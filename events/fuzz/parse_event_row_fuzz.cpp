// Any line parses into fields without commas that give the line back when it has at
// most seven commas; decoding the row never fails and leaves the free-text fields.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "events/event_texts.h"
#include "events/export_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const ixan::EventRow row = ixan::parseEventRow(line);
    const std::string* fields[] = {&row.IP,       &row.Datum,    &row.Tuername,     &row.Ausloeser,
                                   &row.Ereignis, &row.Benutzer, &row.Kartennummer, &row.Kartentyp};
    std::size_t length = 0;
    for (const std::string* field : fields) {
        if (field->find(',') != std::string::npos) {
            std::abort();
        }
        length += field->size();
    }
    if (length > line.size()) {
        std::abort();
    }
    std::size_t commas = 0;
    for (const char c : line) {
        commas += c == ',' ? 1 : 0;
    }
    if (commas <= 7) {
        std::string rebuilt;
        for (std::size_t i = 0; i < commas; ++i) {
            rebuilt += *fields[i];
            rebuilt += ',';
        }
        rebuilt += row.Kartentyp;
        if (rebuilt != line) {
            std::abort();
        }
    }

    ixan::EventRow decoded = row;
    ixan::decodeEventRow(decoded);
    if (decoded.IP != row.IP || decoded.Datum != row.Datum || decoded.Tuername != row.Tuername ||
        decoded.Benutzer != row.Benutzer) {
        std::abort();
    }
    const std::optional<std::int32_t> module = ixan::readCode(row.Kartentyp);
    if (module != ixan::kFingerprintModule && decoded.Kartennummer != row.Kartennummer) {
        std::abort();
    }
    return 0;
}
