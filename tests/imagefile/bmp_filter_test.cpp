// The bitmap filter plug-in: the bitmap test suite against the Python imaging library's
// decoding, damaged files refused, hand-made run-length files at the edges of their rows, and
// saves at every depth read back.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <vexa/filter_impl.h>
#include <vexa/image_file.h>
#include <vexa/stream.h>

#include "imagefile/image_test_support.h"
#include "support/surface_factory.h"

namespace {

using vexa::test::CorporaDir;
using vexa::test::Plugins;
using vexa::test::SurfaceRgba;
using vexa::test::TestData;
namespace fs = std::filesystem;

constexpr std::uint32_t kBmp = FilterID("BMP ");

// The suite's files of one group (g, q, b, x): the shared corpora, else the copy in the
// test data.
std::vector<std::string> SuiteFiles(const std::string& group) {
  const std::string corpus = CorporaDir();
  const fs::path dir =
      (corpus.empty() ? fs::path(TestData("bmp")) : fs::path(corpus) / "bmp") / group;
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".bmp") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The first difference between a loaded surface and the reference, or "". Colours of 15- and
// 16-bit surfaces are compared at the precision the file stores (the reference widens 5- and
// 6-bit values to 8 bits with its own rounding). An 8-bit surface's palette holds pure black
// at entry 0 only (elsewhere it is (8, 0, 0)), so that colour stands for black there.
std::string Difference(cSurfaceObject& s, const vexa::test::Reference& ref) {
  if (s.GetWidth() != ref.width || s.GetHeight() != ref.height) return "size";
  const int depth = s.GetDepth();
  const int shifts[3] = {3, depth == 16 ? 2 : 3, 3};
  for (int y = 0; y < ref.height; ++y) {
    for (int x = 0; x < ref.width; ++x) {
      unsigned char got[4];
      SurfaceRgba(s, x, y, got);
      if (depth == 8 && got[0] == 8 && got[1] == 0 && got[2] == 0) got[0] = 0;
      const unsigned char* want = &ref.frames[0][(static_cast<std::size_t>(y) * ref.width + x) * 4];
      for (int c = 0; c < 4; ++c) {
        const int shift = (depth == 15 || depth == 16) && c < 3 ? shifts[c] : 0;
        if ((got[c] >> shift) != (want[c] >> shift)) {
          return "at " + std::to_string(x) + "," + std::to_string(y) + " channel " +
                 std::to_string(c) + ": " + std::to_string(got[c]) + " vs " +
                 std::to_string(want[c]);
        }
      }
    }
  }
  return "";
}

// Loads a file, bounded in time: nothing in the suite may take long.
int TimedImport(const std::string& file, cSurfaceObject* surface, std::uint32_t* id) {
  const auto start = std::chrono::steady_clock::now();
  const int ok = ImportImage(&Plugins(), file.c_str(), surface, id, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << file;
  return ok;
}

TEST(BmpFilter, BitmapSuiteGoodFilesMatchTheReferenceDecoder) {
  const std::vector<std::string> files = SuiteFiles("g");
  ASSERT_FALSE(files.empty());
  // The reference decoder reads 4-bit run lengths wrongly (a run's two nibbles come out as
  // one index and black) and refuses 32-bit masks other than its few known orders: those files
  // are compared with their uncompressed, plainly stored twins (the same picture).
  const auto twin = [](const std::string& file) {
    const fs::path path(file);
    if (path.filename() == "pal4rle.bmp") return (path.parent_path() / "pal4.bmp").string();
    if (path.filename() == "rgb32bf.bmp") return (path.parent_path() / "rgb32.bmp").string();
    return file;
  };
  std::vector<std::string> decoded;
  for (const std::string& file : files) decoded.push_back(twin(file));
  bool pil = false;
  const auto references = vexa::test::DecodeWithPil(decoded, &pil);
  int loaded = 0, mismatched = 0, compared = 0;
  for (const std::string& file : files) {
    cSurfaceObject surface;
    std::uint32_t id = 0;
    ASSERT_EQ(TimedImport(file, &surface, &id), 1) << file;
    EXPECT_EQ(id, kBmp);
    ++loaded;
    auto ref = references.find(twin(file));
    if (ref == references.end()) {
      std::printf("BMP g/: the reference decoder refuses %s\n", file.c_str());
      continue;
    }
    ++compared;
    const std::string difference = Difference(surface, ref->second);
    EXPECT_EQ(difference, "") << file;
    mismatched += !difference.empty();
  }
  if (pil) {
    EXPECT_EQ(compared, static_cast<int>(files.size()));
  }
  std::printf("BMP g/: %d loaded, 0 refused, %d compared, %d mismatched%s\n", loaded, compared,
              mismatched, pil ? "" : " (no reference decoder: pixels not compared)");
}

TEST(BmpFilter, BitmapSuiteDamagedFilesAreRefusedAndOthersEndQuickly) {
  int refused = 0;
  const std::vector<std::string> bad = SuiteFiles("b");
  ASSERT_FALSE(bad.empty());
  for (const std::string& file : bad) {
    cSurfaceObject surface;
    const int ok = TimedImport(file, &surface, nullptr);
    EXPECT_EQ(ok, 0) << file << " must be refused";
    refused += ok == 0;
  }
  std::printf("BMP b/: 0 loaded, %d refused\n", refused);
  for (const char* group : {"q", "x"}) {
    int loaded = 0, others = 0;
    for (const std::string& file : SuiteFiles(group)) {
      cSurfaceObject surface;
      const int ok = TimedImport(file, &surface, nullptr);
      if (ok) {
        EXPECT_GT(surface.GetWidth(), 0) << file;
        ++loaded;
      } else {
        ++others;
      }
    }
    std::printf("BMP %s/: %d loaded, %d refused\n", group, loaded, others);
  }
}

TEST(BmpFilter, DepthsPalettesAndAlphaAsDelivered) {
  struct Case {
    const char* file;
    int depth;
    bool alpha;
    int entries;  // palette entries, 0 for none
  } cases[] = {{"g/pal1.bmp", 8, false, 2},       {"q/pal2.bmp", 8, false, 4},
               {"g/pal4rle.bmp", 8, false, 12},   {"g/pal8os2.bmp", 8, false, 256},
               {"g/pal8.bmp", 8, false, 252},     {"g/rgb16.bmp", 15, false, 0},
               {"g/rgb16-565.bmp", 16, false, 0}, {"g/rgb24.bmp", 24, false, 0},
               {"g/rgb32.bmp", 32, false, 0},     {"g/rgb32bf.bmp", 24, false, 0},
               {"q/rgba32-1.bmp", 32, true, 0},   {"q/rgba16-4444.bmp", 32, true, 0}};
  for (const Case& c : cases) {
    CImageFile file(&Plugins());
    ASSERT_EQ(file.Open(TestData(std::string("bmp/") + c.file).c_str()), 0) << c.file;
    EXPECT_EQ(file.GetFilterID(), kBmp);
    EXPECT_EQ(file.GetDepth(), c.depth) << c.file;
    EXPECT_EQ(file.HasAlpha() != 0, c.alpha) << c.file;
    const LOGPALETTE* palette = file.GetPalette();
    EXPECT_EQ(palette ? palette->palNumEntries : 0, c.entries) << c.file;
  }
  // A 4-bit alpha mask widens to full bytes: its largest value is opaque.
  cSurfaceObject surface;
  ASSERT_EQ(
      ImportImage(&Plugins(), TestData("bmp/q/rgba16-4444.bmp").c_str(), &surface, nullptr, 0x10),
      1);
  ASSERT_TRUE(surface.HasAlpha());
  const BYTE* plane = surface.GetAlphaPointer();
  const int pitch = surface.GetAlphaPitch();
  bool opaque = false, clear = false;
  for (int y = 0; y < surface.GetHeight(); ++y) {
    for (int x = 0; x < surface.GetWidth(); ++x) {
      opaque = opaque || plane[y * pitch + x] == 255;
      clear = clear || plane[y * pitch + x] == 0;
    }
  }
  EXPECT_TRUE(opaque && clear);
}

// ---- hand-made files ----------------------------------------------------------------------

void Put(std::vector<BYTE>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

// A run-length file of width x height with a palette of `entries` grey levels.
std::vector<BYTE> RunLengthFile(int width, int height, int bits, int entries,
                                const std::vector<BYTE>& data) {
  std::vector<BYTE> f;
  const std::uint32_t offset = 14 + 40 + 4 * entries;
  f.push_back('B');
  f.push_back('M');
  Put(f, offset + static_cast<std::uint32_t>(data.size()), 4);
  Put(f, 0, 4);
  Put(f, offset, 4);
  Put(f, 40, 4);
  Put(f, static_cast<std::uint32_t>(width), 4);
  Put(f, static_cast<std::uint32_t>(height), 4);
  Put(f, 1, 2);
  Put(f, static_cast<std::uint32_t>(bits), 2);
  Put(f, bits == 8 ? 1 : 2, 4);
  Put(f, static_cast<std::uint32_t>(data.size()), 4);
  Put(f, 2835, 4);
  Put(f, 2835, 4);
  Put(f, static_cast<std::uint32_t>(entries), 4);
  Put(f, 0, 4);
  for (int i = 0; i < entries; ++i) Put(f, static_cast<std::uint32_t>(i * 0x010101 * 10), 4);
  f.insert(f.end(), data.begin(), data.end());
  return f;
}

// Loads bytes into a fresh surface; the surface or null when refused.
std::unique_ptr<cSurfaceObject> Load(const std::vector<BYTE>& bytes) {
  CInputMemFile input;
  input.Create(bytes.data(), static_cast<int>(bytes.size()));
  auto surface = std::make_unique<cSurfaceObject>();
  if (!ImportImageFromStream(&Plugins(), &input, surface.get(), nullptr, 0)) return nullptr;
  return surface;
}

int Index(cSurfaceObject& s, int x, int y) {
  COLORREF c = 0;
  s.GetPixelColor(x, y, &c);
  return static_cast<int>(c & 0xFF) / 10;  // grey level i*10 is entry i
}

TEST(BmpFilter, RunLengthsFillRowsSkipAndStopAtTheirEdges) {
  // 8 bits, 5 x 3: a run, a literal of three (padded), end of row; a move of 2 right and 1
  // up; end of image. Row 0 is the bottom row.
  const std::vector<BYTE> rle8 = {2, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 1, 4, 0, 1};
  auto s = Load(RunLengthFile(5, 3, 8, 8, rle8));
  ASSERT_TRUE(s);
  const int bottom[5] = {7, 7, 1, 2, 3};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(Index(*s, x, 2), bottom[x]) << x;
  // The moved-to pixel of the top row; everything skipped is entry 0.
  EXPECT_EQ(Index(*s, 2, 0), 4);
  for (int x : {0, 1, 3, 4}) EXPECT_EQ(Index(*s, x, 0), 0);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(Index(*s, x, 1), 0);
  // 4 bits: a run alternates its two nibbles, an odd literal takes the high nibbles first.
  const std::vector<BYTE> rle4 = {3, 0x12, 0, 3, 0x34, 0x50, 0, 1};
  auto four = Load(RunLengthFile(6, 1, 4, 8, rle4));
  ASSERT_TRUE(four);
  const int row[6] = {1, 2, 1, 3, 4, 5};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(Index(*four, x, 0), row[x]) << x;

  // Damage: each is refused without writing outside the image.
  const std::vector<std::vector<BYTE>> damaged = {
      {6, 1, 0, 1},                                // a run past the row's end
      {0, 3, 1, 2, 3, 0, 0, 3, 1, 2, 3, 0, 0, 1},  // a literal past it
      {0, 2, 0, 9, 1, 1, 0, 1},                    // a move above the image, then a pixel
      {0, 0, 0, 0, 0, 0, 1, 1, 0, 1},              // rows past the top, then a pixel
      {2, 9, 0, 1},                                // an index past the colour table
      {5, 1, 0, 0},                                // no end-of-image code
      {0, 5, 1, 2},                                // a literal longer than the data
  };
  for (std::size_t i = 0; i < damaged.size(); ++i) {
    EXPECT_FALSE(Load(RunLengthFile(5, 3, 8, 8, damaged[i]))) << "case " << i;
  }
}

TEST(BmpFilter, HeadersThatPromiseMoreThanTheFileHoldsAreRefused) {
  auto file = RunLengthFile(5, 1, 8, 8, {5, 1, 0, 1});
  ASSERT_TRUE(Load(file));
  // Above 2^28 pixels: out of memory (code 1) before anything is allocated for them.
  auto huge = file;
  const std::uint32_t big = 1u << 15;
  std::memcpy(&huge[18], &big, 4);
  std::memcpy(&huge[22], &big, 4);
  CInputMemFile input;
  input.Create(huge.data(), static_cast<int>(huge.size()));
  CImageFile image(&Plugins());
  EXPECT_EQ(image.OpenStream(&input), 1);
  // A stated run-length size past the end of the file.
  auto cut = file;
  const std::uint32_t size = 100;
  std::memcpy(&cut[34], &size, 4);
  EXPECT_FALSE(Load(cut));
  // A colour count larger than the pixels can name.
  auto colors = file;
  const std::uint32_t count = 257;
  std::memcpy(&colors[46], &count, 4);
  EXPECT_FALSE(Load(colors));
}

// ---- saving -------------------------------------------------------------------------------

using BmpRoundTrip = vexa::test::ScratchDirTest;

// Saves a surface's rows at its own depth with the bitmap filter: its palette at 8 bits, its
// alpha plane at 32.
int SaveWithFilter(const std::string& path, cSurfaceObject& source) {
  CImageFile file(&Plugins());
  if (!file.SelectFilterByID(kBmp)) return -1;
  LOGPALETTE256 palette{0x300, 256, {}};
  source.GetPaletteEntries(palette.palPalEntry, 0, 256);
  const bool alpha = source.HasAlpha() != 0;
  COLORREF key = 0;
  BYTE* rows = source.LockBits();
  const int result =
      file.SaveImage(path.c_str(), rows, source.GetWidth(), source.GetHeight(), source.GetDepth(),
                     source.GetPitch(), reinterpret_cast<LOGPALETTE*>(&palette),
                     alpha ? static_cast<const void*>(source.GetAlphaPointer()) : &key,
                     alpha ? source.GetAlphaPitch() : 0);
  source.Unlock();
  return result;
}

TEST_F(BmpRoundTrip, EveryDepthReadsBackTheSameValues) {
  std::mt19937 rng(26);
  int n = 0;
  for (int depth : {8, 15, 16, 24, 32}) {
    for (bool alpha : {false, true}) {
      if (alpha && depth != 32) continue;
      SCOPED_TRACE("depth " + std::to_string(depth) + (alpha ? " with alpha" : ""));
      auto source = testsupport::MakeSurface(depth, 13, 7);
      for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 13; ++x) {
          source->SetPixelColor(x, y, depth == 8 ? 0x01000000u | (rng() & 0xFF) : rng() & 0xFFFFFF);
        }
      }
      if (alpha) {
        source->CreateAlpha();
        for (int y = 0; y < 7; ++y) {
          for (int x = 0; x < 13; ++x) {
            source->GetAlphaPointer()[y * source->GetAlphaPitch() + x] = BYTE(rng());
          }
        }
      }
      const std::string path = (dir / std::to_string(n++)).string() + ".bmp";
      ASSERT_EQ(SaveWithFilter(path, *source), 0);
      cSurfaceObject back;
      ASSERT_EQ(ImportImage(&Plugins(), path.c_str(), &back, nullptr, 0x10), 1);
      EXPECT_EQ(back.GetDepth(), depth);
      EXPECT_EQ(back.HasAlpha() != 0, alpha);
      for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 13; ++x) {
          ASSERT_EQ(back.GetPixelFast(x, y), source->GetPixelFast(x, y)) << x << "," << y;
          unsigned char want[4], got[4];
          SurfaceRgba(*source, x, y, want);
          SurfaceRgba(back, x, y, got);
          ASSERT_EQ(std::memcmp(want, got, 4), 0) << x << "," << y;
        }
      }
    }
  }
}

