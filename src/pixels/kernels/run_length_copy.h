// The plain transparent copy from the run-length form (run_length_form.h), per instruction
// level: skip runs leave the destination alone and copy runs move their bytes. The scalar form
// lives in run_length_blit.cpp; the vector levels move runs in whole vectors and are picked
// here. Declarations only: the vector files include this header.
#pragma once

#include <cstdint>

#include "base/simd_level.h"

namespace vexa {

// Copies `rows` rows of the form starting at row `sy`, columns [sx, sx + width), to `out`
// (rows `pitch` apart). The caller has read the block's size field (`size`, at least the
// field itself) and made sure that every one of the rows lies inside the row table; each row's
// entries, runs and pixels are still checked as they are read.
using RunLengthCopyRowsFn = void (*)(const std::uint8_t* block, std::uint32_t size,
                                     std::uint8_t* out, int pitch, int sx, int sy, int width,
                                     int rows);

// Entry n - 1 copies pixels of n bytes.
struct RunLengthCopyRows {
  RunLengthCopyRowsFn rows[4];
};

RunLengthCopyRows RunLengthCopyRowsSse2();
RunLengthCopyRows RunLengthCopyRowsAvx2();

}  // namespace vexa
