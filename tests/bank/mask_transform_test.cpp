// Scaled, rotated and placed mask tests: direction and exact right angles, agreement between
// the point test and the overlap tests, and random placements against per-pixel references.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <vexa/collision_mask.h>

#include "bank/mask/mask_transform.h"
#include "support/mask_block.h"

namespace {

using testsupport::Mask;

// The placement rule, written out for the references: the pixel of a mask drawn with
// `angle` and the scales that the offset (dx, dy) from its hot spot shows, if any.
bool ReferencePixel(const Mask& m, long dx, long dy, float angle, float sx, float sy, int* x,
                    int* y) {
  double mx, my;
  if (angle == 0.0f) {
    long ix = dx, iy = dy;
    if (sx != 1.0f || sy != 1.0f) {
      ix = static_cast<long>(static_cast<float>(dx) / sx);
      iy = static_cast<long>(static_cast<float>(dy) / sy);
    }
    mx = static_cast<double>(ix + m.Header()->hotSpotX);
    my = static_cast<double>(iy + m.Header()->hotSpotY);
  } else {
    double c = std::cos(angle * 3.141592653589 / 180.0),
           s = std::sin(angle * 3.141592653589 / 180.0);
    if (angle == 90.0f) c = 0, s = 1;
    if (angle == 180.0f) c = -1, s = 0;
    if (angle == 270.0f) c = 0, s = -1;
    double rx = dx * c - dy * s, ry = dy * c + dx * s;
    if (sx != 1.0f || sy != 1.0f) rx /= sx, ry /= sy;
    mx = m.Header()->hotSpotX + rx;
    my = m.Header()->hotSpotY + ry;
  }
  if (mx < 0 || my < 0 || mx >= m.W() || my >= m.H()) return false;
  *x = static_cast<int>(mx);
  *y = static_cast<int>(my);
  return true;
}

// A at (xA, yA) against B drawn at (x, y) with its hot spot: every pixel of A, no box.
bool ReferenceRotated(const Mask& a, int xA, int yA, const Mask& b, int x, int y, float sx,
                      float sy, float angle, int bottomRows) {
  const int firstRow = bottomRows > 0 ? b.H() - std::min(bottomRows, b.H()) : 0;
  for (int v = 0; v < a.H(); ++v) {
    for (int u = 0; u < a.W(); ++u) {
      int bx, by;
      if (a.Get(u, v) && ReferencePixel(b, u + xA - x, v + yA - y, angle, sx, sy, &bx, &by) &&
          by >= firstRow && b.Get(bx, by))
        return true;
    }
  }
  return false;
}

bool ReferenceScaled(const Mask& a, int xA, int yA, const Mask& b, int xB, int yB, float sx,
                     float sy) {
  const int drawnW = static_cast<int>(static_cast<float>(b.W()) * sx);
  const int drawnH = static_cast<int>(static_cast<float>(b.H()) * sy);
  for (int v = 0; v < a.H(); ++v) {
    for (int u = 0; u < a.W(); ++u) {
      const int du = u + xA - xB, dv = v + yA - yB;
      if (!a.Get(u, v) || du < 0 || dv < 0 || du >= drawnW || dv >= drawnH) continue;
      if (b.Get(static_cast<int>(static_cast<float>(du) / sx),
                static_cast<int>(static_cast<float>(dv) / sy)))
        return true;
    }
  }
  return false;
}

int Rotated(const Mask& a, int xA, int yA, const Mask& b, int x, int y, float sx, float sy,
            float angle, int bottomRows = 0) {
  const CollisionMask& h = *b.Header();
  if (sx == 1.0f && sy == 1.0f) {
    return TestMaskOverlapRotated(a.Bits(), b.Bits(), xA, yA, a.W(), a.H(), x, y, h.hotSpotX,
                                  h.hotSpotY, b.W(), b.H(), angle, bottomRows);
  }
  return TestMaskOverlapRotatedScaled(a.Bits(), b.Bits(), xA, yA, a.W(), a.H(), x, y, h.hotSpotX,
                                      h.hotSpotY, b.W(), b.H(), sx, sy, angle, bottomRows);
}

TEST(MaskPlacedPoint, PositiveAnglesTurnCounterClockwise) {
  // One pixel below the hot spot. Turned by 90 degrees counter-clockwise on the screen, "below"
  // becomes "right of"; by 270, "left of"; by 180, "above".
  Mask m(5, 5, 2, 2);
  m.Set(2, 4);
  const CollisionMask* h = m.Header();
  EXPECT_EQ(TestMaskPointPlaced(h, 0, 2, 0, 1, 1), 1);
  EXPECT_EQ(TestMaskPointPlaced(h, 2, 0, 90, 1, 1), 1);
  EXPECT_EQ(TestMaskPointPlaced(h, -2, 0, 90, 1, 1), 0);
  EXPECT_EQ(TestMaskPointPlaced(h, -2, 0, 270, 1, 1), 1);
  EXPECT_EQ(TestMaskPointPlaced(h, 0, -2, 180, 1, 1), 1);
  EXPECT_EQ(TestMaskPointPlaced(h, 0, 2, 180, 1, 1), 0);
  // Scaled by 2 without an angle: offsets are halved and truncated toward zero.
  EXPECT_EQ(TestMaskPointPlaced(h, 0, 4, 0, 2, 2), 1);
  EXPECT_EQ(TestMaskPointPlaced(h, 1, 5, 0, 2, 2), 1);
  EXPECT_EQ(TestMaskPointPlaced(h, 0, 6, 0, 2, 2), 0);
  EXPECT_EQ(TestMaskPointPlaced(h, 0, 2, 0, 0, 1), 0) << "scale 0";
  EXPECT_EQ(TestMaskPointPlaced(nullptr, 0, 0, 0, 1, 1), 0);
}

TEST(MaskPlacedPoint, RightAnglesArePixelPermutations) {
  // A quarter turn of the whole mask: every screen pixel of the turned image shows exactly the
  // pixel the quarter-turn copy holds, with no seam along the hot spot's axes.
  std::mt19937 rng(3);
  Mask m(7, 4, 3, 1);
  m.Randomise(rng, 0.5);
  const int w = 7, h = 4, hx = 3, hy = 1;
  for (int j = 0; j < w; ++j) {
    for (int i = 0; i < h; ++i) {
      // Turned by 90: destination (i, j) holds source (w - 1 - j, i), its top-left at
      // (-hy, hx - w + 1) from the hot spot.
      EXPECT_EQ(TestMaskPointPlaced(m.Header(), i - hy, j + hx - w + 1, 90, 1, 1),
                m.Get(w - 1 - j, i))
          << i << "," << j;
    }
  }
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      EXPECT_EQ(TestMaskPointPlaced(m.Header(), i + hx - w + 1, j + hy - h + 1, 180, 1, 1),
                m.Get(w - 1 - i, h - 1 - j))
          << i << "," << j;
    }
  }
}

