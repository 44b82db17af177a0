// TestMaskPoint and TestMaskRect.
//
// The rectangle test is the overlap kernel with an all-ones B: the rectangle's left and right
// edge words get the kernel's chunk masks and its inner words are tested whole.
#include <algorithm>

#include <vexa/collision_mask.h>

#include "bank/mask/mask_tests.h"

namespace vexa {

int MaskRectHasSetBit(const MaskKernels& kernels, const std::uint8_t* bits, int width, int height,
                      int x, int y, int w, int h) {
  if (!bits || width <= 0 || height <= 0) return 0;
  const std::int64_t left = std::max<std::int64_t>(x, 0);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + w, width);
  const std::int64_t top = std::max<std::int64_t>(y, 0);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + h, height);
  if (right - left <= 0 || bottom - top <= 0) return 0;

  const std::int64_t rowBytes = MaskRowBytes(width);
  MaskRowSpan span{};
  span.a = bits + top * rowBytes + (left >> 3);
  span.aStride = rowBytes;
  span.aBegin = bits;
  span.aEnd = bits + height * rowBytes;
  span.rows = static_cast<int>(bottom - top);
  span.shift = static_cast<int>(left & 7);
  span.bits = static_cast<int>(right - left);
  return kernels.anySet(span) ? 1 : 0;
}

}  // namespace vexa

int TestMaskPoint(const std::uint8_t* bits, int x, int y, int width, int height) {
  if (!bits || x < 0 || y < 0 || x >= width || y >= height) return 0;
  return vexa::MaskRowBit(bits + y * MaskRowBytes(width), x) ? 1 : 0;
}

int TestMaskRect(const std::uint8_t* bits, int width, int height, int x, int y, int w, int h) {
  return vexa::MaskRectHasSetBit(vexa::ActiveMaskKernels(), bits, width, height, x, y, w, h);
}
