#pragma once
// Compound file (version 3, 512-byte sectors) holding one stream named "Workbook".

#include <cstddef>

#include "events/xls/byte_buffer.h"

namespace ixan {

// Streams below this size belong in the mini stream; the workbook writer pads its
// stream to this size instead, so every stream lives in regular sectors.
inline constexpr std::size_t kCompoundMiniStreamCutoff = 4096;
inline constexpr std::size_t kCompoundSectorSize = 512;

// The file is `header`, the stream itself, `streamPadding` zero bytes, then `tail`
// (directory, FAT and DIFAT sectors). The stream takes sectors 0 to n-1.
struct CompoundFileLayout {
    Bytes header;
    std::size_t streamPadding = 0;
    Bytes tail;
};

// REQUIRES: kCompoundMiniStreamCutoff <= streamSize < 2^31.
CompoundFileLayout layoutCompoundFile(std::size_t streamSize);

}  // namespace ixan
