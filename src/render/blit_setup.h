// The steps every blit-like operation shares: clipping the rectangle against both surfaces
// and normalising the ink effect.
#pragma once

#include <algorithm>
#include <cstdint>

#include <vexa/blit.h>
#include <vexa/surface_implementation.h>

namespace vexa {

struct BlitRect {
  int x, y;              // destination position
  int sourceX, sourceY;  // source position
  int width, height;
};

// Clips the source rectangle to the source's extent (a negative source position moves the
// destination position the other way) and then to the destination's clip rectangle. False
// when nothing is left. Inline: every blit of a small sprite pays for it.
inline bool ClipBlitRect(const PixelDescriptor& source, const PixelDescriptor& destination,
                         BlitRect& r) {
  // 64-bit arithmetic: callers may pass extreme positions and sizes.
  std::int64_t x = r.x, y = r.y, sx = r.sourceX, sy = r.sourceY, w = r.width, h = r.height;
  if (sx < 0) x -= sx, w += sx, sx = 0;
  if (sy < 0) y -= sy, h += sy, sy = 0;
  w = std::min<std::int64_t>(w, source.width - sx);
  h = std::min<std::int64_t>(h, source.height - sy);
  if (x < destination.clipLeft)
    sx += destination.clipLeft - x, w -= destination.clipLeft - x, x = destination.clipLeft;
  if (y < destination.clipTop)
    sy += destination.clipTop - y, h -= destination.clipTop - y, y = destination.clipTop;
  w = std::min<std::int64_t>(w, destination.clipRight - x);
  h = std::min<std::int64_t>(h, destination.clipBottom - y);
  if (w <= 0 || h <= 0) return false;
  r = BlitRect{static_cast<int>(x),  static_cast<int>(y), static_cast<int>(sx),
               static_cast<int>(sy), static_cast<int>(w), static_cast<int>(h)};
  return true;
}

// The ink effect after normalisation: the code (0-13, without the RGBA flag) and parameter.
struct NormalisedEffect {
  std::uint32_t code;
  EffectParam parameter;
  bool invisible;  // nothing is to be drawn; the operation succeeds at once
};

// Semi-transparency 0 becomes no effect and 128 invisible; an effect object or an RGBA
// parameter becomes semi-transparency (or no effect, or invisible) from its alpha.
NormalisedEffect NormaliseEffect(std::uint32_t effect, EffectParam parameter);

// The same, with the commonest case (no effect, no RGBA parameter) settled inline.
inline NormalisedEffect NormaliseEffectInline(std::uint32_t effect, EffectParam parameter) {
  if ((effect & (kEffectCodeMask | kEffectParamIsRGBA)) == kEffectNone)
    return {kEffectNone, parameter, false};
  return NormaliseEffect(effect, parameter);
}

}  // namespace vexa
