#pragma once
// pollwerk's entry point: the command table, the usage text and the configTest dump.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "common/config.h"

namespace ixan {

// serviceMain receives the argument vector the dispatcher passes (element 0 is the
// service name).
using ServiceMainFn = std::function<void(const std::vector<std::string>& args)>;

// The table handed to the dispatcher: one entry with an empty name.
struct ServiceTable {
    std::string name;
    ServiceMainFn serviceMain;
};

// The actions behind the command words and the service start. An action left empty is
// unbound: its word prints the usage text, and without serviceMain or a dispatcher the
// no-argument start behaves like a refused dispatcher start.
struct PollwerkActions {
    std::function<bool()> installService;
    std::function<bool()> uninstallService;
    std::function<void()> runPollCycle;
    ServiceMainFn serviceMain;
    // Runs the table; false when the process was not started by the service manager.
    std::function<bool(const ServiceTable&)> startDispatcher;
};

void printUsage(std::ostream& out);

// Writes cfg, headed by the settings store's "path" value read anew.
void dumpConfig(std::ostream& out, const Config& cfg);

// Carries out one start of pollwerk after the configuration has been loaded; args are
// the arguments without the program name. Always returns exit code 0.
int runPollwerkCommand(const std::vector<std::string>& args, const PollwerkActions& actions,
                       std::ostream& out);

// The whole entry: settings store, configuration, then runPollwerkCommand.
int pollwerkMain(int argc, char** argv, const PollwerkActions& actions);

}  // namespace ixan
