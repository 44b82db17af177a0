// Loading device-independent bitmaps: the bitmap test suite's files against SDL's reader,
// widening of 1- and 4-bit pixels, palettes, alpha, and files that must be refused.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <vexa/library.h>
#include <vexa/palette.h>
#include <vexa/surface_object.h>

#include "support/surface_factory.h"

namespace {

std::string SuiteFile(const std::string& name) {
  return std::string(VEXA_TEST_DATA_DIR) + "/bmp/" + name;
}

std::vector<std::uint8_t> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// SDL's reading of a file as 0x00BBGGRR colours, row 0 first; empty when SDL refuses it.
struct Oracle {
  int width = 0, height = 0;
  std::vector<COLORREF> colors;
  std::vector<int> indexes;  // for paletted files
  int paletteSize = 0;
};

Oracle ReadWithSdl(const std::string& path) {
  Oracle o;
  SDL_Surface* loaded = SDL_LoadBMP(path.c_str());
  if (!loaded) return o;
  o.width = loaded->w;
  o.height = loaded->h;
  SDL_Palette* palette = loaded->format->palette;
  if (palette && loaded->format->BitsPerPixel == 8) {
    o.paletteSize = palette->ncolors;
    for (int y = 0; y < loaded->h; ++y) {
      for (int x = 0; x < loaded->w; ++x) {
        o.indexes.push_back(
            static_cast<const std::uint8_t*>(loaded->pixels)[y * loaded->pitch + x]);
      }
    }
  }
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(loaded);
  if (!argb) return Oracle{};
  for (int y = 0; y < argb->h; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(
        static_cast<const std::uint8_t*>(argb->pixels) + y * argb->pitch);
    for (int x = 0; x < argb->w; ++x) {
      const std::uint32_t p = row[x];
      o.colors.push_back(((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16));
    }
  }
  SDL_FreeSurface(argb);
  return o;
}

// Palette objects keep black in entry 0 only: later black entries are stored as (8, 0, 0).
COLORREF AsStored(COLORREF color, int index) { return color == 0 && index != 0 ? 0x08 : color; }

std::unique_ptr<cSurfaceObject> Loaded(const std::string& name, int depth, int flags = 0) {
  auto surface = testsupport::MakeSurface(depth, 1, 1);
  EXPECT_EQ(surface->LoadBitmapFromFileName(SuiteFile(name).c_str(), flags), 1) << name;
  return surface;
}

void ExpectColors(cSurfaceObject& surface, const std::vector<COLORREF>& expected, int width,
                  const std::string& name) {
  ASSERT_EQ(static_cast<std::size_t>(surface.GetWidth()) * surface.GetHeight(), expected.size());
  int wrong = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    COLORREF got = 0;
    surface.GetPixelColor(static_cast<int>(i % width), static_cast<int>(i / width), &got);
    if (got != expected[i] && wrong++ < 3) {
      ADD_FAILURE() << name << " pixel " << i % width << "," << i / width << " got " << std::hex
                    << got << " want " << expected[i];
    }
  }
  EXPECT_EQ(wrong, 0) << name;
}

TEST(BitmapLoad, TrueColorAndEightBitFilesMatchSdl) {
  // Every accepted file of 8, 24 and 32 bits, including tables shorter than 256 entries, a
  // table in a 24-bit file, default bit fields and a top-down file.
  const char* files[] = {"g/pal8.bmp",          "g/pal8-0.bmp",      "g/pal8gs.bmp",
                         "g/pal8nonsquare.bmp", "g/pal8topdown.bmp", "g/pal8w124.bmp",
                         "g/pal8w125.bmp",      "g/pal8w126.bmp",    "g/rgb24.bmp",
                         "g/rgb24pal.bmp",      "g/rgb32.bmp",       "g/rgb32bfdef.bmp",
                         "q/pal8offs.bmp"};
  for (const char* name : files) {
    SCOPED_TRACE(name);
    const Oracle o = ReadWithSdl(SuiteFile(name));
    ASSERT_FALSE(o.colors.empty());
    std::vector<COLORREF> expected = o.colors;
    for (std::size_t i = 0; i < o.indexes.size(); ++i)
      expected[i] = AsStored(expected[i], o.indexes[i]);
    for (int depth : {24, 32}) {
      auto surface = Loaded(name, depth);
      ASSERT_EQ(surface->GetWidth(), o.width);
      ASSERT_EQ(surface->GetHeight(), o.height);
      ExpectColors(*surface, expected, o.width, name);
      EXPECT_EQ(surface->HasAlpha(), 0);  // rgb32.bmp's fourth bytes are all 0: opaque
    }
  }
}

TEST(BitmapLoad, EightBitFilesKeepTheirColorsInAnEightBitSurface) {
  for (const char* name : {"g/pal8.bmp", "g/pal8gs.bmp", "g/pal8-0.bmp"}) {
    SCOPED_TRACE(name);
    const Oracle o = ReadWithSdl(SuiteFile(name));
    std::vector<COLORREF> expected = o.colors;
    for (std::size_t i = 0; i < o.indexes.size(); ++i)
      expected[i] = AsStored(expected[i], o.indexes[i]);
    // The identity palette puts the system colours in entries 0-9 and 246-255: pixels are
    // remapped, and keep their colour wherever the arranged palette still holds it.
    auto arranged = Loaded(name, 8);
    PALETTEENTRY entries[256];
    ASSERT_EQ(arranged->GetPaletteEntries(entries, 0, 256), 256);
    const auto held = [&](COLORREF c) {
      for (const PALETTEENTRY& e : entries) {
        if (static_cast<COLORREF>(e.peRed | e.peGreen << 8 | e.peBlue << 16) == c) return true;
      }
      return false;
    };
    int kept = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      COLORREF got = 0;
      arranged->GetPixelColor(static_cast<int>(i % o.width), static_cast<int>(i / o.width), &got);
      if (held(expected[i])) {
        ASSERT_EQ(got, expected[i]) << i;
        ++kept;
      }
    }
    EXPECT_GT(kept, static_cast<int>(expected.size()) / 2);
    // With the exact palette the indexes stay those of the file.
    auto exact = Loaded(name, 8, kLoadExactPalette);
    ExpectColors(*exact, expected, o.width, name);
    std::uint32_t index = 0;
    exact->GetPixelValue(3, 2, &index);
    EXPECT_EQ(static_cast<int>(index), o.indexes[2 * o.width + 3]);
  }
}

