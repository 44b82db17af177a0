#include "base/simd_sse2.h"
#include "pixels/kernels/run_length_copy.h"
#include "pixels/kernels/run_length_copy_rows.h"

namespace vexa {

RunLengthCopyRows RunLengthCopyRowsSse2() { return RunLengthCopyRowsOf<Sse2>(); }

}  // namespace vexa
