#pragma once
// Shared string table (SST) with its CONTINUE records and the EXTSST index.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "events/xls/byte_buffer.h"

namespace ixan {

// Appends the SST record for `uniqueCount` strings referenced `totalCount` times to
// `out`, then the strings one by one with add(), then finish() once. A record that
// would pass kBiffMaxRecordData bytes goes on in a CONTINUE record; a string header
// always stays together with the string's first character, and a string cut at a
// record end goes on after a repeated option byte. Positions are offsets in `out`,
// which must hold the whole workbook stream from its start.
class SstWriter {
  public:
    SstWriter(Bytes& out, std::uint32_t totalCount, std::uint32_t uniqueCount);
    SstWriter(const SstWriter&) = delete;
    SstWriter& operator=(const SstWriter&) = delete;

    void add(std::u16string_view text);
    // Closes the last record and appends the EXTSST record.
    void finish();

  private:
    struct Bucket {
        std::uint32_t streamPos;
        std::uint16_t recordOffset;
    };

    std::size_t room() const;
    void startContinue();

    Bytes& out_;
    std::size_t recordStart_;
    std::uint32_t added_ = 0;
    std::uint16_t stringsPerBucket_;
    std::vector<Bucket> buckets_;
};

}  // namespace ixan
