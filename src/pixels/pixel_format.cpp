#include "pixels/pixel_format.h"

#include <cstring>

#include <vexa/palette.h>

#include "pixels/pixel_routine_tables.h"

namespace vexa {

void ComputeTransparentValue(const PixelDescriptor& surface, std::uint32_t color,
                             std::uint32_t* transparentColor, std::uint32_t* transparentValue) {
  *transparentColor = color;
  *transparentValue = 0;
  if (color == 0) return;  // black is the default key in every format
  switch (FormatOfDepth(surface.depth)) {
    case kFormat8:
      *transparentValue = static_cast<std::uint32_t>(GetNearestIndex(surface.palette, color));
      if (surface.palette) {
        const PALETTEENTRY& e = surface.palette->entries[*transparentValue & 0xFF];
        *transparentColor = e.peRed | (e.peGreen << 8) | (e.peBlue << 16);
      }
      break;
    case kFormat15:
      *transparentValue = ColorTo555(color);
      *transparentColor = ColorFrom555(*transparentValue);
      break;
    case kFormat16:
      *transparentValue = ColorTo565(color);
      *transparentColor = ColorFrom565(*transparentValue);
      break;
    default:
      *transparentValue = SwapRedBlue(color);
      break;
  }
}

const PixelRoutineTable* StandardPixelRoutines(int formatIndex) {
  if (formatIndex < 0 || formatIndex >= kFormatCount) return nullptr;
  return &PixelRoutineTables()[formatIndex];
}

}  // namespace vexa
