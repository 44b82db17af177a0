// Blit on real surfaces: refused calls, the conversion path across depths, the alpha plane
// and the edge-antialiasing pass.
#include <gtest/gtest.h>

#include <vexa/blit.h>

#include "support/surface_factory.h"

namespace {

using testsupport::MakeSurface;
using testsupport::RawPixel;

TEST(BlitValidation, RefusedCallsTouchNothing) {
  auto source = MakeSurface(32, 8, 8);
  auto target = MakeSurface(32, 8, 8);
  ASSERT_TRUE(source->IsValid());
  source->FillColor(0x00FFFFFF);
  target->FillColor(0x00000000);
  EXPECT_EQ(source->Blit(target.get(), 0, 0, 0, 0, 8, 8, 2, 0, 0, 0), 0) << "mode 2";
  EXPECT_EQ(source->Blit(target.get(), 0, 0, 0, 0, 8, 8, 0, kEffectUnassigned, 0, 0), 0);
  EXPECT_EQ(source->Blit(target.get(), 0, 0, 0, 0, 8, 8, 0, 14, 0, 0), 0);
  EXPECT_EQ(source->Blit(nullptr, 0, 0, 0, 0, 8, 8, 0, 0, 0, 0), 0);
  EXPECT_EQ(source->Blit(target.get(), 0, 0, 0, 0, 8, 8, 0, kEffectSemiTransparent, 128, 0), 1);
  EXPECT_EQ(source->Blit(target.get(), 0, 0, 0, 0, 8, 8, 0, kEffectParamIsRGBA, 0x00FFFFFF, 0), 1);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) ASSERT_EQ(RawPixel(*target->implementation, x, y) & 0xFFFFFF, 0u);
  }
  cSurfaceObject empty;
  EXPECT_EQ(empty.Blit(target.get(), 0, 0, 0, 0, 8, 8, 0, 0, 0, 0), 0);
}

TEST(BlitDepths, XorAcrossDepthsActsOnDestinationPixels) {
  auto source = MakeSurface(32, 4, 1);
  auto target = MakeSurface(16, 4, 1);
  source->FillColor(0x00FF0000);  // blue
  target->FillColor(0x000000FF);  // red
  ASSERT_EQ(source->Blit(target.get(), 0, 0, 0, 0, 4, 1, 0, kEffectXor, 0, 0), 1);
  // Through a 16-bit copy: 0x001F (blue) XOR 0xF800 (red).
  EXPECT_EQ(RawPixel(*target->implementation, 0, 0), 0xF81Fu);
}

TEST(BlitDepths, PlainConversionKeepsBlackBlack) {
  auto source = MakeSurface(32, 2, 1);
  auto target = MakeSurface(15, 2, 1);
  source->SetPixelColor(0, 0, 0x00070000);  // a very dark blue
  source->SetPixelColor(1, 0, 0x00000000);
  ASSERT_EQ(source->Blit(target.get(), 0, 0, 0, 0, 2, 1, 0, 0, 0, 0), 1);
  EXPECT_EQ(RawPixel(*target->implementation, 0, 0), 1u);
  EXPECT_EQ(RawPixel(*target->implementation, 1, 0), 0u);
}

TEST(BlitAlpha, CopyAlphaCreatesAndFillsTheDestinationPlane) {
  auto source = MakeSurface(32, 3, 2);
  auto target = MakeSurface(32, 5, 5);
  ASSERT_NE(source->CreateAlpha(), nullptr);
  source->implementation->AlphaRow(1)[2] = 200;
  ASSERT_EQ(source->Blit(target.get(), 1, 1, 0, 0, 3, 2, 0, 0, 0, kBlitCopyAlpha), 1);
  ASSERT_TRUE(target->HasAlpha());
  EXPECT_EQ(target->implementation->AlphaRow(2)[3], 200);
  EXPECT_EQ(target->implementation->AlphaRow(0)[0], 0) << "a new plane starts transparent";
}

TEST(BlitAlpha, AlphaPlaneOverridesTheColorKey) {
  auto source = MakeSurface(32, 2, 1);
  auto target = MakeSurface(32, 2, 1);
  source->FillColor(0x00000000);  // every pixel equals the key (black)
  ASSERT_NE(source->CreateAlpha(), nullptr);
  source->implementation->AlphaRow(0)[0] = 255;
  source->implementation->AlphaRow(0)[1] = 0;
  target->FillColor(0x00FFFFFF);
  ASSERT_EQ(source->Blit(target.get(), 0, 0, 0, 0, 2, 1, kModeTransparent, 0, 0, 0), 1);
  EXPECT_EQ(RawPixel(*target->implementation, 0, 0) & 0xFFFFFF, 0u) << "alpha 255 copies";
  EXPECT_EQ(RawPixel(*target->implementation, 1, 0) & 0xFFFFFF, 0xFFFFFFu) << "alpha 0 skips";
}

TEST(BlitAntialias, SmoothsOnlyTheOutlineOfASmallShape) {
  auto sprite = MakeSurface(32, 3, 3);
  auto target = MakeSurface(32, 7, 7);
  sprite->FillColor(0);  // black is the key
  sprite->SetPixelColor(1, 1, 0x00F0F0F0);
  target->FillColor(0x00101010);
  ASSERT_EQ(sprite->Blit(target.get(), 2, 2, 0, 0, 3, 3, kModeTransparent, 0, 0, kBlitAntialias),
            1);
  auto at = [&](int x, int y) { return RawPixel(*target->implementation, x, y) & 0xFFFFFF; };
  EXPECT_EQ(at(3, 3), 0xF0F0F0u);
  // Edge neighbours of the dot have one opaque source neighbour on one axis only: the other
  // axis is T on both sides, so they stay; corners likewise; nothing else changes.
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 7; ++x) {
      if (x == 3 && y == 3) continue;
      EXPECT_EQ(at(x, y), 0x101010u) << "(" << x << ", " << y << ")";
    }
  }
}

TEST(BlitAntialias, SmoothsTheInsideCornerOfAnLShape) {
  auto sprite = MakeSurface(32, 2, 2);
  auto target = MakeSurface(32, 4, 4);
  sprite->FillColor(0x00F0F0F0);
  sprite->SetPixelColor(1, 1, 0);  // the key: an L of three opaque pixels
  target->FillColor(0x00000000);
  ASSERT_EQ(sprite->Blit(target.get(), 1, 1, 0, 0, 2, 2, kModeTransparent, 0, 0, kBlitAntialias),
            1);
  // (2,2) is transparent with opaque neighbours above and left: smoothed from
  // 12 x 0 + 2 x 240 (above) + 2 x 240 (left) + 240 (upper-left corner) + 0 ... / 24.
  const std::uint32_t v = (2 * 240 + 2 * 240 + 240) / 24;
  EXPECT_EQ(RawPixel(*target->implementation, 2, 2) & 0xFFFFFF, v * 0x010101u);
}

}  // namespace
