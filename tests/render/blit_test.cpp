// Blit's own steps: validation, clipping, take-over, effect normalisation, the conversion
// path across depths, the alpha-plane copy and the edge-antialiasing pass.
#include <gtest/gtest.h>

#include <vexa/blit.h>
#include <vexa/palette.h>

#include "render/blit_setup.h"
#include "render/edge_smoother.h"
#include "support/recording_surface.h"
#include "support/surface_factory.h"

namespace {

using testsupport::MakeSurface;
using testsupport::RawPixel;

class FixedEffect : public IEffectObject {
 public:
  explicit FixedEffect(DWORD rgba) : rgba_(rgba) {}
  IEffectObject* Destroy(unsigned) override { return this; }
  DWORD GetRGBACoefficient() override { return rgba_; }

 private:
  DWORD rgba_;
};

EffectParam AsParam(IEffectObject* e) { return reinterpret_cast<EffectParam>(e); }

TEST(BlitEffects, NormalisationRules) {
  using vexa::NormaliseEffect;
  EXPECT_TRUE(NormaliseEffect(kEffectSemiTransparent, 128).invisible);
  EXPECT_EQ(NormaliseEffect(kEffectSemiTransparent, 0).code, kEffectNone);
  EXPECT_EQ(NormaliseEffect(kEffectSemiTransparent, 64).code, kEffectSemiTransparent);
  EXPECT_TRUE(NormaliseEffect(kEffectParamIsRGBA, 0x00FFFFFF).invisible);
  const auto opaqueRgba = NormaliseEffect(kEffectParamIsRGBA, 0xFF000000);
  EXPECT_EQ(opaqueRgba.code, kEffectSemiTransparent);
  EXPECT_EQ(opaqueRgba.parameter, 0u) << "alpha 255 blends with c = 0";
  EXPECT_EQ(NormaliseEffect(kEffectParamIsRGBA, 0x80123456).parameter, 0x7Fu ^ 0x40u);
  EXPECT_EQ(NormaliseEffect(kEffectObject, 0).code, kEffectNone);
  FixedEffect hidden(0x00FFFFFF), full(0xFF000000), half(0x80FFFFFF);
  EXPECT_TRUE(NormaliseEffect(kEffectObject, AsParam(&hidden)).invisible);
  EXPECT_EQ(NormaliseEffect(kEffectObject, AsParam(&full)).code, kEffectNone);
  const auto halfway = NormaliseEffect(kEffectObject, AsParam(&half));
  EXPECT_EQ(halfway.code, kEffectSemiTransparent);
  EXPECT_EQ(halfway.parameter, 0x3Fu);
}

TEST(BlitClipping, SourceAndDestinationEdges) {
  PixelDescriptor source{}, destination{};
  source.width = 10, source.height = 10;
  destination.width = 20, destination.height = 20;
  destination.clipRight = 20, destination.clipBottom = 20;
  vexa::BlitRect r{2, 3, -5, 0, 10, 10};
  ASSERT_TRUE(vexa::ClipBlitRect(source, destination, r));
  EXPECT_EQ(r.x, 7) << "srcX = -5 draws its first column at destX + 5";
  EXPECT_EQ(r.sourceX, 0);
  EXPECT_EQ(r.width, 5);
  destination.clipLeft = 4, destination.clipRight = 4;  // zero-width clip
  vexa::BlitRect none{0, 0, 0, 0, 10, 10};
  EXPECT_FALSE(vexa::ClipBlitRect(source, destination, none));
  destination.clipLeft = 0, destination.clipRight = 20;
  vexa::BlitRect huge{-0x7FFFFFFF, 0, 0x7FFFFFFF, 0, 0x7FFFFFFF, 1};
  EXPECT_FALSE(vexa::ClipBlitRect(source, destination, huge)) << "no overflow on extreme values";
}

// A destination that takes blits over receives the clipped rectangle.
class TakeOver : public RecordingSurface {
 public:
  using RecordingSurface::RecordingSurface;
  int HandlesBlitFrom() override { return 1; }
  int BlitFrom(cSurfaceImplementation* source, int x, int y, int sx, int sy, int w, int h, int mode,
               std::uint32_t effect, EffectParam parameter, std::uint32_t flags) override {
    from = source;
    got = {nullptr,
           x,
           y,
           sx,
           sy,
           w,
           h,
           mode,
           static_cast<int>(effect),
           static_cast<int>(parameter),
           static_cast<int>(flags)};
    return 7;
  }
  cSurfaceImplementation* from = nullptr;
  BlitCall got{};
};

TEST(BlitValidation, DestinationTakesOverWithClippedValues) {
  RecordingSurface source(10, 10, 32);
  TakeOver destination(20, 20, 32);
  EXPECT_EQ(source.cSurfaceImplementation::Blit(&destination, 2, 3, -5, 0, 10, 10, 1, 9, 5, 2), 7);
  EXPECT_EQ(destination.from, &source);
  EXPECT_EQ(destination.got.x, 7);
  EXPECT_EQ(destination.got.width, 5);
  EXPECT_EQ(destination.got.effect, 9) << "effects reach the driver unnormalised";
}

TEST(BlitAntialias, EdgeSmootherFormula) {
  const std::uint32_t T = 0x00FF00FF;
  std::uint32_t source[9] = {T, T, T, T, T, 0x1, T, 0x1, T};  // opaque right and below
  std::uint32_t destination[9];
  for (int i = 0; i < 9; ++i) destination[i] = 0x00181818;
  destination[5] = 0x00C0C0C0;
  destination[7] = 0x00606060;
  void* key = reinterpret_cast<void*>(std::uintptr_t{T});
  // 12 x centre + 2 x (right, below) + the other cells, whose source is T, as the centre.
  const std::uint32_t expected = (12 * 24 + 2 * 192 + 2 * 96 + 2 * 2 * 24 + 4 * 24) / 24;
  EXPECT_EQ(vexa::EdgeSmoother(destination, source, key), expected * 0x010101u);
  source[5] = T;  // left and right both T: unchanged
  EXPECT_EQ(vexa::EdgeSmoother(destination, source, key), destination[4]);
  source[4] = 0x1;  // an opaque centre is never touched
  EXPECT_EQ(vexa::EdgeSmoother(destination, source, key), destination[4]);
}

}  // namespace
