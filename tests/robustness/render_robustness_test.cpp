// Bad or extreme input to the renderer through the public interface: conversions that cannot
// be made, a surface drawn onto itself, stretches far larger than the destination, and angles
// or scales that are not numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include <vexa/blit.h>
#include <vexa/collision_mask.h>
#include <vexa/image_bank.h>
#include <vexa/rotation.h>
#include <vexa/surface_object.h>

#include "render/stretch_flags.h"
#include "support/bank_fixture.h"
#include "support/mask_block.h"
#include "support/surface_factory.h"

namespace {

using testsupport::MakeSurface;

using Surface = std::unique_ptr<cSurfaceObject>;

Surface RandomSurface(int depth, int width, int height, std::mt19937& rng, bool withAlpha) {
  Surface s = MakeSurface(depth, width, height);
  if (!s->IsValid()) return s;
  testsupport::FillRandom(*s->implementation, rng);
  if (withAlpha && s->CreateAlpha()) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        s->implementation->AlphaRow(y)[x] = static_cast<std::uint8_t>(rng());
  }
  return s;
}

// The pixels (and alpha plane) of a surface, row by row without padding.
std::vector<std::uint8_t> Contents(const cSurfaceObject& s) {
  const cSurfaceImplementation& p = *s.implementation;
  std::vector<std::uint8_t> bytes;
  const auto rowBytes = static_cast<std::size_t>(p.width) * p.bytesPerPixel;
  for (int y = 0; y < p.height; ++y) bytes.insert(bytes.end(), p.Row(y), p.Row(y) + rowBytes);
  if (p.alphaFirstRow) {
    for (int y = 0; y < p.height; ++y)
      bytes.insert(bytes.end(), p.AlphaRow(y), p.AlphaRow(y) + p.width);
  }
  return bytes;
}

// A separate surface with the same pixels, alpha plane and colour key.
Surface CopyOf(cSurfaceObject& s) {
  const cSurfaceImplementation& p = *s.implementation;
  Surface copy = MakeSurface(p.depth, p.width, p.height);
  if (!copy->IsValid()) return copy;
  for (int y = 0; y < p.height; ++y)
    std::memcpy(copy->implementation->Row(y), p.Row(y),
                static_cast<std::size_t>(p.width) * p.bytesPerPixel);
  if (p.alphaFirstRow && copy->CreateAlpha()) {
    for (int y = 0; y < p.height; ++y)
      std::memcpy(copy->implementation->AlphaRow(y), p.AlphaRow(y), p.width);
  }
  copy->SetTransparentColor(s.GetTransparentColor());
  return copy;
}

// ---- conversions that cannot be made ------------------------------------------------------

TEST(BlitRobustness, ConversionFromAnEightBitSourceWithoutPaletteDrawsNothing) {
  std::mt19937 rng(3);
  Surface source = RandomSurface(8, 16, 12, rng, false);
  ASSERT_TRUE(source->IsValid());
  source->SetPalette(nullptr, 0);
  ASSERT_EQ(source->implementation->palette, nullptr);
  source->SetTransparentColor(0);
  for (int depth : {15, 16, 24, 32}) {
    Surface destination = RandomSurface(depth, 20, 20, rng, false);
    const std::vector<std::uint8_t> before = Contents(*destination);
    struct Case {
      int mode;
      std::uint32_t effect;
      EffectParam parameter;
    };
    for (const Case& c :
         {Case{kModeTransparent, kEffectNone, 0}, Case{kModeOpaque, kEffectSemiTransparent, 40},
          Case{kModeTransparent, kEffectAdd, 0}, Case{kModeOpaque, kEffectNone, 0}}) {
      EXPECT_EQ(
          source->Blit(destination.get(), 2, 3, 0, 0, 16, 12, c.mode, c.effect, c.parameter, 0), 0)
          << "depth " << depth << " mode " << c.mode << " effect " << c.effect;
      EXPECT_EQ(Contents(*destination), before) << "depth " << depth << " mode " << c.mode;
    }
  }
}

// ---- a surface drawn onto itself ----------------------------------------------------------

EffectParam ParameterOf(std::uint32_t effect) {
  switch (effect) {
    case kEffectSemiTransparent:
      return 40;
    case kEffectBlendSubstitute:
    case kEffectBlendExceptKey:
      return 0x50336699;
    default:
      return 0;
  }
}

