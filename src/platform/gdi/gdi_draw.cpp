// Drawing: pixels, rectangles, ellipses, polygons and lines with pens and brushes.
#include <algorithm>
#include <cmath>
#include <type_traits>
#include <vector>

#include "platform/gdi/gdi_paint.h"

namespace plat {
namespace {

using i64 = std::int64_t;
using i128 = __int128;

i64 FloorDiv(i64 a, i64 b) {  // b > 0
  i64 q = a / b;
  if ((a % b != 0) && (a < 0)) --q;
  return q;
}
i64 CeilDiv(i64 a, i64 b) { return -FloorDiv(-a, b); }  // b > 0

POINT ToDevice(const DC& dc, i64 x, i64 y) {
  return POINT{ClampCoordinate(ClampCoordinate(x) - i64{dc.state.windowOrigin.x}),
               ClampCoordinate(ClampCoordinate(y) - i64{dc.state.windowOrigin.y})};
}

bool PenDraws(const Pen* pen) { return pen && pen->style != PS_NULL; }
bool BrushDraws(const Brush* brush) { return brush && brush->style != BS_NULL; }

// Pixel-value of a colour in the context's bitmap; PALETTEINDEX colours name an entry of the
// selected palette on bitmaps without a colour table.
std::uint32_t ValueIn(const DC& dc, COLORREF color) {
  return ValueOfColor(*dc.state.bitmap, ContextColor(dc, color));
}

// ---- ellipses ----------------------------------------------------------------------------------

i64 ISqrt(i128 v) {
  if (v <= 0) return 0;
  // The estimate is corrected below, so it may be off by a little. Values below 2^62 (every
  // shape of screen size) take it in double: the long double one converts through the x87
  // unit's rounding-mode switches and a library call, which cost most of an ellipse's time.
  i64 q = v < (i128{1} << 62)
              ? static_cast<i64>(std::sqrt(static_cast<double>(static_cast<std::int64_t>(v))))
              : static_cast<i64>(std::sqrt(static_cast<long double>(v)));
  while (static_cast<i128>(q) * q > v) --q;
  while (static_cast<i128>(q + 1) * (q + 1) <= v) ++q;
  return q;
}

struct Box {
  i64 left, top, right, bottom;
  bool Empty() const { return left >= right || top >= bottom; }
  Box Grown(i64 by) const { return Box{left - by, top - by, right + by, bottom + by}; }
};

// The pixels [x0, x1) of row y whose centres lie inside the ellipse inscribed in the box.
// In doubled coordinates a centre is X = 2x + 1 - (l + r), Y = 2y + 1 - (t + b) and lies
// inside when X^2 B^2 + Y^2 A^2 <= A^2 B^2 (A, B the box's sides): the test depends on |X|
// and |Y| only, so the shape is symmetric.
bool EllipseRow(const Box& e, i64 y, i64* x0, i64* x1) {
  if (e.Empty()) return false;
  const i64 a = e.right - e.left, b = e.bottom - e.top;
  const i64 yy = 2 * y + 1 - (e.top + e.bottom);
  const i128 rest =
      static_cast<i128>(a) * a * (static_cast<i128>(b) * b - static_cast<i128>(yy) * yy);
  if (rest < 0) return false;
  const i64 x = ISqrt(rest) / b;  // largest |X| with (X b)^2 <= rest
  const i64 sum = e.left + e.right - 1;
  const i64 lo = CeilDiv(sum - x, 2), hi = FloorDiv(sum + x, 2);
  if (lo > hi) return false;
  *x0 = lo;
  *x1 = hi + 1;
  return true;
}

void SpanI(Painter& p, i64 y, i64 x0, i64 x1, std::uint32_t value) {
  const RECT& c = p.ClipBox();
  x0 = std::max<i64>(x0, c.left);
  x1 = std::min<i64>(x1, c.right);
  if (x0 < x1) p.Span(static_cast<int>(y), static_cast<int>(x0), static_cast<int>(x1), value);
}

// Outer and inner box of a pen's outline around a shape's box.
void OutlineBoxes(const Box& box, const Pen* pen, Box* outer, Box* inner) {
  if (!PenDraws(pen)) {
    *outer = box;
    *inner = box;
    return;
  }
  const i64 w = pen->width;
  *outer = box.Grown(w / 2);
  *inner = box.Grown(-((w - 1) / 2 + 1));
}

Box Normalised(const POINT& a, const POINT& b) {
  return Box{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

// ---- lines -----------------------------------------------------------------------------------

struct Style {
  int lengths[6];
  int count;
};
constexpr Style kStyles[5] = {
    {{1}, 0}, {{18, 6}, 2}, {{3, 3}, 2}, {{9, 6, 3, 6}, 4}, {{9, 3, 3, 3, 3, 3}, 6}};

// Whether step i of a styled line is in a dash (true) or a gap.
bool InDash(const Style& s, i64 i) {
  if (s.count == 0) return true;
  int total = 0;
  for (int k = 0; k < s.count; ++k) total += s.lengths[k];
  i64 at = i % total;
  for (int k = 0; k < s.count; ++k) {
    if (at < s.lengths[k]) return (k & 1) == 0;
    at -= s.lengths[k];
  }
  return true;
}

// A one-pixel line from a to b without b's pixel. The minor coordinate of step i along the
// major axis is the nearest one (halves round up), computed directly so that only the steps
// inside the clip box are visited.
void ThinLine(Painter& p, const DC& dc, POINT a, POINT b, const Pen& pen) {
  const i64 dx = i64{b.x} - a.x, dy = i64{b.y} - a.y;
  const i64 adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const i64 n = std::max(adx, ady);
  if (n == 0) return;
  const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  const bool xMajor = adx >= ady;
  const RECT& c = p.ClipBox();
  // Steps whose major coordinate lies in the clip box.
  const i64 start = xMajor ? a.x : a.y;
  const int s = xMajor ? sx : sy;
  const i64 low = xMajor ? c.left : c.top, high = (xMajor ? c.right : c.bottom) - 1;
  i64 first = s > 0 ? low - start : start - high;
  i64 last = s > 0 ? high - start : start - low;
  first = std::max<i64>(first, 0);
  last = std::min<i64>(last, n - 1);
  const Style& style = kStyles[std::clamp(pen.style, 0, 4)];
  const std::uint32_t value = ValueIn(dc, pen.color);
  const bool gaps = style.count != 0 && dc.state.bkMode == OPAQUE;
  const std::uint32_t gapValue = gaps ? ValueIn(dc, dc.state.bkColor) : 0;
  const i64 minor = xMajor ? ady : adx;
  for (i64 i = first; i <= last; ++i) {
    const i64 m = FloorDiv(2 * i * minor + n, 2 * n);
    const i64 x = xMajor ? a.x + sx * i : a.x + sx * m;
    const i64 y = xMajor ? a.y + sy * m : a.y + sy * i;
    const bool dash = InDash(style, i);
    if (!dash && !gaps) continue;
    SpanI(p, y, x, x + 1, dash ? value : gapValue);
  }
}

// Pens wider than one pixel: every pixel whose centre lies within w/2 of one of the segments
// (round caps and joins), drawn once even where segments overlap. Even widths move the
// segments up and left by half a pixel so that floor(w/2) pixels lie on that side.
//
// The rule is evaluated in long double, with a tolerance of 1e-9 at the pixel centres. Doing
// that for every row costs most of a wide line's time on the x87 unit, so rows are first
// worked out in double: on screen-sized coordinates its errors stay below 1e-7, and a row's
// double result is taken only when every decision in it (an empty interval, the rounding of
// each end to a pixel) lies further than kMargin from its boundary, where both precisions
// must decide alike. Other rows, and lines with larger coordinates, take the long double.
template <class T>
struct SegmentOf {
  T ax, ay, bx, by;
  T dx, dy, length2, reach;  // reach: r * length
  T top, bottom;             // rows whose centres lie outside these cannot meet it
  T inverseDx, inverseDy;    // 1 / dx and 1 / dy (0 when those are 0); double rows only
};

template <class T>
SegmentOf<T> MakeSegment(T ax, T ay, T bx, T by, T r) {
  SegmentOf<T> s{
      ax, ay, bx, by, bx - ax, by - ay, 0, 0, std::min(ay, by) - r - 1, std::max(ay, by) + r + 1,
      0,  0};
  s.length2 = s.dx * s.dx + s.dy * s.dy;
  if (s.length2 > 0) s.reach = r * std::sqrt(s.length2);
  s.inverseDx = s.dx != 0 ? 1 / s.dx : 0;
  s.inverseDy = s.dy != 0 ? 1 / s.dy : 0;
  return s;
}

// Joins [a, b] to the interval; `gap` keeps how close an empty-or-not decision came.
template <class T>
void Extend(bool* any, T* lo, T* hi, T a, T b, T* gap) {
  *gap = std::min(*gap, std::abs(a - b));
  if (a > b) return;
  if (!*any) {
    *lo = a;
    *hi = b;
    *any = true;
    return;
  }
  *lo = std::min(*lo, a);
  *hi = std::max(*hi, b);
}

// The linear condition low <= k x + c <= high as an interval of x. Double rows multiply by
// 1 / k (inverse), which their margin covers; long double rows divide.
template <class T>
bool Linear(T k, T inverse, T c, T low, T high, T* x0, T* x1) {
  if (k == 0) {
    if (c < low || c > high) return false;
    *x0 = T(-1e30);
    *x1 = T(1e30);
    return true;
  }
  T a, b;
  if constexpr (std::is_same_v<T, double>) {
    a = (low - c) * inverse;
    b = (high - c) * inverse;
  } else {
    a = (low - c) / k;
    b = (high - c) / k;
  }
  if (a > b) std::swap(a, b);
  *x0 = a;
  *x1 = b;
  return true;
}

// The centres' x range of row yc within r (r2 = r * r) of the segment.
template <class T>
bool CapsuleRow(const SegmentOf<T>& s, T r2, T yc, T* lo, T* hi, T* gap) {
  bool any = false;
  for (const auto& [px, py] : {std::pair{s.ax, s.ay}, std::pair{s.bx, s.by}}) {
    const T d = yc - py;
    if (d * d <= r2) {
      const T h = std::sqrt(r2 - d * d);
      Extend(&any, lo, hi, px - h, px + h, gap);
    }
  }
  if (s.length2 > 0) {
    T a0, a1, b0, b1;
    if (Linear(s.dx, s.inverseDx, -s.ax * s.dx + (yc - s.ay) * s.dy, T(0), s.length2, &a0, &a1) &&
        Linear(s.dy, s.inverseDy, -s.ax * s.dy - (yc - s.ay) * s.dx, -s.reach, s.reach, &b0, &b1))
      Extend(&any, lo, hi, std::max(a0, b0), std::min(a1, b1), gap);
  }
  return any;
}

constexpr double kMargin = 1e-6;
// Inputs up to this size keep the double path's errors far below kMargin.
constexpr i64 kFastCoordinates = i64{1} << 15;
constexpr int kFastWidth = 1 << 10;

// The pixels [x0, x1) of a row whose centres lie in [lo, hi] (within the tolerance), once lo
// and hi are cut to the clip box widened by one.
struct PixelRun {
  i64 x0, x1;
};
PixelRun RunOf(long double lo, long double hi, const RECT& c) {
  constexpr long double kEpsilon = 1e-9L;
  lo = std::max<long double>(lo, c.left - 1.0L);
  hi = std::min<long double>(hi, c.right + 1.0L);
  return {static_cast<i64>(std::ceil(lo - 0.5L - kEpsilon)),
          static_cast<i64>(std::floor(hi - 0.5L + kEpsilon)) + 1};
}

// The clip box's bounds as RunOf and FastRunOf use them, worked out once a call.
//
// FastRunOf first keeps each end within [left - 2.5, right + 2.5]: an end cut there already
// lay past the other end's side of the box, so the run stays empty. Measured from left - 3,
// both ends are then positive, so truncation is their floor, one conversion each way.
struct FastClip {
  double low, high;         // left - 1, right + 1
  double fromCap, toFloor;  // right + 2.5, left - 2.5
  double base;              // left - 3
  i64 ceilingShift;         // left - 2: the ceiling of an end measured from base, less 1
  explicit FastClip(const RECT& c)
      : low(c.left - 1.0),
        high(c.right + 1.0),
        fromCap(c.right + 2.5),
        toFloor(c.left - 2.5),
        base(c.left - 3.0),
        ceilingShift(i64{c.left} - 2) {}
};

// The same from double ends; false when an end lies within kMargin of a pixel boundary.
bool FastRunOf(double lo, double hi, const FastClip& c, PixelRun* run) {
  constexpr double kEpsilon = 1e-9;
  const double from = std::min(std::max(lo, c.low) - 0.5 - kEpsilon, c.fromCap) - c.base;
  const double to = std::max(std::min(hi, c.high) - 0.5 + kEpsilon, c.toFloor) - c.base;
  const auto floorFrom = static_cast<i64>(from), floorTo = static_cast<i64>(to);
  const double fractionFrom = from - static_cast<double>(floorFrom);
  const double fractionTo = to - static_cast<double>(floorTo);
  if (fractionFrom < kMargin || 1.0 - fractionFrom < kMargin) return false;
  if (fractionTo < kMargin || 1.0 - fractionTo < kMargin) return false;
  run->x0 = floorFrom + c.ceilingShift;  // the ceiling: `from` is not whole
  run->x1 = floorTo + c.ceilingShift;
  return true;
}

// The segments of a pen's lines, in both precisions (the double ones only for small input).
struct WideSegments {
  std::vector<SegmentOf<long double>> exact;
  std::vector<SegmentOf<double>> fast;  // empty unless the input is small
  long double r = 0, r2 = 0, shift = 0;
  double rFast = 0, r2Fast = 0;
  const std::vector<POINT>* points = nullptr;
  std::size_t edges = 0;

  POINT Start(std::size_t i) const { return (*points)[i]; }
  POINT End(std::size_t i) const { return (*points)[(i + 1) % points->size()]; }
  // The long double segments, made when a row first needs them: on small input most lines
  // never do.
  const SegmentOf<long double>& Exact(std::size_t i) {
    if (exact.empty()) {
      for (std::size_t k = 0; k < edges; ++k) {
        const POINT a = Start(k), b = End(k);
        exact.push_back(MakeSegment(a.x + shift, a.y + shift, b.x + shift, b.y + shift, r));
      }
    }
    return exact[i];
  }
};

// The pixels of row y within the pen of segment i; false when the row misses it.
bool SegmentRow(WideSegments& w, std::size_t i, i64 y, const RECT& c, const FastClip& fc,
                PixelRun* run) {
  if (!w.fast.empty()) {
    // Row centres, halves and the segment's row range are exact in double here.
    const SegmentOf<double>& s = w.fast[i];
    const double yc = static_cast<double>(y) + 0.5;
    if (yc < s.top || yc > s.bottom) return false;
    double lo = 0, hi = 0, gap = kMargin;
    const bool any = CapsuleRow(s, w.r2Fast, yc, &lo, &hi, &gap);
    if (gap >= kMargin && !any) return false;
    if (gap >= kMargin && FastRunOf(lo, hi, fc, run)) return run->x0 < run->x1;
  }
  const SegmentOf<long double>& s = w.Exact(i);
  const long double yc = y + 0.5L;
  if (yc < s.top || yc > s.bottom) return false;
  long double lo = 0, hi = 0, unused = 0;
  if (!CapsuleRow(s, w.r2, yc, &lo, &hi, &unused)) return false;
  *run = RunOf(lo, hi, c);
  return run->x0 < run->x1;
}

// A row settled from the double segment alone, or left to SegmentRow.
enum class RowOutcome { kUnsettled, kMiss, kHit };

// The row of a slanted segment (neither dx nor dy is 0) where neither end's cap reaches: the
// body's two intervals alone, with CapsuleRow's expressions in its order, so that the result
// is the one SegmentRow would reach. Rows near the caps, and rows whose decisions come within
// kMargin of a boundary, stay unsettled.
RowOutcome SlantedBodyRow(const SegmentOf<double>& s, double r2, i64 y, const FastClip& c,
                          PixelRun* run) {
  const double yc = static_cast<double>(y) + 0.5;
  const double da = yc - s.ay, db = yc - s.by;
  if (da * da <= r2 || db * db <= r2) return RowOutcome::kUnsettled;
  if (yc < s.top || yc > s.bottom) return RowOutcome::kMiss;
  const double c1 = -s.ax * s.dx + da * s.dy, c2 = -s.ax * s.dy - da * s.dx;
  double a0 = (0.0 - c1) * s.inverseDx, a1 = (s.length2 - c1) * s.inverseDx;
  double b0 = (-s.reach - c2) * s.inverseDy, b1 = (s.reach - c2) * s.inverseDy;
  if (a0 > a1) std::swap(a0, a1);
  if (b0 > b1) std::swap(b0, b1);
  const double lo = std::max(a0, b0), hi = std::min(a1, b1);
  if (std::abs(lo - hi) < kMargin) return RowOutcome::kUnsettled;
  if (lo > hi) return RowOutcome::kMiss;
  if (!FastRunOf(lo, hi, c, run)) return RowOutcome::kUnsettled;
  return run->x0 < run->x1 ? RowOutcome::kHit : RowOutcome::kMiss;
}

void WideLines(Painter& p, const std::vector<POINT>& points, bool closed, int width,
               std::uint32_t value) {
  if (points.empty()) return;
  // Kept from call to call: a game draws many lines, each with a segment or a few.
  thread_local WideSegments kept;
  thread_local std::vector<std::pair<i64, i64>> keptRuns;
  WideSegments& w = kept;
  std::vector<std::pair<i64, i64>>& runs = keptRuns;
  w.shift = (width % 2 == 0) ? 0.0L : 0.5L;
  w.r = width / 2.0L;
  w.r2 = w.r * w.r;
  w.rFast = width / 2.0;
  w.r2Fast = w.rFast * w.rFast;
  w.exact.clear();
  w.fast.clear();
  w.points = &points;
  const std::size_t count = points.size();
  const std::size_t edges = w.edges = closed ? count : (count > 1 ? count - 1 : 1);
  bool small = width <= kFastWidth;
  for (const POINT& q : points)
    small =
        small && std::abs(i64{q.x}) <= kFastCoordinates && std::abs(i64{q.y}) <= kFastCoordinates;
  const RECT& c = p.ClipBox();
  const FastClip fc(c);
  i64 y0 = 0, y1 = 0;
  if (small) {
    // Ends, halves and radius are exact in double here: the rows match the long double ones.
    const double half = static_cast<double>(w.shift);
    double top = 1e30, bottom = -1e30;
    for (std::size_t i = 0; i < edges; ++i) {
      const POINT a = w.Start(i), b = w.End(i);
      w.fast.push_back(MakeSegment(a.x + half, a.y + half, b.x + half, b.y + half, w.rFast));
      top = std::min({top, w.fast.back().ay, w.fast.back().by});
      bottom = std::max({bottom, w.fast.back().ay, w.fast.back().by});
    }
    y0 = std::max<i64>(c.top, static_cast<i64>(std::floor(top - w.rFast - 1)));
    y1 = std::min<i64>(c.bottom, static_cast<i64>(std::ceil(bottom + w.rFast + 1)));
  } else {
    long double top = 1e30L, bottom = -1e30L;
    for (std::size_t i = 0; i < edges; ++i) {
      top = std::min({top, w.Exact(i).ay, w.Exact(i).by});
      bottom = std::max({bottom, w.Exact(i).ay, w.Exact(i).by});
    }
    y0 = std::max<i64>(c.top, static_cast<i64>(std::floor(top - w.r - 1)));
    y1 = std::min<i64>(c.bottom, static_cast<i64>(std::ceil(bottom + w.r + 1)));
  }
  if (edges == 1) {  // a single segment's row is one run: no list to gather, sort or merge
    const bool slanted = !w.fast.empty() && w.fast[0].dx != 0 && w.fast[0].dy != 0;
    for (i64 y = y0; y < y1; ++y) {
      PixelRun run{0, 0};
      const RowOutcome body =
          slanted ? SlantedBodyRow(w.fast[0], w.r2Fast, y, fc, &run) : RowOutcome::kUnsettled;
      if (body == RowOutcome::kMiss) continue;
      if (body == RowOutcome::kHit || SegmentRow(w, 0, y, c, fc, &run))
        SpanI(p, y, run.x0, run.x1, value);
    }
    return;
  }
  for (i64 y = y0; y < y1; ++y) {
    runs.clear();
    for (std::size_t i = 0; i < edges; ++i) {
      PixelRun run{0, 0};
      if (SegmentRow(w, i, y, c, fc, &run)) runs.emplace_back(run.x0, run.x1);
    }
    if (runs.size() > 1) std::sort(runs.begin(), runs.end());
    for (std::size_t k = 0; k < runs.size();) {
      i64 a = runs[k].first, b = runs[k].second;
      for (++k; k < runs.size() && runs[k].first <= b; ++k) b = std::max(b, runs[k].second);
      SpanI(p, y, a, b, value);
    }
  }
}

// A pen's lines through points (closed: back to the first).
void PenLines(Painter& p, const DC& dc, const std::vector<POINT>& points, bool closed) {
  const Pen* pen = dc.state.pen;
  if (!PenDraws(pen) || points.empty()) return;
  if (pen->width > 1) {
    WideLines(p, points, closed, pen->width, ValueIn(dc, pen->color));
    return;
  }
  const std::size_t n = points.size();
  for (std::size_t i = 0; i + 1 < n; ++i) ThinLine(p, dc, points[i], points[i + 1], *pen);
  if (closed && n > 1) ThinLine(p, dc, points[n - 1], points[0], *pen);
}

// ---- polygons -------------------------------------------------------------------------------

// An edge of a polygon as the rows pass it. Where row y's centre line (doubled: 2y + 1)
// crosses the edge, the first pixel whose centre lies at or right of the crossing is
// ceil(num / den) for whole numbers num and den > 0, and num grows by the same amount each
// row: the crossing is stepped exactly, a whole part and a remainder, without dividing per row.
struct EdgeCrossing {
  i64 first, last;               // the rows whose centres the edge spans
  i64 x;                         // ceil(num / den) at the current row
  i64 rest;                      // x * den - num, in [0, den)
  i64 den, stepWhole, stepRest;  // num grows by stepWhole * den + stepRest, 0 <= stepRest < den
  int direction;                 // +1 downwards, -1 upwards (for the winding number)

  // The edge a-b (a.y != b.y) from row y on.
  static EdgeCrossing At(POINT a, POINT b, i64 first, i64 last) {
    EdgeCrossing e{};
    e.first = first;
    e.last = last;
    e.direction = b.y > a.y ? 1 : -1;
    const i64 dy = i64{b.y} - a.y, dx = i64{b.x} - a.x;
    i64 num = (2 * i64{a.x} - 1) * dy + (2 * first + 1 - 2 * i64{a.y}) * dx;
    i64 step = 2 * dx;
    e.den = 2 * dy;
    if (e.den < 0) {
      num = -num;
      step = -step;
      e.den = -e.den;
    }
    e.x = CeilDiv(num, e.den);
    e.rest = e.x * e.den - num;
    e.stepWhole = FloorDiv(step, e.den);
    e.stepRest = step - e.stepWhole * e.den;
    return e;
  }
  void NextRow() {
    x += stepWhole;
    rest -= stepRest;
    if (rest < 0) {
      rest += den;
      ++x;
    }
  }
};

// The polygon's interior, row by row: its edges enter a list of active edges at their first
// row and leave after their last, so that a row visits only the edges that cross it.
void FillPolygon(Painter& p, const DC& dc, const std::vector<POINT>& pts, std::uint32_t value) {
  const RECT& c = p.ClipBox();
  i64 top = pts[0].y, bottom = pts[0].y;
  for (const POINT& q : pts) {
    top = std::min<i64>(top, q.y);
    bottom = std::max<i64>(bottom, q.y);
  }
  const i64 y0 = std::max<i64>(top, c.top), y1 = std::min<i64>(bottom, c.bottom);
  if (y0 >= y1) return;
  const bool winding = dc.state.polyFillMode == WINDING;
  // An edge spans the rows whose doubled centres 2y + 1 lie within [2 min y, 2 max y].
  std::vector<EdgeCrossing> waiting;
  const std::size_t n = pts.size();
  for (std::size_t i = 0; i < n; ++i) {
    const POINT a = pts[i], b = pts[(i + 1) % n];
    if (a.y == b.y) continue;
    const i64 first = std::max<i64>(std::min(a.y, b.y), y0);
    const i64 last = std::min<i64>(i64{std::max(a.y, b.y)} - 1, y1 - 1);
    if (first <= last) waiting.push_back(EdgeCrossing::At(a, b, first, last));
  }
  std::sort(waiting.begin(), waiting.end(),
            [](const EdgeCrossing& l, const EdgeCrossing& r) { return l.first < r.first; });
  // Kept in order of x: from one row to the next the order changes only where edges cross,
  // so an insertion sort has little to do.
  std::vector<EdgeCrossing> active;
  std::size_t next = 0;
  for (i64 y = y0; y < y1; ++y) {
    for (; next < waiting.size() && waiting[next].first == y; ++next)
      active.push_back(waiting[next]);
    for (std::size_t k = 1; k < active.size(); ++k)
      for (std::size_t j = k; j > 0 && active[j].x < active[j - 1].x; --j)
        std::swap(active[j], active[j - 1]);
    if (!winding) {
      for (std::size_t k = 0; k + 1 < active.size(); k += 2)
        SpanI(p, y, active[k].x, active[k + 1].x, value);
    } else {
      int wind = 0;
      i64 start = 0;
      for (const EdgeCrossing& e : active) {
        const int before = wind;
        wind += e.direction;
        if (before == 0 && wind != 0) start = e.x;
        if (before != 0 && wind == 0) SpanI(p, y, start, e.x, value);
      }
    }
    // Edges whose last row this was leave; the others move to the next row.
    std::erase_if(active, [y](const EdgeCrossing& e) { return e.last == y; });
    for (EdgeCrossing& e : active) e.NextRow();
  }
}

std::vector<POINT> DevicePoints(const DC& dc, const POINT* points, int count) {
  std::vector<POINT> device(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i)
    device[static_cast<std::size_t>(i)] = ToDevice(dc, points[i].x, points[i].y);
  return device;
}

DC* Drawable(HDC handle) {
  DC* dc = LookupDC(handle);
  return dc && dc->state.bitmap ? dc : nullptr;
}

}  // namespace

// ---- calls
// -------------------------------------------------------------------------------------------

COLORREF SetPixel(HDC handle, int x, int y, COLORREF color) {
  DC* dc = Drawable(handle);
  if (!dc) return CLR_INVALID;
  const POINT d = ToDevice(*dc, x, y);
  Painter p(*dc, R2_COPYPEN);
  const RECT& c = p.ClipBox();
  if (d.x < c.left || d.x >= c.right || d.y < c.top || d.y >= c.bottom) return CLR_INVALID;
  bool inside = false;
  for (const RECT& r : DrawableClip(*dc))
    inside = inside || (d.x >= r.left && d.x < r.right && d.y >= r.top && d.y < r.bottom);
  if (!inside) return CLR_INVALID;
  const std::uint32_t value = ValueIn(*dc, color);
  p.Span(d.y, d.x, d.x + 1, value);
  return ColorOfValue(*dc->state.bitmap, value);
}

BOOL SetPixelV(HDC dc, int x, int y, COLORREF color) {
  return SetPixel(dc, x, y, color) != CLR_INVALID;
}

COLORREF GetPixel(HDC handle, int x, int y) {
  DC* dc = Drawable(handle);
  if (!dc) return CLR_INVALID;
  const POINT d = ToDevice(*dc, x, y);
  for (const RECT& r : DrawableClip(*dc))
    if (d.x >= r.left && d.x < r.right && d.y >= r.top && d.y < r.bottom)
      return ColorOfValue(*dc->state.bitmap, ReadValue(*dc->state.bitmap, d.x, d.y));
  return CLR_INVALID;
}

int FillRect(HDC handle, const RECT* rect, HBRUSH brushHandle) {
  DC* dc = LookupDC(handle);
  auto* brush = LookupAs<Brush>(brushHandle, GdiKind::kBrush);
  if (!dc || !rect || !brush) return 0;
  if (!dc->state.bitmap || !BrushDraws(brush)) return 1;
  const Box b =
      Normalised(ToDevice(*dc, rect->left, rect->top), ToDevice(*dc, rect->right, rect->bottom));
  Painter p(*dc, R2_COPYPEN);
  p.Box(static_cast<int>(b.left), static_cast<int>(b.top), static_cast<int>(b.right),
        static_cast<int>(b.bottom), ValueIn(*dc, brush->color));
  return 1;
}

BOOL PatBlt(HDC handle, int x, int y, int width, int height, DWORD rop) {
  DC* dc = Drawable(handle);
  if (!dc) return 0;
  int rop2;
  COLORREF color = 0;
  switch (rop) {
    case PATCOPY:
      rop2 = R2_COPYPEN;
      break;
    case PATINVERT:
      rop2 = R2_XORPEN;
      break;
    case DSTINVERT:
      rop2 = R2_NOT;
      break;
    case BLACKNESS:
      rop2 = R2_COPYPEN;
      color = 0;
      break;
    case WHITENESS:
      rop2 = R2_COPYPEN;
      color = 0xFFFFFF;
      break;
    default:
      return 0;
  }
  const bool usesBrush = rop == PATCOPY || rop == PATINVERT;
  if (usesBrush) {
    if (!BrushDraws(dc->state.brush)) return 1;
    color = dc->state.brush->color;
  }
  const Box b = Normalised(ToDevice(*dc, x, y), ToDevice(*dc, i64{x} + width, i64{y} + height));
  Painter p(*dc, rop2);
  p.Box(static_cast<int>(b.left), static_cast<int>(b.top), static_cast<int>(b.right),
        static_cast<int>(b.bottom), ValueIn(*dc, color));
  return 1;
}

BOOL Rectangle(HDC handle, int left, int top, int right, int bottom) {
  DC* dc = Drawable(handle);
  if (!dc) return 0;
  const Box box = Normalised(ToDevice(*dc, left, top), ToDevice(*dc, right, bottom));
  if (box.Empty()) return 1;
  const Pen* pen = dc->state.pen;
  Box outer, inner;
  OutlineBoxes(box, pen, &outer, &inner);
  Painter p(*dc, dc->state.rop2);
  if (BrushDraws(dc->state.brush) && !inner.Empty())
    p.Box(static_cast<int>(inner.left), static_cast<int>(inner.top), static_cast<int>(inner.right),
          static_cast<int>(inner.bottom), ValueIn(*dc, dc->state.brush->color));
  if (!PenDraws(pen)) return 1;
  if (pen->width == 1 && pen->style != PS_SOLID) {
    const int r = static_cast<int>(box.right - 1), b = static_cast<int>(box.bottom - 1);
    const int l = static_cast<int>(box.left), t = static_cast<int>(box.top);
    PenLines(p, *dc, {POINT{l, t}, POINT{r, t}, POINT{r, b}, POINT{l, b}}, true);
    if (l == r || t == b) SpanI(p, b, r, r + 1, ValueIn(*dc, pen->color));
    return 1;
  }
  // The frame: outer box less inner box, as up to four bands.
  const std::uint32_t value = ValueIn(*dc, pen->color);
  const RECT& c = p.ClipBox();
  const i64 y0 = std::max<i64>(outer.top, c.top), y1 = std::min<i64>(outer.bottom, c.bottom);
  for (i64 y = y0; y < y1; ++y) {
    if (inner.Empty() || y < inner.top || y >= inner.bottom) {
      SpanI(p, y, outer.left, outer.right, value);
    } else {
      SpanI(p, y, outer.left, inner.left, value);
      SpanI(p, y, inner.right, outer.right, value);
    }
  }
  return 1;
}

BOOL Ellipse(HDC handle, int left, int top, int right, int bottom) {
  DC* dc = Drawable(handle);
  if (!dc) return 0;
  const Box box = Normalised(ToDevice(*dc, left, top), ToDevice(*dc, right, bottom));
  if (box.Empty()) return 1;
  const Pen* pen = dc->state.pen;
  const bool brush = BrushDraws(dc->state.brush);
  Box outer, inner;
  OutlineBoxes(box, pen, &outer, &inner);
  Painter p(*dc, dc->state.rop2);
  const std::uint32_t brushValue = brush ? ValueIn(*dc, dc->state.brush->color) : 0;
  const bool pen1 = PenDraws(pen);
  const std::uint32_t penValue = pen1 ? ValueIn(*dc, pen->color) : 0;
  const RECT& c = p.ClipBox();
  const i64 y0 = std::max<i64>(outer.top, c.top), y1 = std::min<i64>(outer.bottom, c.bottom);
  for (i64 y = y0; y < y1; ++y) {
    i64 o0, o1, n0, n1;
    if (!EllipseRow(outer, y, &o0, &o1)) continue;
    if (!pen1) {
      if (brush) SpanI(p, y, o0, o1, brushValue);
      continue;
    }
    if (EllipseRow(inner, y, &n0, &n1)) {
      if (brush) SpanI(p, y, n0, n1, brushValue);
      SpanI(p, y, o0, n0, penValue);
      SpanI(p, y, n1, o1, penValue);
    } else {
      SpanI(p, y, o0, o1, penValue);
    }
  }
  return 1;
}

BOOL Polygon(HDC handle, const POINT* points, int count) {
  DC* dc = Drawable(handle);
  if (!dc || !points || count < 2) return 0;
  const std::vector<POINT> device = DevicePoints(*dc, points, count);
  Painter p(*dc, dc->state.rop2);
  if (BrushDraws(dc->state.brush))
    FillPolygon(p, *dc, device, ValueIn(*dc, dc->state.brush->color));
  PenLines(p, *dc, device, true);
  return 1;
}

BOOL LineTo(HDC handle, int x, int y) {
  DC* dc = LookupDC(handle);
  if (!dc) return 0;
  const POINT from = dc->state.position;
  dc->state.position = POINT{ClampCoordinate(x), ClampCoordinate(y)};
  if (!dc->state.bitmap) return 1;
  Painter p(*dc, dc->state.rop2);
  PenLines(p, *dc, {ToDevice(*dc, from.x, from.y), ToDevice(*dc, x, y)}, false);
  return 1;
}

BOOL Polyline(HDC handle, const POINT* points, int count) {
  DC* dc = Drawable(handle);
  if (!dc || !points || count < 2) return 0;
  const std::vector<POINT> device = DevicePoints(*dc, points, count);
  Painter p(*dc, dc->state.rop2);
  PenLines(p, *dc, device, false);
  return 1;
}

}  // namespace plat
