// Fetches one export from a device URL and splits, parses and decodes every line, as
// a store run does before its inserts; prints the rate in events per second.
//
// Usage: fetch_parse_bench http://HOST[:PORT][/PATH] USER PASS

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "common/config.h"
#include "events/event_texts.h"
#include "events/export_parser.h"
#include "polling/export_request.h"

namespace {

struct Target {
    std::string host;
    std::int32_t port = 80;
    std::string uri = ixan::kDefaultUri;
};

std::optional<Target> parseUrl(std::string_view url) {
    constexpr std::string_view kScheme = "http://";
    if (!url.starts_with(kScheme)) {
        return std::nullopt;
    }
    url.remove_prefix(kScheme.size());
    Target target;
    const std::size_t slash = url.find('/');
    std::string_view authority = url.substr(0, slash);
    if (slash != std::string_view::npos) {
        target.uri = std::string(url.substr(slash));
    }
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos) {
        const std::optional<std::int32_t> port = ixan::parseNumber(authority.substr(colon + 1));
        if (!port) {
            return std::nullopt;
        }
        target.port = *port;
        authority = authority.substr(0, colon);
    }
    target.host = std::string(authority);
    if (target.host.empty()) {
        return std::nullopt;
    }
    return target;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s http://HOST[:PORT][/PATH] USER PASS\n", argv[0]);
        return 2;
    }
    const std::optional<Target> target = parseUrl(argv[1]);
    if (!target) {
        std::fprintf(stderr, "not an http URL: %s\n", argv[1]);
        return 2;
    }
    // Failures of the fetch are shown instead of going to the production log.
    ixan::processConfig().global.log = "/dev/stderr";

    const auto start = std::chrono::steady_clock::now();
    const std::string text =
        ixan::fetchExport(target->host, target->port, target->uri, argv[2], argv[3]);
    const double fetchSeconds = secondsSince(start);

    std::size_t events = 0;
    std::size_t checksum = 0;  // keeps the decoding from being optimised away
    for (const ixan::ExportLine& line : ixan::splitExportLines(text)) {
        ixan::EventRow row = ixan::parseEventRow(line);
        ixan::decodeEventRow(row);
        checksum += row.Ereignis.size() + row.Kartentyp.size();
        ++events;
    }
    const double totalSeconds = secondsSince(start);
    if (events == 0) {
        std::fprintf(stderr, "no events received\n");
        return 1;
    }
    std::printf("events=%zu bytes=%zu fetch_s=%.4f total_s=%.4f events_per_s=%.0f check=%zu\n",
                events, text.size(), fetchSeconds, totalSeconds,
                static_cast<double>(events) / totalSeconds, checksum);
    return 0;
}
