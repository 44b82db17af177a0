// cDIBSurface: a surface over a bitmap in the caller's memory.
#include <vexa/dib_surface.h>

#include <cstring>

#include <vexa/palette.h>

#include "surface/dib_surface_header.h"
#include "surface/surface_lifetime.h"

namespace {

constexpr WORD kLogPaletteVersion = 0x300;

// A palette object from the record's colour table: each (blue, green, red, reserved) entry
// becomes (red, green, blue, 0).
PaletteObject* PaletteFromColorTable(const BITMAPINFO* info, std::size_t offset, int count) {
  LOGPALETTE256 record{};
  record.palVersion = kLogPaletteVersion;
  record.palNumEntries = static_cast<WORD>(count);
  const auto* table = reinterpret_cast<const std::uint8_t*>(info) + offset;
  for (int i = 0; i < count; ++i) {
    RGBQUAD quad;
    std::memcpy(&quad, table + 4 * i, sizeof(quad));
    record.palPalEntry[i] = PALETTEENTRY{quad.rgbRed, quad.rgbGreen, quad.rgbBlue, 0};
  }
  return CreatePaletteObject(reinterpret_cast<const LOGPALETTE*>(&record));
}

}  // namespace

cDIBSurface::cDIBSurface(const BITMAPINFO* info, const void* bits, int createPalette) {
  vexa::DibLayout layout;
  if (!vexa::ReadDibLayout(info, &layout)) return;  // stays unformatted
  const auto* record = reinterpret_cast<const std::uint8_t*>(info);
  // The surface shows the caller's memory as it is; it never writes it itself.
  auto* pixels = const_cast<std::uint8_t*>(bits ? static_cast<const std::uint8_t*>(bits)
                                                : record + layout.bitsOffset);
  width = layout.width;
  height = layout.height;
  stride = layout.stride;
  bottomUp = layout.topDown ? 0 : 1;
  pitch = layout.topDown ? stride : -stride;
  firstRow = layout.topDown ? pixels : pixels + static_cast<std::ptrdiff_t>(height - 1) * stride;
  storage = pixels;
  ResetClipRect();
  if (layout.depth == 8 && createPalette)
    palette = PaletteFromColorTable(info, layout.tableOffset, layout.colorCount);
  SetPixelFormat(layout.depth);
  if (depth == 32) KeepAlphaIfTranslucent();
}

cDIBSurface::~cDIBSurface() {
  storage = firstRow = nullptr;  // the caller's memory
  ReleaseBaseResources();
}

cSurfaceImplementation* cDIBSurface::Destroy(unsigned destroyFlags) {
  this->cDIBSurface::~cDIBSurface();
  return vexa::FreeDestroyed(this, destroyFlags);
}

cSurfaceImplementation* cDIBSurface::CreateCompatible(int, int) { return nullptr; }
int cDIBSurface::InitFormat(int) { return 0; }

// The fourth byte of every pixel becomes the alpha plane, which is kept only when some pixel
// is not opaque: bitmaps that leave the byte at 255 (or that never meant it as alpha and
// fill it so) draw as before.
void cDIBSurface::KeepAlphaIfTranslucent() {
  if (!CreateAlpha()) return;
  bool translucent = false;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* pixel = Row(y);
    std::uint8_t* alpha = AlphaRow(y);
    for (int x = 0; x < width; ++x, pixel += 4) {
      alpha[x] = pixel[3];
      translucent = translucent || pixel[3] != 0xFF;
    }
  }
  if (!translucent) DeleteAlpha();
}
