#pragma once
// The message boxes of the export run, behind an interface so that the core needs no
// windowing library: the dialog shows them as message boxes, the headless command
// prints them on standard error, tests record them.

#include <cstddef>
#include <functional>
#include <string>
#include <utility>

namespace ixan::exporttool {

class ExportMessages {
  public:
    virtual ~ExportMessages() = default;
    // One message for the operator (UTF-8); returns when it has been seen.
    virtual void show(const std::string& text) = 0;
};

// Forwards every message to a function.
class FunctionMessages final : public ExportMessages {
  public:
    explicit FunctionMessages(std::function<void(const std::string&)> sink)
        : sink_(std::move(sink)) {}
    void show(const std::string& text) override { sink_(text); }

  private:
    std::function<void(const std::string&)> sink_;
};

// The texts the export run shows.
inline constexpr const char* kMsgStartAfterEnd =
    "Das Startdatum darf nicht nach dem Enddatum liegen.";
inline constexpr const char* kMsgInvalidDate = "Das gewählte Datum ist ungültig.";
inline constexpr const char* kMsgConnectFailed =
    "Beim Verbinden zur Datenbank ist ein Fehler aufgetreten.";
inline constexpr const char* kMsgMissingSelect = "Missing SELECT-Statement (2)";
inline constexpr const char* kMsgQueryFailed = "Die Abfrage der Ereignisse ist fehlgeschlagen.";
inline constexpr const char* kMsgReadFailed =
    "Beim Lesen der Ereignisse ist ein Fehler aufgetreten; die Zieldatei wurde nicht "
    "geschrieben.";
inline constexpr const char* kMsgTargetOpenFailed =
    "Beim öffnen der Zieldatei ist ein Fehler aufgetreten. (INB008)";
inline constexpr const char* kMsgTargetWriteFailed =
    "Beim schreiben der Zieldatei ist ein Fehler aufgetreten. (INB009)";
inline constexpr const char* kMsgTextsCut =
    "Texte, die länger sind als eine Zelle fasst (32767 Zeichen), wurden gekürzt.";
inline constexpr const char* kMsgCsvCannotWrite = "Die Zieldatei kann nicht geschrieben werden: ";

// "File type: '<path>' unkown"
std::string fileTypeMessage(const std::string& path);
// "Die Tabelle fasst höchstens 65535 Zeilen: <n> Zeilen wurden nicht geschrieben."
std::string rowLimitMessage(std::size_t rowsNotWritten);
// Rows the target refused (a configured "sql" that does not fit the spreadsheet).
std::string rowsRefusedMessage(std::size_t rowsRefused);

}  // namespace ixan::exporttool
