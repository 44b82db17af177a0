// The rotated mask tests and TestRectMask.
//
// The transformed mask B is never drawn: its bounding box on the screen is intersected with
// the other side (a mask or a rectangle). Every set pixel of a mask inside that box is mapped
// back into B through MapToMask, the same mapping the placed point test uses; a rectangle's
// part of the box is halved until each part is settled by where its corners map (the same
// mapping again). So the point test and these tests always agree about which pixels of B
// are hit.
#include <algorithm>
#include <iterator>

#include <vexa/collision_mask.h>

#include "bank/mask/mask_tests.h"
#include "bank/mask/mask_transform.h"

namespace vexa {
namespace {

// B: its bits and size, its hot spot, the screen point where the hot spot lands, and the
// first of its rows that take part.
struct PlacedMask {
  const std::uint8_t* bits;
  int width;
  int height;
  int hotSpotX;
  int hotSpotY;
  int x;
  int y;
  int firstRow;
};

struct ScreenBox {
  std::int64_t left, top, right, bottom;
};

ScreenBox ClipToPlaced(const MaskTransform& t, const PlacedMask& b, ScreenBox other) {
  const OffsetBox box = PlacedBounds(t, b.hotSpotX, b.hotSpotY, b.width, b.height, b.firstRow);
  return {std::max(other.left, b.x + box.left), std::max(other.top, b.y + box.top),
          std::min(other.right, b.x + box.right), std::min(other.bottom, b.y + box.bottom)};
}

// True when screen pixel (px, py) shows a set pixel of B.
bool PlacedBitSet(const MaskTransform& t, const PlacedMask& b, std::int64_t px, std::int64_t py) {
  int mx = 0;
  int my = 0;
  if (!MapToMask(t, px - b.x, py - b.y, b.hotSpotX, b.hotSpotY, b.width, b.height, &mx, &my)) {
    return false;
  }
  return my >= b.firstRow && MaskRowBit(b.bits + my * MaskRowBytes(b.width), mx);
}

int RotatedOverlap(const std::uint8_t* bitsA, int xA, int yA, int wA, int hA, const PlacedMask& b,
                   const MaskTransform& t) {
  const ScreenBox box = ClipToPlaced(t, b, {xA, yA, std::int64_t{xA} + wA, std::int64_t{yA} + hA});
  const std::int64_t rowBytesA = MaskRowBytes(wA);
  for (std::int64_t y = box.top; y < box.bottom; ++y) {
    const std::uint8_t* rowA = bitsA + (y - yA) * rowBytesA;
    const bool hit = AnySetBitIn(rowA, box.left - xA, box.right - xA,
                                 [&](std::int64_t x) { return PlacedBitSet(t, b, x + xA, y); });
    if (hit) return 1;
  }
  return 0;
}

int RotatedOverlapChecked(const std::uint8_t* bitsA, const std::uint8_t* bitsB, int xA, int yA,
                          int wA, int hA, int x, int y, int hotSpotX, int hotSpotY, int wB, int hB,
                          float scaleX, float scaleY, float angle, int bottomRows) {
  if (!bitsA || !bitsB || wA <= 0 || hA <= 0 || wB <= 0 || hB <= 0) return 0;
  if (!UsableMaskTransform(angle, scaleX, scaleY)) return 0;
  const int firstRow = bottomRows > 0 ? hB - std::min(bottomRows, hB) : 0;
  const PlacedMask b{bitsB, wB, hB, hotSpotX, hotSpotY, x, y, firstRow};
  return RotatedOverlap(bitsA, xA, yA, wA, hA, b, MakeMaskTransform(angle, scaleX, scaleY));
}

// The unrotated rectangle test: the rectangle taken into mask coordinates (offsets from the
// object divided by the scales and truncated; a scaled extent that truncates to 0 becomes 1).
int UnrotatedRectTest(const RECT& r, const CollisionMask& mask, int x, int y, float scaleX,
                      float scaleY) {
  std::int64_t left = std::int64_t{r.left} - x;
  std::int64_t top = std::int64_t{r.top} - y;
  std::int64_t width = std::int64_t{r.right} - r.left;
  std::int64_t height = std::int64_t{r.bottom} - r.top;
  if (scaleX != 1.0f || scaleY != 1.0f) {
    auto scaled = [](std::int64_t v, float scale) {
      const float f = static_cast<float>(v) / scale;
      return static_cast<std::int64_t>(std::clamp(f, -4e9f, 4e9f));
    };
    left = scaled(left, scaleX);
    top = scaled(top, scaleY);
    width = std::max<std::int64_t>(scaled(width, scaleX), 1);
    height = std::max<std::int64_t>(scaled(height, scaleY), 1);
  }
  // Clipped here, so that what is passed on fits an int.
  left += mask.hotSpotX;
  top += mask.hotSpotY;
  const std::int64_t right = std::min<std::int64_t>(left + width, mask.width);
  const std::int64_t bottom = std::min<std::int64_t>(top + height, mask.height);
  left = std::max<std::int64_t>(left, 0);
  top = std::max<std::int64_t>(top, 0);
  if (right <= left || bottom <= top) return 0;
  return TestMaskRect(MaskBits(&mask), mask.width, mask.height, static_cast<int>(left),
                      static_cast<int>(top), static_cast<int>(right - left),
                      static_cast<int>(bottom - top));
}

// The mask pixel a screen pixel shows, clamped as MapToCell gives it.
MaskCell PlacedCell(const MaskTransform& t, const PlacedMask& b, std::int64_t px, std::int64_t py) {
  return MapToCell(t, px - b.x, py - b.y, b.hotSpotX, b.hotSpotY, b.width, b.height);
}

// Boxes this small are tested pixel by pixel.
constexpr std::int64_t kPixelWalkArea = 64;

// True when a screen pixel of the box shows a set pixel of B. The mask pixels a box can show
// lie in the range its corners map to (MapToCell is monotone along both axes), so a box whose
// range holds no set pixel is passed over whole, and one whose corners all show one set pixel
// shows it everywhere; any other box is halved. The work follows the edges between set and
// clear pixels of B that lie inside the box, not the box's area, so a huge rectangle over a
// hugely scaled mask costs about as much as the mask's own size.
bool BoxShowsSetPixel(const MaskTransform& t, const PlacedMask& b, const ScreenBox& box,
                      std::int64_t* budget) {
  if (box.left >= box.right || box.top >= box.bottom) return false;
  // Placements far outside any screen (hot spots and rectangles near the ends of the int range,
  // where the mapping's rounding widens every range) could make the halving visit a great many
  // boxes; the search stops after a budget set by the mask's size and then finds nothing.
  if (--*budget < 0) return false;
  const MaskCell corners[4] = {
      PlacedCell(t, b, box.left, box.top), PlacedCell(t, b, box.right - 1, box.top),
      PlacedCell(t, b, box.left, box.bottom - 1), PlacedCell(t, b, box.right - 1, box.bottom - 1)};
  std::int64_t left = corners[0].x, right = left, top = corners[0].y, bottom = top;
  for (const MaskCell& c : corners) {
    left = std::min(left, c.x);
    right = std::max(right, c.x);
    top = std::min(top, c.y);
    bottom = std::max(bottom, c.y);
  }
  left = std::max<std::int64_t>(left, 0);
  top = std::max<std::int64_t>(top, b.firstRow);
  right = std::min<std::int64_t>(right, b.width - 1);
  bottom = std::min<std::int64_t>(bottom, b.height - 1);
  if (left > right || top > bottom) return false;
  if (!MaskRectHasSetBit(ActiveMaskKernels(), b.bits, b.width, b.height, static_cast<int>(left),
                         static_cast<int>(top), static_cast<int>(right - left + 1),
                         static_cast<int>(bottom - top + 1))) {
    return false;
  }
  // One set pixel in the range, and every corner on it: the whole box shows it.
  if (left == right && top == bottom &&
      std::all_of(std::begin(corners), std::end(corners),
                  [&](const MaskCell& c) { return c.x == left && c.y == top; })) {
    return true;
  }
  const std::int64_t width = box.right - box.left;
  const std::int64_t height = box.bottom - box.top;
  // Each side is checked first: a box across the whole int range would overflow the product.
  if (width <= kPixelWalkArea && height <= kPixelWalkArea && width * height <= kPixelWalkArea) {
    for (std::int64_t py = box.top; py < box.bottom; ++py) {
      for (std::int64_t px = box.left; px < box.right; ++px) {
        if (PlacedBitSet(t, b, px, py)) return true;
      }
    }
    return false;
  }
  ScreenBox first = box;
  ScreenBox second = box;
  if (width >= height) {
    first.right = second.left = box.left + width / 2;
  } else {
    first.bottom = second.top = box.top + height / 2;
  }
  return BoxShowsSetPixel(t, b, first, budget) || BoxShowsSetPixel(t, b, second, budget);
}

int RotatedRectTest(const RECT& r, const CollisionMask& mask, int x, int y,
                    const MaskTransform& t) {
  PlacedMask b{};
  b.bits = MaskBits(&mask);
  b.width = mask.width;
  b.height = mask.height;
  b.hotSpotX = mask.hotSpotX;
  b.hotSpotY = mask.hotSpotY;
  b.x = x;
  b.y = y;
  std::int64_t budget = 256 * static_cast<std::int64_t>(mask.width) * mask.height + 65536;
  return BoxShowsSetPixel(t, b, ClipToPlaced(t, b, {r.left, r.top, r.right, r.bottom}), &budget)
             ? 1
             : 0;
}

}  // namespace
}  // namespace vexa

