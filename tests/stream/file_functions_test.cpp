#include <fcntl.h>
#include <unistd.h>

#include <vexa/memory.h>
#include <vexa/stream.h>

#include "stream/stream_test_util.h"

namespace {

using streamtest::Pattern;

class StreamFileFunctions : public streamtest::TempDirTest {
 protected:
  // Opens with OpenExistingFile; -1 stays -1, anything else is closed after the test.
  HFILE OpenMode(const std::string& path, int mode) {
    const HFILE fd = OpenExistingFile(path.c_str(), mode);
    if (fd != kInvalidFile) opened_.push_back(static_cast<int>(fd));
    return fd;
  }
  static bool CanRead(HFILE fd) {
    char c;
    return read(static_cast<int>(fd), &c, 1) >= 0;
  }
  static bool CanWrite(HFILE fd) {
    return write(static_cast<int>(fd), "", 0) >= 0 && write(static_cast<int>(fd), "w", 1) == 1;
  }
};

TEST_F(StreamFileFunctions, ModesGiveTheirAccess) {
  const std::string path = WriteFile("modes.bin", Pattern(16));
  struct Case {
    int mode;
    bool read, write;
  } cases[] = {{0, true, false},    {1, false, true}, {2, true, true},
               {0x42, true, false}, {3, true, false}, {0x12, true, false}};
  for (const Case& c : cases) {
    const HFILE fd = OpenMode(path, c.mode);
    ASSERT_NE(fd, kInvalidFile) << "mode " << c.mode;
    EXPECT_EQ(CanRead(fd), c.read) << "mode " << c.mode;
    EXPECT_EQ(CanWrite(fd), c.write) << "mode " << c.mode;
    CloseFile(fd);
    opened_.pop_back();
  }
  EXPECT_EQ(OpenMode(PathOf("missing"), 0), kInvalidFile);
  EXPECT_EQ(OpenMode(dir_.string(), 0), kInvalidFile) << "folders are not files";
}

TEST_F(StreamFileFunctions, SharingBitsDecideWhichSecondOpensSucceed) {
  const std::string path = WriteFile("share.bin", Pattern(16));
  struct Case {
    int first, second;
    bool allowed;
  } cases[] = {
      {0, 0, true},                           // both read, sharing reading
      {0, 2, false},                          // read sharing refuses a writer
      {2, 0, false},                          // a reader must share writing with the open writer
      {0x42, 2, true},                        // 0x42: reading, shared for reading and writing
      {0x42, 0x42, true},  {0x10, 0, false},  // bit 0x10: no sharing
      {0x20, 0, false},                       // bit 0x20: no sharing
      {0x30, 0x40, false}, {1, 0x40, false},  // mode 1 never shares
      {0x40, 1, false},                       // and cannot join an open that reads
  };
  for (const Case& c : cases) {
    const HFILE first = OpenMode(path, c.first);
    ASSERT_NE(first, kInvalidFile) << "first mode " << c.first;
    const HFILE second = OpenMode(path, c.second);
    EXPECT_EQ(second != kInvalidFile, c.allowed) << "modes " << c.first << ", " << c.second;
    if (second != kInvalidFile) CloseFile(second);
    CloseFile(first);
    opened_.clear();
  }
}

TEST_F(StreamFileFunctions, CreateNewFileTruncatesButNotAFileInUse) {
  const std::string path = WriteFile("create.bin", Pattern(100));
  const HFILE reader = OpenMode(path, 0);
  ASSERT_NE(reader, kInvalidFile);
  EXPECT_EQ(CreateNewFile(path.c_str()), kInvalidFile);
  EXPECT_EQ(ReadBack(path).size(), 100u) << "a refused create leaves the data alone";
  CloseFile(reader);
  opened_.clear();
  const HFILE fd = CreateNewFile(path.c_str());
  ASSERT_NE(fd, kInvalidFile);
  EXPECT_EQ(GetFileLength(fd), 0);
  EXPECT_EQ(WriteFileExact(fd, "abc", 3), kStreamOk);
  EXPECT_EQ(OpenMode(path, 0x40), kInvalidFile) << "created without sharing";
  EXPECT_NE(CloseFile(fd), 0);
  EXPECT_EQ(CloseFile(fd), 0);
}

TEST_F(StreamFileFunctions, FileExistsMatchesWildcardsInTheLastComponent) {
  WriteFile("alpha.txt", {1});
  WriteFile("README", {1});
  WriteFile("abc.bin", {1});
  std::filesystem::create_directory(dir_ / "sub");
  const std::string d = dir_.string();
  struct Case {
    std::string pattern;
    BOOL found;
  } cases[] = {
      {d + "/alpha.txt", 1}, {d + "/*.txt", 1},   {d + "/a?c.bin", 1},     {d + "/a?.bin", 0},
      {d + "/*.*", 1},       {d + "/READ*.*", 1}, {d + "/README.*", 1},    {d + "/*.png", 0},
      {d + "/sub", 1},       {d + "/s*", 1},      {d + "/sub/*", 0},       {d + "\\alpha.txt", 1},
      {d + "/alpha.TXT", 0}, {d + "/missing", 0}, {d + "/*/alpha.txt", 0}, {"", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileExists(c.pattern.c_str()), c.found) << c.pattern;
    EXPECT_EQ(FileExistsW(streamtest::Wide(c.pattern).c_str()), c.found) << c.pattern;
  }
  EXPECT_EQ(FileExists(nullptr), 0);
}

TEST_F(StreamFileFunctions, PositionsLengthsAndExactTransfers) {
  const HFILE fd = Open(WriteFile("pos.bin", Pattern(1000)), O_RDWR);
  EXPECT_EQ(SeekFileStart(fd, 10), 10);
  EXPECT_EQ(GetFileLength(fd), 1000);
  EXPECT_EQ(GetFilePosition(fd), 10) << "the length query keeps the position";
  EXPECT_EQ(SeekFileCurrent(fd, -4), 6);
  EXPECT_EQ(SeekFileEnd(fd, -100), 900);
  std::vector<std::uint8_t> got(200);
  EXPECT_EQ(ReadFileRaw(fd, got.data(), 200), 100);
  EXPECT_EQ(SeekFileStart(fd, 0), 0);
  EXPECT_EQ(ReadFileExact(fd, got.data(), 200), kStreamOk);
  EXPECT_EQ(got, Pattern(200));
  EXPECT_EQ(SeekFileEnd(fd, -5), 995);
  EXPECT_EQ(ReadFileExact(fd, got.data(), 10), kStreamEndOfFile);
  EXPECT_EQ(SeekFileStart(fd, -1), -1);
  EXPECT_EQ(ReadFileRaw(kInvalidFile, got.data(), 1), -1);

  const HFILE writeOnly = Open(PathOf("pos.bin"), O_WRONLY);
  EXPECT_EQ(ReadFileExact(writeOnly, got.data(), 1), kStreamReadError);
  const HFILE readOnly = Open(PathOf("pos.bin"), O_RDONLY);
  EXPECT_EQ(WriteFileExact(readOnly, "x", 1), kStreamWriteError);
  const HFILE full = Open("/dev/full", O_WRONLY);
  EXPECT_EQ(WriteFileExact(full, "x", 1), kStreamDiskFull);
}

// The sized readers, over a regular file and over a pipe (whose length is unknown).
class StreamSizedReaders : public StreamFileFunctions {
 protected:
  HFILE FileWith(const std::vector<std::uint8_t>& bytes) {
    return Open(WriteFile("sized.bin", bytes));
  }
  HFILE PipeWith(const std::vector<std::uint8_t>& bytes) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    EXPECT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fds[1]);
    opened_.push_back(fds[0]);
    return fds[0];
  }
};

