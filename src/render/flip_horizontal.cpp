// FlipHorizontal: mirrors the rows of a rectangle (clipped to the clip rectangle) through the
// mirror-rows routine (entry 9), and the alpha plane's rows with them.
#include <vexa/surface_implementation.h>

#include "pixels/kernels/surface_rect.h"
#include "pixels/pixel_format.h"

// 0 when the rectangle lies wholly outside the surface, nothing is left after clipping, or the
// lock fails; a single column is its own mirror image (1 at once).
int cSurfaceImplementation::FlipHorizontal(int x, int y, int w, int h) {
  vexa::PixelRect r;
  if (!vexa::ClipToClipRect(*this, x, y, w, h, &r)) return 0;
  if (r.width == 1) return 1;
  if (!pixelRoutines || !pixelRoutines->mirrorRows) return 0;
  if (!Lock()) return 0;
  pixelRoutines->mirrorRows(this, r.x, r.y, pitch, r.width, r.height);
  if (alphaFirstRow) {
    PixelDescriptor alpha = vexa::AlphaPlaneView(*this);
    vexa::StandardPixelRoutines(vexa::kFormat8)
        ->mirrorRows(&alpha, r.x, r.y, alphaPitch, r.width, r.height);
  }
  Unlock();
  return 1;
}
