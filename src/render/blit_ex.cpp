// BlitEx: the neighbourhood-filter blit. For each destination pixel of the clipped rectangle
// grown by the margins, a window of destination colours (as they were before the call) and
// the window of source colours at the same place go to the filter, and its result is written.
#include <algorithm>
#include <new>
#include <vector>

#include <vexa/palette.h>
#include <vexa/surface_implementation.h>

#include "render/blit_setup.h"

namespace vexa {
namespace {

// Colour of a pixel (palette colour at 8 bits); the caller has locked the surface.
std::uint32_t ColorAt(const PixelDescriptor& s, int x, int y) {
  const std::uint32_t raw = s.pixelRoutines->getPixel(&s, x, y);
  if (s.depth != 8) return raw;
  const PALETTEENTRY& e = s.palette->entries[raw & 0xFF];
  return e.peRed | (e.peGreen << 8) | (e.peBlue << 16);
}

// The destination region the filter reads, captured before anything is written. Reads
// outside the destination surface take the nearest pixel on its edge.
class DestinationSnapshot {
 public:
  bool Capture(const PixelDescriptor& d, int left, int top, int right, int bottom) {
    left_ = std::max(left, 0);
    top_ = std::max(top, 0);
    width_ = std::min(right, d.width) - left_;
    height_ = std::min(bottom, d.height) - top_;
    if (width_ <= 0 || height_ <= 0) return false;
    colors_.resize(static_cast<size_t>(width_) * height_);
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) colors_[y * width_ + x] = ColorAt(d, left_ + x, top_ + y);
    }
    return true;
  }
  std::uint32_t At(int x, int y) const {
    x = std::clamp(x - left_, 0, width_ - 1);
    y = std::clamp(y - top_, 0, height_ - 1);
    return colors_[y * width_ + x];
  }

 private:
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  std::vector<std::uint32_t> colors_;
};

bool PalettesReady(const cSurfaceImplementation* source,
                   const cSurfaceImplementation* destination) {
  if (source->depth > 8) return true;
  return source->palette && destination->palette && BuildInverseTable(destination->palette);
}

}  // namespace
}  // namespace vexa

int cSurfaceImplementation::BlitEx(cSurfaceImplementation* destination, int x, int y, int sourceX,
                                   int sourceY, int width, int height, int windowWidth,
                                   int windowHeight, int centreX, int centreY, int marginX,
                                   int marginY, BlitExFilterFn filter, void* userValue) {
  using namespace vexa;
  if (!destination || !filter || destination->depth != depth) return 0;
  if (windowWidth < 1 || windowHeight < 1 || windowWidth > 64 || windowHeight > 64) return 0;
  if (marginX < 0 || marginY < 0 || !pixelRoutines || !destination->pixelRoutines) return 0;
  BlitRect r{x, y, sourceX, sourceY, width, height};
  if (!ClipBlitRect(*this, *destination, r) || !PalettesReady(this, destination)) return 0;

  // The pixels to filter: the rectangle grown by the margins, inside the destination clip.
  const int left = std::max(r.x - marginX, destination->clipLeft);
  const int top = std::max(r.y - marginY, destination->clipTop);
  const int right = std::min(r.x + r.width + marginX, destination->clipRight);
  const int bottom = std::min(r.y + r.height + marginY, destination->clipBottom);
  const int toSourceX = r.sourceX - r.x;  // source coordinate = destination coordinate + this
  const int toSourceY = r.sourceY - r.y;

  if (!Lock()) return 0;
  if (!destination->Lock()) {
    Unlock();
    return 0;
  }
  int result = 0;
  try {
    DestinationSnapshot before;
    if (before.Capture(*destination, left - centreX, top - centreY, right + windowWidth - centreX,
                       bottom + windowHeight - centreY)) {
      std::vector<std::uint32_t> destinationBlock(static_cast<size_t>(windowWidth) * windowHeight);
      std::vector<std::uint32_t> sourceBlock(destinationBlock.size());
      for (int py = top; py < bottom; ++py) {
        for (int px = left; px < right; ++px) {
          for (int wy = 0; wy < windowHeight; ++wy) {
            for (int wx = 0; wx < windowWidth; ++wx) {
              const int dx = px + wx - centreX, dy = py + wy - centreY;
              const int sx = dx + toSourceX, sy = dy + toSourceY;
              const bool inside = sx >= 0 && sy >= 0 && sx < this->width && sy < this->height;
              destinationBlock[wy * windowWidth + wx] = before.At(dx, dy);
              // Outside the source every cell reads as the source's colour key.
              sourceBlock[wy * windowWidth + wx] =
                  inside ? ColorAt(*this, sx, sy) : transparentColor;
            }
          }
          destination->SetPixelColor(
              px, py, filter(destinationBlock.data(), sourceBlock.data(), userValue));
        }
      }
      result = 1;
    }
  } catch (const std::bad_alloc&) {
    result = 0;
  }
  destination->Unlock();
  Unlock();
  return result;
}
