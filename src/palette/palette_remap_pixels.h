// Replacing every 8-bit pixel value v by table[v]: how pixels follow a remap table when a
// surface changes palette. Kernels per instruction level give identical bytes.
#pragma once

#include <cstddef>

#include <vexa/wintypes.h>

#include "base/simd_level.h"
#include "palette/palette_remap_kernels.h"

namespace vexa {

using RemapIndexesFn = void (*)(BYTE* pixels, std::size_t count, const BYTE* table);

// The kernel of a level (falling back below a level the processor lacks).
RemapIndexesFn RemapIndexesAt(SimdLevel level);

// `count` pixels in place, with the kernel of the library's active level.
void RemapIndexes(BYTE* pixels, std::size_t count, const BYTE* table);

// A rectangle of `width` x `height` pixels whose rows start `pitch` bytes apart (negative for
// bottom-up storage).
void RemapIndexRect(BYTE* firstRow, std::ptrdiff_t pitch, int width, int height, const BYTE* table);

}  // namespace vexa
