// TestMaskOverlap: two unscaled masks, compared a chunk of words at a time.
#include <algorithm>
#include <utility>

#include <vexa/collision_mask.h>

#include "bank/mask/mask_tests.h"

namespace vexa {

int OverlapMasks(const MaskKernels& kernels, const std::uint8_t* bitsA, const std::uint8_t* bitsB,
                 int xA, int yA, int wA, int hA, int xB, int yB, int wB, int hB) {
  if (!bitsA || !bitsB || wA <= 0 || hA <= 0 || wB <= 0 || hB <= 0) return 0;
  // A is the left mask, so that B's rows are only ever shifted towards higher bits.
  if (xB < xA) {
    std::swap(bitsA, bitsB);
    std::swap(xA, xB);
    std::swap(yA, yB);
    std::swap(wA, wB);
    std::swap(hA, hB);
  }
  const std::int64_t dx = std::int64_t{xB} - xA;
  const std::int64_t columns = std::min<std::int64_t>(wB, wA - dx);
  if (columns <= 0) return 0;
  const std::int64_t dy = std::int64_t{yB} - yA;
  const std::int64_t rowA = std::max<std::int64_t>(dy, 0);
  const std::int64_t rowB = std::max<std::int64_t>(-dy, 0);
  const std::int64_t rows = std::min<std::int64_t>(hA - rowA, hB - rowB);
  if (rows <= 0) return 0;

  const std::int64_t rowBytesA = MaskRowBytes(wA);
  const std::int64_t rowBytesB = MaskRowBytes(wB);
  MaskRowSpan span;
  span.a = bitsA + rowA * rowBytesA + (dx >> 3);
  span.b = bitsB + rowB * rowBytesB;
  span.aStride = rowBytesA;
  span.bStride = rowBytesB;
  span.rows = static_cast<int>(rows);
  span.shift = static_cast<int>(dx & 7);
  span.bits = static_cast<int>(columns);
  span.aBegin = bitsA;
  span.aEnd = bitsA + hA * rowBytesA;
  span.bBegin = bitsB;
  span.bEnd = bitsB + hB * rowBytesB;
  return kernels.anyOverlap(span) ? 1 : 0;
}

}  // namespace vexa

int TestMaskOverlap(const std::uint8_t* bitsA, const std::uint8_t* bitsB, int xA, int yA, int wA,
                    int hA, int xB, int yB, int wB, int hB) {
  return vexa::OverlapMasks(vexa::ActiveMaskKernels(), bitsA, bitsB, xA, yA, wA, hA, xB, yB, wB,
                            hB);
}
