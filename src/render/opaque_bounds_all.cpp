// IsAllOpaque and IsAllTransparent: whether no pixel, or every pixel, is transparent
// (equal to the transparent value; with an alpha plane, an alpha byte of 0).
#include <vexa/surface_implementation.h>

#include "render/opaque_bounds_scan.h"

int cSurfaceImplementation::IsAllOpaque() {
  return vexa::ScanOpacity(this, [](const vexa::OpaqueScan& scan) {
    for (int y = 0; y < scan.height; ++y)
      if (!scan.RowAllOpaque(y)) return 0;
    return 1;
  });
}

int cSurfaceImplementation::IsAllTransparent() {
  return vexa::ScanOpacity(this, [](const vexa::OpaqueScan& scan) {
    for (int y = 0; y < scan.height; ++y)
      if (!scan.RowAllTransparent(y)) return 0;
    return 1;
  });
}
