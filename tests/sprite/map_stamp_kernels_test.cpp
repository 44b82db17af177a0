// The map-stamp row kernels of every SIMD level against the pixel rule, on plane rows of
// random bits: each set mask pixel inside the box sets (or clears) its plane pixel, and no
// other plane bit changes.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "sprite/map_stamp_kernels.h"
#include "support/simd_levels.h"

namespace {

using vexa::MapBox;
using vexa::SimdLevel;

// A mask in its stored form: the 44-byte header, then rows of whole 16-bit words.
std::vector<std::uint8_t> RandomMask(int width, int height, std::mt19937& rng) {
  CollisionMask header{};
  header.bitsOffset = sizeof(CollisionMask);
  header.width = width;
  header.height = height;
  header.rowBytes = ((width + 15) >> 4) * 2;
  std::vector<std::uint8_t> bytes(sizeof header + static_cast<size_t>(header.rowBytes * height));
  std::memcpy(bytes.data(), &header, sizeof header);
  // Every bit of a row is random, also past the width: the stamp must cut them off.
  for (size_t i = sizeof header; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(rng());
  return bytes;
}

int Bit(const std::uint8_t* row, std::int64_t x) { return (row[x >> 3] >> (x & 7)) & 1; }

TEST(MapStampKernels, EveryLevelFollowsThePixelRule) {
  std::mt19937 rng(77);
  constexpr int kRowBytes = 80, kRows = 24;  // 640 plane pixels a row
  for (SimdLevel level : testsupport::SupportedLevels()) {
    const vexa::MapStampKernels& kernels = vexa::MapStampKernelsAt(level);
    for (int round = 0; round < 400; ++round) {
      // Widths from one pixel to past seven plane words, so every fixed word count, the
      // general row and a last word cut by the plane's end all occur.
      const int width =
          round % 3 == 0 ? 1 + static_cast<int>(rng() % 64) : 1 + static_cast<int>(rng() % 520);
      const int height = 1 + static_cast<int>(rng() % 9);
      const std::vector<std::uint8_t> maskBytes = RandomMask(width, height, rng);
      const auto* mask = reinterpret_cast<const CollisionMask*>(maskBytes.data());
      const std::uint8_t* bits = MaskBits(mask);
      const std::int64_t px = static_cast<std::int64_t>(rng() % (8 * kRowBytes + 60)) - 40;
      const std::int64_t py = static_cast<std::int64_t>(rng() % (kRows + 4)) - 3;
      // The box: the mask's extent met with a random clip inside the plane.
      MapBox box{px, py, px + width - 1, py + height - 1};
      box.left = std::max<std::int64_t>(box.left, rng() % 24);
      box.top = std::max<std::int64_t>(box.top, 0);
      box.right = std::min<std::int64_t>(box.right, 8 * kRowBytes - 1 - rng() % 3 * (rng() % 20));
      box.bottom = std::min<std::int64_t>(box.bottom, kRows - 1);
      if (box.Empty()) continue;
      const bool set = rng() & 1;
      std::vector<std::uint8_t> plane(static_cast<size_t>(kRowBytes * kRows + 4));
      for (auto& b : plane) b = static_cast<std::uint8_t>(rng());
      std::vector<std::uint8_t> expected = plane;
      for (std::int64_t y = box.top; y <= box.bottom; ++y)
        for (std::int64_t x = box.left; x <= box.right; ++x) {
          if (!Bit(bits + (y - py) * mask->rowBytes, x - px)) continue;
          std::uint8_t& byte = expected[static_cast<size_t>(y * kRowBytes + (x >> 3))];
          const auto bit = static_cast<std::uint8_t>(1u << (x & 7));
          byte =
              set ? static_cast<std::uint8_t>(byte | bit) : static_cast<std::uint8_t>(byte & ~bit);
        }
      vexa::StampMaskRows(kernels, plane.data(), kRowBytes, box, px, py, mask, set);
      ASSERT_EQ(plane, expected) << vexa::SimdLevelName(level) << " round " << round << " mask "
                                 << width << "x" << height << " at " << px << "," << py << " box "
                                 << box.left << ".." << box.right;
    }
  }
}

}  // namespace
