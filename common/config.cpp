#include "common/config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>

#include "common/activity_log.h"
#include "common/paths.h"

namespace ixan {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr openForReading(const std::string& path) {
    if (path.empty()) {
        return nullptr;
    }
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return nullptr;
    }
    struct stat st {};
    if (fstat(fileno(file.get()), &st) != 0 || S_ISDIR(st.st_mode)) {
        return nullptr;
    }
    return file;
}

// One line without its line end; a CR directly before the LF belongs to the line end.
bool readLine(std::FILE* file, std::string& line) {
    line.clear();
    int c = 0;
    bool any = false;
    while ((c = std::getc(file)) != EOF) {
        any = true;
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return true;
        }
        line.push_back(static_cast<char>(c));
    }
    return any;
}

void reportMissing(const std::string& path, ConfigReader reader, const ConfigMessageSink& sink) {
    if (reader == ConfigReader::Wizard) {
        if (sink) {
            sink("INI-Datei konnte nicht gefunden werden.\n" + path);
        }
        return;
    }
    std::cout << " [error] unable to find config (" << path << ")\n" << std::flush;
    logActivity("[error] unable to locate config file at " + path);
}

void applyGlobalKey(GlobalSettings& g, const ConfigLine& l, ConfigReader reader) {
    const std::string& k = l.key;
    if (k == "system") {
        g.system = l.value;
    } else if (k == "dsn") {
        g.dsn = l.value;
    } else if (k == "user") {
        g.user = l.value;
    } else if (k == "pass") {
        g.pass = l.value;
    } else if (k == "table") {
        g.table = l.value;
    } else if (k == "log") {
        g.log = l.value;
    } else if (k == "sql") {
        g.sql = l.value;
    } else if (k == "select" && reader != ConfigReader::Pollwerk) {
        g.select = l.value;
    }
}

void applyNodeKey(NodeEntry& n, const ConfigLine& l) {
    const std::string& k = l.key;
    if (k == "host") {
        n.host = l.value;
    } else if (k == "user") {
        n.user = l.value;
    } else if (k == "pass") {
        n.pass = l.value;
    } else if (k == "interval") {
        n.interval = parseNumber(l.value).value_or(n.interval);
    } else if (k == "port") {
        n.port = parseNumber(l.value).value_or(n.port);
    } else if (k == "uri") {
        n.uri = l.value;
    }
}

}  // namespace

ConfigLine parseConfigLine(std::string_view line) {
    ConfigLine out;
    if (!line.empty() && line.front() == '#') {
        return out;
    }
    bool inKey = true;
    for (char c : line) {
        if (c == '=') {
            inKey = false;
        } else if (inKey) {
            out.key.push_back(c);
        } else {
            out.value.push_back(c);
        }
    }
    trimSpaces(out.key);
    trimSpaces(out.value);
    if (out.key.size() >= 2 && out.key.front() == '[' && out.key.back() == ']') {
        out.key = out.key.substr(1, out.key.size() - 2);
        out.isSection = true;
    }
    return out;
}

void trimSpaces(std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    const auto last = text.find_last_not_of(' ');
    text = text.substr(first, last - first + 1);
}

std::optional<std::int32_t> parseNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    bool digits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        digits = true;
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL) {
            return std::nullopt;
        }
    }
    if (!digits) {
        return std::nullopt;
    }
    if (negative) {
        value = -value;
    }
    if (value > 2147483647LL) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

GlobalSettings defaultGlobalSettings(ConfigReader reader) {
    GlobalSettings g;
    g.log = kDefaultLogPath;
    g.sql = reader == ConfigReader::Export ? kExportSqlDefault : kPollwerkSqlDefault;
    g.select = kSelectDefault;
    return g;
}

bool loadConfig(Config& cfg, const std::string& path, ConfigReader reader,
                const ConfigMessageSink& wizardSink) {
    cfg.global = defaultGlobalSettings(reader);
    NodeEntry entry;
    bool inGlobal = false;
    int deviceSections = 0;

    FilePtr file = openForReading(path);
    if (!file) {
        reportMissing(path, reader, wizardSink);
        return false;
    }
    std::string raw;
    while (readLine(file.get(), raw)) {
        const ConfigLine line = parseConfigLine(raw);
        if (line.isSection) {
            if (line.key == "Global") {
                inGlobal = true;
            } else {
                inGlobal = false;
                ++deviceSections;
                if (deviceSections > 1) {
                    cfg.nodes.push_back(entry);
                    entry = NodeEntry{};
                }
                entry.host = line.key;
            }
        }
        if (inGlobal) {
            applyGlobalKey(cfg.global, line, reader);
        } else if (deviceSections > 0) {
            applyNodeKey(entry, line);
        }
    }
    if (deviceSections > 0) {
        cfg.nodes.push_back(entry);
    }
    return true;
}

Config& processConfig() {
    static Config config;
    return config;
}

}  // namespace ixan
