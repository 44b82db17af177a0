// Rows of the image filter converter that have vector forms. Each vector form converts
// exactly as the scalar form does; the library picks one per row kind once, at its SIMD level.
#pragma once

#include <vexa/wintypes.h>

#include "base/simd_level.h"

namespace vexa {

// Converts count pixels; palette is the source palette's 256 entries (8-bit sources only).
using FilterRowFn = void (*)(BYTE* destination, const BYTE* source, int count,
                             const PALETTEENTRY* palette);

enum class FilterRowKind { Palette8To32, Bgr24To32, Bgrx32To24 };

// The form of a row kind at a level (a level without a vector form gives the scalar one).
FilterRowFn FilterRowAt(FilterRowKind kind, SimdLevel level);

// The AVX2 forms; null for kinds without one.
FilterRowFn FilterRowAvx2(FilterRowKind kind);

}  // namespace vexa
