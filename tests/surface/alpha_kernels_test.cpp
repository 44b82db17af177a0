// The alpha conversion rows: the 32-bit rule for every component and alpha value at every
// level, and every vector level against the scalar rows on random data at widths 0..70.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "base/simd_level.h"
#include "support/simd_levels.h"
#include "surface/alpha_plane_kernels.h"

namespace vexa {
namespace {

TEST(AlphaKernels, ThirtyTwoBitRuleForEveryComponentAndAlpha) {
  std::vector<std::uint8_t> row(256 * 4), alpha(256);
  for (SimdLevel level : testsupport::SupportedLevels()) {
    const AlphaRowKernels kernels = AlphaKernelsAt(level);
    for (int a = 0; a < 256; ++a) {
      for (bool premultiply : {true, false}) {
        for (int c = 0; c < 256; ++c) {  // pixel c: component c, fourth byte 255 - c
          row[4 * c] = row[4 * c + 1] = row[4 * c + 2] = static_cast<std::uint8_t>(c);
          row[4 * c + 3] = static_cast<std::uint8_t>(255 - c);
          alpha[c] = static_cast<std::uint8_t>(a);
        }
        (premultiply ? kernels.premultiply : kernels.demultiply)[4](row.data(), alpha.data(), 256);
        for (int c = 0; c < 256; ++c) {
          const int expected = a == 0 ? 0 : premultiply ? c * a / 255 : std::min(c * 255 / a, 255);
          ASSERT_EQ(row[4 * c + 1], expected) << SimdLevelName(level) << " a " << a << " c " << c;
          ASSERT_EQ(row[4 * c + 3], 255 - c);
        }
      }
    }
  }
}

TEST(AlphaKernels, EveryLevelMatchesTheScalarRowsAtEveryWidth) {
  const AlphaRowKernels scalar = AlphaKernelsAt(SimdLevel::Scalar);
  std::mt19937 random(7);
  for (SimdLevel level : testsupport::SupportedVectorLevels()) {
    const AlphaRowKernels vector = AlphaKernelsAt(level);
    for (int format = 1; format <= 4; ++format) {
      const int bytesPerPixel = format == 4 ? 4 : format == 3 ? 3 : 2;
      for (int width = 0; width <= 70; ++width) {
        for (bool premultiply : {true, false}) {
          // 16 guard bytes after the row that no kernel may touch; 0 and 255 are common alphas.
          std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * bytesPerPixel + 16));
          std::vector<std::uint8_t> alpha(static_cast<std::size_t>(width) + 16);
          for (auto& byte : pixels) byte = static_cast<std::uint8_t>(random());
          for (auto& a : alpha)
            a = static_cast<std::uint8_t>(random() % 4 == 0   ? 0
                                          : random() % 3 == 0 ? 255
                                                              : random());
          std::vector<std::uint8_t> expected = pixels;
          (premultiply ? scalar.premultiply : scalar.demultiply)[format](expected.data(),
                                                                         alpha.data(), width);
          (premultiply ? vector.premultiply : vector.demultiply)[format](pixels.data(),
                                                                         alpha.data(), width);
          ASSERT_EQ(pixels, expected) << SimdLevelName(level) << " format " << format << " width "
                                      << width << (premultiply ? " premultiply" : " demultiply");
        }
      }
    }
  }
}

}  // namespace
}  // namespace vexa
