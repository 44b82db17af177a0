// Colour to index: the nearest-colour search and its cache, the inverse table.
#include <algorithm>

#include <vexa/memory.h>

#include "palette/palette_ops.h"

namespace vexa {
namespace {

int SearchAll(const PaletteObject& palette, COLORREF color, PaletteSearchFn search) {
  return NearestColorSearch(search, palette.entries, palette.entryCount, color);
}

// The cached index of the colour's key; a stored 0 means "not computed yet". A key keeps the
// answer for the first colour that reached it.
int CachedSearch(PaletteObject& palette, COLORREF color, PaletteSearchFn search) {
  BYTE& slot = palette.inverseTable[ColorKey(color)];
  if (slot == 0) slot = static_cast<BYTE>(SearchAll(palette, color, search));
  return slot;
}

}  // namespace

int NearestIndexWith(PaletteObject* palette, COLORREF color, PaletteSearchFn search) {
  if (palette == nullptr || RgbOf(color) == 0) return 0;
  // A colour whose red byte names an entry of exactly that colour (grey ramps) needs no search.
  const unsigned byRed = color & 0xFF;
  if ((color >> 24) == 0 && byRed < palette->entryCount && RgbOf(palette->entries[byRed]) == color)
    return static_cast<int>(byRed);
  if (palette->inverseTable == nullptr) return SearchAll(*palette, color, search);
  return CachedSearch(*palette, color, search);
}

int LookupInverseWith(PaletteObject* palette, COLORREF color, PaletteSearchFn search) {
  if (palette == nullptr) return 0;
  if (palette->inverseTable == nullptr) return SearchAll(*palette, color, search);
  return CachedSearch(*palette, color, search);
}

}  // namespace vexa

int GetNearestIndex(PaletteObject* palette, COLORREF color) {
  return vexa::NearestIndexWith(palette, color, vexa::LibraryPaletteSearch());
}

int LookupInverse(PaletteObject* palette, COLORREF color) {
  return vexa::LookupInverseWith(palette, color, vexa::LibraryPaletteSearch());
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
    palette->inverseTable[vexa::ColorKey(vexa::RgbOf(palette->entries[i]))] = static_cast<BYTE>(i);
  return 1;
}
