// StretchBlit: validation, the nearest-pixel mapping and its clipped variant, the smooth
// resampler (weights, transparency, formats, alpha planes), the temporary path and Clone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include <vexa/blit.h>
#include <vexa/surface_object.h>

#include <vexa/library.h>
#include <vexa/palette.h>

#include "pixels/kernels/stretch_nearest.h"
#include "pixels/kernels/stretch_nearest_kernels.h"
#include "render/resample.h"
#include "render/resample_kernels.h"
#include "render/resample_weights.h"
#include "render/stretch_flags.h"
#include "support/recording_surface.h"
#include "support/simd_levels.h"
#include "support/surface_factory.h"

namespace {

using testsupport::MakeSurface;
using testsupport::RawPixel;
using testsupport::SetRawPixel;
using vexa::ResampleSurface;

constexpr int kDepths[] = {8, 15, 16, 24, 32};

// ---- the stepping loops, written out literally, as the reference ---------------------------

// Source pixel of every destination pixel of one row.
std::vector<int> ReferenceColumns(int destination, int source) {
  const std::uint64_t step = (std::uint64_t(destination) << 16) / std::uint64_t(source);
  std::vector<int> out;
  if (step >= 0x10000) {
    std::uint64_t acc = step;
    for (int s = 0; s < source; ++s) {
      for (std::uint64_t n = acc >> 16; n > 0 && int(out.size()) < destination; --n)
        out.push_back(s);
      acc = (acc & 0xFFFF) + step;
    }
    while (int(out.size()) < destination) out.push_back(source - 1);
    return out;
  }
  std::uint64_t acc = step;
  int group = 0;
  for (int s = 0; s < source; ++s) {
    if (acc >= 0x10000 && int(out.size()) < destination) {
      out.push_back(group);
      acc &= 0xFFFF;
      group = s + 1;
    }
    acc += step;
  }
  // A group opened after the last pixel has no pixel of its own: the last one stands in.
  while (int(out.size()) < destination) out.push_back(std::min(group, source - 1));
  return out;
}

// Source row of every destination row, and whether it is produced by copying the row above.
std::vector<std::pair<int, bool>> ReferenceRows(int destination, int source) {
  const std::uint64_t step = (std::uint64_t(destination) << 16) / std::uint64_t(source);
  std::vector<std::pair<int, bool>> out;
  std::uint64_t acc = step;
  for (int s = 0; s < source; ++s) {
    bool first = true;
    while (acc >= 0x10000 && int(out.size()) < destination) {
      out.push_back({s, !first});
      first = false;
      acc -= 0x10000;
    }
    acc += step;
  }
  if (out.empty()) out.push_back({source - 1, false});
  while (int(out.size()) < destination) out.push_back({out.back().first, true});
  return out;
}

TEST(StretchNearestMapping, MatchesTheSteppingLoops) {
  for (int source = 1; source <= 40; ++source) {
    for (int destination = 1; destination <= 90; ++destination) {
      const vexa::NearestAxis axis(destination, source);
      const std::vector<int> columns = ReferenceColumns(destination, source);
      const auto rows = ReferenceRows(destination, source);
      const int start = destination / 3;  // walks also start inside the rectangle (clipping)
      vexa::NearestAxis::Walker column = axis.Columns(start), row = axis.Rows(start);
      for (int d = 0; d < destination; ++d) {
        ASSERT_EQ(axis.Column(d), columns[d]) << destination << " from " << source << " at " << d;
        ASSERT_EQ(axis.Row(d), rows[d].first) << destination << " from " << source << " at " << d;
        if (d < start) continue;
        ASSERT_EQ(column.Value(), columns[d])
            << "walk: " << destination << " from " << source << " at " << d;
        ASSERT_EQ(row.Value(), rows[d].first)
            << "walk: " << destination << " from " << source << " at " << d;
        column.Next();
        row.Next();
      }
    }
  }
  // Wide rows, where the last group of a reduction can open past the last pixel.
  for (int source : {999, 1000, 4097, 65537}) {
    for (int destination : {source - 1, source / 3, 7}) {
      const vexa::NearestAxis axis(destination, source);
      const std::vector<int> columns = ReferenceColumns(destination, source);
      vexa::NearestAxis::Walker column = axis.Columns(0);
      for (int d = 0; d < destination; ++d, column.Next()) {
        ASSERT_EQ(axis.Column(d), columns[d]) << source << " " << d;
        ASSERT_EQ(column.Value(), columns[d]) << source << " " << d;
      }
    }
  }
}

// ---- small surfaces ----------------------------------------------------------------------

std::unique_ptr<cSurfaceObject> Row32(std::initializer_list<std::uint32_t> pixels) {
  auto s = MakeSurface(32, int(pixels.size()), 1);
  int x = 0;
  for (std::uint32_t p : pixels) SetRawPixel(*s->implementation, x++, 0, p);
  return s;
}

std::vector<std::uint32_t> RowOf(const cSurfaceImplementation& s, int y = 0) {
  std::vector<std::uint32_t> out;
  for (int x = 0; x < s.width; ++x) out.push_back(RawPixel(s, x, y));
  return out;
}

using Pixels = std::vector<std::uint32_t>;

// A surface whose every byte is 0 (new storage is not cleared).
std::unique_ptr<cSurfaceObject> Cleared(int depth, int width, int height) {
  auto s = MakeSurface(depth, width, height);
  for (int y = 0; y < height; ++y)
    std::memset(s->implementation->Row(y), 0, size_t(s->implementation->stride));
  return s;
}

TEST(StretchNearest, DoublesAndHalvesRows) {
  auto abc = Row32({0xA, 0xB, 0xC});
  auto doubled = MakeSurface(32, 6, 1);
  ASSERT_EQ(
      abc->implementation->StretchBlit(doubled->implementation, 0, 0, 6, 1, 0, 0, 3, 1, 0, 0, 0, 0),
      1);
  EXPECT_EQ(RowOf(*doubled->implementation), (Pixels{0xA, 0xA, 0xB, 0xB, 0xC, 0xC}));

  auto abcd = Row32({0xA, 0xB, 0xC, 0xD});
  auto halved = MakeSurface(32, 2, 1);
  ASSERT_EQ(
      abcd->implementation->StretchBlit(halved->implementation, 0, 0, 2, 1, 0, 0, 4, 1, 0, 0, 0, 0),
      1);
  EXPECT_EQ(RowOf(*halved->implementation), (Pixels{0xA, 0xC}));
}

TEST(StretchNearest, OneRowToThreeAtEveryDepth) {
  for (int depth : kDepths) {
    auto source = MakeSurface(depth, 3, 1);
    auto target = MakeSurface(depth, 5, 3);
    for (int x = 0; x < 3; ++x) SetRawPixel(*source->implementation, x, 0, 0x10 + x);
    ASSERT_EQ(source->implementation->StretchBlit(target->implementation, 0, 0, 5, 3, 0, 0, 3, 1, 0,
                                                  0, 0, 0),
              1);
    const std::vector<int> columns = ReferenceColumns(5, 3);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(RawPixel(*target->implementation, x, y), 0x10u + columns[x]) << "depth " << depth;
      }
    }
  }
}

