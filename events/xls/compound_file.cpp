#include "events/xls/compound_file.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ixan {
namespace {

constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

constexpr std::size_t kIdsPerSector = kCompoundSectorSize / 4;
constexpr std::size_t kHeaderDifatEntries = 109;
constexpr std::size_t kDifatEntriesPerSector = kIdsPerSector - 1;  // last one: next DIFAT sector

constexpr std::uint8_t kTypeStream = 2;
constexpr std::uint8_t kTypeRoot = 5;
constexpr std::uint8_t kBlack = 1;

// CLSID of an Excel 97-2003 workbook, {00020820-0000-0000-C000-000000000046}.
constexpr std::uint8_t kExcelClsid[16] = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

std::size_t divideRoundingUp(std::size_t value, std::size_t divisor) {
    return (value + divisor - 1) / divisor;
}

void putDirEntry(Bytes& out, std::u16string_view name, std::uint8_t type, std::uint32_t child,
                 const std::uint8_t* clsid, std::uint32_t startSector, std::uint32_t size) {
    const std::size_t start = out.size();
    for (char16_t c : name) {
        put16(out, static_cast<std::uint16_t>(c));
    }
    out.resize(start + 64, 0);
    put16(out, static_cast<std::uint16_t>(name.empty() ? 0 : 2 * (name.size() + 1)));
    put8(out, type);
    put8(out, name.empty() ? 0 : kBlack);
    put32(out, kNoStream);  // left sibling
    put32(out, kNoStream);  // right sibling
    put32(out, child);
    if (clsid != nullptr) {
        out.insert(out.end(), clsid, clsid + 16);
    } else {
        out.resize(out.size() + 16, 0);
    }
    put32(out, 0);                   // state bits
    out.resize(out.size() + 16, 0);  // creation and modification times: not set
    put32(out, startSector);
    put32(out, size);
    put32(out, 0);  // high half of the size
}

}  // namespace

CompoundFileLayout layoutCompoundFile(std::size_t streamSize) {
    const std::size_t streamSectors = divideRoundingUp(streamSize, kCompoundSectorSize);
    const std::size_t dirSectors = 1;

    // The FAT covers every sector including its own and the DIFAT's: grow to a fixed point.
    std::size_t fatSectors = 0;
    std::size_t difatSectors = 0;
    for (;;) {
        const std::size_t total = streamSectors + dirSectors + fatSectors + difatSectors;
        const std::size_t fatNeeded = divideRoundingUp(total, kIdsPerSector);
        const std::size_t difatNeeded =
            fatNeeded > kHeaderDifatEntries
                ? divideRoundingUp(fatNeeded - kHeaderDifatEntries, kDifatEntriesPerSector)
                : 0;
        if (fatNeeded == fatSectors && difatNeeded == difatSectors) {
            break;
        }
        fatSectors = fatNeeded;
        difatSectors = difatNeeded;
    }

    const auto dirSector = static_cast<std::uint32_t>(streamSectors);
    const auto firstFatSector = static_cast<std::uint32_t>(dirSector + dirSectors);
    const auto firstDifatSector = static_cast<std::uint32_t>(firstFatSector + fatSectors);

    std::vector<std::uint32_t> fat(fatSectors * kIdsPerSector, kFreeSect);
    for (std::size_t i = 0; i < streamSectors; ++i) {
        fat[i] = i + 1 < streamSectors ? static_cast<std::uint32_t>(i + 1) : kEndOfChain;
    }
    fat[dirSector] = kEndOfChain;
    for (std::size_t i = 0; i < fatSectors; ++i) {
        fat[firstFatSector + i] = kFatSect;
    }
    for (std::size_t i = 0; i < difatSectors; ++i) {
        fat[firstDifatSector + i] = kDifSect;
    }

    CompoundFileLayout layout;
    layout.streamPadding = streamSectors * kCompoundSectorSize - streamSize;

    Bytes& h = layout.header;
    h.reserve(kCompoundSectorSize);
    static constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    h.insert(h.end(), kSignature, kSignature + 8);
    h.resize(h.size() + 16, 0);  // header CLSID
    put16(h, 0x003E);            // minor version
    put16(h, 0x0003);            // major version 3
    put16(h, 0xFFFE);            // little-endian
    put16(h, 9);                 // 512-byte sectors
    put16(h, 6);                 // 64-byte mini sectors
    h.resize(h.size() + 6, 0);
    put32(h, 0);  // directory sectors: not counted in version 3
    put32(h, static_cast<std::uint32_t>(fatSectors));
    put32(h, dirSector);
    put32(h, 0);  // transactions: none
    put32(h, static_cast<std::uint32_t>(kCompoundMiniStreamCutoff));
    put32(h, kEndOfChain);  // no mini FAT
    put32(h, 0);
    put32(h, difatSectors > 0 ? firstDifatSector : kEndOfChain);
    put32(h, static_cast<std::uint32_t>(difatSectors));
    for (std::size_t i = 0; i < kHeaderDifatEntries; ++i) {
        put32(h, i < fatSectors ? static_cast<std::uint32_t>(firstFatSector + i) : kFreeSect);
    }

    Bytes& t = layout.tail;
    t.reserve((dirSectors + fatSectors + difatSectors) * kCompoundSectorSize);
    putDirEntry(t, u"Root Entry", kTypeRoot, 1, kExcelClsid, kEndOfChain, 0);
    putDirEntry(t, u"Workbook", kTypeStream, kNoStream, nullptr, 0,
                static_cast<std::uint32_t>(streamSize));
    putDirEntry(t, u"", 0, kNoStream, nullptr, 0, 0);
    putDirEntry(t, u"", 0, kNoStream, nullptr, 0, 0);

    for (std::uint32_t id : fat) {
        put32(t, id);
    }

    for (std::size_t d = 0; d < difatSectors; ++d) {
        for (std::size_t i = 0; i < kDifatEntriesPerSector; ++i) {
            const std::size_t fatIndex = kHeaderDifatEntries + d * kDifatEntriesPerSector + i;
            put32(t, fatIndex < fatSectors ? static_cast<std::uint32_t>(firstFatSector + fatIndex)
                                           : kFreeSect);
        }
        put32(t, d + 1 < difatSectors ? static_cast<std::uint32_t>(firstDifatSector + d + 1)
                                      : kEndOfChain);
    }
    return layout;
}

}  // namespace ixan
