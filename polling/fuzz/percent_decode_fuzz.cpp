// Device bodies are untrusted: decoding any bytes must neither crash nor grow the
// text, must keep UTF-8 valid, must leave text without "%" as it is, and must give
// the same in place.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "polling/percent_decode.h"
#include "polling/text_encoding.h"

using namespace ixan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);

    const std::string direct = percentDecode(raw);
    if (direct.size() > raw.size()) {
        std::abort();
    }
    if (raw.find('%') == std::string_view::npos && direct != raw) {
        std::abort();
    }
    if (isValidUtf8(raw) && !isValidUtf8(direct)) {
        std::abort();
    }
    std::string inPlace(raw);
    percentDecodeInPlace(inPlace);
    if (inPlace != direct) {
        std::abort();
    }

    // The path a body takes in a fetch: to UTF-8 first, then decoded.
    const std::string text = deviceTextToUtf8(raw);
    if (!isValidUtf8(text) || !isValidUtf8(percentDecode(text))) {
        std::abort();
    }
    return 0;
}