// Drawing a surface onto itself gives what drawing an untouched copy of it gives, at every
// depth, in both modes, with every effect and with the alpha plane copied along.
TEST(BlitRobustness, OverlappingBlitOntoItselfIsATrueCopy) {
  constexpr int kWidth = 64, kHeight = 48;
  const int shifts[][2] = {{0, 1}, {1, 0}, {-1, -1}, {5, -3}, {-7, 2}};
  std::mt19937 rng(4);
  int compared = 0;
  for (int depth : {8, 15, 16, 24, 32}) {
    for (bool withAlpha : {false, true}) {
      for (std::uint32_t effect = kEffectNone; effect < kEffectObject; ++effect) {
        if (effect == kEffectUnassigned) continue;
        for (int mode : {kModeOpaque, kModeTransparent}) {
          for (const auto& shift : shifts) {
            Surface surface = RandomSurface(depth, kWidth, kHeight, rng, withAlpha);
            ASSERT_TRUE(surface->IsValid());
            std::uint32_t key = 0;
            surface->GetPixelValue(3, 3, &key);
            surface->SetTransparentColor(0);
            surface->implementation->transparentValue = key;  // a value that occurs
            Surface expected = CopyOf(*surface);
            Surface untouched = CopyOf(*surface);
            expected->implementation->transparentValue = key;
            untouched->implementation->transparentValue = key;
            const std::uint32_t flags = withAlpha ? kBlitCopyAlpha : 0;
            const int x = 4 + shift[0], y = 4 + shift[1];
            const int w = kWidth - 12, h = kHeight - 12;
            const int drawnFromCopy = untouched->Blit(expected.get(), x, y, 4, 4, w, h, mode,
                                                      effect, ParameterOf(effect), flags);
            const int drawnOntoItself = surface->Blit(surface.get(), x, y, 4, 4, w, h, mode, effect,
                                                      ParameterOf(effect), flags);
            ASSERT_EQ(drawnOntoItself, drawnFromCopy);
            ASSERT_EQ(Contents(*surface), Contents(*expected))
                << "depth " << depth << " alpha " << withAlpha << " effect " << effect << " mode "
                << mode << " shift " << shift[0] << "," << shift[1];
            ++compared;
          }
        }
      }
    }
  }
  EXPECT_EQ(compared, 5 * 2 * 12 * 2 * 5);
}

// The edge-smoothing pass and nearest stretching read the source too: onto itself they give
// what an untouched copy gives.
TEST(BlitRobustness, SmoothedEdgesAndStretchesOntoItselfReadTheSourceAsItWas) {
  std::mt19937 rng(5);
  for (int depth : {8, 16, 32}) {
    Surface surface = RandomSurface(depth, 40, 30, rng, false);
    ASSERT_TRUE(surface->IsValid());
    surface->implementation->transparentValue =
        testsupport::RawPixel(*surface->implementation, 1, 1);
    Surface expected = CopyOf(*surface), untouched = CopyOf(*surface);
    expected->implementation->transparentValue = untouched->implementation->transparentValue =
        surface->implementation->transparentValue;
    ASSERT_EQ(untouched->Blit(expected.get(), 3, 2, 1, 1, 30, 20, kModeTransparent, kEffectNone, 0,
                              kBlitAntialias),
              surface->Blit(surface.get(), 3, 2, 1, 1, 30, 20, kModeTransparent, kEffectNone, 0,
                            kBlitAntialias));
    EXPECT_EQ(Contents(*surface), Contents(*expected)) << "smoothed edges, depth " << depth;

    untouched = CopyOf(*surface);
    ASSERT_EQ(untouched->StretchBlit(expected.get(), 2, 1, 37, 28, 0, 0, 20, 15, kModeOpaque,
                                     kEffectNone, 0, 0),
              surface->StretchBlit(surface.get(), 2, 1, 37, 28, 0, 0, 20, 15, kModeOpaque,
                                   kEffectNone, 0, 0));
    EXPECT_EQ(Contents(*surface), Contents(*expected)) << "nearest stretch, depth " << depth;
  }
}

// ---- smooth stretching of large rectangles ------------------------------------------------

