#include <fcntl.h>
#include <unistd.h>

#include <string>

#include <vexa/memory.h>
#include <vexa/stream.h>

#include "stream/stream_test_util.h"

namespace {

using streamtest::OffsetOf;
using streamtest::Pattern;
using streamtest::PatternByte;

class StreamInputBufFile : public streamtest::TempDirTest {
 protected:
  // A stream over the caller-kept handle of a pattern file.
  HFILE OpenPattern(std::size_t size) {
    path_ = WriteFile("pattern.bin", Pattern(size));
    return Open(path_);
  }
  // Complements the pattern file's bytes from `offset` to `end` (through a handle of its
  // own): what a stream then delivers from there shows whether it had read them before.
  void Overwrite(std::size_t offset, std::size_t end) {
    std::vector<std::uint8_t> bytes(end - offset);
    const int fd = open(path_.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pread(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)),
              static_cast<ssize_t>(bytes.size()));
    for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(~b);
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)),
              static_cast<ssize_t>(bytes.size()));
    close(fd);
  }

 private:
  std::string path_;
};

TEST_F(StreamInputBufFile, LargeReadTakesOneDirectChunkThenRefillsTheBuffer) {
  const HFILE fd = OpenPattern(40000);
  {
    CInputBufFile in;
    ASSERT_EQ(in.Attach(fd), kStreamOk);
    std::vector<std::uint8_t> got(20000);
    ASSERT_EQ(in.ReadExact(got.data(), 20000), kStreamOk);
    EXPECT_EQ(got, Pattern(20000));
    EXPECT_EQ(in.Tell(), 20000);
    // 16384 bytes went straight into the caller's memory, then one buffer refill of 16384
    // for the remaining 3616: bytes 20000 to 32767 are buffered, nothing after them was read.
    Overwrite(20000, 40000);
    std::vector<std::uint8_t> next(12768);
    ASSERT_EQ(in.ReadExact(next.data(), 12768), kStreamOk);
    EXPECT_EQ(next, Pattern(12768, 20000)) << "served from the buffer";
    BYTE b = 0;
    ASSERT_EQ(in.ReadByte(&b), kStreamOk);
    EXPECT_EQ(b, static_cast<BYTE>(~PatternByte(32768))) << "read from the file afresh";
  }
  // The refill for that byte took the rest of the file; the handle the caller keeps is left
  // after it, where reading in order would have left it.
  EXPECT_EQ(OffsetOf(fd), 40000);
}

TEST_F(StreamInputBufFile, ReadsStartAtTheStreamsPlaceWhereverTheHandleWasMoved) {
  // Two streams over one handle, as two sounds playing windows of one file: each reads its
  // own bytes, whatever the other or the caller did to the handle's offset in between.
  const HFILE fd = OpenPattern(3 * kStreamBufferSize);
  CInputBufFile first, second;
  ASSERT_EQ(first.Create(fd, 0, 0), kStreamOk);
  ASSERT_EQ(second.Create(fd, 2 * kStreamBufferSize, kStreamBufferSize), kStreamOk);
  std::vector<std::uint8_t> a(kStreamBufferSize), b(100);
  for (int round = 0; round < 2; ++round) {
    lseek(static_cast<int>(fd), 12345, SEEK_SET);
    ASSERT_EQ(first.ReadExact(a.data(), kStreamBufferSize), kStreamOk);
    EXPECT_EQ(a, Pattern(kStreamBufferSize, round * kStreamBufferSize)) << "round " << round;
    ASSERT_EQ(second.ReadExact(b.data(), 100), kStreamOk);
    EXPECT_EQ(b, Pattern(100, 2 * kStreamBufferSize + round * 100)) << "round " << round;
  }
}

TEST_F(StreamInputBufFile, ReadsAcrossEveryChunkBoundaryMatchTheFile) {
  const std::size_t size = 3 * kStreamBufferSize + 77;
  const HFILE fd = OpenPattern(size);
  const std::size_t steps[] = {1, 3, 4095, 16383, 16384, 16385, 40000};
  for (std::size_t step : steps) {
    CInputBufFile in;
    ASSERT_EQ(in.Create(fd, 0, 0), kStreamOk);
    std::vector<std::uint8_t> all, part(step);
    int code = kStreamOk;
    while (code == kStreamOk) {
      int count = -1;
      code = in.Read(part.data(), static_cast<int>(step), &count);
      all.insert(all.end(), part.begin(), part.begin() + count);
    }
    EXPECT_EQ(code, kStreamEndOfFile) << "step " << step;
    EXPECT_EQ(all, Pattern(size)) << "step " << step;
    EXPECT_EQ(in.Tell(), static_cast<int>(size)) << "position after a short read, step " << step;
  }
}

