#pragma once
// Command line of ixan-sim.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/sim_device_log.h"
#include "tools/sim_render.h"

namespace ixan::sim {

struct ListenAddress {
    std::string host;
    int port = 0;  // 0: the system picks a free port
};

enum class AuthFailure {
    Status401,  // status 401 with a short page
    EmptyBody,  // status 200 with an empty body
};

struct SimOptions {
    std::vector<ListenAddress> listen;
    std::string path = "/cgi/lgexport.cgi";
    std::string user = "Service";
    std::string pass = "Fenwix";
    AuthFailure authFailure = AuthFailure::Status401;
    std::uint64_t events = 50;
    std::optional<std::uint64_t> capacity;  // ring capacity; default max(events, newPerRequest)
    std::uint64_t seed = 1;
    LogMode mode = LogMode::Ring;
    std::uint64_t newPerRequest = 0;
    int status = 0;  // 0: no injected status
    int delayMs = 0;
    bool truncate = false;
    bool crlf = false;
    std::optional<std::uint64_t> oversize;
    bool closeWithoutAnswer = false;
    bool abortMidBody = false;
    bool stallMidBody = false;
    Charset charset = Charset::Escaped;
    std::string recordFile;  // empty: no recording
    bool printExport = false;
    bool printEvents = false;
    int deviceIndex = 0;  // device the print options describe
    int threads = 4;      // worker threads per device
    bool help = false;
};

struct ParsedOptions {
    SimOptions options;
    std::string error;  // empty when the command line is valid
};

// args excludes the program name.
ParsedOptions parseSimOptions(std::span<const std::string> args);

std::string simUsage();

// The log settings of device `deviceIndex` under these options.
DeviceLogSettings deviceLogSettings(const SimOptions& options);

// The device seed: --seed plus the device's index.
std::uint64_t deviceSeed(const SimOptions& options, int deviceIndex);

}  // namespace ixan::sim
