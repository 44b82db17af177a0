// cSurfaceObject::Rotate: the public rotate operation, which picks the exact path for right
// angles and the sampled one for the rest.
#include <cmath>

#include <vexa/surface_object.h>

namespace {

// Turns `source` into `target` by an angle already reduced into [0, 360).
int RotateReduced(cSurfaceObject& source, cSurfaceObject* target, double angle, int antialias,
                  COLORREF fill, int transparency) {
  if (!target) return 0;
  if (angle == 90.0) return source.implementation->RotateQuarter(target->implementation, 0);
  if (angle == 270.0) return source.implementation->RotateQuarter(target->implementation, 1);
  if (angle == 180.0) {
    // The target becomes a copy of the source, mirrored both ways over its whole extent.
    target->Clone(source, -1, -1);
    if (!target->IsValid()) return 0;
    cSurfaceImplementation* turned = target->implementation;
    const int mirroredAcross = turned->FlipHorizontal(0, 0, turned->width, turned->height);
    const int mirroredDown = turned->FlipVertical(0, 0, turned->width, turned->height);
    return mirroredAcross && mirroredDown ? 1 : 0;
  }
  return source.implementation->Rotate(target->implementation, static_cast<float>(angle), antialias,
                                       fill, transparency);
}

}  // namespace

int cSurfaceObject::Rotate(cSurfaceObject* target, int angle, int antialias, COLORREF fill,
                           int transparency) {
  int reduced = angle % 360;
  if (reduced < 0) reduced += 360;
  return RotateReduced(*this, target, reduced, antialias, fill, transparency);
}

int cSurfaceObject::Rotate(cSurfaceObject* target, double angle, int antialias, COLORREF fill,
                           int transparency) {
  if (!std::isfinite(angle)) return 0;
  double reduced = std::fmod(angle, 360.0);
  if (reduced < 0.0) reduced += 360.0;
  return RotateReduced(*this, target, reduced, antialias, fill, transparency);
}