int TestMaskOverlapRotated(const std::uint8_t* bitsA, const std::uint8_t* bitsB, int xA, int yA,
                           int wA, int hA, int x, int y, int hotSpotX, int hotSpotY, int wB, int hB,
                           float angle, int bottomRows) {
  return vexa::RotatedOverlapChecked(bitsA, bitsB, xA, yA, wA, hA, x, y, hotSpotX, hotSpotY, wB, hB,
                                     1.0f, 1.0f, angle, bottomRows);
}

int TestMaskOverlapRotatedScaled(const std::uint8_t* bitsA, const std::uint8_t* bitsB, int xA,
                                 int yA, int wA, int hA, int x, int y, int hotSpotX, int hotSpotY,
                                 int wB, int hB, float scaleX, float scaleY, float angle,
                                 int bottomRows) {
  return vexa::RotatedOverlapChecked(bitsA, bitsB, xA, yA, wA, hA, x, y, hotSpotX, hotSpotY, wB, hB,
                                     scaleX, scaleY, angle, bottomRows);
}

int TestRectMask(const RECT* rectangle, const CollisionMask* mask, int x, int y, float scaleX,
                 float scaleY, float angle) {
  if (!rectangle || !mask || mask->width <= 0 || mask->height <= 0) return 0;
  if (!vexa::UsableMaskTransform(angle, scaleX, scaleY)) return 0;
  if (rectangle->right <= rectangle->left || rectangle->bottom <= rectangle->top) return 0;
  // Mirroring (negative) scales take the placed path, which maps them like the point test.
  if (angle == 0.0f && scaleX > 0.0f && scaleY > 0.0f) {
    return vexa::UnrotatedRectTest(*rectangle, *mask, x, y, scaleX, scaleY);
  }
  return vexa::RotatedRectTest(*rectangle, *mask, x, y,
                               vexa::MakeMaskTransform(angle, scaleX, scaleY));
}
