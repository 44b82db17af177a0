// The steps every blit-like operation shares: clipping the rectangle against both surfaces
// and normalising the ink effect.
#pragma once

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
// when nothing is left.
bool ClipBlitRect(const PixelDescriptor& source, const PixelDescriptor& destination,
                  BlitRect& rect);

// The ink effect after normalisation: the code (0-13, without the RGBA flag) and parameter.
struct NormalisedEffect {
  std::uint32_t code;
  EffectParam parameter;
  bool invisible;  // nothing is to be drawn; the operation succeeds at once
};

// Semi-transparency 0 becomes no effect and 128 invisible; an effect object or an RGBA
// parameter becomes semi-transparency (or no effect, or invisible) from its alpha.
NormalisedEffect NormaliseEffect(std::uint32_t effect, EffectParam parameter);

}  // namespace vexa
