// AVX2 forms of the 32-bit alpha conversions, eight pixels at a time (the arithmetic is in
// alpha_plane_kernels_vector.h).
#include "base/simd_avx2.h"
#include "surface/alpha_plane_kernels_vector.h"

namespace vexa {

AlphaRows32 AlphaRows32Avx2() { return {PremultiplyRow32With<Avx2>, DemultiplyRow32With<Avx2>}; }

}  // namespace vexa
