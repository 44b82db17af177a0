#include "render/blit_many.h"

#include <algorithm>
#include <cstdint>

#include <vexa/blit.h>

#include "render/blit_setup.h"
#include "render/surface_scope.h"
#include "surface/direct_pixels.h"

namespace vexa {
namespace {

// The bytes a surface's rows span, lowest first (rows may run bottom-up).
struct ByteSpan {
  std::uintptr_t low, high;
};
ByteSpan SpanOf(const cSurfaceImplementation& s) {
  const auto first = reinterpret_cast<std::uintptr_t>(s.PixelAddress(0, 0));
  const auto last = reinterpret_cast<std::uintptr_t>(s.PixelAddress(0, s.height - 1));
  const auto row =
      static_cast<std::uintptr_t>(s.width) * static_cast<std::uintptr_t>(s.bytesPerPixel);
  return ByteSpan{std::min(first, last), std::max(first, last) + row};
}

// Whether the copies can skip Blit. The classes HasDirectPixels accepts all draw through the
// base Blit when the destination is not a device surface. A shared buffer would need Blit's
// copy of the source, and an 8-bit destination under a source with an alpha plane its inverse
// table.
bool CopiesDirectly(cSurfaceImplementation* source, cSurfaceImplementation* destination) {
  if (!HasDirectPixels(source) || !destination->storage || destination->IsDeviceSurface() ||
      destination->HandlesBlitFrom())
    return false;
  if (source->depth != destination->depth || (destination->depth == 8 && source->alphaFirstRow))
    return false;
  if (!source->pixelRoutines || !source->pixelRoutines->copyOpaque) return false;
  if (source == destination || source->width <= 0 || source->height <= 0 ||
      destination->width <= 0 || destination->height <= 0)
    return false;
  const ByteSpan a = SpanOf(*source), b = SpanOf(*destination);
  return a.high <= b.low || b.high <= a.low;
}

}  // namespace

int BlitOpaqueMany(cSurfaceImplementation* source, cSurfaceImplementation* destination,
                   const BlitMove* moves, int count) {
  if (!source || !destination || !moves || count <= 0) return 0;
  int drawn = 0;
  if (!CopiesDirectly(source, destination)) {
    for (const BlitMove* m = moves; m < moves + count; ++m)
      drawn += source->Blit(destination, m->x, m->y, m->sourceX, m->sourceY, m->width, m->height,
                            kModeOpaque, kEffectNone, 0, 0) != 0;
    return drawn;
  }
  SurfaceLocks locks(source, destination);
  if (!locks.locked()) return 0;
  const auto copy = source->pixelRoutines->copyOpaque;
  for (const BlitMove* m = moves; m < moves + count; ++m) {
    BlitRect r{m->x, m->y, m->sourceX, m->sourceY, m->width, m->height};
    if (!ClipBlitRect(*source, *destination, r)) continue;
    copy(destination, r.x, r.y, source, r.sourceX, r.sourceY, r.width, r.height);
    ++drawn;
  }
  return drawn;
}

}  // namespace vexa
