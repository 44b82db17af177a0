#include "palette/grey_palette.h"

#include <algorithm>

#include "palette/palette_search.h"

namespace vexa {
namespace {

constexpr WORD kLogPaletteVersion = 0x300;

// The colour at the centre of a 15-bit inverse-table key (5 bits of red at 10-14, green at
// 5-9, blue at 0-4). It is never black, so its nearest entry on a full palette is never 0
// and no slot stays 0 ("not computed yet") for a later lookup to write.
COLORREF KeyCentre(unsigned key) {
  const auto level = [](unsigned bits) { return (bits & 0x1F) << 3 | 4; };
  return level(key >> 10) | level(key >> 5) << 8 | level(key) << 16;
}

void FillInverseTable(PaletteObject& palette) {
  for (unsigned key = 0; key < kInverseTableSize; ++key) {
    if (palette.inverseTable[key] == 0) LookupInverse(&palette, KeyCentre(key));
  }
}

}  // namespace

PaletteObject* FinishProcessPalette(PaletteObject* storage) {
  PaletteObject& palette = *storage;
  palette.version = kLogPaletteVersion;
  palette.entryCount = 256;
  palette.darkestIndex = 1 + NearestColorSearch(LibraryPaletteSearch(), palette.entries + 1, 255, 0);
  palette.refCount = 1;  // the process's own reference, never released
  // Without a table (memory ran out) lookups search every time: slower, equally safe to share.
  if (BuildInverseTable(&palette)) FillInverseTable(palette);
  return storage;
}

PaletteObject* SharedGreyPalette() {
  static PaletteObject* const grey = [] {
    static PaletteObject storage{};
    for (int i = 0; i < 256; ++i) {
      const auto level = static_cast<BYTE>(i);
      storage.entries[i] = PALETTEENTRY{level, level, level, 0};
    }
    return FinishProcessPalette(&storage);
  }();
  return grey;
}

}  // namespace vexa
