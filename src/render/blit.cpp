// Blit: copies a rectangle of this surface (the source) onto a destination with a drawing
// mode, an ink effect and flags. It validates and clips, lets a destination take the call
// over, normalises the effect, settles a difference of depth, and hands the clipped rectangle
// to one routine of the source's pixel routine table.
#include <cstring>

#include <vexa/blit.h>
#include <vexa/palette.h>
#include <vexa/surface_implementation.h>

#include "render/blit_setup.h"
#include "render/edge_smoother.h"
#include "render/surface_scope.h"

namespace vexa {
namespace {

// Copies the source's alpha rectangle onto the destination's alpha plane, creating a
// zero-filled (fully transparent) plane on the destination when it has none.
void CopyAlphaRect(cSurfaceImplementation* source, cSurfaceImplementation* destination,
                   const BlitRect& r) {
  if (!source->alphaFirstRow) return;
  if (!destination->alphaFirstRow && !destination->CreateAlpha()) return;
  for (int row = 0; row < r.height; ++row) {
    std::memcpy(destination->AlphaRow(r.y + row) + r.x, source->AlphaRow(r.sourceY + row) + r.sourceX,
                static_cast<size_t>(r.width));
  }
}

bool NeedsInverseTable(const cSurfaceImplementation* destination, std::uint32_t code,
                       const cSurfaceImplementation* source) {
  return destination->depth == 8 && !(code == kEffectNone && !source->alphaFirstRow);
}

// Runs the routine the mode and effect select; false when the table has no such routine.
bool RunRoutine(cSurfaceImplementation* source, cSurfaceImplementation* destination,
                const BlitRect& r, int mode, const NormalisedEffect& effect) {
  const PixelRoutineTable* t = source->pixelRoutines;
  if (!t) return false;
  const bool withEffect = effect.code != kEffectNone;
  if (mode == kModeTransparent && !withEffect && t->copyTransparent) {
    t->copyTransparent(destination, r.x, r.y, source, r.sourceX, r.sourceY, r.width, r.height);
  } else if (mode == kModeTransparent && withEffect && t->copyTransparentEffect) {
    t->copyTransparentEffect(destination, r.x, r.y, source, r.sourceX, r.sourceY, r.width, r.height,
                             effect.code, effect.parameter);
  } else if (mode == kModeOpaque && !withEffect && t->copyOpaque) {
    t->copyOpaque(destination, r.x, r.y, source, r.sourceX, r.sourceY, r.width, r.height);
  } else if (mode == kModeOpaque && withEffect && t->copyOpaqueEffect) {
    t->copyOpaqueEffect(destination, r.x, r.y, source, r.sourceX, r.sourceY, r.width, r.height,
                        effect.code, effect.parameter);
  } else {
    return false;
  }
  return true;
}

// The edge-antialiasing pass over the source's whole extent with its origin at (x, y); a
// source with private routines is first copied to a standard surface.
void AntialiasEdges(cSurfaceImplementation* source, cSurfaceImplementation* destination, int x,
                    int y, const NormalisedEffect& effect) {
  const bool needsCopy = source->HasCustomPixelRoutines() != 0;
  TemporarySurface copy(needsCopy ? MakePlainCopy(source, 0, 0, source->width, source->height)
                                  : nullptr);
  if (needsCopy && !copy) return;  // the blit stands; only the smoothing is skipped
  cSurfaceImplementation* edges = needsCopy ? copy.get() : source;
  if (effect.code == kEffectBlendSubstitute && (effect.parameter & 0xFFFFFFFFu) != 0) {
    edges->BlitEx(destination, x, y, 0, 0, edges->width, edges->height, 3, 3, 1, 1, 1, 1,
                  SubstituteEdgeSmoother,
                  reinterpret_cast<void*>(static_cast<std::uintptr_t>(effect.parameter & 0xFFFFFF)));
  } else {
    edges->BlitEx(destination, x, y, 0, 0, edges->width, edges->height, 3, 3, 1, 1, 1, 1,
                  EdgeSmoother,
                  reinterpret_cast<void*>(static_cast<std::uintptr_t>(edges->transparentColor)));
  }
}

// Source and destination of different depths.
int BlitAcrossDepths(cSurfaceImplementation* source, cSurfaceImplementation* destination,
                     const BlitRect& r, int mode, std::uint32_t effect, EffectParam parameter,
                     std::uint32_t flags) {
  if (source->HasCustomPixelRoutines()) {
    TemporarySurface plain(MakePlainCopy(source, r.sourceX, r.sourceY, r.width, r.height));
    if (!plain) return 0;
    plain->Blit(destination, r.x, r.y, 0, 0, r.width, r.height, mode, effect, parameter, flags);
    return 1;
  }
  const bool plainCopy = mode == kModeOpaque && (effect & kEffectCodeMask) == kEffectNone &&
                         !(effect & kEffectParamIsRGBA) && !(flags & kBlitAntialias);
  if (!plainCopy) {
    TemporarySurface converted(destination->CreateCompatible(r.width, r.height));
    if (!converted) return 0;
    converted->SetTransparentColor(source->GetTransparentColor());
    source->Blit(converted.get(), 0, 0, r.sourceX, r.sourceY, r.width, r.height, kModeOpaque, 0,
                 0, kBlitCopyAlpha);
    converted->Blit(destination, r.x, r.y, 0, 0, r.width, r.height, mode, effect,
                            parameter, flags);
    return 1;
  }
  if (source->depth == 8 && !BuildInverseTable(source->palette)) return 0;
  if (destination->depth == 8 && !BuildInverseTable(destination->palette)) return 0;
  const PixelRoutineTable* t = source->pixelRoutines;
  if (!t || !t->convertRect) return 0;
  SurfaceLocks locks(source, destination);
  if (!locks.locked()) return 0;
  t->convertRect(destination, r.x, r.y, r.width * destination->bytesPerPixel, source, r.sourceX,
                 r.sourceY, r.width, r.height);
  if (flags & kBlitCopyAlpha) CopyAlphaRect(source, destination, r);
  return 1;
}

}  // namespace
}  // namespace vexa

