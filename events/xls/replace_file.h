#pragma once
// Writes a file through a temporary file in the same folder, renamed into place.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ixan {

// Writes the concatenation of `parts` to `path`: first to a new temporary file in the
// folder of `path` (created with mode 0666 less the umask), flushed to disk, then
// renamed over `path`. Returns an empty text on success; otherwise why it failed, and
// then `path` is as it was and the temporary file is removed.
std::string replaceFileContents(const std::string& path,
                                const std::vector<std::span<const std::uint8_t>>& parts);

}  // namespace ixan
