#pragma once
// ixan-config without its dialog, for scripts and installs without a display:
//   ixan-config --log PATH [--device ADDR]... [--no-restart]
//   ixan-config --list
//   ixan-config --help

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "service/service_manager.h"

namespace ixan {

// Exit codes of the headless mode.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // file not written, or configuration not readable
inline constexpr int kExitUsage = 2;

struct HeadlessCommand {
    enum class Mode { Help, List, Write };
    Mode mode = Mode::Write;
    std::string logPath;
    std::vector<std::string> devices;  // in the order given
    bool restart = true;
};

// Parses the arguments (without the program name). Options take their value as the next
// argument or after "=" (--log=PATH). Returns nullopt with an English message in error
// for an unknown option, a missing or repeated value, a blank device address, a write
// without --log, or --list combined with anything else.
std::optional<HeadlessCommand> parseHeadlessArgs(const std::vector<std::string>& args,
                                                 std::string& error);

void printHeadlessUsage(std::ostream& out);

// Runs one headless command: writes the configuration with the dialog's writer and then,
// unless --no-restart and only when at least one device was given, stops and starts the
// service as the dialog does; or lists the configured log path and device addresses,
// one a line. Errors go to err prefixed "ixan-config: ". Returns one of the exit codes
// above: kExitOk only when the file was written or listed.
int runHeadless(const std::vector<std::string>& args, ServiceManager& services, std::ostream& out,
                std::ostream& err);

}  // namespace ixan
