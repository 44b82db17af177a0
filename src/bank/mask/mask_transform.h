// Placing a scaled and rotated mask: the mapping from a screen offset to the mask's own pixel,
// shared by the placed point test, the rotated overlaps, the rectangle test and the sprite
// collisions (which also use it for objects without a mask).
#pragma once

#include <cstdint>

namespace vexa {

// Pi as the library's rotations take it.
inline constexpr double kMaskPi = 3.141592653589;

struct MaskTransform {
  bool rotated;  // angle not 0
  bool scaled;   // a scale not 1
  double cosine;
  double sine;
  float scaleX;
  float scaleY;
};

MaskTransform MakeMaskTransform(float angle, float scaleX, float scaleY);

// Zero, infinite and NaN scales and non-finite angles place nothing: every test with them
// finds nothing.
bool UsableMaskTransform(float angle, float scaleX, float scaleY);

// The offset (dx, dy) from the object's position (where the hot spot is drawn) as a pixel of
// a width x height image: true with (*x, *y) when it lies inside. Unrotated, scaled offsets are
// divided by the scales and truncated toward zero; rotated ones become
// (dx cos - dy sin, dy cos + dx sin), divided by the scales, in double precision.
bool MapToMask(const MaskTransform& transform, std::int64_t dx, std::int64_t dy, int hotSpotX,
               int hotSpotY, int width, int height, int* x, int* y);

// The mask pixel that MapToMask computes for an offset, before its inside test, with a
// coordinate left of or above the image given as -1 and one right of or below it as the
// width or height (the offset is inside exactly when both coordinates are in the image). Each
// coordinate is a monotone function of dx and of dy alike, as every rounded step of the
// mapping is, so over a rectangle of offsets it lies between its values at the corners.
struct MaskCell {
  std::int64_t x, y;
};
MaskCell MapToCell(const MaskTransform& transform, std::int64_t dx, std::int64_t dy, int hotSpotX,
                   int hotSpotY, int width, int height);

// Bounding box, in offsets from the object's position, of every offset that MapToMask can
// send into rows [firstRow, height) of a width x height image (a pixel wider on every side
// than the drawn image, so that no mapped offset falls outside).
struct OffsetBox {
  std::int64_t left, top, right, bottom;  // right and bottom exclusive
};
OffsetBox PlacedBounds(const MaskTransform& transform, int hotSpotX, int hotSpotY, int width,
                       int height, int firstRow);

// The point test for objects without a mask: true when the offset lands inside the scaled and
// rotated width x height rectangle.
bool PointInPlacedRect(int dx, int dy, int hotSpotX, int hotSpotY, int width, int height,
                       float angle, float scaleX, float scaleY);

}  // namespace vexa
