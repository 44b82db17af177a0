// Rasterisation rules of the device interface: boxes, ellipses, polygons, lines and pens.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi_test_support.h"

namespace {

using gditest::Section;

HGDIOBJ Stock(int which) { return plat::GetStockObject(which); }

struct PenScope {
  HDC dc;
  HPEN pen;
  HGDIOBJ old;
  PenScope(HDC d, int style, int width, COLORREF color)
      : dc(d), pen(plat::CreatePen(style, width, color)), old(plat::SelectObject(d, pen)) {}
  ~PenScope() {
    plat::SelectObject(dc, old);
    plat::DeleteObject(pen);
  }
};

TEST(GdiDraw, FillRectExcludesRightAndBottom) {
  Section s(10, 10, 32);
  const RECT r{2, 3, 6, 5};
  EXPECT_EQ(plat::FillRect(s.dc, &r, static_cast<HBRUSH>(Stock(plat::WHITE_BRUSH))), 1);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(s.Set(x, y), x >= 2 && x < 6 && y >= 3 && y < 5);
  // A null brush leaves the pixels; a corner order does not matter.
  s.Clear();
  const RECT flipped{6, 5, 2, 3};
  plat::FillRect(s.dc, &flipped, static_cast<HBRUSH>(Stock(plat::NULL_BRUSH)));
  EXPECT_FALSE(s.Set(3, 4));
  plat::FillRect(s.dc, &flipped, static_cast<HBRUSH>(Stock(plat::WHITE_BRUSH)));
  EXPECT_TRUE(s.Set(3, 4));
  EXPECT_FALSE(s.Set(6, 4));
}

// Pen width w puts floor(w/2) pixels outside the box and floor((w-1)/2) inside its edge.
TEST(GdiDraw, RectanglePenCoversItsBandAroundTheOutline) {
  Section s(40, 40, 32);
  plat::SelectObject(s.dc, Stock(plat::NULL_BRUSH));
  for (int w = 1; w <= 9; ++w) {
    s.Clear();
    PenScope pen(s.dc, plat::PS_SOLID, w, 0xFFFFFF);
    plat::Rectangle(s.dc, 10, 12, 30, 28);
    const int out = w / 2, in = (w - 1) / 2;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) {
        const bool outer = x >= 10 - out && x < 30 + out && y >= 12 - out && y < 28 + out;
        const bool inner = x > 10 + in && x < 29 - in && y > 12 + in && y < 27 - in;
        ASSERT_EQ(s.Set(x, y), outer && !inner) << "w " << w << " at " << x << "," << y;
      }
  }
}

bool Symmetric(const Section& s, int left, int top, int right, int bottom) {
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) {
      const bool v = s.Set(x, y);
      if (v != s.Set(left + right - 1 - x, y) || v != s.Set(x, top + bottom - 1 - y)) return false;
    }
  return true;
}

