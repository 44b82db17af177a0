// The image file dialogs driven through the scripted dialog backend: the file-type list, the
// identifier returned, the panel's fields and preview pixels, refusals and the narrow form.
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <vexa/filter_manager.h>
#include <vexa/image_file.h>
#include <vexa/image_file_dialog.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "imagefile/image_dialog_list.h"
#include "imagefile/image_test_support.h"
#include "platform/dialog/scripted_backend.h"
#include "platform/gdi/screen.h"
#include "support/surface_factory.h"

namespace {

using plat::ScriptStep;
using vexa::test::FilterDir;
using vexa::test::Utf16;
namespace fs = std::filesystem;

constexpr std::uint32_t kSaver = FilterID("SAVR");
constexpr std::uint32_t kReaderOnly = FilterID("RDNL");
constexpr std::uint32_t kAnim = FilterID("ANIM");
constexpr std::uint32_t kPng = FilterID("PNG ");
constexpr std::uint32_t kGif = FilterID("GIF ");

// A system colour as the preview's 0x00RRGGBB pixels hold it.
std::uint32_t SystemRgb(int index) {
  const std::uint32_t c = plat::SystemColor(index);
  return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}
const std::uint32_t kButtonFace = SystemRgb(15), kShadow = SystemRgb(16),
                    kHighlight = SystemRgb(20), kDarkShadow = SystemRgb(21);
// The preview area of the panel and the room inside its frame.
constexpr int kAreaW = 200, kAreaH = 150;

std::u16string Joined(const std::u16string& list) {
  std::u16string text = list;
  for (char16_t& c : text) {
    if (c == 0) c = u'|';
  }
  return text;
}

ScriptStep Select(const std::string& path) { return ScriptStep::Select(Utf16(path)); }
ScriptStep Accept(const std::string& path) { return ScriptStep::Accept(Utf16(path)); }
ScriptStep Type(int index) { return ScriptStep::ChangeType(index); }
ScriptStep Cancel() { return ScriptStep::Cancel(); }

// One dialog shown on the scripted backend.
struct DialogRun {
  explicit DialogRun(std::vector<ScriptStep> script) : backend(std::move(script)) {
    plat::SetDialogBackend(&backend);
    record.lStructSize = sizeof record;
    record.lpstrFile = file.data();
    record.nMaxFile = static_cast<DWORD>(file.size());
  }
  ~DialogRun() { plat::SetDialogBackend(nullptr); }
  int Show(CImageFilterMgr* manager, bool open, int kinds, std::uint32_t startId) {
    id = startId;
    return ImageFileDialogW(&record, open ? 1 : 0, manager, &id, kinds);
  }
  std::u16string Result() const { return file.data(); }

  plat::ScriptedDialogBackend backend;
  std::vector<WCHAR> file = std::vector<WCHAR>(1024, 0);
  OPENFILENAMEW record{};
  std::uint32_t id = 0;
};

// The PNG, JPEG, GIF and PPM plug-ins in a folder of their own, so that lists of them stay the
// same when the library gains plug-ins.
struct FourPlugins {
  FourPlugins() {
    for (const char* name : {"png.ift", "jpeg.ift", "gif.ift", "ppm.ift"}) {
      fs::create_symlink(fs::path(vexa::test::PluginDir()) / name, folder.path / name);
    }
    manager.LoadFiltersW(Utf16(folder.path.string()).c_str(), 0);
  }
  ~FourPlugins() { manager.Free(); }
  vexa::test::ScratchFolder folder{"dialog-plugins"};
  CImageFilterMgr manager;
};

class ImageDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    mgr.LoadFiltersW(Utf16(FilterDir("dialogs")).c_str(), 0);
    ASSERT_EQ(mgr.GetFilterCount(), 4);
  }
  void TearDown() override { mgr.Free(); }
  std::string Write(const std::string& name, const std::vector<BYTE>& bytes) {
    return scratch.Write(name, bytes);
  }
  // A test image of the reader that saves: 4 x 2 at 24 bits.
  std::string SaverImage(const std::string& name) {
    std::vector<BYTE> bytes(8 + 4 * 2 * 3, 0x40);
    const BYTE header[8] = {'S', 'A', 'V', 'R', 4, 2, 24, 0};
    std::copy(header, header + 8, bytes.begin());
    return Write(name, bytes);
  }

  CImageFilterMgr mgr;
  vexa::test::ScratchFolder scratch{"dialog"};
  const fs::path& dir = scratch.path;
};

