#pragma once
// One event as the eight texts of a row of Z_servicelog.

#include <string>

namespace ixan {

struct EventRow {
    std::string IP;
    std::string Datum;
    std::string Tuername;
    std::string Ausloeser;
    std::string Ereignis;
    std::string Benutzer;
    std::string Kartennummer;
    std::string Kartentyp;

    friend bool operator==(const EventRow&, const EventRow&) = default;
};

}  // namespace ixan
