// SSE2 forms of the 32-bit alpha conversions, four pixels at a time (the arithmetic is in
// alpha_plane_kernels_vector.h).
#include "base/simd_sse2.h"
#include "surface/alpha_plane_kernels_vector.h"

namespace vexa {

void PremultiplyRow32Sse2(std::uint8_t* pixels, const std::uint8_t* alpha, int width) {
  PremultiplyRow32With<Sse2>(pixels, alpha, width);
}

void DemultiplyRow32Sse2(std::uint8_t* pixels, const std::uint8_t* alpha, int width) {
  DemultiplyRow32With<Sse2>(pixels, alpha, width);
}

}  // namespace vexa
