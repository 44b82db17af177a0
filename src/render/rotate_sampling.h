// The sampling of Rotate: every destination pixel is mapped back into the source in single
// precision and sampled there, nearest-pixel or bilinear.
//
// With source size (w, h), destination size (W, H) and the angle's cosine c and sine s:
//   x0 = w / 2 - W / 2 x c + H / 2 x s,   y0 = h / 2 - W / 2 x s - H / 2 x c
// (halves taken in floating point), and destination pixel (i, j) samples the source at
// (x0 + i c - j s, y0 + i s + j c), reached by adding (c, s) along a row and (-s, c) from row
// to row. See rotate_kernels.h for the two ways of sampling.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/pixel_routines.h>
#include <vexa/wintypes.h>

namespace vexa {

struct RotationFrame {
  float x0, y0;
  float cos, sin;
};

// The frame of an angle in degrees (exactly 90 and 270: cosine 0 and sine 1 or -1; otherwise
// the cosine and sine of degrees x pi / 180, taken in double precision, as floats).
RotationFrame MakeRotationFrame(float angle, int sourceWidth, int sourceHeight, int width,
                                int height);

// Fills the whole of a locked destination of the source's depth from a locked source. The
// fill colour is a colour value (0x00BBGGRR); with `transparency`, bilinear sampling treats
// source pixels of that colour as transparent.
void RotatePixels(const PixelDescriptor& source, PixelDescriptor& destination,
                  const RotationFrame& frame, bool bilinear, COLORREF fill, bool transparency);

// The same on 8-bit planes (alpha planes): levels are sampled as they are, the fill is 0.
void RotatePlane(const std::uint8_t* source, std::ptrdiff_t sourcePitch, int sourceWidth,
                 int sourceHeight, std::uint8_t* destination, std::ptrdiff_t destinationPitch,
                 int width, int height, const RotationFrame& frame, bool bilinear);

}  // namespace vexa
