// AVX2 forms of the 32-bit alpha conversions, eight pixels at a time (the arithmetic is in
// alpha_plane_kernels_vector.h).
#include "base/simd_avx2.h"
#include "surface/alpha_plane_kernels_vector.h"

namespace vexa {

void PremultiplyRow32Avx2(std::uint8_t* pixels, const std::uint8_t* alpha, int width) {
  PremultiplyRow32With<Avx2>(pixels, alpha, width);
}

void DemultiplyRow32Avx2(std::uint8_t* pixels, const std::uint8_t* alpha, int width) {
  DemultiplyRow32With<Avx2>(pixels, alpha, width);
}

}  // namespace vexa
