// Rotation: quarter turns, sampled rotation (nearest and bilinear, fill colour, transparency,
// formats, alpha planes), the rotated rectangle, and the public rotate dispatch.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <vexa/library.h>
#include <vexa/palette.h>
#include <vexa/rotation.h>
#include <vexa/surface_object.h>

#include "pixels/pixel_format.h"
#include "render/rotate_kernels.h"
#include "render/rotate_sampling.h"
#include "support/recording_surface.h"
#include "support/simd_levels.h"
#include "support/surface_factory.h"

namespace {

using testsupport::MakeSurface;
using testsupport::RawPixel;
using testsupport::SetRawPixel;

constexpr int kDepths[] = {8, 15, 16, 24, 32};

std::uint32_t Raw(const cSurfaceObject& s, int x, int y) {
  return RawPixel(*s.implementation, x, y);
}

// A surface of distinct raw pixels (p(x, y) = 1 + x + 16 y, within the depth's bits).
std::unique_ptr<cSurfaceObject> Numbered(int depth, int w, int h) {
  auto s = MakeSurface(depth, w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) SetRawPixel(*s->implementation, x, y, (1 + x + 16 * y) & 0xFF);
  }
  return s;
}

// ---- quarter turns -------------------------------------------------------------------------

TEST(RotateQuarter, TwoByOneTurnedBothWays) {
  auto source = MakeSurface(32, 2, 1);
  SetRawPixel(*source->implementation, 0, 0, 0x111111);  // left
  SetRawPixel(*source->implementation, 1, 0, 0x222222);
  auto turned = MakeSurface(32, 1, 2);
  ASSERT_EQ(source->Rotate(turned.get(), 90, 0, 0, 0), 1);
  EXPECT_EQ(Raw(*turned, 0, 1), 0x111111u) << "90 degrees: the left pixel at the bottom";
  EXPECT_EQ(Raw(*turned, 0, 0), 0x222222u);
  ASSERT_EQ(source->Rotate(turned.get(), 270, 0, 0, 0), 1);
  EXPECT_EQ(Raw(*turned, 0, 0), 0x111111u) << "270 degrees: the left pixel at the top";
  EXPECT_EQ(Raw(*turned, 0, 1), 0x222222u);
}

TEST(RotateQuarter, PermutesEveryPixelAndTheAlphaPlane) {
  for (int depth : kDepths) {
    auto source = Numbered(depth, 7, 5);
    std::uint8_t* alpha = source->implementation->CreateAlpha();
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 7; ++x)
        source->implementation->AlphaRow(y)[x] = std::uint8_t(3 * x + 50 * y);
    }
    ASSERT_NE(alpha, nullptr);
    for (int direction : {0, 1}) {
      auto target = MakeSurface(depth, 5, 7);
      ASSERT_EQ(source->implementation->RotateQuarter(target->implementation, direction), 1);
      const cSurfaceImplementation& t = *target->implementation;
      ASSERT_NE(t.alphaFirstRow, nullptr);
      for (int r = 0; r < 5; ++r) {
        for (int i = 0; i < 7; ++i) {
          const int x = direction == 0 ? r : 4 - r, y = direction == 0 ? 6 - i : i;
          ASSERT_EQ(RawPixel(t, x, y), Raw(*source, i, r))
              << "depth " << depth << " direction " << direction;
          ASSERT_EQ(t.AlphaRow(y)[x], source->implementation->AlphaRow(r)[i]);
        }
      }
    }
  }
}

TEST(RotateQuarter, RefusesWhatItCannotWrite) {
  auto source = Numbered(32, 6, 4);
  auto small = MakeSurface(32, 4, 5);  // needs 4 x 6
  std::memset(small->implementation->Row(0), 0xEE, size_t(small->implementation->stride) * 5);
  EXPECT_EQ(source->implementation->RotateQuarter(small->implementation, 0), 0);
  EXPECT_EQ(Raw(*small, 3, 4), 0xEEEEEEEEu) << "nothing written outside";
  auto other = MakeSurface(16, 4, 6);
  EXPECT_EQ(source->implementation->RotateQuarter(other->implementation, 0), 0) << "other depth";
  auto fits = MakeSurface(32, 4, 6);
  EXPECT_EQ(source->implementation->RotateQuarter(fits->implementation, 2), 0)
      << "no such direction";
  EXPECT_EQ(source->implementation->RotateQuarter(nullptr, 0), 0);
}

