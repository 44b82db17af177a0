// Fill styles: stored colours, slot order, gradient bands, the driver paths (through a surface
// that reports driver kinds) and the tiling of mosaics.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include <vexa/blit.h>
#include <vexa/fill_style.h>
#include <vexa/surface_object.h>

#include "render/fill_bands.h"
#include "support/recording_surface.h"
#include "support/surface_factory.h"
#include "support/vtable_slot.h"

namespace {

using testsupport::MakeSurface;
using testsupport::Read;
using testsupport::SlotOf;

// A memory surface that reports a kind of choice, offers a device context when asked and
// records the driver fills it receives.
class KindSurface : public RecordingSurface {
 public:
  KindSurface(int w, int h, int kind, bool withContext)
      : RecordingSurface(w, h, 32), kind_(kind), context_(withContext) {}
  // The recording base destroys only its own part; this class has members of its own.
  cSurfaceImplementation* Destroy(unsigned flags) override {
    ++destroyed;
    this->KindSurface::~KindSurface();
    if (flags & 1) ::operator delete(this);
    return this;
  }
  int GetKind() override { return kind_; }
  HDC GetDC() override { return context_ ? reinterpret_cast<HDC>(&kind_) : nullptr; }
  void ReleaseDC(HDC) override { ++released; }
  int FillRectDriver(int x, int y, int w, int h, std::uint32_t value, HookArg extra) override {
    const auto* corners = reinterpret_cast<const FillCornerColours*>(extra);
    driverFills.push_back({x, y, w, h, value, *corners});
    return 1;
  }
  int FillRectEffect(int x, int y, int w, int h, void* pattern, HookArg a, HookArg b,
                     HookArg c) override {
    effectFills.push_back({x, y, w, h, *static_cast<FillCornerColours*>(pattern), a, b, c});
    return 1;
  }
  struct DriverFill {
    int x, y, w, h;
    std::uint32_t value;
    FillCornerColours corners;
  };
  struct EffectFill {
    int x, y, w, h;
    FillCornerColours corners;
    HookArg a, mode, modulation;
  };
  std::vector<DriverFill> driverFills;
  std::vector<EffectFill> effectFills;
  int released = 0;