TEST_F(ImageDialog, FilterListsFollowKindsSavingAndExtensions) {
  // Open, images: both image readers with extensions (not the one without), all-formats first.
  const vexa::ImageFilterList open = vexa::BuildImageFilterList(&mgr, true, 1, 0);
  EXPECT_EQ(Joined(open.filter),
            u"Image files|*.tst;*.t\u00e9;*.tst;*.t\u00e9|"
            u"Narrow \u00e9 files (*.tst, *.t\u00e9)|*.tst;*.t\u00e9|"
            u"Wide \u00e9 files (*.tst, *.t\u00e9)|*.tst;*.t\u00e9|"
            u"All files (*.*)|*.*||");
  EXPECT_EQ(open.ids, (std::vector<std::uint32_t>{kSaver, kReaderOnly}));
  EXPECT_EQ(open.initialIndex, 1);
  // Save, images: only the filter that can write.
  const vexa::ImageFilterList save = vexa::BuildImageFilterList(&mgr, false, 1, 0);
  EXPECT_EQ(Joined(save.filter), u"Narrow \u00e9 files (*.tst, *.t\u00e9)|*.tst;*.t\u00e9|||");
  EXPECT_EQ(save.ids, (std::vector<std::uint32_t>{kSaver}));
  // Animations: titled so; both kinds: "Graphic files" with all three.
  EXPECT_EQ(Joined(vexa::BuildImageFilterList(&mgr, true, 2, 0).filter).substr(0, 19),
            u"Animation files|*.t");
  const vexa::ImageFilterList both = vexa::BuildImageFilterList(&mgr, true, 3, 0);
  EXPECT_EQ(Joined(both.filter).substr(0, 14), u"Graphic files|");
  EXPECT_EQ(both.ids, (std::vector<std::uint32_t>{kSaver, kReaderOnly, kAnim}));
  EXPECT_EQ(both.defaultExtensions, std::u16string(u"tst\0tst\0tst\0", 12));
}

TEST_F(ImageDialog, ListsOfManyFiltersGrowPastAnyFixedBuffer) {
  // 300 plug-ins: entries of 38 characters each, over 11000 in all.
  const fs::path many = dir / "many";
  fs::create_directories(many);
  for (int i = 0; i < 300; ++i) {
    fs::path link = many / std::to_string(1000 + i);
    link += ".ift";
    fs::create_symlink(fs::path(FilterDir("dialogs")) / "a_saver.ift", link);
  }
  CImageFilterMgr big;
  big.LoadFiltersW(Utf16(many.string()).c_str(), 0);
  ASSERT_EQ(big.GetFilterCount(), 300);
  const vexa::ImageFilterList open = vexa::BuildImageFilterList(&big, true, 1, 0);
  EXPECT_EQ(open.ids.size(), 300u);
  EXPECT_GT(open.filter.size(), 8192u + 4096u);
  const std::u16string tail = u"*.tst;*.t\u00e9|All files (*.*)|*.*||";
  EXPECT_EQ(Joined(open.filter).substr(open.filter.size() - tail.size()), tail);
  EXPECT_EQ(open.defaultExtensions.size(), 300u * 4);
  DialogRun run({Type(300), Type(301), Cancel()});
  run.Show(&big, true, 1, 0);
  EXPECT_EQ(run.backend.request.filters.size(), 302u);
  EXPECT_EQ(run.backend.snapshots[0].defaultExtension, u"tst") << "the last listed filter";
  EXPECT_EQ(run.backend.snapshots[1].defaultExtension, u"tst") << "All files";
  big.Free();
}

