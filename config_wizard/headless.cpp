#include "config_wizard/headless.h"

#include "common/config.h"
#include "common/registry.h"
#include "config_wizard/config_writer.h"
#include "config_wizard/service_helper.h"

namespace ixan {

namespace {

constexpr const char* kProgram = "ixan-config";

// Splits "--name=value"; value is nullopt without "=".
void splitOption(const std::string& arg, std::string& name, std::optional<std::string>& value) {
    const auto eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
    } else {
        name = arg;
        value.reset();
    }
}

int listConfiguration(std::ostream& out, std::ostream& err) {
    const std::string path = readRegistryValue("path");
    Config& cfg = processConfig();
    if (!loadConfig(cfg, path, ConfigReader::Wizard)) {
        if (path.empty()) {
            err << kProgram << ": the settings store " << registryFilePath()
                << " has no value \"path\"\n";
        } else {
            err << kProgram << ": cannot read the configuration file " << path << "\n";
        }
        return kExitFailed;
    }
    out << cfg.global.log << "\n";
    for (const NodeEntry& node : cfg.nodes) {
        if (!node.host.empty()) {
            out << node.host << "\n";
        }
    }
    out.flush();
    return out ? kExitOk : kExitFailed;
}

}  // namespace

std::optional<HeadlessCommand> parseHeadlessArgs(const std::vector<std::string>& args,
                                                 std::string& error) {
    HeadlessCommand cmd;
    bool list = false;
    bool help = false;
    bool haveLog = false;
    bool writeOptions = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name;
        std::optional<std::string> value;
        splitOption(args[i], name, value);
        const bool takesValue = name == "--log" || name == "--device";
        if (value && !takesValue) {
            error = "option " + name + " takes no value";
            return std::nullopt;
        }
        if (takesValue && !value) {
            if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0) {
                error = "option " + name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (name == "--help" || name == "-h") {
            help = true;
        } else if (name == "--list") {
            list = true;
        } else if (name == "--log") {
            if (haveLog) {
                error = "option --log given more than once";
                return std::nullopt;
            }
            haveLog = true;
            writeOptions = true;
            cmd.logPath = *value;
        } else if (name == "--device") {
            if (trimWhiteSpace(*value).empty()) {
                error = "option --device needs a non-blank address";
                return std::nullopt;
            }
            writeOptions = true;
            cmd.devices.push_back(*value);
        } else if (name == "--no-restart") {
            writeOptions = true;
            cmd.restart = false;
        } else if (name.empty() || name[0] != '-') {
            error = "unexpected argument '" + name + "'";
            return std::nullopt;
        } else {
            error = "unknown option " + name;
            return std::nullopt;
        }
    }
    if (help) {
        cmd.mode = HeadlessCommand::Mode::Help;
        return cmd;
    }
    if (list) {
        if (writeOptions) {
            error = "option --list cannot be combined with other options";
            return std::nullopt;
        }
        cmd.mode = HeadlessCommand::Mode::List;
        return cmd;
    }
    if (!haveLog) {
        error = "option --log is required to write the configuration";
        return std::nullopt;
    }
    return cmd;
}

void printHeadlessUsage(std::ostream& out) {
    out << "usage: ixan-config                    open the configuration wizard\n"
           "       ixan-config --log PATH [--device ADDR]... [--no-restart]\n"
           "                                      write the configuration file\n"
           "       ixan-config --list             print the log path and the devices\n"
           "       ixan-config --help             print this text\n"
           "\n"
           "Writing replaces the configuration file named by the value \"path\" of the\n"
           "settings store (IXAN_REGISTRY, default /etc/ixan/registry). The database\n"
           "settings of the current file are kept; every device gets the user \"Service\",\n"
           "the password \"Fenwix\" and an interval of 300 seconds. When at least one\n"
           "device is given, the service IXAN is stopped and started again afterwards,\n"
           "unless --no-restart is given.\n"
           "\n"
           "--list prints the configured log path on the first line and then one device\n"
           "address a line.\n"
           "\n"
           "Exit status: 0 when the file was written (or listed), 1 when it was not,\n"
           "2 for wrong arguments.\n";
}

int runHeadless(const std::vector<std::string>& args, ServiceManager& services, std::ostream& out,
                std::ostream& err) {
    std::string error;
    const auto cmd = parseHeadlessArgs(args, error);
    if (!cmd) {
        err << kProgram << ": " << error << "\n"
            << "Try 'ixan-config --help' for more information.\n";
        return kExitUsage;
    }
    switch (cmd->mode) {
        case HeadlessCommand::Mode::Help:
            printHeadlessUsage(out);
            return kExitOk;
        case HeadlessCommand::Mode::List:
            return listConfiguration(out, err);
        case HeadlessCommand::Mode::Write:
            break;
    }
    std::string reason;
    // The messages are the dialog's German box texts; the console gets the reason.
    if (!WriteConfiguration(cmd->logPath, cmd->devices, {}, &reason)) {
        err << kProgram << ": the configuration file was not written: " << reason << "\n";
        return kExitFailed;
    }
    if (cmd->restart && !cmd->devices.empty()) {
        restartService(services);
    }
    return kExitOk;
}

}  // namespace ixan
