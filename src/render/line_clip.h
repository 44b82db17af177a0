// Clipping and stepping of one-pixel lines.
#pragma once

#include <cstdint>

namespace vexa {

// Clips (x1, y1)-(x2, y2) to the rectangle left..right, top..bottom (all four inclusive) with
// outcodes, moving one endpoint at a time onto an edge. Products are exact whatever the
// distance between the endpoints, and the moves are bounded: false when the segment misses
// the rectangle. Cut points are truncated positions of the original line on the edges.
bool ClipSegment(std::int64_t* x1, std::int64_t* y1, std::int64_t* x2, std::int64_t* y2,
                 std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom);

// The integer line algorithm over a major and a minor axis: plots, then `count` times steps
// the major axis, the minor one when the error term says so, and plots again. aMajor and
// aMinor are twice the extents along the two axes.
template <class Plot, class StepMajor, class StepMinor>
void StepAxes(long long aMajor, long long aMinor, long long count, Plot&& plot,
              StepMajor&& stepMajor, StepMinor&& stepMinor) {
  long long d = aMinor - aMajor / 2;
  plot();
  for (long long i = 0; i < count; ++i) {
    stepMajor();
    if (d >= 0) {
      stepMinor();
      d -= aMajor;
    }
    d += aMinor;
    plot();
  }
}

// Calls `along(stepX, stepY)` with the major-axis step first: x when the line is flatter than
// 45 degrees, y otherwise, so that callers keep their own position however they track it.
struct LineAxes {
  int sx, sy;
  long long ax, ay;
  LineAxes(int x1, int y1, int x2, int y2)
      : sx(x2 < x1 ? -1 : 1),
        sy(y2 < y1 ? -1 : 1),
        ax(2 * (x2 < x1 ? static_cast<long long>(x1) - x2 : static_cast<long long>(x2) - x1)),
        ay(2 * (y2 < y1 ? static_cast<long long>(y1) - y2 : static_cast<long long>(y2) - y1)) {}
  bool XMajor() const { return ay < ax; }
};

// Visits the pixels of the integer line from (x1, y1) to (x2, y2), both ends included, in
// order from the first endpoint.
template <class Plot>
void StepLine(int x1, int y1, int x2, int y2, Plot&& plot) {
  const LineAxes a(x1, y1, x2, y2);
  int x = x1, y = y1;
  auto put = [&] { plot(x, y); };
  auto stepX = [&] { x += a.sx; };
  auto stepY = [&] { y += a.sy; };
  if (a.XMajor())
    StepAxes(a.ax, a.ay, a.ax / 2, put, stepX, stepY);
  else
    StepAxes(a.ay, a.ax, a.ay / 2, put, stepY, stepX);
}

}  // namespace vexa
