// The PNG filter plug-in: PngSuite against the Python imaging library's decoding, malformed
// files refused, and saves read back at every depth it writes.
#include <algorithm>
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

constexpr std::uint32_t kPng = FilterID("PNG ");

std::vector<std::string> PngFiles() {
  const std::string corpus = CorporaDir();
  const fs::path dir = corpus.empty() ? fs::path(TestData("png")) : fs::path(corpus) / "png";
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".png") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool Malformed(const std::string& path) { return fs::path(path).filename().string()[0] == 'x'; }

// Compares a loaded surface with the reference; the first difference, or "".
std::string Difference(cSurfaceObject& s, const vexa::test::Reference& ref, COLORREF key,
                       bool keyed) {
  if (s.GetWidth() != ref.width || s.GetHeight() != ref.height) return "size";
  for (int y = 0; y < ref.height; ++y) {
    for (int x = 0; x < ref.width; ++x) {
      unsigned char got[4];
      SurfaceRgba(s, x, y, got);
      const unsigned char* want = &ref.frames[0][(static_cast<std::size_t>(y) * ref.width + x) * 4];
      const bool transparentByKey = keyed && want[3] == 0;
      if (transparentByKey) {
        // A grey or RGB tRNS is our transparent colour: the pixel must hold the key.
        const COLORREF color = got[0] | got[1] << 8 | got[2] << 16;
        if (color != key) return "key at " + std::to_string(x) + "," + std::to_string(y);
        continue;
      }
      // Fully transparent pixels of an alpha plane may have any colour.
      const int channels = (want[3] == 0 && got[3] == 0) ? 0 : 3;
      for (int c = 0; c < channels; ++c) {
        if (got[c] != want[c]) {
          return "colour at " + std::to_string(x) + "," + std::to_string(y) + " channel " +
                 std::to_string(c) + ": " + std::to_string(got[c]) + " vs " +
                 std::to_string(want[c]);
        }
      }
      if (!keyed && got[3] != want[3]) {
        return "alpha at " + std::to_string(x) + "," + std::to_string(y);
      }
    }
  }
  return "";
}

TEST(PngFilter, PngSuiteMatchesTheReferenceDecoder) {
  const std::vector<std::string> files = PngFiles();
  ASSERT_FALSE(files.empty());
  bool pil = false;
  const auto references = vexa::test::DecodeWithPil(files, &pil);
  int loaded = 0, refused = 0, mismatched = 0;
  for (const std::string& file : files) {
    cSurfaceObject surface;
    std::uint32_t id = 0;
    const int ok = ImportImage(&Plugins(), file.c_str(), &surface, &id, 0);
    if (Malformed(file)) {
      EXPECT_EQ(ok, 0) << file << " must be refused";
      refused += ok == 0;
      continue;
    }
    ASSERT_EQ(ok, 1) << file;
    EXPECT_EQ(id, kPng);
    ++loaded;
    if (!pil) continue;
    auto ref = references.find(file);
    ASSERT_NE(ref, references.end()) << file;
    // Files with a grey or RGB tRNS report it as the transparent colour.
    CImageFile probe(&Plugins());
    ASSERT_EQ(probe.Open(file.c_str()), 0);
    COLORREF key = 0;
    const bool keyed = probe.GetTransparentColor(&key) != 0;
    probe.Close();
    const std::string difference = Difference(surface, ref->second, key, keyed);
    EXPECT_EQ(difference, "") << file;
    mismatched += !difference.empty();
  }
  std::printf("PNG: %d loaded, %d refused, %d mismatched%s\n", loaded, refused, mismatched,
              pil ? "" : " (no reference decoder: pixels not compared)");
}

TEST(PngFilter, DepthsAndPalettesAsDelivered) {
  struct Case {
    const char* file;
    int depth;
    bool alpha;
  } cases[] = {{"basn0g01.png", 8, false}, {"basn0g16.png", 8, false}, {"basn2c08.png", 24, false},
               {"basn3p04.png", 8, false}, {"basn4a08.png", 32, true}, {"basn6a16.png", 32, true},
               {"basi3p02.png", 8, false}, {"tbbn3p08.png", 8, true}};
  for (const Case& c : cases) {
    CImageFile file(&Plugins());
    ASSERT_EQ(file.Open(TestData(std::string("png/") + c.file).c_str()), 0) << c.file;
    EXPECT_EQ(file.GetDepth(), c.depth) << c.file;
    EXPECT_EQ(file.HasAlpha() != 0, c.alpha) << c.file;
    EXPECT_EQ(file.GetPalette() != nullptr, c.depth == 8) << c.file;
    EXPECT_EQ(file.GetFilterID(), kPng);
  }
  // Grey comes with a grey palette; 1-bit grey uses its two ends.
  CImageFile grey(&Plugins());
  ASSERT_EQ(grey.Open(TestData("png/basn0g01.png").c_str()), 0);
  const auto* entries = reinterpret_cast<const LOGPALETTE256*>(grey.GetPalette())->palPalEntry;
  EXPECT_EQ(entries[255].peGreen, 255);
  EXPECT_EQ(entries[100].peBlue, 100);
  cSurfaceObject surface;
  ASSERT_EQ(ImportImage(&Plugins(), TestData("png/basn0g01.png").c_str(), &surface, nullptr, 0), 1);
  COLORREF corner = 1;
  surface.GetPixelColor(0, 0, &corner);
  EXPECT_TRUE(corner == 0 || corner == 0xFFFFFF) << std::hex << corner;
  // An RGB tRNS is the transparent colour.
  CImageFile keyed(&Plugins());
  ASSERT_EQ(keyed.Open(TestData("png/tbrn2c08.png").c_str()), 0);
  COLORREF key = 0;
  EXPECT_EQ(keyed.GetTransparentColor(&key), 1);
}

