// An independent model of a 256-entry palette's colour-to-index answers: the nearest-colour
// search written out from its rules, and the inverse table as a cache that the first colour
// reaching a cell decides. Tests compare the library's answers with it.
#pragma once

#include <cstdint>
#include <vector>

#include <vexa/palette.h>

namespace testsupport {

inline unsigned CellOf(COLORREF c) {
  return ((c >> 3) & 0x1F) << 10 | ((c >> 11) & 0x1F) << 5 | ((c >> 19) & 0x1F);
}

inline COLORREF EntryRgb(const PALETTEENTRY& e) {
  return static_cast<COLORREF>(e.peRed | e.peGreen << 8 | e.peBlue << 16);
}

inline std::uint32_t SquaredDistance(const PALETTEENTRY& e, COLORREF c) {
  const int dr = e.peRed - static_cast<int>(c & 0xFF);
  const int dg = e.peGreen - static_cast<int>((c >> 8) & 0xFF);
  const int db = e.peBlue - static_cast<int>((c >> 16) & 0xFF);
  return static_cast<std::uint32_t>(dr * dr + dg * dg + db * db);
}

// The nearest entry among 1..255 for a colour that is not black, flags 0 and distances below
// 65536 (so both forms measure alike; they differ in how they break ties). The plain form
// takes the first exact entry, else the last of the nearest. The vector form walks pairs
// (1, 2), (3, 4), ...: the pair offers its first entry unless the second is strictly nearer,
// an offer not farther than the best replaces it, an exact offer ends the walk; entry 255
// competes alone.
inline int ModelNearest(const PALETTEENTRY* entries, COLORREF c, bool vectorForm) {
  if (!vectorForm) {
    int best = 1;
    std::uint32_t bestDistance = 0xFFFFFFFFu;
    for (int i = 1; i < 256; ++i) {
      const std::uint32_t d = SquaredDistance(entries[i], c);
      if (d == 0) return i;
      if (d <= bestDistance) bestDistance = d, best = i;
    }
    return best;
  }
  int best = 1;
  std::uint32_t bestDistance = 0xFFFFFFFFu;
  for (int k = 1; k + 1 < 256; k += 2) {
    const std::uint32_t a = SquaredDistance(entries[k], c), b = SquaredDistance(entries[k + 1], c);
    const int offer = b < a ? k + 1 : k;
    const std::uint32_t d = b < a ? b : a;
    if (d <= bestDistance) {
      bestDistance = d, best = offer;
      if (d == 0) return best;
    }
  }
  if (SquaredDistance(entries[255], c) <= bestDistance) best = 255;
  return best;
}

// The answers of GetNearestIndex on one palette, starting from a copy of its table.
class InverseTableModel {
 public:
  InverseTableModel(const PaletteObject& palette, bool vectorForm)
      : entries_(palette.entries, palette.entries + 256),
        cells_(palette.inverseTable, palette.inverseTable + kInverseTableSize),
        vectorForm_(vectorForm) {}

  int Index(COLORREF c) {
    if ((c & 0xFFFFFF) == 0) return 0;
    // A colour whose red byte names an entry of exactly that colour needs no search.
    if (EntryRgb(entries_[c & 0xFF]) == c) return static_cast<int>(c & 0xFF);
    std::uint8_t& cell = cells_[CellOf(c)];
    if (cell == 0) cell = static_cast<std::uint8_t>(ModelNearest(entries_.data(), c, vectorForm_));
    return cell;
  }
  int Search(COLORREF c) const { return ModelNearest(entries_.data(), c, vectorForm_); }
  COLORREF ColorOf(int index) const { return EntryRgb(entries_[index]); }
  const PALETTEENTRY* Entries() const { return entries_.data(); }

 private:
  std::vector<PALETTEENTRY> entries_;
  std::vector<std::uint8_t> cells_;
  bool vectorForm_;
};

// Cells of a table that no colour has reached yet (0), leaving out cell 0 (black's).
inline std::vector<unsigned> EmptyCells(const PaletteObject& palette) {
  std::vector<unsigned> empty;
  for (unsigned key = 1; key < kInverseTableSize; ++key)
    if (palette.inverseTable[key] == 0) empty.push_back(key);
  return empty;
}

// A colour of `cell` with the low three bits of each channel taken from `low` (9 bits).
inline COLORREF ColorInCell(unsigned cell, unsigned low) {
  const unsigned r = (cell >> 10 & 0x1F) << 3 | (low & 7);
  const unsigned g = (cell >> 5 & 0x1F) << 3 | (low >> 3 & 7);
  const unsigned b = (cell & 0x1F) << 3 | (low >> 6 & 7);
  return r | g << 8 | b << 16;
}

}  // namespace testsupport
