// Rotate: a rotated copy of the whole source in a pre-sized destination of the same depth.
//
// Angles of 0 and 180 degrees are exact copies (a blit, and for 180 both mirrors); every
// other angle maps each destination pixel back into the source (rotate_sampling.h). Pixels
// that map outside the source get the fill colour. An alpha plane is turned the same way.
#include <cmath>

#include <vexa/blit.h>
#include <vexa/surface_implementation.h>

#include "render/rotate_angle.h"
#include "render/rotate_sampling.h"
#include "render/stretch_support.h"

namespace vexa {
namespace {

int RotateByHalfTurns(cSurfaceImplementation* source, cSurfaceImplementation* destination,
                      bool halfTurn) {
  const int copied = source->Blit(destination, 0, 0, 0, 0, source->width, source->height,
                                  kModeOpaque, kEffectNone, 0, kBlitCopyAlpha);
  if (copied && halfTurn) {
    destination->FlipHorizontal(0, 0, source->width, source->height);
    destination->FlipVertical(0, 0, source->width, source->height);
  }
  return copied;
}

int RotateSampled(cSurfaceImplementation* source, cSurfaceImplementation* destination, float angle,
                  int antialias, COLORREF fill, int transparency) {
  const RotationFrame frame = MakeRotationFrame(angle, source->width, source->height,
                                                destination->width, destination->height);
  const bool bilinear = antialias != 0;
  {
    SurfaceLocks locks(source, destination);
    if (!locks.locked()) return 0;
    // The transparency flag is for sources without an alpha plane.
    RotatePixels(*source, *destination, frame, bilinear, fill,
                 transparency != 0 && !source->alphaFirstRow);
  }
  if (source->alphaFirstRow && (destination->alphaFirstRow || destination->CreateAlpha())) {
    RotatePlane(source->alphaFirstRow, source->alphaPitch, source->width, source->height,
                destination->alphaFirstRow, destination->alphaPitch, destination->width,
                destination->height, frame, bilinear);
  }
  return 1;
}

}  // namespace
}  // namespace vexa

int cSurfaceImplementation::Rotate(cSurfaceImplementation* destination, float angle, int antialias,
                                   COLORREF fillColor, int transparency) {
  using namespace vexa;
  if (!std::isfinite(angle)) return 0;  // no turn to draw; the destination stays as it was
  const float reduced = ReduceAngle(angle);
  if (reduced == 0.0f || reduced == 180.0f) {
    return RotateByHalfTurns(this, destination, reduced == 180.0f);
  }
  if (!destination || destination->IsDeviceSurface() || destination->depth != depth) return 0;
  if (destination == this || HasCustomPixelRoutines()) {
    // Sampling reads the source while the destination is written, and needs plain pixels.
    TemporarySurface plain(MakePlainCopy(this, 0, 0, width, height));
    if (!plain) return 0;
    return RotateSampled(plain.get(), destination, angle, antialias, fillColor, transparency);
  }
  return RotateSampled(this, destination, angle, antialias, fillColor, transparency);
}
