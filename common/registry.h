#pragma once
// The settings store: the two locations that are not in the configuration file.
// A text file of name=value lines, named by IXAN_REGISTRY (default /etc/ixan/registry).
// No program writes it; the installation step does.

#include <string>
#include <string_view>

namespace ixan {

// The file the store is read from now.
std::string registryFilePath();

// The named value, read anew at every call; the empty text when the file or the value
// is missing or unreadable. The last occurrence of a name wins.
std::string readRegistryValue(std::string_view name);

}  // namespace ixan