// ---- sampled rotation ----------------------------------------------------------------------

TEST(RotateSampling, NearestRoundsWhereBilinearFills) {
  auto source = Numbered(32, 4, 4);
  auto target = MakeSurface(32, 2, 1);
  // Destination pixel 0 samples x = -0.3, pixel 1 samples x = 0.7.
  const vexa::RotationFrame frame{-0.3f, 0.0f, 1.0f, 0.0f};
  vexa::RotatePixels(*source->implementation, *target->implementation, frame, false, 0x00ABCDEF,
                     false);
  EXPECT_EQ(Raw(*target, 0, 0), Raw(*source, 0, 0)) << "nearest: -0.3 rounds to 0";
  EXPECT_EQ(Raw(*target, 1, 0), Raw(*source, 1, 0));
  vexa::RotatePixels(*source->implementation, *target->implementation, frame, true, 0x00ABCDEF,
                     false);
  EXPECT_EQ(Raw(*target, 0, 0), 0x00EFCDABu) << "bilinear: a negative coordinate is outside";
}

TEST(RotateSampling, BilinearAtWholeCoordinatesCopiesThePixel) {
  std::mt19937 random(3);
  for (int depth : {15, 16, 24, 32}) {
    auto source = MakeSurface(depth, 9, 6);
    testsupport::FillRandom(*source->implementation, random);
    auto target = MakeSurface(depth, 6, 9);
    // 90 degrees samples whole coordinates: x = 9 - j, y = i (row 0 falls on the edge).
    ASSERT_EQ(source->implementation->Rotate(target->implementation, 90.0f, 1, 0x000000FF, 0), 1);
    const std::uint32_t bits = depth == 32 ? 0xFFFFFF : depth == 15 ? 0x7FFF : 0xFFFFFFFF;
    for (int j = 1; j < 9; ++j) {
      for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(Raw(*target, i, j) & bits, Raw(*source, 9 - j, i) & bits) << "depth " << depth;
      }
    }
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(Raw(*target, i, 0), vexa::FormatOfDepth(depth) >= vexa::kFormat24 ? 0xFF0000u
                                    : depth == 16 ? vexa::ColorTo565(0xFF)
                                                  : vexa::ColorTo555(0xFF));
    }
  }
}

