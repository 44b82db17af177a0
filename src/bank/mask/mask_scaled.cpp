// TestMaskOverlapScaled: B drawn scaled from its top-left corner. Every set pixel of A inside
// B's drawn box is mapped to the B pixel it shows; the column mapping is the same on every
// row, so it is worked out once.
#include <algorithm>
#include <memory>
#include <new>

#include <vexa/collision_mask.h>

#include "bank/mask/mask_tests.h"
#include "bank/mask/mask_transform.h"

namespace vexa {
namespace {

// int(extent * scale) as the drawing computes it, kept within the int range.
std::int64_t DrawnExtent(int extent, float scale) {
  const float drawn = static_cast<float>(extent) * scale;
  if (!(drawn > 0.0f)) return 0;
  return drawn >= 2147483647.0f ? 2147483647 : static_cast<std::int64_t>(drawn);
}

// The source index int(offset / scale), or -1 when it falls outside [0, limit).
int SourceIndex(std::int64_t offset, float scale, int limit) {
  const auto index = static_cast<std::int64_t>(static_cast<float>(offset) / scale);
  return index < limit ? static_cast<int>(index) : -1;
}

// B's column for each drawn column of the overlap; computed per pixel when the table cannot be
// allocated.
class ColumnMap {
 public:
  ColumnMap(std::int64_t firstOffset, std::int64_t count, float scale, int limit)
      : first_(firstOffset), scale_(scale), limit_(limit) {
    int* table = inline_;
    if (count > kInline) {
      heap_.reset(new (std::nothrow) int[static_cast<std::size_t>(count)]);
      table = heap_.get();
    }
    if (!table) return;
    for (std::int64_t i = 0; i < count; ++i) table[i] = SourceIndex(first_ + i, scale_, limit_);
    table_ = table;
  }
  int operator()(std::int64_t offset) const {
    return table_ ? table_[offset - first_] : SourceIndex(offset, scale_, limit_);
  }

 private:
  static constexpr int kInline = 1024;
  std::int64_t first_;
  float scale_;
  int limit_;
  int inline_[kInline];
  std::unique_ptr<int[]> heap_;
  const int* table_ = nullptr;
};

}  // namespace
}  // namespace vexa

int TestMaskOverlapScaled(const std::uint8_t* bitsA, const std::uint8_t* bitsB, int xA, int yA,
                          int wA, int hA, int xB, int yB, int wB, int hB, float scaleX,
                          float scaleY) {
  if (!bitsA || !bitsB || wA <= 0 || hA <= 0 || wB <= 0 || hB <= 0) return 0;
  if (!vexa::UsableMaskTransform(0.0f, scaleX, scaleY)) return 0;
  if (scaleX == 1.0f && scaleY == 1.0f) {
    return TestMaskOverlap(bitsA, bitsB, xA, yA, wA, hA, xB, yB, wB, hB);
  }
  const std::int64_t drawnW = vexa::DrawnExtent(wB, scaleX);
  const std::int64_t drawnH = vexa::DrawnExtent(hB, scaleY);
  const std::int64_t left = std::max<std::int64_t>(xA, xB);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{xA} + wA, xB + drawnW);
  const std::int64_t top = std::max<std::int64_t>(yA, yB);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{yA} + hA, yB + drawnH);
  if (right <= left || bottom <= top) return 0;

  const std::int64_t rowBytesA = MaskRowBytes(wA);
  const std::int64_t rowBytesB = MaskRowBytes(wB);
  const vexa::ColumnMap columns(left - xB, right - left, scaleX, wB);
  for (std::int64_t y = top; y < bottom; ++y) {
    const int sourceRow = vexa::SourceIndex(y - yB, scaleY, hB);
    if (sourceRow < 0) continue;
    const std::uint8_t* rowA = bitsA + (y - yA) * rowBytesA;
    const std::uint8_t* rowB = bitsB + sourceRow * rowBytesB;
    const bool hit = vexa::AnySetBitIn(rowA, left - xA, right - xA, [&](std::int64_t x) {
      const int column = columns(x + xA - xB);
      return column >= 0 && vexa::MaskRowBit(rowB, column);
    });
    if (hit) return 1;
  }
  return 0;
}