TEST(BitmapLoad, SixteenBitFilesKeepTheirRawValues) {
  // SDL widens 5-bit channels by replicating bits; the surfaces keep the stored values, so
  // the comparison is of the raw pixels at the file's own format.
  struct Case {
    const char* name;
    int depth;
  } cases[] = {{"g/rgb16.bmp", 15},
               {"g/rgb16bfdef.bmp", 15},
               {"g/rgb16-565.bmp", 16},
               {"g/rgb16-565pal.bmp", 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SDL_Surface* sdl = SDL_LoadBMP(SuiteFile(c.name).c_str());
    ASSERT_NE(sdl, nullptr);
    auto surface = Loaded(c.name, c.depth);
    ASSERT_EQ(surface->GetWidth(), sdl->w);
    int wrong = 0;
    for (int y = 0; y < sdl->h; ++y) {
      for (int x = 0; x < sdl->w; ++x) {
        std::uint16_t want;
        std::memcpy(&want, static_cast<const std::uint8_t*>(sdl->pixels) + y * sdl->pitch + 2 * x,
                    2);
        wrong += testsupport::RawPixel(*surface->implementation, x, y) != want;
      }
    }
    EXPECT_EQ(wrong, 0);
    SDL_FreeSurface(sdl);
  }
}

TEST(BitmapLoad, OneAndFourBitFilesWidenToEntriesFromTen) {
  PaletteObject* defaults = GetDefaultPalette();
  ASSERT_NE(defaults, nullptr);
  const COLORREF defaultZero = defaults->entries[0].peRed | defaults->entries[0].peGreen << 8 |
                               defaults->entries[0].peBlue << 16;
  ReleasePalette(defaults);
  struct Case {
    const char* name;
    bool fourBit;
  } cases[] = {{"g/pal1.bmp", false},
               {"g/pal1bg.bmp", false},
               {"g/pal1wb.bmp", false},
               {"g/pal4.bmp", true},
               {"g/pal4gs.bmp", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Oracle o = ReadWithSdl(SuiteFile(c.name));
    ASSERT_FALSE(o.indexes.empty());
    std::vector<COLORREF> expected = o.colors;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      // A 4-bit 0 stays index 0 and shows the base palette's entry 0.
      expected[i] =
          c.fourBit && o.indexes[i] == 0 ? defaultZero : AsStored(expected[i], 10 + o.indexes[i]);
    }
    auto wide = Loaded(c.name, 32);
    ExpectColors(*wide, expected, o.width, c.name);
    auto paletted = Loaded(c.name, 8, kLoadKeepPalette);
    for (std::size_t i = 0; i < o.indexes.size(); i += 7) {
      std::uint32_t index = 0;
      paletted->GetPixelValue(static_cast<int>(i % o.width), static_cast<int>(i / o.width), &index);
      const int want = c.fourBit && o.indexes[i] == 0 ? 0 : 10 + o.indexes[i];
      ASSERT_EQ(static_cast<int>(index), want) << i;
    }
  }
}

// One small 4-bit or 1-bit record, with its table and rows.
std::vector<std::uint8_t> LowDepthRecord(int bitCount, int width, int height,
                                         const std::vector<std::uint8_t>& rows, DWORD used = 0) {
  const DWORD entries = used ? used : 1u << bitCount;
  std::vector<std::uint8_t> record(40 + 4 * entries);
  const BITMAPINFOHEADER header{40, width, height, 1, static_cast<WORD>(bitCount), 0, 0,
                                0,  0,     used,   0};
  std::memcpy(record.data(), &header, sizeof(header));
  for (DWORD i = 0; i < entries; ++i)
    record[40 + 4 * i + 2] = static_cast<std::uint8_t>(16 * i + 1);
  record.insert(record.end(), rows.begin(), rows.end());
  return record;
}

TEST(BitmapLoad, WideningOfRecordsInMemory) {
  auto surface = testsupport::MakeSurface(8, 4, 2);
  // 4 bits: 3 -> 13, 0 -> 0, 15 -> 25; top-down (negative height), two rows of 4 bytes.
  auto four = LowDepthRecord(4, 4, -2, {0x30, 0xF1, 0, 0, 0x00, 0x20, 0, 0});
  ASSERT_EQ(
      surface->LoadBitmap(reinterpret_cast<BITMAPINFO*>(four.data()), nullptr, kLoadKeepPalette),
      1);
  std::uint32_t v[4];
  for (int x = 0; x < 4; ++x) surface->GetPixelValue(x, 0, &v[x]);
  EXPECT_EQ(v[0], 13u);
  EXPECT_EQ(v[1], 0u);
  EXPECT_EQ(v[2], 25u);
  EXPECT_EQ(v[3], 11u);
  surface->GetPixelValue(2, 1, &v[0]);
  EXPECT_EQ(v[0], 12u);
  // 1 bit: b -> 10 + b, bottom-up: the first stored row is the bottom one.
  auto mono = LowDepthRecord(1, 4, 2, {0xA0, 0, 0, 0, 0x50, 0, 0, 0});
  ASSERT_EQ(
      surface->LoadBitmap(reinterpret_cast<BITMAPINFO*>(mono.data()), nullptr, kLoadKeepPalette),
      1);
  for (int x = 0; x < 4; ++x) surface->GetPixelValue(x, 0, &v[x]);
  EXPECT_EQ(v[0], 10u);
  EXPECT_EQ(v[1], 11u);
  EXPECT_EQ(v[2], 10u);
  EXPECT_EQ(v[3], 11u);
  // The record's own colours sit at entries 10 onwards when its palette is taken.
  ASSERT_EQ(
      surface->LoadBitmap(reinterpret_cast<BITMAPINFO*>(mono.data()), nullptr, kLoadExactPalette),
      1);
  EXPECT_EQ(surface->GetPaletteColor(11), 17u);
}

TEST(BitmapLoad, WideningTakesOnlyTheEntriesARecordHolds) {
  // Two entries claimed for a 4-bit record: the table is 8 bytes and the rows follow it.
  auto surface = testsupport::MakeSurface(32, 2, 1);
  auto record = LowDepthRecord(4, 2, 1, {0x01, 0, 0, 0}, 2);
  ASSERT_EQ(surface->LoadBitmap(reinterpret_cast<BITMAPINFO*>(record.data()), nullptr, 0), 1);
  COLORREF color = 0;
  surface->GetPixelColor(1, 0, &color);
  EXPECT_EQ(color, 17u);  // entry 1 of the record: red 17
}

TEST(BitmapLoad, TrueColorRecordWithAColorTableSkipsIt) {
  // A 24-bit record in memory with three table entries between header and rows.
  std::vector<std::uint8_t> record(40 + 12 + 4, 0xEE);
  const BITMAPINFOHEADER header{40, 1, 1, 1, 24, 0, 0, 0, 0, 3, 0};
  std::memcpy(record.data(), &header, sizeof(header));
  const std::uint8_t pixel[4] = {0x11, 0x22, 0x33, 0};
  std::memcpy(record.data() + 52, pixel, 4);
  auto surface = testsupport::MakeSurface(24, 1, 1);
  ASSERT_EQ(surface->LoadBitmap(reinterpret_cast<BITMAPINFO*>(record.data()), nullptr, 0), 1);
  COLORREF color = 0;
  surface->GetPixelColor(0, 0, &color);
  EXPECT_EQ(color, 0x112233u);
}

TEST(BitmapLoad, RecordsWithLongerHeadersReadTheirTableAndRowsAfterThem) {
  // A 4-bit record with a 108-byte header: entry 1 (red 0x40) right after the header.
  std::vector<std::uint8_t> four(108 + 16 * 4 + 4, 0);
  BITMAPINFOHEADER header{108, 2, 1, 1, 4, 0, 0, 0, 0, 0, 0};
  std::memcpy(four.data(), &header, sizeof(header));
  four[108 + 4 + 2] = 0x40;
  four[108 + 64] = 0x01;  // pixels 0 and 1: entries 0 and 1
  auto surface = testsupport::MakeSurface(32, 1, 1);
  ASSERT_EQ(surface->LoadBitmap(reinterpret_cast<BITMAPINFO*>(four.data()), nullptr, 0), 1);
  COLORREF color = 0;
  surface->GetPixelColor(1, 0, &color);
  EXPECT_EQ(color, 0x40u);
  // A 24-bit record with a 124-byte header and two table entries before its row.
  std::vector<std::uint8_t> deep(124 + 8 + 4, 0xEE);
  header = BITMAPINFOHEADER{124, 1, 1, 1, 24, 0, 0, 0, 0, 2, 0};
  std::memcpy(deep.data(), &header, sizeof(header));
  const std::uint8_t pixel[4] = {0x11, 0x22, 0x33, 0};
  std::memcpy(deep.data() + 132, pixel, 4);
  ASSERT_EQ(surface->LoadBitmap(reinterpret_cast<BITMAPINFO*>(deep.data()), nullptr, 0), 1);
  surface->GetPixelColor(0, 0, &color);
  EXPECT_EQ(color, 0x112233u);
  // A damaged header length is refused rather than followed.
  header.biSize = 0x7FFFFFF0;
  std::memcpy(deep.data(), &header, sizeof(header));
  EXPECT_EQ(surface->LoadBitmap(reinterpret_cast<BITMAPINFO*>(deep.data()), nullptr, 0), 0);
}

TEST(BitmapLoad, FilesThatSdlReadsButTheLoaderRefuses) {
  // Other header sizes, run-length compression and masks the surfaces cannot hold.
  for (const char* name : {"g/pal8os2.bmp", "g/pal8v4.bmp", "g/pal8v5.bmp", "g/pal4rle.bmp",
                           "g/pal8rle.bmp", "g/rgb32bf.bmp"}) {
    SCOPED_TRACE(name);
    auto surface = testsupport::MakeSurface(32, 3, 2);
    cSurfaceImplementation* before = surface->implementation;
    EXPECT_EQ(surface->LoadBitmapFromFileName(SuiteFile(name).c_str(), 0), 0);
    EXPECT_NE(surface->GetLastError(), 0u);
    EXPECT_EQ(surface->implementation, before);
    EXPECT_EQ(surface->GetWidth(), 3);
  }
}

TEST(BitmapLoad, DamagedFiles) {
  auto reference = Loaded("g/pal1.bmp", 32);
  // Damage in fields the loader does not read: they load like the good file.
  for (const char* name : {"b/badbitssize.bmp", "b/badfilesize.bmp", "b/baddens1.bmp",
                           "b/baddens2.bmp", "b/badplanes.bmp"}) {
    SCOPED_TRACE(name);
    auto surface = Loaded(name, 32);
    ASSERT_EQ(surface->GetWidth(), reference->GetWidth());
    ASSERT_EQ(surface->GetHeight(), reference->GetHeight());
    for (int y = 0; y < surface->GetHeight(); ++y) {
      for (int x = 0; x < surface->GetWidth(); ++x) {
        ASSERT_EQ(surface->GetPixelFast(x, y), reference->GetPixelFast(x, y));
      }
    }
  }
  // Indexes past the table read as the padded entries.
  auto badIndex = testsupport::MakeSurface(32, 1, 1);
  badIndex->LoadBitmapFromFileName(SuiteFile("b/pal8badindex.bmp").c_str(), 0);
  // Everything else is refused and the surface stays as it was.
  for (const char* name :
       {"b/badbitcount.bmp", "b/badheadersize.bmp", "b/badpalettesize.bmp", "b/badrle.bmp",
        "b/badrle4.bmp", "b/badrle4bis.bmp", "b/badrle4ter.bmp", "b/badrlebis.bmp",
        "b/badrleter.bmp", "b/badwidth.bmp", "b/reallybig.bmp", "b/rgb16-880.bmp",
        "b/rletopdown.bmp", "b/shortfile.bmp"}) {
    SCOPED_TRACE(name);
    auto surface = testsupport::MakeSurface(24, 5, 4);
    surface->FillColor(0x123456);
    cSurfaceImplementation* before = surface->implementation;
    EXPECT_EQ(surface->LoadBitmapFromFileName(SuiteFile(name).c_str(), 0), 0);
    EXPECT_NE(surface->GetLastError(), 0u);
    EXPECT_EQ(surface->implementation, before);
    EXPECT_EQ(surface->GetPixelFast(4, 3), 0x123456u);
  }
  // The huge file is refused for its claimed size, before anything is allocated.
  auto big = testsupport::MakeSurface(24, 1, 1);
  big->LoadBitmapFromFileName(SuiteFile("b/reallybig.bmp").c_str(), 0);
  EXPECT_EQ(big->GetLastError(), kErrorNoDeviceContext);
}

TEST(BitmapLoad, QuestionableFilesLoadOrAreRefusedCleanly) {
  const char* files[] = {"q/pal1huffmsb.bmp",   "q/pal1p1.bmp",        "q/pal2.bmp",
                         "q/pal2color.bmp",     "q/pal4rlecut.bmp",    "q/pal4rletrns.bmp",
                         "q/pal8offs.bmp",      "q/pal8os2-hs.bmp",    "q/pal8os2-sz.bmp",
                         "q/pal8os2sp.bmp",     "q/pal8os2v2-16.bmp",  "q/pal8os2v2-40sz.bmp",
                         "q/pal8os2v2-sz.bmp",  "q/pal8os2v2.bmp",     "q/pal8oversizepal.bmp",
                         "q/pal8rlecut.bmp",    "q/pal8rletrns.bmp",   "q/rgb16-231.bmp",
                         "q/rgb16-3103.bmp",    "q/rgb16faketrns.bmp", "q/rgb24jpeg.bmp",
                         "q/rgb24largepal.bmp", "q/rgb24lprof.bmp",    "q/rgb24png.bmp",
                         "q/rgb24prof.bmp",     "q/rgb24rle24.bmp",    "q/rgb32-111110.bmp",
                         "q/rgb32-7187.bmp",    "q/rgb32-xbgr.bmp",    "q/rgb32fakealpha.bmp",
                         "q/rgb32h52.bmp",      "q/rgba16-1924.bmp",   "q/rgba16-4444.bmp",
                         "q/rgba16-5551.bmp",   "q/rgba32-1.bmp",      "q/rgba32-1010102.bmp",
                         "q/rgba32-2.bmp",      "q/rgba32-61754.bmp",  "q/rgba32-81284.bmp",
                         "q/rgba32abf.bmp",     "q/rgba32h56.bmp",     "q/rgba64.bmp",
                         "x/ba-bm.bmp"};
  int loaded = 0;
  for (const char* name : files) {
    SCOPED_TRACE(name);
    for (int depth : {8, 32}) {
      auto surface = testsupport::MakeSurface(depth, 2, 2);
      const int result = surface->LoadBitmapFromFileName(SuiteFile(name).c_str(), 0);
      EXPECT_EQ(result == 0, surface->GetLastError() != 0);
      if (result) {
        ++loaded;
        surface->GetPixelFast(surface->GetWidth() - 1, surface->GetHeight() - 1);
      } else {
        EXPECT_EQ(surface->GetWidth(), 2);
      }
    }
  }
  // The oversized palette (entries past 256 skipped) and the table in a 24-bit file load.
  EXPECT_GE(loaded, 4);
  auto oversize = Loaded("q/pal8oversizepal.bmp", 32);
  auto largePal = Loaded("q/rgb24largepal.bmp", 32);
  const Oracle o = ReadWithSdl(SuiteFile("q/rgb24largepal.bmp"));
  ExpectColors(*largePal, o.colors, o.width, "q/rgb24largepal.bmp");
}

TEST(BitmapLoad, BareHeaderFileLoadsLikeOneWithAFileHeader) {
  const auto bytes = ReadWhole(SuiteFile("g/rgb24.bmp"));
  const std::string bare = testing::TempDir() + "vexa_bare_header.bmp";
  {
    std::ofstream out(bare, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()) + 14,
              static_cast<std::streamsize>(bytes.size() - 14));
  }
  auto withHeader = Loaded("g/rgb24.bmp", 24);
  auto surface = testsupport::MakeSurface(24, 1, 1);
  ASSERT_EQ(surface->LoadBitmapFromFileName(bare.c_str(), 0), 1);
  for (int y = 0; y < surface->GetHeight(); y += 3) {
    for (int x = 0; x < surface->GetWidth(); x += 3) {
      ASSERT_EQ(surface->GetPixelFast(x, y), withHeader->GetPixelFast(x, y));
    }
  }
  std::remove(bare.c_str());
}

