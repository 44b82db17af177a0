// Remap tables between palettes, the arrangement of the static system colours, identity
// palettes, and the pixel remap kernels.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

#include <vexa/palette.h>

#include "palette/palette_default.h"
#include "palette/palette_ops.h"
#include "palette/palette_remap_pixels.h"
#include "support/palette_records.h"
#include "support/simd_levels.h"

namespace vexa {
namespace {

using testsupport::AsRecord;

// The default record with two entries swapped.
LOGPALETTE256 DefaultSwapped(int a, int b) {
  LOGPALETTE256 record = DefaultLogPalette();
  std::swap(record.palPalEntry[a], record.palPalEntry[b]);
  return record;
}

int FirstIndexOf(const PaletteObject& p, COLORREF rgb) {
  for (int i = 0; i < 256; ++i)
    if (RgbOf(p.entries[i]) == rgb) return i;
  return -1;
}

TEST(PaletteRemap, TablesBetweenPalettes) {
  std::thread([] {
    PaletteObject* base = RegisterPaletteThread();
    const LOGPALETTE256 swappedRecord = DefaultSwapped(3, 100);
    PaletteObject* swapped = CreatePaletteObject(AsRecord(swappedRecord));
    ASSERT_NE(swapped, base);
    for (std::uint32_t word : {0u, 1u}) {
      const PaletteSearchFn search = PaletteSearchFor(word);
      // Equal palettes: no table, the output untouched.
      BYTE out[256];
      std::fill_n(out, 256, 0xAA);
      EXPECT_FALSE(BuildRemapTableWith(out, base, base, false, search));
      EXPECT_EQ(std::count(out, out + 256, 0xAA), 256);
      // Every source entry goes to the first destination entry of its colour.
      ASSERT_TRUE(BuildRemapTableWith(out, base, swapped, true, search));
      for (int i = 0; i < 256; ++i)
        EXPECT_EQ(out[i], FirstIndexOf(*base, RgbOf(swapped->entries[i])))
            << "form " << word << " entry " << i;
      EXPECT_EQ(out[3], 100);
      EXPECT_EQ(out[100], 3);
    }
    ReleasePalette(swapped);
    ReleasePalette(base);
    UnregisterPaletteThread();
  }).join();
}

TEST(PaletteRemap, KeepFlagReservesIndexZeroForEntryZero) {
  std::thread([] {
    PaletteObject* base = RegisterPaletteThread();
    // A 16-colour destination whose entry 0 is the nearest match for dark source colours (a
    // full palette never offers entry 0 to them anyway).
    LOGPALETTE256 record{};
    record.palVersion = 0x300;
    record.palNumEntries = 16;
    for (int i = 0; i < 16; ++i) record.palPalEntry[i] = PALETTEENTRY{0, BYTE(128 + i), 255, 0};
    record.palPalEntry[0] = PALETTEENTRY{0, 0, 0, 0};
    PaletteObject* destination = CreatePaletteObject(AsRecord(record));
    BYTE kept[256], free[256];
    ASSERT_TRUE(BuildRemapTable(kept, destination, base, 1));
    ASSERT_TRUE(BuildRemapTable(free, destination, base, 0));
    EXPECT_EQ(kept[0], 0);
    EXPECT_EQ(std::count(kept + 1, kept + 256, 0), 0);
    EXPECT_EQ(std::count_if(kept, kept + 256, [](BYTE i) { return i >= 16; }), 0);
    EXPECT_GT(std::count(free + 1, free + 256, 0), 0);  // without the flag dark colours do take 0
    EXPECT_FALSE(BuildRemapTable(kept, nullptr, base, 1));
    ReleasePalette(destination);
    ReleasePalette(base);
    UnregisterPaletteThread();
  }).join();
}

TEST(PaletteArrange, DefaultPaletteIsAlreadyArranged) {
  const LOGPALETTE256 record = DefaultLogPalette();
  PALETTEENTRY arranged[256];
  BYTE remap[256];
  EXPECT_FALSE(ArrangeSystemColors(arranged, record.palPalEntry, remap));
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(RgbOf(arranged[i]), RgbOf(record.palPalEntry[i])) << i;
    EXPECT_EQ(arranged[i].peFlags, (i >= 10 && i < 246) ? 4 : 0) << i;
    EXPECT_EQ(remap[i], i);
  }
}

TEST(PaletteArrange, StaticColorsMoveBackAndTheRemapFollows) {
  // A static colour found among entries i..255 is swapped in.
  const LOGPALETTE256 low = DefaultSwapped(3, 100);
  PALETTEENTRY arranged[256];
  BYTE remap[256];
  EXPECT_TRUE(ArrangeSystemColors(arranged, low.palPalEntry, remap));
  const LOGPALETTE256 system = DefaultLogPalette();
  for (int i = 0; i < 256; ++i) EXPECT_EQ(RgbOf(arranged[i]), RgbOf(system.palPalEntry[i])) << i;
  EXPECT_EQ(remap[3], 100);
  EXPECT_EQ(remap[100], 3);

  // A high static colour is also looked for among entries 10..245; the entry it displaces
  // there is nearly black and becomes (8, 0, 0).
  LOGPALETTE256 high = DefaultLogPalette();
  high.palPalEntry[250] = PALETTEENTRY{1, 2, 3, 0};
  high.palPalEntry[50] = system.palPalEntry[250];
  EXPECT_TRUE(ArrangeSystemColors(arranged, high.palPalEntry, remap));
  EXPECT_EQ(RgbOf(arranged[250]), RgbOf(system.palPalEntry[250]));
  EXPECT_EQ(RgbOf(arranged[50]), 8u);
  EXPECT_EQ(remap[250], 50);
  EXPECT_EQ(remap[50], 250);

  // When entry i's own colour exists elsewhere, its pixels go there and nothing is swapped.
  LOGPALETTE256 dup = DefaultLogPalette();
  dup.palPalEntry[5] = dup.palPalEntry[20];
  EXPECT_TRUE(ArrangeSystemColors(dup.palPalEntry, dup.palPalEntry, remap));  // in place
  EXPECT_EQ(remap[5], 20);
  EXPECT_EQ(RgbOf(dup.palPalEntry[5]), RgbOf(system.palPalEntry[5]));
  EXPECT_FALSE(ArrangeSystemColors(nullptr, dup.palPalEntry, nullptr));
}

TEST(PaletteArrange, IdentityPaletteReusesArrangedPalettes) {
  std::thread([] {
    PaletteObject* base = RegisterPaletteThread();
    BYTE remap[256];
    EXPECT_EQ(CreateIdentityPalette(base, remap), base);
    EXPECT_EQ(base->refCount, 2);
    // Arranging the swapped palette gives the default colours back: the default object.
    const LOGPALETTE256 swappedRecord = DefaultSwapped(3, 100);
    PaletteObject* swapped = CreatePaletteObject(AsRecord(swappedRecord));
    EXPECT_EQ(CreateIdentityPalette(swapped, remap), base);
    EXPECT_EQ(remap[3], 100);
    EXPECT_EQ(CreateIdentityPalette(nullptr, remap), nullptr);
    UnregisterPaletteThread();
  }).join();
}

TEST(PaletteRemapPixels, EveryLevelMatchesTheScalarKernel) {
  std::mt19937 rng(99);
  BYTE table[256];
  for (BYTE& t : table) t = static_cast<BYTE>(rng());
  for (SimdLevel level : testsupport::SupportedVectorLevels()) {
    const RemapIndexesFn kernel = RemapIndexesAt(level);
    for (std::size_t length = 0; length <= 100; ++length) {
      std::vector<BYTE> pixels(length + 2);
      for (BYTE& p : pixels) p = static_cast<BYTE>(rng());
      std::vector<BYTE> expected = pixels;
      RemapIndexesScalar(expected.data() + 1, length, table);
      kernel(pixels.data() + 1, length, table);
      ASSERT_EQ(pixels, expected) << SimdLevelName(level) << " length " << length;
    }
  }
}

TEST(PaletteRemapPixels, RectangleFollowsThePitch) {
  // 5 x 3 pixels in rows of 8 bytes, stored bottom-up: the padding stays as it was.
  std::vector<BYTE> storage(24);
  std::iota(storage.begin(), storage.end(), 0);
  BYTE table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<BYTE>(255 - i);
  RemapIndexRect(storage.data() + 16, -8, 5, 3, table);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(storage[i], i % 8 < 5 ? 255 - i : i) << i;
}

}  // namespace
}  // namespace vexa
