// cSurfaceObject's plain rectangles, ellipses and polygons.
#include <vexa/surface_object.h>

#include <algorithm>

#include "frame/context_shapes.h"

// The interior and the four bars through the clipped rectangle fill. A border wider than half
// the box is cut to the box, so that nothing is painted outside it.
int cSurfaceObject::DrawRectangle(int x1, int y1, int x2, int y2, COLORREF fillColour,
                                  int borderWidth, COLORREF borderColour, int fill) {
  const long long l = std::min(x1, x2), t = std::min(y1, y2), r = std::max(x1, x2),
                  b = std::max(y1, y2);
  const long long w = std::max(borderWidth, 0);
  if (fill && r - l > 2 * w && b - t > 2 * w)
    FillRectColor(static_cast<int>(l + w), static_cast<int>(t + w), static_cast<int>(r - l - 2 * w),
                  static_cast<int>(b - t - 2 * w), fillColour);
  if (w == 0) return 1;
  const long long wx = std::min(w, r - l), wy = std::min(w, b - t);
  const auto bar = [&](long long x, long long y, long long width, long long height) {
    if (width > 0 && height > 0)
      FillRectColor(static_cast<int>(x), static_cast<int>(y),
                    static_cast<int>(std::min<long long>(width, 0x7FFFFFFF)),
                    static_cast<int>(std::min<long long>(height, 0x7FFFFFFF)), borderColour);
  };
  bar(l, t, r - l, wy);       // top
  bar(l, t, wx, b - t);       // left
  bar(l, b - wy, r - l, wy);  // bottom
  bar(r - wx, t, wx, b - t);  // right
  return 1;
}

int cSurfaceObject::DrawRectangle(int x1, int y1, int x2, int y2, int borderWidth,
                                  COLORREF borderColour) {
  if (borderWidth == 0) return 0;
  return DrawRectangle(x1, y1, x2, y2, 0, borderWidth, borderColour, 0);
}

int cSurfaceObject::DrawEllipse(int x1, int y1, int x2, int y2, COLORREF fillColour,
                                int borderWidth, COLORREF borderColour, int fill) {
  return vexa::DrawOnContext(this, vexa::ContextShape::Ellipse(x1, y1, x2, y2, fillColour,
                                                               borderWidth, borderColour, fill));
}

int cSurfaceObject::DrawEllipse(int x1, int y1, int x2, int y2, int borderWidth,
                                COLORREF borderColour) {
  if (borderWidth == 0) return 0;
  return DrawEllipse(x1, y1, x2, y2, 0, borderWidth, borderColour, 0);
}

int cSurfaceObject::DrawPolygon(const POINT* points, int count, COLORREF fillColour,
                                int borderWidth, COLORREF borderColour, int fill) {
  if (!points || count < 2) return 0;
  return vexa::DrawOnContext(this, vexa::ContextShape::Polygon(points, count, fillColour,
                                                               borderWidth, borderColour, fill));
}

int cSurfaceObject::DrawPolygon(const POINT* points, int count, int borderWidth,
                                COLORREF borderColour) {
  if (borderWidth == 0) return 0;
  return DrawPolygon(points, count, 0, borderWidth, borderColour, 0);
}
