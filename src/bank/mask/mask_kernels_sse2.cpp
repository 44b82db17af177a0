// SSE2 mask kernels: 16-byte chunks for the overlap test, 16 pixels per compare for the
// builder.
#include "bank/mask/mask_kernels_vector.h"
#include "base/simd_sse2.h"

namespace vexa {

MaskKernels MaskKernelsSse2() { return MaskKernelsWith<Sse2>(); }

}  // namespace vexa
