// AVX2 map-stamp kernels: four plane words a step, two for what is left (the 128-bit policy,
// encoded with this file's AVX2 flags), then one. A 64-pixel mask at an odd offset takes two
// rows a 256-bit step, one in each half; a 256-pixel one a 256-bit step and a word a row.
#include "base/simd_avx2.h"
#include "base/simd_sse2.h"
#include "sprite/map_stamp_rows.h"

namespace vexa {

MapStampKernels MapStampKernelsAvx2() { return MapStampKernelsWith<Avx2, Sse2, StampWord64>(); }

}  // namespace vexa