TEST_F(ImageDialog, InitialEntryIsTheCallersFilterInBothDialogs) {
  // Open: entry 1 is the all-formats entry, so the second listed filter is entry 3.
  EXPECT_EQ(vexa::BuildImageFilterList(&mgr, true, 3, kReaderOnly).initialIndex, 3);
  EXPECT_EQ(vexa::BuildImageFilterList(&mgr, true, 3, kAnim).initialIndex, 4);
  EXPECT_EQ(vexa::BuildImageFilterList(&mgr, true, 3, FilterID("none")).initialIndex, 1);
  // Save: entries are the listed filters.
  EXPECT_EQ(vexa::BuildImageFilterList(&mgr, false, 1, kSaver).initialIndex, 1);
  EXPECT_EQ(vexa::BuildImageFilterList(&mgr, false, 1, kReaderOnly).initialIndex, 1);

  // The dialog shows that entry first.
  DialogRun run({Cancel()});
  EXPECT_EQ(run.Show(&mgr, true, 3, kAnim), 0);
  ASSERT_EQ(run.backend.request.filters.size(), 5u);
  EXPECT_EQ(run.backend.request.filterIndex, 3);
  EXPECT_EQ(run.backend.request.filters[3].name, u"Both wide files (*.tst, *.t\u00e9)");
  EXPECT_EQ(run.id, kAnim) << "a cancelled dialog leaves the identifier";
}

TEST_F(ImageDialog, NoFilterOfTheKindsLeavesTheAllFormatsEntryWithoutPatterns) {
  CImageFilterMgr empty;
  empty.LoadFiltersW(Utf16((dir / "none").string()).c_str(), 0);
  const vexa::ImageFilterList list = vexa::BuildImageFilterList(&empty, true, 1, 0);
  EXPECT_EQ(Joined(list.filter), u"Image files||All files (*.*)|*.*||");
  DialogRun run({Cancel()});
  run.Show(&empty, true, 1, 0);
  ASSERT_EQ(run.backend.request.filters.size(), 2u);
  EXPECT_EQ(run.backend.request.filters[0].name, u"Image files");
  EXPECT_TRUE(run.backend.request.filters[0].patterns.empty());
  EXPECT_EQ(run.backend.request.filters[1].patterns, std::vector<std::u16string>{u"*.*"});
  empty.Free();
}

TEST_F(ImageDialog, SaveReturnsTheChosenEntrysFilterAndNamesTheFile) {
  CImageFilterMgr& plugins = vexa::test::Plugins();
  const vexa::ImageFilterList list = vexa::BuildImageFilterList(&plugins, false, 1, 0);
  ASSERT_GE(list.ids.size(), 2u);
  const int gifEntry =
      static_cast<int>(std::find(list.ids.begin(), list.ids.end(), kGif) - list.ids.begin());
  ASSERT_LT(gifEntry, static_cast<int>(list.ids.size()));
  const std::string typed = (dir / "picture").string();
  DialogRun run({Type(gifEntry), Accept(typed)});
  std::u16string start = Utf16(typed + ".png");
  std::copy(start.begin(), start.end(), run.file.begin());
  ASSERT_EQ(run.Show(&plugins, false, 1, kPng), 1);
  EXPECT_EQ(run.id, kGif);
  // The type change set the gif default extension, which the typed name took.
  EXPECT_EQ(run.backend.snapshots[0].defaultExtension, u"gif");
  EXPECT_EQ(run.backend.snapshots[0].typedName, Utf16(typed + ".gif"));
  EXPECT_EQ(run.Result(), Utf16(typed + ".gif"));
  EXPECT_EQ(run.record.nFilterIndex, static_cast<DWORD>(gifEntry + 1));
  // The caller's fields are back: no pointer into the dialog's freed lists stays behind.
  EXPECT_EQ(run.record.lpstrFilter, nullptr);
  EXPECT_EQ(run.record.lpstrDefExt, nullptr);
  EXPECT_EQ(run.record.lpfnHook, nullptr);
  EXPECT_EQ(run.record.lCustData, 0);
  EXPECT_EQ(run.record.Flags, 0u);
}

