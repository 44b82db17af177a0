// Rectangle helpers of the surface operations built on the kernels: clipping a caller's
// rectangle to the clip rectangle or the surface, with sums in 64 bits so that callers may
// pass "everything" sizes.
#pragma once

#include <cstdint>

#include <vexa/pixel_routines.h>

namespace vexa {

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
};

// The part of (x, y, width, height) inside [left, right) x [top, bottom); false when empty.
inline bool ClipRect(int x, int y, int width, int height, int left, int top, int right, int bottom,
                     PixelRect* out) {
  const std::int64_t x0 = x > left ? x : left;
  const std::int64_t y0 = y > top ? y : top;
  const std::int64_t x1 = std::int64_t{x} + width < right ? std::int64_t{x} + width : right;
  const std::int64_t y1 = std::int64_t{y} + height < bottom ? std::int64_t{y} + height : bottom;
  if (width <= 0 || height <= 0 || x1 <= x0 || y1 <= y0) return false;
  *out = {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
          static_cast<int>(y1 - y0)};
  return true;
}

inline bool ClipToClipRect(const PixelDescriptor& s, int x, int y, int width, int height,
                           PixelRect* out) {
  return ClipRect(x, y, width, height, s.clipLeft, s.clipTop, s.clipRight, s.clipBottom, out);
}

// True when the whole rectangle lies inside the surface (not merely its clip rectangle).
inline bool InsideSurface(const PixelDescriptor& s, int x, int y, int width, int height) {
  return width > 0 && height > 0 && x >= 0 && y >= 0 && std::int64_t{x} + width <= s.width &&
         std::int64_t{y} + height <= s.height;
}

// An 8-bit view of a surface's alpha plane, for running 8-bit routines over it.
inline PixelDescriptor AlphaPlaneView(const PixelDescriptor& s) {
  PixelDescriptor view;
  view.width = s.width;
  view.height = s.height;
  view.depth = 8;
  view.bytesPerPixel = 1;
  view.firstRow = s.alphaFirstRow;
  view.pitch = s.alphaPitch;
  view.stride = s.alphaStride;
  return view;
}

}  // namespace vexa
