#include "tools/sim_event.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <string_view>
#include <utility>

namespace ixan::sim {
namespace {

// Every block of a deck's size in the log holds each entry of the deck exactly once, in
// an order shuffled per block: a log of a few dozen events already shows every code.
constexpr std::array<std::string_view, 34> kEventCodes = {
    "0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10", "11",
    "12", "13", "14", "15", "16", "17", "18", "19", "20", "21", "22", "23",
    "24", "25", "26", "27", "28", "29", "30", "31", "32", ""};
constexpr std::array<std::string_view, 15> kTriggerCodes = {
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "-1"};
constexpr std::array<std::string_view, 8> kModuleCodes = {"0", "1", "2", "3", "4", "9", "03", ""};
// Finger codes of the fingerprint module; the last one is a real card number.
constexpr std::array<std::string_view, 12> kFingerCodes = {"0", "1", "2", "3", "4",  "5",
                                                           "6", "7", "8", "9", "10", "1234567"};
constexpr std::array<std::string_view, 10> kUsers = {"Jürgen Weiß",     "Patrick O'Neill",
                                                     "Anna Müller",     "Karl-Heinz Groß",
                                                     "Renée Faßbender", "Zoë Brandt",
                                                     "Hausmeister",     "",
                                                     "Björn Nußbaum",   ""};
constexpr std::array<std::string_view, 9> kDoors = {
    "Tür Süd",          "Haupteingang",  "Büro 2.OG",      "Lager Öl",
    "Tor+Schranke",     "Küche & Pause", "Kühlraum -18°C", "Serverraum (100% gesichert)",
    "Nebeneingang Nord"};

enum Field : std::uint64_t {
    kFieldEvent = 1,
    kFieldTrigger,
    kFieldModule,
    kFieldFinger,
    kFieldUser,
    kFieldDoor,
    kFieldCard,
    kFieldTime
};

std::uint64_t splitmix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

std::uint64_t mix(std::uint64_t seed, int deviceIndex, std::uint64_t field, std::uint64_t n) {
    std::uint64_t h = splitmix(seed);
    h = splitmix(h ^ static_cast<std::uint64_t>(static_cast<std::uint32_t>(deviceIndex)));
    h = splitmix(h ^ field);
    return splitmix(h ^ n);
}

// Position `pos` of the permutation of 0..size-1 that belongs to one block.
std::size_t shuffledIndex(std::uint64_t key, std::size_t size, std::size_t pos) {
    std::array<std::size_t, 64> order{};
    for (std::size_t i = 0; i < size; ++i) {
        order[i] = i;
    }
    std::uint64_t state = key;
    for (std::size_t i = size; i > 1; --i) {
        state = splitmix(state);
        std::swap(order[i - 1], order[state % i]);
    }
    return order[pos];
}

template <std::size_t N>
std::string_view deckValue(const std::array<std::string_view, N>& deck, std::uint64_t seed,
                           int deviceIndex, Field field, std::uint64_t n) {
    static_assert(N <= 64);
    const std::uint64_t block = n / N;
    const auto pos = static_cast<std::size_t>(n % N);
    return deck[shuffledIndex(mix(seed, deviceIndex, field, block), N, pos)];
}

std::string digits(std::uint64_t value, int width) {
    std::string out(static_cast<std::size_t>(width), '0');
    for (int i = width - 1; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out;
}

std::string cardNumber(std::string_view module, std::uint64_t h) {
    if (module == "1") {
        return digits(h, 10);  // RAK token
    }
    if (module == "2") {
        return digits(h, 4);  // keypad code
    }
    if (module == "4") {
        return digits(h % 256, 3) + ":" + digits(h >> 8, 5);  // Wiegand facility:card
    }
    if (module == "9") {
        return digits(h, 6);
    }
    return {};  // unknown module: the device writes no credential
}

std::string formatDatum(std::uint64_t sequence, std::uint64_t jitter) {
    using namespace std::chrono;
    const sys_seconds base = sys_days{year{2024} / March / 4} + hours{6};
    // 173 s apart plus less than 150 s of jitter: strictly increasing.
    const sys_seconds when = base + seconds{static_cast<std::int64_t>(sequence * 173 + jitter)};
    const sys_days day = floor<days>(when);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> tod{when - day};
    char text[32];
    std::snprintf(text, sizeof text, "%02u.%02u.%04d %02d:%02d:%02d",
                  static_cast<unsigned>(ymd.day()), static_cast<unsigned>(ymd.month()),
                  static_cast<int>(ymd.year()), static_cast<int>(tod.hours().count()),
                  static_cast<int>(tod.minutes().count()), static_cast<int>(tod.seconds().count()));
    return text;
}

}  // namespace

std::string deviceIp(int deviceIndex) {
    const int n = 20 + (deviceIndex < 0 ? 0 : deviceIndex);
    return "192.168." + std::to_string(10 + n / 200) + "." + std::to_string(1 + n % 200);
}

bool isFingerprintModule(const std::string& kartentyp) {
    return kartentyp == "3" || kartentyp == "03";
}

SimEvent generateEvent(std::uint64_t seed, int deviceIndex, std::uint64_t sequence) {
    SimEvent e;
    e.ip = deviceIp(deviceIndex);
    e.datum = formatDatum(sequence, mix(seed, deviceIndex, kFieldTime, sequence) % 150);
    e.tuername = deckValue(kDoors, seed, deviceIndex, kFieldDoor, sequence);
    e.ausloeser = deckValue(kTriggerCodes, seed, deviceIndex, kFieldTrigger, sequence);
    e.ereignis = deckValue(kEventCodes, seed, deviceIndex, kFieldEvent, sequence);
    e.benutzer = deckValue(kUsers, seed, deviceIndex, kFieldUser, sequence);
    const std::string_view module =
        deckValue(kModuleCodes, seed, deviceIndex, kFieldModule, sequence);
    e.kartentyp = module;
    if (isFingerprintModule(e.kartentyp)) {
        // Each module block holds two fingerprint rows; number them so that every block of
        // the finger deck's size of fingerprint rows shows every finger code.
        const std::uint64_t blockSize = kModuleCodes.size();
        const std::uint64_t blockStart = sequence - sequence % blockSize;
        std::uint64_t earlier = 0;
        for (std::uint64_t s = blockStart; s < sequence; ++s) {
            if (isFingerprintModule(
                    std::string(deckValue(kModuleCodes, seed, deviceIndex, kFieldModule, s)))) {
                ++earlier;
            }
        }
        const std::uint64_t fingerRow = (sequence / blockSize) * 2 + earlier;
        e.kartennummer = deckValue(kFingerCodes, seed, deviceIndex, kFieldFinger, fingerRow);
    } else {
        e.kartennummer = cardNumber(module, mix(seed, deviceIndex, kFieldCard, sequence));
    }
    return e;
}

std::vector<SimEvent> generateEvents(std::uint64_t seed, int deviceIndex, std::uint64_t first,
                                     std::uint64_t count) {
    std::vector<SimEvent> events;
    events.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        events.push_back(generateEvent(seed, deviceIndex, first + i));
    }
    return events;
}

}  // namespace ixan::sim
