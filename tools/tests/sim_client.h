#pragma once
// Test-side clients for ixan-sim: libcurl as the collector uses it, a raw socket, and a
// percent decoder of its own.

#include <curl/curl.h>

#include <string>

#include "tools/sim_render.h"

namespace ixan::sim::test {

inline const std::string kExportPath = "/cgi/lgexport.cgi";
inline const std::string kGoodBody = "user=Service&pass=Fenwix";

struct PostOptions {
    std::string method = "POST";
    long timeoutMs = 10000;
    bool keepBody = true;  // false: only count the bytes
};

struct HttpReply {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
    std::size_t bytes = 0;
    std::string error;
};

// One HTTP/1.0 request to 127.0.0.1:port with the collector's headers.
HttpReply post(int port, const std::string& path, const std::string& body,
               const PostOptions& options = {});

struct RawReply {
    std::string bytes;    // everything received until the peer closed
    bool closed = false;  // the peer closed before the time-out
};

// Sends `request` as it stands and reads until the peer closes or the time-out passes.
RawReply rawExchange(int port, const std::string& request, int timeoutMs = 10000);

// Undoes the device's escapes independently of the simulator's code: %XX gives the code
// point XX; raw bytes of 0x80 and above are Latin-1 code points (Escaped, Cp1252) or are kept
// as UTF-8 (Utf8). The result is UTF-8.
std::string decodeBody(const std::string& body, Charset charset);

// Decoded export text to the --print-events form: CR removed, commas to TAB.
std::string exportToTable(const std::string& decoded);

}  // namespace ixan::sim::test