TEST(GdiDraw, EllipseFillsPixelCentresInsideAndIsSymmetric) {
  Section s(48, 48, 32);
  plat::SelectObject(s.dc, Stock(plat::NULL_PEN));
  plat::SelectObject(s.dc, Stock(plat::WHITE_BRUSH));
  for (const RECT box :
       {RECT{4, 6, 41, 30}, RECT{10, 10, 11, 20}, RECT{0, 0, 48, 48}, RECT{5, 5, 8, 9}}) {
    s.Clear();
    plat::Ellipse(s.dc, box.left, box.top, box.right, box.bottom);
    const double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0;
    const double a = (box.right - box.left) / 2.0, b = (box.bottom - box.top) / 2.0;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 48; ++x) {
        const double dx = (x + 0.5 - cx) / a, dy = (y + 0.5 - cy) / b;
        const double d = dx * dx + dy * dy;
        if (std::fabs(d - 1) < 1e-9) continue;  // on the curve: either is right
        ASSERT_EQ(s.Set(x, y), d < 1) << x << "," << y;
      }
  }
  // With pens of every width the outline stays symmetric and in its band.
  plat::SelectObject(s.dc, Stock(plat::NULL_BRUSH));
  for (int w = 1; w <= 9; ++w) {
    s.Clear();
    PenScope pen(s.dc, plat::PS_SOLID, w, 0xFFFFFF);
    plat::Ellipse(s.dc, 10, 12, 37, 33);
    EXPECT_TRUE(Symmetric(s, 10 - w / 2, 12 - w / 2, 37 + w / 2, 33 + w / 2)) << "w " << w;
    // Nothing outside the grown box, and the centre untouched.
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 48; ++x)
        if (x < 10 - w / 2 || x >= 37 + w / 2 || y < 12 - w / 2 || y >= 33 + w / 2) {
          ASSERT_FALSE(s.Set(x, y)) << w;
        }
    EXPECT_FALSE(s.Set(23, 22));
    // The widest row of the band is w pixels thick at the middle.
    int thick = 0;
    while (s.Set(10 - w / 2 + thick, 22)) ++thick;
    EXPECT_EQ(thick, w);
  }
}

TEST(GdiDraw, LineToOmitsItsLastPixelAndMovesThePosition) {
  Section s(20, 20, 32);
  plat::SelectObject(s.dc, Stock(plat::WHITE_PEN));
  plat::MoveToEx(s.dc, 2, 3, nullptr);
  plat::LineTo(s.dc, 12, 3);
  for (int x = 0; x < 20; ++x) EXPECT_EQ(s.Set(x, 3), x >= 2 && x < 12) << x;
  POINT p;
  plat::GetCurrentPositionEx(s.dc, &p);
  EXPECT_EQ(p.x, 12);
  // A diagonal: one pixel per step, last one left out.
  s.Clear();
  plat::MoveToEx(s.dc, 0, 0, nullptr);
  plat::LineTo(s.dc, 5, 5);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(s.Set(i, i));
  EXPECT_FALSE(s.Set(5, 5));
  // A steep line visits every row once.
  s.Clear();
  plat::MoveToEx(s.dc, 1, 1, nullptr);
  plat::LineTo(s.dc, 4, 15);
  for (int y = 1; y < 15; ++y) {
    int count = 0;
    for (int x = 0; x < 20; ++x) count += s.Set(x, y);
    EXPECT_EQ(count, 1) << y;
  }
  // A polyline joins without gaps and leaves out only its last point.
  s.Clear();
  const POINT path[] = {{1, 1}, {8, 1}, {8, 8}};
  plat::Polyline(s.dc, path, 3);
  EXPECT_TRUE(s.Set(8, 1));
  EXPECT_TRUE(s.Set(8, 7));
  EXPECT_FALSE(s.Set(8, 8));
}

TEST(GdiDraw, WidePensCoverTheirWidthWithRoundEnds) {
  Section s(40, 40, 32);
  for (int w = 1; w <= 9; ++w) {
    s.Clear();
    PenScope pen(s.dc, plat::PS_SOLID, w, 0xFFFFFF);
    plat::MoveToEx(s.dc, 10, 20, nullptr);
    plat::LineTo(s.dc, 30, 20);
    // Across the middle: rows 20 - floor(w/2) .. 20 + floor((w-1)/2).
    for (int y = 0; y < 40; ++y)
      EXPECT_EQ(s.Set(20, y), y >= 20 - w / 2 && y <= 20 + (w - 1) / 2) << w;
    // Round caps reach floor(w/2) beyond the end on the axis but not in the corner.
    EXPECT_TRUE(s.Set(10 - w / 2, 20));
    EXPECT_FALSE(s.Set(10 - w / 2 - 1, 20));
    if (w >= 5) {
      EXPECT_FALSE(s.Set(10 - w / 2, 20 - w / 2));
    }
  }
}

