// The row kernels of the alpha conversions: the 32-bit rule over every component and alpha
// value, and every vector level against the scalar rows on random data across the widths
// where vector blocks end and scalar tails begin.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "frame/simd_level.h"
#include "surface/alpha_plane_kernels.h"

namespace vexa {
namespace {

constexpr int k32 = 4;
const SimdLevel kLevels[] = {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2};

TEST(AlphaKernels, ThirtyTwoBitRuleForEveryComponentAndAlpha) {
  // One row of 256 pixels per alpha value: pixel c holds component c in blue, green and red.
  std::vector<std::uint8_t> row(256 * 4), alpha(256);
  for (SimdLevel level : kLevels) {
    if (!SimdLevelSupported(level)) continue;
    const AlphaRowKernels kernels = AlphaKernelsAt(level);
    for (int a = 0; a < 256; ++a) {
      for (int premultiply = 0; premultiply < 2; ++premultiply) {
        for (int c = 0; c < 256; ++c) {
          row[4 * c] = row[4 * c + 1] = row[4 * c + 2] = static_cast<std::uint8_t>(c);
          row[4 * c + 3] = static_cast<std::uint8_t>(255 - c);
          alpha[c] = static_cast<std::uint8_t>(a);
        }
        (premultiply ? kernels.premultiply : kernels.demultiply)[k32](row.data(), alpha.data(), 256);
        for (int c = 0; c < 256; ++c) {
          int expected = c;
          if (a == 0) {
            expected = 0;
          } else if (premultiply) {
            expected = c * a / 255;
          } else {
            expected = c * 255 / a > 255 ? 255 : c * 255 / a;
          }
          ASSERT_EQ(row[4 * c], expected) << SimdLevelName(level) << " a " << a << " c " << c;
          ASSERT_EQ(row[4 * c + 2], expected);
          ASSERT_EQ(row[4 * c + 3], 255 - c) << "the fourth byte stays";
        }
      }
    }
  }
}

// Random pixels, with alpha values drawn so that 0 and 255 (the shortcuts) are common.
void FillRandom(std::mt19937& random, std::vector<std::uint8_t>& pixels, std::vector<std::uint8_t>& alpha) {
  for (auto& byte : pixels) byte = static_cast<std::uint8_t>(random());
  for (auto& a : alpha) {
    const unsigned pick = random() % 4;
    a = pick == 0 ? 0 : pick == 1 ? 255 : static_cast<std::uint8_t>(random());
  }
}

TEST(AlphaKernels, EveryLevelMatchesTheScalarRowsAtEveryWidth) {
  const AlphaRowKernels scalar = AlphaKernelsAt(SimdLevel::Scalar);
  std::mt19937 random(7);
  constexpr int kGuard = 16;  // bytes after the row that no kernel may touch
  for (SimdLevel level : kLevels) {
    if (level == SimdLevel::Scalar || !SimdLevelSupported(level)) continue;
    const AlphaRowKernels vector = AlphaKernelsAt(level);
    for (int format = 1; format <= 4; ++format) {
      const int bytesPerPixel = format == 4 ? 4 : format == 3 ? 3 : 2;
      for (int width = 0; width <= 70; ++width) {
        for (int pass = 0; pass < 2; ++pass) {
          std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * bytesPerPixel + kGuard));
          std::vector<std::uint8_t> alpha(static_cast<std::size_t>(width) + kGuard);
          FillRandom(random, pixels, alpha);
          std::vector<std::uint8_t> expected = pixels;
          const bool premultiply = pass == 0;
          (premultiply ? scalar.premultiply : scalar.demultiply)[format](expected.data(), alpha.data(), width);
          (premultiply ? vector.premultiply : vector.demultiply)[format](pixels.data(), alpha.data(), width);
          ASSERT_EQ(pixels, expected) << SimdLevelName(level) << " format " << format << " width " << width
                                      << (premultiply ? " premultiply" : " demultiply");
        }
      }
    }
  }
}

TEST(AlphaKernels, ActiveKernelsAreThoseOfTheActiveLevel) {
  const AlphaRowKernels expected = AlphaKernelsAt(ActiveSimdLevel());
  EXPECT_EQ(ActiveAlphaKernels().premultiply[k32], expected.premultiply[k32]);
  EXPECT_EQ(ActiveAlphaKernels().demultiply[k32], expected.demultiply[k32]);
  EXPECT_EQ(ActiveAlphaKernels().premultiply[0], nullptr);
}

}  // namespace
}  // namespace vexa
