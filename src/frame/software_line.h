// One-pixel lines in software on a public surface object.
#pragma once

#include <vexa/surface_object.h>

namespace vexa {

// Clips the line (object coordinates) to the surface's clip rectangle and plots it, at 8 bits
// with the colour's nearest palette index. Always 1: a line that misses the clip draws
// nothing.
int DrawSoftwareLine(cSurfaceObject* surface, int x1, int y1, int x2, int y2, COLORREF colour);

}  // namespace vexa
