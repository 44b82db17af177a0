// Regions: combining banded rectangle lists, region objects and the clip region of contexts.
#include <algorithm>
#include <new>

#include "platform/gdi/gdi_objects.h"
#include "platform/window/window.h"

namespace plat {
namespace {

using Spans = std::vector<std::pair<int, int>>;  // [left, right) sorted, disjoint

// The spans of a list within the band [top, bottom) (every rectangle covers a band whole or
// not at all, since band edges come from all rectangles).
Spans SpansIn(const RectList& rects, int top, int bottom) {
  Spans spans;
  for (const RECT& r : rects) {
    if (r.top > top) break;
    if (r.top <= top && r.bottom >= bottom) spans.emplace_back(r.left, r.right);
  }
  return spans;
}

bool Keep(bool inA, bool inB, int mode) {
  switch (mode) {
    case RGN_AND:
      return inA && inB;
    case RGN_OR:
      return inA || inB;
    case RGN_XOR:
      return inA != inB;
    case RGN_DIFF:
      return inA && !inB;
    default:
      return inA;
  }
}

Spans CombineSpans(const Spans& a, const Spans& b, int mode) {
  std::vector<int> edges;
  for (auto [l, r] : a) edges.insert(edges.end(), {l, r});
  for (auto [l, r] : b) edges.insert(edges.end(), {l, r});
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  Spans out;
  std::size_t ia = 0, ib = 0;
  for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
    const int x0 = edges[i], x1 = edges[i + 1];
    while (ia < a.size() && a[ia].second <= x0) ++ia;
    while (ib < b.size() && b[ib].second <= x0) ++ib;
    const bool inA = ia < a.size() && a[ia].first <= x0;
    const bool inB = ib < b.size() && b[ib].first <= x0;
    if (!Keep(inA, inB, mode)) continue;
    if (!out.empty() && out.back().second == x0)
      out.back().second = x1;
    else
      out.emplace_back(x0, x1);
  }
  return out;
}

bool Proper(const RECT& r) { return r.left < r.right && r.top < r.bottom; }

}  // namespace

RectList CombineRects(const RectList& a, const RectList& b, int mode) {
  // Two rectangles meet in one or none: what the bands below give, without their lists. Every
  // shape drawn on a clipped context asks this.
  if (mode == RGN_AND && a.size() == 1 && b.size() == 1 && Proper(a[0]) && Proper(b[0])) {
    const RECT r{std::max(a[0].left, b[0].left), std::max(a[0].top, b[0].top),
                 std::min(a[0].right, b[0].right), std::min(a[0].bottom, b[0].bottom)};
    return Proper(r) ? RectList{r} : RectList{};
  }
  std::vector<int> ys;
  for (const RECT& r : a) ys.insert(ys.end(), {r.top, r.bottom});
  if (mode != RGN_COPY)
    for (const RECT& r : b) ys.insert(ys.end(), {r.top, r.bottom});
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  RectList out;
  Spans previous;
  std::size_t previousStart = 0;
  int previousBottom = 0;
  for (std::size_t i = 0; i + 1 < ys.size(); ++i) {
    const int top = ys[i], bottom = ys[i + 1];
    const Spans spans = CombineSpans(SpansIn(a, top, bottom),
                                     mode == RGN_COPY ? Spans{} : SpansIn(b, top, bottom), mode);
    if (spans.empty()) {
      previous.clear();
      continue;
    }
    if (!previous.empty() && previousBottom == top && spans == previous) {
      for (std::size_t k = previousStart; k < out.size(); ++k) out[k].bottom = bottom;
    } else {
      previousStart = out.size();
      for (auto [l, r] : spans) out.push_back(RECT{l, top, r, bottom});
      previous = spans;
    }
    previousBottom = bottom;
  }
  return out;
}

