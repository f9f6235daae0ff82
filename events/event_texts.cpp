#include "events/event_texts.h"

#include <array>

namespace ixan {

namespace {

constexpr std::array<std::string_view, 32> kEventTexts = {
    "Unbekannt",
    "nicht anwesend",
    "verlassen",
    "Id unbekannt",
    "nicht berechtigt",
    "bereits anwesend",
    "Zutritt",
    "Zeitüberschreitung",
    "geöffnet",
    "geschlossen",
    "Sabotage",
    "unerwartet geschlossen",
    "Zeitüberschreitung(eintritt)",
    "Zeitüberschreitung(Alarm)",
    "Zutritt",
    "nicht eingetreten",
    "nicht verlassen",
    "eingeschränkter Zutritt",
    "uneingeschränkter Zutritt",
    "ausgelöst",
    "abgebrochen",
    "watchdog",
    "soft-reset",
    "Hochlauf",
    "erfolgreich",
    "Gestartet",
    "Abgebrochen",
    "Verbunden",
    "Verbindung abgebrochen",
    "Synchronisiert",
    "Fehlgeschlagen",
    "CRC-Fehler",
};

constexpr std::array<std::string_view, 13> kTriggerTexts = {
    "Unbekannt", "Türöffner", "Türtaster", "Türsensor",     "Benutzer",      "Türtaster(HTML)",
    "System",    "Backup",    "NTP",       "Eingangsleser", "Ausgangsleser", "Transparent-Modus",
    "Teach-In",
};

constexpr std::array<std::string_view, 5> kModuleTexts = {
    "Unbekannt",
    "RAK (Tokenfunk-Lese-Modul)",
    "NUP (Code-Schloß-Modul)",
    "SOV (FingerPrint-Modul)",
    "LIR (Wiegand)",
};

constexpr std::array<std::string_view, 11> kFingerTexts = {
    "---",
    "rechts: Daumen",
    "rechts: Zeigefinger",
    "rechts: Mittelfinger",
    "rechts: Ringfinger",
    "rechts: kleiner Finger",
    "links: Daumen",
    "links: Zeigefinger",
    "links: Mittelfinger",
    "links: Ringfinger",
    "links: kleiner Finger",
};

template <std::size_t N>
std::string_view lookup(const std::array<std::string_view, N>& table, std::int32_t code) {
    if (code < 0 || static_cast<std::size_t>(code) >= N) {
        return {};
    }
    return table[static_cast<std::size_t>(code)];
}

template <std::size_t N>
std::string_view lookup(const std::array<std::string_view, N>& table,
                        std::optional<std::int32_t> code) {
    return code ? lookup(table, *code) : std::string_view{};
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::string_view eventText(std::int32_t code) {
    return lookup(kEventTexts, code);
}
std::string_view triggerText(std::int32_t code) {
    return lookup(kTriggerTexts, code);
}
std::string_view moduleText(std::int32_t code) {
    return lookup(kModuleTexts, code);
}
std::string_view fingerText(std::int32_t code) {
    return lookup(kFingerTexts, code);
}

std::optional<std::int32_t> readCode(std::string_view field) {
    std::size_t pos = 0;
    while (pos < field.size() && isSpace(field[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < field.size() && (field[pos] == '+' || field[pos] == '-')) {
        negative = field[pos] == '-';
        ++pos;
    }
    // Magnitude up to 2^31 (the most negative value); more digits only keep it out
    // of range.
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    bool tooLarge = false;
    for (; pos < field.size() && field[pos] >= '0' && field[pos] <= '9'; ++pos) {
        if (!tooLarge) {
            magnitude = magnitude * 10 + (field[pos] - '0');
            tooLarge = magnitude > kLimit;
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (tooLarge || value > std::int64_t{INT32_MAX}) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

void decodeEventRow(EventRow& row) {
    row.Ereignis = lookup(kEventTexts, readCode(row.Ereignis));
    const std::optional<std::int32_t> module = readCode(row.Kartentyp);
    row.Kartentyp = lookup(kModuleTexts, module);
    row.Ausloeser = lookup(kTriggerTexts, readCode(row.Ausloeser));
    if (module == kFingerprintModule) {
        row.Kartennummer = lookup(kFingerTexts, readCode(row.Kartennummer));
    }
}

}  // namespace ixan
