// The nearest-colour search: both forms' rules, and every SIMD level against the reference.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "base/simd_level.h"
#include "palette/palette_search.h"
#include "support/simd_levels.h"

namespace vexa {
namespace {

PALETTEENTRY Rgb(int r, int g, int b, int flags = 0) {
  return PALETTEENTRY{static_cast<BYTE>(r), static_cast<BYTE>(g), static_cast<BYTE>(b),
                      static_cast<BYTE>(flags)};
}

COLORREF Color(int r, int g, int b) { return static_cast<COLORREF>(r | g << 8 | b << 16); }

TEST(PaletteSearch, PlainFormPrefersFirstExactThenLaterOfEqualDistances) {
  // (10,0,0) and (14,0,0) are both 2 away from (12,0,0): the later wins.
  const PALETTEENTRY ties[] = {Rgb(100, 0, 0), Rgb(10, 0, 0), Rgb(14, 0, 0), Rgb(200, 0, 0)};
  EXPECT_EQ(SearchPlain(ties, 4, Color(12, 0, 0)), 2);
  // Exact matches return the first one at once.
  const PALETTEENTRY exact[] = {Rgb(1, 1, 1), Rgb(5, 5, 5), Rgb(5, 5, 5), Rgb(6, 5, 5)};
  EXPECT_EQ(SearchPlain(exact, 4, Color(5, 5, 5)), 1);
  EXPECT_EQ(SearchPlain(exact, 0, Color(5, 5, 5)), 0);
}

TEST(PaletteSearch, VectorFormBreaksTiesByPairs) {
  const COLORREF c = Color(12, 0, 0);
  // Equal inside a pair: the first of the pair.
  const PALETTEENTRY inPair[] = {Rgb(10, 0, 0), Rgb(14, 0, 0), Rgb(200, 0, 0), Rgb(200, 0, 0)};
  EXPECT_EQ(SearchVectorScalar(inPair, 4, c), 0);
  EXPECT_EQ(SearchPlain(inPair, 4, c), 1);
  // Equal across pairs: the later pair.
  const PALETTEENTRY acrossPairs[] = {Rgb(10, 0, 0), Rgb(200, 0, 0), Rgb(200, 0, 0), Rgb(14, 0, 0)};
  EXPECT_EQ(SearchVectorScalar(acrossPairs, 4, c), 3);
  // An odd last entry competes alone and wins a tie.
  const PALETTEENTRY odd[] = {Rgb(10, 0, 0), Rgb(200, 0, 0), Rgb(14, 0, 0)};
  EXPECT_EQ(SearchVectorScalar(odd, 3, c), 2);
  // The first candidate at distance 0 is returned at once, even when a later pair ties it.
  const PALETTEENTRY zeros[] = {Rgb(0, 0, 0), Rgb(12, 0, 0), Rgb(12, 0, 0), Rgb(12, 0, 0)};
  EXPECT_EQ(SearchVectorScalar(zeros, 4, c), 1);
}

TEST(PaletteSearch, VectorFormComparesFlagByteAndSaturatesHalves) {
  // White against black: S1 = 130050 (halves 1 and 0xFC02), S2 = 65025 (0xFE01); the low
  // halves saturate, so the distance is 0x1FFFF instead of 195075.
  EXPECT_EQ(VectorFormDistance(Rgb(255, 255, 255), 0), 0x1FFFFu);
  EXPECT_EQ(VectorFormDistance(Rgb(10, 20, 30), Color(10, 20, 30)), 0u);
  // The flag byte counts against bits 24-31 of the colour.
  EXPECT_EQ(VectorFormDistance(Rgb(10, 20, 30, 3), Color(10, 20, 30)), 9u);
  EXPECT_EQ(VectorFormDistance(Rgb(10, 20, 30, 3), Color(10, 20, 30) | 0x03000000u), 0u);
}

TEST(PaletteSearch, FormsDisagreeAboveDistance65535) {
  // Against (0,0,1), A = white is 194565 away and B = (255,255,200) 169651: the plain form
  // finds B, but both saturate to 0x1FFFF in the vector form, whose ties go to the last pair.
  const PALETTEENTRY a = Rgb(255, 255, 255), b = Rgb(255, 255, 200);
  const PALETTEENTRY entries[] = {a, b, a, a, a, a, a, a, a, a, a, a, a, a, a, a};
  const COLORREF c = Color(0, 0, 1);
  EXPECT_EQ(SearchPlain(entries, 16, c), 1);
  EXPECT_EQ(SearchVectorScalar(entries, 16, c), 14);
  for (SimdLevel level : {SimdLevel::Sse2, SimdLevel::Avx2})
    EXPECT_EQ(VectorSearchAt(level)(entries, 16, c), 14) << SimdLevelName(level);
}

TEST(PaletteSearch, FullPalettesKeepIndexZeroForBlack) {
  std::vector<PALETTEENTRY> entries(256, Rgb(50, 50, 50));
  entries[0] = Rgb(0, 0, 0);
  entries[77] = Rgb(1, 0, 0);
  for (PaletteSearchFn search : {SearchPlain, SearchVectorScalar}) {
    EXPECT_EQ(NearestColorSearch(search, entries.data(), 256, 0xFF000000u), 0);
    EXPECT_EQ(NearestColorSearch(search, entries.data(), 256, Color(1, 0, 0)), 77);
    // Entry 0 takes no part even when it is the exact colour.
    entries[0] = Rgb(50, 50, 50);
    EXPECT_NE(NearestColorSearch(search, entries.data(), 256, Color(50, 50, 50)), 0);
    entries[0] = Rgb(0, 0, 0);
    // Short palettes search all their entries.
    EXPECT_EQ(NearestColorSearch(search, entries.data(), 16, Color(1, 0, 0)), 0);
  }
}

// Random palettes that provoke every rule: few distinct colours (ties and exact matches),
// full-range colours (distances above 65535), random flag bytes and colour top bytes.
std::vector<PALETTEENTRY> RandomPalette(std::mt19937& rng, int count) {
  std::uniform_int_distribution<int> byte(0, 255);
  const int distinct = 1 + static_cast<int>(rng() % 6);
  std::vector<PALETTEENTRY> pool;
  for (int i = 0; i < distinct; ++i)
    pool.push_back(Rgb(byte(rng), byte(rng), byte(rng), rng() % 4 ? 0 : byte(rng)));
  std::vector<PALETTEENTRY> entries(count);
  const bool fewColors = rng() % 2 == 0;
  for (auto& e : entries)
    e = fewColors ? pool[rng() % pool.size()]
                  : Rgb(byte(rng), byte(rng), byte(rng), rng() % 8 ? 0 : byte(rng));
  return entries;
}

COLORREF RandomColor(std::mt19937& rng, const std::vector<PALETTEENTRY>& entries) {
  COLORREF c = rng() & 0x00FFFFFFu;
  if (!entries.empty() && rng() % 3 == 0) {  // an entry's own colour: distance 0
    const PALETTEENTRY e = entries[rng() % entries.size()];
    c = RgbOf(e) | static_cast<COLORREF>(e.peFlags) << 24;
  } else if (rng() % 4 == 0) {
    c |= (rng() & 0xFF) << 24;
  }
  return c;
}

TEST(PaletteSearch, EverySimdLevelMatchesTheScalarReference) {
  for (SimdLevel level : testsupport::SupportedVectorLevels()) {
    const PaletteSearchFn search = VectorSearchAt(level);
    std::mt19937 rng(1234);
    for (int round = 0; round < 4000; ++round) {
      const int count = round < 257 ? round : static_cast<int>(rng() % 257);
      const std::vector<PALETTEENTRY> entries = RandomPalette(rng, count);
      for (int k = 0; k < 8; ++k) {
        const COLORREF c = RandomColor(rng, entries);
        ASSERT_EQ(search(entries.data(), count, c), SearchVectorScalar(entries.data(), count, c))
            << SimdLevelName(level) << " round " << round << " count " << count << " colour "
            << std::hex << c;
      }
    }
  }
}

TEST(SimdLevel, DisableListLowersTheLevel) {
  EXPECT_EQ(CapSimdLevel(SimdLevel::Avx2, nullptr), SimdLevel::Avx2);
  EXPECT_EQ(CapSimdLevel(SimdLevel::Avx2, ""), SimdLevel::Avx2);
  EXPECT_EQ(CapSimdLevel(SimdLevel::Avx2, "avx2"), SimdLevel::Sse2);
  EXPECT_EQ(CapSimdLevel(SimdLevel::Avx2, " AVX2 , sse2"), SimdLevel::Scalar);
  EXPECT_EQ(CapSimdLevel(SimdLevel::Avx2, "sse2"), SimdLevel::Scalar);
  EXPECT_EQ(CapSimdLevel(SimdLevel::Sse2, "avx2,neon"), SimdLevel::Sse2);
  EXPECT_LE(ActiveSimdLevel(), DetectedSimdLevel());
}

}  // namespace
}  // namespace vexa
