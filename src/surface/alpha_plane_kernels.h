// Row kernels of PremultiplyAlpha and DemultiplyAlpha, per pixel format and instruction
// level. Declarations only: the vector files include this header and nothing that defines
// inline code, so none of their code can be shared with other files.
//
// Each kernel converts `width` pixels of one row in place, taking pixel x's alpha from
// alpha[x]. For every pixel and every colour component c, in its stored width (5, 6 or 8
// bits), with a the pixel's alpha:
//   a = 255   the pixel is unchanged
//   a = 0     every colour bit becomes 0 (a 32-bit pixel's fourth byte stays as it was)
//   otherwise premultiply  c' = c * a / 255
//             demultiply   c' = min(c8 * 255 / a, 255) narrowed back to the stored width,
//                          where c8 is c widened to 8 bits by shifting (c x 8 for 5 bits,
//                          c x 4 for 6) and narrowing keeps the top bits of the result
// All divisions are integer divisions. The fourth byte of a 32-bit pixel is never changed;
// a rebuilt 15-bit pixel has bit 15 clear, as every pixel written in that format.
#pragma once

#include <cstdint>

#include "base/simd_level.h"

namespace vexa {

using AlphaRowFn = void (*)(std::uint8_t* pixels, const std::uint8_t* alpha, int width);

// The scalar references.
void PremultiplyRow15(std::uint8_t* pixels, const std::uint8_t* alpha, int width);
void PremultiplyRow16(std::uint8_t* pixels, const std::uint8_t* alpha, int width);
void PremultiplyRow24(std::uint8_t* pixels, const std::uint8_t* alpha, int width);
void PremultiplyRow32(std::uint8_t* pixels, const std::uint8_t* alpha, int width);
void DemultiplyRow15(std::uint8_t* pixels, const std::uint8_t* alpha, int width);
void DemultiplyRow16(std::uint8_t* pixels, const std::uint8_t* alpha, int width);
void DemultiplyRow24(std::uint8_t* pixels, const std::uint8_t* alpha, int width);
void DemultiplyRow32(std::uint8_t* pixels, const std::uint8_t* alpha, int width);

// The 32-bit rows of the vector levels, made in the files built with their instruction sets.
struct AlphaRows32 {
  AlphaRowFn premultiply;
  AlphaRowFn demultiply;
};
AlphaRows32 AlphaRows32Sse2();
AlphaRows32 AlphaRows32Avx2();

// The kernels of one instruction level, indexed by format index (entry 0, the 8-bit
// format, is null: 8-bit surfaces are never converted).
struct AlphaRowKernels {
  AlphaRowFn premultiply[5];
  AlphaRowFn demultiply[5];
};

// The kernels at `level` (a level the processor lacks falls back to the best one below it).
const AlphaRowKernels& AlphaKernelsAt(SimdLevel level);
// The kernels at the library's active level, chosen once.
const AlphaRowKernels& ActiveAlphaKernels();

}  // namespace vexa