// A smooth stretch through a small destination gives exactly the pixels that the same stretch
// gives where a large destination shows them all, in every mode.
TEST(StretchRobustness, SmoothStretchComputesTheVisibleWindowExactly) {
  constexpr int kBigWidth = 300, kBigHeight = 250, kLeft = 130, kTop = 90;
  std::mt19937 rng(6);
  struct Case {
    int depth, mode;
    std::uint32_t effect, flags;
    bool alpha;
  };
  const Case cases[] = {
      {32, kModeOpaque, kEffectNone, kStretchResample, false},
      {32, kModeOpaque, kEffectNone, kStretchResample | kStretchCopyAlpha, true},
      {32, kModeTransparent, kEffectNone, kStretchResampleTransparent, false},
      {16, kModeOpaque, kEffectSemiTransparent, kStretchResample, false},
      {24, kModeTransparent, kEffectNone, kStretchResample, true},
      {8, kModeOpaque, kEffectNone, kStretchResample, false},
      {8, kModeTransparent, kEffectAdd, kStretchResampleTransparent, false},
  };
  for (const Case& c : cases) {
    Surface source = RandomSurface(c.depth, 13, 11, rng, c.alpha);
    ASSERT_TRUE(source->IsValid());
    Surface big = RandomSurface(c.depth, kBigWidth, kBigHeight, rng, false);
    Surface small = MakeSurface(c.depth, 40, 30);
    for (int y = 0; y < 30; ++y) {
      std::memcpy(small->implementation->Row(y), big->implementation->PixelAddress(kLeft, kTop + y),
                  static_cast<std::size_t>(40) * big->implementation->bytesPerPixel);
    }
    const EffectParam parameter = c.effect == kEffectSemiTransparent ? 50 : 0;
    ASSERT_EQ(source->StretchBlit(big.get(), 0, 0, kBigWidth, kBigHeight, 0, 0, 13, 11, c.mode,
                                  c.effect, parameter, c.flags),
              1);
    ASSERT_EQ(source->StretchBlit(small.get(), -kLeft, -kTop, kBigWidth, kBigHeight, 0, 0, 13, 11,
                                  c.mode, c.effect, parameter, c.flags),
              1);
    for (int y = 0; y < 30; ++y) {
      ASSERT_EQ(std::memcmp(small->implementation->Row(y),
                            big->implementation->PixelAddress(kLeft, kTop + y),
                            static_cast<std::size_t>(40) * big->implementation->bytesPerPixel),
                0)
          << "depth " << c.depth << " mode " << c.mode << " row " << y;
      if (c.flags & kStretchCopyAlpha) {
        ASSERT_TRUE(small->HasAlpha());
        ASSERT_EQ(std::memcmp(small->implementation->AlphaRow(y),
                              big->implementation->AlphaRow(kTop + y) + kLeft, 40),
                  0);
      }
    }
  }
}

// A target rectangle of 40,000 x 40,000 pixels seen through 40 x 30: the visible pixels are
// drawn, quickly and without a temporary of the whole rectangle.
TEST(StretchRobustness, HugeSmoothStretchDrawsItsVisiblePart) {
  std::mt19937 rng(7);
  Surface source = RandomSurface(32, 16, 16, rng, false);
  for (int mode : {kModeOpaque, kModeTransparent}) {
    Surface destination = MakeSurface(32, 40, 30);
    ASSERT_TRUE(destination->IsValid());
    // The stretch writes a fourth byte of 0: no pixel can keep this value.
    destination->FillRectValue(0, 0, 40, 30, 0xFF00FF00u);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(source->StretchBlit(destination.get(), -20000, -20000, 40000, 40000, 0, 0, 16, 16,
                                  mode, kEffectNone, 0, kStretchResample),
              1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    int untouched = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x)
        untouched += testsupport::RawPixel(*destination->implementation, x, y) == 0xFF00FF00u;
    EXPECT_EQ(untouched, 0) << "mode " << mode;
  }
}

// ---- angles and scales that are not numbers ------------------------------------------------

const float kNotFinite[] = {std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity()};

TEST(TransformRobustness, NonFiniteAnglesAreRefusedAndChangeNothing) {
  for (float angle : kNotFinite) {
    RECT box{0, 0, 64, 48};
    POINT hotSpot{32, 24}, actionPoint{40, 30};
    int width = 64, height = 48;
    const auto outputs = [&] {
      return std::vector<long>{box.left,  box.top,       box.right,     box.bottom, hotSpot.x,
                               hotSpot.y, actionPoint.x, actionPoint.y, width,      height};
    };
    const std::vector<long> before = outputs();
    EXPECT_EQ(GetRotatedRect(&box, &hotSpot, &actionPoint, angle), nullptr);
    ClampRotatedSize(&width, &height, angle);
    EXPECT_EQ(outputs(), before) << angle;
  }
  std::mt19937 rng(9);
  Surface source = RandomSurface(32, 20, 10, rng, true);
  Surface target = RandomSurface(32, 30, 30, rng, false);
  const std::vector<std::uint8_t> before = Contents(*target);
  for (float angle : kNotFinite) {
    EXPECT_EQ(source->Rotate(target.get(), static_cast<double>(angle), 1, 0x123456, 0), 0);
    EXPECT_EQ(source->implementation->Rotate(target->implementation, angle, 0, 0x123456, 1), 0);
    EXPECT_EQ(Contents(*target), before);
  }
}

