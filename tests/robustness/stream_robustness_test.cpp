// Streams and compression at their edges: a buffered stream without a length limit, the
// empty LZ4 round trip, and decompression into a block that is too small.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <vector>

#include <vexa/compression.h>
#include <vexa/stream.h>

#include "stream/stream_test_util.h"

namespace {

using streamtest::Pattern;
using streamtest::PatternByte;

class StreamRobustness : public streamtest::TempDirTest {};

TEST_F(StreamRobustness, UnlimitedRangeEndsWhereTheFileDoes) {
  const HFILE fd = Open(WriteFile("pattern.bin", Pattern(1000)));
  for (int start : {0, 100}) {
    SCOPED_TRACE(start);
    CInputBufFile in;
    ASSERT_EQ(in.Create(fd, start, 0), kStreamOk);
    EXPECT_EQ(in.GetSize(), 1000 - start);
    EXPECT_EQ(in.Seek(500, kStreamSeekStart), 500);
    BYTE b = 0;
    ASSERT_EQ(in.ReadByte(&b), kStreamOk);
    EXPECT_EQ(b, PatternByte(static_cast<std::size_t>(start) + 500));
    // From the end, and clamped to the file's end and to the range's start.
    EXPECT_EQ(in.Seek(-10, kStreamSeekEnd), 990 - start);
    ASSERT_EQ(in.ReadByte(&b), kStreamOk);
    EXPECT_EQ(b, PatternByte(990));
    EXPECT_EQ(in.Seek(5000, kStreamSeekStart), 1000 - start);
    EXPECT_EQ(in.ReadByte(&b), kStreamEndOfFile);
    EXPECT_EQ(in.Seek(-5000, kStreamSeekCurrent), 0);
    ASSERT_EQ(in.ReadByte(&b), kStreamOk);
    EXPECT_EQ(b, PatternByte(static_cast<std::size_t>(start)));
  }
  // A start beyond the file's end leaves an empty stream, not a negative size.
  CInputBufFile past;
  ASSERT_EQ(past.Create(fd, 2000, 0), kStreamOk);
  EXPECT_EQ(past.GetSize(), 0);
  // A limited range keeps its own length.
  CInputBufFile ranged;
  ASSERT_EQ(ranged.Create(fd, 100, 50), kStreamOk);
  EXPECT_EQ(ranged.GetSize(), 50);
  EXPECT_EQ(ranged.Seek(500, kStreamSeekStart), 50);
}

TEST_F(StreamRobustness, EmptyBlockRoundTrip) {
  COutputMemFile out;
  ASSERT_EQ(out.Create(64), kStreamOk);
  const std::uint8_t nothing = 0;
  ASSERT_EQ(CompressBlock(&out, &nothing, 0, 0), kStreamOk);
  ASSERT_EQ(out.GetSize(), 1);
  const std::vector<std::uint8_t> block(out.GetBuffer(), out.GetBuffer() + out.GetSize());
  std::uint8_t destination[4] = {7, 7, 7, 7};
  EXPECT_EQ(DecompressBlock(destination, block.data(), 4, 1), kStreamOk);
  EXPECT_EQ(destination[0], 7) << "nothing written";
  EXPECT_EQ(DecompressBlock(destination, block.data(), 0, 1), kStreamOk);
  EXPECT_EQ(DecompressBlock(nullptr, block.data(), 0, 1), kStreamOk) << "no room is needed";
  // Damaged one-byte blocks and empty input still fail.
  const std::uint8_t literalWithoutBytes = 0x10;
  EXPECT_EQ(DecompressBlock(destination, &literalWithoutBytes, 4, 1), kCompressionFailed);
  EXPECT_EQ(DecompressBlock(destination, block.data(), 4, 0), kCompressionFailed);
  EXPECT_EQ(DecompressBlock(nullptr, block.data(), 4, 1), kCompressionFailed);
}

TEST_F(StreamRobustness, InflateIntoTooSmallBlockKeepsWholeChunksOnly) {
  // 20000 bytes deflate to a zlib stream that inflates in 8 KiB chunks: a 12000-byte block
  // takes the first chunk and refuses the second whole.
  const std::vector<std::uint8_t> plain = Pattern(20000);
  uLongf packedSize = compressBound(static_cast<uLong>(plain.size()));
  std::vector<std::uint8_t> packed(packedSize);
  ASSERT_EQ(compress2(packed.data(), &packedSize, plain.data(), plain.size(), 6), Z_OK);
  packed.resize(packedSize);
  const HFILE fd = Open(WriteFile("packed.z", packed));
  std::vector<std::uint8_t> block(12000, 0xEE);
  EXPECT_EQ(InflateFileToMemory(block.data(), fd, -1, 12000), kStreamMemoryFull);
  EXPECT_TRUE(std::equal(block.begin(), block.begin() + 8192, plain.begin()));
  EXPECT_EQ(block[8192], 0xEE) << "the chunk that did not fit is not written in part";
  EXPECT_EQ(block.back(), 0xEE);
}

}  // namespace
