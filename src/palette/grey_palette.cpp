#include "palette/grey_palette.h"

#include <algorithm>

#include "palette/palette_search.h"

namespace vexa {
namespace {

constexpr WORD kLogPaletteVersion = 0x300;

}  // namespace

PaletteObject* FinishProcessPalette(PaletteObject* storage) {
  PaletteObject& palette = *storage;
  palette.version = kLogPaletteVersion;
  palette.entryCount = 256;
  palette.darkestIndex =
      1 + NearestColorSearch(LibraryPaletteSearch(), palette.entries + 1, 255, 0);
  palette.refCount = 1;  // the process's own reference, never released
  // The table exists from the start, so that no thread ever has to make it, and fills as
  // colours arrive (a cell is written once, atomically). Without a table (memory ran out)
  // lookups search every time: slower, equally safe to share.
  BuildInverseTable(&palette);
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
