// BlitCallback: every pixel of the clipped rectangle (in transparent mode: every source pixel
// that is not the colour key) becomes callback(destination colour, source colour, user value).
#include <vexa/blit.h>
#include <vexa/palette.h>
#include <vexa/surface_implementation.h>

#include "render/blit_setup.h"

int cSurfaceImplementation::BlitCallback(cSurfaceImplementation* destination, int x, int y,
                                         int sourceX, int sourceY, int width, int height, int mode,
                                         BlitCallbackFn callback, void* userValue) {
  using namespace vexa;
  if (!destination || !callback || destination->IsDeviceSurface()) return 0;
  BlitRect r{x, y, sourceX, sourceY, width, height};
  if (!ClipBlitRect(*this, *destination, r)) return 0;
  if (destination->depth != depth) return 0;
  if (depth == 8 && !BuildInverseTable(destination->palette)) return 0;

  if (HasCustomPixelRoutines()) {
    cSurfaceImplementation* plain = CreateCompatible(r.width, r.height);
    if (!plain) return 0;
    Blit(plain, 0, 0, r.sourceX, r.sourceY, r.width, r.height, kModeOpaque, 0, 0, 0);
    plain->SetTransparentColor(transparentColor);
    const int result = plain->BlitCallback(destination, r.x, r.y, 0, 0, r.width, r.height, mode,
                                           callback, userValue);
    plain->Delete();
    return result;
  }
  const PixelRoutineTable* t = pixelRoutines;
  auto routine = mode == kModeTransparent ? t->copyTransparentCallback : t->copyOpaqueCallback;
  if (!routine) return 0;
  if (!Lock()) return 1;  // the rectangle was valid: a lock failure still reports 1
  if (destination->Lock()) {
    routine(destination, r.x, r.y, this, r.sourceX, r.sourceY, r.width, r.height, callback,
            userValue);
    destination->Unlock();
  }
  Unlock();
  return 1;
}