// The bilinear result of a 32-bit rotation beside the same sampling computed independently in
// double precision: positions from the closed formula, colours from exact weights.
TEST(RotateSampling, BilinearWithinRoundingOfDoublePrecision) {
  std::mt19937 random(9);
  const int w = 23, h = 17;
  auto source = MakeSurface(32, w, h);
  testsupport::FillRandom(*source->implementation, random);
  for (float angle : {17.0f, 123.5f, 200.0f, 333.0f}) {
    RECT box{0, 0, w, h};
    GetRotatedRect(&box, nullptr, nullptr, angle);
    auto target = MakeSurface(32, box.right, box.bottom);
    ASSERT_EQ(source->implementation->Rotate(target->implementation, angle, 1, 0x00123456, 0), 1);
    const double rad = angle * 3.141592653589 / 180, c = float(std::cos(rad)),
                 s = float(std::sin(rad));
    const double x0 = w / 2.0 - box.right / 2.0 * c + box.bottom / 2.0 * s;
    const double y0 = h / 2.0 - box.right / 2.0 * s - box.bottom / 2.0 * c;
    int compared = 0;
    for (int j = 0; j < box.bottom; ++j) {
      for (int i = 0; i < box.right; ++i) {
        const double x = x0 + i * c - j * s, y = y0 + i * s + j * c;
        const auto nearEdge = [](double v, int size) {
          return std::fabs(v) < 1e-3 || std::fabs(v - size) < 1e-3;
        };
        if (nearEdge(x, w) || nearEdge(y, h)) continue;
        const std::uint32_t got = Raw(*target, i, j);
        if (x < 0 || y < 0 || x >= w || y >= h) {
          ASSERT_EQ(got, 0x00563412u);
          continue;
        }
        const int ix = int(x), iy = int(y);
        const double dx = x - ix, dy = y - iy;
        for (int ch = 0; ch < 3; ++ch) {
          // A neighbour outside the source takes the colour of (ix, iy).
          const auto at = [&](int px, int py) {
            if (px >= w || py >= h) px = ix, py = iy;
            return double(source->implementation->PixelAddress(px, py)[ch]);
          };
          const double value = at(ix, iy) * (1 - dx) * (1 - dy) + at(ix + 1, iy) * dx * (1 - dy) +
                               at(ix, iy + 1) * (1 - dx) * dy + at(ix + 1, iy + 1) * dx * dy;
          ASSERT_LE(std::fabs(((got >> (8 * ch)) & 0xFF) - value), 1.0)
              << angle << " at " << i << "," << j;
        }
        ++compared;
      }
    }
    EXPECT_GT(compared, w * h / 2);
  }
}

TEST(RotateSampling, TransparencyFlagKeepsTheFillOutOfTheBlend) {
  const COLORREF key = 0x00FF00FF;
  auto source = MakeSurface(32, 2, 2);
  cSurfaceImplementation* s = source->implementation;
  s->SetPixelColor(0, 0, 0x00101010);
  s->SetPixelColor(1, 0, key);
  s->SetPixelColor(0, 1, 0x00101010);
  s->SetPixelColor(1, 1, key);
  auto target = MakeSurface(32, 2, 1);
  const vexa::RotationFrame frame{0.5f, 0.0f, 0.5f, 0.0f};  // samples x = 0.5 and x = 1.0
  vexa::RotatePixels(*s, *target->implementation, frame, true, key, true);
  EXPECT_EQ(Raw(*target, 0, 0), 0x101010u) << "the key neighbour takes the colour of (0, 0)";
  EXPECT_EQ(Raw(*target, 1, 0) & 0xFFFFFF, vexa::SwapRedBlue(key))
      << "a key pixel is copied unblended";
  vexa::RotatePixels(*s, *target->implementation, frame, true, key, false);
  EXPECT_EQ(Raw(*target, 0, 0), 0x880888u)
      << "without the flag the key blends: (16 + 255) / 2, 16 / 2";
}

TEST(RotateSampling, PalettedBilinearPicksTheNearestIndex) {
  auto source = MakeSurface(8, 2, 1);
  cSurfaceImplementation* s = source->implementation;
  const int dark = s->GetNearestIndex(0x00202020), light = s->GetNearestIndex(0x00E0E0E0);
  SetRawPixel(*s, 0, 0, std::uint32_t(dark));
  SetRawPixel(*s, 1, 0, std::uint32_t(light));
  auto target = MakeSurface(8, 1, 1);
  vexa::RotatePixels(*s, *target->implementation, vexa::RotationFrame{0.5f, 0.0f, 1.0f, 0.0f}, true,
                     0, false);
  const COLORREF a = s->GetPaletteColor(dark), b = s->GetPaletteColor(light);
  COLORREF mid = 0;
  for (int k = 0; k < 3; ++k) {
    const float v =
        float((a >> (8 * k)) & 0xFF) * 0.5f + float((b >> (8 * k)) & 0xFF) * 0.5f + 0.5f;
    mid |= COLORREF(int(v)) << (8 * k);
  }
  EXPECT_EQ(Raw(*target, 0, 0), std::uint32_t(GetNearestIndex(s->palette, mid)));
}