// Wide pens against the rule in exact integer arithmetic: a pixel is drawn when its centre
// lies within w/2 of a segment. Coordinates are doubled so that centres and the half-pixel
// shift of odd widths are whole; pixels whose distance misses w/2 by less than 1e-6 (but not
// by 0) are left out, as the drawing's tolerance may take them either way. Screen-sized
// polylines and ones far outside the bitmap are both drawn, so both of the drawing's
// precisions are checked.
TEST(GdiDraw, WidePolylinesCoverExactlyThePixelsWithinHalfTheWidth) {
  using i128 = __int128;
  Section s(120, 90, 32);
  std::mt19937 rng(31);
  for (int round = 0; round < 300; ++round) {
    s.Clear();
    const int w = 2 + static_cast<int>(rng() % 13);
    const bool far = round % 10 == 9;
    const int n = 2 + static_cast<int>(rng() % 3);
    std::vector<POINT> points(static_cast<size_t>(n));
    for (POINT& q : points) {
      q.x = static_cast<int>(rng() % 160) - 20;
      q.y = static_cast<int>(rng() % 130) - 20;
      if (rng() % 4 == 0 && &q != &points[0]) q.y = (&q - 1)->y;  // level and upright runs
      if (rng() % 4 == 0 && &q != &points[0]) q.x = (&q - 1)->x;
    }
    if (far) points[0] = POINT{static_cast<LONG>(rng() % 200000) - 100000, -70000};
    {
      PenScope pen(s.dc, plat::PS_SOLID, w, 0xFFFFFF);
      ASSERT_TRUE(plat::Polyline(s.dc, points.data(), n));
    }
    const i128 odd = w % 2, reach2 = i128{w} * w;  // doubled: the centre line, (w/2 * 2)^2
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; ++x) {
        const i128 px = 2 * x + 1, py = 2 * y + 1;
        bool inside = false, close = false;
        for (int k = 0; k + 1 < n; ++k) {
          const i128 ax = 2 * i128{points[k].x} + odd, ay = 2 * i128{points[k].y} + odd;
          const i128 bx = 2 * i128{points[k + 1].x} + odd, by = 2 * i128{points[k + 1].y} + odd;
          const i128 dx = bx - ax, dy = by - ay, length2 = dx * dx + dy * dy;
          const i128 along = (px - ax) * dx + (py - ay) * dy;
          // The squared distance as a fraction num / den.
          i128 num, den = 1;
          if (along <= 0 || length2 == 0) {
            num = (px - ax) * (px - ax) + (py - ay) * (py - ay);
          } else if (along >= length2) {
            num = (px - bx) * (px - bx) + (py - by) * (py - by);
          } else {
            const i128 cross = (px - ax) * dy - (py - ay) * dx;
            num = cross * cross;
            den = length2;
          }
          if (num <= reach2 * den) inside = true;
          const long double distance = std::sqrt(static_cast<long double>(num) / den);
          if (num > reach2 * den && distance - w < 2e-6L) close = true;
        }
        if (close && !inside) continue;
        ASSERT_EQ(s.Set(x, y), inside)
            << "round " << round << " width " << w << " at " << x << "," << y;
      }
  }
}