 private:
  int kind_;
  bool context_;
};

// A surface object over a KindSurface (owned by the object).
std::unique_ptr<cSurfaceObject> Over(KindSurface* s) {
  auto object = std::make_unique<cSurfaceObject>();
  object->SetImplementation(s);
  return object;
}

TEST(FillStyle, OperationsSitInTheirSlots) {
  EXPECT_EQ(SlotOf(&CFillData::Destroy), 0);
  EXPECT_EQ(SlotOf(&CFillData::SetOrigin), 1);
  EXPECT_EQ(SlotOf(&CFillData::Fill), 2);
  EXPECT_EQ(SlotOf(&CFillData::FillRect), 3);
  EXPECT_EQ(SlotOf(&CFillData::FillBlend), 4);
  EXPECT_EQ(SlotOf(&CFillData::FillRectBlend), 5);
}

TEST(FillStyle, FlatBlackIsStoredAndDrawnAsNearBlack) {
  auto s = MakeSurface(32, 4, 2);
  s->FillColor(0xFFFFFF);
  CFillFlat black(0);
  EXPECT_EQ(black.colour, 0x000008u);
  EXPECT_EQ(black.SetOrigin(5, 5), 0u);
  EXPECT_EQ(black.Fill(s.get(), INT_MAX, INT_MAX, 0), 1);
  EXPECT_EQ(Read(*s, 3, 1), 0x000008u);
  black.colour = 0;  // changed after construction: only avoidBlack keeps it off black
  EXPECT_EQ(black.FillRect(s.get(), 0, 0, 1, 1, 0), 1);
  EXPECT_EQ(Read(*s, 0, 0), 0u);
  EXPECT_EQ(black.FillRect(s.get(), 0, 0, 1, 1, 1), 1);
  EXPECT_EQ(Read(*s, 0, 0), 0x000008u);

  CFillFlat copy(CFillFlat(0x123456));
  EXPECT_EQ(copy.colour, 0x123456u);
  s->SetOrigin(-1, 0);  // object (-1, 0) is pixel (0, 0)
  EXPECT_EQ(copy.FillRectBlend(s.get(), -1, 0, 0, 1, 0, 0xFF00FF00u, 0), 1);
  EXPECT_EQ(Read(*s, -1, 0), 0x003400u);  // only green survives the modulation
  EXPECT_EQ(Read(*s, 0, 0), 0x000008u);
}

TEST(FillStyle, GradientBandCountsColoursAndEdges) {
  EXPECT_EQ(vexa::GradientBands(0x000000, 0x000001).count(), 1);
  EXPECT_EQ(vexa::GradientBands(0x000000, 0x0000FF).count(), 255);
  EXPECT_EQ(vexa::GradientBands(0x102030, 0x0A2030).count(), 6);  // |dR| = 6
  EXPECT_EQ(vexa::AvoidBlack(0x050307), 0x050308u);               // red 7, green 3, blue 5 -> red 8
  EXPECT_EQ(vexa::AvoidBlack(0x070302), 0x080302u);               // blue is the largest
  EXPECT_EQ(vexa::AvoidBlack(0x000700), 0x000800u);               // green is the largest
  EXPECT_EQ(vexa::AvoidBlack(0x000000), 0x000008u);
  EXPECT_EQ(vexa::AvoidBlack(0x000008), 0x000008u);

  // 3 bands over 10 pixels from 5: edges at trunc(i x 10/3).
  std::vector<vexa::FillBand> bands;
  vexa::GradientBands(0x000000, 0x000003).RectBands(5, 10, false, &bands);
  ASSERT_EQ(bands.size(), 3u);
  EXPECT_EQ(bands[0].start, 5);
  EXPECT_EQ(bands[0].end, 8);
  EXPECT_EQ(bands[1].end, 11);
  EXPECT_EQ(bands[2].end, 15);
  EXPECT_EQ(bands[2].colour, 2u);
  // Falling channels truncate the same way: 200 -> 100 in 100 bands of (200 - i).
  vexa::GradientBands(0xC8, 0x64).RectBands(0, 100, false, &bands);
  EXPECT_EQ(bands[37].colour, 163u);
}

TEST(FillStyle, ShiftedBandsStartPartWayAndStayWithinTheColours) {
  std::vector<vexa::FillBand> bands;
  const vexa::GradientBands g(0x000000, 0x000004);  // 4 bands, m = 2.5 over 10 pixels
  g.ShiftedBands(3, 10, false, &bands);
  // First band 2.5 - fmod(3, 2.5) = 2 long, starting trunc(3 / 2.5) = 1 step on.
  ASSERT_GE(bands.size(), 2u);
  EXPECT_EQ(bands[0].start, 0);
  EXPECT_EQ(bands[0].end, 2);
  EXPECT_EQ(bands[0].colour, 1u);
  EXPECT_EQ(bands[1].end, 4);
  EXPECT_EQ(bands.back().end, 10);
  // Far beyond the gradient every band holds colour 2; far before it, colour 1.
  g.ShiftedBands(1000, 10, false, &bands);
  for (const auto& b : bands) EXPECT_EQ(b.colour, 4u);
  g.ShiftedBands(-1000, 10, true, &bands);
  for (const auto& b : bands) EXPECT_EQ(b.colour, 8u);  // colour 1 is black: avoidBlack
  // Bands cover the extent without gaps for any origin.
  for (int origin = -7; origin < 12; ++origin) {
    g.ShiftedBands(origin, 10, false, &bands);
    int at = 0;
    for (const auto& b : bands) {
      EXPECT_EQ(b.start, at) << origin;
      at = b.end;
    }
    EXPECT_EQ(at, 10) << origin;
  }
}

TEST(FillStyle, DirectionalFillNeedsADeviceContext) {
  auto memory = MakeSurface(32, 4, 4);
  CFillDir fill(0x000000, 0x0000FF, 1, 0, 0);
  EXPECT_EQ(fill.colour1, 0x000008u);
  EXPECT_EQ(fill.FillRect(memory.get(), 0, 0, 4, 4, 0), 0);
  EXPECT_EQ(fill.Fill(memory.get(), INT_MAX, INT_MAX, 0), 0);
}

TEST(FillStyle, DirectionalFillPaintsBandsAndReleasesTheContext) {
  auto* raw = new KindSurface(6, 4, 1, true);
  auto s = Over(raw);
  CFillDir vertical(0x000000, 0x000004, 1, 0, 0);  // colour 1 becomes 8: 4 bands of 1 row
  EXPECT_EQ(vertical.FillRect(s.get(), 0, 0, 6, 4, 0), 1);
  EXPECT_EQ(raw->released, 1);
  EXPECT_EQ(Read(*s, 5, 0), 0x000008u);
  EXPECT_EQ(Read(*s, 0, 3), 0x000005u);              // 8 - 3 x 1
  CFillDir horizontal(0x00FF00, 0x00F900, 0, 0, 0);  // 6 bands of one column
  s->SetOrigin(10, 0);
  EXPECT_EQ(horizontal.FillRect(s.get(), 10, 0, 16, 4, 1), 1);
  EXPECT_EQ(Read(*s, 10, 2), 0x00FF00u);
  EXPECT_EQ(Read(*s, 15, 2), 0x00FA00u);
  // Fill shifts by the style's own origin: one band on.
  EXPECT_EQ(horizontal.SetOrigin(1, -1), 0xFFFF0001u);
  s->SetOrigin(0, 0);
  EXPECT_EQ(horizontal.Fill(s.get(), INT_MAX, INT_MAX, 0), 1);
  EXPECT_EQ(Read(*s, 0, 0), 0x00FE00u);
  EXPECT_EQ(Read(*s, 5, 0), 0x00F900u);
}

TEST(FillStyle, DirectionalFillOnDriverSurfacesPassesTheCornerColours) {
  for (int kind : {9, 13, 21}) {
    auto* raw = new KindSurface(8, 8, kind, false);
    auto s = Over(raw);
    s->SetOrigin(1, 2);
    CFillDir vertical(0x111111, 0x222222, 1, 0, 0);
    EXPECT_EQ(vertical.FillRect(s.get(), 3, 4, 7, 9, 0), 1);
    ASSERT_EQ(raw->driverFills.size(), 1u);
    const auto& d = raw->driverFills[0];
    EXPECT_EQ(std::vector<int>({d.x, d.y, d.w, d.h}), std::vector<int>({2, 2, 4, 5}));
    EXPECT_EQ(std::vector<COLORREF>(d.corners.corner, d.corners.corner + 4),
              std::vector<COLORREF>({0x111111, 0x111111, 0x222222, 0x222222}));
    CFillDir horizontal(0x111111, 0x222222, 0, 0, 0);
    EXPECT_EQ(horizontal.FillRectBlend(s.get(), 1, 2, 3, 4, 1, 0x80FFFFFF, 0), 1);
    if (kind == 21) {
      ASSERT_EQ(raw->effectFills.size(), 1u);
      const auto& e = raw->effectFills[0];
      EXPECT_EQ(std::vector<COLORREF>(e.corners.corner, e.corners.corner + 4),
                std::vector<COLORREF>({0x111111, 0x222222, 0x222222, 0x111111}));
      EXPECT_EQ(e.mode, 1);
      EXPECT_EQ(e.modulation, 0x80FFFFFF);
      EXPECT_EQ(raw->driverFills.size(), 1u);
    } else {
      EXPECT_TRUE(raw->effectFills.empty());  // other groups fill without the blend
      EXPECT_EQ(raw->driverFills.size(), 2u);
    }
  }
}

// A 10 x 4 tile whose pixel (x, y) is 0x0100 * y + x + 1.
std::unique_ptr<cSurfaceObject> NumberedTile(int w = 10, int h = 4) {
  auto tile = MakeSurface(32, w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) tile->SetPixelColor(x, y, static_cast<COLORREF>(0x100 * y + x + 1));
  return tile;
}

TEST(FillStyle, MosaicRepeatsTheTileFromItsOrigin) {
  auto tile = NumberedTile();
  auto s = MakeSurface(32, 37, 11);
  s->FillColor(0);
  CFillMosaic mosaic(tile.get(), 3, 0);
  EXPECT_EQ(mosaic.Fill(s.get(), INT_MAX, INT_MAX, 0), 1);
  EXPECT_EQ(Read(*s, 0, 0), 4u);  // tile column 3 first
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 37; ++x)
      ASSERT_EQ(Read(*s, x, y), static_cast<COLORREF>(0x100 * (y % 4) + (x + 3) % 10 + 1))
          << x << "," << y;
  // A rectangle inside: the phase comes from left + origin; a negative phase wraps.
  CFillMosaic shifted(tile.get(), -25, -6);
  s->SetOrigin(100, 100);
  EXPECT_EQ(shifted.FillRect(s.get(), 102, 101, 109, 110, 0), 1);
  s->SetOrigin(0, 0);
  for (int y = 1; y < 10; ++y)
    for (int x = 2; x < 9; ++x) {
      const int tx = ((x + 100 - 25) % 10 + 10) % 10, ty = ((y + 100 - 6) % 4 + 4) % 4;
      ASSERT_EQ(Read(*s, x, y), static_cast<COLORREF>(0x100 * ty + tx + 1)) << x << "," << y;
    }
}

