// Shapes through the device context.
#include "frame/context_shapes.h"

#include <algorithm>
#include <vector>

#include "platform/gdi/gdi.h"

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

void ChoosePenAndBrush(ContextShape* s, COLORREF fillColour, int borderWidth, COLORREF borderColour,
                       int fill) {
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
  const int l = std::min(x1, x2), t = std::min(y1, y2), r = std::max(x1, x2), b = std::max(y1, y2);
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

ContextScope::ContextScope(cSurfaceObject* surface) : surface_(surface) {
  cSurfaceImplementation* s = surface->implementation;
  dc_ = s->GetDC();
  if (!dc_) {
    surface->lastError = kErrorNoDeviceContext;
    return;
  }
  // Surfaces that handle their origin map object coordinates through their context;
  // others are drawn in their own coordinates.
  if (s->HandlesOrigin()) {
    dx_ = 0;
    dy_ = 0;
  } else {
    dx_ = surface->originX;
    dy_ = surface->originY;
  }
  saved_ = plat::SaveDC(dc_);
  plat::IntersectClipRect(
      dc_, s->clipLeft + surface->originX - dx_, s->clipTop + surface->originY - dy_,
      s->clipRight + surface->originX - dx_, s->clipBottom + surface->originY - dy_);
}

ContextScope::~ContextScope() {
  if (!dc_) return;
  Restore();
  surface_->implementation->ReleaseDC(dc_);
}

int DrawOnContext(cSurfaceObject* surface, const ContextShape& shape) {
  ContextScope scope(surface);
  HDC dc = scope.dc();
  if (!dc) return 0;
  HPEN pen = shape.pen ? plat::CreatePen(plat::PS_SOLID, shape.penWidth, shape.penColour) : nullptr;
  HBRUSH brush = shape.brush ? plat::CreateSolidBrush(shape.brushColour) : nullptr;
  plat::SelectObject(dc, pen ? static_cast<HGDIOBJ>(pen) : plat::GetStockObject(plat::NULL_PEN));
  plat::SelectObject(dc,
                     brush ? static_cast<HGDIOBJ>(brush) : plat::GetStockObject(plat::NULL_BRUSH));
  BOOL drawn = 0;
  switch (shape.kind) {
    case ContextShape::kLine:
      plat::MoveToEx(dc, scope.X(shape.x1), scope.Y(shape.y1), nullptr);
      drawn = plat::LineTo(dc, scope.X(shape.x2), scope.Y(shape.y2));
      break;
    case ContextShape::kEllipse:
      drawn = plat::Ellipse(dc, scope.X(shape.x1), scope.Y(shape.y1), scope.X(shape.x2),
                            scope.Y(shape.y2));
      break;
    case ContextShape::kPolygon: {
      std::vector<POINT> local(static_cast<std::size_t>(shape.count));
      for (int i = 0; i < shape.count; ++i)
        local[i] = POINT{scope.X(shape.points[i].x), scope.Y(shape.points[i].y)};
      drawn = plat::Polygon(dc, local.data(), shape.count);
      break;
    }
  }
  // Restoring the context deselects the pen and brush before they go.
  scope.Restore();
  if (pen) plat::DeleteObject(pen);
  if (brush) plat::DeleteObject(brush);
  return drawn ? 1 : 0;
}

}  // namespace vexa
