#include "config_wizard/config_writer.h"

#include "common/registry.h"
#include "common/replacing_file.h"

namespace ixan {

namespace {

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
constexpr const char* kLineEnd = "\r\n";

bool hasControlCharacter(std::string_view text) {
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) {
            return true;
        }
    }
    return false;
}

// Replaces the file at path (or a symbolic link's target) with text: the old file's
// mode, owner and group stay, a file the process may not write is refused. False with
// the failed call, its file and the system's error text in reason.
bool replaceConfigFile(const std::string& path, std::string_view text, std::string& reason) {
    ReplacingFile file(path, ReplacingFileOptions{.newFileMode = kNewConfigFileMode,
                                                  .exactMode = true,
                                                  .keepMode = true,
                                                  .keepOwner = true,
                                                  .followSymlink = true,
                                                  .refuseUnwritable = true});
    if (file.write(text) && file.commit()) {
        return true;
    }
    reason = file.error();
    return false;
}

std::optional<std::string> unreadableReason(std::string_view text) {
    if (text.find('=') != std::string_view::npos) {
        return "contains \"=\"";
    }
    if (hasControlCharacter(text)) {
        return "contains a control character";
    }
    return std::nullopt;
}

std::string germanDetail(const UnreadableEntry& entry) {
    if (entry.isLogPath) {
        return "Der Pfad der Log-Datei \"" + entry.text + "\" kann nicht gespeichert werden.";
    }
    return "Der Eintrag \"" + entry.text + "\" kann nicht als IXAN gespeichert werden.";
}

}  // namespace

std::string trimWhiteSpace(std::string_view text) {
    const auto first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kWhiteSpace);
    return std::string(text.substr(first, last - first + 1));
}

std::string composeConfiguration(const GlobalSettings& global, std::string_view logPath,
                                 const std::vector<std::string>& devices) {
    std::string text;
    text.append("[Global]").append(kLineEnd);
    text.append("dsn=").append(global.dsn).append(kLineEnd);
    text.append("user=").append(global.user).append(kLineEnd);
    text.append("pass=").append(global.pass).append(kLineEnd);
    text.append("log=").append(logPath).append(kLineEnd);
    for (const std::string& entry : devices) {
        const std::string address = trimWhiteSpace(entry);
        if (address.empty()) {
            continue;
        }
        text.append("[").append(address).append("]").append(kLineEnd);
        text.append("user=").append(kWizardDeviceUser).append(kLineEnd);
        text.append("pass=").append(kWizardDevicePass).append(kLineEnd);
        text.append("interval=").append(kWizardDeviceInterval).append(kLineEnd);
    }
    return text;
}

std::optional<UnreadableEntry> findUnreadableEntry(std::string_view logPath,
                                                   const std::vector<std::string>& devices) {
    if (auto why = unreadableReason(logPath)) {
        return UnreadableEntry{true, std::string(logPath), *why};
    }
    if (!logPath.empty() && (logPath.front() == ' ' || logPath.back() == ' ')) {
        return UnreadableEntry{true, std::string(logPath), "begins or ends with a blank"};
    }
    for (const std::string& entry : devices) {
        const std::string address = trimWhiteSpace(entry);
        if (address.empty()) {
            continue;
        }
        if (auto why = unreadableReason(address)) {
            return UnreadableEntry{false, address, *why};
        }
        if (address == "Global" || address == "host" || address == "uri") {
            return UnreadableEntry{false, address, "is a name the configuration reader reserves"};
        }
    }
    return std::nullopt;
}

bool WriteConfiguration(const std::string& logPath, const std::vector<std::string>& devices,
                        const WizardMessageFn& message, std::string* reason) {
    auto tell = [&](const std::string& text) {
        if (message) {
            message(text);
        }
    };
    const std::string path = readRegistryValue("path");
    Config& cfg = processConfig();
    loadConfig(cfg, path, ConfigReader::Wizard, tell);

    if (const auto bad = findUnreadableEntry(logPath, devices)) {
        tell(std::string(kConfigWriteFailedMessage) + "\n" + germanDetail(*bad));
        if (reason != nullptr) {
            *reason = (bad->isLogPath ? "log path \"" : "device address \"") + bad->text + "\" " +
                      bad->reason;
        }
        return false;
    }
    const std::string text = composeConfiguration(cfg.global, logPath, devices);
    std::string why;
    if (!replaceConfigFile(path, text, why)) {
        tell(kConfigWriteFailedMessage);
        if (reason != nullptr) {
            *reason = path.empty()
                          ? "the settings store has no value \"path\" (" + registryFilePath() + ")"
                          : why;
        }
        return false;
    }
    return true;
}

}  // namespace ixan
