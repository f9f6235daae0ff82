#pragma once
// The credentials of an export request's form body.

#include <optional>
#include <string>
#include <string_view>

namespace ixan::sim {

struct FormCredentials {
    std::string user;
    std::string pass;
};

// Reads a body of the form "user=U&pass=P". The values are not encoded, so the body is
// split at the first "&pass=" after the leading "user=": a user name holding "&pass=" is
// read short, and everything after that marker is the password. Nothing when the body does
// not have that form.
std::optional<FormCredentials> parseFormCredentials(std::string_view body);

}  // namespace ixan::sim
