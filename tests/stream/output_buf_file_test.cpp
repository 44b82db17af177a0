#include <fcntl.h>

#include <vexa/stream.h>

#include "stream/stream_test_util.h"

namespace {

using streamtest::Pattern;

class StreamOutputBufFile : public streamtest::TempDirTest {};

off_t SizeOnDisk(HFILE fd) {
  struct stat info {};
  fstat(static_cast<int>(fd), &info);
  return info.st_size;
}

TEST_F(StreamOutputBufFile, CollectsWritesUntilTheBufferOverflows) {
  const HFILE fd = Open(PathOf("out.bin"), O_RDWR | O_CREAT | O_TRUNC);
  COutputBufFile out;
  ASSERT_EQ(out.Create(fd, 16), kStreamOk);
  const std::vector<std::uint8_t> data = Pattern(100);
  ASSERT_EQ(out.Write(data.data(), 16), kStreamOk);
  EXPECT_EQ(SizeOnDisk(fd), 0) << "an exactly full buffer waits";
  EXPECT_EQ(out.Tell(), 16);
  EXPECT_EQ(out.GetSize(), 16);
  ASSERT_EQ(out.Write(data.data() + 16, 40), kStreamOk);
  EXPECT_EQ(SizeOnDisk(fd), 48) << "three whole buffers went out";
  EXPECT_EQ(out.GetSize(), 56);
  ASSERT_EQ(out.Flush(), kStreamOk);
  EXPECT_EQ(SizeOnDisk(fd), 56);
  EXPECT_EQ(ReadBack(PathOf("out.bin")),
            std::vector<std::uint8_t>(data.begin(), data.begin() + 56));
}

TEST_F(StreamOutputBufFile, SeekBeforeTheEndWritesThroughUntilBackAtTheEnd) {
  const HFILE fd = Open(PathOf("seek.bin"), O_RDWR | O_CREAT | O_TRUNC);
  COutputBufFile out;
  ASSERT_EQ(out.Create(fd, 64), kStreamOk);
  ASSERT_EQ(out.Write("0123456789", 10), kStreamOk);
  EXPECT_EQ(out.Seek(2, kStreamSeekStart), 2);
  EXPECT_EQ(SizeOnDisk(fd), 10) << "leaving the end flushed the buffer";
  ASSERT_EQ(out.Write("ab", 2), kStreamOk);
  EXPECT_EQ(ReadBack(PathOf("seek.bin")).at(2), 'a') << "written straight to the file";
  EXPECT_EQ(out.Seek(100, kStreamSeekCurrent), 10) << "clamped to the size";
  ASSERT_EQ(out.Write("XY", 2), kStreamOk);
  EXPECT_EQ(SizeOnDisk(fd), 10) << "collected again at the end";
  EXPECT_EQ(out.Seek(-1, kStreamSeekEnd), 11);
  const std::string expected = "01ab456789XY";
  const auto bytes = ReadBack(PathOf("seek.bin"));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
}

TEST_F(StreamOutputBufFile, CreateByNameTruncatesAndDestructionFlushesAndCloses) {
  const std::string path = WriteFile("named.bin", Pattern(1000));
  {
    COutputBufFile out;
    ASSERT_EQ(out.Create(path.c_str(), 4096), kStreamOk);
    ASSERT_EQ(out.Write("hello", 5), kStreamOk);
    EXPECT_STREQ(out.GetFileName(), path.c_str());
    EXPECT_EQ(std::u16string(out.GetFileNameW()), streamtest::Wide(path));
  }
  const auto bytes = ReadBack(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "hello");
  COutputBufFile bad;
  EXPECT_EQ(bad.Create(PathOf("no/such/dir.bin").c_str(), 16), kStreamCannotCreate);
}

TEST_F(StreamOutputBufFile, FullDeviceAndBadHandleGiveTheirCodes) {
  const HFILE full = Open("/dev/full", O_WRONLY);
  COutputBufFile out;
  ASSERT_EQ(out.Create(full, 8), kStreamOk);
  ASSERT_EQ(out.Write("1234", 4), kStreamOk);
  EXPECT_EQ(out.Flush(), kStreamDiskFull);
  EXPECT_EQ(out.Write("123456789", 9), kStreamDiskFull);
  const HFILE readOnly = Open(WriteFile("ro.bin", Pattern(4)), O_RDONLY);
  COutputBufFile ro;
  ASSERT_EQ(ro.Create(readOnly, 0), kStreamOk);
  EXPECT_EQ(ro.Write("x", 1), kStreamWriteError);
}

}  // namespace
