// The transformed blit: how its arguments travel, and the library's own drawing of it.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <vexa/blit.h>
#include <vexa/library.h>
#include <vexa/rotation.h>
#include <vexa/surface_object.h>
#include <vexa/transformed_blit.h>

#include "sprite/sprite_internal.h"
#include "sprite/sprite_transform.h"
#include "support/recording_surface.h"
#include "support/surface_factory.h"

namespace {

using testsupport::MakeSurface;
using testsupport::Snapshot;

constexpr COLORREF kKey = 0x00FF00;
constexpr COLORREF kBackground = 0x403020;

// Keeps what BlitTransformedFrom receives.
class TransformedRecorder : public RecordingSurface {
 public:
  TransformedRecorder() : RecordingSurface(4, 4, 32) {}
  int BlitTransformedFrom(cSurfaceImplementation* from, float x, float y, int a1, int a2, int a3,
                          int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11,
                          int a12) override {
    source = from;
    received = UnpackTransformedBlit(x, y, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12);
    raw = {a7, a8, a9, a10};
    return 7;
  }
  cSurfaceImplementation* source = nullptr;
  TransformedBlitArgs received;
  std::vector<int> raw;
};

void Pattern(cSurfaceObject& s) {
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x)
      s.SetPixelColor(x, y,
                      (x + 2 * y) % 7 == 0
                          ? kKey
                          : static_cast<COLORREF>(((x * 41) & 0xFF) | (((y * 29) & 0xFF) << 8) |
                                                  ((((x ^ y) * 13) & 0xFF) << 16)));
  s.SetTransparentColor(kKey);
}

// A whole-source drawing of a w x h image by its hot spot at (x, y), keyed.
TransformedBlitArgs Placed(float x, float y, int w, int h, int hotX, int hotY) {
  TransformedBlitArgs t;
  t.x = x;
  t.y = y;
  t.sourceWidth = w;
  t.sourceHeight = h;
  t.hotSpotX = hotX;
  t.hotSpotY = hotY;
  t.mode = kModeTransparent;
  return t;
}

TEST(TransformedBlit, ArgumentsTravelPackedAndComeBackWhole) {
  auto source = MakeSurface(32, 10, 8);
  TransformedRecorder target;
  TransformedBlitArgs t = Placed(12.5f, -3.0f, 6, 5, 3, 4);
  t.sourceX = 1;
  t.sourceY = 2;
  t.scaleX = 0.75f;
  t.scaleY = 2.5f;
  t.angle = 314.5f;
  t.options = kTransformSmooth | kTransformSmoothTurn;
  t.effect = kEffectSemiTransparent | 0x1000;
  t.parameter = 0x80402010u;
  EXPECT_EQ(CallBlitTransformed(source->implementation, &target, t), 7);
  EXPECT_EQ(target.source, source->implementation);
  EXPECT_EQ(target.raw, (std::vector<int>{49152, 163840, 314500, 0x501}));
  const TransformedBlitArgs& r = target.received;
  EXPECT_EQ(r.x, 12.5f);
  EXPECT_EQ(r.y, -3.0f);
  EXPECT_EQ(r.sourceX, 1);
  EXPECT_EQ(r.sourceY, 2);
  EXPECT_EQ(r.sourceWidth, 6);
  EXPECT_EQ(r.sourceHeight, 5);
  EXPECT_EQ(r.hotSpotX, 3);
  EXPECT_EQ(r.hotSpotY, 4);
  EXPECT_EQ(r.scaleX, 0.75f);
  EXPECT_EQ(r.scaleY, 2.5f);
  EXPECT_EQ(r.angle, 314.5f);
  EXPECT_EQ(r.mode, kModeTransparent);
  EXPECT_EQ(r.options, kTransformSmooth | kTransformSmoothTurn);
  EXPECT_EQ(r.effect, t.effect);
  EXPECT_EQ(r.parameter, t.parameter);
  // A scale that would pack to 0 (read as 1) travels as the smallest one instead; an angle
  // rounds to the nearest thousandth; a non-finite angle travels as 0.
  EXPECT_EQ(PackTransformedScale(0.0f), 1);
  EXPECT_EQ(PackTransformedScale(-2.0f), 1);
  EXPECT_EQ(PackTransformedScale(1e-9f), 1);
  EXPECT_EQ(ReadTransformedScale(0), 1.0f);
  EXPECT_EQ(PackTransformedScale(1e30f), 2147483647);
  EXPECT_EQ(PackTransformedAngle(33.3334f), 33333);
  EXPECT_EQ(PackTransformedAngle(NAN), 0);
  EXPECT_EQ(PackTransformedAngle(720.25f), 250);
}

// A quarter turn lands as the exact quarter rotation, placed by its turned hot spot.
TEST(TransformedBlit, QuarterTurnsAreExactAndPlacedByTheHotSpot) {
  for (float angle : {90.0f, 270.0f}) {
    auto source = MakeSurface(32, 7, 5);
    Pattern(*source);
    auto drawn = MakeSurface(32, 40, 40), expected = MakeSurface(32, 40, 40);
    drawn->FillRectColor(0, 0, 40, 40, kBackground);
    expected->FillRectColor(0, 0, 40, 40, kBackground);
    TransformedBlitArgs t = Placed(20.75f, 18.0f, 7, 5, 2, 1);  // placed at floor(x), floor(y)
    t.angle = angle;
    ASSERT_NE(DrawTransformedSoftware(source->implementation, drawn->implementation, t), 0);
    RECT box{0, 0, 7, 5};
    POINT hot{2, 1};
    GetRotatedRect(&box, &hot, nullptr, angle);
    ASSERT_EQ(box.right, 5);
    ASSERT_EQ(box.bottom, 7);
    auto turned = MakeSurface(32, 5, 7);
    ASSERT_TRUE(source->implementation->RotateQuarter(turned->implementation, angle == 90 ? 0 : 1));
    turned->SetTransparentColor(kKey);
    turned->implementation->Blit(expected->implementation, 20 - hot.x, 18 - hot.y, 0, 0, 5, 7,
                                 kModeTransparent, kEffectNone, 0, 0);
    EXPECT_EQ(Snapshot(*drawn), Snapshot(*expected)) << angle;
    EXPECT_NE(Snapshot(*drawn), std::vector<COLORREF>(1600, kBackground)) << angle;
  }
}