// A lone segment takes a shorter road than a polyline, one that settles most rows from its
// body alone. Ending the polyline with a second, empty segment adds only a disc the first
// segment's cap already holds, so both roads must give the same pixels: every pixel, even
// those within the tolerance that the rule above leaves open. Slopes, both width parities,
// clipped ends and ends far off the bitmap (the long double road) are drawn.
TEST(GdiDraw, ALoneWideSegmentDrawsWhatThePolylineRoadDraws) {
  Section alone(120, 90, 32), joined(120, 90, 32);
  std::mt19937 rng(47);
  int roundsDrawn = 0;
  for (int round = 0; round < 400; ++round) {
    const int w = 2 + static_cast<int>(rng() % 12);
    POINT a{static_cast<LONG>(rng() % 180) - 30, static_cast<LONG>(rng() % 150) - 30};
    POINT b{static_cast<LONG>(rng() % 180) - 30, static_cast<LONG>(rng() % 150) - 30};
    if (round % 8 == 0) b.y = a.y;
    if (round % 8 == 1) b.x = a.x;
    if (round % 16 == 2) a = POINT{static_cast<LONG>(rng() % 200000) - 100000, 50000};
    alone.Clear();
    joined.Clear();
    const POINT one[] = {a, b}, two[] = {a, b, b};
    {
      PenScope pen(alone.dc, plat::PS_SOLID, w, 0xFFFFFF);
      ASSERT_TRUE(plat::Polyline(alone.dc, one, 2));
    }
    {
      PenScope pen(joined.dc, plat::PS_SOLID, w, 0xFFFFFF);
      ASSERT_TRUE(plat::Polyline(joined.dc, two, 3));
    }
    int drawn = 0;
    for (int y = 0; y < alone.height; ++y)
      for (int x = 0; x < alone.width; ++x) {
        drawn += alone.Set(x, y);
        ASSERT_EQ(alone.Set(x, y), joined.Set(x, y))
            << "round " << round << " width " << w << " at " << x << "," << y;
      }
    roundsDrawn += drawn > 0;
  }
  EXPECT_GT(roundsDrawn, 250);  // most segments cross the bitmap
}

TEST(GdiDraw, StyledPensLeaveGapsOrFillThemWithTheBackground) {
  Section s(40, 4, 32);
  PenScope pen(s.dc, plat::PS_DOT, 1, 0xFFFFFF);
  plat::SetBkMode(s.dc, plat::TRANSPARENT);
  plat::MoveToEx(s.dc, 0, 1, nullptr);
  plat::LineTo(s.dc, 40, 1);
  for (int x = 0; x < 12; ++x) EXPECT_EQ(s.Set(x, 1), (x / 3) % 2 == 0) << x;
  plat::SetBkMode(s.dc, plat::OPAQUE);
  plat::SetBkColor(s.dc, 0x0000FF);
  plat::MoveToEx(s.dc, 0, 2, nullptr);
  plat::LineTo(s.dc, 40, 2);
  EXPECT_EQ(plat::GetPixel(s.dc, 0, 2), 0xFFFFFFu);
  EXPECT_EQ(plat::GetPixel(s.dc, 3, 2), 0x0000FFu);
}

TEST(GdiDraw, XorPenTwiceRestoresEveryShape) {
  Section s(32, 32, 24);
  // Something to XOR over.
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      plat::SetPixel(s.dc, x, y, static_cast<COLORREF>(x * 8 | y * 8 << 8));
  std::vector<std::uint8_t> before(s.bits, s.bits + s.stride * 32);
  plat::SetROP2(s.dc, plat::R2_XORPEN);
  HBRUSH brush = plat::CreateSolidBrush(0x3366CC);
  plat::SelectObject(s.dc, brush);
  const POINT star[] = {{16, 1}, {25, 30}, {2, 11}, {30, 11}, {7, 30}};
  for (int w : {1, 2, 5}) {
    PenScope pen(s.dc, plat::PS_SOLID, w, 0x55AA11);
    for (int pass = 0; pass < 2; ++pass) {
      plat::Rectangle(s.dc, 3, 4, 20, 25);
      plat::Ellipse(s.dc, 5, 2, 30, 29);
      plat::Polygon(s.dc, star, 5);
      plat::Polyline(s.dc, star, 5);
      plat::MoveToEx(s.dc, 0, 0, nullptr);
      plat::LineTo(s.dc, 31, 17);
    }
    ASSERT_EQ(std::vector<std::uint8_t>(s.bits, s.bits + s.stride * 32), before) << w;
  }
  plat::SelectObject(s.dc, Stock(plat::WHITE_BRUSH));
  plat::DeleteObject(brush);
}