TEST(Rotate, TurnsTheAlphaPlaneWithFillZero) {
  auto source = Numbered(32, 8, 8);
  source->implementation->CreateAlpha();
  for (int y = 0; y < 8; ++y) std::memset(source->implementation->AlphaRow(y), 200, 8);
  RECT box{0, 0, 8, 8};
  GetRotatedRect(&box, nullptr, nullptr, 45.0f);
  auto target = MakeSurface(32, box.right, box.bottom);
  ASSERT_EQ(target->implementation->alphaFirstRow, nullptr);
  for (int antialias : {0, 1}) {
    ASSERT_EQ(
        source->implementation->Rotate(target->implementation, 45.0f, antialias, 0x00FFFFFF, 1), 1);
    const cSurfaceImplementation& t = *target->implementation;
    ASSERT_NE(t.alphaFirstRow, nullptr);
    EXPECT_EQ(t.AlphaRow(0)[0], 0) << "corners map outside: fill 0";
    EXPECT_EQ(t.AlphaRow(box.bottom / 2)[box.right / 2], 200);
    EXPECT_EQ(RawPixel(t, 0, 0), 0xFFFFFFu & 0xFFFFFF) << "colour fill in the corner";
  }
}

TEST(Rotate, RefusesOtherDepthsAndDevices) {
  auto source = Numbered(32, 4, 4);
  auto other = MakeSurface(24, 6, 6);
  EXPECT_EQ(source->implementation->Rotate(other->implementation, 30.0f, 0, 0, 0), 0);
  EXPECT_EQ(source->implementation->Rotate(nullptr, 30.0f, 0, 0, 0), 0);
  class Device : public RecordingSurface {
   public:
    using RecordingSurface::RecordingSurface;
    int IsDeviceSurface() override { return 1; }
  };
  Device device(6, 6, 32);
  EXPECT_EQ(source->implementation->Rotate(&device, 30.0f, 0, 0, 0), 0);
}

// Every level's kernels against the scalar ones, over widths that cross the vector tails.
TEST(RotateKernels, EveryLevelMatchesScalar) {
  const vexa::RotateKernels scalar = vexa::RotateKernelsAt(vexa::SimdLevel::Scalar);
  std::mt19937 random(21);
  for (vexa::SimdLevel level : testsupport::SupportedVectorLevels()) {
    const vexa::RotateKernels vector = vexa::RotateKernelsAt(level);
    for (int round = 0; round < 120; ++round) {
      const int sw = 1 + int(random() % 40), sh = 1 + int(random() % 30);
      const int dw = int(random() % 71), rows = 1 + int(random() % 19);
      std::vector<std::uint32_t> src(size_t(sw) * sh);
      for (auto& p : src)
        p = random() % 4 == 0 ? 0x00A0B0C0u | (random() & 0xFF000000u) : std::uint32_t(random());
      const float angle = float(random() % 3600) / 10.0f;
      const float c = std::cos(angle), s = std::sin(angle);
      std::vector<float> rx(rows), ry(rows);
      for (int r = 0; r < rows; ++r) {
        rx[size_t(r)] = float(int(random() % 60) - 10) + float(random() % 1000) / 1000.0f;
        ry[size_t(r)] = float(int(random() % 50) - 10) + float(random() % 1000) / 1000.0f;
      }
      std::vector<std::uint32_t> a(size_t(dw) * rows + 1, 7), b(size_t(dw) * rows + 1, 7);
      vexa::RotateRowsJob job{reinterpret_cast<const std::uint8_t*>(src.data()),
                              sw * 4,
                              sw,
                              sh,
                              nullptr,
                              dw * 4,
                              dw,
                              rows,
                              rx.data(),
                              ry.data(),
                              c,
                              s,
                              0x00A0B0C0,
                              int(round & 1)};
      for (bool bilinear : {false, true}) {
        job.destination = reinterpret_cast<std::uint8_t*>(a.data());
        (bilinear ? scalar.bilinear32 : scalar.nearest4)(job);
        job.destination = reinterpret_cast<std::uint8_t*>(b.data());
        (bilinear ? vector.bilinear32 : vector.nearest4)(job);
        ASSERT_EQ(a, b) << vexa::SimdLevelName(level) << (bilinear ? " bilinear" : " nearest")
                        << " round " << round;
      }
    }
  }
}

