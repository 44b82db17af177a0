// GetRotatedRect and ClampRotatedSize: the geometry of a rotated image.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include <vexa/rotation.h>
#include <vexa/surface_implementation.h>

#include "render/rotate_angle.h"

namespace {

struct Turn {
  double cos, sin;
};

// Exact values at the right angles; elsewhere the sine and cosine, in double precision, of
// the angle in radians rounded to single precision.
Turn TurnOf(float angle) {
  const float reduced = vexa::ReduceAngle(angle);
  if (reduced == 0.0f) return {1.0, 0.0};
  if (reduced == 90.0f) return {0.0, 1.0};
  if (reduced == 180.0f) return {-1.0, 0.0};
  if (reduced == 270.0f) return {0.0, -1.0};
  const auto radians = static_cast<double>(static_cast<float>(angle * vexa::kPi / 180.0));
  return {std::cos(radians), std::sin(radians)};
}

struct Corner {
  std::int64_t x, y;
};

// Truncated toward zero, as a conversion to int would; false when the value is out of reach of
// 64-bit arithmetic.
bool Truncate(double v, std::int64_t* out) {
  if (!(std::fabs(v) < 0x1p62)) return false;
  *out = static_cast<std::int64_t>(v);
  return true;
}

bool TurnPoint(const Turn& t, double x, double y, Corner* out) {
  return Truncate(x * t.cos + y * t.sin, &out->x) && Truncate(y * t.cos - x * t.sin, &out->y);
}

bool FitsInt(std::int64_t v) {
  return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
}

}  // namespace

RECT* GetRotatedRect(RECT* rect, POINT* hotSpot, POINT* actionPoint, float angle) {
  // A NaN or infinite angle turns no corner anywhere: refused, the outputs untouched.
  if (!rect || !std::isfinite(angle)) return nullptr;
  const Turn t = TurnOf(angle);
  const double w = rect->right, h = rect->bottom;
  const double hx = hotSpot ? hotSpot->x : 0, hy = hotSpot ? hotSpot->y : 0;
  Corner a{}, b{}, c{}, moved{};
  if (!TurnPoint(t, -hx, -hy, &a) || !TurnPoint(t, w - hx, -hy, &b) ||
      !TurnPoint(t, -hx, h - hy, &c)) {
    return nullptr;
  }
  if (actionPoint && !TurnPoint(t, actionPoint->x - hx, actionPoint->y - hy, &moved)) {
    return nullptr;
  }
  // The fourth corner completes the parallelogram, so that truncation cannot skew it.
  const Corner d{b.x + c.x - a.x, b.y + c.y - a.y};
  const std::int64_t minX = std::min({a.x, b.x, c.x, d.x}), maxX = std::max({a.x, b.x, c.x, d.x});
  const std::int64_t minY = std::min({a.y, b.y, c.y, d.y}), maxY = std::max({a.y, b.y, c.y, d.y});
  // A box, hot spot or action point that an int cannot hold is refused with the outputs
  // untouched, rather than wrapped.
  const std::int64_t results[] = {maxX - minX, maxY - minY,    -minX,
                                  -minY,       moved.x - minX, moved.y - minY};
  for (std::int64_t v : results) {
    if (!FitsInt(v)) return nullptr;
  }
  rect->left = rect->top = 0;
  rect->right = static_cast<int>(maxX - minX);
  rect->bottom = static_cast<int>(maxY - minY);
  if (hotSpot) *hotSpot = POINT{static_cast<int>(-minX), static_cast<int>(-minY)};
  if (actionPoint) {
    *actionPoint = POINT{static_cast<int>(moved.x - minX), static_cast<int>(moved.y - minY)};
  }
  return rect;
}

void ClampRotatedSize(int* width, int* height, float angle) {
  if (!width || !height || !std::isfinite(angle)) return;
  const float reduced = vexa::ReduceAngle(angle);
  if (reduced == 0.0f || reduced == 180.0f) return;
  if (reduced == 90.0f || reduced == 270.0f) {
    std::swap(*width, *height);
    return;
  }
  RECT box{0, 0, *width, *height};
  GetRotatedRect(&box, nullptr, nullptr, angle);
  *width = box.right;
  *height = box.bottom;
}
