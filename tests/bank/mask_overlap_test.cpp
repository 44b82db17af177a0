// The unscaled mask tests (point, rectangle, overlap) at every vector level the processor has,
// against per-pixel references on random masks. Mask blocks are allocated to their exact size,
// so that the sanitizer build catches any read past a mask.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include <vexa/collision_mask.h>

#include "bank/mask/mask_kernels.h"
#include "bank/mask/mask_tests.h"
#include "support/simd_levels.h"

namespace {

using vexa::SimdLevel;

// A bare block of bit rows, as the tests take them.
struct Bits {
  int width = 0;
  int height = 0;
  int rowBytes = 0;
  std::vector<std::uint8_t> bytes;

  Bits(int w, int h)
      : width(w),
        height(h),
        rowBytes(static_cast<int>(MaskRowBytes(w))),
        bytes(static_cast<size_t>(h) * static_cast<size_t>(MaskRowBytes(w))) {}
  bool Get(int x, int y) const { return (bytes[y * rowBytes + (x >> 3)] >> (x & 7)) & 1; }
  void Set(int x, int y) {
    bytes[y * rowBytes + (x >> 3)] |= static_cast<std::uint8_t>(1 << (x & 7));
  }
  void Fill() {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) Set(x, y);
  }
  // Each pixel set with probability `density`; padding stays 0.
  void Randomise(std::mt19937& rng, double density) {
    std::bernoulli_distribution solid(density);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (solid(rng)) Set(x, y);
  }
};

bool ReferenceOverlap(const Bits& a, int xA, int yA, const Bits& b, int xB, int yB) {
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      const int u = x + xA - xB;
      const int v = y + yA - yB;
      if (u >= 0 && v >= 0 && u < b.width && v < b.height && a.Get(x, y) && b.Get(u, v))
        return true;
    }
  }
  return false;
}

bool ReferenceRect(const Bits& m, int x, int y, int w, int h) {
  for (int v = std::max(y, 0); v < std::min(y + h, m.height); ++v)
    for (int u = std::max(x, 0); u < std::min(x + w, m.width); ++u)
      if (m.Get(u, v)) return true;
  return false;
}

std::vector<SimdLevel> Levels() { return testsupport::SupportedLevels(); }

int Overlap(SimdLevel level, const Bits& a, int xA, int yA, const Bits& b, int xB, int yB) {
  return vexa::OverlapMasks(vexa::MaskKernelsAt(level), a.bytes.data(), b.bytes.data(), xA, yA,
                            a.width, a.height, xB, yB, b.width, b.height);
}

TEST(MaskPoint, BitOrderIsLeastSignificantFirst) {
  Bits m(17, 3);
  EXPECT_EQ(m.rowBytes, 4);
  m.bytes[0] = 0x01;          // pixel 0 of row 0
  m.bytes[1] = 0x01;          // pixel 8 of row 0
  m.bytes[2 * 4 + 2] = 0x01;  // pixel 16 of row 2
  EXPECT_EQ(TestMaskPoint(m.bytes.data(), 0, 0, 17, 3), 1);
  EXPECT_EQ(TestMaskPoint(m.bytes.data(), 7, 0, 17, 3), 0);
  EXPECT_EQ(TestMaskPoint(m.bytes.data(), 8, 0, 17, 3), 1);
  EXPECT_EQ(TestMaskPoint(m.bytes.data(), 16, 2, 17, 3), 1);
  EXPECT_EQ(TestMaskPoint(m.bytes.data(), 16, 1, 17, 3), 0);
}

TEST(MaskPoint, OutsideTheMaskIsNotSolid) {
  Bits m(4, 4);
  m.Fill();
  EXPECT_EQ(TestMaskPoint(m.bytes.data(), 3, 3, 4, 4), 1);
  EXPECT_EQ(TestMaskPoint(m.bytes.data(), 0, 4, 4, 4), 0);  // y equal to the height
  EXPECT_EQ(TestMaskPoint(m.bytes.data(), 4, 0, 4, 4), 0);
  EXPECT_EQ(TestMaskPoint(m.bytes.data(), -1, 0, 4, 4), 0);
  EXPECT_EQ(TestMaskPoint(m.bytes.data(), 0, -1, 4, 4), 0);
  EXPECT_EQ(TestMaskPoint(nullptr, 0, 0, 4, 4), 0);
}

