// Scaled and turned copies of images: what the redraw cycle draws for a transformed sprite on
// a memory display, and what DrawTransformedSoftware draws for a display driver.
#pragma once

#include <vexa/sprite.h>
#include <vexa/surface_object.h>

namespace sprite {

// How a transformed copy is smoothed.
struct TransformSmoothing {
  bool resample = false;        // the stretch resamples (sprite flag 0x100000)
  bool transparentInk = false;  // ...leaving transparent pixels out (the ink's transparent bit)
  bool smoothTurn = false;      // the turn filters (sprite flag 0x200000)
};

// The copy of the whole of `source` scaled by g's scale and turned by g's angle about g's hot
// spot, sized to `rect` (GeometryRect(g); g's width and height are the source's) and made
// from `prototype`: stretched (truncated scaled size) first, then turned, quarter turns
// exactly. It takes the source's colour key; what the turn does not cover holds the key.
// Null when it cannot be made, or would be larger than any display. `previous`, an earlier
// copy the caller hands over (or null), is made again at the new size when it is a memory
// surface of the prototype's format, so that a sprite turning every frame does not allocate
// every frame; otherwise it is deleted.
cSurfaceObject* MakeTransformedCopy(cSurfaceImplementation* source, const SpriteGeometry& g,
                                    const RECT& rect, const TransformSmoothing& smoothing,
                                    const cSurfaceObject* prototype,
                                    cSurfaceObject* previous = nullptr);

}  // namespace sprite
