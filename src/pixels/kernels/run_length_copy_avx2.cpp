#include "base/simd_avx2.h"
#include "pixels/kernels/run_length_copy.h"
#include "pixels/kernels/run_length_copy_rows.h"

namespace vexa {

RunLengthCopyRows RunLengthCopyRowsAvx2() { return RunLengthCopyRowsOf<Avx2>(); }

}  // namespace vexa
