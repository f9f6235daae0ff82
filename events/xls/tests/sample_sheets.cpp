#include "events/xls/tests/sample_sheets.h"

#include <cstdio>

namespace ixan::test {

XlsSheet eventSheet(std::size_t rows) {
    static const char* const kTriggers[] = {"Karte", "Finger", "PIN", "Taster", "System"};
    static const char* const kEvents[] = {
        "Zutritt gewährt",    "Zutritt verweigert", "Tür geöffnet", "Tür geschlossen",
        "Tür zu lange offen", "Sabotage",           "Systemstart",  "Zeitüberschreitung",
        "Karte unbekannt",    "Finger abgewiesen"};
    static const char* const kNames[] = {
        "Müller, Jörg",  "O'Neill, Seán", "Łukasiewicz, Anna", "Weiß, Grete", "",
        "Dvořák, Tomáš", "Smith, John"};
    static const char* const kModules[] = {"Leser außen", "Leser innen", "Fingerleser", ""};

    XlsSheet sheet{"Z_servicelog", kEventTitles, {}};
    sheet.rows.reserve(rows);
    char date[32];
    for (std::size_t i = 0; i < rows; ++i) {
        std::snprintf(date, sizeof date, "2026-%02zu-%02zu %02zu:%02zu:%02zu", 1 + i % 12,
                      1 + i % 28, i / 3600 % 24, i / 60 % 60, i % 60);
        sheet.rows.push_back({"192.168." + std::to_string(i % 7) + "." + std::to_string(10 + i % 5),
                              date, "Tür " + std::to_string(1 + i % 40) + " Süd", kTriggers[i % 5],
                              kEvents[i % 10], kNames[i % 7], std::to_string(4000000 + i * 7),
                              kModules[i % 4]});
    }
    return sheet;
}

std::string digits(std::size_t length) {
    std::string text;
    text.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        text += static_cast<char>('0' + i % 10);
    }
    return text;
}

namespace {

std::string repeat(const std::string& piece, std::size_t times) {
    std::string text;
    text.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

}  // namespace

SampleSheet mixedTextSheet() {
    struct TextCase {
        const char* label;
        std::string text;
        std::string shown;
        bool cut;
    };
    const std::string smile = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units
    const std::string replacement = "\xEF\xBF\xBD";
    const std::vector<TextCase> cases = {
        // Characters of Latin-1 (stored in 8 bits) and beyond (stored in 16 bits).
        {"umlauts", "Tür Auslöser Größe ÄÖÜ ß", "Tür Auslöser Größe ÄÖÜ ß", false},
        {"euro and L with stroke", "Zutritt 5 € Łódź", "Zutritt 5 € Łódź", false},
        {"beyond the BMP", "Smile " + smile, "Smile " + smile, false},
        // Characters that quoting layers tend to trip over.
        {"apostrophes", "O'Neill 'zitiert'", "O'Neill 'zitiert'", false},
        {"quotes and separators", "Er sagte \"hallo\"; a, b", "Er sagte \"hallo\"; a, b", false},
        {"line break and tab", "Zeile 1\nZeile 2\tTab", "Zeile 1\nZeile 2\tTab", false},
        {"empty", "", "", false},
        // Each maximal ill-formed sequence becomes one U+FFFD.
        {"invalid UTF-8", "A\xFF B\xC3 C\xE2\x82 D\xED\xA0\x80 E\xF4\x90\x80\x80",
         "A" + replacement + " B" + replacement + " C" + replacement + " D" +
             repeat(replacement, 3) + " E" + repeat(replacement, 4),
         false},
        // Longer than one record of the string table.
        {"10000 digits", digits(10000), digits(10000), false},
        {"12000 wide characters", repeat("Ł€", 6000), repeat("Ł€", 6000), false},
        // Around the cell limit of 32767 UTF-16 units.
        {"exactly the cell limit", digits(32767), digits(32767), false},
        {"limit reached by a surrogate pair", std::string(32765, 'c') + smile,
         std::string(32765, 'c') + smile, false},
        {"40000 digits", digits(40000), digits(32767), true},
        {"40000 digits again", digits(40000), digits(32767), true},
        {"surrogate pair across the limit", std::string(32766, 'a') + smile,
         std::string(32766, 'a'), true},
        {"wide text over the limit", repeat("Ł", 33000), repeat("Ł", 32767), true},
    };

    SampleSheet sample;
    sample.sheet = {"Z_servicelog", kEventTitles, {}};
    sample.expected.push_back(kEventTitles);
    for (const TextCase& c : cases) {
        sample.sheet.rows.push_back({"192.168.0.1", "2026-12-11 10:00:00", c.text, "Karte", c.label,
                                     c.text, "", "Leser außen"});
        sample.expected.push_back({"192.168.0.1", "2026-12-11 10:00:00", c.shown, "Karte", c.label,
                                   c.shown, "", "Leser außen"});
        if (c.cut) {
            sample.cellsCut += 2;
        }
    }
    return sample;
}

}  // namespace ixan::test
