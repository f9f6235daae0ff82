#pragma once
// The code tables that turn a device's numeric codes into the stored German texts
// (UTF-8).

#include <cstdint>
#include <optional>
#include <string_view>

#include "events/event_row.h"

namespace ixan {

// Each gives the table's text, or the empty text for a code outside the table
// (negative codes included). The texts have static storage.
std::string_view eventText(std::int32_t code);    // Ereignis, 0 to 31
std::string_view triggerText(std::int32_t code);  // Ausloeser, 0 to 12
std::string_view moduleText(std::int32_t code);   // Kartentyp, 0 to 4
std::string_view fingerText(std::int32_t code);   // Kartennummer of module 3, 0 to 10

// The module code of the fingerprint reader, whose Kartennummer is a finger code.
inline constexpr std::int32_t kFingerprintModule = 3;

// A code field read as the device means it: leading white space, an optional sign,
// then decimal digits up to the first other character; no digits gives 0. nullopt
// when the number does not fit 32 bits, which no table holds.
std::optional<std::int32_t> readCode(std::string_view field);

// Replaces Ereignis, Kartentyp and Ausloeser by their texts, and Kartennummer by its
// finger text when the module code is 3; IP, Datum, Tuername and Benutzer, and
// Kartennummer of every other module, stay as they are.
void decodeEventRow(EventRow& row);

}  // namespace ixan
