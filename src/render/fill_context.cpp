// Solid bands on a surface with a device context.
#include "render/fill_context.h"

#include <vexa/surface_object.h>

namespace vexa {

// The context is what makes a surface eligible; surfaces whose pixels live in their own
// storage get the same pixels a solid brush would give through the clipped rectangle fill,
// without a round trip through the context.
int PaintBands(cSurfaceObject* surface, const std::vector<FillBand>& bands, bool vertical,
               int crossFrom, int crossTo) {
  cSurfaceImplementation* s = surface->implementation;
  HDC dc = s->GetDC();
  if (!dc) return 0;
  const int cross = SpanOf(crossFrom, crossTo);
  for (const FillBand& band : bands) {
    if (vertical)
      surface->FillRectColor(crossFrom, band.start, cross, band.end - band.start, band.colour);
    else
      surface->FillRectColor(band.start, crossFrom, band.end - band.start, cross, band.colour);
  }
  s->ReleaseDC(dc);
  return 1;
}

}  // namespace vexa