TEST(StretchNearest, RejectsWhatCannotBeDrawn) {
  auto source = MakeSurface(32, 4, 4);
  auto target = Cleared(32, 8, 8);
  cSurfaceImplementation* s = source->implementation;
  cSurfaceImplementation* t = target->implementation;
  EXPECT_EQ(s->StretchBlit(t, 0, 0, 8, 8, 1, 0, 4, 4, 0, 0, 0, 0), 0)
      << "one pixel past the right edge";
  EXPECT_EQ(s->StretchBlit(t, 0, 0, 8, 8, 0, -1, 4, 4, 0, 0, 0, 0), 0) << "never clipped";
  EXPECT_EQ(s->StretchBlit(t, 0, 0, 8, 8, 0, 0, 0, 4, 0, 0, 0, 0), 0);
  EXPECT_EQ(s->StretchBlit(t, 0, 0, 8, 8, 0, 0, 4, 4, 2, 0, 0, 0), 0) << "mode 2";
  EXPECT_EQ(s->StretchBlit(t, 0, 0, 8, 8, 0, 0, 4, 4, 0, 14, 0, 0), 0) << "effect 14";
  EXPECT_EQ(s->StretchBlit(t, 0, 0, 8, 8, 0, 0, 4, 4, 0, kEffectUnassigned, 0, 0), 0);
  EXPECT_EQ(s->StretchBlit(nullptr, 0, 0, 8, 8, 0, 0, 4, 4, 0, 0, 0, 0), 0);
  EXPECT_EQ(s->StretchBlit(t, 8, 0, 8, 8, 0, 0, 4, 4, 0, 0, 0, 0), 0) << "nothing visible";
  EXPECT_EQ(s->StretchBlit(t, 0, 0, -8, 8, 0, 0, 4, 4, 0, 0, 0, 0), 0) << "negative size";
  EXPECT_EQ(s->StretchBlit(t, 0, 0, 8, 8, 0, 0, 4, 4, 0, kEffectSemiTransparent, 128, 0), 1)
      << "an invisible effect succeeds without drawing";
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) ASSERT_EQ(RawPixel(*t, x, y), 0u);
  }
}

