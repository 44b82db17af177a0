// Shapes drawn through a surface's device context with a pen and a brush: wide lines,
// ellipses and polygons.
#pragma once

#include <vexa/surface_object.h>

#include "platform/gdi/gdi.h"

namespace vexa {

struct ContextShape {
  enum Kind { kLine, kEllipse, kPolygon };
  Kind kind = kLine;
  // Line endpoints, or the ellipse's box (right and bottom exclusive); object coordinates.
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  const POINT* points = nullptr;
  int count = 0;
  bool pen = true;  // false: the null pen
  int penWidth = 1;
  COLORREF penColour = 0;
  bool brush = false;  // false: the null brush
  COLORREF brushColour = 0;

  static ContextShape Line(int x1, int y1, int x2, int y2, int width, COLORREF colour);
  // The pen and brush choice of the plain ellipse: the box (normalised) shrinks so that a pen
  // of the border width stays inside it; with a fill and no border the null pen and the
  // whole box; without a fill the null brush.
  static ContextShape Ellipse(int x1, int y1, int x2, int y2, COLORREF fillColour, int borderWidth,
                              COLORREF borderColour, int fill);
  static ContextShape Polygon(const POINT* points, int count, COLORREF fillColour, int borderWidth,
                              COLORREF borderColour, int fill);
};

// The surface's device context for one drawing step: taken, its state saved and drawing
// limited to the surface's clip rectangle; restored and released at the end of the scope.
// Without a context lastError becomes 0x40010002 and dc() is null. X and Y map object
// coordinates to the context's.
class ContextScope {
 public:
  explicit ContextScope(cSurfaceObject* surface);
  ~ContextScope();
  ContextScope(const ContextScope&) = delete;
  ContextScope& operator=(const ContextScope&) = delete;
  HDC dc() const { return dc_; }
  int X(long long x) const { return Clamp(x - dx_); }
  int Y(long long y) const { return Clamp(y - dy_); }
  void Restore() {
    if (dc_ && saved_) plat::RestoreDC(dc_, saved_);
    saved_ = 0;
  }

 private:
  static int Clamp(long long v) {
    return static_cast<int>(v < -0x7FFFFFFFLL  ? -0x7FFFFFFFLL
                            : v > 0x7FFFFFFFLL ? 0x7FFFFFFFLL
                                               : v);
  }
  cSurfaceObject* surface_;
  HDC dc_ = nullptr;
  int saved_ = 0;
  int dx_ = 0, dy_ = 0;
};

// Draws the shape on the surface's device context, limited to the surface's clip rectangle.
// Surfaces that handle their origin get object coordinates (their context's window origin
// maps them); others get the origin subtracted. Without a context: lastError 0x40010002 and 0.
int DrawOnContext(cSurfaceObject* surface, const ContextShape& shape);

}  // namespace vexa
