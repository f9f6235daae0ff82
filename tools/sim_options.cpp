#include "tools/sim_options.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>

namespace ixan::sim {
namespace {

template <typename T>
bool parseNumber(std::string_view text, T& value) {
    if (text.empty()) {
        return false;
    }
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

bool parseListen(const std::string& text, ListenAddress& address) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    std::string host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    int port = -1;
    if (host.empty() || !parseNumber(std::string_view(text).substr(colon + 1), port) || port < 0 ||
        port > 65535) {
        return false;
    }
    address.host = host;
    address.port = port;
    return true;
}

}  // namespace

std::string simUsage() {
    return "usage: ixan-sim --listen HOST:PORT [--listen HOST:PORT ...] [options]\n"
           "       ixan-sim --print-export | --print-events [options]\n"
           "Simulated IXAN devices answering the event export request.\n"
           "  --listen HOST:PORT        one device per address; PORT 0 = any free port\n"
           "  --path PATH               export path (default /cgi/lgexport.cgi)\n"
           "  --user NAME --pass WORD   expected credentials (default Service / Fenwix)\n"
           "  --auth-failure 401|empty  answer to wrong credentials (default 401)\n"
           "  --events N                events in each log at start (default 50)\n"
           "  --capacity N              ring mode: most events the log holds\n"
           "  --seed S                  generation seed; device i uses S + i (default 1)\n"
           "  --mode ring|incremental   whole log per export, or only new events (default ring)\n"
           "  --new-per-request K       K new events before each export (default 0)\n"
           "  --status CODE             answer every request with CODE (201..599)\n"
           "  --delay-ms MS             wait MS milliseconds before every answer\n"
           "  --truncate                cut the export off in the middle of its last record\n"
           "  --crlf                    CR LF line ends\n"
           "  --oversize BYTES          a body of BYTES bytes of repeated records, streamed\n"
           "  --close-without-answer    read the request, close without answering\n"
           "  --abort-mid-body          announce the full length, send half, close\n"
           "  --stall-mid-body          announce the full length, send half, then stall\n"
           "  --charset escaped|cp1252|utf8  non-ASCII as %XX (default), raw 1252, raw UTF-8\n"
           "  --record FILE             append the raw bytes of every request to FILE\n"
           "  --print-export            print the first export's body and exit\n"
           "  --print-events            print the first export's events as TAB-separated UTF-8\n"
           "  --device-index I          device the print options describe (default 0)\n"
           "  --threads N               worker threads per device (default 4)\n"
           "  --help                    this text\n";
}

ParsedOptions parseSimOptions(std::span<const std::string> args) {
    ParsedOptions parsed;
    SimOptions& o = parsed.options;

    using Setter = std::function<bool(const std::string&)>;
    const auto number = [](auto& target) {
        return Setter([&target](const std::string& v) { return parseNumber(v, target); });
    };
    const std::map<std::string, Setter, std::less<>> withValue = {
        {"--listen",
         [&](const std::string& v) {
             ListenAddress a;
             if (!parseListen(v, a)) {
                 return false;
             }
             o.listen.push_back(a);
             return true;
         }},
        {"--path",
         [&](const std::string& v) {
             o.path = v;
             return !v.empty() && v.front() == '/';
         }},
        {"--user",
         [&](const std::string& v) {
             o.user = v;
             return true;
         }},
        {"--pass",
         [&](const std::string& v) {
             o.pass = v;
             return true;
         }},
        {"--auth-failure",
         [&](const std::string& v) {
             if (v == "401" || v == "status") {
                 o.authFailure = AuthFailure::Status401;
             } else if (v == "empty") {
                 o.authFailure = AuthFailure::EmptyBody;
             } else {
                 return false;
             }
             return true;
         }},
        {"--events", number(o.events)},
        {"--capacity",
         [&](const std::string& v) {
             std::uint64_t n = 0;
             if (!parseNumber(v, n)) {
                 return false;
             }
             o.capacity = n;
             return true;
         }},
        {"--seed", number(o.seed)},
        {"--mode",
         [&](const std::string& v) {
             if (v == "ring") {
                 o.mode = LogMode::Ring;
             } else if (v == "incremental") {
                 o.mode = LogMode::Incremental;
             } else {
                 return false;
             }
             return true;
         }},
        {"--new-per-request", number(o.newPerRequest)},
        {"--status",
         [&](const std::string& v) {
             return parseNumber(v, o.status) && o.status >= 201 && o.status <= 599;
         }},
        {"--delay-ms",
         [&](const std::string& v) { return parseNumber(v, o.delayMs) && o.delayMs >= 0; }},
        {"--oversize",
         [&](const std::string& v) {
             std::uint64_t n = 0;
             if (!parseNumber(v, n)) {
                 return false;
             }
             o.oversize = n;
             return true;
         }},
        {"--charset",
         [&](const std::string& v) {
             if (v == "escaped") {
                 o.charset = Charset::Escaped;
             } else if (v == "cp1252") {
                 o.charset = Charset::Cp1252;
             } else if (v == "utf8") {
                 o.charset = Charset::Utf8;
             } else {
                 return false;
             }
             return true;
         }},
        {"--record",
         [&](const std::string& v) {
             o.recordFile = v;
             return !v.empty();
         }},
        {"--device-index",
         [&](const std::string& v) { return parseNumber(v, o.deviceIndex) && o.deviceIndex >= 0; }},
        {"--threads",
         [&](const std::string& v) {
             return parseNumber(v, o.threads) && o.threads >= 1 && o.threads <= 256;
         }},
    };
    const std::map<std::string, bool*, std::less<>> flags = {
        {"--truncate", &o.truncate},
        {"--crlf", &o.crlf},
        {"--close-without-answer", &o.closeWithoutAnswer},
        {"--abort-mid-body", &o.abortMidBody},
        {"--stall-mid-body", &o.stallMidBody},
        {"--print-export", &o.printExport},
        {"--print-events", &o.printEvents},
        {"--help", &o.help},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (const auto flag = flags.find(arg); flag != flags.end()) {
            *flag->second = true;
            continue;
        }
        const auto option = withValue.find(arg);
        if (option == withValue.end()) {
            parsed.error = "unknown option: " + arg;
            return parsed;
        }
        if (i + 1 >= args.size()) {
            parsed.error = "missing value for " + arg;
            return parsed;
        }
        const std::string& value = args[++i];
        if (!option->second(value)) {
            parsed.error = "invalid value for " + arg + ": " + value;
            return parsed;
        }
    }
    if (o.help) {
        return parsed;
    }
    if (o.printExport && o.printEvents) {
        parsed.error = "give only one of --print-export and --print-events";
    } else if (o.listen.empty() && !o.printExport && !o.printEvents) {
        parsed.error = "nothing to do: give --listen, --print-export or --print-events";
    } else if (static_cast<int>(o.abortMidBody) + static_cast<int>(o.stallMidBody) +
                   static_cast<int>(o.oversize.has_value()) + static_cast<int>(o.truncate) >
               1) {
        parsed.error =
            "--truncate, --oversize, --abort-mid-body and --stall-mid-body exclude each other";
    }
    return parsed;
}

DeviceLogSettings deviceLogSettings(const SimOptions& options) {
    DeviceLogSettings s;
    s.initialEvents = options.events;
    s.ringCapacity = options.capacity.value_or(std::max(options.events, options.newPerRequest));
    s.newPerExport = options.newPerRequest;
    s.mode = options.mode;
    return s;
}

std::uint64_t deviceSeed(const SimOptions& options, int deviceIndex) {
    return options.seed + static_cast<std::uint64_t>(deviceIndex);
}

}  // namespace ixan::sim
