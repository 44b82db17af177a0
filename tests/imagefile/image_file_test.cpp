// The image file object and the import and export functions, with test plug-ins that read a
// trivial format and save or fail on demand.
#include <fcntl.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <vexa/filter_impl.h>
#include <vexa/image_file.h>
#include <vexa/palette.h>
#include <vexa/stream.h>

#include "imagefile/image_test_support.h"
#include "support/surface_factory.h"

namespace {

using vexa::test::FilterDir;
using vexa::test::Utf16;
namespace fs = std::filesystem;

constexpr std::uint32_t kReader = FilterID("RDER");
constexpr std::uint32_t kFailing = FilterID("FAIL");

// A test image: header, then rows at the depth (unpadded).
std::vector<BYTE> TestImage(int width, int height, int depth, int flags,
                            const std::vector<BYTE>& rows) {
  std::vector<BYTE> file(8 + rows.size());
  const BYTE header[8] = {'R', 'D', 'E', 'R', BYTE(width), BYTE(height), BYTE(depth), BYTE(flags)};
  std::memcpy(file.data(), header, 8);
  if (!rows.empty()) std::memcpy(file.data() + 8, rows.data(), rows.size());
  return file;
}

// 3 x 2 at 24 bits: red, green, blue / white, black, (10, 20, 30).
const std::vector<BYTE> kColorRows = {0,   0,   255, 0, 255, 0, 255, 0,  0,
                                      255, 255, 255, 0, 0,   0, 30,  20, 10};

class ImageFile : public ::testing::Test {
 protected:
  void SetUp() override {
    mgr.LoadFiltersW(Utf16(FilterDir("images")).c_str(), 0);
    ASSERT_EQ(mgr.GetFilterCount(), 2);
    dir = fs::temp_directory_path() / ("vexa-imagefile-" + std::to_string(getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override {
    fs::remove_all(dir);
    mgr.Free();
  }
  std::string Write(const std::string& name, const std::vector<BYTE>& bytes) {
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  CImageFilterMgr mgr;
  fs::path dir;
};

TEST_F(ImageFile, OpeningChecksTheStreamsAndTheImage) {
  const std::vector<BYTE> bytes = TestImage(3, 2, 24, 0, kColorRows);
  CInputMemFile input;
  input.Create(bytes.data(), static_cast<int>(bytes.size()));
  CImageFile file(&mgr);
  EXPECT_EQ(file.OpenStream(nullptr), kImageNoStream);
  EXPECT_EQ(file.Open(static_cast<const WCHAR*>(nullptr)), kImageNoStream);
  ASSERT_EQ(file.OpenStream(&input), kImageOk);
  EXPECT_EQ(file.GetFilterID(), kReader);
  EXPECT_EQ(file.GetFilterIndex(), mgr.GetFilterIndex(kReader));
  EXPECT_STREQ(file.GetFilterName(), "Narrow \xC3\xA9");
  EXPECT_EQ(file.GetWidth(), 3);
  // While an input is open, neither a stream nor a name may replace it.
  CInputMemFile other;
  other.Create(bytes.data(), static_cast<int>(bytes.size()));
  EXPECT_EQ(file.OpenStream(&other), kImageAlreadyOpen);
  EXPECT_EQ(file.Open(Write("other.img", bytes).c_str()), kImageAlreadyOpen);
  file.Close();
  EXPECT_EQ(file.Open((dir / "missing.img").c_str()), kImageCannotOpen);
  const std::vector<BYTE> unknown = {'?', '?', '?', '?', 1, 1, 24, 0, 0, 0, 0};
  EXPECT_EQ(file.Open(Write("unknown.img", unknown).c_str()), kImageUnknownFormat);
  EXPECT_EQ(file.Open(Write("four.img", TestImage(4, 1, 4, 0, {0x12, 0x34})).c_str()),
            kImageDepthBelow8);
  EXPECT_EQ(file.filter, nullptr);
  EXPECT_EQ(file.Open(Write("empty.img", TestImage(0, 1, 24, 0, {})).c_str()), kImageUnknownFormat);
  EXPECT_EQ(file.input, nullptr);
}

TEST_F(ImageFile, ReadWithAnotherFormatThanTheOneSetSetsItAgain) {
  const std::vector<BYTE> bytes = TestImage(3, 2, 24, 0, kColorRows);
  CInputMemFile input;
  input.Create(bytes.data(), static_cast<int>(bytes.size()));
  CImageFile file(&mgr);
  ASSERT_EQ(file.OpenStream(&input), kImageOk);
  EXPECT_EQ(file.SetReadFormat(4, 2, 32, nullptr), kImageSizeDiffers);
  ASSERT_EQ(file.SetReadFormat(3, 2, 32, nullptr), kImageOk);
  // The caller now reads 8-bit indexes into a buffer of 3 x 2 bytes: the format set before
  // (32 bits) would write 24 bytes.
  LOGPALETTE256 palette{0x300, 3, {}};
  palette.palPalEntry[0] = {0, 0, 0, 0};
  palette.palPalEntry[1] = {255, 255, 255, 0};
  palette.palPalEntry[2] = {255, 0, 0, 0};
  std::vector<BYTE> indexes(6, 0xEE);
  ASSERT_EQ(
      file.Read(indexes.data(), 3, 2, 3, 8, reinterpret_cast<LOGPALETTE*>(&palette), nullptr, 0),
      kImageOk);
  EXPECT_EQ(indexes, (std::vector<BYTE>{2, 0, 0, 1, 0, 0}));
}

TEST_F(ImageFile, SeekingNeedsAnAnimatedFormat) {
  const std::vector<BYTE> bytes = TestImage(3, 2, 24, 0, kColorRows);
  CInputMemFile input;
  input.Create(bytes.data(), static_cast<int>(bytes.size()));
  CImageFile file(&mgr);
  BYTE pixels[32];
  EXPECT_EQ(file.SeekFrame(pixels, 16, 0), kImageNoFilter);
  ASSERT_EQ(file.OpenStream(&input), kImageOk);
  EXPECT_EQ(file.SeekFrame(pixels, 16, 0), kImageNoFilter);  // no format yet
  ASSERT_EQ(file.SetReadFormat(3, 2, 32, nullptr), kImageOk);
  EXPECT_EQ(file.SeekFrame(pixels, 16, 0), kImageNotSupported);
}

TEST_F(ImageFile, AFailedSaveKeepsTheOldFileAndLeavesNothingBehind) {
  const std::string target = Write("picture.img", {'o', 'l', 'd'});
  const BYTE pixels[12] = {};
  COLORREF key = 0;
  CImageFile file(&mgr);
  EXPECT_EQ(file.SaveImage(target.c_str(), pixels, 2, 2, 24, 8, nullptr, &key, 0), kImageNoFilter);
  ASSERT_TRUE(file.SelectFilterByID(kFailing));
  EXPECT_EQ(file.SaveImage(target.c_str(), pixels, 2, 2, 24, 8, nullptr, &key, 0),
            kImageCannotCreate);
  EXPECT_EQ(Contents(target), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  ASSERT_TRUE(file.SelectFilterByID(kReader));
  EXPECT_EQ(file.SaveImage(target.c_str(), pixels, 0, 2, 24, 8, nullptr, &key, 0),
            kImageBadArgument);
  EXPECT_EQ(file.SaveImage(target.c_str(), pixels, 2, 2, 12, 8, nullptr, &key, 0), kImageBadDepth);
  EXPECT_EQ(
      file.SaveImage((dir / "no/such/folder.img").c_str(), pixels, 2, 2, 24, 8, nullptr, &key, 0),
      kImageCannotCreate);
  ASSERT_EQ(file.SaveImage(target.c_str(), pixels, 2, 2, 24, 8, nullptr, &key, 0), kImageOk);
  EXPECT_EQ(Contents(target), "SAVED");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(ImageFile, AFailedFlushIsReportedNotSuccess) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  const BYTE pixels[12] = {};
  COLORREF key = 0;
  CImageFile file(&mgr);
  ASSERT_TRUE(file.SelectFilterByID(kReader));
  // A device is written in place; its full disk shows when the buffer is flushed.
  EXPECT_EQ(file.SaveImage("/dev/full", pixels, 2, 2, 24, 8, nullptr, &key, 0), kImageCannotCreate);
}

TEST_F(ImageFile, AnimationsKeepThePreviousFrameAsThePitchGrows) {
  const std::string target = Write("anim.img", {'o', 'l', 'd'});
  CImageFile file(&mgr);
  EXPECT_EQ(file.BeginWrite(target.c_str(), 4, 3, 8, 0, 0, 0, 0, 0, 0), kImageNoFilter);
  ASSERT_TRUE(file.SelectFilterByID(kReader));
  const BYTE row[8] = {};
  EXPECT_EQ(file.WriteRows(row, 4, 3, 4, 8, nullptr, 0, 0, 0, 0), kImageNothingOpen);
  ASSERT_EQ(file.BeginWrite(target.c_str(), 4, 3, 8, 0, 0, 0, 0, 0, 0), kImageOk);
  // A second name while the animation is open would silently go to the first file.
  EXPECT_EQ(file.BeginWrite((dir / "second.img").c_str(), 4, 3, 8, 0, 0, 0, 0, 0, 0),
            kImageAlreadyOpen);
  EXPECT_EQ(file.WriteRows(row, 5, 3, 8, 8, nullptr, 0, 0, 0, 0), kImageSizeDiffers);
  EXPECT_EQ(file.WriteRows(row, 4, 3, 8, 24, nullptr, 0, 0, 0, 0), kImageBadDepth);
  // Frames with growing pitches, top-down and bottom-up: the filter checks that the previous
  // rows it gets are the last frame's.
  for (int pitch : {4, 8, 16, -32, 64}) {
    std::vector<BYTE> frame(static_cast<std::size_t>(std::abs(pitch)) * 3);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = BYTE(i * 7 + pitch);
    const BYTE* first = pitch < 0 ? frame.data() + 2 * std::abs(pitch) : frame.data();
    ASSERT_EQ(file.WriteRows(first, 4, 3, pitch, 8, nullptr, 0, 0, 0, 0), kImageOk) << pitch;
  }
  EXPECT_EQ(file.GetCurrentFrame(), 4);
  // Nothing replaces the old file until Close.
  EXPECT_EQ(Contents(target), "old");
  ASSERT_EQ(file.Close(), kImageOk);
  EXPECT_EQ(Contents(target).size(), 5u * 12u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(ImageFile, ImportCreatesTheSurfaceAtTheFilesDepth) {
  const std::string path = Write("colour.img", TestImage(3, 2, 24, 2, kColorRows));
  cSurfaceObject surface;  // empty: flag 0x01 has no depth to keep
  std::uint32_t id = 0;
  ASSERT_EQ(ImportImage(&mgr, path.c_str(), &surface, &id, kImportKeepDepth), 1);
  EXPECT_EQ(id, kReader);
  EXPECT_EQ(surface.GetDepth(), 24);
  EXPECT_EQ(surface.GetWidth(), 3);
  EXPECT_EQ(surface.GetTransparentColor(), 0x00FF00FFu);  // the file's key
  COLORREF c = 0;
  surface.GetPixelColor(2, 1, &c);
  EXPECT_EQ(c, 0x001E140Au);
  // The next import resizes the surface and keeps its kind.
  const std::string small = Write("small.img", TestImage(1, 1, 24, 0, {1, 2, 3}));
  ASSERT_EQ(ImportImage(&mgr, small.c_str(), &surface, nullptr, kImportKeyFromCorner), 1);
  EXPECT_EQ(surface.GetWidth(), 1);
  EXPECT_EQ(surface.GetTransparentColor(), 0x00010203u);  // pixel (0, 0)
  EXPECT_EQ(ImportImage(&mgr, (dir / "missing.img").c_str(), &surface, nullptr, 0), 0);
  EXPECT_EQ(ImportImage(&mgr, "", &surface, nullptr, 0), 0);
}

TEST_F(ImageFile, TrueColorIntoAKeptEightBitSurfaceUsesItsPalette) {
  const std::string path = Write("colour.img", TestImage(3, 2, 24, 0, kColorRows));
  auto surface = testsupport::MakeSurface(8, 3, 2);
  const COLORREF before = surface->GetPaletteColor(7);
  ASSERT_EQ(ImportImage(&mgr, path.c_str(), surface.get(), nullptr, kImportKeepDepth), 1);
  EXPECT_EQ(surface->GetDepth(), 8);
  EXPECT_EQ(surface->GetPaletteColor(7), before);
  for (int x = 0; x < 3; ++x) {
    COLORREF c = 0;
    surface->GetPixelColor(x, 0, &c);
    const COLORREF want[3] = {0x0000FF, 0x00FF00, 0xFF0000};
    EXPECT_EQ(c, want[x]) << x;  // the default palette holds the pure colours
  }
}

TEST_F(ImageFile, EightBitFilesBringTheirPaletteUnlessTheSurfacesIsKept) {
  const std::string path = Write("grey.img", TestImage(4, 1, 8, 0, {0, 100, 200, 255}));
  // Recreated at 8 bits: flag 0x02 cannot apply, the file's (grey) palette is installed.
  auto wide = testsupport::MakeSurface(24, 4, 1);
  ASSERT_EQ(ImportImage(&mgr, path.c_str(), wide.get(), nullptr, kImportSurfacePalette), 1);
  ASSERT_EQ(wide->GetDepth(), 8);
  COLORREF c = 0;
  wide->GetPixelColor(1, 0, &c);
  EXPECT_EQ(c, 0x646464u);
  // An 8-bit surface with 0x01 | 0x02 keeps its palette; the colours are mapped onto it.
  auto kept = testsupport::MakeSurface(8, 4, 1);
  const COLORREF entry = kept->GetPaletteColor(100);
  ASSERT_EQ(ImportImage(&mgr, path.c_str(), kept.get(), nullptr,
                        kImportKeepDepth | kImportSurfacePalette),
            1);
  EXPECT_EQ(kept->GetPaletteColor(100), entry);
  kept->GetPixelColor(3, 0, &c);
  EXPECT_EQ(c, 0xFFFFFFu);
}

TEST_F(ImageFile, AKeptAlphaPlaneGoesWithAFileWithoutAlpha) {
  const std::string withAlpha = Write("alpha.img", TestImage(3, 2, 24, 1, kColorRows));
  const std::string without = Write("plain.img", TestImage(3, 2, 24, 0, kColorRows));
  auto surface = testsupport::MakeSurface(24, 3, 2);
  ASSERT_EQ(ImportImage(&mgr, withAlpha.c_str(), surface.get(), nullptr, 0), 1);
  ASSERT_TRUE(surface->HasAlpha());
  EXPECT_EQ(surface->GetAlphaPointer()[surface->GetAlphaPitch() + 2], 2 * 16 + 1);
  mgr.SetPremultiplyAlpha(1);
  ASSERT_EQ(ImportImage(&mgr, without.c_str(), surface.get(), nullptr, 0), 1);
  mgr.SetPremultiplyAlpha(0);
  EXPECT_FALSE(surface->HasAlpha());
  COLORREF c = 0;
  surface->GetPixelColor(0, 0, &c);
  EXPECT_EQ(c, 0x0000FFu);  // not premultiplied by a stale plane
}

TEST_F(ImageFile, PremultiplicationFollowsTheManagerAndTheFlag) {
  const std::string path = Write("alpha.img", TestImage(3, 2, 24, 1, kColorRows));
  mgr.SetPremultiplyAlpha(1);
  cSurfaceObject premultiplied, straight;
  ASSERT_EQ(ImportImage(&mgr, path.c_str(), &premultiplied, nullptr, 0), 1);
  ASSERT_EQ(ImportImage(&mgr, path.c_str(), &straight, nullptr, kImportNoPremultiply), 1);
  mgr.SetPremultiplyAlpha(0);
  COLORREF a = 0, b = 0;
  premultiplied.GetPixelColor(0, 1, &a);  // white under alpha 1
  straight.GetPixelColor(0, 1, &b);
  EXPECT_EQ(b, 0xFFFFFFu);
  EXPECT_NE(a, b);
}

TEST_F(ImageFile, QueriesAndPalettes) {
  const std::string grey = Write("grey.img", TestImage(2, 1, 8, 0, {5, 6}));
  const std::string big = Write("big.img", TestImage(2, 1, 8, 4, {5, 6}));
  const std::string color = Write("colour.img", TestImage(3, 2, 24, 0, kColorRows));
  EXPECT_EQ(IsImageFile(&mgr, grey.c_str()), 1);
  EXPECT_EQ(IsImageFile(&mgr, Write("four.img", TestImage(4, 1, 4, 0, {1, 2})).c_str()), 1);
  EXPECT_EQ(IsImageFile(&mgr, Write("junk.img", {1, 2, 3}).c_str()), 0);
  int still = -1;
  EXPECT_EQ(GetImageFileInfo(&mgr, color.c_str(), &still), 1);
  EXPECT_EQ(still, 1);
  LOGPALETTE256 palette{};
  ASSERT_EQ(GetImageFilePalette(&mgr, grey.c_str(), reinterpret_cast<LOGPALETTE*>(&palette)), 1);
  EXPECT_EQ(palette.palNumEntries, 256);
  EXPECT_EQ(palette.palPalEntry[77].peRed, 77);
  // A palette claiming more entries than the caller's record holds is refused.
  EXPECT_EQ(GetImageFilePalette(&mgr, big.c_str(), reinterpret_cast<LOGPALETTE*>(&palette)), 0);
  EXPECT_EQ(GetImageFilePalette(&mgr, color.c_str(), reinterpret_cast<LOGPALETTE*>(&palette)), 0);
}

TEST_F(ImageFile, ExportNeedsASavingFilterAndAValidSurface) {
  auto surface = testsupport::MakeSurface(24, 4, 4);
  const std::string target = (dir / "out.img").string();
  cSurfaceObject empty;
  EXPECT_EQ(ExportImage(&mgr, target.c_str(), &empty, kReader), 0);
  EXPECT_EQ(ExportImage(&mgr, "", surface.get(), kReader), 0);
  EXPECT_EQ(ExportImage(&mgr, target.c_str(), surface.get(), 0), 0);  // no "BMP " here
  EXPECT_EQ(ExportImage(&mgr, target.c_str(), surface.get(), kFailing), 0);
  EXPECT_FALSE(fs::exists(target));
  ASSERT_EQ(ExportImage(&mgr, target.c_str(), surface.get(), kReader), 1);
  EXPECT_EQ(Contents(target), "SAVED");
  // The surface was unlocked on every path: it still locks and unlocks.
  ASSERT_NE(surface->LockBits(), nullptr);
  surface->Unlock();
}

TEST_F(ImageFile, FrameByFrameExportAndImport) {
  auto surface = testsupport::MakeSurface(8, 4, 3);
  surface->FillRectValue(0, 0, 4, 3, 7);  // new memory surfaces hold whatever was there
  CImageFile writer(&mgr);
  ASSERT_TRUE(writer.SelectFilterByID(kReader));
  const std::string target = (dir / "frames.img").string();
  ASSERT_EQ(BeginImageExport(&mgr, target.c_str(), surface.get(), &writer, 0, 7, 0, 0), 1);
  surface->SetPixelColor(1, 1, 0x01000005);
  ASSERT_EQ(ExportNextImage(&mgr, surface.get(), &writer, 9), 1);
  ASSERT_EQ(EndImageExport(&mgr, &writer), 1);
  EXPECT_EQ(Contents(target).size(), 2u * 12u);

  const std::string image = Write("one.img", TestImage(3, 2, 24, 2, kColorRows));
  CImageFile reader(&mgr);
  cSurfaceObject into;
  ASSERT_EQ(BeginImageImport(&mgr, image.c_str(), &into, &reader, 0), 1);
  EXPECT_EQ(into.GetTransparentColor(), 0x00FF00FFu);
  EXPECT_EQ(ImportNextImage(&mgr, &into, &reader), 0);  // a still image has no second frame
  EXPECT_EQ(EndImageImport(&mgr, &reader), 1);
  EXPECT_EQ(BeginImageImport(&mgr, (dir / "missing.img").c_str(), &into, &reader, 0), 0);
}

}  // namespace