TEST(MaskOverlap, TouchingEdgesDoNotCollide) {
  Bits a(20, 10), b(13, 7);
  a.Fill();
  b.Fill();
  const std::uint8_t* pa = a.bytes.data();
  const std::uint8_t* pb = b.bytes.data();
  EXPECT_EQ(TestMaskOverlap(pa, pb, 5, 5, 20, 10, 25, 5, 13, 7), 0);  // B right of A
  EXPECT_EQ(TestMaskOverlap(pa, pb, 5, 5, 20, 10, 24, 5, 13, 7), 1);
  EXPECT_EQ(TestMaskOverlap(pa, pb, 5, 5, 20, 10, -8, 5, 13, 7), 0);  // B left of A
  EXPECT_EQ(TestMaskOverlap(pa, pb, 5, 5, 20, 10, -7, 5, 13, 7), 1);
  EXPECT_EQ(TestMaskOverlap(pa, pb, 5, 5, 20, 10, 5, 15, 13, 7), 0);  // B below A
  EXPECT_EQ(TestMaskOverlap(pa, pb, 5, 5, 20, 10, 5, -2, 13, 7), 0);  // B above A
  EXPECT_EQ(TestMaskOverlap(pa, pb, 5, 5, 20, 10, 5, -1, 13, 7), 1);
}

TEST(MaskOverlap, EmptyArgumentsGiveNoCollision) {
  Bits a(8, 8);
  a.Fill();
  const std::uint8_t* p = a.bytes.data();
  EXPECT_EQ(TestMaskOverlap(p, p, 0, 0, 8, 8, 1, 1, 8, 8), 1);
  EXPECT_EQ(TestMaskOverlap(nullptr, p, 0, 0, 8, 8, 1, 1, 8, 8), 0);
  EXPECT_EQ(TestMaskOverlap(p, nullptr, 0, 0, 8, 8, 1, 1, 8, 8), 0);
  EXPECT_EQ(TestMaskOverlap(p, p, 0, 0, 0, 8, 1, 1, 8, 8), 0);
  EXPECT_EQ(TestMaskOverlap(p, p, 0, 0, 8, 8, 1, 1, 8, 0), 0);
  EXPECT_EQ(TestMaskOverlap(p, p, 0, 0, -8, 8, 1, 1, 8, 8), 0);
}

// Widths across the 16-, 64-, 128- and 256-bit edges (and rows too long for the scratch rows),
// every offset of the 3 x 3 neighbourhood of the corners and of the far edges, single bits so
// that each masked-off bit shows.
TEST(MaskOverlap, SingleBitsAtEveryEdgeMatchTheReference) {
  for (SimdLevel level : Levels()) {
    for (int wA : {1, 7, 8, 9, 15, 16, 17, 63, 64, 65, 129, 257, 300, 2100}) {
      for (int wB : {1, 8, 17, 64, 65, 130, 260, 2050}) {
        Bits a(wA, 3), b(wB, 3);
        a.Fill();
        // One bit of B at its last column, then at its first.
        for (int column : {wB - 1, 0}) {
          Bits single(wB, 3);
          single.Set(column, 1);
          for (int dx :
               {-wB - 1, -wB, -wB + 1, -1, 0, 1, wA - 1, wA, wA + 1, wA - wB, wA - wB + 1}) {
            for (int dy : {-2, -1, 0, 1, 2}) {
              const bool expected = ReferenceOverlap(a, 0, 0, single, dx, dy);
              ASSERT_EQ(Overlap(level, a, 0, 0, single, dx, dy), expected)
                  << vexa::SimdLevelName(level) << " wA=" << wA << " wB=" << wB
                  << " column=" << column << " offset=" << dx << "," << dy;
              ASSERT_EQ(Overlap(level, single, dx, dy, a, 0, 0), expected) << "operands swapped";
            }
          }
        }
      }
    }
  }
}

