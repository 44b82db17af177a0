// Painting a fill style's solid bands on a surface that has a device context.
#pragma once

#include <vector>

#include "render/fill_bands.h"

class cSurfaceObject;

namespace vexa {

// Paints each band across [crossFrom, crossTo) of the other axis (rows for a vertical
// gradient, columns for a horizontal one), in the object's coordinates. The surface must
// offer a device context: without one nothing is painted and the result is 0, else 1.
int PaintBands(cSurfaceObject* surface, const std::vector<FillBand>& bands, bool vertical,
               int crossFrom, int crossTo);

}  // namespace vexa
