#include "palette/palette_remap_pixels.h"

namespace vexa {

void RemapIndexesScalar(BYTE* pixels, std::size_t count, const BYTE* table) {
  for (std::size_t i = 0; i < count; ++i) pixels[i] = table[pixels[i]];
}

namespace {

RemapIndexesFn BuildRemapIndexes(SimdLevel level) {
  return level == SimdLevel::Avx2 ? RemapIndexesAvx2 : RemapIndexesScalar;
}

using RemapKernels = SimdTables<RemapIndexesFn, BuildRemapIndexes>;

}  // namespace

RemapIndexesFn RemapIndexesAt(SimdLevel level) { return RemapKernels::At(level); }

void RemapIndexes(BYTE* pixels, std::size_t count, const BYTE* table) {
  RemapKernels::Active()(pixels, count, table);
}

void RemapIndexRect(BYTE* firstRow, std::ptrdiff_t pitch, int width, int height,
                    const BYTE* table) {
  if (firstRow == nullptr || table == nullptr || width <= 0 || height <= 0) return;
  const auto rowBytes = static_cast<std::size_t>(width);
  if (pitch == width) {  // contiguous rows: one run
    RemapIndexes(firstRow, rowBytes * static_cast<std::size_t>(height), table);
    return;
  }
  for (int y = 0; y < height; ++y) RemapIndexes(firstRow + y * pitch, rowBytes, table);
}

}  // namespace vexa
