#include "bank/mask/mask_transform.h"

#include <algorithm>
#include <cmath>

#include <vexa/collision_mask.h>

#include "bank/mask/mask_tests.h"

namespace vexa {

MaskTransform MakeMaskTransform(float angle, float scaleX, float scaleY) {
  MaskTransform t{};
  t.rotated = angle != 0.0f;
  t.scaled = scaleX != 1.0f || scaleY != 1.0f;
  const double radians = static_cast<double>(angle) * kMaskPi / 180.0;
  t.cosine = t.rotated ? std::cos(radians) : 1.0;
  t.sine = t.rotated ? std::sin(radians) : 0.0;
  // Right angles are exact, as in the rotation routines: with the rounded pi, cos 90 would be
  // a hair above 0 and every mapped offset just below a whole number would drop to the pixel
  // before it, tearing the mask apart along the axes through its hot spot.
  double turns = std::fmod(static_cast<double>(angle), 360.0);
  if (turns < 0) turns += 360.0;
  if (turns == 0.0 || turns == 90.0 || turns == 180.0 || turns == 270.0) {
    const int quarter = static_cast<int>(turns / 90.0);
    constexpr double kCos[4] = {1.0, 0.0, -1.0, 0.0};
    constexpr double kSin[4] = {0.0, 1.0, 0.0, -1.0};
    t.cosine = kCos[quarter];
    t.sine = kSin[quarter];
  }
  t.scaleX = scaleX;
  t.scaleY = scaleY;
  return t;
}

bool UsableMaskTransform(float angle, float scaleX, float scaleY) {
  return std::isfinite(angle) && std::isfinite(scaleX) && std::isfinite(scaleY) && scaleX != 0.0f &&
         scaleY != 0.0f;
}

MaskCell MapToCell(const MaskTransform& t, std::int64_t dx, std::int64_t dy, int hotSpotX,
                   int hotSpotY, int width, int height) {
  // Clamps a mapped coordinate to [-1, size]; NaN (a zero scale) counts as outside.
  auto cell = [](double v, int size) -> std::int64_t {
    if (!(v >= 0.0)) return -1;
    if (v >= size) return size;
    return static_cast<std::int64_t>(v);
  };
  if (!t.rotated) {
    if (!t.scaled) {
      return {std::clamp<std::int64_t>(dx + hotSpotX, -1, width),
              std::clamp<std::int64_t>(dy + hotSpotY, -1, height)};
    }
    // Beyond the int range (tiny scales) the offset is outside any image.
    auto axis = [](std::int64_t d, float scale, int hotSpot, int size) -> std::int64_t {
      const float f = static_cast<float>(d) / scale;
      if (!(f > -2e9f)) return -1;
      if (!(f < 2e9f)) return size;
      return std::clamp<std::int64_t>(static_cast<std::int64_t>(f) + hotSpot, -1, size);
    };
    return {axis(dx, t.scaleX, hotSpotX, width), axis(dy, t.scaleY, hotSpotY, height)};
  }
  const auto fdx = static_cast<double>(dx);
  const auto fdy = static_cast<double>(dy);
  double rx = fdx * t.cosine - fdy * t.sine;
  double ry = fdy * t.cosine + fdx * t.sine;
  if (t.scaled) {
    rx /= t.scaleX;
    ry /= t.scaleY;
  }
  return {cell(hotSpotX + rx, width), cell(hotSpotY + ry, height)};
}

bool MapToMask(const MaskTransform& t, std::int64_t dx, std::int64_t dy, int hotSpotX, int hotSpotY,
               int width, int height, int* x, int* y) {
  const MaskCell c = MapToCell(t, dx, dy, hotSpotX, hotSpotY, width, height);
  if (c.x < 0 || c.y < 0 || c.x >= width || c.y >= height) return false;
  *x = static_cast<int>(c.x);
  *y = static_cast<int>(c.y);
  return true;
}

OffsetBox PlacedBounds(const MaskTransform& t, int hotSpotX, int hotSpotY, int width, int height,
                       int firstRow) {
  // The corners of the image one pixel larger on every side, taken back to screen offsets:
  // scaled, then turned by the inverse of MapToMask's rotation.
  const double xs[2] = {-1.0 - hotSpotX, width + 1.0 - hotSpotX};
  const double ys[2] = {firstRow - 1.0 - hotSpotY, height + 1.0 - hotSpotY};
  double left = 0, right = 0, top = 0, bottom = 0;
  for (int i = 0; i < 4; ++i) {
    const double mx = xs[i & 1] * t.scaleX;
    const double my = ys[i >> 1] * t.scaleY;
    const double sx = mx * t.cosine + my * t.sine;
    const double sy = my * t.cosine - mx * t.sine;
    left = i ? std::min(left, sx) : sx;
    right = i ? std::max(right, sx) : sx;
    top = i ? std::min(top, sy) : sy;
    bottom = i ? std::max(bottom, sy) : sy;
  }
  // Clamped so that huge scales cannot overflow the conversions.
  // (A NaN scale maps nothing into the image, so any box will do for it.)
  auto clampFloor = [](double v) {
    if (std::isnan(v)) return std::int64_t{0};
    return static_cast<std::int64_t>(std::floor(std::clamp(v, -4e9, 4e9)));
  };
  return {clampFloor(left) - 1, clampFloor(top) - 1, clampFloor(right) + 2, clampFloor(bottom) + 2};
}

bool PointInPlacedRect(int dx, int dy, int hotSpotX, int hotSpotY, int width, int height,
                       float angle, float scaleX, float scaleY) {
  if (!UsableMaskTransform(angle, scaleX, scaleY)) return false;
  int x = 0;
  int y = 0;
  return MapToMask(MakeMaskTransform(angle, scaleX, scaleY), dx, dy, hotSpotX, hotSpotY, width,
                   height, &x, &y);
}

}  // namespace vexa

int TestMaskPointPlaced(const CollisionMask* mask, int dx, int dy, float angle, float scaleX,
                        float scaleY) {
  if (!mask || !vexa::UsableMaskTransform(angle, scaleX, scaleY)) return 0;
  int x = 0;
  int y = 0;
  if (!vexa::MapToMask(vexa::MakeMaskTransform(angle, scaleX, scaleY), dx, dy, mask->hotSpotX,
                       mask->hotSpotY, mask->width, mask->height, &x, &y)) {
    return 0;
  }
  return vexa::MaskRowBit(MaskBits(mask) + static_cast<std::int64_t>(y) * MaskRowBytes(mask->width),
                          x)
             ? 1
             : 0;
}
