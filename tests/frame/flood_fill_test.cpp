// Flood fill on public surface objects: the fill value per depth, the refusals, the box, the
// effect path, and the direct form against the virtual-call form (same pixels, same drops).
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <random>
#include <vector>

#include <vexa/blit.h>
#include <vexa/surface_object.h>

#include "frame/flood_fill.h"
#include "support/surface_factory.h"

namespace {

using testsupport::MakeSurface;
using testsupport::Read;
using testsupport::Snapshot;

// Unbounded breadth-first reference: the pixels four-way connected to the seed within the
// tolerance, inside the clip.
std::vector<bool> Component(cSurfaceObject& s, int sx, int sy, int tolerance) {
  const int w = s.GetWidth(), h = s.GetHeight();
  std::vector<bool> in(static_cast<size_t>(w) * h, false);
  const COLORREF seed = Read(s, sx, sy);
  auto near = [&](int x, int y) {
    COLORREF c = 0;
    if (!s.GetPixelColor(x, y, &c)) return false;
    for (int shift = 0; shift < 24; shift += 8) {
      const int d = static_cast<int>((c >> shift) & 255) - static_cast<int>((seed >> shift) & 255);
      if (d > tolerance || -d > tolerance) return false;
    }
    return true;
  };
  std::deque<std::pair<int, int>> queue{{sx, sy}};
  in[static_cast<size_t>(sy) * w + sx] = true;
  while (!queue.empty()) {
    auto [x, y] = queue.front();
    queue.pop_front();
    const int nx[] = {x - 1, x + 1, x, x}, ny[] = {y, y, y - 1, y + 1};
    for (int i = 0; i < 4; ++i) {
      if (nx[i] < 0 || ny[i] < 0 || nx[i] >= w || ny[i] >= h) continue;
      const size_t at = static_cast<size_t>(ny[i]) * w + nx[i];
      if (in[at] || !near(nx[i], ny[i])) continue;
      in[at] = true;
      queue.emplace_back(nx[i], ny[i]);
    }
  }
  return in;
}

TEST(FloodFill, FillsTheConnectedAreaAndReportsItsBox) {
  auto s = MakeSurface(32, 8, 6);
  s->FillColor(0x101010);
  s->FillRectColor(0, 3, 8, 1, 0xFFFFFF);  // a wall across row 3
  s->SetOrigin(10, 20);
  int l = 0, t = 0, r = 0, b = 0;
  EXPECT_EQ(s->FloodFill(12, 21, &l, &t, &r, &b, 0xFF0000AB, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(l, 10);
  EXPECT_EQ(t, 20);
  EXPECT_EQ(r, 18);
  EXPECT_EQ(b, 23);  // rows 0-2 only, bottom exclusive
  s->SetOrigin(0, 0);
  EXPECT_EQ(Read(*s, 7, 2), 0x0000ABu);  // the top byte of the colour is dropped
  EXPECT_EQ(Read(*s, 7, 3), 0xFFFFFFu);
  EXPECT_EQ(Read(*s, 0, 4), 0x101010u);
}

TEST(FloodFill, RefusesTheSeedColourASeedOutsideTheClipAndUnreadableSeeds) {
  auto s = MakeSurface(24, 5, 5);
  s->FillColor(0x303030);
  int l = -7;
  EXPECT_EQ(s->FloodFill(1, 1, &l, nullptr, nullptr, nullptr, 0x303030, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(l, -7);
  s->SetClipRect(2, 2, 3, 3);
  EXPECT_EQ(s->FloodFillNoBounds(0, 0, 0x0000FF, 0, 255, 0, 0, 0), 0);
  EXPECT_EQ(Read(*s, 3, 3), 0x303030u);
  // The clip bounds the fill too.
  EXPECT_EQ(s->FloodFillNoBounds(3, 3, 0x0000FF, 0, 0, 0, 0, 0), 1);
  s->ResetClipRect();
  EXPECT_EQ(Read(*s, 2, 2), 0x0000FFu);
  EXPECT_EQ(Read(*s, 1, 1), 0x303030u);
  cSurfaceObject empty;  // the error surface reads nothing
  EXPECT_EQ(empty.FloodFillNoBounds(0, 0, 0x0000FF, 0, 0, 0, 0, 0), 0);
}

TEST(FloodFill, SixteenBitFillColourIsWhatAReadReturns) {
  auto s = MakeSurface(16, 4, 4);
  s->FillColor(0);
  EXPECT_EQ(s->FloodFillNoBounds(1, 1, 0x0000FF, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(Read(*s, 3, 3), 0x0000F8u);
  EXPECT_EQ(s->FloodFillNoBounds(1, 1, 0x0000FF, 0, 0, 0, 0, 0), 0);
  auto s15 = MakeSurface(15, 2, 2);
  s15->FillColor(0);
  EXPECT_EQ(s15->FloodFillNoBounds(0, 0, 0x070707, 0, 0, 0, 0, 0), 0);  // reads as black
}

TEST(FloodFill, EightBitFillsWithTheNearestIndex) {
  auto s = MakeSurface(8, 4, 4);
  s->FillColor(0);
  const int index = s->GetNearestIndex(0x00FF00);
  EXPECT_EQ(s->FloodFillNoBounds(0, 0, 0x01FE01, 0, 0, 0, 0, 0), 1);
  std::uint32_t value = 0;
  s->GetPixelValue(3, 3, &value);
  EXPECT_EQ(static_cast<int>(value), index);
  EXPECT_EQ(s->FloodFillNoBounds(0, 0, 0x00FF00, 0, 0, 0, 0, 0), 0);  // same entry again
}

TEST(FloodFill, ToleranceAndFourWayConnection) {
  auto s = MakeSurface(32, 6, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) s->SetPixelColor(x, y, (x + y) % 2 ? 0xFFFFFF : 0x000000);
  int l, t, r, b;
  EXPECT_EQ(s->FloodFill(2, 2, &l, &t, &r, &b, 0x0000FF, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(r - l, 1);
  EXPECT_EQ(b - t, 1);  // a checkerboard fills one pixel
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) s->SetPixelColor(x, y, static_cast<COLORREF>(x * 10));
  EXPECT_EQ(s->FloodFill(0, 0, &l, &t, &r, &b, 0x00FF00, 0, 20, 0, 0, 0), 1);
  EXPECT_EQ(r, 3);  // red 0, 10, 20 are within 20 of the seed
  EXPECT_EQ(s->FloodFill(5, 5, &l, &t, &r, &b, 0xFF0000, 0, 255, 0, 0, 0), 1);
  EXPECT_EQ(l, 0);
  EXPECT_EQ(r, 6);
}

TEST(FloodFill, ThroughAnEffectBlendsOnlyThePaintedPixels) {
  auto s = MakeSurface(32, 6, 4);
  s->FillColor(0xFF00FF);  // the surface's key is this very colour
  s->SetTransparentColor(0xFF00FF);
  s->FillRectColor(0, 2, 6, 2, 0x00FF00);  // an unfilled lower half
  EXPECT_EQ(s->FloodFillNoBounds(0, 0, 0x0000FE, 0, 0, 0, kEffectSemiTransparent, 64), 1);
  // (S x 64 + D x 64) >> 7 per channel over the upper half.
  EXPECT_EQ(Read(*s, 5, 1), 0x7F00FEu);
  // Unpainted pixels keep their colour: the temporary's cleared pixels are skipped even
  // though the surface's key is another colour.
  EXPECT_EQ(Read(*s, 0, 2), 0x00FF00u);
  EXPECT_EQ(Read(*s, 5, 3), 0x00FF00u);
}

// Random blobs of a few colours, all depths and tolerances: the direct form and the
// virtual-call form paint the same pixels and report the same box, and both match the
// unbounded reference while the stack is not exhausted.
TEST(FloodFill, DirectAndVirtualFormsAgreeOnRandomImages) {
  std::mt19937 rng(22);
  for (int depth : {8, 15, 16, 24, 32}) {
    for (int round = 0; round < 12; ++round) {
      const int w = 1 + static_cast<int>(rng() % 40), h = 1 + static_cast<int>(rng() % 30);
      auto a = MakeSurface(depth, w, h);
      const COLORREF colours[] = {0x000000, 0x202020, 0x282828, 0xFFFFFF, 0x0000FF};
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) a->SetPixelColor(x, y, colours[rng() % 5]);
      if (round % 3 == 0) a->SetClipRect(1, 1, w - 1, h - 1);
      auto b = MakeSurface(depth, w, h);
      a->Blit(b.get(), 0, 0, 0, 0, w, h, kModeOpaque, 0, 0, 0);
      int cx, cy, cw, ch;
      a->GetClipRect(&cx, &cy, &cw, &ch);
      b->SetClipRect(cx, cy, cw, ch);
      const int sx = static_cast<int>(rng() % w), sy = static_cast<int>(rng() % h);
      const int tolerance = static_cast<int>(rng() % 3) * 12;
      COLORREF seed = 0;
      if (!a->GetPixelColor(sx, sy, &seed)) continue;
      const auto expected = Component(*a, sx, sy, tolerance);

      vexa::FloodFillRequest request;
      request.seedX = sx;
      request.seedY = sy;
      request.seedColour = seed;
      request.fillColour = depth == 8 ? a->GetPaletteColor(a->GetNearestIndex(0x00FF00))
                                      : (depth == 24 || depth == 32 ? 0x00FF01 : 0x00F800);
      request.fillIndex = depth == 8 ? static_cast<std::uint32_t>(a->GetNearestIndex(0x00FF00)) : 0;
      request.tolerance = tolerance;
      vexa::FloodBox boxA{sx, sy, sx, sy}, boxB = boxA;
      request.surface = request.target = a->implementation;
      ASSERT_TRUE(vexa::HasDirectPixels(a->implementation));
      EXPECT_EQ(vexa::RunFloodFill(request, &boxA), 1);
      request.surface = request.target = b->implementation;
      request.allowDirect = false;
      EXPECT_EQ(vexa::RunFloodFill(request, &boxB), 1);
      EXPECT_EQ(Snapshot(*a), Snapshot(*b)) << depth << " round " << round;
      EXPECT_EQ(std::tie(boxA.left, boxA.top, boxA.right, boxA.bottom),
                std::tie(boxB.left, boxB.top, boxB.right, boxB.bottom));
      if (seed == request.fillColour) continue;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const bool filled = Read(*a, x, y) == request.fillColour;
          if (expected[static_cast<size_t>(y) * w + x]) {
            EXPECT_TRUE(filled) << x << "," << y;
          }
        }
    }
  }
}

// The tolerance's edges at 32 bits, channel by channel: a difference of exactly the
// tolerance is inside, one more is not, also where the range is cut at 0 or 255. The middle
// row holds the test pixels between seed-coloured ones; the rows around it join them all.
TEST(FloodFill, ThirtyTwoBitToleranceEdgesPerChannel) {
  for (const COLORREF seed : {COLORREF{0x00F03C05}, COLORREF{0x00808080}}) {
    for (const int tolerance : {0, 1, 12, 300}) {
      const int w = 60;
      auto s = MakeSurface(32, w, 3);
      s->FillRectColor(0, 0, w, 3, seed);
      std::vector<int> expected(w, 1);
      int x = 1;
      for (int channel = 0; channel < 3; ++channel)
        for (const int delta : {tolerance, -tolerance, tolerance + 1, -tolerance - 1}) {
          const int value = static_cast<int>((seed >> (8 * channel)) & 0xFF) + delta;
          if (value < 0 || value > 255) continue;
          const COLORREF c = (seed & ~(0xFFu << (8 * channel))) | static_cast<COLORREF>(value)
                                                                      << (8 * channel);
          s->SetPixelColor(x, 1, c);
          expected[static_cast<size_t>(x)] = std::abs(delta) <= tolerance;
          x += 2;
        }
      vexa::FloodFillRequest request;
      request.surface = request.target = s->implementation;
      request.seedX = 0;
      request.seedY = 0;
      request.seedColour = seed;
      request.fillColour = 0x00123456;
      request.tolerance = tolerance;
      vexa::FloodBox box{0, 0, 0, 0};
      ASSERT_EQ(vexa::RunFloodFill(request, &box), 1);
      for (int k = 0; k < w; ++k)
        EXPECT_EQ(Read(*s, k, 1) == 0x00123456u, expected[static_cast<size_t>(k)] != 0)
            << std::hex << seed << std::dec << " tolerance " << tolerance << " column " << k;
    }
  }
}

// Painting a 32-bit surface in place writes the three colour bytes of each pixel; the fourth
// byte, which callers may use for their own data, stays as it was.
TEST(FloodFill, ThirtyTwoBitPaintingKeepsTheFourthByte) {
  const int w = 37, h = 9;
  auto s = MakeSurface(32, w, h);
  cSurfaceImplementation* impl = s->implementation;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::uint32_t colour = (x == 20 && y > 0) ? 0x00FFFFFFu : 0x00102030u;  // a wall
      const std::uint32_t v = colour | static_cast<std::uint32_t>((x * 7 + y * 13) & 0xFF) << 24;
      std::memcpy(impl->Row(y) + 4 * x, &v, 4);
    }
  vexa::FloodFillRequest request;
  request.surface = request.target = impl;
  request.seedX = 3;
  request.seedY = 4;
  request.seedColour = 0x302010;  // the stored 0x102030 read as a colour
  request.fillColour = 0x0000FF;
  request.tolerance = 5;
  vexa::FloodBox box{3, 4, 3, 4};
  ASSERT_TRUE(vexa::HasDirectPixels(impl));
  ASSERT_EQ(vexa::RunFloodFill(request, &box), 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint32_t v;
      std::memcpy(&v, impl->Row(y) + 4 * x, 4);
      ASSERT_EQ(v >> 24, static_cast<std::uint32_t>((x * 7 + y * 13) & 0xFF)) << x << "," << y;
      const bool wall = x == 20 && y > 0;
      ASSERT_EQ(v & 0xFFFFFF, wall ? 0xFFFFFFu : 0xFF0000u) << x << "," << y;  // red, stored
    }
}

// A comb of one-pixel corridors hanging from an open top row: the second row alone pushes
// one segment per corridor, more than the stack holds. The fill answers 1, stays incomplete,
// and the two forms drop the same segments.
TEST(FloodFill, AnOverflowingStackLeavesTheFillIncompleteInBothForms) {
  const int w = 2 * 12000 + 1, h = 4;
  std::vector<COLORREF> results[2];
  for (int form = 0; form < 2; ++form) {
    auto s = MakeSurface(8, w, h);
    s->FillColor(0x000000);
    for (int x = 1; x < w; x += 2) s->FillRectColor(x, 1, 1, h - 1, 0xFFFFFF);
    vexa::FloodFillRequest request;
    request.surface = request.target = s->implementation;
    request.seedColour = 0;
    request.fillIndex = static_cast<std::uint32_t>(s->GetNearestIndex(0x0000FF));
    request.fillColour = s->GetPaletteColor(static_cast<int>(request.fillIndex));
    request.allowDirect = form == 0;
    vexa::FloodBox box{0, 0, 0, 0};
    EXPECT_EQ(vexa::RunFloodFill(request, &box), 1);
    results[form] = Snapshot(*s);
    int unfilledCorridors = 0;
    for (int x = 0; x < w; x += 2)
      if (Read(*s, x, h - 1) != request.fillColour) ++unfilledCorridors;
    EXPECT_GT(unfilledCorridors, 0);
    EXPECT_LT(unfilledCorridors, w / 2);
  }
  EXPECT_EQ(results[0], results[1]);
}

}  // namespace
