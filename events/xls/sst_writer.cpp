#include "events/xls/sst_writer.h"

#include <algorithm>

namespace ixan {
namespace {

constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kExtSst = 0x00FF;
constexpr std::uint8_t kHighByte = 0x01;
constexpr std::size_t kStringHeader = 3;  // cch (2) and option byte (1)

bool needsWideChars(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
}

}  // namespace

SstWriter::SstWriter(Bytes& out, std::uint32_t totalCount, std::uint32_t uniqueCount)
    : out_(out),
      recordStart_(beginRecord(out, kSst)),
      // At most 128 buckets; only beyond 8 million strings does the 16-bit field cap
      // the bucket size (and the buckets, up to 257, still fit into one record).
      stringsPerBucket_(
          static_cast<std::uint16_t>(std::clamp<std::uint32_t>(uniqueCount / 128 + 1, 8, 0xFFFF))) {
    put32(out_, totalCount);
    put32(out_, uniqueCount);
}

std::size_t SstWriter::room() const {
    return kBiffMaxRecordData - (out_.size() - recordStart_ - 4);
}

void SstWriter::startContinue() {
    endRecord(out_, recordStart_);
    recordStart_ = beginRecord(out_, kContinue);
}

void SstWriter::add(std::u16string_view text) {
    const bool wide = needsWideChars(text);
    const std::size_t charSize = wide ? 2 : 1;
    const std::uint8_t options = wide ? kHighByte : 0;

    if (room() < kStringHeader + (text.empty() ? 0 : charSize)) {
        startContinue();
    }
    if (added_ % stringsPerBucket_ == 0) {
        buckets_.push_back({static_cast<std::uint32_t>(out_.size()),
                            static_cast<std::uint16_t>(out_.size() - recordStart_)});
    }
    ++added_;
    put16(out_, static_cast<std::uint16_t>(text.size()));
    put8(out_, options);

    std::size_t done = 0;
    while (done < text.size()) {
        std::size_t chunk = std::min(text.size() - done, room() / charSize);
        if (chunk == 0) {
            startContinue();
            put8(out_, options);
            continue;
        }
        const std::size_t end = out_.size();
        out_.resize(end + chunk * charSize);
        std::uint8_t* dest = out_.data() + end;
        for (std::size_t i = done; i < done + chunk; ++i) {
            *dest++ = static_cast<std::uint8_t>(text[i]);
            if (wide) {
                *dest++ = static_cast<std::uint8_t>(text[i] >> 8);
            }
        }
        done += chunk;
    }
}

void SstWriter::finish() {
    endRecord(out_, recordStart_);
    const std::size_t start = beginRecord(out_, kExtSst);
    put16(out_, stringsPerBucket_);
    for (const Bucket& bucket : buckets_) {
        put32(out_, bucket.streamPos);
        put16(out_, bucket.recordOffset);
        put16(out_, 0);
    }
    endRecord(out_, start);
}

}  // namespace ixan