TEST(MaskRotatedOverlap, AgreesWithThePlacedPointTest) {
  std::mt19937 rng(21);
  Mask dot(1, 1);
  dot.Set(0, 0);
  for (int round = 0; round < 40; ++round) {
    Mask b(5 + static_cast<int>(rng() % 30), 5 + static_cast<int>(rng() % 30));
    b.Header()->hotSpotX = static_cast<int>(rng() % b.W());
    b.Header()->hotSpotY = static_cast<int>(rng() % b.H());
    b.Randomise(rng, 0.5);
    const float angle = static_cast<float>(rng() % 3600) / 10.0f;
    const float sx = round % 2 ? 1.0f : 0.5f + static_cast<float>(rng() % 30) / 10.0f;
    const float sy = round % 2 ? 1.0f : 0.5f + static_cast<float>(rng() % 30) / 10.0f;
    for (int dy = -60; dy <= 60; dy += 3) {
      for (int dx = -60; dx <= 60; dx += 3) {
        ASSERT_EQ(Rotated(dot, 100 + dx, 50 + dy, b, 100, 50, sx, sy, angle),
                  TestMaskPointPlaced(b.Header(), dx, dy, angle, sx, sy))
            << "angle " << angle << " scale " << sx << "," << sy << " offset " << dx << "," << dy;
      }
    }
  }
}

