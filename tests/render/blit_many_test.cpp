// Batched opaque copies: the same pixels and results as one Blit per rectangle, on the direct
// path and on every pair that goes back to Blit.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include <vexa/blit.h>

#include "render/blit_many.h"
#include "support/surface_factory.h"

namespace {

using testsupport::FillRandom;
using testsupport::MakeSurface;
using vexa::BlitMove;
using vexa::BlitOpaqueMany;

std::vector<std::uint8_t> Bytes(const PixelDescriptor& s) {
  std::vector<std::uint8_t> out;
  for (int y = 0; y < s.height; ++y) out.insert(out.end(), s.Row(y), s.Row(y) + s.stride);
  return out;
}

// Two surfaces of the same random pixels.
struct Twins {
  std::unique_ptr<cSurfaceObject> expected, actual;
  Twins(int depth, int width, int height, std::mt19937& random)
      : expected(MakeSurface(depth, width, height)), actual(MakeSurface(depth, width, height)) {
    FillRandom(*expected->implementation, random);
    for (int y = 0; y < height; ++y)
      std::copy_n(expected->implementation->Row(y), expected->implementation->stride,
                  actual->implementation->Row(y));
  }
};

// Moves that reach past both surfaces on every side, some empty or of negative size.
std::vector<BlitMove> RandomMoves(std::mt19937& random, int count) {
  std::uniform_int_distribution<int> place(-20, 60), from(-10, 45), size(-3, 30);
  std::vector<BlitMove> moves;
  for (int i = 0; i < count; ++i)
    moves.push_back(BlitMove{place(random), place(random), from(random), from(random), size(random),
                             size(random)});
  return moves;
}

// Makes the moves one Blit at a time on `expected` and as one batch on `actual`, which start
// out alike, and compares the results and every byte.
void ExpectSameAsBlits(cSurfaceImplementation* source, cSurfaceImplementation* expected,
                       cSurfaceImplementation* actual, const std::vector<BlitMove>& moves) {
  ASSERT_EQ(Bytes(*expected), Bytes(*actual));
  int drawn = 0;
  for (const BlitMove& m : moves)
    drawn += source->Blit(expected, m.x, m.y, m.sourceX, m.sourceY, m.width, m.height, kModeOpaque,
                          kEffectNone, 0, 0) != 0;
  EXPECT_GT(drawn, 0);
  EXPECT_EQ(BlitOpaqueMany(source, actual, moves.data(), static_cast<int>(moves.size())), drawn);
  EXPECT_EQ(Bytes(*expected), Bytes(*actual));
}

TEST(BlitOpaqueMany, DrawsWhatOneBlitPerMoveDrawsAtEveryDepth) {
  for (const int depth : {8, 15, 16, 24, 32}) {
    SCOPED_TRACE(depth);
    std::mt19937 random(static_cast<unsigned>(depth));
    auto source = MakeSurface(depth, 40, 30);
    FillRandom(*source->implementation, random);
    Twins target(depth, 50, 40, random);
    // The destination's clip rectangle bounds the copies as it bounds Blit's.
    target.expected->SetClipRect(3, 2, 37, 31);
    target.actual->SetClipRect(3, 2, 37, 31);
    ExpectSameAsBlits(source->implementation, target.expected->implementation,
                      target.actual->implementation, RandomMoves(random, 60));
  }
}

TEST(BlitOpaqueMany, PairsThatBlitTreatsAlikeGoThroughBlit) {
  std::mt19937 random(11);
  // Across depths: Blit converts each rectangle.
  auto wide = MakeSurface(32, 40, 30);
  FillRandom(*wide->implementation, random);
  Twins narrow(16, 50, 40, random);
  ExpectSameAsBlits(wide->implementation, narrow.expected->implementation,
                    narrow.actual->implementation, RandomMoves(random, 30));
  // One surface as source and destination, moves overlapping what they read: each move reads
  // the pixels as the moves before it left them, and as they were before it began.
  Twins one(24, 40, 30, random);
  cSurfaceImplementation* expected = one.expected->implementation;
  cSurfaceImplementation* actual = one.actual->implementation;
  const std::vector<BlitMove> shifts = {
      {0, 3, 0, 0, 40, 27}, {2, 0, 0, 0, 38, 30}, {5, 5, 4, 4, 20, 20}};
  int drawn = 0;
  for (const BlitMove& m : shifts)
    drawn += expected->Blit(expected, m.x, m.y, m.sourceX, m.sourceY, m.width, m.height,
                            kModeOpaque, kEffectNone, 0, 0);
  EXPECT_EQ(BlitOpaqueMany(actual, actual, shifts.data(), 3), drawn);
  EXPECT_EQ(Bytes(*expected), Bytes(*actual));
}

TEST(BlitOpaqueMany, NothingToDoDrawsNothing) {
  auto source = MakeSurface(32, 4, 4);
  auto target = MakeSurface(32, 4, 4);
  const BlitMove outside{10, 10, 0, 0, 4, 4};
  EXPECT_EQ(BlitOpaqueMany(source->implementation, target->implementation, &outside, 1), 0);
  EXPECT_EQ(BlitOpaqueMany(source->implementation, target->implementation, nullptr, 3), 0);
  EXPECT_EQ(BlitOpaqueMany(nullptr, target->implementation, &outside, 1), 0);
  EXPECT_EQ(BlitOpaqueMany(source->implementation, nullptr, &outside, 1), 0);
}

}  // namespace
