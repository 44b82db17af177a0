// Building masks: from memory surfaces of every depth (colour key and alpha plane), at every
// vector level, in both kinds; and from run-length blocks, well-formed and broken.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <vexa/collision_mask.h>
#include <vexa/error_surface.h>
#include <vexa/surface_implementation.h>
#include <vexa/surface_object.h>

#include "bank/mask/collision_mask_build.h"
#include "bank/mask/mask_kernels.h"
#include "bank/mask/mask_runlength.h"
#include "support/simd_levels.h"
#include "support/surface_factory.h"

namespace {

using testsupport::MakeSurface;
using testsupport::RawPixel;
using testsupport::SetRawPixel;
using vexa::SimdLevel;

constexpr int kDepths[] = {8, 15, 16, 24, 32};

std::vector<SimdLevel> Levels() { return testsupport::SupportedLevels(); }

// A solid-pixel picture: the expected content of a mask.
using Picture = std::vector<std::vector<bool>>;

// A mask block, pre-filled with a pattern so that bytes the builder leaves alone show.
struct MaskBlock {
  std::vector<std::uint8_t> bytes;
  explicit MaskBlock(int size) : bytes(static_cast<size_t>(size), 0xA5) {}
  CollisionMask* Header() { return reinterpret_cast<CollisionMask*>(bytes.data()); }
  bool Bit(int x, int y) {
    return (MaskBits(Header())[y * Header()->rowBytes + (x >> 3)] >> (x & 7)) & 1;
  }
};

// Header, every bit, and zero padding and reserved fields.
void ExpectMask(MaskBlock& mask, const Picture& expected, const std::string& what) {
  const int height = static_cast<int>(expected.size());
  const int width = height ? static_cast<int>(expected[0].size()) : 0;
  const CollisionMask& h = *mask.Header();
  ASSERT_EQ(h.bitsOffset, 44) << what;
  ASSERT_EQ(h.width, width) << what;
  ASSERT_EQ(h.height, height) << what;
  ASSERT_EQ(h.rowBytes, ((width + 15) >> 4) * 2) << what;
  ASSERT_EQ(h.hotSpotX, 0) << what;
  ASSERT_EQ(h.hotSpotY, 0) << what;
  for (int r : h.reserved) ASSERT_EQ(r, 0) << what;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < h.rowBytes * 8; ++x) {
      const bool want = x < width && expected[y][x];
      ASSERT_EQ(mask.Bit(x, y), want) << what << " pixel " << x << "," << y;
    }
  }
}

// Keeps the first 6 solid pixels of each column.
Picture TopEdge(Picture p) {
  for (size_t x = 0; p.size() && x < p[0].size(); ++x) {
    int kept = 0;
    for (auto& row : p) {
      if (row[x] && kept < 6) {
        ++kept;
      } else {
        row[x] = false;
      }
    }
  }
  return p;
}

// Random pixels with many of them equal to the colour key, and near-misses: values that differ
// from the key in one byte (or, at 15 and 16 bits, in one bit).
Picture FillWithKeyPixels(cSurfaceImplementation& s, std::mt19937& rng) {
  testsupport::FillRandom(s, rng);
  const std::uint32_t key = s.GetTransparentValue();
  const std::uint32_t valueMask = s.depth == 32 ? 0xFFFFFFFFu : (1u << (8 * s.bytesPerPixel)) - 1;
  Picture solid(static_cast<size_t>(s.height), std::vector<bool>(static_cast<size_t>(s.width)));
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      const unsigned choice = rng() % 4;
      if (choice < 2) {
        SetRawPixel(s, x, y, key);
      } else if (choice == 2) {
        const int bit = s.depth == 32 && rng() % 2
                            ? 24 + static_cast<int>(rng() % 8)
                            : static_cast<int>(rng() % (8 * s.bytesPerPixel));
        SetRawPixel(s, x, y, (key ^ (1u << bit)) & valueMask);
      }
      solid[y][x] = (RawPixel(s, x, y) & valueMask) != (key & valueMask);
    }
  }
  return solid;
}

