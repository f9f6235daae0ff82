#pragma once
// The export request to one device: one HTTP/1.0 POST of the credentials, the whole
// answer read back.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ixan {

// Bounds of one exchange. The defaults are the production values; tests shorten them.
struct FetchLimits {
    std::chrono::milliseconds connectTimeout{15000};
    // The transfer is abandoned when no byte arrives for this long (at least 1 s).
    std::chrono::seconds stallTimeout{60};
    // A body above this many bytes is abandoned.
    std::size_t maxBodyBytes = std::size_t{256} * 1024 * 1024;
};

// Posts `body` (sent as it stands, form content type) to http://host:port + uri,
// proxy from the environment. True only for status 200 with the whole body read
// into `received` (raw bytes). On any failure one message goes to the activity log,
// `received` is left untouched and the result is false. Blocks until the exchange
// is over; safe to call from several threads.
bool postExportRequest(const std::string& host, std::int32_t port, const std::string& uri,
                       const std::string& body, std::string& received,
                       const FetchLimits& limits = {});

// Asks one device for its export with the form body "user=<user>&pass=<pass>" (values
// not encoded) and returns the body as UTF-8 with its percent escapes undone. Empty
// when the exchange failed (then the failure and an "unable to get data from ..."
// entry are in the activity log) or the device sent an empty body.
std::string fetchExport(const std::string& host, std::int32_t port, const std::string& uri,
                        const std::string& user, const std::string& pass,
                        const FetchLimits& limits = {});

}  // namespace ixan
