// Remap tables: the index in one palette nearest to each entry of another.
#include "palette/palette_ops.h"

namespace vexa {
namespace {

bool SameFullPalettes(const PaletteObject& a, const PaletteObject& b) {
  if (a.entryCount != 256 || b.entryCount != 256) return false;
  for (int i = 0; i < 256; ++i)
    if (RgbOf(a.entries[i]) != RgbOf(b.entries[i])) return false;
  return true;
}

}  // namespace

bool BuildRemapTableWith(BYTE* out, const PaletteObject* destination, const PaletteObject* source,
                         bool keepIndexZero, PaletteSearchFn search) {
  if (out == nullptr || destination == nullptr || source == nullptr) return false;
  if (SameFullPalettes(*destination, *source)) return false;
  const int count = destination->entryCount;
  // Every one of the 256 source entries gets a target, also those past a short source's
  // count (they hold (8, 0, 0)), so that any pixel value finds a valid index.
  int first = 0;
  if (keepIndexZero) {
    out[0] = static_cast<BYTE>(
        NearestColorSearch(search, destination->entries, count, RgbOf(source->entries[0])));
    first = 1;
  }
  for (int i = first; i < 256; ++i) {
    const COLORREF color = RgbOf(source->entries[i]);
    if (!keepIndexZero) {
      out[i] = static_cast<BYTE>(NearestColorSearch(search, destination->entries, count, color));
    } else {
      // Only entry 0 may map to index 0: the others search entries 1..count-1.
      out[i] = count > 1
                   ? static_cast<BYTE>(
                         1 + NearestColorSearch(search, destination->entries + 1, count - 1, color))
                   : 0;
    }
  }
  return true;
}

}  // namespace vexa

BOOL BuildRemapTable(BYTE* out, const PaletteObject* destination, const PaletteObject* source,
                     BOOL keepIndexZero) {
  return vexa::BuildRemapTableWith(out, destination, source, keepIndexZero != 0,
                                   vexa::LibraryPaletteSearch());
}
