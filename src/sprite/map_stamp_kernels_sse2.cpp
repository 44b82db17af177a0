// SSE2 map-stamp kernels: two plane words a step.
#include "base/simd_sse2.h"
#include "sprite/map_stamp_rows.h"

namespace vexa {

MapStampKernels MapStampKernelsSse2() { return MapStampKernelsWith<Sse2, StampWord64>(); }

}  // namespace vexa
