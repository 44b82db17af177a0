// ResampleSurface: the smooth resampler as an operation of its own (thumbnails, icons).
#include <vexa/blit.h>
#include <vexa/surface_implementation.h>

#include "render/resample.h"
#include "render/stretch_support.h"

namespace vexa {

int ResampleSurface(cSurfaceImplementation* source, int sourceX, int sourceY, int sourceWidth,
                    int sourceHeight, cSurfaceImplementation* target, int targetWidth,
                    int targetHeight, int transparencyAware, COLORREF transparentColor) {
  if (!source || !target) return 0;
  if (sourceX < 0 || sourceY < 0 || sourceWidth < 1 || sourceHeight < 1 ||
      std::int64_t{sourceX} + sourceWidth > source->width ||
      std::int64_t{sourceY} + sourceHeight > source->height) {
    return 0;
  }
  if (targetWidth < 1 || targetHeight < 1 || targetWidth > target->width ||
      targetHeight > target->height) {
    return 0;
  }
  if (sourceWidth == targetWidth && sourceHeight == targetHeight) {
    return source->Blit(target, 0, 0, sourceX, sourceY, sourceWidth, sourceHeight, kModeOpaque,
                        kEffectNone, 0, 0);
  }
  if (source->HasCustomPixelRoutines()) {
    TemporarySurface plain(MakePlainCopy(source, sourceX, sourceY, sourceWidth, sourceHeight));
    if (!plain) return 0;
    return ResampleSurface(plain.get(), 0, 0, sourceWidth, sourceHeight, target, targetWidth,
                           targetHeight, transparencyAware, transparentColor);
  }
  SurfaceLocks locks(source, target);
  if (!locks.locked()) return 0;
  return ResamplePixels(*source, sourceX, sourceY, sourceWidth, sourceHeight, *target, targetWidth,
                        targetHeight, transparencyAware != 0, transparentColor)
             ? 1
             : 0;
}

}  // namespace vexa