TEST(MaskOverlap, RandomMasksMatchTheReferenceAndStayUnchanged) {
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> width(1, 300), height(1, 24);
  for (SimdLevel level : Levels()) {
    for (int round = 0; round < 1500; ++round) {
      Bits a(width(rng), height(rng)), b(width(rng), height(rng));
      // Sparse masks, so that hits are rare and come from anywhere in the rows.
      const double density = round % 3 == 0 ? 0.002 : 0.02;
      a.Randomise(rng, density);
      b.Randomise(rng, density);
      const Bits copyA = a, copyB = b;
      std::uniform_int_distribution<int> dx(-b.width - 2, a.width + 2),
          dy(-b.height - 2, a.height + 2);
      const int xA = round % 7 - 3, yA = round % 5 - 2;
      const int xB = xA + dx(rng), yB = yA + dy(rng);
      ASSERT_EQ(Overlap(level, a, xA, yA, b, xB, yB), ReferenceOverlap(a, xA, yA, b, xB, yB))
          << vexa::SimdLevelName(level) << " sizes " << a.width << "x" << a.height << ", "
          << b.width << "x" << b.height << " at " << xB - xA << "," << yB - yA;
      ASSERT_EQ(a.bytes, copyA.bytes);
      ASSERT_EQ(b.bytes, copyB.bytes);
    }
  }
}

TEST(MaskRect, RandomRectanglesMatchTheReference) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> width(1, 300), height(1, 20);
  for (SimdLevel level : Levels()) {
    const vexa::MaskKernels& kernels = vexa::MaskKernelsAt(level);
    for (int round = 0; round < 1500; ++round) {
      Bits m(width(rng), height(rng));
      m.Randomise(rng, 0.01);
      std::uniform_int_distribution<int> x(-10, m.width + 2), y(-3, m.height + 1),
          w(-2, m.width + 12), h(-2, m.height + 4);
      const int rx = x(rng), ry = y(rng), rw = w(rng), rh = h(rng);
      ASSERT_EQ(vexa::MaskRectHasSetBit(kernels, m.bytes.data(), m.width, m.height, rx, ry, rw, rh),
                ReferenceRect(m, rx, ry, rw, rh))
          << vexa::SimdLevelName(level) << " mask " << m.width << "x" << m.height << " rect " << rx
          << "," << ry << " " << rw << "x" << rh;
    }
  }
}

TEST(MaskRect, EdgeColumnsAndWideRectangles) {
  // One set pixel; rectangles that end just before it, start just after it, or contain it.
  for (int width : {16, 40000}) {
    Bits m(width, 2);
    const int column = width - 9;
    m.Set(column, 1);
    const std::uint8_t* p = m.bytes.data();
    EXPECT_EQ(TestMaskRect(p, width, 2, 0, 0, column, 2), 0) << width;
    EXPECT_EQ(TestMaskRect(p, width, 2, column + 1, 0, width, 2), 0) << width;
    EXPECT_EQ(TestMaskRect(p, width, 2, 0, 0, column + 1, 2), 1) << width;
    EXPECT_EQ(TestMaskRect(p, width, 2, column, 1, 1, 1), 1) << width;
    EXPECT_EQ(TestMaskRect(p, width, 2, column, 0, 1, 1), 0) << width;
    EXPECT_EQ(TestMaskRect(p, width, 2, -5, -5, width + 10, 10), 1) << width;
    EXPECT_EQ(TestMaskRect(p, width, 2, column, 1, 0, 1), 0) << "empty rectangle";
  }
  EXPECT_EQ(TestMaskRect(nullptr, 8, 8, 0, 0, 8, 8), 0);
}

}  // namespace
