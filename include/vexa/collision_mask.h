// Collision masks: 1-bit pictures of the solid pixels of an image, and the tests on them.
//
// A mask is one contiguous block: the 44-byte CollisionMask header, then `height` bit rows of
// `rowBytes` bytes each, top row first. Pixel (x, y) is bit (x & 7) of byte (x >> 3) of row y,
// bit 0 being the leftmost pixel of its byte, so that read as a little-endian word, pixel x of
// the word is bit x. Rows are padded to whole 16-bit words and the padding bits are always 0;
// every test relies on that.
//
// The tests are pure functions of the bits: they return 1 (collision) or 0 and never modify a
// mask. Null bits and empty sizes give 0. The unscaled tests take mask bits (not headers) with
// their sizes, so that the collision map's planes can be tested with them too; a plane's row
// length must then follow the mask rule for the width passed.
//
// Placement of two masks in the overlap tests (top-left corners in one coordinate space):
//
//        xA                xB
//   yA   +-----------------+------+
//        | A               |  B   |      A and B collide when some pixel is set in both;
//        |            yB   +------+      masks that only touch along an edge (xB = xA + wA)
//        |                 |      |      do not.
//        +-----------------+------+
//
// Scaled, rotated and placed tests (TestMaskOverlapScaled, TestMaskOverlapRotated*,
// TestRectMask, the sprite point test) share the angle convention of the rotation routines:
// degrees, positive turning the image counter-clockwise on the screen (y grows downwards),
// converted to radians with pi taken as 3.141592653589 (multiples of 90 degrees use exact
// sines and cosines, as the rotation routines do). A screen offset (dx, dy) from the
// hot spot of a mask drawn with angle a and scales (sx, sy) lands on mask pixel
//   (hotSpotX + (dx cos a - dy sin a) / sx,  hotSpotY + (dy cos a + dx sin a) / sy),
// which is the same mapping the rotation routine uses to sample its source.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/export.h>
#include <vexa/wintypes.h>

struct CollisionMask {
  std::int32_t bitsOffset;  // from the start of the header to the first bit row; always 44
  std::int32_t width;       // pixels
  std::int32_t height;      // pixels
  std::int32_t rowBytes;    // ((width + 15) >> 4) * 2
  std::int32_t hotSpotX;    // the point placed at an object's position
  std::int32_t hotSpotY;
  std::int32_t reserved[5];  // written as zero
};

static_assert(sizeof(CollisionMask) == 44);
static_assert(offsetof(CollisionMask, bitsOffset) == 0);
static_assert(offsetof(CollisionMask, width) == 4);
static_assert(offsetof(CollisionMask, height) == 8);
static_assert(offsetof(CollisionMask, rowBytes) == 12);
static_assert(offsetof(CollisionMask, hotSpotX) == 16);
static_assert(offsetof(CollisionMask, hotSpotY) == 20);
static_assert(offsetof(CollisionMask, reserved) == 24);

inline constexpr std::int32_t kCollisionMaskHeaderSize = 44;

// BuildMask flag: build the top-edge kind, in which only the first 6 solid pixels of each
// column, counted from the top, are set.
inline constexpr std::uint32_t kMaskTopEdge = 0x1;
inline constexpr int kMaskTopEdgeDepth = 6;

// Bytes per bit row of a mask `width` pixels wide (rows are padded to 16-bit words).
constexpr std::int64_t MaskRowBytes(std::int64_t width) { return ((width + 15) >> 4) * 2; }

// Whole size of a mask block: header and rows.
constexpr std::int64_t MaskBlockSize(std::int64_t width, std::int64_t height) {
  return kCollisionMaskHeaderSize + height * MaskRowBytes(width);
}

// The bit rows that follow a header.
inline const std::uint8_t* MaskBits(const CollisionMask* mask) {
  return reinterpret_cast<const std::uint8_t*>(mask) + mask->bitsOffset;
}
inline std::uint8_t* MaskBits(CollisionMask* mask) {
  return reinterpret_cast<std::uint8_t*>(mask) + mask->bitsOffset;
}

// 1 when 0 <= x < width, 0 <= y < height and pixel (x, y) is set.
VEXA_API int TestMaskPoint(const std::uint8_t* bits, int x, int y, int width, int height);

// 1 when a set pixel lies in the rectangle (x, y, w, h), given in mask coordinates and
// clipped to the mask.
VEXA_API int TestMaskRect(const std::uint8_t* bits, int width, int height, int x, int y, int w,
                          int h);

// 1 when some pixel is set in both masks placed with their top-left corners at (xA, yA) and
// (xB, yB).
VEXA_API int TestMaskOverlap(const std::uint8_t* bitsA, const std::uint8_t* bitsB, int xA, int yA,
                             int wA, int hA, int xB, int yB, int wB, int hB);

// As TestMaskOverlap with B drawn scaled by (scaleX, scaleY) from its top-left corner: its
// drawn size is (int(wB * scaleX), int(hB * scaleY)), and drawn pixel (u, v) shows B's pixel
// (int(u / scaleX), int(v / scaleY)). A scale of 0 gives 0.
VEXA_API int TestMaskOverlapScaled(const std::uint8_t* bitsA, const std::uint8_t* bitsB, int xA,
                                   int yA, int wA, int hA, int xB, int yB, int wB, int hB,
                                   float scaleX, float scaleY);

// A at (xA, yA) against B drawn rotated by `angle` about its hot spot (hotSpotX, hotSpotY),
// which lands on (x, y). With bottomRows > 0 only B's last min(bottomRows, hB) rows take part.
VEXA_API int TestMaskOverlapRotated(const std::uint8_t* bitsA, const std::uint8_t* bitsB, int xA,
                                    int yA, int wA, int hA, int x, int y, int hotSpotX,
                                    int hotSpotY, int wB, int hB, float angle, int bottomRows);

// As TestMaskOverlapRotated with B scaled by (scaleX, scaleY) about its hot spot before the
// rotation. A scale of 0 gives 0.
//
// The placed tests (these two, TestRectMask and TestMaskPointPlaced) give 0 for an infinite or
// NaN angle or scale. TestRectMask's cost follows the mask's size and the scale, not the area
// of the rectangle.
VEXA_API int TestMaskOverlapRotatedScaled(const std::uint8_t* bitsA, const std::uint8_t* bitsB,
                                          int xA, int yA, int wA, int hA, int x, int y,
                                          int hotSpotX, int hotSpotY, int wB, int hB, float scaleX,
                                          float scaleY, float angle, int bottomRows);

// 1 when a set pixel of `mask`, placed with its hot spot at (x, y), scaled and rotated,
// falls inside `rectangle` (left and top inclusive, right and bottom exclusive).
VEXA_API int TestRectMask(const RECT* rectangle, const CollisionMask* mask, int x, int y,
                          float scaleX, float scaleY, float angle);

// The point test of a placed mask: the point lies (dx, dy) from the object's position, which
// is where the mask's hot spot is drawn; the mask is drawn with `angle` and the scales. Without
// an angle the scaled offsets are truncated toward zero, as for unrotated objects everywhere.
VEXA_API int TestMaskPointPlaced(const CollisionMask* mask, int dx, int dy, float angle,
                                 float scaleX, float scaleY);
