#pragma once
// Reading ODBC-style connection strings: KEY=VALUE pairs separated by semicolons.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ixan {

struct ConnectionAttribute {
    std::string key;    // blanks around it removed
    std::string value;  // blanks around it removed; {...} and "..." unwrapped ("}}" -> "}")
};

// Splits at semicolons outside {...} and "..."; empty parts are skipped.
std::vector<ConnectionAttribute> parseConnectionString(std::string_view text);

// The value of the first attribute whose key equals key ignoring ASCII case.
std::optional<std::string> findConnectionAttribute(const std::vector<ConnectionAttribute>& attrs,
                                                   std::string_view key);

enum class DriverKind { AccessFile, Spreadsheet, Odbc };

// Access and Excel driver names compare ignoring ASCII case.
DriverKind classifyConnectionString(const std::vector<ConnectionAttribute>& attrs);

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b);

}  // namespace ixan