TEST_F(ImageDialog, TypeChangesToEntriesWithoutExtensionKeepTheDefaultExtension) {
  // Open dialog over the four-entry list: all formats, saver, reader, All files.
  DialogRun run({Type(1), Type(3), Type(0), Type(2), Cancel()});
  run.Show(&mgr, true, 1, 0);
  ASSERT_EQ(run.backend.snapshots.size(), 5u);
  EXPECT_EQ(run.backend.snapshots[0].defaultExtension, u"tst");
  EXPECT_EQ(run.backend.snapshots[1].defaultExtension, u"tst") << "All files";
  EXPECT_EQ(run.backend.snapshots[2].defaultExtension, u"tst") << "all formats";

  // Entry n of the open dialog is listed filter n - 1: PNG, JPEG, PPM, GIF follow the
  // all-formats entry.
  FourPlugins four;
  DialogRun plugins({Type(2), Type(4), Type(1), Cancel()});
  plugins.Show(&four.manager, true, 1, 0);
  EXPECT_EQ(plugins.backend.snapshots[0].defaultExtension, u"jpg");
  EXPECT_EQ(plugins.backend.snapshots[1].defaultExtension, u"gif");
  EXPECT_EQ(plugins.backend.snapshots[2].defaultExtension, u"png");
}

TEST_F(ImageDialog, UnrecognisedFileKeepsTheOpenDialogOpen) {
  const std::string junk = Write("junk.tst", {'n', 'o', 'p', 'e', 1, 2, 3, 4});
  const std::string good = SaverImage("good.tst");
  DialogRun run({Select(junk), Accept(junk), Accept(good)});
  ASSERT_EQ(run.Show(&mgr, true, 1, 0), 1);
  EXPECT_EQ(run.backend.messages, std::vector<std::u16string>{u"Unknown format"});
  EXPECT_EQ(run.backend.snapshots[0].items[vexa::kFieldType].text, u"Unknown format");
  EXPECT_EQ(run.Result(), Utf16(good));
  EXPECT_EQ(run.id, kSaver);
  EXPECT_EQ(run.record.nFileOffset, dir.string().size() + 1);
  EXPECT_EQ(run.record.nFileExtension, dir.string().size() + 6);
}

