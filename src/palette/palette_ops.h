// Palette operations with an explicit choice of nearest-colour search, for surfaces (which
// choose by their own copy of the CPU feature word: PaletteSearchFor(flags)), the renderer and
// the benchmarks. The exported functions of <vexa/palette.h> are these with the search of the
// library-wide feature word.
#pragma once

#include <vexa/palette.h>

#include "palette/palette_search.h"

namespace vexa {

// The 15-bit key of a colour in the inverse table: the top five bits of red, green and blue.
constexpr unsigned ColourKey(COLORREF colour) {
  return ((colour >> 3) & 0x1F) << 10 | ((colour >> 11) & 0x1F) << 5 | ((colour >> 19) & 0x1F);
}

int NearestIndexWith(PaletteObject* palette, COLORREF colour, PaletteSearchFn search);
int LookupInverseWith(PaletteObject* palette, COLORREF colour, PaletteSearchFn search);
bool BuildRemapTableWith(BYTE* out, const PaletteObject* destination, const PaletteObject* source,
                         bool keepIndexZero, PaletteSearchFn search);

}  // namespace vexa
