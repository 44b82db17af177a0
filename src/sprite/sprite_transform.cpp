// Scaled and turned copies of images, and the library's own drawing of a transformed blit.
#include "sprite/sprite_transform.h"

#include <cmath>
#include <cstdint>

#include <vexa/blit.h>
#include <vexa/library.h>
#include <vexa/transformed_blit.h>

#include "render/stretch_flags.h"
#include "sprite/sprite_internal.h"

namespace sprite {
namespace {

constexpr std::int64_t kLargestTransformedSide = 16384;
constexpr std::int64_t kLargestTransformedPixels = std::int64_t{1} << 26;

bool IsTransformed(const SpriteGeometry& g) {
  return g.scaleX != 1.0f || g.scaleY != 1.0f || g.angle != 0.0f;
}

// A memory surface of the prototype's kind and depth at the new size, made again in place
// (surfaces of 8 x 8 or less come from elsewhere: see cSurfaceObject::Create).
bool Remade(cSurfaceObject* previous, int w, int h, const cSurfaceObject* prototype) {
  cSurfaceImplementation* old = previous->implementation;
  cSurfaceImplementation* model = prototype->implementation;
  if (w <= 8 && h <= 8) return false;
  if (old->GetKind() != kKindMemory || model->GetKind() != kKindMemory) return false;
  if (old->depth != model->depth) return false;
  return old->Create(w, h) != 0;
}

cSurfaceObject* NewCopy(int w, int h, const cSurfaceObject* prototype, cSurfaceObject* previous) {
  if (previous && Remade(previous, w, h, prototype)) return previous;
  if (previous) DeleteSurfaceObject(previous);
  cSurfaceObject* made = NewSurfaceObject();
  if (!made) return nullptr;
  if (!made->Create(w, h, prototype)) {
    DeleteSurfaceObject(made);
    return nullptr;
  }
  return made;
}

}  // namespace

cSurfaceObject* MakeTransformedCopy(cSurfaceImplementation* source, const SpriteGeometry& g,
                                    const RECT& rect, const TransformSmoothing& smoothing,
                                    const cSurfaceObject* prototype, cSurfaceObject* previous) {
  const std::int64_t w = std::int64_t{rect.right} - rect.left;
  const std::int64_t h = std::int64_t{rect.bottom} - rect.top;
  if (!source || !prototype || Empty(rect) || w > kLargestTransformedSide ||
      h > kLargestTransformedSide || w * h > kLargestTransformedPixels) {
    if (previous) DeleteSurfaceObject(previous);
    return nullptr;
  }
  cSurfaceObject* made = NewCopy(static_cast<int>(w), static_cast<int>(h), prototype, previous);
  if (!made) return nullptr;
  cSurfaceImplementation* target = made->implementation;
  target->SetTransparentColor(source->transparentColor);
  const std::uint32_t stretch =
      smoothing.resample ? (smoothing.transparentInk
                                ? kStretchResample | kStretchResampleTransparent | kStretchCopyAlpha
                                : kStretchResample | kStretchCopyAlpha)
                         : kStretchCopyAlpha;
  bool ok = true;
  if (g.angle == 0.0f) {
    ok = source->StretchBlit(target, 0, 0, target->width, target->height, 0, 0, source->width,
                             source->height, kModeOpaque, kEffectNone, 0, stretch) != 0;
  } else {
    // A sampled turn writes every pixel of the copy (the key where it maps outside the image);
    // quarter and half turns copy the image, and the key goes under them first.
    const bool sampled = g.angle != 90.0f && g.angle != 180.0f && g.angle != 270.0f;
    if (!sampled)
      target->FillRectColor(0, 0, target->width, target->height, source->transparentColor);
    cSurfaceObject scaled;
    cSurfaceImplementation* turned = source;
    if (g.scaleX != 1.0f || g.scaleY != 1.0f) {
      const double sw = std::trunc(static_cast<double>(source->width) * g.scaleX);
      const double sh = std::trunc(static_cast<double>(source->height) * g.scaleY);
      if (sw < 1 || sh < 1 || sw > kLargestTransformedSide || sh > kLargestTransformedSide ||
          !scaled.Create(static_cast<int>(sw), static_cast<int>(sh), prototype)) {
        ok = false;
      } else {
        scaled.implementation->SetTransparentColor(source->transparentColor);
        ok = source->StretchBlit(scaled.implementation, 0, 0, static_cast<int>(sw),
                                 static_cast<int>(sh), 0, 0, source->width, source->height,
                                 kModeOpaque, kEffectNone, 0, stretch) != 0;
        turned = scaled.implementation;
      }
    }
    if (ok) {
      if (g.angle == 90.0f || g.angle == 270.0f)
        ok = turned->RotateQuarter(target, g.angle == 90.0f ? 0 : 1) != 0;
      else
        ok = turned->Rotate(target, g.angle, smoothing.smoothTurn ? 1 : 0, source->transparentColor,
                            1) != 0;
    }
  }
  if (!ok) {
    DeleteSurfaceObject(made);
    return nullptr;
  }
  return made;
}

}  // namespace sprite

