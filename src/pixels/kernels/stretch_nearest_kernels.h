// Row kernels of the nearest-pixel scaler, per pixel size and instruction level.
// Declarations only: the vector files include this header.
//
// A kernel writes `count` pixels to `out`, pixel i being the source pixel at index
// columns[i] of `source` (indices count pixels, not bytes; they never decrease, and all are
// below `sourceCount`, the pixels the row holds). Pixels are moved as raw values.
#pragma once

#include <cstdint>

#include "base/simd_level.h"

namespace vexa {

using NearestRowFn = void (*)(const std::uint8_t* source, int sourceCount,
                              const std::int32_t* columns, std::uint8_t* out, int count);

void NearestRow1(const std::uint8_t* source, int sourceCount, const std::int32_t* columns,
                 std::uint8_t* out, int count);
void NearestRow2(const std::uint8_t* source, int sourceCount, const std::int32_t* columns,
                 std::uint8_t* out, int count);
void NearestRow3(const std::uint8_t* source, int sourceCount, const std::int32_t* columns,
                 std::uint8_t* out, int count);
void NearestRow4(const std::uint8_t* source, int sourceCount, const std::int32_t* columns,
                 std::uint8_t* out, int count);

void NearestRow4Avx2(const std::uint8_t* source, int sourceCount, const std::int32_t* columns,
                     std::uint8_t* out, int count);

// Entry n - 1 scales pixels of n bytes.
struct NearestRowKernels {
  NearestRowFn rows[4];
};

const NearestRowKernels& NearestRowKernelsAt(SimdLevel level);
const NearestRowKernels& ActiveNearestRowKernels();

}  // namespace vexa
