// Entries 9 and 10: mirroring the rows of a rectangle in place, and replacing one colour by
// another. Both work on stored pixel values, so the 15- and 16-bit tables share them (the
// replace routine reads the target's depth to convert its colours).
#include "pixels/kernels/kernel_formats.h"
#include "pixels/kernels/kernel_routines.h"

namespace vexa {
namespace {

template <int kBytes>
void SwapPixels(std::uint8_t* a, std::uint8_t* b) {
  std::uint8_t held[kBytes];
  std::memcpy(held, a, kBytes);
  std::memcpy(a, b, kBytes);
  std::memcpy(b, held, kBytes);
}

// Each row of the rectangle reversed: width / 2 swaps, the middle pixel of an odd row stays.
template <int kBytes>
void MirrorRows(PixelDescriptor* t, int x, int y, int pitch, int width, int height) {
  if (width <= 1 || height <= 0) return;
  std::uint8_t* row = t->PixelAddress(x, y);
  for (int r = 0; r < height; ++r, row += pitch) {
    std::uint8_t* left = row;
    std::uint8_t* right = row + (width - 1) * kBytes;
    for (int i = 0; i < width / 2; ++i, left += kBytes, right -= kBytes)
      SwapPixels<kBytes>(left, right);
  }
}

// The colour in the target's pixel form (at 8 bits the colour's low byte is the index).
std::uint32_t StoredValue(int depth, std::uint32_t color) {
  switch (FormatOfDepth(depth)) {
    case kFormat8:
      return color & 0xFF;
    case kFormat15:
      return ColorTo555(color);
    case kFormat16:
      return ColorTo565(color);
    default:
      return SwapRedBlue(color);
  }
}

template <class F>
void ReplaceColor(PixelDescriptor* t, int x, int y, int width, int height, std::uint32_t oldColor,
                  std::uint32_t newColor) {
  if (width <= 0 || height <= 0) return;
  const std::uint32_t from = StoredValue(t->depth, oldColor);
  const std::uint32_t to = StoredValue(t->depth, newColor);
  if (from == to) return;
  std::uint8_t* row = t->PixelAddress(x, y);
  for (int r = 0; r < height; ++r, row += t->pitch) {
    std::uint8_t* p = row;
    for (int i = 0; i < width; ++i, p += F::kBytes)
      if (F::Load(p) == from) F::Store(p, to);
  }
}

}  // namespace

void InstallMirrorReplaceRoutines(PixelRoutineTableSet& tables) {
  tables[kFormat8].mirrorRows = MirrorRows<1>;
  tables[kFormat8].replaceColor = ReplaceColor<Format8>;
  for (int f : {kFormat15, kFormat16}) {
    tables[f].mirrorRows = MirrorRows<2>;
    tables[f].replaceColor = ReplaceColor<Format565>;  // 16-bit values; the depth converts
  }
  tables[kFormat24].mirrorRows = MirrorRows<3>;
  tables[kFormat24].replaceColor = ReplaceColor<Format24>;
  tables[kFormat32].mirrorRows = MirrorRows<4>;
  tables[kFormat32].replaceColor = ReplaceColor<Format32>;
}

}  // namespace vexa
