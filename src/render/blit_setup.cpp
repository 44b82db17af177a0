#include "render/blit_setup.h"

#include <algorithm>

// Out of line, so that the interface's table and type information live in the library.
IEffectObject* IEffectObject::Destroy(unsigned) { return this; }

namespace vexa {
namespace {

// Alpha 0 draws nothing; any other alpha is semi-transparency with c = 127 - alpha / 2
// (alpha 255 gives c = 0: drawn opaque, but through the blend routine).
NormalisedEffect FromRgba(std::uint32_t rgba) {
  const std::uint32_t alpha = rgba >> 24;
  if (alpha == 0) return {kEffectNone, 0, true};
  return {kEffectSemiTransparent, (rgba >> 25) ^ 0x7F, false};
}

}  // namespace

bool ClipBlitRect(const PixelDescriptor& source, const PixelDescriptor& destination, BlitRect& r) {
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

NormalisedEffect NormaliseEffect(std::uint32_t effect, EffectParam parameter) {
  const std::uint32_t code = effect & kEffectCodeMask;
  switch (code) {
    case kEffectSemiTransparent:
      if ((parameter & 0xFFFFFFFFu) == 0) return {kEffectNone, 0, false};
      if ((parameter & 0xFFFFFFFFu) == 128) return {kEffectNone, 0, true};
      return {code, parameter, false};
    case kEffectObject:
      if (!parameter) return {kEffectNone, 0, false};
      {
        const std::uint32_t rgba =
            reinterpret_cast<IEffectObject*>(parameter)->GetRGBACoefficient();
        if ((rgba >> 24) == 255) return {kEffectNone, 0, false};  // an opaque object draws plainly
        return FromRgba(rgba);
      }
    case kEffectNone:
      if (effect & kEffectParamIsRGBA) return FromRgba(static_cast<std::uint32_t>(parameter));
      return {kEffectNone, parameter, false};
    default:
      return {code, parameter, false};
  }
}

}  // namespace vexa