TEST_F(StreamInputBufFile, RangeStopsAtItsEndEvenInALongerFile) {
  const HFILE fd = OpenPattern(1000);
  CInputBufFile in;
  ASSERT_EQ(in.Create(fd, 100, 50), kStreamOk);
  EXPECT_EQ(OffsetOf(fd), 100);
  EXPECT_EQ(in.GetSize(), 50);
  std::vector<std::uint8_t> got(60);
  int count = 0;
  EXPECT_EQ(in.Read(got.data(), 60, &count), kStreamEndOfFile);
  EXPECT_EQ(count, 50);
  got.resize(50);
  EXPECT_EQ(got, Pattern(50, 100));
  BYTE b = 0;
  EXPECT_EQ(in.ReadByte(&b), kStreamEndOfFile);
  EXPECT_EQ(in.Tell(), 50);

  // Seeks are relative to the range and clamped to it.
  EXPECT_EQ(in.Seek(-10, kStreamSeekEnd), 40);
  ASSERT_EQ(in.ReadByte(&b), kStreamOk);
  EXPECT_EQ(b, PatternByte(140));
  EXPECT_EQ(in.Seek(500, kStreamSeekStart), 50);
  EXPECT_EQ(in.Seek(-500, kStreamSeekCurrent), 0);
  EXPECT_EQ(in.Seek(3, 7), 0) << "an unknown origin lands on the start";

  // Large reads are cut at the range's end too.
  std::vector<std::uint8_t> big(20000);
  EXPECT_EQ(in.Read(big.data(), 20000, &count), kStreamEndOfFile);
  EXPECT_EQ(count, 50);
}

TEST_F(StreamInputBufFile, SeekMovesInsideTheBufferOrThroughTheFile) {
  const HFILE fd = OpenPattern(40000);
  CInputBufFile in;
  ASSERT_EQ(in.Attach(fd), kStreamOk);
  BYTE b[5];
  ASSERT_EQ(in.ReadExact(b, 5), kStreamOk);
  lseek(static_cast<int>(fd), 7, SEEK_SET);  // a move the stream does not depend on

  // Forward over unread and back over delivered bytes: only the cursor moves, so what comes
  // is still the buffered bytes (the file below them is changed meanwhile).
  Overwrite(0, kStreamBufferSize);
  EXPECT_EQ(in.Seek(100, kStreamSeekCurrent), 105);
  EXPECT_EQ(in.Seek(-3, kStreamSeekCurrent), 102);
  EXPECT_EQ(OffsetOf(fd), 7);
  BYTE v = 0;
  ASSERT_EQ(in.ReadByte(&v), kStreamOk);
  EXPECT_EQ(v, PatternByte(102));
  Overwrite(0, kStreamBufferSize);  // back to the pattern

  // Back past what the buffer delivered: through the file.
  EXPECT_EQ(in.Seek(-200, kStreamSeekCurrent), 0);
  EXPECT_EQ(OffsetOf(fd), 0);
  ASSERT_EQ(in.ReadExact(b, 5), kStreamOk);
  EXPECT_EQ(in.Seek(-10, kStreamSeekCurrent), 0) << "-10 after 5 bytes of a fresh buffer";
  EXPECT_EQ(OffsetOf(fd), 0);

  // Forward past the buffered bytes: through the file.
  ASSERT_EQ(in.ReadExact(b, 5), kStreamOk);
  EXPECT_EQ(in.Seek(30000, kStreamSeekCurrent), 30005);
  EXPECT_EQ(OffsetOf(fd), 30005);
  ASSERT_EQ(in.ReadByte(&v), kStreamOk);
  EXPECT_EQ(v, PatternByte(30005));
  EXPECT_EQ(in.Seek(0, kStreamSeekCurrent), 30006);
}

TEST_F(StreamInputBufFile, LengthZeroReadsAndSeeksUpToTheFilesEnd) {
  const HFILE fd = OpenPattern(300);
  CInputBufFile in;
  ASSERT_EQ(in.Create(fd, 10, 0), kStreamOk);
  std::vector<std::uint8_t> got(290);
  ASSERT_EQ(in.ReadExact(got.data(), 290), kStreamOk);
  EXPECT_EQ(got, Pattern(290, 10));
  EXPECT_EQ(in.Seek(100, kStreamSeekStart), 100);
  BYTE v = 0;
  ASSERT_EQ(in.ReadByte(&v), kStreamOk);
  EXPECT_EQ(v, PatternByte(110));
  EXPECT_EQ(in.Seek(0, kStreamSeekEnd), 290);
  EXPECT_EQ(in.ReadByte(&v), kStreamEndOfFile);
  EXPECT_EQ(in.Seek(-300, kStreamSeekCurrent), 0);
  ASSERT_EQ(in.ReadByte(&v), kStreamOk);
  EXPECT_EQ(v, PatternByte(10));
}