TEST(MaskBuild, SizeOnlyWithoutADestination) {
  const std::pair<int, int> cases[] = {{1, 2}, {16, 2}, {17, 4}, {33, 6}};
  for (auto [width, rowBytes] : cases) {
    auto surface = MakeSurface(32, width, 5);
    EXPECT_EQ(surface->implementation->BuildMask(nullptr, 0), 44 + 5 * rowBytes) << width;
  }
}

TEST(MaskBuild, EverySurfaceDepthAtEveryLevel) {
  std::mt19937 rng(7);
  for (SimdLevel level : Levels()) {
    const vexa::MaskKernels& kernels = vexa::MaskKernelsAt(level);
    for (int depth : kDepths) {
      // Widths across the vector blocks and the 64-pixel words, tails included.
      for (int width : {1, 5, 15, 16, 17, 31, 32, 33, 63, 64, 65, 70, 130}) {
        auto object = MakeSurface(depth, width, 9);
        cSurfaceImplementation& s = *object->implementation;
        s.SetTransparentColor(0x00FF00FF);
        const Picture solid = FillWithKeyPixels(s, rng);
        for (std::uint32_t flags : {0u, kMaskTopEdge}) {
          MaskBlock mask(s.BuildMask(nullptr, flags));
          ASSERT_EQ(vexa::BuildSurfaceMask(s, mask.Header(), flags, kernels),
                    static_cast<int>(mask.bytes.size()));
          ExpectMask(mask, flags ? TopEdge(solid) : solid,
                     std::string(vexa::SimdLevelName(level)) + " depth " + std::to_string(depth) +
                         " width " + std::to_string(width) + (flags ? " top edge" : ""));
        }
      }
    }
  }
}

TEST(MaskBuild, ThirtyTwoBitPixelsDifferingOnlyInTheTopByteAreSolid) {
  auto object = MakeSurface(32, 20, 4);
  cSurfaceImplementation& s = *object->implementation;
  s.SetTransparentColor(0x00123456);
  const std::uint32_t key = s.GetTransparentValue();
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 20; ++x)
      SetRawPixel(s, x, y, key | (static_cast<std::uint32_t>(x + 1) << 24));
  MaskBlock mask(s.BuildMask(nullptr, 0));
  ASSERT_GT(s.BuildMask(mask.Header(), 0), 0);
  ExpectMask(mask, Picture(4, std::vector<bool>(20, true)), "top byte");
}

TEST(MaskBuild, AlphaPlaneDecidesOverTheColorKey) {
  std::mt19937 rng(11);
  for (SimdLevel level : Levels()) {
    for (int depth : {16, 24, 32}) {
      auto object = MakeSurface(depth, 45, 6);
      cSurfaceImplementation& s = *object->implementation;
      s.SetTransparentColor(0);
      FillWithKeyPixels(s, rng);
      ASSERT_NE(s.CreateAlpha(), nullptr);
      Picture solid(6, std::vector<bool>(45));
      for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 45; ++x) {
          const std::uint8_t alpha = rng() % 3 == 0 ? 0 : static_cast<std::uint8_t>(rng());
          s.AlphaRow(y)[x] = alpha;
          solid[y][x] = alpha != 0;
        }
      }
      MaskBlock mask(s.BuildMask(nullptr, 0));
      ASSERT_GT(vexa::BuildSurfaceMask(s, mask.Header(), 0, vexa::MaskKernelsAt(level)), 0);
      ExpectMask(mask, solid, std::string("alpha ") + vexa::SimdLevelName(level));
    }
  }
}

TEST(MaskBuild, TopEdgeOfASolidSquare) {
  auto object = MakeSurface(24, 10, 10);
  cSurfaceImplementation& s = *object->implementation;
  s.SetTransparentColor(0);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) SetRawPixel(s, x, y, 0x808080);
  MaskBlock mask(s.BuildMask(nullptr, kMaskTopEdge));
  ASSERT_GT(s.BuildMask(mask.Header(), kMaskTopEdge), 0);
  Picture expected(10, std::vector<bool>(10, false));
  for (int y = 0; y < 6; ++y) expected[y].assign(10, true);
  ExpectMask(mask, expected, "top edge of a square");
}

