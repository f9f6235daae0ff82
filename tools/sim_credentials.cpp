#include "tools/sim_credentials.h"

namespace ixan::sim {

std::optional<FormCredentials> parseFormCredentials(std::string_view body) {
    constexpr std::string_view kUser = "user=";
    constexpr std::string_view kPass = "&pass=";
    if (!body.starts_with(kUser)) {
        return std::nullopt;
    }
    const std::size_t marker = body.find(kPass, kUser.size());
    if (marker == std::string_view::npos) {
        return std::nullopt;
    }
    return FormCredentials{std::string(body.substr(kUser.size(), marker - kUser.size())),
                           std::string(body.substr(marker + kPass.size()))};
}

}  // namespace ixan::sim
