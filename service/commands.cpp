#include "service/commands.h"

#include <cstdio>
#include <iostream>

#include "common/registry.h"

namespace ixan {

namespace {

bool equalsIgnoreAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string usageLine(const char* word, const char* text) {
    char buf[128];
    std::snprintf(buf, sizeof buf, " %-20s %s\n", word, text);
    return buf;
}

}  // namespace

void printUsage(std::ostream& out) {
    out << "\n"
        << "IXAN Pollwerk - collects the event logs of IXAN devices\n"
        << " usage: pollwerk command\n"
        << " commands:\n"
        << usageLine("installService", "Installs the service")
        << usageLine("uninstallService", "Uninstalls the service")
        << usageLine("configTest", "Test the config file") << "\n\n"
        << std::flush;
}

void dumpConfig(std::ostream& out, const Config& cfg) {
    const GlobalSettings& g = cfg.global;
    out << "dumping config file at '" << readRegistryValue("path") << "'" << std::endl;
    out << "[Global]" << std::endl;
    out << "\tsystem......: " << g.system << std::endl;
    out << "\tdsn.........: " << g.dsn << std::endl;
    out << "\tuser........: " << g.user << std::endl;
    out << "\tpass........: " << g.pass << std::endl;
    out << "\ttable.......: " << g.table << std::endl;
    out << "\tlog.........: " << g.log << std::endl;
    for (const NodeEntry& n : cfg.nodes) {
        out << std::endl;
        out << "[" << n.host << "]" << std::endl;
        out << "\tuser........: " << n.user << std::endl;
        out << "\tpass........: " << n.pass << std::endl;
        out << "\turi.........: " << n.uri << std::endl;
        out << "\tport........: " << n.port << std::endl;
        out << "\tinterval....: " << n.interval << std::endl;
    }
    if (cfg.nodes.empty()) {
        out << std::endl;
        out << " [error] no nodes in config" << std::endl;
    }
}

int runPollwerkCommand(const std::vector<std::string>& args, const PollwerkActions& actions,
                       std::ostream& out) {
    if (args.size() == 1) {
        const std::string& word = args.front();
        if (equalsIgnoreAsciiCase(word, "installService") && actions.installService) {
            actions.installService();
        } else if (equalsIgnoreAsciiCase(word, "uninstallService") && actions.uninstallService) {
            actions.uninstallService();
        } else if (equalsIgnoreAsciiCase(word, "configTest")) {
            dumpConfig(out, processConfig());
        } else if (equalsIgnoreAsciiCase(word, "debug") && actions.runPollCycle) {
            actions.runPollCycle();
        } else {
            printUsage(out);
        }
    } else if (args.empty()) {
        const ServiceTable table{"", actions.serviceMain};
        const bool started =
            table.serviceMain && actions.startDispatcher && actions.startDispatcher(table);
        if (!started) {
            printUsage(out);
        }
    } else {
        printUsage(out);
    }
    return 0;
}

int pollwerkMain(int argc, char** argv, const PollwerkActions& actions) {
    loadConfig(processConfig(), readRegistryValue("path"), ConfigReader::Pollwerk);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    return runPollwerkCommand(args, actions, std::cout);
}

}  // namespace ixan
