#pragma once
// Sheets the writer tests use, with what readers must show for them.

#include <cstddef>
#include <string>
#include <vector>

#include "events/xls/xls_writer.h"

namespace ixan::test {

inline const std::vector<std::string> kEventTitles = {"Adresse IXAN", "Datum/Zeit",  "Türname",
                                                      "Auslöser",     "Ereignis",    "Name",
                                                      "Merkmal",      "Zugangsmodul"};

// `rows` events as the export writes them: door names, triggers and event texts repeat,
// date and card number change from row to row.
XlsSheet eventSheet(std::size_t rows);

struct SampleSheet {
    XlsSheet sheet;
    std::vector<std::vector<std::string>> expected;  // title row first
    std::size_t cellsCut = 0;
};

// One row per kind of text: umlauts, characters beyond Latin-1, apostrophes, quotes,
// empty texts, line breaks, invalid UTF-8, texts longer than a record and longer than
// a cell holds.
SampleSheet mixedTextSheet();

// "0123456789" repeated up to `length` characters.
std::string digits(std::size_t length);

}  // namespace ixan::test