TEST(MaskRotatedOverlap, RandomPlacementsMatchTheReference) {
  std::mt19937 rng(8);
  for (int round = 0; round < 400; ++round) {
    Mask a(1 + static_cast<int>(rng() % 40), 1 + static_cast<int>(rng() % 40));
    Mask b(1 + static_cast<int>(rng() % 30), 1 + static_cast<int>(rng() % 30));
    b.Header()->hotSpotX = static_cast<int>(rng() % (b.W() + 4)) - 2;
    b.Header()->hotSpotY = static_cast<int>(rng() % (b.H() + 4)) - 2;
    a.Randomise(rng, 0.05);
    b.Randomise(rng, 0.05);
    const float angles[] = {0.0f, 90.0f, 180.0f, 270.0f, 45.0f, 30.5f, 359.0f, -20.0f};
    const float angle = round % 3 ? static_cast<float>(rng() % 360) : angles[rng() % 8];
    const bool scaled = round % 2;
    const float sx = scaled ? 0.3f + static_cast<float>(rng() % 30) / 10.0f : 1.0f;
    const float sy = scaled ? 0.3f + static_cast<float>(rng() % 30) / 10.0f : 1.0f;
    const int bottomRows = round % 5 == 0 ? static_cast<int>(rng() % 8) : 0;
    const int x = static_cast<int>(rng() % 80) - 20, y = static_cast<int>(rng() % 80) - 20;
    ASSERT_EQ(Rotated(a, 3, 4, b, x, y, sx, sy, angle, bottomRows) != 0,
              ReferenceRotated(a, 3, 4, b, x, y, sx, sy, angle, bottomRows))
        << "round " << round << " angle " << angle << " scale " << sx << "," << sy << " at " << x
        << "," << y << " bottom rows " << bottomRows;
  }
}

TEST(MaskRotatedOverlap, WithoutAngleOrScaleItIsThePlainOverlap) {
  std::mt19937 rng(4);
  for (int round = 0; round < 300; ++round) {
    Mask a(1 + static_cast<int>(rng() % 50), 1 + static_cast<int>(rng() % 20), 0, 0);
    Mask b(1 + static_cast<int>(rng() % 50), 1 + static_cast<int>(rng() % 20), 0, 0);
    b.Header()->hotSpotX = static_cast<int>(rng() % b.W());
    b.Header()->hotSpotY = static_cast<int>(rng() % b.H());
    a.Randomise(rng, 0.03);
    b.Randomise(rng, 0.03);
    const int x = static_cast<int>(rng() % 110) - 50, y = static_cast<int>(rng() % 50) - 20;
    const CollisionMask& h = *b.Header();
    ASSERT_EQ(Rotated(a, 0, 0, b, x, y, 1, 1, 0),
              TestMaskOverlap(a.Bits(), b.Bits(), 0, 0, a.W(), a.H(), x - h.hotSpotX,
                              y - h.hotSpotY, b.W(), b.H()));
  }
}