// Placed collision masks find no contact for an angle or scale that is not a number, where a
// finite one does.
TEST(TransformRobustness, MasksFindNoContactForNonFiniteAnglesAndScales) {
  constexpr int kWidth = 16, kHeight = 12;
  testsupport::Mask full(kWidth, kHeight, 8, 6);
  full.Fill();
  const CollisionMask* mask = full.Header();
  const std::uint8_t* bits = full.Bits();
  const RECT around{-30, -30, 30, 30};
  const auto contacts = [&](float angle, float scaleX, float scaleY) {
    return TestMaskPointPlaced(mask, 1, 1, angle, scaleX, scaleY) +
           TestRectMask(&around, mask, 0, 0, scaleX, scaleY, angle) +
           TestMaskOverlapRotatedScaled(bits, bits, 0, 0, kWidth, kHeight, 8, 6, 8, 6, kWidth,
                                        kHeight, scaleX, scaleY, angle, 0) +
           (angle == 0.0f ? TestMaskOverlapScaled(bits, bits, 0, 0, kWidth, kHeight, 4, 4, kWidth,
                                                  kHeight, scaleX, scaleY)
                          : 1);
  };
  ASSERT_EQ(contacts(30.0f, 1.5f, 0.5f), 4);
  ASSERT_EQ(contacts(0.0f, 1.5f, 0.5f), 4);
  for (float bad : kNotFinite) {
    EXPECT_EQ(contacts(bad, 1.0f, 1.0f), 1) << bad;  // the last test takes no angle
    EXPECT_EQ(contacts(30.0f, bad, 1.0f), 1) << bad;
    EXPECT_EQ(contacts(0.0f, 1.0f, bad), 0) << bad;
    EXPECT_EQ(contacts(0.0f, bad, 2.0f), 0) << bad;
    EXPECT_EQ(TestMaskOverlapRotated(bits, bits, 0, 0, kWidth, kHeight, 8, 6, 8, 6, kWidth, kHeight,
                                     bad, 0),
              0);
  }
}

TEST(TransformRobustness, ImageInfoRefusesNonFiniteAnglesAndScales) {
  testsupport::BankPtr owned = testsupport::NewBank();
  ImageBank* bank = owned.get();
  ASSERT_NE(bank, nullptr);
  const int number = AddImage(bank, 20, 10, 5, 4, 7, 8, 0, 0, nullptr, nullptr);
  ASSERT_NE(number, 0);
  ImageInfo info{};
  ASSERT_EQ(GetImageTransformedInfo(bank, number, 30.0f, 2.0f, 0.5f, &info), 1);
  EXPECT_GT(info.width, 20);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float refused[][3] = {{nan, 1, 1}, {inf, 1, 1},  {30, nan, 1},  {30, 1, nan},
                              {0, inf, 1}, {0, 1, -inf}, {0, 3e38f, 1}, {45, 1, -1e30f}};
  for (const auto& t : refused) {
    ImageInfo untouched;
    std::memset(&untouched, 0xA5, sizeof untouched);
    ImageInfo out = untouched;
    EXPECT_EQ(GetImageTransformedInfo(bank, number, t[0], t[1], t[2], &out), 0)
        << t[0] << " " << t[1] << " " << t[2];
    EXPECT_EQ(std::memcmp(&out, &untouched, sizeof out), 0);
  }
}

}  // namespace

// A box, hot spot or action point beyond the int range is refused with the outputs untouched
// (it used to wrap); a box that fits keeps its exact geometry.
TEST(TransformRobustness, RotatedBoxesBeyondTheIntRangeAreRefused) {
  constexpr int kMax = std::numeric_limits<int>::max();
  constexpr int kMin = std::numeric_limits<int>::min();
  const RECT huge[] = {{0, 0, kMax, kMax}, {0, 0, kMax, 1}, {0, 0, 1, kMax}};
  for (const RECT& start : huge) {
    RECT box = start;
    POINT hotSpot{kMin, kMax};
    POINT actionPoint{kMax, kMin};
    EXPECT_EQ(GetRotatedRect(&box, &hotSpot, &actionPoint, 45.0f), nullptr);
    EXPECT_EQ(box.right, start.right);
    EXPECT_EQ(hotSpot.x, kMin);
    EXPECT_EQ(actionPoint.y, kMin);
  }
  RECT box{0, 0, 100, 50};
  POINT hotSpot{50, 25};
  ASSERT_NE(GetRotatedRect(&box, &hotSpot, nullptr, 90.0f), nullptr);
  EXPECT_EQ(box.right, 50);
  EXPECT_EQ(box.bottom, 100);
  EXPECT_EQ(hotSpot.x, 25);
  EXPECT_EQ(hotSpot.y, 50);
}
