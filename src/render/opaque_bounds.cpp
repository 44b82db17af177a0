// GetOpaqueBounds: the smallest rectangle holding every opaque pixel.
#include <vexa/surface_implementation.h>

#include "render/opaque_bounds_scan.h"

// 0 for a surface of at most 2 x 2 pixels (or one whose pixels cannot be read). Otherwise
// bounds = (min x, min y, max x + 1, max y + 1) over the opaque pixels, which comes out as
// (width - 1, height - 1, 1, 1) when there are none; returns 1.
int cSurfaceImplementation::GetOpaqueBounds(RECT* bounds) {
  if (!bounds || (width <= 2 && height <= 2)) return 0;
  return vexa::ScanOpacity(this, [bounds](const vexa::OpaqueScan& scan) {
    int minX = scan.width - 1, minY = scan.height - 1, maxX = 0, maxY = 0;
    for (int y = 0; y < scan.height; ++y) {
      int first = 0, last = 0;
      if (!scan.RowExtent(y, &first, &last)) continue;
      if (first < minX) minX = first;
      if (last > maxX) maxX = last;
      if (y < minY) minY = y;
      maxY = y;
    }
    *bounds = RECT{minX, minY, maxX + 1, maxY + 1};
    return 1;
  });
}