// ---- the rotated rectangle -----------------------------------------------------------------

TEST(GetRotatedRect, RightAnglesAndHotSpots) {
  RECT box{0, 0, 10, 20};
  POINT hot{0, 0};
  ASSERT_EQ(GetRotatedRect(&box, &hot, nullptr, 90.0f), &box);
  EXPECT_EQ(box.right, 20);
  EXPECT_EQ(box.bottom, 10);
  EXPECT_EQ(hot.x, 0);
  EXPECT_EQ(hot.y, 10) << "the top-left corner turns to the bottom-left";

  box = RECT{0, 0, 10, 20};
  hot = POINT{5, 10};
  POINT action{10, 10};  // on the right edge, level with the hot spot
  GetRotatedRect(&box, &hot, &action, 90.0f);
  EXPECT_EQ(box.right, 20);
  EXPECT_EQ(box.bottom, 10);
  EXPECT_EQ(hot.x, 10);
  EXPECT_EQ(hot.y, 5);
  EXPECT_EQ(action.x, 10) << "turned counter-clockwise, the right edge goes up";
  EXPECT_EQ(action.y, 0);

  box = RECT{0, 0, 10, 20};
  GetRotatedRect(&box, nullptr, nullptr, -90.0f);
  EXPECT_EQ(box.right, 20) << "-90 is 270 exactly";
  EXPECT_EQ(box.bottom, 10);
  box = RECT{0, 0, 10, 20};
  GetRotatedRect(&box, nullptr, nullptr, 180.0f);
  EXPECT_EQ(box.right, 10);
  EXPECT_EQ(box.bottom, 20);
}

TEST(GetRotatedRect, GeneralAngleFromTruncatedCorners) {
  RECT box{0, 0, 100, 50};
  GetRotatedRect(&box, nullptr, nullptr, 30.0f);
  const double rad = double(float(30.0 * 3.141592653589 / 180)), c = std::cos(rad),
               s = std::sin(rad);
  // Corners (100, 0) -> (86.6, -50), (0, 50) -> (25, 43.3), the fourth completing them.
  const int bx = int(100 * c), by = int(-100 * s), cx = int(50 * s), cy = int(50 * c);
  const int dx = bx + cx, dy = by + cy;
  EXPECT_EQ(box.right, std::max({0, bx, cx, dx}) - std::min({0, bx, cx, dx}));
  EXPECT_EQ(box.bottom, std::max({0, by, cy, dy}) - std::min({0, by, cy, dy}));
  int w = 100, h = 50;
  ClampRotatedSize(&w, &h, 30.0f);
  EXPECT_EQ(w, box.right);
  EXPECT_EQ(h, box.bottom);
  w = 100, h = 50;
  ClampRotatedSize(&w, &h, 270.0f);
  EXPECT_EQ(w, 50);
  EXPECT_EQ(h, 100);
  ClampRotatedSize(&w, &h, 180.0f);
  EXPECT_EQ(w, 50);
  EXPECT_EQ(h, 100);
}

// ---- the public dispatch -------------------------------------------------------------------

class RotateRecorder : public RecordingSurface {
 public:
  using RecordingSurface::RecordingSurface;
  int Rotate(cSurfaceImplementation* d, float angle, int antialias, COLORREF fill, int t) override {
    calls->push_back("rotate " + std::to_string(angle) + " " + std::to_string(antialias) + " " +
                     std::to_string(fill) + " " + std::to_string(t));
    target = d;
    return 1;
  }
  int RotateQuarter(cSurfaceImplementation* d, int direction) override {
    calls->push_back("quarter " + std::to_string(direction));
    target = d;
    return 1;
  }
  // Kept outside: the surface is destroyed without running this class's destructor.
  std::vector<std::string>* calls = nullptr;
  cSurfaceImplementation* target = nullptr;
};