// Every destination pixel inside the clip rectangle gets what the unclipped scaling gives it,
// and nothing outside is touched.
TEST(StretchNearest, ClippedVariantDrawsTheVisiblePartOnly) {
  std::mt19937 random(11);
  for (int depth : {8, 16, 24, 32}) {
    for (int round = 0; round < 40; ++round) {
      const int sw = 1 + int(random() % 9), sh = 1 + int(random() % 9);
      const int dw = 1 + int(random() % 23), dh = 1 + int(random() % 23);
      if (dw == sw && dh == sh) continue;
      auto source = MakeSurface(depth, sw, sh);
      testsupport::FillRandom(*source->implementation, random);
      auto whole = Cleared(depth, 30, 30);
      auto clipped = Cleared(depth, 30, 30);
      const int x = int(random() % 12) - 4, y = int(random() % 12) - 4;
      ASSERT_EQ(source->implementation->StretchBlit(whole->implementation, x, y, dw, dh, 0, 0, sw,
                                                    sh, 0, 0, 0, 0),
                x + dw > 0 && y + dh > 0 ? 1 : 0);
      const int cx = int(random() % 10), cy = int(random() % 10);
      clipped->implementation->SetClipRect(cx, cy, 1 + int(random() % 12), 1 + int(random() % 12));
      source->implementation->StretchBlit(clipped->implementation, x, y, dw, dh, 0, 0, sw, sh, 0, 0,
                                          0, 0);
      for (int py = 0; py < 30; ++py) {
        for (int px = 0; px < 30; ++px) {
          const std::uint32_t expected = clipped->implementation->InClip(px, py)
                                             ? RawPixel(*whole->implementation, px, py)
                                             : 0;
          ASSERT_EQ(RawPixel(*clipped->implementation, px, py), expected)
              << "depth " << depth << " " << dw << "x" << dh << " from " << sw << "x" << sh
              << " at " << px << "," << py;
        }
      }
    }
  }
}

// A huge destination rectangle seen through a small clip: only the visible pixels are
// worked out, each exactly where the stepping puts it.
TEST(StretchNearest, HugeRectanglesThroughASmallClip) {
  auto source = Row32({0xA, 0xB});
  auto target = Cleared(32, 8, 2);
  const int half = 1 << 29;  // destination pixels per source pixel
  ASSERT_EQ(source->implementation->StretchBlit(target->implementation, 3 - half, 0, 2 * half, 2, 0,
                                                0, 2, 1, 0, 0, 0, 0),
            1);
  EXPECT_EQ(RowOf(*target->implementation, 1), (Pixels{0xA, 0xA, 0xA, 0xB, 0xB, 0xB, 0xB, 0xB}));
  ASSERT_EQ(source->implementation->StretchBlit(target->implementation, -0x7FFFFFF0, 0, 0x7FFFFFFF,
                                                1, 0, 0, 2, 1, 0, 0, 0, 0),
            1);
  EXPECT_EQ(RawPixel(*target->implementation, 7, 0), 0xBu);
}

TEST(StretchNearest, CopyAlphaScalesThePlaneWithTheSameMapping) {
  auto source = Row32({1, 2, 3});
  std::uint8_t* alpha = source->implementation->CreateAlpha();
  ASSERT_NE(alpha, nullptr);
  alpha[0] = 10, alpha[1] = 20, alpha[2] = 30;
  auto target = MakeSurface(32, 6, 2);
  ASSERT_EQ(target->implementation->alphaFirstRow, nullptr);
  ASSERT_EQ(source->implementation->StretchBlit(target->implementation, 0, 0, 6, 2, 0, 0, 3, 1, 0,
                                                0, 0, kStretchCopyAlpha),
            1);
  ASSERT_NE(target->implementation->alphaFirstRow, nullptr) << "made zero-filled, then scaled";
  for (int y = 0; y < 2; ++y) {
    const std::uint8_t* row = target->implementation->AlphaRow(y);
    EXPECT_EQ(std::vector<int>(row, row + 6), (std::vector<int>{10, 10, 20, 20, 30, 30}));
  }
}

// ---- the smooth resampler ------------------------------------------------------------------

TEST(ResampleWeights, KnownTables) {
  vexa::ResampleWeights half;
  ASSERT_TRUE(half.Build(1, 2));
  ASSERT_EQ(half.Taps(0), 2) << "centre on source index 0; index 1 at distance 1 x 0.5";
  EXPECT_EQ(half.First(0), 0);
  EXPECT_EQ(half.Weights(0)[0], 49152);
  EXPECT_EQ(half.Weights(0)[1], 16384);

  vexa::ResampleWeights twice;
  ASSERT_TRUE(twice.Build(6, 3));
  EXPECT_EQ(twice.MaxTaps(), 3);
  for (int j = 0; j < 6; j += 2) {
    EXPECT_TRUE(twice.IsCopy(j)) << j;
    EXPECT_EQ(twice.First(j), j / 2);
  }
  EXPECT_EQ(twice.Taps(1), 2);
  EXPECT_EQ(twice.Weights(1)[0], 32768);
  EXPECT_EQ(twice.Taps(5), 1) << "the right edge has no neighbour";

  vexa::ResampleWeights third;
  ASSERT_TRUE(third.Build(1, 3));
  EXPECT_EQ(third.MaxTaps(), 7);
  for (int j = 0; j < 1; ++j) {
    std::int64_t total = 0;
    for (int k = 0; k < third.Taps(j); ++k) total += third.Weights(j)[k];
    EXPECT_LE(total, 65536);
    EXPECT_GE(total, 65536 - third.Taps(j));
  }
  EXPECT_FALSE(third.Build(0, 3));
}

