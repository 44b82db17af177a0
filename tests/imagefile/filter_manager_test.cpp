// The filter managers against real test plug-ins (tests/imagefile/plugins/): scan order and
// skip rules, name and list conversions, lookups, creation and the content test.
#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <vexa/filter_impl.h>
#include <vexa/filter_manager.h>
#include <vexa/stream.h>
#include <vexa/text.h>

#include "imagefile/filter_test_support.h"

namespace {

namespace fs = std::filesystem;
using vexa::test::FilterDir;
using vexa::test::Utf16;

constexpr std::uint32_t kNarr = FilterID("NARR");
constexpr std::uint32_t kBoth = FilterID("BOTH");
constexpr std::uint32_t kNoPriority = FilterID("NOPR");
constexpr std::uint32_t kDupe = FilterID("DUPE");
constexpr std::uint32_t kReadAhead = FilterID("RDAH");

// Whether the shared object at path is loaded in the process now.
bool IsLoaded(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return false;
  dlclose(handle);
  return true;
}

// The plug-in's record of which entry points the manager called.
int CallsOf(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return -1;
  auto calls = reinterpret_cast<int (*)()>(dlsym(handle, "TestFilterCalls"));
  const int result = calls ? calls() : -1;
  dlclose(handle);
  return result;
}

std::vector<std::uint32_t> IdsOf(CFilterMgr& mgr) {
  std::vector<std::uint32_t> ids;
  for (int i = 0; i < mgr.GetFilterCount(); ++i) ids.push_back(mgr.GetFilterID(i));
  return ids;
}

class FilterManager : public ::testing::Test {
 protected:
  void SetUp() override { mgr.LoadFiltersW(Utf16(FilterDir("order")).c_str(), u"*.ift", 7); }
  void TearDown() override { mgr.Free(); }
  CFilterMgr mgr;
};

TEST_F(FilterManager, ScanKeepsPriorityOrderAndSkipsIncompletePlugins) {
  // Found in name order; equal priorities (a_narrow, b_both: 100) put the later one first;
  // c_nopriority gets 8192; d_nocreate, e_noid, f_noname and the text file are skipped.
  EXPECT_EQ(IdsOf(mgr),
            (std::vector<std::uint32_t>{kReadAhead, kDupe, kDupe, kBoth, kNarr, kNoPriority}));
  const std::uint32_t priorities[] = {1, 50, 60, 100, 100, 0x2000};
  for (int i = 0; i < mgr.GetFilterCount(); ++i) {
    EXPECT_EQ(mgr.GetEntry(i)->priority, priorities[i]) << "entry " << i;
    EXPECT_EQ(mgr.GetEntry(i)->userValue, 7u);
  }
  EXPECT_EQ(std::string(mgr.GetFilterFileName(3)), FilterDir("order") + "/b_both.ift");
  EXPECT_EQ(std::u16string(mgr.GetFilterFileNameW(1)), Utf16(FilterDir("order") + "/g_fails.ift"));
  for (const char* skipped : {"d_nocreate.ift", "e_noid.ift", "f_noname.ift"}) {
    EXPECT_FALSE(IsLoaded(FilterDir("order") + "/" + skipped)) << skipped;
  }
  EXPECT_TRUE(IsLoaded(FilterDir("order") + "/a_narrow.ift"));
  mgr.Free();
  EXPECT_EQ(mgr.GetFilterCount(), 0);
  EXPECT_FALSE(IsLoaded(FilterDir("order") + "/a_narrow.ift"));
}

TEST_F(FilterManager, OnlyOneNameEntryPointIsCalledAndTheOtherFormIsConverted) {
  const std::string both = FilterDir("order") + "/b_both.ift";
  const int index = mgr.GetFilterIndex(kBoth);
  EXPECT_EQ(CallsOf(both) & 3, 2);  // wide only
  EXPECT_STREQ(mgr.GetFilterName(index), "Both wide");
  EXPECT_EQ(mgr.GetEntry(index)->ownership & kOwnsNameA, kOwnsNameA);
  EXPECT_EQ(mgr.GetFilterName(index), mgr.GetFilterName(index));  // cached
  EXPECT_EQ(CallsOf(both) & 1, 0);

  const int narrow = mgr.GetFilterIndex(kNarr);
  EXPECT_STREQ(mgr.GetFilterName(narrow), "Narrow \xC3\xA9");
  EXPECT_EQ(std::u16string(mgr.GetFilterNameW(narrow)), u"Narrow \u00e9");
  EXPECT_EQ(std::u16string(mgr.GetFilterNameW(mgr.GetFilterIndex(kNoPriority))), u"Wide \u00e9");
}

TEST_F(FilterManager, ListsConvertBothWaysAsOneBlock) {
  const int wide = mgr.GetFilterIndex(kBoth);    // wide lists
  const int narrow = mgr.GetFilterIndex(kNarr);  // narrow lists
  const char* const* exts = mgr.GetFilterExts(wide);
  ASSERT_NE(exts[0], nullptr);
  EXPECT_STREQ(exts[0], "tst");
  EXPECT_STREQ(exts[1], "t\xC3\xA9");
  EXPECT_EQ(exts[2], nullptr);
  // One block: the pointer array (8 bytes per string and 8 for the null), then the strings.
  EXPECT_EQ(reinterpret_cast<const char*>(exts) + 3 * sizeof(char*), exts[0]);
  const WCHAR* const* wideExts = mgr.GetFilterExtsW(narrow);
  EXPECT_EQ(std::u16string(wideExts[1]), u"t\u00e9");
  EXPECT_EQ(wideExts[2], nullptr);
  EXPECT_STREQ(mgr.GetDependencies(wide)[0], "libtest.so");
  EXPECT_EQ(std::u16string(mgr.GetDependenciesW(narrow)[0]), u"libtest.so");
  // The plug-in's own lists come back unchanged.
  EXPECT_EQ(mgr.GetFilterExtsW(wide), mgr.GetEntry(wide)->extsW);
  EXPECT_EQ(mgr.GetEntry(wide)->ownership & kOwnsExtsW, 0u);
  // A plug-in without lists answers empty lists, never null.
  const int none = mgr.GetFilterIndex(kDupe);
  ASSERT_NE(mgr.GetFilterExts(none), nullptr);
  EXPECT_EQ(mgr.GetFilterExts(none)[0], nullptr);
  EXPECT_EQ(mgr.GetDependenciesW(none)[0], nullptr);
}

TEST_F(FilterManager, IndexesOutsideTheTableGetEmptyAnswers) {
  const int count = mgr.GetFilterCount();
  for (int index : {-1, count, count + 100}) {
    EXPECT_STREQ(mgr.GetFilterName(index), "");
    EXPECT_EQ(std::u16string(mgr.GetFilterNameW(index)), u"");
    EXPECT_STREQ(mgr.GetFilterFileName(index), "");
    EXPECT_EQ(mgr.GetFilterID(index), 0u);
    EXPECT_EQ(mgr.GetFilterExts(index)[0], nullptr);
    EXPECT_EQ(mgr.GetDependenciesW(index)[0], nullptr);
    EXPECT_EQ(mgr.CreateFilter(index), nullptr);
    EXPECT_EQ(mgr.GetEntry(index), nullptr);
    mgr.RemoveFilter(index);
    EXPECT_EQ(mgr.GetFilterCount(), count);
  }
  EXPECT_EQ(mgr.GetFilterIndex(FilterID("none")), -1);
}

TEST_F(FilterManager, CreationByIdTriesTheNextEntryWhileCreationFails) {
  EXPECT_EQ(mgr.GetFilterIndex(kDupe), 1);
  EXPECT_EQ(mgr.CreateFilter(1), nullptr);
  auto* filter = static_cast<CFilterImpl*>(mgr.CreateFilterFromID(kDupe));
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(filter->GetID(), kDupe);
  EXPECT_NE(CallsOf(FilterDir("order") + "/h_dupe.ift") & 4, 0);
  filter->Release();
  EXPECT_EQ(mgr.CreateFilterFromID(FilterID("none")), nullptr);
}

TEST_F(FilterManager, ContentTestRestoresThePositionForEveryPlugin) {
  // Four bytes before the data; the read-ahead plug-in is asked first and reads 16 bytes.
  const char bytes[] = "....NARRpayload-payload-payload";
  CInputMemFile input;
  input.Create(bytes, sizeof bytes);
  input.Seek(4, kStreamSeekStart);
  auto* filter = static_cast<CFilterImpl*>(mgr.CreateFilterFromFile(&input));
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(filter->GetID(), kNarr);
  EXPECT_EQ(input.Tell(), 4);
  filter->Release();
  EXPECT_NE(CallsOf(FilterDir("order") + "/r_readahead.ift") & 8, 0);

  EXPECT_EQ(mgr.CanReadFile(mgr.GetFilterIndex(kNarr), &input), 1);
  EXPECT_EQ(input.Tell(), 4);
  EXPECT_EQ(mgr.CanReadFile(0, &input), 0);  // the read-ahead plug-in
  EXPECT_EQ(input.Tell(), 4);
  EXPECT_EQ(mgr.CanReadFile(mgr.GetFilterIndex(kNoPriority), &input), 0);  // has none
  EXPECT_EQ(mgr.CanReadFile(0, nullptr), 0);
}

TEST_F(FilterManager, ContentTestSkipsARecognisingPluginWhoseCreationFails) {
  const char bytes[] = "DUPE and more";
  CInputMemFile input;
  input.Create(bytes, sizeof bytes);
  auto* filter = static_cast<CFilterImpl*>(mgr.CreateFilterFromFile(&input));
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(filter->GetID(), kDupe);  // from h_dupe, after g_fails answered yes
  filter->Release();

  const char unknown[] = "nothing anyone reads";
  CInputMemFile other;
  other.Create(unknown, sizeof unknown);
  other.Seek(2, kStreamSeekStart);
  EXPECT_EQ(mgr.CreateFilterFromFile(&other), nullptr);
  EXPECT_EQ(other.Tell(), 2);
  EXPECT_EQ(mgr.CreateFilterFromFile(nullptr), nullptr);
}

TEST_F(FilterManager, RemoveFilterClosesTheGapAndUnloads) {
  mgr.RemoveFilter(1);
  EXPECT_EQ(IdsOf(mgr), (std::vector<std::uint32_t>{kReadAhead, kDupe, kBoth, kNarr, kNoPriority}));
  EXPECT_FALSE(IsLoaded(FilterDir("order") + "/g_fails.ift"));
  mgr.RemoveFilter(4);
  EXPECT_EQ(mgr.GetFilterCount(), 4);
  EXPECT_EQ(mgr.GetFilterIndex(kNoPriority), -1);
}

TEST_F(FilterManager, LoadingAgainReplacesTheTable) {
  mgr.LoadFiltersW(Utf16(FilterDir("order")).c_str(), u"*.sft", 0);
  EXPECT_EQ(IdsOf(mgr), std::vector<std::uint32_t>{FilterID("SND ")});
  // A missing folder or none at all leaves an empty table that stays.
  mgr.LoadFiltersW(u"/nonexistent/vexa-filters", u"*.ift", 0);
  EXPECT_EQ(mgr.GetFilterCount(), 0);
  mgr.LoadFiltersW(nullptr, u"*.ift", 0);
  EXPECT_EQ(mgr.GetFilterCount(), 0);
  mgr.LoadFilters(FilterDir("order").c_str(), "*.ift", 0);
  EXPECT_EQ(mgr.GetFilterCount(), 6);
}

TEST_F(FilterManager, AddEntryPlacesAnEntryWithoutModuleByPriority) {
  FilterEntry entry{};
  entry.priority = 55;
  entry.id = FilterID("OWN ");
  entry.nameA = "own output";
  entry.createFilter = [](std::uint32_t) -> void* { return nullptr; };
  ASSERT_TRUE(mgr.AddEntry(entry));
  EXPECT_EQ(mgr.GetFilterIndex(FilterID("OWN ")), 2);
  EXPECT_STREQ(mgr.GetFilterName(2), "own output");
  EXPECT_EQ(std::u16string(mgr.GetFilterFileNameW(2)), u"");
  mgr.RemoveFilter(2);
  EXPECT_EQ(mgr.GetFilterIndex(FilterID("OWN ")), -1);
}

TEST(ImageFilterManager, MovesBmpAndJpegToTheFrontWithoutPng) {
  CImageFilterMgr mgr;
  mgr.LoadFiltersW(Utf16(FilterDir("preferred")).c_str(), 0);
  EXPECT_EQ(IdsOf(mgr), (std::vector<std::uint32_t>{FilterID("BMP "), FilterID("JPEG"),
                                                    FilterID("GIF "), FilterID("XXXX")}));
  mgr.LoadFilters(FilterDir("preferred_all").c_str(), 0);
  EXPECT_EQ(IdsOf(mgr), (std::vector<std::uint32_t>{FilterID("PNG "), FilterID("BMP "),
                                                    FilterID("JPEG"), FilterID("XXXX")}));
  mgr.Free();
}

TEST(ImageFilterManager, AsksCreatedFiltersWhatTheySupport) {
  CImageFilterMgr mgr;
  mgr.LoadFiltersW(Utf16(FilterDir("order")).c_str(), 0);
  const int narrow = mgr.GetFilterIndex(FilterID("NARR"));
  const int both = mgr.GetFilterIndex(FilterID("BOTH"));
  EXPECT_EQ(mgr.FilterSupportsImages(narrow), 1);
  EXPECT_EQ(mgr.FilterSupportsAnimations(narrow), 0);
  EXPECT_EQ(mgr.FilterSupportsAnimations(both), 1);
  EXPECT_EQ(mgr.FilterSupportsImages(mgr.GetFilterIndex(FilterID("DUPE"))), 0);  // fails
  EXPECT_EQ(mgr.FilterSupportsImages(99), 0);
  EXPECT_EQ(mgr.GetPremultiplyAlpha(), 0);
  EXPECT_EQ(mgr.SetPremultiplyAlpha(1), 0);
  EXPECT_EQ(mgr.SetPremultiplyAlpha(0), 1);
  mgr.Free();
}

TEST(SoundFilterManager, ScansForSoundFilters) {
  CSoundFilterMgr mgr;
  mgr.LoadFiltersW(Utf16(FilterDir("order")).c_str(), 0);
  EXPECT_EQ(IdsOf(mgr), std::vector<std::uint32_t>{FilterID("SND ")});
  mgr.Free();
}

// A folder with a non-ASCII name, deeper than the platform's old 260-character paths.
class FilterFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("vexa-filters-" + std::to_string(getpid()));
    fs::path deep = root;
    for (int i = 0; i < 6; ++i) deep /= std::string(50, static_cast<char>('a' + i));
    folder = deep / "caf\xC3\xA9";
    fs::create_directories(folder);
    fs::copy_file(FilterDir("order") + "/a_narrow.ift", folder / "a_narrow.ift");
  }
  void TearDown() override { fs::remove_all(root); }
  fs::path root, folder;
};