TEST(MaskRotatedOverlap, BottomRowsLimitTheRowsThatCount) {
  Mask a(10, 1), b(10, 10, 0, 0);
  a.Fill();
  b.Fill();
  // A covers B's row 6 (B unrotated, hot spot at its top-left corner).
  EXPECT_EQ(Rotated(a, 0, 6, b, 0, 0, 1, 1, 0, 0), 1);
  EXPECT_EQ(Rotated(a, 0, 6, b, 0, 0, 1, 1, 0, 4), 1);
  EXPECT_EQ(Rotated(a, 0, 6, b, 0, 0, 1, 1, 0, 3), 0);
  EXPECT_EQ(Rotated(a, 0, 6, b, 0, 0, 1, 1, 0, 100), 1);
  EXPECT_EQ(Rotated(a, 0, 6, b, 0, 0, 0, 1, 30, 0), 0) << "scale 0";
}

TEST(MaskScaledOverlap, RandomPlacementsMatchTheReference) {
  std::mt19937 rng(12);
  for (int round = 0; round < 600; ++round) {
    Mask a(1 + static_cast<int>(rng() % 70), 1 + static_cast<int>(rng() % 30));
    Mask b(1 + static_cast<int>(rng() % 40), 1 + static_cast<int>(rng() % 20));
    a.Randomise(rng, 0.05);
    b.Randomise(rng, 0.1);
    const float scales[] = {0.5f, 1.0f, 1.5f, 2.0f, 3.0f, 0.3f, 0.25f, 1.1f};
    const float sx = scales[rng() % 8], sy = scales[rng() % 8];
    const int xB = static_cast<int>(rng() % 140) - 70, yB = static_cast<int>(rng() % 70) - 35;
    ASSERT_EQ(TestMaskOverlapScaled(a.Bits(), b.Bits(), 0, 0, a.W(), a.H(), xB, yB, b.W(), b.H(),
                                    sx, sy) != 0,
              ReferenceScaled(a, 0, 0, b, xB, yB, sx, sy))
        << "round " << round << " scale " << sx << "," << sy << " at " << xB << "," << yB;
  }
}

TEST(MaskScaledOverlap, ScaleZeroAndDrawnSize) {
  Mask a(8, 8), b(4, 4);
  a.Fill();
  b.Fill();
  const auto scaled = [&](int xB, float sx, float sy) {
    return TestMaskOverlapScaled(a.Bits(), b.Bits(), 0, 0, 8, 8, xB, 0, 4, 4, sx, sy);
  };
  EXPECT_EQ(scaled(0, 0.0f, 1.0f), 0);
  EXPECT_EQ(scaled(0, 1.0f, 0.0f), 0);
  EXPECT_EQ(scaled(-8, 2.0f, 1.0f), 0) << "drawn 8 wide: touches A's left edge only";
  EXPECT_EQ(scaled(-7, 2.0f, 1.0f), 1);
  EXPECT_EQ(scaled(8, 0.5f, 1.0f), 0);
  EXPECT_EQ(scaled(-2, 0.5f, 1.0f), 0) << "drawn 2 wide";
  EXPECT_EQ(scaled(-1, 0.5f, 1.0f), 1);
}

TEST(RectMask, UnrotatedRectanglesInMaskCoordinates) {
  // A mask with one set pixel at (5, 3), hot spot (2, 2), placed at (100, 100): the pixel
  // covers the screen pixel (103, 101).
  Mask m(8, 6, 2, 2);
  m.Set(5, 3);
  const CollisionMask* h = m.Header();
  const RECT on{103, 101, 104, 102}, left{100, 100, 103, 106}, below{100, 102, 110, 110};
  EXPECT_EQ(TestRectMask(&on, h, 100, 100, 1, 1, 0), 1);
  EXPECT_EQ(TestRectMask(&left, h, 100, 100, 1, 1, 0), 0);
  EXPECT_EQ(TestRectMask(&below, h, 100, 100, 1, 1, 0), 0);
  // Scaled by 4: the offset 12 / 4 = 3 reaches column 5; a 2-pixel rectangle becomes 1 wide.
  const RECT scaledOn{112, 104, 114, 106};
  EXPECT_EQ(TestRectMask(&scaledOn, h, 100, 100, 4, 4, 0), 1);
  const RECT scaledOff{108, 104, 110, 106};
  EXPECT_EQ(TestRectMask(&scaledOff, h, 100, 100, 4, 4, 0), 0);
  EXPECT_EQ(TestRectMask(&on, h, 100, 100, 0, 1, 0), 0) << "scale 0";
  const RECT empty{103, 101, 103, 102};
  EXPECT_EQ(TestRectMask(&empty, h, 100, 100, 1, 1, 0), 0);
  EXPECT_EQ(TestRectMask(nullptr, h, 100, 100, 1, 1, 0), 0);
}

