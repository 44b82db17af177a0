// Blit: copies a rectangle of this surface (the source) onto a destination with a drawing
// mode, an ink effect and flags. It validates and clips, lets a destination take the call
// over, normalises the effect, settles a difference of depth, and hands the clipped rectangle
// to one routine of the source's pixel routine table.
#include <algorithm>
#include <cstring>
#include <utility>

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
    std::memcpy(destination->AlphaRow(r.y + row) + r.x,
                source->AlphaRow(r.sourceY + row) + r.sourceX, static_cast<size_t>(r.width));
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
    edges->BlitEx(
        destination, x, y, 0, 0, edges->width, edges->height, 3, 3, 1, 1, 1, 1,
        SubstituteEdgeSmoother,
        reinterpret_cast<void*>(static_cast<std::uintptr_t>(effect.parameter & 0xFFFFFF)));
  } else {
    edges->BlitEx(destination, x, y, 0, 0, edges->width, edges->height, 3, 3, 1, 1, 1, 1,
                  EdgeSmoother,
                  reinterpret_cast<void*>(static_cast<std::uintptr_t>(edges->transparentColor)));
  }
}

// Whether drawing the rectangle may overwrite source pixels before they are read: a surface
// blitted onto itself with overlapping rectangles, or two surfaces over one buffer whose
// rectangles' byte ranges meet.
bool SourceOverwritten(const cSurfaceImplementation* source,
                       const cSurfaceImplementation* destination, const BlitRect& r) {
  if (source == destination) {
    return r.x < r.sourceX + r.width && r.sourceX < r.x + r.width && r.y < r.sourceY + r.height &&
           r.sourceY < r.y + r.height;
  }
  if (!source->firstRow || !destination->firstRow) return false;
  const auto span = [&r](const PixelDescriptor& s, int x, int y) {
    const auto top = reinterpret_cast<std::uintptr_t>(s.PixelAddress(x, y));
    const auto bottom = reinterpret_cast<std::uintptr_t>(s.PixelAddress(x, y + r.height - 1));
    const std::uintptr_t rowBytes = static_cast<std::uintptr_t>(r.width) * s.bytesPerPixel;
    return std::pair{std::min(top, bottom), std::max(top, bottom) + rowBytes};
  };
  const auto [sourceLow, sourceHigh] = span(*source, r.sourceX, r.sourceY);
  const auto [destinationLow, destinationHigh] = span(*destination, r.x, r.y);
  return sourceLow < destinationHigh && destinationLow < sourceHigh;
}

// Blits from a copy of the source, so that every pixel is drawn from the source as it was
// before the call, whatever the mode and effect. The copy holds the rectangle, or the whole
// source when the edge-smoothing pass (which reads all of it) follows.
int BlitFromCopy(cSurfaceImplementation* source, cSurfaceImplementation* destination,
                 const BlitRect& r, int mode, std::uint32_t effect, EffectParam parameter,
                 std::uint32_t flags) {
  const bool whole = (flags & kBlitAntialias) != 0;
  const int left = whole ? 0 : r.sourceX, top = whole ? 0 : r.sourceY;
  const int width = whole ? source->width : r.width, height = whole ? source->height : r.height;
  TemporarySurface copy(MakePlainCopy(source, left, top, width, height));
  if (!copy) return 0;
  return copy->Blit(destination, r.x, r.y, r.sourceX - left, r.sourceY - top, r.width, r.height,
                    mode, effect, parameter, flags);
}

// Source and destination of different depths.
int BlitAcrossDepths(cSurfaceImplementation* source, cSurfaceImplementation* destination,
                     const BlitRect& r, int mode, std::uint32_t effect, EffectParam parameter,
                     std::uint32_t flags) {
  if (source->HasCustomPixelRoutines()) {
    TemporarySurface plain(MakePlainCopy(source, r.sourceX, r.sourceY, r.width, r.height));
    if (!plain) return 0;  // a copy that failed holds no pixels worth drawing
    return plain->Blit(destination, r.x, r.y, 0, 0, r.width, r.height, mode, effect, parameter,
                       flags);
  }
  const bool plainCopy = mode == kModeOpaque && (effect & kEffectCodeMask) == kEffectNone &&
                         !(effect & kEffectParamIsRGBA) && !(flags & kBlitAntialias);
  if (!plainCopy) {
    TemporarySurface converted(destination->CreateCompatible(r.width, r.height));
    if (!converted) return 0;
    converted->SetTransparentColor(source->GetTransparentColor());
    // The conversion fails for an 8-bit source without a palette: nothing is drawn then.
    if (!source->Blit(converted.get(), 0, 0, r.sourceX, r.sourceY, r.width, r.height, kModeOpaque,
                      0, 0, kBlitCopyAlpha)) {
      return 0;
    }
    return converted->Blit(destination, r.x, r.y, 0, 0, r.width, r.height, mode, effect, parameter,
                           flags);
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
                                 int sourceY, int width, int height, int mode, std::uint32_t effect,
                                 EffectParam parameter, std::uint32_t flags) {
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
  const NormalisedEffect ink = NormaliseEffectInline(effect, parameter);
  if (ink.invisible) return 1;
  if (depth != destination->depth) {
    return BlitAcrossDepths(this, destination, r, mode, effect, parameter, flags);
  }
  if (SourceOverwritten(this, destination, r)) {
    return BlitFromCopy(this, destination, r, mode, effect, parameter, flags);
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
