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
