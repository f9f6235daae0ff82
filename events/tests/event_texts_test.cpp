#include "events/event_texts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace ixan {
namespace {

using TextFn = std::string_view (*)(std::int32_t);

struct TableCase {
    const char* table;
    TextFn fn;
    std::int32_t code;
    std::string_view expected;
};

TEST(EventTexts, TablesCharacterForCharacter) {
    const TableCase cases[] = {
        {"event", eventText, 0, "Unbekannt"},
        {"event", eventText, 1, "nicht anwesend"},
        {"event", eventText, 2, "verlassen"},
        {"event", eventText, 3, "Id unbekannt"},
        {"event", eventText, 4, "nicht berechtigt"},
        {"event", eventText, 5, "bereits anwesend"},
        {"event", eventText, 6, "Zutritt"},
        {"event", eventText, 7,
         "Zeit\xC3\xBC"
         "berschreitung"},
        {"event", eventText, 8,
         "ge\xC3\xB6"
         "ffnet"},
        {"event", eventText, 9, "geschlossen"},
        {"event", eventText, 10, "Sabotage"},
        {"event", eventText, 11, "unerwartet geschlossen"},
        {"event", eventText, 12,
         "Zeit\xC3\xBC"
         "berschreitung(eintritt)"},
        {"event", eventText, 13,
         "Zeit\xC3\xBC"
         "berschreitung(Alarm)"},
        {"event", eventText, 14, "Zutritt"},
        {"event", eventText, 15, "nicht eingetreten"},
        {"event", eventText, 16, "nicht verlassen"},
        {"event", eventText, 17, "eingeschr\xC3\xA4nkter Zutritt"},
        {"event", eventText, 18, "uneingeschr\xC3\xA4nkter Zutritt"},
        {"event", eventText, 19, "ausgel\xC3\xB6st"},
        {"event", eventText, 20, "abgebrochen"},
        {"event", eventText, 21, "watchdog"},
        {"event", eventText, 22, "soft-reset"},
        {"event", eventText, 23, "Hochlauf"},
        {"event", eventText, 24, "erfolgreich"},
        {"event", eventText, 25, "Gestartet"},
        {"event", eventText, 26, "Abgebrochen"},
        {"event", eventText, 27, "Verbunden"},
        {"event", eventText, 28, "Verbindung abgebrochen"},
        {"event", eventText, 29, "Synchronisiert"},
        {"event", eventText, 30, "Fehlgeschlagen"},
        {"event", eventText, 31, "CRC-Fehler"},
        {"event", eventText, 32, ""},
        {"event", eventText, -1, ""},
        {"trigger", triggerText, 0, "Unbekannt"},
        {"trigger", triggerText, 1,
         "T\xC3\xBCr\xC3\xB6"
         "ffner"},
        {"trigger", triggerText, 2, "T\xC3\xBCrtaster"},
        {"trigger", triggerText, 3, "T\xC3\xBCrsensor"},
        {"trigger", triggerText, 4, "Benutzer"},
        {"trigger", triggerText, 5, "T\xC3\xBCrtaster(HTML)"},
        {"trigger", triggerText, 6, "System"},
        {"trigger", triggerText, 7, "Backup"},
        {"trigger", triggerText, 8, "NTP"},
        {"trigger", triggerText, 9, "Eingangsleser"},
        {"trigger", triggerText, 10, "Ausgangsleser"},
        {"trigger", triggerText, 11, "Transparent-Modus"},
        {"trigger", triggerText, 12, "Teach-In"},
        {"trigger", triggerText, 13, ""},
        {"trigger", triggerText, -1, ""},
        {"module", moduleText, 0, "Unbekannt"},
        {"module", moduleText, 1, "RAK (Tokenfunk-Lese-Modul)"},
        {"module", moduleText, 2, "NUP (Code-Schlo\xC3\x9F-Modul)"},
        {"module", moduleText, 3, "SOV (FingerPrint-Modul)"},
        {"module", moduleText, 4, "LIR (Wiegand)"},
        {"module", moduleText, 5, ""},
        {"module", moduleText, 9, ""},
        {"finger", fingerText, 0, "---"},
        {"finger", fingerText, 1, "rechts: Daumen"},
        {"finger", fingerText, 2, "rechts: Zeigefinger"},
        {"finger", fingerText, 3, "rechts: Mittelfinger"},
        {"finger", fingerText, 4, "rechts: Ringfinger"},
        {"finger", fingerText, 5, "rechts: kleiner Finger"},
        {"finger", fingerText, 6, "links: Daumen"},
        {"finger", fingerText, 7, "links: Zeigefinger"},
        {"finger", fingerText, 8, "links: Mittelfinger"},
        {"finger", fingerText, 9, "links: Ringfinger"},
        {"finger", fingerText, 10, "links: kleiner Finger"},
        {"finger", fingerText, 11, ""},
        {"finger", fingerText, std::numeric_limits<std::int32_t>::min(), ""},
        {"finger", fingerText, std::numeric_limits<std::int32_t>::max(), ""},
    };
    for (const TableCase& c : cases) {
        EXPECT_EQ(c.fn(c.code), c.expected) << c.table << " table, code " << c.code;
    }
}

TEST(EventTexts, ReadCode) {
    struct Case {
        std::string field;
        std::optional<std::int32_t> expected;
    };
    const Case cases[] = {
        {"8", 8},
        {"  8", 8},
        {"\t\n8", 8},
        {"08", 8},
        {"8x", 8},
        {"+8", 8},
        {"-1", -1},
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {" - 5", 0},
        {"x8", 0},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"4294967299", std::nullopt},  // must not wrap to 3
        {"99999999999999999999999999", std::nullopt},
        {"0000000000000000000003", 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readCode(c.field), c.expected) << "field: " << ::testing::PrintToString(c.field);
    }
}