TEST_F(BmpRoundTrip, ExportWithoutAnIdentifierWritesABitmap) {
  auto source = testsupport::MakeSurface(16, 6, 5);
  source->FillColor(0x00FF80);
  const std::string path = (dir / "default.bmp").string();
  ASSERT_EQ(ExportImage(&Plugins(), path.c_str(), source.get(), 0), 1);
  CImageFile file(&Plugins());
  ASSERT_EQ(file.Open(path.c_str()), 0);
  EXPECT_EQ(file.GetFilterID(), kBmp);
  EXPECT_EQ(file.GetDepth(), 24);  // a 16-bit surface exports as 24 bits
}

TEST_F(BmpRoundTrip, TheLibraryLoaderReadsWhatTheFilterWrites) {
  // One header and row layout for both: every depth the filter saves without alpha loads
  // through the surface's own bitmap loader too (16 bits with its masks after the header).
  std::mt19937 rng(5);
  for (int depth : {8, 15, 16, 24, 32}) {
    auto source = testsupport::MakeSurface(depth, 9, 4);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 9; ++x) source->SetPixelColor(x, y, rng() & 0xFFFFFF);
    }
    const std::string path = (dir / ("lib" + std::to_string(depth) + ".bmp")).string();
    ASSERT_EQ(SaveWithFilter(path, *source), 0);
    auto back = testsupport::MakeSurface(24, 1, 1);
    ASSERT_EQ(back->LoadBitmapFromFileName(path.c_str(), 0), 1) << depth;
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 9; ++x) {
        unsigned char want[4], got[4];
        SurfaceRgba(*source, x, y, want);
        SurfaceRgba(*back, x, y, got);
        ASSERT_EQ(std::memcmp(want, got, 3), 0) << depth << " at " << x << "," << y;
      }
    }
  }
}

}  // namespace
