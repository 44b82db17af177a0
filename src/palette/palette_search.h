// The nearest-colour search that turns a colour into a palette index.
//
// Two forms exist, chosen by bit 0 of a CPU feature word:
//
//   plain  (bit 0 clear)  distance = dr^2 + dg^2 + db^2 over red, green and blue. The first
//          entry at distance 0 wins at once; otherwise the smallest distance wins and among
//          equal distances the later entry.
//   vector (bit 0 set)    each entry is compared in all four bytes, the flag byte against bits
//          24-31 of the colour: S1 = dr^2 + dg^2 and S2 = db^2 + df^2 as 32-bit sums, and the
//          distance is (min(65535, hi16(S1) + hi16(S2)) << 16) | min(65535, lo16(S1) +
//          lo16(S2)), i.e. a saturating add of the 16-bit halves. It equals the plain distance
//          while that stays below 65536. Entries go in pairs (k, k+1): the pair's candidate is
//          the first unless the second is strictly nearer; a candidate replaces the best so far
//          when it is not farther, and one at distance 0 is returned at once. An odd last entry
//          competes alone.
//
// The vector form has a scalar reference and SSE2/AVX2 versions that return exactly the same
// index; the version is fixed once, at the library's SIMD level (base/simd_level.h).
#pragma once

#include <cstdint>

#include <vexa/wintypes.h>

#include "base/simd_level.h"
#include "palette/palette_search_kernels.h"

namespace vexa {

// A search over `count` (0..256) consecutive entries; returns an index relative to `entries`
// (0 when count is 0).
using PaletteSearchFn = int (*)(const PALETTEENTRY* entries, int count, COLORREF color);

int SearchPlain(const PALETTEENTRY* entries, int count, COLORREF color);

// The vector form at a given level (a level the processor lacks falls back to the best one it
// has below it).
PaletteSearchFn VectorSearchAt(SimdLevel level);

// The form selected by bit 0 of `featureWord`, the vector form at `level`.
PaletteSearchFn PaletteSearchFor(std::uint32_t featureWord, SimdLevel level);
// The same at the library's active SIMD level.
PaletteSearchFn PaletteSearchFor(std::uint32_t featureWord);
// The form selected by the library-wide CPU feature word.
PaletteSearchFn LibraryPaletteSearch();

// The vector form's distance of one entry (the definition the vector versions must match).
std::uint32_t VectorFormDistance(PALETTEENTRY entry, COLORREF color);

// The nearest-colour search over `count` entries with the rule of full palettes: over 256
// entries a black colour (red, green and blue 0) gives 0 and any other colour never does,
// because entry 0 takes no part.
int NearestColorSearch(PaletteSearchFn search, const PALETTEENTRY* entries, int count,
                       COLORREF color);

// Red, green and blue of a colour value or an entry as 0x00BBGGRR.
constexpr COLORREF RgbOf(COLORREF color) { return color & 0x00FFFFFFu; }
constexpr COLORREF RgbOf(PALETTEENTRY e) {
  return static_cast<COLORREF>(e.peRed) | static_cast<COLORREF>(e.peGreen) << 8 |
         static_cast<COLORREF>(e.peBlue) << 16;
}

}  // namespace vexa
