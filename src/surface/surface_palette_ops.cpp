// The palette operations of cSurfaceImplementation. Only 8-bit surfaces hold a palette.
#include <cstring>

#include <vexa/palette.h>
#include <vexa/surface_implementation.h>

namespace {

// Replaces every pixel value v of the whole surface by table[v].
void ApplyIndexTable(cSurfaceImplementation* s, const std::uint8_t* table) {
  if (s->width <= 0 || s->height <= 0 || !s->Lock()) return;
  for (int y = 0; y < s->height; ++y) {
    std::uint8_t* row = s->Row(y);
    for (int x = 0; x < s->width; ++x) row[x] = table[row[x]];
  }
  s->Unlock();
}

}  // namespace

void cSurfaceImplementation::RemapFromPalette(PaletteObject* source) {
  if (depth != 8 || !source || !palette || source == palette) return;
  std::uint8_t table[256];
  if (BuildRemapTable(table, palette, source, 1)) ApplyIndexTable(this, table);
}

void cSurfaceImplementation::RemapPixels(const std::uint8_t* table) {
  if (depth != 8 || !table) return;
  ApplyIndexTable(this, table);
}

int cSurfaceImplementation::SetPalette(PaletteObject* newPalette, int remap) {
  if (newPalette == palette) return 1;
  if (depth != 8) return 0;
  if (remap == 1 && width > 0 && height > 0) {
    if (!palette) return 0;
    std::uint8_t table[256];
    if (newPalette && BuildRemapTable(table, newPalette, palette, 1)) {
      ApplyIndexTable(this, table);
    }
  }
  AddPaletteRef(newPalette);
  if (palette) ReleasePalette(palette);
  palette = newPalette;
  return 1;
}

int cSurfaceImplementation::SetPaletteEntries(const LOGPALETTE* record, int remap) {
  if (depth != 8 || !record) return 0;
  PaletteObject* created = CreatePaletteObject(record);
  if (!created) return 0;
  const int result = SetPalette(created, remap);
  ReleasePalette(created);
  return result;
}

int cSurfaceImplementation::SetPaletteFrom(cSurfaceImplementation* other, int remap) {
  if (!other || other->depth != 8) return 0;
  return SetPalette(other->palette, remap);
}

int cSurfaceImplementation::GetPaletteEntries(PALETTEENTRY* out, int first, int count) {
  if (depth != 8 || !palette) return 0;
  const int size = palette->entryCount;
  if (!out) return size;
  if (first < 0 || first >= size || count < 0) return 0;
  const int copied = count < size - first ? count : size - first;
  std::memcpy(out, palette->entries + first, static_cast<size_t>(copied) * sizeof(PALETTEENTRY));
  return count;
}

PaletteObject* cSurfaceImplementation::GetPalette() { return palette; }

int cSurfaceImplementation::GetLogPalette(LOGPALETTE* out) {
  if (depth != 8 || !palette || !out) return 0;
  out->palVersion = palette->version;
  out->palNumEntries = palette->entryCount;
  std::memcpy(out->palPalEntry, palette->entries, palette->entryCount * sizeof(PALETTEENTRY));
  return palette->entryCount;
}

int cSurfaceImplementation::GetNearestIndex(COLORREF color) {
  return palette ? ::GetNearestIndex(palette, color) : 0;
}

COLORREF cSurfaceImplementation::GetPaletteColor(int index) {
  if (!palette || index < 0 || index >= palette->entryCount) return 0;
  const PALETTEENTRY& e = palette->entries[index];
  return e.peRed | (e.peGreen << 8) | (e.peBlue << 16);
}

int cSurfaceImplementation::GetDarkestIndex() { return palette ? palette->darkestIndex : 4; }
