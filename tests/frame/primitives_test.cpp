// Drawing primitives: one-pixel lines and their clipper, rectangles, the device-context
// refusals, and the styled forms through their temporaries.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include <vexa/blit.h>
#include <vexa/fill_style.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "render/line_clip.h"
#include "support/surface_factory.h"

namespace {

using testsupport::MakeSurface;
using testsupport::Read;
using testsupport::Snapshot;

std::set<std::pair<int, int>> Painted(cSurfaceObject& s, COLORREF colour) {
  std::set<std::pair<int, int>> out;
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x)
      if (Read(s, x, y) == colour) out.insert({x, y});
  return out;
}

TEST(DrawLine, StepsThroughTheNearestPixelOfEachColumn) {
  auto s = MakeSurface(32, 5, 3);
  s->FillColor(0);
  EXPECT_EQ(s->DrawLine(0, 0, 3, 1, 1, 0xFFFFFF), 1);
  EXPECT_EQ(Painted(*s, 0xFFFFFF), (std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
  // Steep lines swap the roles of x and y; a single point is one pixel.
  s->FillColor(0);
  s->DrawLine(4, 2, 3, 0, 1, 0x00FF00);
  EXPECT_EQ(Painted(*s, 0x00FF00), (std::set<std::pair<int, int>>{{4, 2}, {3, 1}, {3, 0}}));
  s->FillColor(0);
  s->DrawLine(2, 2, 2, 2, 1, 0x0000FF);
  EXPECT_EQ(Painted(*s, 0x0000FF).size(), 1u);
}

TEST(DrawLine, MissingTheClipDrawsNothingAndSucceeds) {
  auto s = MakeSurface(32, 8, 8);
  s->FillColor(0);
  s->SetClipRect(4, 0, 4, 8);
  EXPECT_EQ(s->DrawLine(0, 0, 2, 7, 1, 0xFFFFFF), 1);
  EXPECT_TRUE(Painted(*s, 0xFFFFFF).empty());
}

TEST(DrawLine, EightBitLinesUseTheNearestIndexAndOriginsShift) {
  auto s = MakeSurface(8, 6, 2);
  s->FillColor(0);
  s->SetOrigin(10, 0);
  EXPECT_EQ(s->DrawLine(10, 1, 15, 1, 1, 0x00FF00), 1);
  std::uint32_t value = 0;
  s->GetPixelValue(15, 1, &value);
  EXPECT_EQ(static_cast<int>(value), s->GetNearestIndex(0x00FF00));
}

// The pixels a line plots without any clipping, for comparison.
std::set<std::pair<int, int>> Unclipped(int x1, int y1, int x2, int y2) {
  std::set<std::pair<int, int>> out;
  vexa::StepLine(x1, y1, x2, y2, [&](int x, int y) { out.insert({x, y}); });
  return out;
}

TEST(DrawLine, RandomLinesStayInTheClipAndNearTheSegment) {
  std::mt19937 rng(7);
  auto s = MakeSurface(32, 64, 48);
  for (int round = 0; round < 400; ++round) {
    s->FillColor(0);
    s->SetClipRect(8, 6, 40, 30);
    const int x1 = static_cast<int>(rng() % 120) - 30, y1 = static_cast<int>(rng() % 100) - 25;
    const int x2 = static_cast<int>(rng() % 120) - 30, y2 = static_cast<int>(rng() % 100) - 25;
    EXPECT_EQ(s->DrawLine(x1, y1, x2, y2, 1, 0xFFFFFF), 1);
    const auto painted = Painted(*s, 0xFFFFFF);
    const double len = std::hypot(x2 - x1, y2 - y1);
    for (auto [x, y] : painted) {
      ASSERT_TRUE(x >= 8 && x < 48 && y >= 6 && y < 36) << x << "," << y;
      const double distance = len == 0
                                  ? std::hypot(x - x1, y - y1)
                                  : std::fabs((x2 - x1) * (y1 - y) - (x1 - x) * (y2 - y1)) / len;
      // Half a pixel of stepping plus under a pixel of truncation where the clipper cut.
      ASSERT_LT(distance, 1.5) << x1 << "," << y1 << " " << x2 << "," << y2;
    }
    // Lines wholly inside the clip plot exactly their unclipped pixels.
    if (x1 >= 8 && x2 >= 8 && x1 < 48 && x2 < 48 && y1 >= 6 && y2 >= 6 && y1 < 36 && y2 < 36) {
      EXPECT_EQ(painted, Unclipped(x1, y1, x2, y2));
    }
  }
}

TEST(DrawLine, DistantEndpointsClipExactlyAndTerminate) {
  std::int64_t x1 = -2000000000, y1 = -1999999999, x2 = 2000000000, y2 = 2000000001;
  ASSERT_TRUE(vexa::ClipSegment(&x1, &y1, &x2, &y2, 0, 0, 100, 100));
  // The clipped ends lie on the edges and on the original line (y = x + 1, to within the
  // truncation of one division).
  EXPECT_EQ(x1, 0);
  EXPECT_NEAR(static_cast<double>(y1), 1.0, 1.0);
  EXPECT_EQ(y2, 100);
  EXPECT_NEAR(static_cast<double>(x2), 99.0, 1.0);
  auto s = MakeSurface(32, 50, 50);
  s->FillColor(0);
  EXPECT_EQ(s->DrawLine(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 1, 0xFFFFFF), 1);
  EXPECT_EQ(Read(*s, 20, 20), 0xFFFFFFu);
  EXPECT_EQ(s->DrawLine(INT_MIN, 5, INT_MAX, 5, 1, 0x00FF00), 1);
  EXPECT_EQ(Painted(*s, 0x00FF00).size(), 50u);
  EXPECT_EQ(s->DrawLine(INT_MIN, INT_MAX, INT_MAX, INT_MIN, 1, 0x0000FF), 1);
}

TEST(DrawRectangle, FrameInteriorAndOversizedBorders) {
  auto s = MakeSurface(32, 12, 12);
  s->FillColor(0);
  EXPECT_EQ(s->DrawRectangle(10, 10, 0, 0, 2, 0xFFFFFF), 1);  // corners in any order
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool frame = x < 10 && y < 10 && (x < 2 || y < 2 || x >= 8 || y >= 8);
      ASSERT_EQ(Read(*s, x, y), frame ? 0xFFFFFFu : 0u) << x << "," << y;
    }
  EXPECT_EQ(s->DrawRectangle(0, 0, 10, 10, 0x00FF00, 2, 0xFFFFFF, 1), 1);
  EXPECT_EQ(Read(*s, 2, 2), 0x00FF00u);
  EXPECT_EQ(Read(*s, 7, 7), 0x00FF00u);
  EXPECT_EQ(Read(*s, 8, 8), 0xFFFFFFu);
  // A border wider than half the box paints the box and nothing else.
  s->FillColor(0);
  EXPECT_EQ(s->DrawRectangle(3, 3, 6, 5, 0x00FF00, 4, 0x0000FF, 1), 1);
  EXPECT_EQ(Painted(*s, 0x0000FF).size(), 6u);
  EXPECT_TRUE(Painted(*s, 0x00FF00).empty());
  EXPECT_EQ(s->DrawRectangle(0, 0, 4, 4, 0, 0xFFFFFF), 0);  // outline of width 0
}

TEST(DrawShapes, ContextShapesWithoutAContextFail) {
  auto s = MakeSurface(32, 8, 8);
  EXPECT_EQ(s->DrawEllipse(0, 0, 8, 8, 0xFFFFFF, 1, 0, 1), 0);
  EXPECT_EQ(s->GetLastError(), kErrorNoDeviceContext);
  s->lastError = 0;
  EXPECT_EQ(s->DrawLine(0, 0, 7, 7, 3, 0xFFFFFF), 0);
  EXPECT_EQ(s->GetLastError(), kErrorNoDeviceContext);
  const POINT points[] = {{0, 0}, {5, 0}, {0, 5}};
  EXPECT_EQ(s->DrawPolygon(points, 3, 0xFFFFFF, 1, 0, 1), 0);
  s->lastError = 0;
  EXPECT_EQ(s->DrawPolygon(nullptr, 3, 0xFFFFFF, 1, 0, 1), 0);
  EXPECT_EQ(s->DrawPolygon(points, 1, 0xFFFFFF, 1, 0, 1), 0);
  EXPECT_EQ(s->DrawPolygonStyled(points, 1, nullptr, 1, nullptr, 0, 0, 0, 1), 0);
  EXPECT_EQ(s->GetLastError(), 0u);
}

TEST(DrawStyled, BorderlessFlatRectangleEqualsThePlainOne) {
  for (int depth : {8, 15, 16, 24, 32}) {
    auto styled = MakeSurface(depth, 20, 16), plain = MakeSurface(depth, 20, 16);
    styled->FillColor(0x404040);
    plain->FillColor(0x404040);
    styled->SetClipRect(2, 1, 15, 14);
    plain->SetClipRect(2, 1, 15, 14);
    CFillFlat flat(0x3060C0);
    EXPECT_EQ(styled->DrawRectangleStyled(0, 3, 12, 19, &flat, 0, nullptr, 0, 0, 0, 1), 1) << depth;
    plain->DrawRectangle(0, 3, 12, 19, 0x3060C0, 0, 0, 1);
    styled->ResetClipRect();
    plain->ResetClipRect();
    EXPECT_EQ(Snapshot(*styled), Snapshot(*plain)) << depth;
  }
}

TEST(DrawStyled, BlackStylesShowAsNearBlackAndEffectsBlendPerPixel) {
  auto s = MakeSurface(32, 8, 8);
  s->FillColor(0xFFFFFF);
  CFillFlat black(0);
  EXPECT_EQ(s->DrawRectangleStyled(1, 1, 4, 4, &black, 0, nullptr, 0, 0, 0, 1), 1);
  EXPECT_EQ(Read(*s, 2, 2), 0x000008u);
  CFillFlat red(0x0000F0);
  EXPECT_EQ(s->DrawRectangleStyled(4, 4, 8, 8, &red, 0, nullptr, 0, kEffectSemiTransparent, 32, 1),
            1);
  // (S x (128 - 32) + D x 32) >> 7 per channel.
  const COLORREF blended =
      ((0xF0 * 96 + 0xFF * 32) >> 7) | (((0xFF * 32) >> 7) << 8) | (((0xFF * 32) >> 7) << 16);
  EXPECT_EQ(Read(*s, 5, 5), blended);
  EXPECT_EQ(Read(*s, 3, 5), 0xFFFFFFu);
}

TEST(DrawStyled, RectangleBordersAndInteriorsUseTheirStyles) {
  auto tile = MakeSurface(32, 4, 1);
  for (int x = 0; x < 4; ++x) tile->SetPixelColor(x, 0, static_cast<COLORREF>(0x10 * (x + 1)));
  auto s = MakeSurface(32, 16, 12);
  s->FillColor(0);
  CFillMosaic border(tile.get(), 0, 0);
  CFillFlat inside(0x00FF00);
  EXPECT_EQ(s->DrawRectangleStyled(2, 1, 14, 11, &inside, 2, &border, 0, 0, 0, 1), 1);
  EXPECT_EQ(Read(*s, 5, 5), 0x00FF00u);
  // The border's pattern is anchored at the box's corner and runs on along each bar.
  for (int x = 2; x < 14; ++x) {
    EXPECT_EQ(Read(*s, x, 1), static_cast<COLORREF>(0x10 * ((x - 2) % 4 + 1))) << x;
    EXPECT_EQ(Read(*s, x, 10), static_cast<COLORREF>(0x10 * ((x - 2) % 4 + 1))) << x;
  }
  EXPECT_EQ(Read(*s, 13, 5), static_cast<COLORREF>(0x10 * ((13 - 2) % 4 + 1)));
  EXPECT_EQ(Read(*s, 1, 5), 0u);
  // Outline only: the inside stays.
  s->FillColor(0);
  EXPECT_EQ(s->DrawRectangleStyled(2, 1, 14, 11, 2, &border, 0, 0, 0), 1);
  EXPECT_EQ(Read(*s, 5, 5), 0u);
  EXPECT_EQ(Read(*s, 3, 5), static_cast<COLORREF>(0x20));
  EXPECT_EQ(s->DrawRectangleStyled(20, 20, 30, 30, &inside, 0, nullptr, 0, 0, 0, 1), 0);
}

TEST(DrawStyled, EightBitMasksKeepTheFillIndexWhateverThePaletteHoldsAtWhite) {
  auto s = MakeSurface(8, 6, 6);
  PALETTEENTRY entries[256];
  for (int i = 0; i < 256; ++i)
    entries[i] = PALETTEENTRY{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), 7, 0};
  entries[0] = PALETTEENTRY{0, 0, 0, 0};
  entries[77] = PALETTEENTRY{255, 255, 255, 0};  // white is not the last entry
  std::vector<BYTE> record(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(record.data());
  log->palVersion = 0x300;
  log->palNumEntries = 256;
  std::memcpy(log->palPalEntry, entries, sizeof entries);
  ASSERT_TRUE(s->SetPaletteEntries(log, 0));
  s->FillRectValue(0, 0, 6, 6, 0);
  CFillFlat style(0x07A05F);  // entry 0x5F exactly
  EXPECT_EQ(s->DrawRectangleStyled(1, 1, 5, 5, &style, 0, nullptr, 0, 0, 0, 1), 1);
  std::uint32_t value = 0;
  s->GetPixelValue(2, 2, &value);
  EXPECT_EQ(value, 0x5Fu);
  s->GetPixelValue(0, 0, &value);
  EXPECT_EQ(value, 0u);
}

TEST(DrawStyled, OneStyledLineEqualsThePlainLine) {
  auto styled = MakeSurface(24, 20, 20), plain = MakeSurface(24, 20, 20);
  styled->FillColor(0x101010);
  plain->FillColor(0x101010);
  CFillFlat flat(0x123456);
  EXPECT_EQ(styled->DrawLineStyled(-3, 2, 25, 17, 1, &flat, 0, 0, 0), 1);
  plain->DrawLine(-3, 2, 25, 17, 1, 0x123456);
  EXPECT_EQ(Snapshot(*styled), Snapshot(*plain));
}

TEST(DrawStyled, OriginsGiveTheSamePixelsOnMemoryAndDIBSurfaces) {
  cSurfaceObject* prototype = nullptr;
  ASSERT_TRUE(GetPrototype(&prototype, 32, kTypeDIBSection, kDriverNone));
  cSurfaceObject section;
  ASSERT_TRUE(section.Create(24, 18, prototype));
  auto memory = MakeSurface(32, 24, 18);
  auto tile = MakeSurface(32, 3, 2);
  for (int i = 0; i < 6; ++i)
    tile->SetPixelColor(i % 3, i / 3, static_cast<COLORREF>(0x203040 * (i + 1)));
  for (cSurfaceObject* s : {static_cast<cSurfaceObject*>(&section), memory.get()}) {
    s->FillColor(0x000020);
    s->SetOrigin(-5, 7);
    CFillMosaic mosaic(tile.get(), 0, 0);
    CFillFlat flat(0xFFFFFF);
    EXPECT_EQ(s->DrawRectangleStyled(-4, 8, 12, 20, &mosaic, 3, &flat, 0, 0, 0, 1), 1);
    EXPECT_EQ(s->DrawLine(-5, 7, 30, 30, 1, 0x00FF00), 1);
    EXPECT_EQ(s->DrawLineStyled(10, 7, -5, 30, 1, &mosaic, 0, 0, 0), 1);
    s->DrawRectangle(0, 20, 6, 24, 0x0000FF, 1, 0xFF0000, 1);
    s->SetOrigin(0, 0);
  }
  EXPECT_EQ(Snapshot(section), Snapshot(*memory));
}

}  // namespace
