#include <cstring>

#include <vexa/stream.h>

#include "stream/stream_test_util.h"

namespace {

using streamtest::Pattern;

// Exposes the block's capacity, which the interface does not report.
struct ProbedOutputMemFile : COutputMemFile {
  int Capacity() const { return m_capacity; }
};

TEST(StreamInputMemFile, ReadsSeeksAndLendsItsBlock) {
  const std::vector<std::uint8_t> data = Pattern(100);
  CInputMemFile in;
  ASSERT_EQ(in.Create(data.data(), 100), kStreamOk);
  std::uint8_t got[150];
  int count = 0;
  ASSERT_EQ(in.Read(got, 30, &count), kStreamOk);
  EXPECT_EQ(count, 30);
  EXPECT_EQ(in.Seek(-10, kStreamSeekEnd), 90);
  EXPECT_EQ(in.Read(got, 20, &count), kStreamEndOfFile);
  EXPECT_EQ(count, 10);
  EXPECT_EQ(std::memcmp(got, data.data() + 90, 10), 0);
  EXPECT_EQ(in.ReadExact(got, 1), kStreamEndOfFile) << "nothing left";
  BYTE b;
  EXPECT_EQ(in.ReadByte(&b), kStreamEndOfFile);
  EXPECT_EQ(in.Seek(-500, kStreamSeekCurrent), 0);
  EXPECT_EQ(in.Seek(7, 9), 0) << "an unknown origin keeps the position";
  EXPECT_EQ(in.GetSize(), 100);

  // ReadAlloc lends a pointer into the block and skips the bytes.
  EXPECT_EQ(in.ReadAlloc(101), nullptr);
  EXPECT_EQ(in.ReadAlloc(0), nullptr);
  EXPECT_EQ(in.ReadAlloc(40), data.data());
  EXPECT_EQ(in.Tell(), 40);
  EXPECT_EQ(in.Attach(3), kStreamOk);
  EXPECT_EQ(in.Detach(), kInvalidFile);
  EXPECT_EQ(in.GetFileNameW(), nullptr);
}

TEST(StreamInputMemFile, OwnedBlockIsFilledThroughGetBuffer) {
  CInputMemFile in;
  ASSERT_EQ(in.Create(4), kStreamOk);
  std::memcpy(in.GetBuffer(), "\x34\x12\x78\x56", 4);
  DWORD d = 0;
  ASSERT_EQ(in.ReadDWord(&d), kStreamOk);
  EXPECT_EQ(d, 0x56781234u);
  ASSERT_EQ(in.Create(0), kStreamOk) << "recreating frees the old block";
  EXPECT_EQ(in.GetSize(), 0);
}

TEST(StreamOutputMemFile, GrowsInMultiplesOfItsStep) {
  ProbedOutputMemFile out;
  ASSERT_EQ(out.Create(100), kStreamOk);
  const std::vector<std::uint8_t> data = Pattern(250);
  ASSERT_EQ(out.Write(data.data(), 250), kStreamOk);
  EXPECT_EQ(out.Capacity(), 300);
  EXPECT_EQ(out.GetSize(), 250);
  EXPECT_EQ(std::memcmp(out.GetBuffer(), data.data(), 250), 0);
  // Overwriting inside keeps the size; writing past it extends it.
  EXPECT_EQ(out.Seek(-50, kStreamSeekEnd), 200);
  ASSERT_EQ(out.Write(data.data(), 10), kStreamOk);
  EXPECT_EQ(out.GetSize(), 250);
  EXPECT_EQ(out.Tell(), 210);
  EXPECT_EQ(out.Seek(1000, kStreamSeekStart), 250);
  EXPECT_EQ(out.Seek(1, 5), 250) << "an unknown origin keeps the position";
  EXPECT_EQ(out.Flush(), kStreamOk);
}

TEST(StreamOutputMemFile, InitialSizeZeroFallsBackToStep512) {
  ProbedOutputMemFile out;
  ASSERT_EQ(out.Create(0), kStreamOk);
  ASSERT_EQ(out.Write("x", 1), kStreamOk);
  EXPECT_EQ(out.Capacity(), 512);
  const std::vector<std::uint8_t> data = Pattern(600);
  ASSERT_EQ(out.Write(data.data(), 600), kStreamOk);
  EXPECT_EQ(out.Capacity(), 1024);
  EXPECT_EQ(out.GetBuffer()[0], 'x');
  EXPECT_EQ(std::memcmp(out.GetBuffer() + 1, data.data(), 600), 0);
}

TEST(StreamOutputMemFile, FixedBlockRefusesWritesThatDoNotFit) {
  std::uint8_t block[12];
  std::memset(block, 0xEE, sizeof block);
  COutputMemFile out;
  ASSERT_EQ(out.Create(block, 10), kStreamOk);
  ASSERT_EQ(out.Write("abcdefgh", 8), kStreamOk);
  EXPECT_EQ(out.Write("XYZ", 3), kStreamMemoryFull);
  EXPECT_EQ(out.Tell(), 8) << "nothing of the refused write was taken";
  EXPECT_EQ(block[8], 0xEE);
  EXPECT_EQ(out.Write("XY", 2), kStreamOk) << "exactly full is fine";
  EXPECT_EQ(block[10], 0xEE);
  EXPECT_EQ(out.GetSize(), 10);
}

}  // namespace
