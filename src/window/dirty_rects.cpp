// The dirty-rectangle list of kind-1 windows and the drawing helpers that feed it.
//
// The list never holds more than its capacity: when it is full the first rectangle grows to
// take in the new one, so that whatever was added is still covered when the list is
// presented.
#include <algorithm>
#include <cstdint>

#include <vexa/game_window.h>
#include <vexa/surface_object.h>

#include "platform/gdi/gdi.h"
#include "window/game_window.h"
#include "window/window_internal.h"

namespace {

// a + b held to the int range: rectangles near the ends of the range stay ordered.
LONG Add(LONG a, std::int64_t b) {
  return static_cast<LONG>(std::clamp<std::int64_t>(a + b, INT32_MIN, INT32_MAX));
}

bool Overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Contains(const RECT& outer, const RECT& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}

RECT Union(const RECT& a, const RECT& b) {
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

void RemoveAt(DirtyRectList& list, int index) {
  std::copy(list.rects + index + 1, list.rects + list.count, list.rects + index);
  --list.count;
}

void Append(DirtyRectList& list, const RECT& r) {
  if (list.count >= kDirtyRectCapacity) {
    list.rects[0] = Union(list.rects[0], r);
    return;
  }
  list.rects[list.count++] = r;
}

}  // namespace

void AddDirtyRect(GameWindow* window, const RECT* rect) {
  if (!IsValidWindowObject(window) || !rect || !window->dirtyRects) return;
  if (window->flags & kGameWindowDriverDisplay) return;
  RECT r{std::min(rect->left, rect->right), std::min(rect->top, rect->bottom),
         std::max(rect->left, rect->right), std::max(rect->top, rect->bottom)};
  if (r.left == r.right || r.top == r.bottom) return;  // covers no pixel
  DirtyRectList& list = *window->dirtyRects;
  list.count = std::clamp(list.count, 0, kDirtyRectCapacity);
  if (window->flags & kGameWindowContainDirty) {
    // Containment: a covering rectangle absorbs the new one; the new one replaces the first
    // rectangle it covers (and drops the others it covers).
    int replaced = -1;
    for (int i = 0; i < list.count;) {
      if (Contains(list.rects[i], r)) return;
      if (Contains(r, list.rects[i])) {
        if (replaced < 0) {
          list.rects[i] = r;
          replaced = i++;
        } else {
          RemoveAt(list, i);
        }
        continue;
      }
      ++i;
    }
    if (replaced < 0) Append(list, r);
    return;
  }
  // Merge: the union takes in every listed rectangle it overlaps until none is left.
  bool merged = true;
  while (merged) {
    merged = false;
    for (int i = 0; i < list.count; ++i) {
      if (Overlap(list.rects[i], r)) {
        r = Union(r, list.rects[i]);
        RemoveAt(list, i);
        merged = true;
        break;
      }
    }
  }
  Append(list, r);
}

void AppendDirtyRects(GameWindow* window, const RECT* rects, int count) {
  if (!IsValidWindowObject(window) || !rects || count <= 0 || !window->dirtyRects) return;
  if (window->flags & kGameWindowDriverDisplay) return;
  DirtyRectList& list = *window->dirtyRects;
  list.count = std::clamp(list.count, 0, kDirtyRectCapacity);
  // Once the list is full its first rectangle grows and may come to overlap the next ones:
  // those take the comparing path.
  if (count > kDirtyRectCapacity - list.count) {
    for (int i = 0; i < count; ++i) AddDirtyRect(window, &rects[i]);
    return;
  }
  for (int i = 0; i < count; ++i) {
    const RECT& r = rects[i];
    if (r.left < r.right && r.top < r.bottom) list.rects[list.count++] = r;
  }
}

void ClearDirtyRects(GameWindow* window) {
  if (IsValidWindowObject(window) && window->dirtyRects) window->dirtyRects->count = 0;
}

// ---- drawing ------------------------------------------------------------------------------

namespace {

// The back buffer's context set up with the window's pen, background and raster operation;
// null when the buffer has none.
class BufferContext {
 public:
  explicit BufferContext(GameWindow* window) : window_(window) {
    dc_ = window->backBuffer ? window->backBuffer->GetDC() : nullptr;
    if (!dc_) return;
    saved_ = plat::SaveDC(dc_);
    plat::SelectObject(dc_, window->pen ? static_cast<HGDIOBJ>(window->pen)
                                        : plat::GetStockObject(plat::BLACK_PEN));
    plat::SetBkMode(dc_, window->backgroundMode);
    plat::SetROP2(dc_, window->rasterOp);
    plat::SetBkColor(dc_, window->backColor);
  }
  ~BufferContext() {
    if (!dc_) return;
    plat::RestoreDC(dc_, saved_);
    window_->backBuffer->ReleaseDC(dc_);
  }
  HDC dc() const { return dc_; }

