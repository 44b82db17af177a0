// FillRectBlend in software: the colour modulated, then filled like FillRectColor. The mode
// and the modulation's alpha only matter to display drivers.
#include <vexa/surface_implementation.h>

namespace {

constexpr std::uint32_t kNoModulation = 0xFFFFFFFF;
constexpr std::uint32_t kIndexFlag = 0x01000000;

// Each channel of the colour (0x00BBGGRR) times the same channel of the modulation
// (0xAARRGGBB), divided by 255 and truncated.
COLORREF Modulate(COLORREF color, std::uint32_t modulation) {
  const std::uint32_t red = (color & 0xFF) * ((modulation >> 16) & 0xFF) / 255;
  const std::uint32_t green = ((color >> 8) & 0xFF) * ((modulation >> 8) & 0xFF) / 255;
  const std::uint32_t blue = ((color >> 16) & 0xFF) * (modulation & 0xFF) / 255;
  return red | green << 8 | blue << 16;
}

}  // namespace

int cSurfaceImplementation::FillRectBlend(int x, int y, int w, int h, COLORREF color, int,
                                          std::uint32_t modulation) {
  if (modulation != kNoModulation) {
    // A palette index is modulated as the colour it names.
    if (depth == 8 && (color & kIndexFlag)) color = GetPaletteColor(static_cast<int>(color & 0xFF));
    color = Modulate(color, modulation);
  }
  return FillRectColor(x, y, w, h, color);
}
