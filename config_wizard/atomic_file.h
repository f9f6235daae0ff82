#pragma once
// Replacing a file in one step, so that readers see either the old or the new content.

#include <sys/types.h>

#include <string>
#include <string_view>

namespace ixan {

// Writes content to a temporary file in the folder of path, flushes it to disk and
// renames it over path. A symbolic link at path is followed: its target is replaced.
// The new file keeps the mode and, where the process may set them, the owner and group
// of the file it replaces; a new file gets newFileMode.
// Returns false with an English reason (naming the failed call and the system's error
// text) when anything fails; path is then left exactly as it was and no temporary file
// remains. An existing file that the process may not write is not replaced.
bool replaceFileAtomically(const std::string& path, std::string_view content, mode_t newFileMode,
                           std::string& reason);

}  // namespace ixan
