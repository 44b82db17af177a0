// Opaque copies of a list of rectangles from one surface to another: the steps that copy many
// small areas each frame (a window's present, the sprites' erase and save) hand them over at
// once.
#pragma once

#include <vexa/surface_implementation.h>

namespace vexa {

// One rectangle: where it lands on the destination and where it is read on the source.
struct BlitMove {
  int x, y;
  int sourceX, sourceY;
  int width, height;
};

// Makes each move as source->Blit(destination, ..., kModeOpaque, kEffectNone, 0, 0) would, in
// order, and returns how many drew. When Blit would do nothing for the pair but clip and call
// the source's opaque copy routine (a library memory surface as the source, the same depth, a
// destination that neither is a device surface nor takes blits over, separate pixel buffers),
// the surfaces are locked once and each clipped move goes straight to the routine: the checks
// and locks of one call cost about a quarter of a 32 x 32 copy, and a frame makes hundreds.
int BlitOpaqueMany(cSurfaceImplementation* source, cSurfaceImplementation* destination,
                   const BlitMove* moves, int count);

}  // namespace vexa
