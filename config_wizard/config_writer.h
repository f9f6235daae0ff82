#pragma once
// The wizard's configuration writer: turns a log path and a list of device addresses
// into the configuration file that pollwerk reads at start.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/config.h"

namespace ixan {

// What the wizard gives every device it writes.
inline constexpr const char* kWizardDeviceUser = "Service";
inline constexpr const char* kWizardDevicePass = "Fenwix";
inline constexpr const char* kWizardDeviceInterval = "300";

// A file the wizard creates holds passwords.
inline constexpr mode_t kNewConfigFileMode = 0640;

inline constexpr const char* kConfigWriteFailedMessage = "INI-Datei kann nicht geschrieben werden.";

// Shows one message to the operator (a message box in the dialog, standard error in the
// headless mode).
using WizardMessageFn = std::function<void(const std::string& text)>;

// The text without leading and trailing white space (blank, tab, CR, LF, VT, FF).
std::string trimWhiteSpace(std::string_view text);

// The file text: "[Global]", dsn, user and pass of global, "log=" and logPath as given,
// then for each entry that is not blank after trimming its section with the fixed user,
// password and interval. Every line ends in CR LF.
std::string composeConfiguration(const GlobalSettings& global, std::string_view logPath,
                                 const std::vector<std::string>& devices);

// A log path or device entry that the configuration reader would not give back as it is
// written: an "=" or a control character, blanks around the log path, or a device named
// like a key the reader applies to its own header line ("host", "uri") or like the
// settings section ("Global"), which would put the device login into the database
// settings.
struct UnreadableEntry {
    bool isLogPath = false;
    std::string text;    // the log path, or the trimmed device entry
    std::string reason;  // English, e.g. "contains \"=\""
};

// The first such entry, the log path first; nullopt when the file reads back as written.
std::optional<UnreadableEntry> findUnreadableEntry(std::string_view logPath,
                                                   const std::vector<std::string>& devices);

// Reloads the configuration named by the settings store value "path" into
// processConfig() (the loader reports a missing file through message; its [Global]
// values are kept, which are the defaults then), composes the file and replaces the
// file at that path atomically: on any failure the previous file is left as it was.
// A new file gets mode 0640, a replaced one keeps its mode. When the file cannot be
// written, message receives kConfigWriteFailedMessage (followed by a line naming the
// entry for an unreadable entry) and, if reason is given, it receives an English
// description of the failure. Returns whether the file was written.
bool WriteConfiguration(const std::string& logPath, const std::vector<std::string>& devices,
                        const WizardMessageFn& message, std::string* reason = nullptr);

}  // namespace ixan