int cSurfaceImplementation::Blit(cSurfaceImplementation* destination, int x, int y, int sourceX,
                                 int sourceY, int width, int height, int mode,
                                 std::uint32_t effect, EffectParam parameter,
                                 std::uint32_t flags) {
  using namespace vexa;
  const std::uint32_t code = effect & kEffectCodeMask;
  if (mode < 0 || mode >= 2 || code >= kEffectCodeCount || code == kEffectUnassigned) return 0;
  if (!destination || destination->IsDeviceSurface()) return 0;

  BlitRect r{x, y, sourceX, sourceY, width, height};
  if (!ClipBlitRect(*this, *destination, r)) return 0;
  if (destination->HandlesBlitFrom()) {
    return destination->BlitFrom(this, r.x, r.y, r.sourceX, r.sourceY, r.width, r.height, mode,
                                 effect, parameter, flags);
  }
  const NormalisedEffect ink = NormaliseEffect(effect, parameter);
  if (ink.invisible) return 1;
  if (depth != destination->depth) {
    return BlitAcrossDepths(this, destination, r, mode, effect, parameter, flags);
  }
  if (NeedsInverseTable(destination, ink.code, this) && !BuildInverseTable(destination->palette)) {
    return 0;
  }
  {
    SurfaceLocks locks(this, destination);
    if (!locks.locked()) return 0;
    if (!RunRoutine(this, destination, r, mode, ink)) return 0;
    if (mode == kModeOpaque && (flags & kBlitCopyAlpha)) CopyAlphaRect(this, destination, r);
    // The smoothing pass covers the whole source where it was drawn: its origin lands at
    // the clipped destination position minus the clipped source position.
    if (flags & kBlitAntialias) {
      AntialiasEdges(this, destination, r.x - r.sourceX, r.y - r.sourceY, ink);
    }
  }
  return 1;
}
