#include "render/surface_scope.h"

#include <vexa/blit.h>

namespace vexa {

cSurfaceImplementation* MakePlainCopy(cSurfaceImplementation* source, int x, int y, int width,
                                      int height) {
  cSurfaceImplementation* copy = source->CreateCompatible(width, height);
  if (!copy) return nullptr;
  if (copy->HasCustomPixelRoutines() ||
      !source->Blit(copy, 0, 0, x, y, width, height, kModeOpaque, kEffectNone, 0, kBlitCopyAlpha)) {
    copy->Delete();
    return nullptr;
  }
  return copy;
}

}  // namespace vexa
