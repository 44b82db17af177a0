// Colour to index: the nearest-colour search and its cache, the inverse table.
#include <algorithm>

#include <vexa/memory.h>

#include "palette/palette_ops.h"

namespace vexa {
namespace {

int SearchAll(const PaletteObject& palette, COLORREF colour, PaletteSearchFn search) {
  return NearestColorSearch(search, palette.entries, palette.entryCount, colour);
}

// The cached index of the colour's key; a stored 0 means "not computed yet". A key keeps the
// answer for the first colour that reached it.
int CachedSearch(PaletteObject& palette, COLORREF colour, PaletteSearchFn search) {
  BYTE& slot = palette.inverseTable[ColourKey(colour)];
  if (slot == 0) slot = static_cast<BYTE>(SearchAll(palette, colour, search));
  return slot;
}

}  // namespace

int NearestIndexWith(PaletteObject* palette, COLORREF colour, PaletteSearchFn search) {
  if (palette == nullptr || RgbOf(colour) == 0) return 0;
  // A colour whose red byte names an entry of exactly that colour (grey ramps) needs no search.
  const unsigned byRed = colour & 0xFF;
  if ((colour >> 24) == 0 && byRed < palette->entryCount && RgbOf(palette->entries[byRed]) == colour)
    return static_cast<int>(byRed);
  if (palette->inverseTable == nullptr) return SearchAll(*palette, colour, search);
  return CachedSearch(*palette, colour, search);
}

int LookupInverseWith(PaletteObject* palette, COLORREF colour, PaletteSearchFn search) {
  if (palette == nullptr) return 0;
  if (palette->inverseTable == nullptr) return SearchAll(*palette, colour, search);
  return CachedSearch(*palette, colour, search);
}

}  // namespace vexa

int GetNearestIndex(PaletteObject* palette, COLORREF colour) {
  return vexa::NearestIndexWith(palette, colour, vexa::LibraryPaletteSearch());
}

int LookupInverse(PaletteObject* palette, COLORREF colour) {
  return vexa::LookupInverseWith(palette, colour, vexa::LibraryPaletteSearch());
}

BOOL BuildInverseTable(PaletteObject* palette) {
  if (palette == nullptr) return 0;
  if (palette->inverseTable != nullptr) return 1;
  void* block = nullptr;
  if (!AllocBlockZero(&block, kInverseTableSize)) return 0;
  palette->inverseTable = static_cast<std::uint8_t*>(block);
  // Only valid entries are entered; a later entry with the same key wins.
  const int count = std::min<int>(palette->entryCount, 256);
  for (int i = 0; i < count; ++i)
    palette->inverseTable[vexa::ColourKey(vexa::RgbOf(palette->entries[i]))] = static_cast<BYTE>(i);
  return 1;
}
