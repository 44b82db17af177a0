#include "render/surface_scope.h"

#include <vexa/blit.h>

namespace vexa {

SurfaceLocks::SurfaceLocks(cSurfaceImplementation* first, cSurfaceImplementation* second)
    : first_(first), second_(second) {
  if (!first_->Lock()) return;
  if (!second_->Lock()) {
    first_->Unlock();
    return;
  }
  locked_ = true;
}

SurfaceLocks::~SurfaceLocks() {
  if (!locked_) return;
  second_->Unlock();
  first_->Unlock();
}

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