TEST_F(ImageDialog, PreviewOfAStillImageIsCentredUnscaledInARaisedFrame) {
  CImageFilterMgr& plugins = vexa::test::Plugins();
  const std::string png = vexa::test::TestData("png/basn2c08.png");
  DialogRun run({Select(png), Cancel()});
  run.Show(&plugins, true, 1, 0);
  const plat::PanelSnapshot& shown = run.backend.snapshots[0];
  EXPECT_EQ(shown.items.at(vexa::kFieldType).text, u"PNG");
  EXPECT_EQ(shown.items.at(vexa::kFieldWidth).text, u"32");
  EXPECT_EQ(shown.items.at(vexa::kFieldHeight).text, u"32");
  EXPECT_EQ(shown.items.at(vexa::kFieldDepth).text, u"24");
  EXPECT_FALSE(shown.items.at(vexa::kFramesValue).visible) << "no animations listed";

  cSurfaceObject reference;
  ASSERT_EQ(ImportImage(&plugins, Utf16(png).c_str(), &reference, nullptr, 0), 1);
  ASSERT_EQ(shown.previewWidth, kAreaW);
  // Centred inside the frame: (1 + (198 - 32) / 2, 1 + (148 - 32) / 2).
  const int left = 84, top = 59;
  auto at = [&](int x, int y) { return shown.preview[static_cast<std::size_t>(y * kAreaW + x)]; };
  for (int y = 0; y < 32; y += 7) {
    for (int x = 0; x < 32; x += 5) {
      COLORREF c = 0;
      reference.GetPixelColor(x, y, &c);
      const std::uint32_t rgb = (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
      ASSERT_EQ(at(left + x, top + y), rgb) << x << "," << y;
    }
  }
  EXPECT_EQ(at(left - 1, top), kButtonFace);
  EXPECT_EQ(at(left, top + 32), kButtonFace);
  EXPECT_EQ(at(0, 0), kHighlight);
  EXPECT_EQ(at(kAreaW / 2, 0), kHighlight);
  EXPECT_EQ(at(0, kAreaH / 2), kHighlight);
  EXPECT_EQ(at(kAreaW - 1, kAreaH / 2), kShadow);
  EXPECT_EQ(at(kAreaW / 2, kAreaH - 1), kShadow);
}

TEST_F(ImageDialog, LargePreviewShrinksToTheLimitingSideKeepingItsAspect) {
  CImageFilterMgr& plugins = vexa::test::Plugins();
  // 400 x 100: red left half, blue right half.
  const auto wide = testsupport::MakeSurface(24, 400, 100);
  wide->FillRectColor(0, 0, 200, 100, 0x0000FF);
  wide->FillRectColor(200, 0, 200, 100, 0xFF0000);
  const std::string path = (dir / "wide.png").string();
  ASSERT_EQ(ExportImage(&plugins, Utf16(path).c_str(), wide.get(), kPng), 1);
  DialogRun run({Select(path), Cancel()});
  run.Show(&plugins, true, 1, 0);
  const plat::PanelSnapshot& shown = run.backend.snapshots[0];
  auto at = [&](int x, int y) { return shown.preview[static_cast<std::size_t>(y * kAreaW + x)]; };
  // 198 wide, 100 * 198 / 400 = 49 high, rows 1 + (148 - 49) / 2 = 50 to 98.
  EXPECT_EQ(at(1, 50), 0xFF0000u);
  EXPECT_EQ(at(198, 98), 0x0000FFu);
  EXPECT_EQ(at(60, 49), kButtonFace);
  EXPECT_EQ(at(60, 99), kButtonFace);
  EXPECT_EQ(at(98, 74), 0xFF0000u);
  EXPECT_EQ(at(101, 74), 0x0000FFu);
}

TEST_F(ImageDialog, AnimatedGifShowsItsFrameCountAndFirstFrame) {
  CImageFilterMgr& plugins = vexa::test::Plugins();
  // Three 8-bit frames of 10 x 6 in palette colours 1, 2, 3.
  const auto surface = testsupport::MakeSurface(8, 10, 6);
  cSurfaceObject& frame = *surface;
  LOGPALETTE256 palette{0x300, 256, {}};
  palette.palPalEntry[1] = {200, 10, 20, 0};
  palette.palPalEntry[2] = {10, 200, 20, 0};
  palette.palPalEntry[3] = {10, 20, 200, 0};
  frame.SetPaletteEntries(reinterpret_cast<LOGPALETTE*>(&palette), 0);
  const std::string path = (dir / "anim.gif").string();
  CImageFile file(&plugins);
  ASSERT_EQ(file.SelectFilterByID(kGif), 1);
  frame.FillRectValue(0, 0, 10, 6, 1);
  ASSERT_EQ(BeginImageExport(&plugins, Utf16(path).c_str(), &frame, &file, kGif, 0, 0, 0), 1);
  for (std::uint32_t value : {2u, 3u}) {
    frame.FillRectValue(0, 0, 10, 6, value);
    ASSERT_EQ(ExportNextImage(&plugins, &frame, &file, 0), 1);
  }
  ASSERT_EQ(EndImageExport(&plugins, &file), 1);

  DialogRun run({Select(path), Accept(path)});
  ASSERT_EQ(run.Show(&plugins, true, kDialogListImages | kDialogListAnimations, 0), 1);
  EXPECT_EQ(run.id, kGif);
  const plat::PanelSnapshot& shown = run.backend.snapshots[0];
  EXPECT_TRUE(shown.items.at(vexa::kFramesLabel).visible);
  EXPECT_TRUE(shown.items.at(vexa::kFramesValue).visible);
  EXPECT_EQ(shown.items.at(vexa::kFramesValue).text, u"3");
  EXPECT_EQ(shown.items.at(vexa::kFieldDepth).text, u"8");
  EXPECT_EQ(shown.items.at(vexa::kFieldType).text, u"GIF");
  // 10 x 6 centred: (1 + 94, 1 + 71).
  EXPECT_EQ(shown.preview[static_cast<std::size_t>(72 * kAreaW + 95)], 0xC80A14u);
  EXPECT_EQ(shown.preview[static_cast<std::size_t>(77 * kAreaW + 104)], 0xC80A14u);
  EXPECT_EQ(shown.preview[static_cast<std::size_t>(78 * kAreaW + 104)], kButtonFace);
}

TEST_F(ImageDialog, SelectionWithoutAnImageClearsThePanelToASunkenEdge) {
  const std::string good = SaverImage("good.tst");
  DialogRun run({Select(good), Select(dir.string()), Cancel()});
  run.Show(&mgr, true, 1, 0);
  ASSERT_EQ(run.backend.snapshots.size(), 3u);
  EXPECT_EQ(run.backend.snapshots[0].items[vexa::kFieldWidth].text, u"4");
  EXPECT_EQ(run.backend.snapshots[0].items[vexa::kFieldType].text, u"Narrow \u00e9");
  const plat::PanelSnapshot& folder = run.backend.snapshots[1];
  for (int field = vexa::kFieldType; field <= vexa::kFieldDepth; ++field) {
    EXPECT_EQ(folder.items.at(field).text, u"") << field;
  }
  auto at = [&](int x, int y) { return folder.preview[static_cast<std::size_t>(y * kAreaW + x)]; };
  EXPECT_EQ(at(0, 0), kShadow);
  EXPECT_EQ(at(kAreaW - 1, kAreaH - 1), kHighlight);
  EXPECT_EQ(at(1, 1), kDarkShadow);
  EXPECT_EQ(at(kAreaW / 2, kAreaH / 2), kButtonFace);
}

TEST_F(ImageDialog, PanelReadsSelectionsOfAnyLength) {
  fs::path deep = dir;
  for (int i = 0; i < 8; ++i) deep /= std::string(60, char('a' + i));
  fs::create_directories(deep);
  const std::string path = SaverImage((deep / "x.tst").lexically_relative(dir).string());
  ASSERT_GT(path.size(), 480u);
  DialogRun run({Select(path), Cancel()});
  run.Show(&mgr, true, 1, 0);
  EXPECT_EQ(run.backend.snapshots[0].items[vexa::kFieldWidth].text, u"4");
}

TEST_F(ImageDialog, NarrowFormCarriesUtf8NamesBothWays) {
  const std::string name = "\xC3\xBCml\xC3\xA4ut \xE2\x82\xAC.tst";  // "ümläut €.tst"
  const std::string good = SaverImage(name);
  DialogRun run({Accept(good)});
  std::vector<char> file(good.size() + 1, 'x'), title(64, 'x');
  const std::string start = "\xC3\xA9t\xC3\xA9.tst";
  std::memcpy(file.data(), start.c_str(), start.size() + 1);
  OPENFILENAMEA record{};
  record.lpstrFile = file.data();
  record.nMaxFile = static_cast<DWORD>(file.size());
  record.lpstrFileTitle = title.data();
  record.nMaxFileTitle = static_cast<DWORD>(title.size());
  record.lpstrTitle = "Pick \xC3\xA0 file";
  std::uint32_t id = 0;
  ASSERT_EQ(ImageFileDialog(&record, 1, &mgr, &id, 1), 1);
  EXPECT_EQ(run.backend.request.fileName, u"\u00e9t\u00e9.tst");
  EXPECT_EQ(run.backend.request.title, u"Pick \u00e0 file");
  EXPECT_EQ(std::string(file.data()), good);
  EXPECT_EQ(std::string(title.data()), name);
  EXPECT_EQ(record.nFileOffset, good.size() - name.size());
  EXPECT_EQ(record.nFileExtension, good.size() - 3) << "offsets count bytes";
  EXPECT_EQ(id, kSaver);
}

TEST_F(ImageDialog, NarrowResultThatDoesNotFitWritesNothing) {
  // Eight wide units, but 16 bytes of UTF-8: the file buffer has room for the wide text only.
  const std::string name = "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4.tst";
  const std::string good = SaverImage(name);
  DialogRun run({Accept(good)});
  const std::size_t room = Utf16(good).size() + 1;
  ASSERT_LT(room, good.size() + 1);
  std::vector<char> file(room, '#');
  file[0] = 0;
  OPENFILENAMEA record{};
  record.lpstrFile = file.data();
  record.nMaxFile = static_cast<DWORD>(file.size());
  std::uint32_t id = 77;
  EXPECT_EQ(ImageFileDialog(&record, 1, &mgr, &id, 1), 0);
  EXPECT_EQ(GetFileDialogError(), kDialogBufferTooSmall);
  EXPECT_EQ(id, 77u);
  EXPECT_EQ(file[0], 0);
  EXPECT_EQ(std::string(file.data() + 1, room - 1), std::string(room - 1, '#'));
}

TEST_F(ImageDialog, UnavailableDialogsReturnZeroWithTheReasonAndLeaveTheRecord) {
  for (int reason : {kDialogNoGtk, kDialogNoDisplay}) {
    DialogRun run({Accept(SaverImage("a.tst"))});
    run.backend.availability = reason;
    run.file[0] = u'q';
    EXPECT_EQ(run.Show(&mgr, true, 1, kSaver), 0);
    EXPECT_EQ(GetFileDialogError(), reason);
    EXPECT_EQ(run.backend.runs, 0);
    EXPECT_EQ(run.file[0], u'q');
    EXPECT_EQ(run.id, kSaver);
    EXPECT_EQ(run.record.lpstrFilter, nullptr);
  }
}

}  // namespace

namespace {

TEST(ImageDialogPlugins, FilterStringOfTheLibrarysPlugins) {
  FourPlugins four;
  CImageFilterMgr& plugins = four.manager;
  ASSERT_EQ(plugins.GetFilterCount(), 4);
  // PNG first as a preferred format, then JPEG; the others by priority.
  EXPECT_EQ(Joined(vexa::BuildImageFilterList(&plugins, true, kDialogListImages, 0).filter),
            u"Image files|*.png;*.jpg;*.jpeg;*.jpe;*.jfif;*.ppm;*.pgm;*.pnm;*.gif|"
            u"PNG files (*.png)|*.png|"
            u"JPEG files (*.jpg, *.jpeg, *.jpe, *.jfif)|*.jpg;*.jpeg;*.jpe;*.jfif|"
            u"Netpbm (PPM, PGM) files (*.ppm, *.pgm, *.pnm)|*.ppm;*.pgm;*.pnm|"
            u"GIF files (*.gif)|*.gif|"
            u"All files (*.*)|*.*||");
  EXPECT_EQ(Joined(vexa::BuildImageFilterList(&plugins, false, kDialogListAnimations, 0).filter),
            u"GIF files (*.gif)|*.gif|||");
}

}  // namespace
