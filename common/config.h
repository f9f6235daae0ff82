#pragma once
// The shared configuration file: model, line splitter and loader.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ixan {

inline constexpr const char* kDefaultUri = "/cgi/lgexport.cgi";
inline constexpr const char* kPollwerkSqlDefault =
    "INSERT INTO Z_servicelog (IP,Datum,Tuername,Ausloeser,Ereignis,Benutzer,Kartennummer,"
    "Kartentyp) VALUES (%s,%s,%s,%s,%s,%s,%s,%s);";
inline constexpr const char* kExportSqlDefault =
    "INSERT INTO Z_servicelog VALUES (%s,%s,%s,%s,%s,%s,%s,%s);";
inline constexpr const char* kSelectDefault = "SELECT * FROM Z_servicelog";

struct GlobalSettings {
    std::string system;
    std::string dsn;
    std::string user;
    std::string pass;
    std::string table;
    std::string log;
    std::string sql;
    std::string select;  // read by the export tool and the wizard only
};

struct NodeEntry {
    std::string host;
    std::string user;
    std::string pass;
    std::int32_t port = 80;
    std::int32_t interval = 180;
    std::int64_t lastRun = 0;  // in memory only; 0 = never polled in this run
    std::string uri = kDefaultUri;
};

struct Config {
    GlobalSettings global;
    std::vector<NodeEntry> nodes;
};

struct ConfigLine {
    std::string key;
    std::string value;
    bool isSection = false;
};

// The three programs share the reader but differ in a few defaults and in how a
// missing file is reported.
enum class ConfigReader { Pollwerk, Export, Wizard };

// Receives the wizard's message for a missing file; the wizard shows it later in a
// message box, so the loader itself needs no windowing library.
using ConfigMessageSink = std::function<void(const std::string& message)>;

ConfigLine parseConfigLine(std::string_view line);

// Removes leading and trailing blanks (code 32 only) in place.
void trimSpaces(std::string& text);

// Optional sign and decimal digits after leading white space. nullopt when the text
// does not begin with a number or the number does not fit 32 bits; callers then keep
// the value they had.
std::optional<std::int32_t> parseNumber(std::string_view text);

GlobalSettings defaultGlobalSettings(ConfigReader reader);

// Resets the [Global] settings to the reader's defaults and appends the file's devices
// to cfg.nodes (loading twice lists every device twice). Returns whether the file
// could be opened; a missing file has been reported by then.
bool loadConfig(Config& cfg, const std::string& path, ConfigReader reader,
                const ConfigMessageSink& wizardSink = {});

// The process-wide configuration that every program loads once at start.
Config& processConfig();

}  // namespace ixan
