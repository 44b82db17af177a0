// SSE2 forms of the 32-bit alpha conversions, four pixels at a time (the arithmetic is in
// alpha_plane_kernels_vector.h).
#include "base/simd_sse2.h"
#include "surface/alpha_plane_kernels_vector.h"

namespace vexa {

AlphaRows32 AlphaRows32Sse2() { return {PremultiplyRow32With<Sse2>, DemultiplyRow32With<Sse2>}; }

}  // namespace vexa
