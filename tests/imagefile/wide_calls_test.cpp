// Wide directory search, library loading and the string table.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <vexa/wide_calls.h>

#include "imagefile/filter_test_support.h"

namespace {

namespace fs = std::filesystem;
using vexa::test::Utf16;

class WideSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("vexa-search-" + std::to_string(getpid()));
    fs::create_directories(folder / "sub.ift");
    // Created out of order; "Z" sorts before "a" and "\xC3\xA9" (U+00E9) after "z".
    for (const char* name : {"b.ift", "\xC3\xA9.ift", "a.ift", "Z.ift", "skip.txt", "z.ift"}) {
      std::ofstream(folder / name) << name;
    }
  }
  void TearDown() override { fs::remove_all(folder); }
  fs::path folder;
};

TEST_F(WideSearch, MatchesComeSortedByUtf16Units) {
  EXPECT_EQ(DetectWideCalls(), 1);
  WIN32_FIND_DATAW data;
  const std::u16string pattern = Utf16((folder / "*.ift").string());
  const HFIND search = FindFirstFileWide(pattern.c_str(), &data);
  ASSERT_NE(search, kInvalidFind);
  std::vector<std::u16string> names;
  do {
    names.emplace_back(data.cFileName);
    const bool isFolder = names.back() == u"sub.ift";
    EXPECT_EQ((data.dwFileAttributes & kFileAttributeDirectory) != 0, isFolder);
    if (names.back() == u"a.ift") {
      EXPECT_EQ(data.nFileSizeLow, 5u);
      EXPECT_EQ(data.nFileSizeHigh, 0u);
      struct stat info {};
      ASSERT_EQ(stat((folder / "a.ift").c_str(), &info), 0);
      const std::uint64_t written = std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32 |
                                    data.ftLastWriteTime.dwLowDateTime;
      EXPECT_EQ(written,
                (static_cast<std::uint64_t>(info.st_mtim.tv_sec) + 11644473600u) * 10000000u +
                    static_cast<std::uint64_t>(info.st_mtim.tv_nsec) / 100u);
    }
  } while (FindNextFileWide(search, &data));
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Z.ift", u"a.ift", u"b.ift", u"sub.ift", u"z.ift",
                                                u"\u00e9.ift"}));
  EXPECT_EQ(FindNextFileWide(search, &data), 0);
  EXPECT_EQ(FindCloseWide(search), 1);
}

TEST_F(WideSearch, FailuresAnswerTheInvalidHandle) {
  WIN32_FIND_DATAW data;
  const std::u16string none = Utf16((folder / "*.none").string());
  EXPECT_EQ(FindFirstFileWide(none.c_str(), &data), kInvalidFind);
  EXPECT_EQ(FindFirstFileWide(u"/nonexistent/vexa/*", &data), kInvalidFind);
  EXPECT_EQ(FindFirstFileWide(nullptr, &data), kInvalidFind);
  EXPECT_EQ(FindNextFileWide(kInvalidFind, &data), 0);
  EXPECT_EQ(FindCloseWide(kInvalidFind), 0);
}

TEST(WideLibrary, LoadsSharedObjectsByWidePath) {
  HMODULE module = LoadLibraryWide(Utf16(VEXA_LIBRARY_PATH).c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_NE(GetModuleEntryPoint(module, "GetExportByOrdinal"), nullptr);
  EXPECT_EQ(GetModuleEntryPoint(module, "NoSuchEntryPoint"), nullptr);
  EXPECT_EQ(FreeLibraryModule(module), 1);
  EXPECT_EQ(LoadLibraryWide(u"/nonexistent/libnone.so"), nullptr);
  EXPECT_EQ(LoadLibraryWide(u""), nullptr);
}

TEST(WideLibrary, UnknownStringsAnswerEmpty) {
  WCHAR wide[8] = {u'x'};
  char narrow[8] = {'x'};
  EXPECT_EQ(LoadLibraryStringW(0xFFFF, wide, 8), 0);
  EXPECT_EQ(wide[0], 0);
  EXPECT_EQ(LoadLibraryString(0xFFFF, narrow, 8), 0);
  EXPECT_EQ(narrow[0], 0);
}

}  // namespace