TEST_F(FilterFolder, LongAndNonAsciiFolderNamesLoadUnderBothCodePages) {
  ASSERT_GT(folder.string().size(), 300u);
  CImageFilterMgr mgr;
  // Code page 0: UTF-8 names.
  mgr.LoadFilters(folder.string().c_str(), 0);
  ASSERT_EQ(mgr.GetFilterCount(), 1);
  EXPECT_EQ(std::string(mgr.GetFilterFileName(0)), (folder / "a_narrow.ift").string());

  // The image manager's narrow form converts the folder with the library's code page.
  const int previous = SetLibraryCodePage(1252);
  std::string western = folder.string();
  western.replace(western.size() - 2, 2, "\xE9");
  mgr.LoadFilters(western.c_str(), 0);
  EXPECT_EQ(mgr.GetFilterCount(), 1);
  // The table's own conversions keep code page 0 whatever the library's setting.
  EXPECT_EQ(std::string(mgr.GetFilterFileName(0)), (folder / "a_narrow.ift").string());
  EXPECT_STREQ(mgr.GetFilterName(0), "Narrow \xC3\xA9");
  SetLibraryCodePage(previous);
  mgr.Free();
}

// The function in slot `slot` of the object's table, called with the object first.
template <typename Fn, typename Object>
Fn Slot(Object* object, int slot) {
  void** table = *reinterpret_cast<void***>(object);
  return reinterpret_cast<Fn>(table[slot]);
}

