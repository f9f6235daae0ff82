#pragma once
// Little-endian byte buffer with BIFF record framing.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ixan {

using Bytes = std::vector<std::uint8_t>;

// Largest data part of one BIFF8 record; longer data continues in CONTINUE records.
inline constexpr std::size_t kBiffMaxRecordData = 8224;

inline void put8(Bytes& out, std::uint8_t value) {
    out.push_back(value);
}

inline void put16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void put32(Bytes& out, std::uint32_t value) {
    put16(out, static_cast<std::uint16_t>(value));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

inline void patch16(Bytes& out, std::size_t pos, std::uint16_t value) {
    out[pos] = static_cast<std::uint8_t>(value);
    out[pos + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void patch32(Bytes& out, std::size_t pos, std::uint32_t value) {
    patch16(out, pos, static_cast<std::uint16_t>(value));
    patch16(out, pos + 2, static_cast<std::uint16_t>(value >> 16));
}

// Writes a record header with a length to be filled in by endRecord; returns the
// position of the header.
inline std::size_t beginRecord(Bytes& out, std::uint16_t id) {
    const std::size_t start = out.size();
    put16(out, id);
    put16(out, 0);
    return start;
}

// REQUIRES: at most kBiffMaxRecordData bytes written since beginRecord.
inline void endRecord(Bytes& out, std::size_t start) {
    patch16(out, start + 2, static_cast<std::uint16_t>(out.size() - start - 4));
}

}  // namespace ixan