EventRow codes(std::string ausloeser, std::string ereignis, std::string karte, std::string typ) {
    return {"10.0.0.5", "25.10.2006 09:05:03", "Tor", ausloeser, ereignis, "O'Neill", karte, typ};
}

TEST(EventTexts, DecodeEventRow) {
    struct Case {
        const char* name;
        EventRow input;
        EventRow expected;
    };
    const Case cases[] = {
        {"plain card", codes("1", "7", "12345", "1"),
         codes("Türöffner", "Zeitüberschreitung", "12345", "RAK (Tokenfunk-Lese-Modul)")},
        {"event 14", codes("0", "14", "", "0"), codes("Unbekannt", "Zutritt", "", "Unbekannt")},
        {"event 32", codes("0", "32", "", "0"), codes("Unbekannt", "", "", "Unbekannt")},
        {"event -1", codes("0", "-1", "", "0"), codes("Unbekannt", "", "", "Unbekannt")},
        {"empty Ereignis", codes("", "", "", ""), codes("Unbekannt", "Unbekannt", "", "Unbekannt")},
        {"fingerprint", codes("9", "6", "6", "3"),
         codes("Eingangsleser", "Zutritt", "links: Daumen", "SOV (FingerPrint-Modul)")},
        {"fingerprint module 03", codes("9", "6", "2", "03"),
         codes("Eingangsleser", "Zutritt", "rechts: Zeigefinger", "SOV (FingerPrint-Modul)")},
        {"fingerprint finger 0", codes("9", "6", "0", "3"),
         codes("Eingangsleser", "Zutritt", "---", "SOV (FingerPrint-Modul)")},
        {"fingerprint with card number", codes("9", "6", "12345", "3"),
         codes("Eingangsleser", "Zutritt", "", "SOV (FingerPrint-Modul)")},
        {"module 1 keeps any card text", codes("5", "6", " 6 x", "1"),
         codes("Türtaster(HTML)", "Zutritt", " 6 x", "RAK (Tokenfunk-Lese-Modul)")},
        {"module 9", codes("13", "6", "6", "9"), codes("", "Zutritt", "6", "")},
        {"module beyond 32 bits is no fingerprint", codes("0", "0", "6", "4294967299"),
         codes("Unbekannt", "Unbekannt", "6", "")},
        {"event beyond 32 bits", codes("0", "4294967302", "", "2"),
         codes("Unbekannt", "", "", "NUP (Code-Schloß-Modul)")},
    };
    for (const Case& c : cases) {
        EventRow row = c.input;
        decodeEventRow(row);
        EXPECT_EQ(row, c.expected)
            << c.name << ": Ausloeser " << row.Ausloeser << ", Ereignis " << row.Ereignis
            << ", Kartennummer " << row.Kartennummer << ", Kartentyp " << row.Kartentyp;
    }
}

}  // namespace
}  // namespace ixan
