// Colour to index: the nearest-colour search and its cache, the inverse table.
#include <algorithm>
#include <atomic>

#include <vexa/memory.h>

#include "palette/palette_ops.h"

namespace vexa {
namespace {

int SearchAll(const PaletteObject& palette, COLORREF color, PaletteSearchFn search) {
  return NearestColorSearch(search, palette.entries, palette.entryCount, color);
}

// The cached index of the colour's key; a stored 0 means "not computed yet". A key keeps the
// answer for the first colour that reached it. A cell is written at most once, from 0, so
// threads that share a palette and fill one cell at the same time agree: the first store
// wins and the others take its index, as if their lookups had come after it.
int CachedSearch(PaletteObject& palette, COLORREF color, PaletteSearchFn search) {
  std::atomic_ref<std::uint8_t> cell(palette.inverseTable[ColorKey(color)]);
  std::uint8_t stored = cell.load(std::memory_order_relaxed);
  if (stored != 0) return stored;
  const auto found = static_cast<std::uint8_t>(SearchAll(palette, color, search));
  if (cell.compare_exchange_strong(stored, found, std::memory_order_relaxed)) return found;
  return stored;
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
  std::atomic_ref<std::uint8_t*> published(palette->inverseTable);
  if (published.load(std::memory_order_acquire) != nullptr) return 1;
  void* block = nullptr;
  if (!AllocBlockZero(&block, kInverseTableSize)) return 0;
  auto* table = static_cast<std::uint8_t*>(block);
  // Only valid entries are entered; a later entry with the same key wins.
  const int count = std::min<int>(palette->entryCount, 256);
  for (int i = 0; i < count; ++i)
    table[vexa::ColorKey(vexa::RgbOf(palette->entries[i]))] = static_cast<BYTE>(i);
  // A process-wide palette whose table could not be made at creation may get it from any
  // thread: the first table published stays, a second one is dropped.
  std::uint8_t* expected = nullptr;
  if (!published.compare_exchange_strong(expected, table, std::memory_order_acq_rel)) {
    FreeBlockAndClear(&block);
  }
  return 1;
}