 private:
  GameWindow* window_;
  HDC dc_ = nullptr;
  int saved_ = 0;
};

// A rectangle limited to the back buffer, so that its width and height fit an int.
RECT OnBuffer(GameWindow* window, const RECT& r) {
  const LONG w = window->backBuffer->GetWidth(), h = window->backBuffer->GetHeight();
  return RECT{std::clamp<LONG>(std::min(r.left, r.right), 0, w),
              std::clamp<LONG>(std::min(r.top, r.bottom), 0, h),
              std::clamp<LONG>(std::max(r.left, r.right), 0, w),
              std::clamp<LONG>(std::max(r.top, r.bottom), 0, h)};
}

COLORREF BrushColour(HBRUSH brush) {
  plat::LOGBRUSH info{};
  if (plat::GetObject(brush, sizeof info, &info) != sizeof info) return 0;
  return info.lbColor;
}

}  // namespace

void FillWindowRect(GameWindow* window, const RECT* rect, HBRUSH brush) {
  if (!IsValidWindowObject(window) || !rect || !window->backBuffer) return;
  {
    BufferContext context(window);
    if (context.dc())
      plat::FillRect(context.dc(), rect, brush);
    else if (const RECT b = OnBuffer(window, *rect); b.left < b.right && b.top < b.bottom)
      window->backBuffer->FillRectColor(b.left, b.top, b.right - b.left, b.bottom - b.top,
                                        BrushColour(brush));
  }
  AddDirtyRect(window, rect);
}

void FrameWindowRect(GameWindow* window, const RECT* rect) {
  if (!IsValidWindowObject(window) || !rect || !window->backBuffer) return;
  const RECT& r = *rect;
  {
    BufferContext context(window);
    if (HDC dc = context.dc()) {
      plat::SelectObject(dc, plat::GetStockObject(plat::NULL_BRUSH));
      if (window->rasterOp == plat::R2_XORPEN && window->penWidth == 1) {
        // A focus rectangle: a dotted outline that a second call takes away again.
        HPEN dots = plat::CreatePen(plat::PS_DOT, 1, 0xFFFFFF);
        HGDIOBJ old = plat::SelectObject(dc, dots);
        plat::Rectangle(dc, r.left, r.top, r.right, r.bottom);
        plat::SelectObject(dc, old);
        plat::DeleteObject(dots);
      } else {
        plat::Rectangle(dc, r.left, r.top, r.right, r.bottom);
      }
    } else {
      window->backBuffer->DrawRectangle(r.left, r.top, Add(r.right, -1), Add(r.bottom, -1),
                                        window->penWidth, window->penColor);
    }
  }
  // The four border strips, pen width + 1 wide.
  const std::int64_t w = std::int64_t{window->penWidth} + 1;
  const RECT strips[4] = {{r.left, r.top, r.right, Add(r.top, w)},
                          {r.left, Add(r.bottom, -w), r.right, r.bottom},
                          {r.left, r.top, Add(r.left, w), r.bottom},
                          {Add(r.right, -w), r.top, r.right, r.bottom}};
  for (const RECT& strip : strips) AddDirtyRect(window, &strip);
}

void DrawWindowPolyline(GameWindow* window, const POINT* points, int count) {
  if (!IsValidWindowObject(window) || !points || count < 1 || !window->backBuffer) return;
  {
    BufferContext context(window);
    if (context.dc()) {
      plat::Polyline(context.dc(), points, count);
    } else {
      for (int i = 1; i < count; ++i)
        window->backBuffer->DrawLine(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y,
                                     window->penWidth, window->penColor);
    }
  }
  RECT box{points[0].x, points[0].y, points[0].x, points[0].y};
  for (int i = 1; i < count; ++i) {
    box.left = std::min(box.left, points[i].x);
    box.top = std::min(box.top, points[i].y);
    box.right = std::max(box.right, points[i].x);
    box.bottom = std::max(box.bottom, points[i].y);
  }
  // The pen's thickness reaches past the points on every side.
  const int reach = window->penWidth / 2 + 1;
  box = RECT{Add(box.left, -reach), Add(box.top, -reach), Add(box.right, reach),
             Add(box.bottom, reach)};
  AddDirtyRect(window, &box);
}

void FillWindowBox(GameWindow* window, int x1, int y1, int x2, int y2, COLORREF color) {
  if (!IsValidWindowObject(window) || !window->backBuffer) return;
  const RECT r{std::min(x1, x2), std::min(y1, y2), Add(std::max(x1, x2), 1),
               Add(std::max(y1, y2), 1)};
  const RECT b = OnBuffer(window, r);
  if (b.left < b.right && b.top < b.bottom)
    window->backBuffer->FillRectColor(b.left, b.top, b.right - b.left, b.bottom - b.top, color);
  AddDirtyRect(window, &r);
}
