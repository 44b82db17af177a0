// FlipVertical: swaps the rows of a rectangle (clipped to the clip rectangle) pairwise, row
// y + i with row y + h - 1 - i, and the alpha plane's rows with them.
#include <algorithm>

#include <vexa/surface_implementation.h>

#include "pixels/kernels/surface_rect.h"

namespace {

void SwapRows(std::uint8_t* top, std::uint8_t* bottom, int rowPitch, int rows, int bytes) {
  for (int i = 0; i < rows / 2; ++i) {
    std::uint8_t* a = top + static_cast<std::ptrdiff_t>(i) * rowPitch;
    std::uint8_t* b = bottom - static_cast<std::ptrdiff_t>(i) * rowPitch;
    std::swap_ranges(a, a + bytes, b);
  }
}

}  // namespace

// 0 when the rectangle lies wholly outside the surface, nothing is left after clipping, or the
// lock fails; a single row is its own mirror image (1 at once). Pixels held by custom
// routines are not plain rows and are left alone (0).
int cSurfaceImplementation::FlipVertical(int x, int y, int w, int h) {
  vexa::PixelRect r;
  if (!vexa::ClipToClipRect(*this, x, y, w, h, &r)) return 0;
  if (r.height == 1) return 1;
  if (!pixelRoutines || HasCustomPixelRoutines()) return 0;
  if (!Lock()) return 0;
  SwapRows(PixelAddress(r.x, r.y), PixelAddress(r.x, r.y + r.height - 1), pitch, r.height,
           r.width * bytesPerPixel);
  if (alphaFirstRow)
    SwapRows(AlphaRow(r.y) + r.x, AlphaRow(r.y + r.height - 1) + r.x, alphaPitch, r.height,
             r.width);
  Unlock();
  return 1;
}
