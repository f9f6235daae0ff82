#pragma once
// Deterministic events of a simulated device log.
//
// Event number `sequence` of device `deviceIndex` depends only on (seed, deviceIndex,
// sequence), so any part of a log can be generated again without keeping it in memory.

#include <cstdint>
#include <string>
#include <vector>

namespace ixan::sim {

// One event in the device's record order. Texts are UTF-8; every character is in
// U+0020..U+007E or U+00A0..U+00FF (so Windows-1252 and Latin-1 agree on its code), and
// no value holds a comma, TAB, CR or LF.
struct SimEvent {
    std::string ip;
    std::string datum;  // "DD.MM.YYYY HH:MM:SS", strictly increasing with the sequence
    std::string tuername;
    std::string ausloeser;  // trigger code as text
    std::string ereignis;   // event code as text
    std::string benutzer;
    std::string kartennummer;  // card number, or finger code for fingerprint rows
    std::string kartentyp;     // reader module code as text
};

// The address the device writes into its records, e.g. 192.168.10.21 for index 0.
std::string deviceIp(int deviceIndex);

SimEvent generateEvent(std::uint64_t seed, int deviceIndex, std::uint64_t sequence);

// Events [first, first + count) of the device.
std::vector<SimEvent> generateEvents(std::uint64_t seed, int deviceIndex, std::uint64_t first,
                                     std::uint64_t count);

// True for the module codes the decoder treats as the fingerprint module ("3", "03").
bool isFingerprintModule(const std::string& kartentyp);

}  // namespace ixan::sim
