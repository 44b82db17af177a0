// Entries 7 and 8: copies through a per-pixel callback. Both pixels become colours
// (0x00BBGGRR), the callback combines them, and its result is stored in the destination's
// pixel form: at 8 bits through the destination palette's inverse table (a result with bit 24
// set names an index directly, as colour values do everywhere), at 32 bits with the fourth
// byte 0. An 8-bit source pixel is read through its own palette.
#include "pixels/kernels/kernel_formats.h"
#include "pixels/kernels/kernel_routines.h"

namespace vexa {
namespace {

constexpr std::uint32_t kIndexFlag = 0x01000000;

template <class F>
std::uint32_t StoredPixelOf(const EffectContext& c, COLORREF color) {
  if constexpr (F::kIndex == kFormat8) {
    if (color & kIndexFlag) return color & 0xFF;
    return InverseIndex(c, RgbOf(color));
  } else {
    return F::PixelOfColor(color);
  }
}

template <class F, bool kTransparent>
void CallbackCopy(PixelDescriptor* t, int x, int y, const PixelDescriptor* s, int sx, int sy,
                  int width, int height, BlitCallbackFn callback, void* userValue) {
  if (width <= 0 || height <= 0 || !callback) return;
  EffectContext c;
  c.palette = t->palette;
  c.inverse = t->palette ? t->palette->inverseTable : nullptr;
  c.search = PaletteSearchFor(t->flags);
  const PaletteObject* sourcePalette = s->palette ? s->palette : t->palette;
  ForEachRowPair(t, x, y, s, sx, sy, height, [&](std::uint8_t* d, const std::uint8_t* src) {
    for (int i = 0; i < width; ++i) {
      const std::uint32_t sp = F::Load(src + i * F::kBytes);
      if (kTransparent && sp == s->transparentValue) continue;
      std::uint8_t* dp = d + i * F::kBytes;
      const COLORREF result = callback(F::ColorOfPixel(t->palette, F::Load(dp)),
                                       F::ColorOfPixel(sourcePalette, sp), userValue);
      F::Store(dp, StoredPixelOf<F>(c, result));
    }
  });
}

template <class F>
void Install(PixelRoutineTable& t) {
  t.copyTransparentCallback = CallbackCopy<F, true>;
  t.copyOpaqueCallback = CallbackCopy<F, false>;
}

}  // namespace

void InstallCallbackRoutines(PixelRoutineTableSet& tables) {
  Install<Format8>(tables[kFormat8]);
  Install<Format555>(tables[kFormat15]);
  Install<Format565>(tables[kFormat16]);
  Install<Format24>(tables[kFormat24]);
  Install<Format32>(tables[kFormat32]);
}

}  // namespace vexa
