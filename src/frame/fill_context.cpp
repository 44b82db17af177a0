// Solid bands on a surface with a device context.
#include "frame/fill_context.h"

#include <vexa/surface_object.h>

#include "frame/context_shapes.h"
#include "platform/gdi/gdi.h"

namespace vexa {

// The context is what makes a surface eligible. Surfaces whose pixels live in their own
// storage get the pixels a solid brush would give through the clipped rectangle fill, without
// a round trip through the context; others are painted with a solid brush per band.
int PaintBands(cSurfaceObject* surface, const std::vector<FillBand>& bands, bool vertical,
               int crossFrom, int crossTo) {
  ContextScope scope(surface);
  HDC dc = scope.dc();
  if (!dc) return 0;
  const int cross = SpanOf(crossFrom, crossTo);
  if (surface->implementation->storage) {
    for (const FillBand& band : bands) {
      if (vertical)
        surface->FillRectColor(crossFrom, band.start, cross, band.end - band.start, band.colour);
      else
        surface->FillRectColor(band.start, crossFrom, band.end - band.start, cross, band.colour);
    }
    return 1;
  }
  for (const FillBand& band : bands) {
    const RECT r =
        vertical
            ? RECT{scope.X(crossFrom), scope.Y(band.start), scope.X(crossTo), scope.Y(band.end)}
            : RECT{scope.X(band.start), scope.Y(crossFrom), scope.X(band.end), scope.Y(crossTo)};
    HBRUSH brush = plat::CreateSolidBrush(band.colour);
    plat::FillRect(dc, &r, brush);
    plat::DeleteObject(brush);
  }
  return 1;
}

}  // namespace vexa