TEST(RotateDispatch, ReducesAnglesAndPicksThePath) {
  cSurfaceObject source, target;
  std::vector<std::string> calls;
  auto* recorder = new RotateRecorder(4, 4, 32);
  recorder->calls = &calls;
  source.SetImplementation(recorder);
  target.SetImplementation(new RecordingSurface(4, 4, 32));
  source.Rotate(&target, -270, 1, 5, 0);
  source.Rotate(&target, 630, 1, 5, 0);
  source.Rotate(&target, 90.0 + 360.0 * 3, 1, 5, 0);
  source.Rotate(&target, -30, 1, 5, 1);
  source.Rotate(&target, -30.5, 0, 6, 0);
  source.Rotate(&target, 360, 0, 6, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"quarter 0", "quarter 1", "quarter 0",
                                             "rotate 330.000000 1 5 1", "rotate 329.500000 0 6 0",
                                             "rotate 0.000000 0 6 0"}));
  EXPECT_EQ(recorder->target, target.implementation);
  EXPECT_EQ(source.Rotate(nullptr, 30, 0, 0, 0), 0);
}

TEST(RotateDispatch, HalfTurnMirrorsACopy) {
  auto source = Numbered(32, 3, 2);
  cSurfaceObject target;
  ASSERT_EQ(source->Rotate(&target, 180, 0, 0, 0), 1);
  ASSERT_EQ(target.GetWidth(), 3);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(Raw(target, x, y), Raw(*source, 2 - x, 1 - y));
  }
}

// DIB sections keep their rows bottom-up; turning must not care.
TEST(Rotate, BottomUpSurfacesGiveTheSamePixels) {
  std::mt19937 random(33);
  cSurfaceObject* sectionPrototype = nullptr;
  GetPrototype(&sectionPrototype, 32, kTypeDIBSection, kDriverNone);
  auto source = MakeSurface(32, 21, 14);
  testsupport::FillRandom(*source->implementation, random);
  cSurfaceObject section;
  section.Create(21, 14, sectionPrototype);
  ASSERT_LT(section.implementation->pitch, 0);
  ASSERT_EQ(source->implementation->Blit(section.implementation, 0, 0, 0, 0, 21, 14, 0, 0, 0, 0),
            1);
  for (int antialias : {0, 1}) {
    auto fromTop = MakeSurface(32, 25, 25);
    cSurfaceObject toBottom;
    toBottom.Create(25, 25, sectionPrototype);
    ASSERT_EQ(
        source->implementation->Rotate(fromTop->implementation, 40.0f, antialias, 0x00FF00FF, 1),
        1);
    ASSERT_EQ(
        section.implementation->Rotate(toBottom.implementation, 40.0f, antialias, 0x00FF00FF, 1),
        1);
    ASSERT_EQ(toBottom.implementation->Lock(), 1);
    for (int y = 0; y < 25; ++y) {
      for (int x = 0; x < 25; ++x) {
        ASSERT_EQ(Raw(*fromTop, x, y) & 0xFFFFFF, Raw(toBottom, x, y) & 0xFFFFFF)
            << antialias << " at " << x << "," << y;
      }
    }
    toBottom.implementation->Unlock();
  }
  auto quarterTop = MakeSurface(32, 14, 21);
  cSurfaceObject quarterBottom;
  quarterBottom.Create(14, 21, sectionPrototype);
  ASSERT_EQ(source->implementation->RotateQuarter(quarterTop->implementation, 1), 1);
  ASSERT_EQ(section.implementation->RotateQuarter(quarterBottom.implementation, 1), 1);
  ASSERT_EQ(quarterBottom.implementation->Lock(), 1);
  for (int y = 0; y < 21; ++y) {
    for (int x = 0; x < 14; ++x) ASSERT_EQ(Raw(*quarterTop, x, y), Raw(quarterBottom, x, y));
  }
  quarterBottom.implementation->Unlock();
}

}  // namespace
