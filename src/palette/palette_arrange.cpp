// Moving the static system colours of a palette to their system positions.
//
// A palette shown on a palette display keeps its 20 static colours at entries 0-9 and
// 246-255. Arranging a palette brings, for each static position, the entry closest to that
// system colour there (swapping it with what was there), records where each index went, and
// finally writes the exact system colours into those positions.
#include <algorithm>
#include <cstring>
#include <numeric>

#include <vexa/palette.h>

#include "palette/palette_default.h"
#include "palette/palette_search.h"

namespace vexa {
namespace {

struct IndexRange {
  int first;
  int last;  // inclusive
};

std::uint32_t RgbDistance(PALETTEENTRY a, PALETTEENTRY b) {
  const int dr = a.peRed - b.peRed;
  const int dg = a.peGreen - b.peGreen;
  const int db = a.peBlue - b.peBlue;
  return static_cast<std::uint32_t>(dr * dr + dg * dg + db * db);
}

// The first entry equal to `color` in the ranges (in order), else the nearest, the earliest
// of equal distances.
int FindStaticCandidate(const PALETTEENTRY* entries, PALETTEENTRY color, const IndexRange* ranges,
                        int rangeCount) {
  for (int r = 0; r < rangeCount; ++r)
    for (int j = ranges[r].first; j <= ranges[r].last; ++j)
      if (RgbOf(entries[j]) == RgbOf(color)) return j;
  int nearest = ranges[0].first;
  std::uint32_t best = 0xFFFFFFFFu;
  for (int r = 0; r < rangeCount; ++r) {
    for (int j = ranges[r].first; j <= ranges[r].last; ++j) {
      const std::uint32_t d = RgbDistance(entries[j], color);
      if (d < best) {
        best = d;
        nearest = j;
      }
    }
  }
  return nearest;
}

// Another entry with entry i's colour, or -1.
int FindOtherWithColorOf(const PALETTEENTRY* entries, int i) {
  for (int k = 0; k < 256; ++k)
    if (k != i && RgbOf(entries[k]) == RgbOf(entries[i])) return k;
  return -1;
}

// Brings the candidate for static position i there; true when anything moved.
bool PlaceStaticColor(PALETTEENTRY* entries, BYTE* remap, int i, PALETTEENTRY color,
                      const IndexRange* ranges, int rangeCount) {
  const int j = FindStaticCandidate(entries, color, ranges, rangeCount);
  if (j == i) return false;
  const int k = FindOtherWithColorOf(entries, i);
  if (k >= 0) {
    remap[i] = static_cast<BYTE>(k);  // entry i's pixels keep their colour at k
  } else {
    std::swap(entries[i], entries[j]);
    std::swap(remap[i], remap[j]);
  }
  return true;
}

void WriteSystemColors(PALETTEENTRY* entries, const LOGPALETTE256& system) {
  for (int i = 0; i < 256; ++i) {
    if (i < kStaticLowCount || i >= kStaticHighFirst) {
      entries[i] = system.palPalEntry[i];
      entries[i].peFlags = 0;
      continue;
    }
    PALETTEENTRY& e = entries[i];
    if (e.peRed < 8 && e.peGreen < 8 && e.peBlue < 8) e = PALETTEENTRY{8, 0, 0, 0};
    e.peFlags = kNoCollapseFlag;
  }
}

}  // namespace
}  // namespace vexa

BOOL ArrangeSystemColors(PALETTEENTRY* destination, const PALETTEENTRY* source, BYTE* remapOut) {
  using vexa::IndexRange;
  if (destination == nullptr || source == nullptr) return 0;
  if (destination != source) std::memmove(destination, source, sizeof(PALETTEENTRY) * 256);
  BYTE remap[256];
  std::iota(remap, remap + 256, 0);
  const LOGPALETTE256 system = vexa::DefaultLogPalette();
  bool moved = false;
  for (int i = 0; i < vexa::kStaticLowCount; ++i) {
    const IndexRange ranges[] = {{i, 255}};
    moved |= vexa::PlaceStaticColor(destination, remap, i, system.palPalEntry[i], ranges, 1);
  }
  for (int i = vexa::kStaticHighFirst; i < 256; ++i) {
    const IndexRange ranges[] = {{i, 255}, {vexa::kStaticLowCount, vexa::kStaticHighFirst - 1}};
    moved |= vexa::PlaceStaticColor(destination, remap, i, system.palPalEntry[i], ranges, 2);
  }
  vexa::WriteSystemColors(destination, system);
  if (remapOut != nullptr) std::copy_n(remap, 256, remapOut);
  return moved ? 1 : 0;
}

PaletteObject* CreateIdentityPalette(PaletteObject* palette, BYTE* remapOut) {
  if (palette == nullptr) return nullptr;
  LOGPALETTE256 record{};
  record.palVersion = vexa::kLogPaletteVersion;
  record.palNumEntries = 256;
  ArrangeSystemColors(record.palPalEntry, palette->entries, remapOut);
  const bool unchanged =
      std::equal(record.palPalEntry, record.palPalEntry + 256, palette->entries,
                 [](PALETTEENTRY a, PALETTEENTRY b) { return vexa::RgbOf(a) == vexa::RgbOf(b); });
  if (unchanged) return AddPaletteRef(palette);
  return CreatePaletteObject(reinterpret_cast<const LOGPALETTE*>(&record));
}