// Two pixels reduced to one weigh 0.75 and 0.25; the transparent side decides by weight.
TEST(ResampleSurface, TwoToOneWithTransparency) {
  const std::uint32_t key = 0x00FF00FF;  // magenta, 0x00BBGGRR
  const std::uint32_t red = 0x000000F0;
  for (int depth : {24, 32}) {
    auto source = MakeSurface(depth, 2, 1);
    auto target = MakeSurface(depth, 1, 1);
    cSurfaceImplementation* s = source->implementation;
    s->SetPixelColor(0, 0, key);
    s->SetPixelColor(1, 0, red);
    ASSERT_EQ(ResampleSurface(s, 0, 0, 2, 1, target->implementation, 1, 1, 1, key), 1);
    COLORREF c = 0;
    target->implementation->GetPixelColor(0, 0, &c);
    EXPECT_EQ(c, key) << "first pixel transparent: Wo < Wt";

    s->SetPixelColor(0, 0, red);
    s->SetPixelColor(1, 0, key);
    ASSERT_EQ(ResampleSurface(s, 0, 0, 2, 1, target->implementation, 1, 1, 1, key), 1);
    target->implementation->GetPixelColor(0, 0, &c);
    EXPECT_EQ(c, red) << "second pixel transparent: the first pixel's colour";

    ASSERT_EQ(ResampleSurface(s, 0, 0, 2, 1, target->implementation, 1, 1, 0, key), 1);
    target->implementation->GetPixelColor(0, 0, &c);
    // Plain: (0x8000 + 49152 x c0 + 16384 x c1) >> 16 per channel.
    const auto mix = [](unsigned a, unsigned b) { return (0x8000 + 49152 * a + 16384 * b) >> 16; };
    EXPECT_EQ(c, mix(0xF0, 0xFF) | mix(0, 0) << 8 | mix(0, 0xFF) << 16);
  }
}

TEST(ResampleSurface, AlphaPlaneDecidesTransparency) {
  auto source = MakeSurface(32, 2, 1);
  cSurfaceImplementation* s = source->implementation;
  s->SetPixelColor(0, 0, 0x000000F0);
  s->SetPixelColor(1, 0, 0x0000F000);
  std::uint8_t* alpha = s->CreateAlpha();
  alpha[0] = 0;  // transparent whatever its colour
  alpha[1] = 255;
  auto target = MakeSurface(32, 1, 1);
  ASSERT_EQ(ResampleSurface(s, 0, 0, 2, 1, target->implementation, 1, 1, 1, 0x00123456), 1);
  COLORREF c = 0;
  target->implementation->GetPixelColor(0, 0, &c);
  EXPECT_EQ(c, 0x00123456u);
}

TEST(ResampleSurface, NarrowingKeepsNonBlackAwayFromZero) {
  for (int depth : {15, 16}) {
    auto source = MakeSurface(depth, 2, 1);
    auto target = MakeSurface(depth, 1, 1);
    SetRawPixel(*source->implementation, 0, 0, 0);
    SetRawPixel(*source->implementation, 1, 0, 1);  // the darkest blue
    ASSERT_EQ(
        ResampleSurface(source->implementation, 0, 0, 2, 1, target->implementation, 1, 1, 0, 0), 1);
    EXPECT_EQ(RawPixel(*target->implementation, 0, 0), 1u)
        << "depth " << depth << ": blue 2 narrows to 0 but is not black";
  }
}

TEST(ResampleSurface, RejectsBadRectangles) {
  auto source = MakeSurface(32, 4, 4);
  auto target = MakeSurface(32, 3, 3);
  cSurfaceImplementation* s = source->implementation;
  cSurfaceImplementation* t = target->implementation;
  EXPECT_EQ(ResampleSurface(s, 1, 0, 4, 4, t, 3, 3, 0, 0), 0);
  EXPECT_EQ(ResampleSurface(s, 0, 0, 4, 4, t, 4, 3, 0, 0), 0) << "larger than the target";
  EXPECT_EQ(ResampleSurface(s, 0, 0, 4, 4, t, 0, 3, 0, 0), 0);
  EXPECT_EQ(ResampleSurface(nullptr, 0, 0, 4, 4, t, 3, 3, 0, 0), 0);
}

// ---- against an independent reference in double precision -------------------------------

// The filter with exact (untruncated) normalised weights, on real numbers.
std::vector<std::vector<double>> IdealWeights(int n, int m, std::vector<int>& first) {
  const double s = double(n) / m;
  const double b = s < 1 ? 1 / s : 1, a = s < 1 ? s : 1;
  std::vector<std::vector<double>> out(n);
  first.assign(n, 0);
  for (int j = 0; j < n; ++j) {
    const double centre = j / s;
    const int room = 2 * int(std::ceil(b)) + 1;
    int lo = std::max(int(std::floor(centre - b)), 0),
        hi = std::min(int(std::ceil(centre + b)), m - 1);
    if (hi - lo + 1 > room) ++lo;
    double total = 0;
    std::vector<double> w;
    for (int k = lo; k <= hi; ++k) {
      const double t = std::fabs((centre - k) * a);
      w.push_back(t < 1 ? a * (2 * (1 - t) * (1 - t) + (1 - t)) / 3 : 0);
      total += w.back();
    }
    for (double& v : w) v /= total;
    first[j] = lo;
    out[j] = w;
  }
  return out;
}

