// Row kernels of Rotate for 4-byte pixels, per instruction level. Declarations and plain
// records only: the vector files include this header.
//
// A job produces `rows` destination rows. Row r starts sampling the source at
// (rowX[r], rowY[r]); each next pixel adds (cos, sin) to the position, in single precision,
// one addition after the other. Sampling, per destination pixel at source position (x, y):
// - nearest: x and y rounded to the nearest integer (ties to even); inside the source the
//   source pixel is copied as it is, outside `fill` is written;
// - bilinear (32-bit colour): a position with either part negative or at or past the source
//   edge gives `fill`. Otherwise, with ix, iy the truncated position and dx, dy its fractions,
//   the four pixels (ix, iy), (ix + 1, iy), (ix, iy + 1), (ix + 1, iy + 1) weigh
//   ((1 - dx) - dy) + dx dy, dx - dx dy, dy - dx dy and dx dy; a neighbour outside the source
//   takes the colour of (ix, iy). Each of blue, green and red is the sum, taken in that order
//   of the pixels and in single precision, of colour x weight, plus 0.5, truncated; the
//   fourth byte is 0. With `transparency`, a pixel (ix, iy) equal to `fill` is copied as it
//   is, and a neighbour equal to `fill` takes the colour of (ix, iy).
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/simd_level.h"

namespace vexa {

struct RotateRowsJob {
  const std::uint8_t* source;  // row 0 of the source
  std::ptrdiff_t sourcePitch;
  int sourceWidth, sourceHeight;
  std::uint8_t* destination;  // the first destination row of the job
  std::ptrdiff_t destinationPitch;
  int destinationWidth;
  int rows;
  const float* rowX;
  const float* rowY;
  float cos, sin;
  std::uint32_t fill;  // a stored pixel value
  int transparency;
};

using RotateRowsFn = void (*)(const RotateRowsJob& job);

void RotateNearest4Scalar(const RotateRowsJob& job);
void RotateBilinear32Scalar(const RotateRowsJob& job);
void RotateNearest4Avx2(const RotateRowsJob& job);
void RotateBilinear32Avx2(const RotateRowsJob& job);

struct RotateKernels {
  RotateRowsFn nearest4;
  RotateRowsFn bilinear32;
};

const RotateKernels& RotateKernelsAt(SimdLevel level);
const RotateKernels& ActiveRotateKernels();

}  // namespace vexa
