// RotateQuarter: a quarter turn, as an exact permutation of the pixels.
//
// Direction 0 turns by 90 degrees (the top edge becomes the left edge): source pixel (i, r)
// goes to (r, H - 1 - i). Direction 1 turns by 270 degrees (the top edge becomes the right
// edge): (i, r) goes to (W - 1 - r, i). W and H are the destination's width and height, which
// must be at least the source's height and width.
#include <cstring>

#include <vexa/surface_implementation.h>

#include "render/stretch_support.h"

namespace vexa {
namespace {

// Where source pixel (i, r) lands, as a start address and the steps along i and along r.
struct QuarterWalk {
  std::uint8_t* origin;        // destination address of source pixel (0, 0)
  std::ptrdiff_t alongRow;     // destination step for i + 1
  std::ptrdiff_t alongColumn;  // destination step for r + 1
};

QuarterWalk WalkOf(std::uint8_t* first, std::ptrdiff_t pitch, int bytes, int width, int height,
                   int direction) {
  if (direction == 0) {
    return {first + static_cast<std::ptrdiff_t>(height - 1) * pitch, -pitch, bytes};
  }
  return {first + static_cast<std::ptrdiff_t>(width - 1) * bytes, pitch, -bytes};
}

// Moves every pixel of a plane; tiles keep both sides' rows in the cache.
void TurnPlane(const std::uint8_t* source, std::ptrdiff_t sourcePitch, int width, int height,
               int bytes, const QuarterWalk& walk) {
  constexpr int kTile = 32;
  for (int top = 0; top < height; top += kTile) {
    const int bottom = top + kTile < height ? top + kTile : height;
    for (int left = 0; left < width; left += kTile) {
      const int right = left + kTile < width ? left + kTile : width;
      for (int r = top; r < bottom; ++r) {
        const std::uint8_t* in = source + r * sourcePitch + left * bytes;
        std::uint8_t* out = walk.origin + r * walk.alongColumn + left * walk.alongRow;
        for (int i = left; i < right; ++i, in += bytes, out += walk.alongRow) {
          std::memcpy(out, in, static_cast<size_t>(bytes));
        }
      }
    }
  }
}

int TurnQuarter(cSurfaceImplementation* source, cSurfaceImplementation* destination,
                int direction) {
  {
    SurfaceLocks locks(source, destination);
    if (!locks.locked()) return 0;
    const int bytes = source->bytesPerPixel;
    TurnPlane(source->firstRow, source->pitch, source->width, source->height, bytes,
              WalkOf(destination->firstRow, destination->pitch, bytes, destination->width,
                     destination->height, direction));
  }
  if (source->alphaFirstRow && (destination->alphaFirstRow || destination->CreateAlpha())) {
    TurnPlane(source->alphaFirstRow, source->alphaPitch, source->width, source->height, 1,
              WalkOf(destination->alphaFirstRow, destination->alphaPitch, 1, destination->width,
                     destination->height, direction));
  }
  return 1;
}

}  // namespace
}  // namespace vexa

int cSurfaceImplementation::RotateQuarter(cSurfaceImplementation* destination, int direction) {
  using namespace vexa;
  if (!destination || destination->IsDeviceSurface() || destination->depth != depth) return 0;
  if (direction != 0 && direction != 1) return 0;
  // A smaller destination would be written outside its pixels.
  if (destination->width < height || destination->height < width) return 0;
  if (destination == this || HasCustomPixelRoutines()) {
    TemporarySurface plain(MakePlainCopy(this, 0, 0, width, height));
    if (!plain) return 0;
    return TurnQuarter(plain.get(), destination, direction);
  }
  return TurnQuarter(this, destination, direction);
}
