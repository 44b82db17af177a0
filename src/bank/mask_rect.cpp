// TestMaskPoint and TestMaskRect.
//
// The rectangle test is the overlap test against a mask whose every bit is set: one row of
// ones read with a row step of 0, so that the rectangle's left and right edge words get the
// overlap kernel's chunk masks and its inner words are compared whole.
#include <algorithm>

#include <vexa/collision_mask.h>

#include "bank/mask_tests.h"

namespace vexa {
namespace {

// The row of ones, with a chunk of room before it for the kernels' look-back reads.
constexpr int kOnesLead = 32;
constexpr int kOnesBytes = 2048;
constexpr int kOnesColumns = 8 * (kOnesBytes - kOnesLead - 64);

struct OnesRow {
  std::uint8_t bytes[kOnesBytes];
  constexpr OnesRow() : bytes() {
    for (std::uint8_t& b : bytes) b = 0xFF;
  }
};
constexpr OnesRow kOnes;

}  // namespace

int MaskRectHasSetBit(const MaskKernels& kernels, const std::uint8_t* bits, int width, int height,
                      int x, int y, int w, int h) {
  if (!bits || width <= 0 || height <= 0) return 0;
  const std::int64_t left = std::max<std::int64_t>(x, 0);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + w, width);
  const std::int64_t top = std::max<std::int64_t>(y, 0);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + h, height);
  if (right - left <= 0 || bottom - top <= 0) return 0;

  const std::int64_t rowBytes = MaskRowBytes(width);
  MaskRowSpan span;
  span.b = kOnes.bytes + kOnesLead;
  span.bStride = 0;
  span.bBegin = kOnes.bytes;
  span.bEnd = kOnes.bytes + kOnesBytes;
  span.aStride = rowBytes;
  span.aBegin = bits;
  span.aEnd = bits + height * rowBytes;
  span.rows = static_cast<int>(bottom - top);
  // Wide rectangles go in pieces as wide as the row of ones.
  for (std::int64_t column = left; column < right; column += kOnesColumns) {
    span.a = bits + top * rowBytes + (column >> 3);
    span.shift = static_cast<int>(column & 7);
    span.bits = static_cast<int>(std::min<std::int64_t>(right - column, kOnesColumns));
    if (kernels.anyOverlap(span)) return 1;
  }
  return 0;
}

}  // namespace vexa

int TestMaskPoint(const std::uint8_t* bits, int x, int y, int width, int height) {
  if (!bits || x < 0 || y < 0 || x >= width || y >= height) return 0;
  return vexa::MaskRowBit(bits + y * MaskRowBytes(width), x) ? 1 : 0;
}

int TestMaskRect(const std::uint8_t* bits, int width, int height, int x, int y, int w, int h) {
  return vexa::MaskRectHasSetBit(vexa::ActiveMaskKernels(), bits, width, height, x, y, w, h);
}
