#pragma once
// The result of every data access operation: success, or failure with the driver's text.

#include <string>
#include <utility>

namespace ixan {

struct DbStatus {
    bool ok = true;
    std::string message;  // the driver's error text when !ok; empty on success

    static DbStatus success() { return {}; }
    static DbStatus failure(std::string text) { return {false, std::move(text)}; }
};

}  // namespace ixan