TEST(MaskBuild, UnlockableSurfaceBuildsNothing) {
  cErrorSurface surface;
  surface.width = 5;
  surface.height = 3;
  EXPECT_EQ(surface.BuildMask(nullptr, 0), 44 + 3 * 2);
  MaskBlock mask(44 + 3 * 2);
  EXPECT_EQ(surface.BuildMask(mask.Header(), 0), 0);
  EXPECT_EQ(mask.bytes, std::vector<std::uint8_t>(mask.bytes.size(), 0xA5)) << "mask untouched";
}

// ---- run-length blocks ---------------------------------------------------------------------

// Encodes a picture as the run-length encoder does, splitting runs longer than 255; one byte
// of pixel data per opaque pixel stands in for the pixels, which masks never read.
std::vector<std::uint8_t> EncodeRunLength(const Picture& p, int width) {
  const size_t rows = p.size();
  std::vector<std::vector<std::uint8_t>> runs(rows);
  size_t pixelBytes = 0;
  for (size_t y = 0; y < rows; ++y) {
    int x = 0;
    while (x < width) {
      int skip = 0, copy = 0;
      while (x + skip < width && !p[y][x + skip]) ++skip;
      while (x + skip + copy < width && p[y][x + skip + copy]) ++copy;
      x += skip + copy;
      pixelBytes += static_cast<size_t>(copy);
      for (; skip > 255; skip -= 255) runs[y].insert(runs[y].end(), {255, 0});
      runs[y].insert(runs[y].end(), {static_cast<std::uint8_t>(skip),
                                     static_cast<std::uint8_t>(std::min(copy, 255))});
      for (copy -= 255; copy > 0; copy -= 255)
        runs[y].insert(runs[y].end(), {0, static_cast<std::uint8_t>(std::min(copy, 255))});
    }
  }
  std::vector<std::uint8_t> block(4 + 8 * rows);
  auto put32 = [&](size_t at, size_t v) {
    for (int i = 0; i < 4; ++i) block[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  size_t pixelOffset = 8 * rows;
  for (const auto& r : runs) pixelOffset += r.size();
  for (size_t y = 0; y < rows; ++y) {
    put32(4 + 8 * y, block.size() - 4);
    put32(8 + 8 * y, pixelOffset);
    block.insert(block.end(), runs[y].begin(), runs[y].end());
  }
  block.resize(block.size() + pixelBytes, 0x5C);
  put32(0, block.size());
  return block;
}

Picture RandomPicture(std::mt19937& rng, int width, int height) {
  Picture p(static_cast<size_t>(height), std::vector<bool>(static_cast<size_t>(width)));
  for (auto& row : p) {
    // Long runs of both kinds, so that the 255-pixel pieces occur.
    bool solid = rng() % 2;
    for (int x = 0; x < width;) {
      const int run = static_cast<int>(rng() % (rng() % 4 == 0 ? 600 : 12)) + 1;
      for (int i = 0; i < run && x < width; ++i) row[x++] = solid;
      solid = !solid;
    }
  }
  return p;
}

int BuildFromBlock(const std::vector<std::uint8_t>& block, int width, int height, MaskBlock& mask,
                   std::uint32_t flags, size_t size) {
  return vexa::BuildMaskFromRunLength(block.data(), size, width, height, mask.Header(), flags);
}

TEST(MaskRunLength, DecodesRunsOfEveryLength) {
  std::mt19937 rng(5);
  for (int width : {1, 9, 64, 255, 256, 700, 1300}) {
    const Picture p = RandomPicture(rng, width, 8);
    const std::vector<std::uint8_t> block = EncodeRunLength(p, width);
    for (std::uint32_t flags : {0u, kMaskTopEdge}) {
      const int size =
          vexa::BuildMaskFromRunLength(block.data(), block.size(), width, 8, nullptr, flags);
      ASSERT_EQ(size, 44 + 8 * ((width + 15) >> 4) * 2);
      MaskBlock mask(size);
      ASSERT_EQ(BuildFromBlock(block, width, 8, mask, flags, block.size()), size);
      ExpectMask(mask, flags ? TopEdge(p) : p, "run-length width " + std::to_string(width));
    }
  }
}

// The form the kernels' encoder writes gives the same mask as the surface it was made from.
TEST(MaskRunLength, MatchesTheSurfaceItWasEncodedFrom) {
  std::mt19937 rng(15);
  for (int depth : kDepths) {
    auto object = MakeSurface(depth, 300, 7);
    cSurfaceImplementation& s = *object->implementation;
    s.SetTransparentColor(0x00FF00FF);
    FillWithKeyPixels(s, rng);
    const PixelRoutineTable& routines = *s.pixelRoutines;
    const std::uint32_t key = s.GetTransparentValue();
    const std::uint32_t blockSize =
        routines.measureRunLength(&s, nullptr, s.Row(0), s.width, s.height, s.pitch, key);
    std::vector<std::uint8_t> block(blockSize);
    ASSERT_EQ(routines.encodeRunLength(&s, block.data(), s.Row(0), s.width, s.height, s.pitch, key),
              blockSize);
    for (std::uint32_t flags : {0u, kMaskTopEdge}) {
      MaskBlock fromSurface(s.BuildMask(nullptr, flags)), fromBlock(s.BuildMask(nullptr, flags));
      ASSERT_GT(s.BuildMask(fromSurface.Header(), flags), 0);
      ASSERT_GT(BuildFromBlock(block, s.width, s.height, fromBlock, flags, block.size()), 0);
      EXPECT_EQ(fromBlock.bytes, fromSurface.bytes) << "depth " << depth << " flags " << flags;
    }
  }
}

TEST(MaskRunLength, BrokenBlocksFailAndLeaveNoMask) {
  std::mt19937 rng(6);
  const int width = 40, height = 5;
  const std::vector<std::uint8_t> good = EncodeRunLength(RandomPicture(rng, width, height), width);
  const int size = 44 + height * 6;
  auto expectFailure = [&](const std::vector<std::uint8_t>& block, size_t available,
                           const char* what) {
    MaskBlock mask(size);
    EXPECT_EQ(BuildFromBlock(block, width, height, mask, 0, available), 0) << what;
    EXPECT_EQ(mask.bytes, std::vector<std::uint8_t>(static_cast<size_t>(size), 0)) << what;
  };
  auto read32 = [&](size_t at) {
    return good[at] | (good[at + 1] << 8) | (good[at + 2] << 16) |
           (static_cast<size_t>(good[at + 3]) << 24);
  };
  const size_t lastRuns = 4 + read32(4 + 8 * (height - 1));
  const size_t firstRuns = 4 + read32(4);
  expectFailure(good, lastRuns + 1, "truncated inside the last row's runs");
  expectFailure(good, 3, "shorter than the size field");
  expectFailure(good, 4 + 8 * 2, "row table cut short");
  std::vector<std::uint8_t> shortSize = good;
  shortSize[0] = static_cast<std::uint8_t>(lastRuns + 1);
  shortSize[1] = shortSize[2] = shortSize[3] = 0;
  expectFailure(shortSize, shortSize.size(), "size field smaller than the runs");
  std::vector<std::uint8_t> farRow = good;
  farRow[4 + 8 * 2 + 3] = 0x7F;
  expectFailure(farRow, farRow.size(), "row offset outside the block");
  std::vector<std::uint8_t> overshoot = good;
  overshoot[firstRuns] = width;  // the first pair now covers more than the row
  overshoot[firstRuns + 1] = 1;
  expectFailure(overshoot, overshoot.size(), "runs longer than the row");
  MaskBlock mask(size);
  EXPECT_EQ(vexa::BuildMaskFromRunLength(nullptr, 100, width, height, mask.Header(), 0), 0);
}

}  // namespace