TEST_F(StreamSizedReaders, ReadTheBlockAfterItsLength) {
  for (bool viaPipe : {false, true}) {
    auto source = [&](const std::vector<std::uint8_t>& b) {
      return viaPipe ? PipeWith(b) : FileWith(b);
    };
    void* block = nullptr;
    ASSERT_EQ(ReadSizedBlock(source({3, 0, 0, 0, 'a', 'b', 'c', 'z'}), &block), kStreamOk);
    EXPECT_EQ(std::string(static_cast<char*>(block), 3), "abc");
    FreeBlockAndClear(&block);
    ASSERT_EQ(ReadSizedBlock16(source({2, 0, 'x', 'y'}), &block), kStreamOk);
    EXPECT_EQ(std::string(static_cast<char*>(block), 2), "xy");
    FreeBlockAndClear(&block);
    char* text = nullptr;
    ASSERT_EQ(ReadSizedString16(source({5, 0, 'h', 'e', 'l', 'l', 'o'}), &text), kStreamOk);
    EXPECT_STREQ(text, "hello") << "ends with a zero byte";
    FreeBlockAndClear(reinterpret_cast<void**>(&text));
    ASSERT_EQ(ReadSizedString16(source({0, 0}), &text), kStreamOk);
    EXPECT_STREQ(text, "");
    FreeBlockAndClear(reinterpret_cast<void**>(&text));
  }
}

TEST_F(StreamSizedReaders, ShortOrAbsurdLengthsFailWithoutAllocating) {
  for (bool viaPipe : {false, true}) {
    auto source = [&](const std::vector<std::uint8_t>& b) {
      return viaPipe ? PipeWith(b) : FileWith(b);
    };
    void* block = reinterpret_cast<void*>(1);
    EXPECT_EQ(ReadSizedBlock(source({3, 0}), &block), kStreamEndOfFile) << "short length field";
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(ReadSizedBlock(source({4, 0, 0, 0, 'a'}), &block), kStreamEndOfFile) << "short data";
    EXPECT_EQ(block, nullptr);
    char* text = nullptr;
    EXPECT_EQ(ReadSizedString16(source({0xFF, 0xFF, 'a'}), &text), kStreamEndOfFile);
    EXPECT_EQ(text, nullptr);
    // A length of almost 4 GiB (or 2 GiB) in a tiny input fails. On a regular file it is
    // refused before anything is allocated or read: the data stays unread.
    HFILE fd = source({0xF0, 0xFF, 0xFF, 0xFF, 1, 2, 3});
    EXPECT_EQ(ReadSizedBlock(fd, &block), kStreamEndOfFile);
    fd = source({0xF0, 0xFF, 0xFF, 0x7F, 1, 2, 3});
    EXPECT_EQ(ReadSizedBlock(fd, &block), kStreamEndOfFile);
    EXPECT_EQ(block, nullptr);
    if (!viaPipe) {
      EXPECT_EQ(streamtest::OffsetOf(fd), 4);
    }
  }
  void* block = nullptr;
  EXPECT_EQ(ReadSizedBlock(kInvalidFile, &block), kStreamReadError);
}

}  // namespace
