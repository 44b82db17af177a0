// Coverage mixing of 32-bit pixels: the vector form against the pixel-by-pixel one, and the
// rounding itself.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "pixels/kernels/coverage_blend.h"

namespace {

TEST(CoverageBlend, VectorFormMatchesThePixelFormBitForBit) {
  std::mt19937 random(23);
  auto byte = [&] { return static_cast<std::uint8_t>(random() & 0xFF); };
  for (int round = 0; round < 400; ++round) {
    const int count = static_cast<int>(random() % 40);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(count) * 4 + 8), coverage(count + 4);
    for (auto& p : pixels) p = byte();
    // Runs of empty and full coverage as glyphs have them, partial values between.
    for (std::size_t i = 0; i < coverage.size(); ++i) {
      const unsigned pick = random() % 6;
      coverage[i] = pick < 2 && i > 0 ? coverage[i - 1] : pick == 2 ? 0 : pick == 3 ? 255 : byte();
    }
    const vexa::CoverageColor color{static_cast<std::uint32_t>(random()), byte(), byte(), byte()};
    std::vector<std::uint8_t> vector = pixels, scalar = pixels;
    const int offset = static_cast<int>(random() % 4);  // unaligned rows
    // Two rows half a row apart, the second blended over the first's result, in both orders
    // of storage (bottom-up bitmaps step backwards).
    const int half = count / 2, pixelsPitch = half * 4;
    const bool upwards = random() % 2;
    std::uint8_t* start = vector.data() + offset + (upwards ? pixelsPitch : 0);
    vexa::BlendCoverageRows32(start, upwards ? -pixelsPitch : pixelsPitch, 2, count - half,
                              coverage.data(), half, color);
    for (int row = 0; row < 2; ++row)
      vexa::BlendCoverageRow32Scalar(
          scalar.data() + offset + (upwards ? pixelsPitch * (1 - row) : pixelsPitch * row),
          count - half, coverage.data() + half * row, color);
    ASSERT_EQ(vector, scalar) << "round " << round;
  }
}

TEST(CoverageBlend, RoundsToNearestAndKeepsTheFourthByte) {
  // 100 + (255 - 100) * 128 / 255 = 177.8: 178; the fourth byte stays; 0 and 255 are exact.
  std::uint8_t row[12] = {100, 100, 100, 7, 100, 100, 100, 7, 100, 100, 100, 7};
  const std::uint8_t coverage[3] = {128, 0, 255};
  vexa::BlendCoverageRow32(row, 3, coverage, vexa::CoverageColor{0x00FFFFFF, 255, 255, 255});
  const std::uint8_t expected[12] = {178, 178, 178, 7, 100, 100, 100, 7, 255, 255, 255, 0};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(row[i], expected[i]) << i;
  EXPECT_EQ(vexa::MixCoverage(0, 255, 1), 1);    // 1.0 -> 1
  EXPECT_EQ(vexa::MixCoverage(255, 0, 1), 254);  // 254.0 -> 254
  EXPECT_EQ(vexa::MixCoverage(0, 1, 127), 0);    // 0.498 -> 0
  EXPECT_EQ(vexa::MixCoverage(0, 1, 128), 1);    // 0.502 -> 1
}

}  // namespace
