// ReplaceColor: every pixel of the surface equal to one colour becomes another, through the
// replace-colour routine (entry 10).
#include <vexa/surface_implementation.h>

#include "palette/palette_ops.h"

namespace {

constexpr std::uint32_t kIndexFlag = 0x01000000;

}  // namespace

// The whole surface, not only the clip rectangle. At 8 bits both colours become their
// nearest palette indices first (a colour with bit 24 set names its index), and indices are
// replaced. 0 when the lock fails, else 1.
int cSurfaceImplementation::ReplaceColor(COLORREF oldColor, COLORREF newColor) {
  if (!pixelRoutines || !pixelRoutines->replaceColor) return 0;
  if (depth == 8) {
    const vexa::PaletteSearchFn search = vexa::PaletteSearchFor(flags);
    const auto index = [&](COLORREF c) {
      return (c & kIndexFlag)
                 ? c & 0xFF
                 : static_cast<std::uint32_t>(vexa::NearestIndexWith(palette, c, search));
    };
    oldColor = index(oldColor);
    newColor = index(newColor);
  }
  if (!Lock()) return 0;
  pixelRoutines->replaceColor(this, 0, 0, width, height, oldColor, newColor);
  Unlock();
  return 1;
}
