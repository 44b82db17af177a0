// Helpers for the stream tests: a private temporary folder, files with known bytes, and a
// byte pattern whose every offset is recognisable.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <vexa/wintypes.h>

namespace streamtest {

// Byte i of the pattern: varies at every offset and does not repeat with period 256.
inline std::uint8_t PatternByte(std::size_t i) {
  return static_cast<std::uint8_t>((i * 131u) ^ (i >> 8) ^ (i >> 16));
}

inline std::vector<std::uint8_t> Pattern(std::size_t size, std::size_t from = 0) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = PatternByte(from + i);
  return bytes;
}

inline std::u16string Wide(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

// A test fixture with its own empty folder, removed afterwards.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (std::filesystem::temp_directory_path() / "vexa-stream-XXXXXX").string();
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    dir_ = templ;
  }
  void TearDown() override {
    for (int fd : opened_) close(fd);
    std::filesystem::remove_all(dir_);
  }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  std::string WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = PathOf(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  std::vector<std::uint8_t> ReadBack(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // A descriptor closed at the end of the test.
  HFILE Open(const std::string& path, int flags = O_RDONLY) {
    const int fd = open(path.c_str(), flags | O_CLOEXEC, 0644);
    EXPECT_GE(fd, 0) << path;
    if (fd >= 0) opened_.push_back(fd);
    return fd;
  }

  std::filesystem::path dir_;
  std::vector<int> opened_;
};

inline off_t OffsetOf(HFILE fd) { return lseek(static_cast<int>(fd), 0, SEEK_CUR); }

inline bool IsOpen(HFILE fd) { return fcntl(static_cast<int>(fd), F_GETFD) != -1; }

}  // namespace streamtest
