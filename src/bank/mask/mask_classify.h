// The row classifier shared by every vector level of the mask builder: turns a row of pixels
// into solid bits, 64 pixels to a word, a whole block of pixels at a time where it can and
// pixel by pixel for the rest of the row.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexa {
namespace {

// `block(p)` returns one bit per pixel (bit i for pixel i) for kBlock pixels at p;
// `pixel(p)` the bit of the pixel at p. Bits at and after `width` stay 0.
template <int kBlock, int kBytesPerPixel, class BlockFn, class PixelFn>
inline void ClassifyRowWith(const std::uint8_t* row, int width, std::uint64_t* words, BlockFn block,
                            PixelFn pixel) {
  static_assert(64 % kBlock == 0);
  for (int x = 0; x < width; x += 64) {
    const int count = width - x < 64 ? width - x : 64;
    const std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * kBytesPerPixel;
    std::uint64_t word = 0;
    int i = 0;
    for (; i + kBlock <= count; i += kBlock) {
      word |= static_cast<std::uint64_t>(block(p + i * kBytesPerPixel)) << i;
    }
    for (; i < count; ++i) word |= static_cast<std::uint64_t>(pixel(p + i * kBytesPerPixel)) << i;
    words[x >> 6] = word;
  }
}

}  // namespace
}  // namespace vexa