TEST(BitmapLoad, BottomUpAndTopDownGiveTheSameSurface) {
  auto up = Loaded("g/pal8.bmp", 8, kLoadExactPalette);
  auto down = Loaded("g/pal8topdown.bmp", 8, kLoadExactPalette);
  for (int y = 0; y < up->GetHeight(); ++y) {
    for (int x = 0; x < up->GetWidth(); ++x)
      ASSERT_EQ(up->GetPixelFast(x, y), down->GetPixelFast(x, y));
  }
}

TEST(BitmapLoad, OpenFailuresAndArguments) {
  auto surface = testsupport::MakeSurface(24, 1, 1);
  surface->lastError = 77;
  EXPECT_EQ(surface->LoadBitmapFromFileName("/nonexistent/vexa.bmp", 0), 0);
  EXPECT_EQ(surface->GetLastError(), kErrorCannotOpen);
  const std::u16string wide = u"/nonexistent/vexa.bmp";
  EXPECT_EQ(surface->LoadBitmapFromFileName(wide.c_str(), 0), 0);
  EXPECT_EQ(surface->GetLastError(), kErrorCannotOpen);
  // A wide name that exists.
  const std::string narrow = SuiteFile("g/rgb24.bmp");
  const std::u16string wideName(narrow.begin(), narrow.end());
  EXPECT_EQ(surface->LoadBitmapFromFileName(wideName.c_str(), 0), 1);
  EXPECT_EQ(surface->GetLastError(), 0u);
  // Records with other bit counts or compressions.
  BITMAPINFOHEADER header{40, 1, 1, 1, 2, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(surface->LoadBitmap(reinterpret_cast<const BITMAPINFO*>(&header), nullptr, 0), 0);
  EXPECT_EQ(surface->GetLastError(), kErrorNotSupported);
  header.biBitCount = 8;
  header.biCompression = 1;
  EXPECT_EQ(surface->LoadBitmap(reinterpret_cast<const BITMAPINFO*>(&header), nullptr, 0), 0);
  EXPECT_EQ(surface->GetLastError(), kErrorNotSupported);
  header.biBitCount = 12;
  header.biCompression = 0;
  EXPECT_EQ(surface->LoadBitmap(reinterpret_cast<const BITMAPINFO*>(&header), nullptr, 0), 0);
  EXPECT_EQ(surface->GetLastError(), kErrorNoDeviceContext);
}

TEST(BitmapLoad, AlphaOfThirtyTwoBitRecords) {
  std::vector<std::uint8_t> record(40 + 2 * 4);
  const BITMAPINFOHEADER header{40, 2, 1, 1, 32, 0, 0, 0, 0, 0, 0};
  std::memcpy(record.data(), &header, sizeof(header));
  const std::uint8_t pixels[8] = {1, 2, 3, 0xFF, 4, 5, 6, 0xFF};
  std::memcpy(record.data() + 40, pixels, 8);
  auto surface = testsupport::MakeSurface(32, 2, 1);
  ASSERT_NE(surface->CreateAlpha(), nullptr);
  // All 255: the plane the surface had goes.
  ASSERT_EQ(surface->LoadBitmap(reinterpret_cast<BITMAPINFO*>(record.data()), nullptr, 0), 1);
  EXPECT_EQ(surface->HasAlpha(), 0);
  // One byte below 255: the plane comes with the pixels, into a surface of another size too.
  record[40 + 7] = 0x80;
  auto other = testsupport::MakeSurface(32, 5, 5);
  ASSERT_EQ(other->LoadBitmap(reinterpret_cast<BITMAPINFO*>(record.data()), nullptr, 0), 1);
  ASSERT_EQ(other->HasAlpha(), 1);
  EXPECT_EQ(other->GetAlphaPointer()[0], 0xFF);
  EXPECT_EQ(other->GetAlphaPointer()[1], 0x80);
  // All 0: opaque as well.
  record[40 + 3] = record[40 + 7] = 0;
  ASSERT_EQ(other->LoadBitmap(reinterpret_cast<BITMAPINFO*>(record.data()), nullptr, 0), 1);
  EXPECT_EQ(other->HasAlpha(), 0);
}

TEST(BitmapLoad, EmptyObjectHasNothingToLoadInto) {
  cSurfaceObject empty;
  EXPECT_EQ(empty.LoadBitmapFromFileName(SuiteFile("g/rgb24.bmp").c_str(), 0), 0);
  EXPECT_EQ(empty.GetLastError(), kErrorNoMemory);
  EXPECT_EQ(empty.IsValid(), 0);
}

}  // namespace