// A copy made again over an earlier one, as for a sprite turning every frame, has every pixel
// written: two copies made over old ones of different colours agree, at every kind of turn
// and scale, for each depth.
TEST(TransformedBlit, ACopyMadeAgainOverAnOldOneHasEveryPixelWritten) {
  for (const int depth : {8, 16, 24, 32}) {
    cSurfaceObject* prototype = nullptr;
    ASSERT_EQ(GetPrototype(&prototype, depth, kTypeMemory, kDriverNone), 1);
    auto image = MakeSurface(depth, 21, 13);
    Pattern(*image);
    for (const float angle : {7.0f, 33.5f, 90.0f, 135.0f, 180.0f, 270.0f, 301.0f})
      for (const float scale : {1.0f, 1.5f, 0.75f}) {
        SpriteGeometry g{};
        g.x = g.y = 40;
        g.hotSpotX = 5;
        g.hotSpotY = 3;
        g.width = 21;
        g.height = 13;
        g.scaleX = g.scaleY = scale;
        g.angle = angle;
        const RECT rect = sprite::GeometryRect(g);
        const int w = rect.right - rect.left, h = rect.bottom - rect.top;
        std::vector<COLORREF> made[2];
        for (int k = 0; k < 2; ++k) {
          cSurfaceObject* old = NewSurfaceObject();
          ASSERT_NE(old->Create(w, h, prototype), nullptr);
          old->FillRectColor(0, 0, w, h, k ? 0x123456 : 0xFEDCBA);
          cSurfaceObject* copy = sprite::MakeTransformedCopy(
              image->implementation, g, rect, sprite::TransformSmoothing{}, prototype, old);
          ASSERT_EQ(copy, old) << "made again in place";
          made[k] = Snapshot(*copy);
          DeleteSurfaceObject(copy);
        }
        EXPECT_EQ(made[0], made[1]) << depth << " bits, " << angle << " degrees, x" << scale;
      }
  }
}

// Part of a source (an atlas room, say) draws as a surface holding just that part would.
TEST(TransformedBlit, SourceRectangleDrawsAsItsOwnSurface) {
  auto atlas = MakeSurface(32, 24, 16);
  atlas->FillRectColor(0, 0, 24, 16, 0x0000FF);
  auto part = MakeSurface(32, 9, 6);
  Pattern(*part);
  part->implementation->Blit(atlas->implementation, 5, 7, 0, 0, 9, 6, kModeOpaque, kEffectNone, 0,
                             0);
  atlas->SetTransparentColor(kKey);
  for (const float angle : {0.0f, 30.0f, 180.0f}) {
    auto fromAtlas = MakeSurface(32, 48, 48), fromPart = MakeSurface(32, 48, 48);
    fromAtlas->FillRectColor(0, 0, 48, 48, kBackground);
    fromPart->FillRectColor(0, 0, 48, 48, kBackground);
    TransformedBlitArgs t = Placed(24, 24, 9, 6, 4, 3);
    t.scaleX = 1.5f;
    t.scaleY = 2.0f;
    t.angle = angle;
    t.options = kTransformSmooth | kTransformResample;
    ASSERT_NE(DrawTransformedSoftware(part->implementation, fromPart->implementation, t), 0);
    t.sourceX = 5;
    t.sourceY = 7;
    ASSERT_NE(DrawTransformedSoftware(atlas->implementation, fromAtlas->implementation, t), 0);
    EXPECT_EQ(Snapshot(*fromAtlas), Snapshot(*fromPart)) << angle;
    // The neighbours on the atlas (blue) never show.
    for (COLORREF c : Snapshot(*fromAtlas)) ASSERT_NE(c, 0x0000FFu) << angle;
  }
}

TEST(TransformedBlit, UnusableArgumentsDrawNothing) {
  auto source = MakeSurface(32, 8, 8);
  Pattern(*source);
  auto target = MakeSurface(32, 32, 32);
  target->FillRectColor(0, 0, 32, 32, kBackground);
  const std::vector<COLORREF> before = Snapshot(*target);
  TransformedBlitArgs good = Placed(16, 16, 8, 8, 0, 0);
  good.angle = 45;
  std::vector<TransformedBlitArgs> bad(6, good);
  bad[0].sourceX = 1;  // reaches past the source
  bad[1].sourceWidth = 0;
  bad[2].sourceY = -1;
  bad[3].x = NAN;
  bad[4].scaleX = 0;  // nothing to show
  bad[5].y = 3e9f;
  for (const TransformedBlitArgs& t : bad)
    EXPECT_EQ(DrawTransformedSoftware(source->implementation, target->implementation, t), 0);
  EXPECT_EQ(DrawTransformedSoftware(nullptr, target->implementation, good), 0);
  EXPECT_EQ(DrawTransformedSoftware(source->implementation, nullptr, good), 0);
  EXPECT_EQ(Snapshot(*target), before);
  EXPECT_NE(DrawTransformedSoftware(source->implementation, target->implementation, good), 0);
  EXPECT_NE(Snapshot(*target), before);
}

}  // namespace