TEST(ResampleSurface, WithinRoundingOfTheIdealFilter) {
  std::mt19937 random(5);
  const int sizes[][4] = {
      {16, 16, 40, 24}, {37, 29, 11, 13}, {8, 30, 8, 7}, {30, 5, 61, 5}, {64, 48, 17, 90}};
  for (const auto& size : sizes) {
    const int sw = size[0], sh = size[1], tw = size[2], th = size[3];
    auto source = MakeSurface(24, sw, sh);
    testsupport::FillRandom(*source->implementation, random);
    auto target = MakeSurface(24, tw, th);
    ASSERT_EQ(
        ResampleSurface(source->implementation, 0, 0, sw, sh, target->implementation, tw, th, 0, 0),
        1);
    std::vector<int> fx, fy;
    const auto wx = IdealWeights(tw, sw, fx);
    const auto wy = IdealWeights(th, sh, fy);
    for (int c = 0; c < 3; ++c) {
      for (int j = 0; j < th; ++j) {
        for (int i = 0; i < tw; ++i) {
          double value = 0;
          for (size_t ky = 0; ky < wy[j].size(); ++ky) {
            for (size_t kx = 0; kx < wx[i].size(); ++kx) {
              const int px = fx[i] + int(kx), py = fy[j] + int(ky);
              value += wx[i][kx] * wy[j][ky] * source->implementation->PixelAddress(px, py)[c];
            }
          }
          const int got = target->implementation->PixelAddress(i, j)[c];
          // Each pass rounds once and truncates its weights: one step at most in all.
          ASSERT_LE(std::fabs(got - value), 1.0) << sw << "x" << sh << " -> " << tw << "x" << th
                                                 << " at " << i << "," << j << " channel " << c;
        }
      }
    }
  }
}

// ---- StretchBlit around the scalers ---------------------------------------------------------

bool SamePixels(const cSurfaceImplementation& a, const cSurfaceImplementation& b,
                std::uint32_t mask = 0xFFFFFFFF) {
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      if ((RawPixel(a, x, y) & mask) != (RawPixel(b, x, y) & mask)) return false;
    }
  }
  return true;
}

TEST(StretchBlit, EqualSizesAreABlitThatClipsTheSource) {
  auto source = MakeSurface(32, 4, 4);
  std::mt19937 random(1);
  testsupport::FillRandom(*source->implementation, random);
  auto stretched = Cleared(32, 6, 6), blitted = Cleared(32, 6, 6);
  EXPECT_EQ(source->implementation->StretchBlit(stretched->implementation, 1, 1, 4, 4, -2, 0, 4, 4,
                                                0, 0, 0, kStretchCopyAlpha),
            1);
  EXPECT_EQ(source->implementation->Blit(blitted->implementation, 1, 1, -2, 0, 4, 4, 0, 0, 0,
                                         kBlitCopyAlpha),
            1);
  EXPECT_TRUE(SamePixels(*stretched->implementation, *blitted->implementation));
  EXPECT_NE(RawPixel(*stretched->implementation, 3, 1), 0u)
      << "the source's left edge lands two pixels in";
}

TEST(StretchBlit, TransparentModeGoesThroughATemporary) {
  const COLORREF key = 0x00FF00FF;
  auto source = Cleared(32, 2, 1);  // the fourth bytes too: transparency compares whole pixels
  source->implementation->SetTransparentColor(key);
  source->implementation->SetPixelColor(0, 0, key);
  source->implementation->SetPixelColor(1, 0, 0x000000F0);
  auto target = MakeSurface(32, 6, 2);
  target->implementation->FillRectColor(0, 0, 6, 2, 0x00F00000);
  target->implementation->SetClipRect(1, 0, 4, 2);
  ASSERT_EQ(source->implementation->StretchBlit(target->implementation, 0, 0, 4, 2, 0, 0, 2, 1,
                                                kModeTransparent, 0, 0, 0),
            1);
  COLORREF row[6];
  for (int x = 0; x < 6; ++x)
    target->implementation->SetClipRect(0, 0, 6, 2),
        target->implementation->GetPixelColor(x, 1, &row[x]);
  EXPECT_EQ(std::vector<COLORREF>(row, row + 6),
            (std::vector<COLORREF>{0x00F00000, 0x00F00000, 0x000000F0, 0x000000F0, 0x00F00000,
                                   0x00F00000}))
      << "transparent pixels skipped; the clip keeps column 4 and beyond";
}

