// MoveRect: moves a rectangle inside one surface, overlap handled like a memory move.
#include <cstring>

#include <vexa/surface_implementation.h>

#include "pixels/kernels/surface_rect.h"

namespace {

// Rows in the order that never reads a row already overwritten: from the last row upwards
// when the source lies above the destination. Within a row memmove handles the overlap
// (backwards when the source lies to the left).
void MoveRows(std::uint8_t* destination, const std::uint8_t* source, int rowPitch, int rows,
              int bytes, bool upwards) {
  for (int i = 0; i < rows; ++i) {
    const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(upwards ? rows - 1 - i : i) * rowPitch;
    std::memmove(destination + row, source + row, static_cast<std::size_t>(bytes));
  }
}

}  // namespace

// Both rectangles must lie wholly inside the surface (not merely its clip rectangle). The
// alpha plane, when there is one, moves with the pixels. 0 when a rectangle sticks out or is
// empty, the pixels are held by custom routines, or the lock fails; else 1.
int cSurfaceImplementation::MoveRect(int x, int y, int sourceX, int sourceY, int w, int h) {
  if (!vexa::InsideSurface(*this, x, y, w, h) ||
      !vexa::InsideSurface(*this, sourceX, sourceY, w, h))
    return 0;
  if (!pixelRoutines || HasCustomPixelRoutines()) return 0;
  if (!Lock()) return 0;
  const bool upwards = sourceY < y;
  MoveRows(PixelAddress(x, y), PixelAddress(sourceX, sourceY), pitch, h, w * bytesPerPixel,
           upwards);
  if (alphaFirstRow)
    MoveRows(AlphaRow(y) + x, AlphaRow(sourceY) + sourceX, alphaPitch, h, w, upwards);
  Unlock();
  return 1;
}
