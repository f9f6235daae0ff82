#pragma once
// The bytes a simulated device writes for its events.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/sim_event.h"

namespace ixan::sim {

// How the device writes the characters of its texts. In every form "%" goes out as %25
// and control characters as %XX, so a percent-decoding reader gets the text back.
enum class Charset {
    Escaped,  // Windows-1252 code of every non-ASCII character as %XX: the body is ASCII
    Cp1252,   // non-ASCII characters as raw Windows-1252 bytes
    Utf8,     // non-ASCII characters as raw UTF-8 bytes
};

struct RenderOptions {
    Charset charset = Charset::Escaped;
    bool crlf = false;  // CR LF line ends instead of LF
};

// One field's text (UTF-8) in the device's form.
std::string encodeField(const std::string& text, Charset charset);

// One record: eight fields separated by commas, with its line end.
std::string renderRecord(const SimEvent& event, const RenderOptions& options);

std::string renderExport(std::span<const SimEvent> events, const RenderOptions& options);

// The export cut off in the middle of its last record: the last record keeps its first two
// fields and the first half of the door name, and has no line end. Empty for no events.
std::string renderTruncatedExport(std::span<const SimEvent> events, const RenderOptions& options);

// One line per event, the eight fields as UTF-8 separated by TAB, each line ending in LF.
std::string renderEventTable(std::span<const SimEvent> events);

}  // namespace ixan::sim