// A surface of the depth filled with random colours (and a random alpha plane).
std::unique_ptr<cSurfaceObject> RandomSurface(int depth, bool alpha, std::mt19937& rng) {
  auto s = testsupport::MakeSurface(depth, 37, 11);
  for (int y = 0; y < 11; ++y) {
    for (int x = 0; x < 37; ++x) {
      s->SetPixelColor(x, y, depth == 8 ? (0x01000000u | (rng() & 0xFF)) : rng() & 0xFFFFFF);
    }
  }
  if (alpha) {
    s->CreateAlpha();
    for (int y = 0; y < 11; ++y) {
      for (int x = 0; x < 37; ++x) s->GetAlphaPointer()[y * s->GetAlphaPitch() + x] = BYTE(rng());
    }
  }
  return s;
}

using PngRoundTrip = vexa::test::ScratchDirTest;

TEST_F(PngRoundTrip, EverySavedDepthReadsBackTheSamePixels) {
  std::mt19937 rng(26);
  struct Case {
    int depth;
    bool alpha;
    int savedDepth;
  } cases[] = {{8, false, 8},  {24, false, 24}, {32, false, 24},
               {32, true, 32}, {24, true, 32},  {16, false, 24}};
  int n = 0;
  for (const Case& c : cases) {
    auto source = RandomSurface(c.depth, c.alpha, rng);
    const std::string path = (dir / ("case" + std::to_string(n++) + ".png")).string();
    ASSERT_EQ(ExportImage(&Plugins(), path.c_str(), source.get(), kPng), 1) << c.depth;
    cSurfaceObject back;
    ASSERT_EQ(ImportImage(&Plugins(), path.c_str(), &back, nullptr, 0), 1) << c.depth;
    EXPECT_EQ(back.GetDepth(), c.savedDepth);
    EXPECT_EQ(back.HasAlpha() != 0, c.alpha);
    for (int y = 0; y < 11; ++y) {
      for (int x = 0; x < 37; ++x) {
        unsigned char want[4], got[4];
        SurfaceRgba(*source, x, y, want);
        SurfaceRgba(back, x, y, got);
        ASSERT_EQ(std::memcmp(want, got, 4), 0) << "depth " << c.depth << " at " << x << "," << y;
      }
    }
  }
  // Nothing is left beside the files: temporaries were renamed.
  int count = 0;
  for (const auto& entry : fs::directory_iterator(dir)) count += entry.path().extension() == ".png";
  EXPECT_EQ(count, static_cast<int>(std::size(cases)));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), count);
}

TEST_F(PngRoundTrip, TheKeyBecomesTransparencyOnlyWhenAsked) {
  std::mt19937 rng(3);
  auto source = RandomSurface(24, false, rng);
  source->SetTransparentColor(0x123456);
  const auto key = (dir / "key.png").string();
  CImageFile file(&Plugins());
  ASSERT_TRUE(file.SelectFilterByID(kPng));
  BYTE* rows = source->LockBits();
  COLORREF color = 0x123456;
  ASSERT_EQ(file.SaveImage(key.c_str(), rows, 37, 11, 24, source->GetPitch(), nullptr, &color, 0),
            0);
  CImageFile plain(&Plugins());
  ASSERT_EQ(plain.Open(key.c_str()), 0);
  EXPECT_EQ(plain.GetTransparentColor(&color), 0);
  plain.Close();
  file.filter->SetOption(1);
  ASSERT_EQ(file.SaveImage(key.c_str(), rows, 37, 11, 24, source->GetPitch(), nullptr, &color, 0),
            0);
  source->Unlock();
  CImageFile keyed(&Plugins());
  ASSERT_EQ(keyed.Open(key.c_str()), 0);
  COLORREF read = 0;
  EXPECT_EQ(keyed.GetTransparentColor(&read), 1);
  EXPECT_EQ(read, 0x123456u);
}

}  // namespace