// Effects and depth changes: the scaled image is produced first, then blitted with the effect.
TEST(StretchBlit, EffectsAndDepthChangesMatchScaleThenBlit) {
  std::mt19937 random(4);
  auto source = MakeSurface(32, 5, 3);
  testsupport::FillRandom(*source->implementation, random);
  for (int depth : {32, 16}) {
    for (std::uint32_t effect : {std::uint32_t{kEffectXor}, std::uint32_t{kEffectSemiTransparent},
                                 std::uint32_t{kEffectNone}}) {
      if (depth == 32 && effect == kEffectNone) continue;  // the direct path, tested above
      auto direct = MakeSurface(depth, 12, 9), staged = MakeSurface(depth, 12, 9);
      for (auto* t : {direct.get(), staged.get()})
        t->implementation->FillRectColor(0, 0, 12, 9, 0x00405060);
      direct->implementation->SetClipRect(2, 1, 7, 6);
      staged->implementation->SetClipRect(2, 1, 7, 6);
      ASSERT_EQ(source->implementation->StretchBlit(direct->implementation, 1, 0, 11, 7, 0, 0, 5, 3,
                                                    0, effect, 50, 0),
                1);
      auto scaled = MakeSurface(32, 11, 7);
      ASSERT_EQ(source->implementation->StretchBlit(scaled->implementation, 0, 0, 11, 7, 0, 0, 5, 3,
                                                    0, 0, 0, 0),
                1);
      ASSERT_EQ(
          scaled->implementation->Blit(staged->implementation, 1, 0, 0, 0, 11, 7, 0, effect, 50, 0),
          1);
      EXPECT_TRUE(SamePixels(*direct->implementation, *staged->implementation))
          << "depth " << depth << " effect " << effect;
    }
  }
}

TEST(StretchBlit, SmoothPathsAgreeWithTheResampler) {
  std::mt19937 random(8);
  for (int depth : {8, 16, 24, 32}) {
    auto source = MakeSurface(depth, 9, 7);
    testsupport::FillRandom(*source->implementation, random);
    auto reference = MakeSurface(depth, 14, 4);
    ASSERT_EQ(
        ResampleSurface(source->implementation, 1, 1, 7, 5, reference->implementation, 14, 4, 0, 0),
        1);
    auto whole = Cleared(depth, 20, 10), clipped = Cleared(depth, 20, 10);
    ASSERT_EQ(source->implementation->StretchBlit(whole->implementation, 3, 2, 14, 4, 1, 1, 7, 5, 0,
                                                  0, 0, kStretchResample),
              1);
    clipped->implementation->SetClipRect(5, 0, 6, 5);
    ASSERT_EQ(source->implementation->StretchBlit(clipped->implementation, 3, 2, 14, 4, 1, 1, 7, 5,
                                                  0, 0, 0, kStretchResample),
              1);
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 20; ++x) {
        const bool inside = x >= 3 && x < 17 && y >= 2 && y < 6;
        const std::uint32_t expected =
            inside ? RawPixel(*reference->implementation, x - 3, y - 2) : 0;
        ASSERT_EQ(RawPixel(*whole->implementation, x, y), expected)
            << "depth " << depth << " at " << x << "," << y;
        const std::uint32_t expectClipped = clipped->implementation->InClip(x, y) ? expected : 0;
        ASSERT_EQ(RawPixel(*clipped->implementation, x, y), expectClipped)
            << "clipped, depth " << depth;
      }
    }
  }
}

TEST(StretchBlit, SmoothCopyAlphaResamplesThePlane) {
  auto source = MakeSurface(32, 4, 4);
  std::uint8_t* alpha = source->implementation->CreateAlpha();
  ASSERT_NE(alpha, nullptr);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x)
      source->implementation->AlphaRow(y)[x] = std::uint8_t(x < 2 ? 0 : 200);
  }
  auto target = MakeSurface(32, 8, 8);
  ASSERT_EQ(source->implementation->StretchBlit(target->implementation, 0, 0, 8, 8, 0, 0, 4, 4, 0,
                                                0, 0, kStretchResample | kStretchCopyAlpha),
            1);
  const cSurfaceImplementation& t = *target->implementation;
  ASSERT_NE(t.alphaFirstRow, nullptr);
  std::vector<std::uint8_t> expected(8 * 8);
  ASSERT_TRUE(vexa::ResamplePlane(source->implementation->alphaFirstRow,
                                  source->implementation->alphaPitch, 4, 4, expected.data(), 8, 8,
                                  8));
  for (int y = 0; y < 8; ++y) {
    EXPECT_EQ(std::vector<std::uint8_t>(t.AlphaRow(y), t.AlphaRow(y) + 8),
              std::vector<std::uint8_t>(expected.begin() + 8 * y, expected.begin() + 8 * y + 8));
  }
  EXPECT_EQ(t.AlphaRow(0)[0], 0);
  EXPECT_EQ(t.AlphaRow(0)[7], 200);
}