TEST(GdiDraw, RasterOperationsWorkOnStoredValues) {
  Section s(4, 1, 8);
  plat::SetPixel(s.dc, 0, 0, 0x0F0F0F | plat::PALETTEINDEX(0));
  s.Row(0)[0] = 0x0F;
  struct Case {
    int rop;
    std::uint8_t expected;
  } cases[] = {{plat::R2_BLACK, 0x00},
               {plat::R2_WHITE, 0xFF},
               {plat::R2_NOT, 0xF0},
               {plat::R2_XORPEN, 0x0F ^ 0x33},
               {plat::R2_MASKPEN, 0x0F & 0x33},
               {plat::R2_MERGEPEN, 0x0F | 0x33},
               {plat::R2_NOTCOPYPEN, 0xCC},
               {plat::R2_NOP, 0x0F},
               {plat::R2_MASKPENNOT, 0x33 & 0xF0},
               {plat::R2_MERGENOTPEN, 0xCC | 0x0F}};
  PenScope pen(s.dc, plat::PS_SOLID, 1, plat::PALETTEINDEX(0x33));
  for (const Case& c : cases) {
    s.Row(0)[0] = 0x0F;
    plat::SetROP2(s.dc, c.rop);
    plat::MoveToEx(s.dc, 0, 0, nullptr);
    plat::LineTo(s.dc, 1, 0);
    EXPECT_EQ(s.Row(0)[0], c.expected) << c.rop;
  }
}

TEST(GdiDraw, PolygonFillModesDifferOnlyWhereWindingOverlaps) {
  Section s(30, 30, 32);
  plat::SelectObject(s.dc, Stock(plat::NULL_PEN));
  plat::SelectObject(s.dc, Stock(plat::WHITE_BRUSH));
  // A rectangle as a polygon covers exactly the box.
  const POINT box[] = {{3, 4}, {13, 4}, {13, 9}, {3, 9}};
  plat::Polygon(s.dc, box, 4);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(s.Set(x, y), x >= 3 && x < 13 && y >= 4 && y < 9);
  // A five-pointed star: the centre is a hole with ALTERNATE, filled with WINDING.
  const POINT star[] = {{15, 0}, {24, 29}, {0, 10}, {30, 10}, {6, 29}};
  s.Clear();
  plat::Polygon(s.dc, star, 5);
  EXPECT_FALSE(s.Set(15, 15));
  EXPECT_TRUE(s.Set(15, 5));
  plat::SetPolyFillMode(s.dc, plat::WINDING);
  s.Clear();
  plat::Polygon(s.dc, star, 5);
  EXPECT_TRUE(s.Set(15, 15));
  EXPECT_TRUE(s.Set(15, 5));
  EXPECT_FALSE(s.Set(1, 28));
}

