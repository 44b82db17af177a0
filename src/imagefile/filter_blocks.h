// Palette blocks and tables owned by an image filter object.
#pragma once

#include <cstring>

#include <vexa/filter_impl.h>
#include <vexa/memory.h>

namespace vexa {

template <typename T>
void FreeFilterBlock(T** block) {
  void* p = *block;
  FreeBlockAndClear(&p);
  *block = nullptr;
}

// Allocates a zero-filled block of size bytes when *block is null; false when memory ran out.
template <typename T>
bool EnsureFilterBlock(T** block, std::size_t size) {
  if (*block) return true;
  void* p = nullptr;
  if (!AllocBlockZero(&p, size)) return false;
  *block = static_cast<T*>(p);
  return true;
}

// A zero-filled palette block of 256 entries, version 0x300, when *palette is null.
inline bool EnsurePaletteBlock(LOGPALETTE** palette) {
  if (*palette) return true;
  if (!EnsureFilterBlock(palette, kPaletteBlockSize)) return false;
  (*palette)->palVersion = 0x300;
  return true;
}

// The entries of a palette record (blocks hold 256 of them).
inline PALETTEENTRY* EntriesOf(LOGPALETTE* palette) {
  return reinterpret_cast<PALETTEENTRY*>(reinterpret_cast<BYTE*>(palette) + 4);
}
inline const PALETTEENTRY* EntriesOf(const LOGPALETTE* palette) {
  return reinterpret_cast<const PALETTEENTRY*>(reinterpret_cast<const BYTE*>(palette) + 4);
}

// Keeps the version, clears the count and all 256 entries.
inline void ClearPalette(LOGPALETTE* palette) {
  palette->palVersion = 0x300;
  palette->palNumEntries = 0;
  std::memset(EntriesOf(palette), 0, 256 * sizeof(PALETTEENTRY));
}

// Copies a palette record (4 + 4 x count bytes, count at most 256) into a palette block.
inline void CopyPalette(LOGPALETTE* to, const LOGPALETTE* from) {
  std::memcpy(to, from, 4 + 4 * static_cast<std::size_t>(from->palNumEntries));
}

// Same count and same red, green and blue in every entry (flags ignored).
inline bool SamePalette(const LOGPALETTE* a, const LOGPALETTE* b) {
  if (a->palNumEntries != b->palNumEntries) return false;
  for (int i = 0; i < a->palNumEntries; ++i) {
    const PALETTEENTRY& x = EntriesOf(a)[i];
    const PALETTEENTRY& y = EntriesOf(b)[i];
    if (x.peRed != y.peRed || x.peGreen != y.peGreen || x.peBlue != y.peBlue) return false;
  }
  return true;
}

}  // namespace vexa
