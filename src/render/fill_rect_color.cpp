// FillRectColor and FillRectValue: a rectangle, clipped to the clip rectangle, filled with a
// colour through the fill routine (entry 2) or with a raw pixel value.
#include <vexa/surface_implementation.h>

#include "palette/palette_ops.h"
#include "pixels/kernels/kernel_routines.h"
#include "pixels/kernels/surface_rect.h"

namespace {

constexpr std::uint32_t kIndexFlag = 0x01000000;

}  // namespace

// At 8 bits the colour becomes its nearest palette index first (a colour with bit 24 set
// names the index itself).
int cSurfaceImplementation::FillRectColor(int x, int y, int w, int h, COLORREF color) {
  if (!pixelRoutines || !pixelRoutines->fillRect) return 0;
  vexa::PixelRect r;
  if (!vexa::ClipToClipRect(*this, x, y, w, h, &r)) return 0;
  std::uint32_t value = color;
  if (depth == 8) {
    value = (color & kIndexFlag) ? color & 0xFF
                                 : static_cast<std::uint32_t>(vexa::NearestIndexWith(
                                       palette, color, vexa::PaletteSearchFor(flags)));
  }
  if (!Lock()) return 0;
  pixelRoutines->fillRect(this, r.x, r.y, pitch, r.width, r.height, value);
  Unlock();
  return 1;
}

// The value is stored as it is: an index, a 5-5-5 or 5-6-5 value, or a whole 24- or 32-bit
// pixel. Surfaces whose pixels are held by custom routines cannot be written directly.
int cSurfaceImplementation::FillRectValue(int x, int y, int w, int h, std::uint32_t value) {
  if (!pixelRoutines || HasCustomPixelRoutines()) return 0;
  vexa::PixelRect r;
  if (!vexa::ClipToClipRect(*this, x, y, w, h, &r)) return 0;
  if (!Lock()) return 0;
  vexa::FillPixelRows(PixelAddress(r.x, r.y), pitch, r.width, r.height, bytesPerPixel, value);
  Unlock();
  return 1;
}
