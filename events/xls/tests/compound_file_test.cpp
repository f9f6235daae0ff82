#include "events/xls/compound_file.h"

#include <gtest/gtest.h>

#include "events/xls/replace_file.h"
#include "events/xls/tests/xls_test_support.h"

namespace ixan {
namespace {

// Stream sizes around the places where the FAT needs one more sector, where the 109
// FAT sector slots of the header run out and where a second DIFAT sector is needed.
TEST(CompoundFile, StreamReadsBackAroundFatAndDifatLimits) {
    constexpr std::size_t kSector = 512;
    const std::size_t sizes[] = {
        4096,
        4097,
        (128 - 2) * kSector,  // stream, directory and FAT fill one FAT sector
        (128 - 2) * kSector + 1,
        (109 * 128 - 110) * kSector,  // the last layout without DIFAT
        (109 * 128 - 110) * kSector + 1,
        (109 * 128 - 100) * kSector,
        ((109 + 127) * 128 - 240) * kSector,  // around a full first DIFAT sector
        ((109 + 127) * 128 - 236) * kSector,
        ((109 + 127) * 128 - 220) * kSector + 77,
    };
    for (const std::size_t size : sizes) {
        test::ScratchDir scratch;
        Bytes stream(size);
        for (std::size_t i = 0; i < size; ++i) {
            stream[i] = test::patternByte(i);
        }
        const CompoundFileLayout layout = layoutCompoundFile(size);
        const Bytes padding(layout.streamPadding, 0);
        const std::string path = scratch.file("stream.cfb");
        ASSERT_EQ(replaceFileContents(path, {layout.header, stream, padding, layout.tail}), "");
        EXPECT_EQ(test::checkCompoundWithXlrd(path, size), "") << "stream of " << size << " bytes";
    }
}

}  // namespace
}  // namespace ixan