int RegionTypeOf(const RectList& rects) {
  if (rects.empty()) return NULLREGION;
  return rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

RECT BoundsOf(const RectList& rects) {
  if (rects.empty()) return RECT{0, 0, 0, 0};
  RECT box = rects.front();
  for (const RECT& r : rects) {
    box.left = std::min(box.left, r.left);
    box.right = std::max(box.right, r.right);
    box.bottom = std::max(box.bottom, r.bottom);
  }
  return box;
}

RectList RectRegion(int left, int top, int right, int bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  if (left == right || top == bottom) return {};
  return {RECT{left, top, right, bottom}};
}

// ---- region objects ---------------------------------------------------------------------------

namespace {

Region* LookupRegion(HRGN handle) { return LookupAs<Region>(handle, GdiKind::kRegion); }

RectList Offset(RectList rects, int dx, int dy) {
  for (RECT& r : rects) {
    r.left = ClampCoordinate(std::int64_t{r.left} + dx);
    r.right = ClampCoordinate(std::int64_t{r.right} + dx);
    r.top = ClampCoordinate(std::int64_t{r.top} + dy);
    r.bottom = ClampCoordinate(std::int64_t{r.bottom} + dy);
  }
  // Clamping may have collapsed rectangles: rebuild the canonical form.
  return CombineRects(rects, {}, RGN_COPY);
}

RectList ClampedRect(int left, int top, int right, int bottom) {
  return RectRegion(ClampCoordinate(left), ClampCoordinate(top), ClampCoordinate(right),
                    ClampCoordinate(bottom));
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  auto* region = new (std::nothrow) Region;
  if (!region) return nullptr;
  region->kind = GdiKind::kRegion;
  region->rects = ClampedRect(left, top, right, bottom);
  if (!Register(region)) {
    delete region;
    return nullptr;
  }
  return HandleOf<HRGN>(region);
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
  return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

BOOL SetRectRgn(HRGN handle, int left, int top, int right, int bottom) {
  Region* region = LookupRegion(handle);
  if (!region) return 0;
  region->rects = ClampedRect(left, top, right, bottom);
  return 1;
}

int CombineRgn(HRGN destination, HRGN a, HRGN b, int mode) {
  Region* d = LookupRegion(destination);
  Region* ra = LookupRegion(a);
  Region* rb = mode == RGN_COPY ? ra : LookupRegion(b);
  if (!d || !ra || !rb || mode < RGN_AND || mode > RGN_COPY) return RGN_ERROR;
  d->rects = CombineRects(ra->rects, rb->rects, mode);
  return RegionTypeOf(d->rects);
}

int OffsetRgn(HRGN handle, int dx, int dy) {
  Region* region = LookupRegion(handle);
  if (!region) return RGN_ERROR;
  region->rects = Offset(region->rects, dx, dy);
  return RegionTypeOf(region->rects);
}

int GetRgnBox(HRGN handle, RECT* box) {
  Region* region = LookupRegion(handle);
  if (!region || !box) return RGN_ERROR;
  *box = BoundsOf(region->rects);
  return RegionTypeOf(region->rects);
}

BOOL PtInRegion(HRGN handle, int x, int y) {
  Region* region = LookupRegion(handle);
  if (!region) return 0;
  for (const RECT& r : region->rects)
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return 1;
  return 0;
}

BOOL EqualRgn(HRGN a, HRGN b) {
  Region* ra = LookupRegion(a);
  Region* rb = LookupRegion(b);
  if (!ra || !rb) return 0;
  return ra->rects.size() == rb->rects.size() &&
         std::equal(ra->rects.begin(), ra->rects.end(), rb->rects.begin(),
                    [](const RECT& x, const RECT& y) {
                      return x.left == y.left && x.top == y.top && x.right == y.right &&
                             x.bottom == y.bottom;
                    });
}

int GetRegionRects(HRGN handle, RECT* out, int capacity) {
  Region* region = LookupRegion(handle);
  if (!region) return -1;
  const int count = static_cast<int>(region->rects.size());
  if (out) std::copy_n(region->rects.begin(), std::min(std::max(capacity, 0), count), out);
  return count;
}

// ---- clip regions of contexts
// --------------------------------------------------------------------

namespace {

RectList WholeDrawable(const DC& dc) {
  const Bitmap* b = dc.state.bitmap;
  return b ? RectRegion(0, 0, b->width, b->height) : RectList{};
}

int ClipResult(const DC& dc) { return RegionTypeOf(DrawableClip(dc)); }

}  // namespace

RectList DrawableClip(const DC& dc) {
  RectList whole = WholeDrawable(dc);
  // A window context's bitmap starts at the client origin: the window's visible region (in
  // client coordinates) keeps it off its siblings above and, with WS_CLIPCHILDREN, its
  // children. A context whose window is gone draws nothing.
  if (dc.dcKind == DCKind::kWindow) whole = CombineRects(whole, VisibleRegion(dc.window), RGN_AND);
  if (!dc.state.hasClip) return whole;
  return CombineRects(dc.state.clip, whole, RGN_AND);
}

int SelectClipRgn(HDC handle, HRGN region) {
  DC* dc = LookupDC(handle);
  if (!dc) return RGN_ERROR;
  if (!region) {
    dc->state.hasClip = false;
    dc->state.clip.clear();
    return ClipResult(*dc);
  }
  Region* r = LookupRegion(region);
  if (!r) return RGN_ERROR;
  dc->state.hasClip = true;
  dc->state.clip = r->rects;
  return ClipResult(*dc);
}

int ExtSelectClipRgn(HDC handle, HRGN region, int mode) {
  DC* dc = LookupDC(handle);
  if (!dc || mode < RGN_AND || mode > RGN_COPY) return RGN_ERROR;
  if (mode == RGN_COPY) return SelectClipRgn(handle, region);
  Region* r = LookupRegion(region);
  if (!r) return RGN_ERROR;
  const RectList current = dc->state.hasClip ? dc->state.clip : WholeDrawable(*dc);
  dc->state.clip = CombineRects(current, r->rects, mode);
  dc->state.hasClip = true;
  return ClipResult(*dc);
}

namespace {

int ClipWithRect(HDC handle, int left, int top, int right, int bottom, int mode) {
  DC* dc = LookupDC(handle);
  if (!dc) return RGN_ERROR;
  const POINT o = dc->state.windowOrigin;
  const RectList rect = ClampedRect(
      ClampCoordinate(std::int64_t{left} - o.x), ClampCoordinate(std::int64_t{top} - o.y),
      ClampCoordinate(std::int64_t{right} - o.x), ClampCoordinate(std::int64_t{bottom} - o.y));
  const RectList current = dc->state.hasClip ? dc->state.clip : WholeDrawable(*dc);
  dc->state.clip = CombineRects(current, rect, mode);
  dc->state.hasClip = true;
  return ClipResult(*dc);
}

}  // namespace

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  return ClipWithRect(dc, left, top, right, bottom, RGN_AND);
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
  return ClipWithRect(dc, left, top, right, bottom, RGN_DIFF);
}

int GetClipBox(HDC handle, RECT* box) {
  DC* dc = LookupDC(handle);
  if (!dc || !box) return RGN_ERROR;
  const RectList clip = DrawableClip(*dc);
  *box = BoundsOf(clip);
  const POINT o = dc->state.windowOrigin;
  box->left += o.x;
  box->right += o.x;
  box->top += o.y;
  box->bottom += o.y;
  return RegionTypeOf(clip);
}

int GetClipRgn(HDC handle, HRGN region) {
  DC* dc = LookupDC(handle);
  Region* r = LookupRegion(region);
  if (!dc || !r) return -1;
  if (!dc->state.hasClip) return 0;
  r->rects = dc->state.clip;
  return 1;
}

}  // namespace plat
