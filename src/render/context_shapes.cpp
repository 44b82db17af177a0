// Shapes through the device context.
#include "render/context_shapes.h"

#include <algorithm>

namespace vexa {

ContextShape ContextShape::Line(int x1, int y1, int x2, int y2, int width, COLORREF colour) {
  ContextShape s;
  s.kind = kLine;
  s.x1 = x1;
  s.y1 = y1;
  s.x2 = x2;
  s.y2 = y2;
  s.penWidth = width;
  s.penColour = colour;
  return s;
}

namespace {

void ChoosePenAndBrush(ContextShape* s, COLORREF fillColour, int borderWidth,
                       COLORREF borderColour, int fill) {
  s->penWidth = borderWidth;
  s->penColour = borderColour;
  s->brush = fill != 0;
  s->brushColour = fillColour;
  s->pen = !(fill && borderWidth == 0);
}

}  // namespace

ContextShape ContextShape::Ellipse(int x1, int y1, int x2, int y2, COLORREF fillColour,
                                   int borderWidth, COLORREF borderColour, int fill) {
  ContextShape s;
  s.kind = kEllipse;
  ChoosePenAndBrush(&s, fillColour, borderWidth, borderColour, fill);
  const int l = std::min(x1, x2), t = std::min(y1, y2), r = std::max(x1, x2),
            b = std::max(y1, y2);
  if (!s.pen) {
    s.x1 = l;
    s.y1 = t;
    s.x2 = r;
    s.y2 = b;
    return s;
  }
  const int w = borderWidth;
  s.x1 = l + w / 2;
  s.y1 = t + w / 2;
  s.x2 = r - (w - 1) / 2;
  s.y2 = b - (w - 1) / 2;
  return s;
}

ContextShape ContextShape::Polygon(const POINT* points, int count, COLORREF fillColour,
                                   int borderWidth, COLORREF borderColour, int fill) {
  ContextShape s;
  s.kind = kPolygon;
  s.points = points;
  s.count = count;
  ChoosePenAndBrush(&s, fillColour, borderWidth, borderColour, fill);
  return s;
}

int DrawOnContext(cSurfaceObject* surface, const ContextShape&) {
  cSurfaceImplementation* s = surface->implementation;
  HDC dc = s->GetDC();
  if (!dc) {
    surface->lastError = kErrorNoDeviceContext;
    return 0;
  }
  // No surface of this build hands out a device context yet; the pen and brush drawing
  // arrives with the device interface.
  s->ReleaseDC(dc);
  surface->lastError = kErrorNoDeviceContext;
  return 0;
}

}  // namespace vexa
