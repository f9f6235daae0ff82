#include "common/registry.h"

#include <cstdlib>
#include <fstream>

#include "common/paths.h"

namespace ixan {

std::string registryFilePath() {
    const char* env = std::getenv(kRegistryEnv);
    return (env != nullptr && *env != '\0') ? std::string(env) : std::string(kDefaultRegistryPath);
}

std::string readRegistryValue(std::string_view name) {
    std::ifstream in(registryFilePath(), std::ios::binary);
    if (!in) {
        return {};
    }
    std::string result;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        if (std::string_view(line).substr(0, eq) == name) {
            result = line.substr(eq + 1);
        }
    }
    return result;
}

}  // namespace ixan
