// Collision masks under extreme placements: rectangles far larger than the screen over hugely
// scaled masks must cost about the mask's size and still agree pixel for pixel with the
// point test; non-finite angles and scales place nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>

#include <vexa/collision_mask.h>

#include "support/mask_block.h"

namespace {

using testsupport::Mask;

// The answer the rectangle test must give, asked of the point test pixel by pixel.
bool PointTestFindsOne(const Mask& m, const RECT& r, int x, int y, float sx, float sy,
                       float angle) {
  for (int py = r.top; py < r.bottom; ++py) {
    for (int px = r.left; px < r.right; ++px) {
      if (TestMaskPointPlaced(m.Header(), px - x, py - y, angle, sx, sy)) return true;
    }
  }
  return false;
}

double SecondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(MaskRobustness, HugeRectangleOverHugelyScaledMaskIsCheap) {
  const RECT everything{-1000000, -1000000, 1000000, 1000000};
  Mask empty(64, 48, 32, 24);
  Mask corner(64, 48, 32, 24);
  corner.Set(63, 47);
  Mask full(64, 48, 32, 24);
  full.Fill();
  // Once through the whole placed mask (about 5e9 screen pixels) took seconds per call;
  // each of these now takes a small fraction of one.
  const double seconds = SecondsOf([&] {
    EXPECT_EQ(TestRectMask(&everything, empty.Header(), 0, 0, 1000, 1000, 30), 0);
    EXPECT_EQ(TestRectMask(&everything, corner.Header(), 0, 0, 1000, 1000, 30), 1);
    EXPECT_EQ(TestRectMask(&everything, full.Header(), 0, 0, 1000, 1000, 30), 1);
    // The corner pixel lies to the lower right of the hot spot, turned by 30 degrees: a
    // rectangle that reaches everywhere but there finds nothing, so the whole remaining
    // area had to be ruled out.
    const RECT allButCorner{-1000000, -1000000, 1000000, 0};
    EXPECT_EQ(TestRectMask(&allButCorner, corner.Header(), 0, 0, 1000, 1000, 30), 0);
    const RECT extreme{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_EQ(TestRectMask(&extreme, corner.Header(), 0, 0, 3e7f, 3e7f, 30), 1);
    EXPECT_EQ(TestRectMask(&extreme, empty.Header(), 0, 0, 3e7f, 3e7f, 30), 0);
    EXPECT_EQ(TestRectMask(&extreme, corner.Header(), 0, 0, -4e6f, 5e6f, 0), 1);
  });
  EXPECT_LT(seconds, 2.0);
}

TEST(MaskRobustness, LargeRectanglesAgreeWithThePointTest) {
  std::mt19937 rng(32);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int round = 0; round < 400; ++round) {
    Mask m(1 + static_cast<int>(rng() % 24), 1 + static_cast<int>(rng() % 24));
    m.Header()->hotSpotX = static_cast<int>(rng() % m.W());
    m.Header()->hotSpotY = static_cast<int>(rng() % m.H());
    const double densities[] = {0.002, 0.02, 0.2, 0.7};
    m.Randomise(rng, densities[round % 4]);
    // Quarter turns, mirroring scales without a turn, and free angles; scales from a third of
    // a pixel to eight pixels per mask pixel.
    float angle = static_cast<float>(rng() % 360) + unit(rng);
    if (round % 5 == 0) angle = static_cast<float>(90 * (rng() % 4));
    float sx = 0.3f + 7.7f * unit(rng);
    float sy = round % 3 ? sx : 0.3f + 7.7f * unit(rng);
    if (round % 7 == 0) sx = -sx;
    if (round % 11 == 0) sy = -sy;
    const int left = static_cast<int>(rng() % 300) - 150;
    const int top = static_cast<int>(rng() % 300) - 150;
    const RECT r{left, top, left + 1 + static_cast<int>(rng() % 160),
                 top + 1 + static_cast<int>(rng() % 160)};
    const int x = static_cast<int>(rng() % 40) - 20, y = static_cast<int>(rng() % 40) - 20;
    ASSERT_EQ(TestRectMask(&r, m.Header(), x, y, sx, sy, angle) != 0,
              PointTestFindsOne(m, r, x, y, sx, sy, angle))
        << "round " << round << " angle " << angle << " scales " << sx << ", " << sy;
  }
}

TEST(MaskRobustness, NonFiniteAnglesAndScalesPlaceNothing) {
  Mask m(8, 8, 4, 4);
  m.Fill();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const RECT r{-100, -100, 100, 100};
  // A finite placement finds the mask, so each refusal below is the bad value's doing.
  ASSERT_EQ(TestRectMask(&r, m.Header(), 0, 0, 1, 1, 30), 1);
  ASSERT_EQ(TestMaskPointPlaced(m.Header(), 0, 0, 30, 1, 1), 1);
  for (float bad : {nan, inf, -inf}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(TestRectMask(&r, m.Header(), 0, 0, 1, 1, bad), 0);
    EXPECT_EQ(TestRectMask(&r, m.Header(), 0, 0, bad, 1, 0), 0);
    EXPECT_EQ(TestRectMask(&r, m.Header(), 0, 0, 1, bad, 30), 0);
    EXPECT_EQ(TestMaskPointPlaced(m.Header(), 0, 0, bad, 1, 1), 0);
    EXPECT_EQ(TestMaskPointPlaced(m.Header(), 0, 0, 0, bad, 1), 0);
    EXPECT_EQ(TestMaskPointPlaced(m.Header(), 0, 0, 0, 1, bad), 0);
    EXPECT_EQ(TestMaskOverlapRotatedScaled(m.Bits(), m.Bits(), -4, -4, 8, 8, 0, 0, 4, 4, 8, 8, 1,
                                           bad, 0, 0),
              0);
    EXPECT_EQ(TestMaskOverlapRotated(m.Bits(), m.Bits(), -4, -4, 8, 8, 0, 0, 4, 4, 8, 8, bad, 0),
              0);
  }
  EXPECT_EQ(TestMaskOverlapRotated(m.Bits(), m.Bits(), -4, -4, 8, 8, 0, 0, 4, 4, 8, 8, 30, 0), 1);
}

}  // namespace