TEST(FillStyle, MosaicOfHugeRectanglesOnlyDrawsTheVisibleTiles) {
  auto tile = NumberedTile(7, 5);
  auto s = MakeSurface(32, 20, 20);
  s->SetClipRect(5, 5, 6, 6);
  CFillMosaic mosaic(tile.get(), 0, 0);
  EXPECT_EQ(mosaic.FillRect(s.get(), INT_MIN + 3, INT_MIN + 1, INT_MAX, INT_MAX, 0), 1);
  for (int y = 5; y < 11; ++y)
    for (int x = 5; x < 11; ++x) {
      const long long px = ((static_cast<long long>(x) - (INT_MIN + 3)) % 7 + 7) % 7;
      const long long py = ((static_cast<long long>(y) - (INT_MIN + 1)) % 5 + 5) % 5;
      const long long fx = ((INT_MIN + 3LL) % 7 + 7) % 7, fy = ((INT_MIN + 1LL) % 5 + 5) % 5;
      ASSERT_EQ(Read(*s, x, y), static_cast<COLORREF>(0x100 * ((py + fy) % 5) + (px + fx) % 7 + 1))
          << x << "," << y;
    }
}

TEST(FillStyle, MosaicWithoutATileAndBlendedPieces) {
  auto s = MakeSurface(32, 4, 4);
  CFillMosaic none(nullptr, 0, 0);
  EXPECT_EQ(none.Fill(s.get(), INT_MAX, INT_MAX, 0), 0);
  cSurfaceObject empty;  // 0 x 0: no tile either
  CFillMosaic emptyTile(&empty, 0, 0);
  EXPECT_EQ(emptyTile.Fill(s.get(), INT_MAX, INT_MAX, 0), 0);

  auto* tileImpl = new RecordingSurface(3, 3, 32);
  cSurfaceObject tile;
  tile.SetImplementation(tileImpl);
  CFillMosaic mosaic(&tile, 1, 0);
  EXPECT_EQ(mosaic.FillRectBlend(s.get(), 0, 0, 2, 2, 1, 0x80FF0000u, 0), 1);
  EXPECT_EQ(tileImpl->lastBlit.sourceX, 1);
  EXPECT_EQ(tileImpl->lastBlit.width, 2);
  EXPECT_EQ(tileImpl->lastBlit.mode, 1);
  EXPECT_EQ(tileImpl->lastBlit.effect, static_cast<int>(kEffectParamIsRGBA));
  EXPECT_EQ(static_cast<std::uint32_t>(tileImpl->lastBlit.parameter), 0x80FF0000u);
  EXPECT_EQ(mosaic.FillRectBlend(s.get(), 0, 0, 2, 2, 0, kNoModulation, 0), 1);
  EXPECT_EQ(tileImpl->lastBlit.effect, 0);
  EXPECT_EQ(tileImpl->lastBlit.parameter, 0);
  EXPECT_EQ(mosaic.SetOrigin(-2, 3), 0x0003FFFEu);

  CFillMosaic copy(mosaic);
  EXPECT_EQ(copy.tile, &tile);
  EXPECT_EQ(copy.originX, -2);
  CFillData* heap = new CFillMosaic(copy);
  EXPECT_EQ(heap->Destroy(1), heap);  // frees: the sanitizers watch this
}

}  // namespace
