// GetRotatedRect and ClampRotatedSize: the geometry of a rotated image.
#include <algorithm>
#include <cmath>

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
  int x, y;
};

Corner TurnPoint(const Turn& t, double x, double y) {
  return {static_cast<int>(x * t.cos + y * t.sin), static_cast<int>(y * t.cos - x * t.sin)};
}

}  // namespace

RECT* GetRotatedRect(RECT* rect, POINT* hotSpot, POINT* actionPoint, float angle) {
  // A NaN or infinite angle turns no corner anywhere: refused, the outputs untouched.
  if (!rect || !std::isfinite(angle)) return nullptr;
  const Turn t = TurnOf(angle);
  const double w = rect->right, h = rect->bottom;
  const double hx = hotSpot ? hotSpot->x : 0, hy = hotSpot ? hotSpot->y : 0;
  const Corner a = TurnPoint(t, -hx, -hy);
  const Corner b = TurnPoint(t, w - hx, -hy);
  const Corner c = TurnPoint(t, -hx, h - hy);
  // The fourth corner completes the parallelogram, so that truncation cannot skew it.
  const Corner d{b.x + c.x - a.x, b.y + c.y - a.y};
  const int minX = std::min({a.x, b.x, c.x, d.x}), maxX = std::max({a.x, b.x, c.x, d.x});
  const int minY = std::min({a.y, b.y, c.y, d.y}), maxY = std::max({a.y, b.y, c.y, d.y});
  rect->left = rect->top = 0;
  rect->right = maxX - minX;
  rect->bottom = maxY - minY;
  if (hotSpot) *hotSpot = POINT{-minX, -minY};
  if (actionPoint) {
    const Corner moved = TurnPoint(t, actionPoint->x - hx, actionPoint->y - hy);
    *actionPoint = POINT{moved.x - minX, moved.y - minY};
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