TEST(StretchBlit, CloneWithASizeStretchesWithTheAlphaPlane) {
  auto source = Row32({0xA, 0xB, 0xC});
  source->implementation->CreateAlpha()[1] = 99;
  cSurfaceObject copy;
  copy.Clone(*source, 6, 2);
  ASSERT_TRUE(copy.IsValid());
  EXPECT_EQ(RowOf(*copy.implementation, 1), (Pixels{0xA, 0xA, 0xB, 0xB, 0xC, 0xC}));
  ASSERT_NE(copy.implementation->alphaFirstRow, nullptr);
  EXPECT_EQ(copy.implementation->AlphaRow(1)[3], 99);
}

TEST(ResampleSurface, PalettedResultIsTheNearestIndex) {
  auto source = MakeSurface(8, 2, 1);
  cSurfaceImplementation* s = source->implementation;
  const int a = s->GetNearestIndex(0x00103050), b = s->GetNearestIndex(0x00F0D0B0);
  SetRawPixel(*s, 0, 0, std::uint32_t(a));
  SetRawPixel(*s, 1, 0, std::uint32_t(b));
  auto target = MakeSurface(8, 1, 1);
  ASSERT_EQ(ResampleSurface(s, 0, 0, 2, 1, target->implementation, 1, 1, 0, 0), 1);
  const COLORREF ca = s->GetPaletteColor(a), cb = s->GetPaletteColor(b);
  COLORREF mix = 0;
  for (int k = 0; k < 3; ++k) {
    mix |= ((0x8000 + 49152 * ((ca >> (8 * k)) & 0xFF) + 16384 * ((cb >> (8 * k)) & 0xFF)) >> 16)
           << (8 * k);
  }
  EXPECT_EQ(RawPixel(*target->implementation, 0, 0),
            std::uint32_t(GetNearestIndex(s->palette, mix)));
}

// ---- every instruction level against the scalar kernels -----------------------------------

// A weight table's view with its lane blocks, as the resampler builds them.
struct LaneTable {
  std::vector<std::int32_t> first, taps, blocks;
  vexa::WeightView view;
  LaneTable(const vexa::ResampleWeights& table, int sourceCount) {
    const int n = table.DestinationCount();
    for (int j = 0; j < n; ++j) first.push_back(table.First(j)), taps.push_back(table.Taps(j));
    view = vexa::WeightView{first.data(),    taps.data(), table.Weights(0),
                            table.MaxTaps(), n,           {nullptr, nullptr, 0}};
    const int count = (n + 7) / 8;
    blocks.resize(static_cast<size_t>(count + vexa::LaneBlockInts(view)));
    vexa::BuildLaneBlocks(view, sourceCount, blocks.data(), blocks.data() + count);
    view.lanes = vexa::LaneBlocks{blocks.data(), blocks.data() + count, count};
  }
};

TEST(StretchKernels, ResampleRowsMatchScalarAtEveryLevel) {
  const vexa::ResampleKernels scalar = vexa::ResampleKernelsAt(vexa::SimdLevel::Scalar);
  std::mt19937 random(17);
  for (vexa::SimdLevel level : testsupport::SupportedVectorLevels()) {
    const vexa::ResampleKernels vector = vexa::ResampleKernelsAt(level);
    for (int round = 0; round < 150; ++round) {
      const int m = 1 + int(random() % 70), n = 1 + int(random() % 71);
      vexa::ResampleWeights table;
      ASSERT_TRUE(table.Build(n, m));
      const LaneTable lanes(table, m);
      const vexa::WeightView& view = lanes.view;
      const std::vector<std::int32_t>& first = lanes.first;
      const std::vector<std::int32_t>& taps = lanes.taps;
      std::vector<std::uint32_t> line(static_cast<size_t>(m));
      for (auto& p : line) p = std::uint32_t(random());
      std::vector<std::uint32_t> a(static_cast<size_t>(n)), b(static_cast<size_t>(n));
      scalar.horizontalColor(line.data(), a.data(), view);
      vector.horizontalColor(line.data(), b.data(), view);
      ASSERT_EQ(a, b) << vexa::SimdLevelName(level) << " horizontal " << n << " from " << m;
      // The vertical kernel over `n * 4` bytes of rows taken `taps` at a time.
      const int j = int(random() % unsigned(n));
      const int bytes = int(random() % 290);
      std::vector<std::uint8_t> rows(static_cast<size_t>(m) * 300);
      for (auto& v : rows) v = std::uint8_t(random());
      std::vector<std::uint8_t> va(static_cast<size_t>(bytes) + 1),
          vb(static_cast<size_t>(bytes) + 1);
      const std::uint32_t keep = round & 1 ? 0x00FFFFFF : 0xFFFFFFFF;
      scalar.verticalBytes(rows.data() + first[size_t(j)] * 300, 300, taps[size_t(j)],
                           table.Weights(j), va.data(), bytes, keep);
      vector.verticalBytes(rows.data() + first[size_t(j)] * 300, 300, taps[size_t(j)],
                           table.Weights(j), vb.data(), bytes, keep);
      ASSERT_EQ(va, vb) << vexa::SimdLevelName(level) << " vertical " << bytes << " bytes";
    }
  }
}

