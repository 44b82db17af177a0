// Per-level kernels of RemapIndexes (palette_remap_pixels.h). Declarations only, so that the
// SIMD files share no inline code with other files.
#pragma once

#include <cstddef>

#include <vexa/wintypes.h>

namespace vexa {

void RemapIndexesScalar(BYTE* pixels, std::size_t count, const BYTE* table);
void RemapIndexesAvx2(BYTE* pixels, std::size_t count, const BYTE* table);

}  // namespace vexa
