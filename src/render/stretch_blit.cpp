// StretchBlit: draws a source rectangle scaled to a destination rectangle of another size,
// with the drawing modes and ink effects of Blit.
//
// Equal sizes are a plain Blit. Otherwise the source rectangle must lie wholly inside the
// source (it is never clipped) and some of the destination rectangle must be visible through
// the destination's clip rectangle. Then either
// - the direct path scales straight into the destination: smooth resampling of the visible
//   part (through a temporary surface compatible with the source, blitted with the caller's
//   mode and effect),
//   or nearest-pixel scaling when both surfaces have one depth and no mode or effect applies;
// - or the temporary path scales the visible part into a temporary surface compatible with
//   the source and blits that with the caller's mode and effect (transparent mode, effects,
//   and changes of depth without resampling).
#include <algorithm>

#include <vexa/blit.h>
#include <vexa/surface_implementation.h>

#include "pixels/kernels/stretch_nearest.h"
#include "render/blit_setup.h"
#include "render/resample.h"
#include "render/stretch_flags.h"
#include "render/stretch_support.h"

namespace vexa {
namespace {

struct StretchRequest {
  int x, y, width, height;                          // destination rectangle
  int sourceX, sourceY, sourceWidth, sourceHeight;  // source rectangle
  int mode;
  std::uint32_t effect;
  EffectParam parameter;
  std::uint32_t flags;
};

// The destination rectangle cut to the destination's clip rectangle.
struct Visible {
  std::int64_t left, top, right, bottom;
  bool clipped;
  bool Empty() const { return left >= right || top >= bottom; }
  int Width() const { return static_cast<int>(right - left); }
  int Height() const { return static_cast<int>(bottom - top); }
};

Visible VisiblePart(const PixelDescriptor& destination, const StretchRequest& r) {
  const std::int64_t right = std::int64_t{r.x} + r.width;
  const std::int64_t bottom = std::int64_t{r.y} + r.height;
  Visible v{std::max<std::int64_t>(r.x, destination.clipLeft),
            std::max<std::int64_t>(r.y, destination.clipTop),
            std::min<std::int64_t>(right, destination.clipRight),
            std::min<std::int64_t>(bottom, destination.clipBottom), false};
  v.clipped = v.left != r.x || v.top != r.y || v.right != right || v.bottom != bottom;
  return v;
}

bool SourceRectInside(const PixelDescriptor& source, const StretchRequest& r) {
  return r.sourceX >= 0 && r.sourceY >= 0 && r.sourceWidth >= 1 && r.sourceHeight >= 1 &&
         std::int64_t{r.sourceX} + r.sourceWidth <= source.width &&
         std::int64_t{r.sourceY} + r.sourceHeight <= source.height;
}

std::uint32_t BlitFlagsOf(std::uint32_t stretchFlags) {
  return (stretchFlags & kStretchCopyAlpha) ? kBlitCopyAlpha : 0;
}

// A view of the destination rectangle as a surface of its own, for resampling straight into
// it. Its colours are narrowed with the source's palette, as a temporary surface compatible
// with the source would narrow them before its pixels were copied.
PixelDescriptor DestinationView(const cSurfaceImplementation& destination,
                                const cSurfaceImplementation& source, const StretchRequest& r) {
  PixelDescriptor view = destination;
  view.firstRow = destination.PixelAddress(r.x, r.y);
  view.width = r.width;
  view.height = r.height;
  view.clipLeft = view.clipTop = 0;
  view.clipRight = r.width;
  view.clipBottom = r.height;
  view.palette = source.palette;
  view.alphaFirstRow = nullptr;
  return view;
}

ResampleWindow WindowOf(const StretchRequest& r, const Visible& visible) {
  return ResampleWindow{static_cast<int>(visible.left - r.x), static_cast<int>(visible.top - r.y),
                        visible.Width(), visible.Height()};
}

void ResampleAlphaInto(const cSurfaceImplementation& source, const StretchRequest& r,
                       const ResampleWindow& window, std::uint8_t* target,
                       std::ptrdiff_t targetPitch) {
  ResamplePlane(source.AlphaRow(r.sourceY) + r.sourceX, source.alphaPitch, r.sourceWidth,
                r.sourceHeight, target, targetPitch, r.width, r.height, window);
}

// Smooth resampling of the visible part of the destination rectangle only (the rectangle may
// be far larger than the destination), through a temporary surface compatible with the source
// that is then blitted with the caller's mode, effect and alpha flag. When that blit could
// only copy the pixels unchanged (opaque, no effect, one depth, wholly visible, another
// surface) the resampler writes into the destination directly, with the same result. False
// when nothing could be drawn (memory ran out).
bool StretchSmooth(cSurfaceImplementation* source, cSurfaceImplementation* destination,
                   const StretchRequest& r, const NormalisedEffect& ink, const Visible& visible) {
  const bool aware = source->alphaFirstRow || (r.flags & kStretchResampleTransparent);
  const bool copyAlpha = (r.flags & kStretchCopyAlpha) != 0;
  const ResampleWindow window = WindowOf(r, visible);
  if (r.mode == kModeOpaque && ink.code == kEffectNone && !visible.clipped &&
      source->depth == destination->depth && source != destination) {
    PixelDescriptor view = DestinationView(*destination, *source, r);
    if (!ResamplePixels(*source, r.sourceX, r.sourceY, r.sourceWidth, r.sourceHeight, view, r.width,
                        r.height, window, aware, source->transparentColor)) {
      return false;
    }
    if (copyAlpha && source->alphaFirstRow &&
        (destination->alphaFirstRow || destination->CreateAlpha())) {
      ResampleAlphaInto(*source, r, window, destination->AlphaRow(r.y) + r.x,
                        destination->alphaPitch);
    }
    return true;
  }
  TemporarySurface temporary(source->CreateCompatible(window.width, window.height));
  if (!temporary || !temporary->Lock()) return false;
  const bool drawn =
      ResamplePixels(*source, r.sourceX, r.sourceY, r.sourceWidth, r.sourceHeight, *temporary.get(),
                     r.width, r.height, window, aware, source->transparentColor);
  if (drawn && source->alphaFirstRow && (r.mode == kModeTransparent || copyAlpha) &&
      temporary->CreateAlpha()) {
    ResampleAlphaInto(*source, r, window, temporary->alphaFirstRow, temporary->alphaPitch);
  }
  temporary->Unlock();
  if (!drawn) return false;
  temporary->Blit(destination, static_cast<int>(visible.left), static_cast<int>(visible.top), 0, 0,
                  window.width, window.height, r.mode, r.effect, r.parameter, BlitFlagsOf(r.flags));
  return true;
}

void StretchNearestInto(cSurfaceImplementation* source, cSurfaceImplementation* destination,
                        const StretchRequest& r, const Visible& visible) {
  const NearestWindow window{visible.left - r.x, visible.top - r.y, visible.right - r.x,
                             visible.bottom - r.y};
  const NearestPlane from{source->PixelAddress(r.sourceX, r.sourceY), source->pitch,
                          source->bytesPerPixel};
  const int left = static_cast<int>(visible.left), top = static_cast<int>(visible.top);
  const NearestPlane to{destination->PixelAddress(left, top), destination->pitch,
                        destination->bytesPerPixel};
  StretchNearest(from, r.sourceWidth, r.sourceHeight, to, r.width, r.height, window);
  if (!(r.flags & kStretchCopyAlpha) || !source->alphaFirstRow) return;
  if (!destination->alphaFirstRow && !destination->CreateAlpha()) return;
  const NearestPlane alphaFrom{source->AlphaRow(r.sourceY) + r.sourceX, source->alphaPitch, 1};
  const NearestPlane alphaTo{destination->AlphaRow(top) + left, destination->alphaPitch, 1};
  StretchNearest(alphaFrom, r.sourceWidth, r.sourceHeight, alphaTo, r.width, r.height, window);
}

int StretchDirect(cSurfaceImplementation* source, cSurfaceImplementation* destination,
                  const StretchRequest& r, const NormalisedEffect& ink, const Visible& visible) {
  SurfaceLocks locks(source, destination);
  if (!locks.locked()) return 0;
  if (r.flags & (kStretchResample | kStretchResampleTransparent)) {
    if (!StretchSmooth(source, destination, r, ink, visible)) return 0;
  } else {
    StretchNearestInto(source, destination, r, visible);
  }
  return 1;
}

// Mode 1, an effect, or a change of depth without resampling: the visible part is scaled
// into a temporary surface compatible with the source, which is then blitted.
int StretchThroughTemporary(cSurfaceImplementation* source, cSurfaceImplementation* destination,
                            const StretchRequest& r, const Visible& visible) {
  TemporarySurface temporary(source->CreateCompatible(visible.Width(), visible.Height()));
  if (!temporary) return 0;
  if (temporary->Lock()) {
    FillRaw(*temporary.get(), temporary->transparentValue);
    temporary->Unlock();
  }
  const bool copyAlpha = (r.flags & kStretchCopyAlpha) != 0;
  const std::uint32_t innerFlags =
      (r.mode == kModeTransparent || copyAlpha) ? kStretchCopyAlpha : 0;
  source->StretchBlit(temporary.get(), static_cast<int>(r.x - visible.left),
                      static_cast<int>(r.y - visible.top), r.width, r.height, r.sourceX, r.sourceY,
                      r.sourceWidth, r.sourceHeight, kModeOpaque, kEffectNone, 0, innerFlags);
  temporary->Blit(destination, static_cast<int>(visible.left), static_cast<int>(visible.top), 0, 0,
                  visible.Width(), visible.Height(), r.mode, r.effect, r.parameter,
                  BlitFlagsOf(r.flags));
  return 1;
}

int Stretch(cSurfaceImplementation* source, cSurfaceImplementation* destination,
            const StretchRequest& r) {
  const std::uint32_t code = r.effect & kEffectCodeMask;
  if (r.mode < 0 || r.mode >= 2 || code >= kEffectCodeCount || code == kEffectUnassigned) return 0;
  if (!destination || destination->IsDeviceSurface()) return 0;
  if (!SourceRectInside(*source, r)) return 0;
  const Visible visible = VisiblePart(*destination, r);
  if (visible.Empty()) return 0;
  if (destination->HandlesStretchFrom()) {
    return destination->StretchBlitFrom(source, r.x, r.y, r.width, r.height, r.sourceX, r.sourceY,
                                        r.sourceWidth, r.sourceHeight, r.mode, r.effect,
                                        r.parameter, r.flags);
  }
  const NormalisedEffect ink = NormaliseEffect(r.effect, r.parameter);
  if (ink.invisible) return 1;
  const bool resample = (r.flags & (kStretchResample | kStretchResampleTransparent)) != 0;
  const bool plainCopy =
      source->depth == destination->depth && r.mode == kModeOpaque && ink.code == kEffectNone;
  if (!resample && !plainCopy) return StretchThroughTemporary(source, destination, r, visible);
  // Private pixels cannot be read directly, and nearest scaling of a surface onto itself
  // would read pixels it has already written: both scale a plain copy of the source rectangle.
  if (source->HasCustomPixelRoutines() || (!resample && source == destination)) {
    TemporarySurface plain(
        MakePlainCopy(source, r.sourceX, r.sourceY, r.sourceWidth, r.sourceHeight));
    if (!plain) return 0;
    StretchRequest copied = r;
    copied.sourceX = copied.sourceY = 0;
    return StretchDirect(plain.get(), destination, copied, ink, visible);
  }
  return StretchDirect(source, destination, r, ink, visible);
}

}  // namespace
}  // namespace vexa

int cSurfaceImplementation::StretchBlit(cSurfaceImplementation* destination, int x, int y,
                                        int width, int height, int sourceX, int sourceY,
                                        int sourceWidth, int sourceHeight, int mode,
                                        std::uint32_t effect, EffectParam parameter,
                                        std::uint32_t flags) {
  using namespace vexa;
  if (width == sourceWidth && height == sourceHeight) {
    return Blit(destination, x, y, sourceX, sourceY, sourceWidth, sourceHeight, mode, effect,
                parameter, BlitFlagsOf(flags));
  }
  return Stretch(this, destination,
                 StretchRequest{x, y, width, height, sourceX, sourceY, sourceWidth, sourceHeight,
                                mode, effect, parameter, flags});
}
