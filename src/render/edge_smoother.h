// The neighbourhood filters of the edge-antialiasing pass (3 x 3 windows, cells numbered
// 0..8 row-major, 4 the centre; colours 0x00BBGGRR).
#pragma once

#include <vexa/wintypes.h>

namespace vexa {

// Smooths destination pixels on the source's outline: the user value is the source's
// transparent colour T. Pixels where the source is T, or where the source is T on both
// sides vertically or horizontally, keep the destination colour; others become
// (12 x centre + 2 x edge neighbours + corner neighbours) / 24 per channel, a neighbour whose
// source cell is T counting as the centre.
COLORREF EdgeSmoother(const std::uint32_t* destination, const std::uint32_t* source, void* user);

// As EdgeSmoother with T = black, and destination cells that are black replaced by the
// substitute colour in the user value first.
COLORREF SubstituteEdgeSmoother(const std::uint32_t* destination, const std::uint32_t* source,
                                void* user);

}  // namespace vexa