TEST(RectMask, RotatedRectanglesMatchTheReference) {
  std::mt19937 rng(17);
  for (int round = 0; round < 300; ++round) {
    Mask m(1 + static_cast<int>(rng() % 30), 1 + static_cast<int>(rng() % 30));
    m.Header()->hotSpotX = static_cast<int>(rng() % m.W());
    m.Header()->hotSpotY = static_cast<int>(rng() % m.H());
    m.Randomise(rng, 0.05);
    const float angle = 1.0f + static_cast<float>(rng() % 358);
    const float s = round % 2 ? 1.0f : 0.5f + static_cast<float>(rng() % 20) / 10.0f;
    const int left = static_cast<int>(rng() % 60) - 30, top = static_cast<int>(rng() % 60) - 30;
    const RECT r{left, top, left + static_cast<int>(rng() % 25) + 1,
                 top + static_cast<int>(rng() % 25) + 1};
    bool expected = false;
    for (int y = r.top; y < r.bottom && !expected; ++y) {
      for (int x = r.left; x < r.right && !expected; ++x) {
        int mx, my;
        expected = ReferencePixel(m, x, y, angle, s, s, &mx, &my) && m.Get(mx, my);
      }
    }
    ASSERT_EQ(TestRectMask(&r, m.Header(), 0, 0, s, s, angle) != 0, expected)
        << "round " << round << " angle " << angle << " scale " << s;
  }
}

TEST(RectMask, HugelyScaledMasksUnderRectanglesAcrossTheIntRangeAreSettledQuickly) {
  // Scales far from 1 and a rectangle across the whole int range: the mask is a turned line
  // across the screen, and the search meets boxes about 2^32 wide and tall, which it must
  // halve. (Their area once overflowed, and such a box was walked pixel by pixel.)
  Mask line(16, 3, 9, -1);
  line.Fill();
  const RECT all{INT32_MIN + 3, INT32_MIN, INT32_MAX - 1, INT32_MAX};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(TestRectMask(&all, line.Header(), -1, -455832304, -1.58e30f, 3.0f, 45.0f), 1)
      << "a line 9 pixels thick crosses the whole rectangle";
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  Mask full(4, 4, 2, 2);
  full.Fill();
  const RECT whole{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  EXPECT_EQ(TestRectMask(&whole, full.Header(), 0, 0, 3e9f, 3e9f, 30.0f), 1);
  const RECT farAway{INT32_MIN, INT32_MIN, INT32_MIN + 10, INT32_MIN + 10};
  EXPECT_EQ(TestRectMask(&farAway, full.Header(), INT32_MAX, INT32_MAX, 1.0f, 1.0f, 45.0f), 0);
}

TEST(PlacedRect, PointsInsideTheTurnedRectangle) {
  // A 10 x 4 rectangle with its hot spot at its left end, turned by 90: it now hangs upwards.
  EXPECT_TRUE(vexa::PointInPlacedRect(0, -5, 0, 2, 10, 4, 90, 1, 1));
  EXPECT_FALSE(vexa::PointInPlacedRect(5, 0, 0, 2, 10, 4, 90, 1, 1));
  EXPECT_TRUE(vexa::PointInPlacedRect(5, 0, 0, 2, 10, 4, 0, 1, 1));
  EXPECT_FALSE(vexa::PointInPlacedRect(5, 0, 0, 2, 10, 4, 0, 0, 1));
}

}  // namespace
