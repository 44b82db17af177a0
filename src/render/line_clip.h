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

// Visits the pixels of the integer line from (x1, y1) to (x2, y2), both ends included, in
// order from the first endpoint.
template <class Plot>
void StepLine(int x1, int y1, int x2, int y2, Plot&& plot) {
  const int sx = x2 < x1 ? -1 : 1, sy = y2 < y1 ? -1 : 1;
  const long long ax = 2LL * (x2 < x1 ? static_cast<long long>(x1) - x2 : static_cast<long long>(x2) - x1);
  const long long ay = 2LL * (y2 < y1 ? static_cast<long long>(y1) - y2 : static_cast<long long>(y2) - y1);
  int x = x1, y = y1;
  if (ay < ax) {
    long long d = ay - ax / 2;
    plot(x, y);
    while (x != x2) {
      x += sx;
      if (d >= 0) {
        y += sy;
        d -= ax;
      }
      d += ay;
      plot(x, y);
    }
  } else {
    long long d = ax - ay / 2;
    plot(x, y);
    while (y != y2) {
      y += sy;
      if (d >= 0) {
        x += sx;
        d -= ay;
      }
      d += ax;
      plot(x, y);
    }
  }
}

}  // namespace vexa