using namespace sprite;

int DrawTransformedSoftware(cSurfaceImplementation* source, cSurfaceImplementation* destination,
                            const TransformedBlitArgs& t) {
  if (!source || !destination || t.sourceWidth <= 0 || t.sourceHeight <= 0 || t.sourceX < 0 ||
      t.sourceY < 0 || std::int64_t{t.sourceX} + t.sourceWidth > source->width ||
      std::int64_t{t.sourceY} + t.sourceHeight > source->height)
    return 0;
  if (!std::isfinite(t.x) || !std::isfinite(t.y) || std::fabs(t.x) > 1e9f || std::fabs(t.y) > 1e9f)
    return 0;
  SpriteGeometry g{};
  g.x = static_cast<std::int32_t>(std::floor(t.x));
  g.y = static_cast<std::int32_t>(std::floor(t.y));
  g.hotSpotX = t.hotSpotX;
  g.hotSpotY = t.hotSpotY;
  g.width = t.sourceWidth;
  g.height = t.sourceHeight;
  g.scaleX = NormalScale(t.scaleX);
  g.scaleY = NormalScale(t.scaleY);
  g.angle = NormalAngle(t.angle);
  const RECT rect = GeometryRect(g);
  if (Empty(rect)) return 0;
  const std::uint32_t blitFlags = (t.options & kTransformEdgeRing) ? kBlitAntialias : 0;
  if (!IsTransformed(g))
    return source->Blit(destination, rect.left, rect.top, t.sourceX, t.sourceY, t.sourceWidth,
                        t.sourceHeight, t.mode, t.effect, t.parameter, blitFlags);
  // Work copies in memory, in the source's format.
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, source->depth, kTypeMemory, kDriverNone);
  if (!prototype || !prototype->IsValid()) return 0;
  cSurfaceObject part;
  cSurfaceImplementation* whole = source;
  if (t.sourceX != 0 || t.sourceY != 0 || t.sourceWidth != source->width ||
      t.sourceHeight != source->height) {
    if (!part.Create(t.sourceWidth, t.sourceHeight, prototype)) return 0;
    part.implementation->SetPaletteFrom(source, 0);
    part.implementation->SetTransparentColor(source->transparentColor);
    if (source->alphaFirstRow) part.implementation->CreateAlpha();
    source->Blit(part.implementation, 0, 0, t.sourceX, t.sourceY, t.sourceWidth, t.sourceHeight,
                 kModeOpaque, kEffectNone, 0, kBlitCopyAlpha);
    whole = part.implementation;
  }
  TransformSmoothing smoothing;
  smoothing.resample = (t.options & kTransformResample) != 0;
  smoothing.transparentInk = t.mode == kModeTransparent;
  smoothing.smoothTurn = (t.options & kTransformSmoothTurn) != 0;
  cSurfaceObject* copy = MakeTransformedCopy(whole, g, rect, smoothing, prototype);
  if (!copy) return 0;
  cSurfaceImplementation* turned = copy->implementation;
  const int result = turned->Blit(destination, rect.left, rect.top, 0, 0, turned->width,
                                  turned->height, t.mode, t.effect, t.parameter, blitFlags);
  DeleteSurfaceObject(copy);
  return result;
}
