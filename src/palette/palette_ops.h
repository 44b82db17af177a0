// Palette operations with an explicit choice of nearest-colour search, for surfaces (which
// choose by their own copy of the CPU feature word: PaletteSearchFor(flags)), the renderer and
// the benchmarks. The exported functions of <vexa/palette.h> are these with the search of the
// library-wide feature word.
#pragma once

#include <atomic>
#include <cstdint>

#include <vexa/palette.h>

#include "palette/palette_search.h"

namespace vexa {

// The 15-bit key of a colour in the inverse table: the top five bits of red, green and blue.
constexpr unsigned ColorKey(COLORREF color) {
  return ((color >> 3) & 0x1F) << 10 | ((color >> 11) & 0x1F) << 5 | ((color >> 19) & 0x1F);
}

// A cell of an inverse table as lookups read it. Palettes shared by threads have their cells
// filled while other threads read them: every read and write of a cell is a single atomic byte
// access (a plain byte load or store on the machines we build for).
inline BYTE LoadInverseCell(const std::uint8_t* table, unsigned key) {
  return std::atomic_ref<std::uint8_t>(const_cast<std::uint8_t&>(table[key]))
      .load(std::memory_order_relaxed);
}

int NearestIndexWith(PaletteObject* palette, COLORREF color, PaletteSearchFn search);
int LookupInverseWith(PaletteObject* palette, COLORREF color, PaletteSearchFn search);
bool BuildRemapTableWith(BYTE* out, const PaletteObject* destination, const PaletteObject* source,
                         bool keepIndexZero, PaletteSearchFn search);

}  // namespace vexa