// Random polygons against the crossing rule in exact arithmetic: a pixel is filled when, on
// its row's centre line, the edges crossing at or left of its centre number an odd count
// (ALTERNATE) or wind to a non-zero sum (WINDING). Polygons reach past every side of the
// bitmap, some by far; level and upright edges, and edges through shared vertices, occur.
TEST(GdiDraw, PolygonsFillThePixelsTheCrossingRuleGives) {
  using i128 = __int128;
  Section s(90, 70, 32);
  plat::SelectObject(s.dc, Stock(plat::NULL_PEN));
  plat::SelectObject(s.dc, Stock(plat::WHITE_BRUSH));
  std::mt19937 rng(12);
  for (int round = 0; round < 400; ++round) {
    const bool winding = round % 2 == 1;
    plat::SetPolyFillMode(s.dc, winding ? plat::WINDING : plat::ALTERNATE);
    const int n = 3 + static_cast<int>(rng() % 10);
    const int range = round % 9 == 8 ? 4000000 : 130;
    std::vector<POINT> points(static_cast<size_t>(n));
    for (size_t k = 0; k < points.size(); ++k) {
      points[k] = POINT{static_cast<LONG>(rng() % range) - range / 6,
                        static_cast<LONG>(rng() % range) - range / 6};
      if (k > 0 && rng() % 4 == 0) points[k].y = points[k - 1].y;
      if (k > 0 && rng() % 5 == 0) points[k].x = points[k - 1].x;
    }
    s.Clear();
    ASSERT_TRUE(plat::Polygon(s.dc, points.data(), n));
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; ++x) {
        int count = 0, wind = 0;
        for (int k = 0; k < n; ++k) {
          const POINT a = points[static_cast<size_t>(k)];
          const POINT b = points[static_cast<size_t>((k + 1) % n)];
          if (a.y == b.y || 2 * y + 1 < 2 * std::min(a.y, b.y) ||
              2 * y + 1 > 2 * std::max(a.y, b.y))
            continue;
          // The crossing X satisfies (X - ax)(by - ay) = (yc - ay)(bx - ax); it counts when
          // X <= x + 1/2. Doubled, with the sign of by - ay taken out:
          const i128 dy = i128{b.y} - a.y, dx = i128{b.x} - a.x;
          const i128 twiceX = 2 * i128{a.x} * dy + (2 * y + 1 - 2 * i128{a.y}) * dx;
          const i128 centre = (2 * i128{x} + 1) * dy;
          if (dy > 0 ? twiceX <= centre : twiceX >= centre) {
            ++count;
            wind += dy > 0 ? 1 : -1;
          }
        }
        const bool inside = winding ? wind != 0 : (count & 1) != 0;
        ASSERT_EQ(s.Set(x, y), inside) << "round " << round << " at " << x << "," << y;
      }
  }
}

TEST(GdiDraw, TheWindowOriginMovesLogicalCoordinates) {
  Section s(20, 20, 16, false, true);
  plat::SetWindowOrgEx(s.dc, -3, 5, nullptr);
  const RECT r{0, 5, 2, 7};  // device (3, 0) - (5, 2)
  plat::FillRect(s.dc, &r, static_cast<HBRUSH>(Stock(plat::WHITE_BRUSH)));
  plat::SetWindowOrgEx(s.dc, 0, 0, nullptr);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(s.Set(x, y), x >= 3 && x < 5 && y < 2);
  // 5-6-5 storage, bottom-up: device row 0 is the last row in memory.
  std::uint16_t v;
  std::memcpy(&v, s.bits + (19 * s.stride) + 6, 2);
  EXPECT_EQ(v, 0xFFFF);
}

// Shapes with extreme coordinates and widths terminate and stay inside the bitmap.
TEST(GdiDraw, ExtremeCoordinatesStayInBounds) {
  Section s(16, 16, 8);
  std::mt19937 random(3);
  std::uniform_int_distribution<int> any(INT32_MIN, INT32_MAX);
  std::uniform_int_distribution<int> small(-40, 56);
  std::uniform_int_distribution<int> width(0, 300);
  for (int round = 0; round < 200; ++round) {
    auto c = [&] { return round % 2 ? any(random) : small(random); };
    PenScope pen(s.dc, round % 5, width(random), 0xFFFFFF);
    plat::SetROP2(s.dc, round % 16 + 1);
    plat::Rectangle(s.dc, c(), c(), c(), c());
    plat::Ellipse(s.dc, c(), c(), c(), c());
    const POINT poly[] = {{c(), c()}, {c(), c()}, {c(), c()}, {c(), c()}};
    plat::Polygon(s.dc, poly, 4);
    plat::Polyline(s.dc, poly, 4);
    plat::MoveToEx(s.dc, c(), c(), nullptr);
    plat::LineTo(s.dc, c(), c());
    plat::SetWindowOrgEx(s.dc, c(), c(), nullptr);
  }
  SUCCEED();  // the sanitizer build checks the bounds
}

}  // namespace