TEST_F(StreamInputBufFile, IntegerReadersInBothByteOrders) {
  const std::vector<std::uint8_t> bytes = {0x12, 0x34, 0x12, 0x34, 0x12, 0x34, 0x56, 0x78,
                                           0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0xFF, 0xFE,
                                           0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
  CInputBufFile in;
  ASSERT_EQ(in.Attach(Open(WriteFile("ints.bin", bytes))), kStreamOk);
  WORD w = 0;
  DWORD d = 0;
  LONG i = 0;
  ASSERT_EQ(in.ReadWordBE(&w), kStreamOk);
  EXPECT_EQ(w, 0x1234);
  ASSERT_EQ(in.ReadWord(&w), kStreamOk);
  EXPECT_EQ(w, 0x3412);
  ASSERT_EQ(in.ReadDWordBE(&d), kStreamOk);
  EXPECT_EQ(d, 0x12345678u);
  ASSERT_EQ(in.ReadDWord(&d), kStreamOk);
  EXPECT_EQ(d, 0x78563412u);
  ASSERT_EQ(in.ReadIntBE(&i), kStreamOk);
  EXPECT_EQ(i, -2);
  WORD words[2];
  ASSERT_EQ(in.ReadWordsBE(words, 2), kStreamOk);
  EXPECT_EQ(words[0], 0x0102);
  EXPECT_EQ(words[1], 0x0304);
  DWORD dwords[2] = {0xAAAAAAAA, 0xBBBBBBBB};
  // Only one whole element is left: it is converted, the rest of the array is not touched.
  EXPECT_EQ(in.ReadDWordsBE(dwords, 2), kStreamEndOfFile);
  EXPECT_EQ(dwords[0], 0x05060708u);
  EXPECT_EQ(dwords[1], 0xBBBBBBBBu);
  EXPECT_EQ(in.ReadWord(&w), kStreamEndOfFile);
}

TEST_F(StreamInputBufFile, DetachLeavesTheHandleAtTheLogicalPositionAndOpen) {
  const std::string path = WriteFile("detach.bin", Pattern(5000));
  CInputBufFile in;
  ASSERT_EQ(in.Create(path.c_str()), kStreamOk);
  BYTE b[7];
  ASSERT_EQ(in.ReadExact(b, 7), kStreamOk);
  const HFILE fd = in.Detach();
  ASSERT_NE(fd, kInvalidFile);
  EXPECT_EQ(OffsetOf(fd), 7);
  EXPECT_EQ(in.Detach(), kInvalidFile);
  EXPECT_EQ(in.GetFileName(), nullptr);
  in.Destroy(0);  // must not close what it no longer owns
  new (&in) CInputBufFile();
  EXPECT_TRUE(streamtest::IsOpen(fd));
  close(static_cast<int>(fd));
}

TEST_F(StreamInputBufFile, StreamsOpenedByNameOwnTheirHandleAndName) {
  const std::string path = WriteFile("name.bin", Pattern(64));
  HFILE fd = kInvalidFile;
  {
    CInputBufFile in;
    ASSERT_EQ(in.Create(streamtest::Wide(path).c_str(), 8, 16), kStreamOk);
    EXPECT_EQ(in.GetSize(), 16);
    EXPECT_STREQ(in.GetFileName(), path.c_str()) << "converted from the wide name";
    fd = in.Detach();
    ASSERT_EQ(in.Create(path.c_str()), kStreamOk);
    EXPECT_EQ(in.GetSize(), 64);
    EXPECT_EQ(std::u16string(in.GetFileNameW()), streamtest::Wide(path));
  }
  close(static_cast<int>(fd));
  CInputBufFile missing;
  EXPECT_EQ(missing.Create(PathOf("missing.bin").c_str()), kStreamCannotOpen);
  EXPECT_EQ(missing.GetFileName(), nullptr);
}

TEST_F(StreamInputBufFile, StreamWithoutAFileReportsNoBuffer) {
  CInputBufFile in;
  ASSERT_EQ(in.Attach(kInvalidFile), kStreamOk);
  BYTE b[10];
  EXPECT_EQ(in.ReadExact(b, 10), kStreamNoBuffer);
  EXPECT_EQ(in.ReadAlloc(10), nullptr);
  EXPECT_EQ(in.ReadAlloc(0), nullptr);
}

TEST_F(StreamInputBufFile, ReadAllocReturnsTheBytesOrNothing) {
  CInputBufFile in;
  ASSERT_EQ(in.Attach(OpenPattern(100)), kStreamOk);
  auto* block = static_cast<std::uint8_t*>(in.ReadAlloc(60));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::vector<std::uint8_t>(block, block + 60), Pattern(60));
  in.FreeAlloc(block);
  EXPECT_EQ(in.ReadAlloc(60), nullptr) << "only 40 bytes are left";
  EXPECT_EQ(in.Tell(), 100);
}

}  // namespace
