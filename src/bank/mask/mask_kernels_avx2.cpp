// AVX2 mask kernels: 32-byte chunks for the overlap test, 32 pixels per step for the
// builder.
#include "bank/mask/mask_kernels_vector.h"
#include "base/simd_avx2.h"

namespace vexa {

MaskKernels MaskKernelsAvx2() { return MaskKernelsWith<Avx2>(); }

}  // namespace vexa
