#include "export/headless.h"

#include <cctype>
#include <iostream>
#include <optional>

#include "common/config.h"
#include "common/registry.h"
#include "export/export_run.h"

#ifndef IXAN_VERSION
#define IXAN_VERSION "unknown"
#endif

namespace ixan::exporttool {
namespace {

constexpr const char* kProgram = "ixan-export";

void printUsage(std::ostream& out) {
    out << "usage: ixan-export --from YYYY-MM-DD --to YYYY-MM-DD FILE\n"
           "       ixan-export --help | --version\n"
           "       ixan-export                  (no arguments: the tray dialog)\n"
           "Writes the events of the days from --from to --to (both included) from the\n"
           "event database into FILE: an Excel 97-2003 workbook when FILE ends in \"xls\",\n"
           "semicolon-separated text when it ends in \"csv\" (any letter case). The file is\n"
           "replaced only when the new one is complete.\n"
           "Settings: the settings store (IXAN_REGISTRY, default /etc/ixan/registry) names\n"
           "the configuration file (\"path\") and the embedded database (\"mdb_path\").\n"
           "Exit status: 0 when FILE was written, 1 when the export failed, 2 for a bad\n"
           "command line.\n";
}

// YYYY-MM-DD with a day that exists.
std::optional<ExportDate> parseDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            return std::nullopt;
        }
    }
    const ExportDate date{std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)),
                          std::stoi(text.substr(8, 2))};
    if (!isValidDate(date)) {
        return std::nullopt;
    }
    return date;
}

class StreamMessages final : public ExportMessages {
  public:
    explicit StreamMessages(std::ostream& err) : err_(err) {}
    void show(const std::string& text) override { err_ << kProgram << ": " << text << '\n'; }

  private:
    std::ostream& err_;
};

struct CommandLine {
    std::optional<ExportDate> from;
    std::optional<ExportDate> to;
    std::optional<std::string> file;
    bool help = false;
    bool version = false;
};

// Fills line from args; on a bad command line returns the reason.
std::optional<std::string> parseArguments(const std::vector<std::string>& args, CommandLine& line) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            if (line.file) {
                return "more than one FILE given: '" + *line.file + "' and '" + arg + "'";
            }
            if (arg.empty()) {
                return std::string("FILE is empty");
            }
            line.file = arg;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            line.help = true;
            continue;
        }
        if (arg == "--version") {
            line.version = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        if (name != "--from" && name != "--to") {
            return "unknown option '" + name + "'";
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                return "option " + name + " needs a date (YYYY-MM-DD)";
            }
            value = args[++i];
        }
        std::optional<ExportDate>& slot = name == "--from" ? line.from : line.to;
        if (slot) {
            return "option " + name + " given twice";
        }
        slot = parseDate(*value);
        if (!slot) {
            return "invalid date for " + name + ": '" + *value +
                   "' (expected YYYY-MM-DD, a day that exists)";
        }
    }
    if (line.help || line.version) {
        return std::nullopt;
    }
    if (!line.from) {
        return std::string("missing --from YYYY-MM-DD");
    }
    if (!line.to) {
        return std::string("missing --to YYYY-MM-DD");
    }
    if (!line.file) {
        return std::string("missing FILE");
    }
    return std::nullopt;
}

}  // namespace

int runHeadlessExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CommandLine line;
    if (const std::optional<std::string> bad = parseArguments(args, line)) {
        err << kProgram << ": " << *bad << "\n"
            << "Try 'ixan-export --help' for more information.\n";
        return kExitUsage;
    }
    if (line.help) {
        printUsage(out);
        return kExitWritten;
    }
    if (line.version) {
        out << kProgram << " " << IXAN_VERSION << '\n';
        return kExitWritten;
    }

    const std::string configPath = readRegistryValue("path");
    if (!loadConfig(processConfig(), configPath, ConfigReader::Export)) {
        // The loader has logged it; the defaults apply as in the dialog.
        err << kProgram << ": cannot read the configuration file '" << configPath
            << "' (settings store " << registryFilePath() << "); using the defaults\n";
    }

    StreamMessages messages(err);
    const ExportRequest request{processConfig().global, *line.from, *line.to, *line.file};
    // The run's progress lines carry the connection string with the database password;
    // from a script or cron they would end up in mails and logs, so they are dropped.
    std::ostream progress(nullptr);
    const ExportRunResult result = ExportEvents(request, messages, progress);
    if (!result.written) {
        err << kProgram << ": nothing written to " << *line.file << '\n';
        return kExitFailed;
    }
    out << result.rowsRead - result.rowsNotWritten - result.rowsRefused << " events exported to "
        << *line.file << '\n';
    return kExitWritten;
}

int runHeadlessExport(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    return runHeadlessExport(args, std::cout, std::cerr);
}

}  // namespace ixan::exporttool