TEST(FilterManagerSlots, SlotsHoldTheManagerOperationsInOrder) {
  CImageFilterMgr* mgr = NewImageFilterMgr();
  ASSERT_NE(mgr, nullptr);
  const std::u16string dir = Utf16(FilterDir("order"));
  Slot<void (*)(CFilterMgr*, const WCHAR*, const WCHAR*, std::uint32_t)>(mgr, 1)(mgr, dir.c_str(),
                                                                                 u"*.ift", 3);
  EXPECT_EQ((Slot<int (*)(CFilterMgr*)>(mgr, 5)(mgr)), 6);
  EXPECT_STREQ((Slot<const char* (*)(CFilterMgr*, int)>(mgr, 6)(mgr, 4)), "Narrow \xC3\xA9");
  EXPECT_EQ(std::string(Slot<const char* (*)(CFilterMgr*, int)>(mgr, 7)(mgr, 4)),
            FilterDir("order") + "/a_narrow.ift");
  EXPECT_EQ((Slot<std::uint32_t (*)(CFilterMgr*, int)>(mgr, 8)(mgr, 3)), kBoth);
  EXPECT_EQ((Slot<int (*)(CFilterMgr*, std::uint32_t)>(mgr, 9)(mgr, kNarr)), 4);
  EXPECT_STREQ((Slot<const char* const* (*)(CFilterMgr*, int)>(mgr, 10)(mgr, 3))[0], "tst");
  EXPECT_STREQ((Slot<const char* const* (*)(CFilterMgr*, int)>(mgr, 11)(mgr, 3))[0], "libtest.so");
  const char bytes[] = "BOTH";
  CInputMemFile input;
  input.Create(bytes, 4);
  EXPECT_EQ((Slot<int (*)(CFilterMgr*, int, CInputFile*)>(mgr, 12)(mgr, 3, &input)), 1);
  auto* fromFile =
      static_cast<CFilterImpl*>(Slot<void* (*)(CFilterMgr*, CInputFile*)>(mgr, 13)(mgr, &input));
  ASSERT_NE(fromFile, nullptr);
  EXPECT_EQ(fromFile->GetID(), kBoth);
  fromFile->Release();
  auto* byId =
      static_cast<CFilterImpl*>(Slot<void* (*)(CFilterMgr*, std::uint32_t)>(mgr, 14)(mgr, kNarr));
  ASSERT_NE(byId, nullptr);
  EXPECT_EQ(byId->GetID(), kNarr);
  byId->Release();
  auto* byIndex = static_cast<CFilterImpl*>(Slot<void* (*)(CFilterMgr*, int)>(mgr, 15)(mgr, 5));
  ASSERT_NE(byIndex, nullptr);
  EXPECT_EQ(byIndex->GetID(), kNoPriority);
  byIndex->Release();
  EXPECT_EQ(std::u16string(Slot<const WCHAR* (*)(CFilterMgr*, int)>(mgr, 17)(mgr, 5)),
            u"Wide \u00e9");
  EXPECT_EQ(std::u16string(Slot<const WCHAR* (*)(CFilterMgr*, int)>(mgr, 18)(mgr, 5)),
            Utf16(FilterDir("order") + "/c_nopriority.ift"));
  EXPECT_EQ(std::u16string(Slot<const WCHAR* const* (*)(CFilterMgr*, int)>(mgr, 19)(mgr, 4)[0]),
            u"tst");
  EXPECT_EQ(std::u16string(Slot<const WCHAR* const* (*)(CFilterMgr*, int)>(mgr, 20)(mgr, 4)[0]),
            u"libtest.so");
  Slot<void (*)(CFilterMgr*, int)>(mgr, 16)(mgr, 0);
  EXPECT_EQ(mgr->GetFilterCount(), 5);
  Slot<void (*)(CFilterMgr*, const char*, const char*, std::uint32_t)>(mgr, 2)(
      mgr, FilterDir("order").c_str(), "*.sft", 0);
  EXPECT_EQ(mgr->GetFilterCount(), 1);
  Slot<void (*)(CFilterMgr*)>(mgr, 3)(mgr);
  EXPECT_EQ(mgr->GetFilterCount(), 0);
  Slot<void (*)(CFilterMgr*)>(mgr, 4)(mgr);  // Delete

  CFilterMgr* plain = NewFilterMgr();
  ASSERT_NE(plain, nullptr);
  Slot<void (*)(CFilterMgr*, unsigned)>(plain, 0)(plain, 1);  // Destroy with freeing
}

TEST(FilterManagerSlots, DeleteIgnoresANullManager) {
  // Callers bound by number can call the exported member with a null object.
  void* library = dlopen(VEXA_LIBRARY_PATH, RTLD_NOW);
  ASSERT_NE(library, nullptr);
  auto remove = reinterpret_cast<void (*)(CFilterMgr*)>(dlsym(library, "_ZN10CFilterMgr6DeleteEv"));
  ASSERT_NE(remove, nullptr);
  remove(nullptr);
}

}  // namespace