// Reductions of a wide row by 1 to 10: the lane blocks take every load kind (one to four
// loads, and gathers beyond), and each matches the scalar row.
TEST(StretchKernels, ReductionRowsMatchScalarForEveryLoadKind) {
  const vexa::ResampleKernels scalar = vexa::ResampleKernelsAt(vexa::SimdLevel::Scalar);
  std::mt19937 random(29);
  constexpr int m = 256;
  std::vector<std::uint32_t> line(m);
  for (auto& p : line) p = std::uint32_t(random());
  bool kinds[vexa::kLaneMaxLoads + 1] = {};
  for (vexa::SimdLevel level : testsupport::SupportedVectorLevels()) {
    const vexa::ResampleKernels vector = vexa::ResampleKernelsAt(level);
    for (int n : {256, 200, 128, 100, 85, 70, 64, 51, 40, 32, 25}) {
      vexa::ResampleWeights table;
      ASSERT_TRUE(table.Build(n, m));
      const LaneTable lanes(table, m);
      const vexa::WeightView& view = lanes.view;
      for (int b = 0; b < view.lanes.blocks; ++b)
        kinds[view.lanes.data[view.lanes.start[b] + 1]] = true;
      std::vector<std::uint32_t> a(static_cast<size_t>(n)), c(static_cast<size_t>(n));
      scalar.horizontalColor(line.data(), a.data(), view);
      vector.horizontalColor(line.data(), c.data(), view);
      ASSERT_EQ(a, c) << vexa::SimdLevelName(level) << " 256 to " << n;
    }
  }
  for (int kind = 0; kind <= vexa::kLaneMaxLoads; ++kind) EXPECT_TRUE(kinds[kind]) << kind;
}

TEST(StretchKernels, NearestRowsMatchScalarAtEveryLevel) {
  const vexa::NearestRowKernels scalar = vexa::NearestRowKernelsAt(vexa::SimdLevel::Scalar);
  std::mt19937 random(23);
  for (vexa::SimdLevel level : testsupport::SupportedVectorLevels()) {
    const vexa::NearestRowKernels vector = vexa::NearestRowKernelsAt(level);
    for (int count = 0; count <= 70; ++count) {
      std::vector<std::uint8_t> source(64 * 4);
      for (auto& v : source) v = std::uint8_t(random());
      // Columns never decrease; steps of up to 4 reach the one-load, two-load and gathered
      // groups, and the last pixels of the row.
      std::vector<std::int32_t> columns(static_cast<size_t>(count));
      std::int32_t at = std::int32_t(random() % 8);
      for (auto& c : columns) c = std::min<std::int32_t>(at += std::int32_t(random() % 5), 63);
      for (int bytes = 1; bytes <= 4; ++bytes) {
        std::vector<std::uint8_t> a(static_cast<size_t>(count) * 4 + 1),
            b(static_cast<size_t>(count) * 4 + 1);
        scalar.rows[bytes - 1](source.data(), 64, columns.data(), a.data(), count);
        vector.rows[bytes - 1](source.data(), 64, columns.data(), b.data(), count);
        ASSERT_EQ(a, b) << vexa::SimdLevelName(level) << " " << bytes << " bytes, " << count
                        << " pixels";
      }
    }
  }
}

// DIB sections keep their rows bottom-up; scaling must not care.
TEST(StretchBlit, BottomUpSurfacesGiveTheSamePixels) {
  std::mt19937 random(31);
  cSurfaceObject* sectionPrototype = nullptr;
  for (int depth : {24, 32}) {
    GetPrototype(&sectionPrototype, depth, kTypeDIBSection, kDriverNone);
    auto source = MakeSurface(depth, 13, 9);
    testsupport::FillRandom(*source->implementation, random);
    cSurfaceObject section;
    section.Create(13, 9, sectionPrototype);
    ASSERT_LT(section.implementation->pitch, 0) << "a bottom-up surface";
    ASSERT_EQ(source->implementation->Blit(section.implementation, 0, 0, 0, 0, 13, 9, 0, 0, 0, 0),
              1);
    for (std::uint32_t flags : {0u, kStretchResample}) {
      auto fromTop = Cleared(depth, 30, 20);
      cSurfaceObject toBottom;
      toBottom.Create(30, 20, sectionPrototype);
      ASSERT_EQ(toBottom.implementation->Lock(), 1);
      for (int y = 0; y < 20; ++y)
        std::memset(toBottom.implementation->Row(y), 0, size_t(toBottom.implementation->stride));
      ASSERT_EQ(source->implementation->StretchBlit(fromTop->implementation, 2, 1, 27, 17, 1, 1, 11,
                                                    7, 0, 0, 0, flags),
                1);
      ASSERT_EQ(section.implementation->StretchBlit(toBottom.implementation, 2, 1, 27, 17, 1, 1, 11,
                                                    7, 0, 0, 0, flags),
                1);
      toBottom.implementation->Unlock();
      EXPECT_TRUE(SamePixels(*fromTop->implementation, *toBottom.implementation))
          << "depth " << depth << " flags " << flags;
    }
  }
}

}  // namespace
