// The sprite scenes' shared pieces, the same in their pygame peers: the generator and the disc
// images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexabench {

inline constexpr int kDiscSize = 32;

// The generator both sides share: a 31-bit linear congruential sequence.
struct Lcg {
  std::uint32_t state;
  int Next(int range) {
    state = (state * 1103515245u + 12345u) & 0x7FFFFFFFu;
    return static_cast<int>((state >> 8) % static_cast<std::uint32_t>(range));
  }
};

// Image k: a disc of colour k on the colour key (magenta), 32 x 32.
inline std::vector<std::uint32_t> DiscPixels(int k) {
  std::vector<std::uint32_t> pixels(kDiscSize * kDiscSize);
  const std::uint32_t colour = 0x00202020u + static_cast<std::uint32_t>(k) * 0x00191F13u;
  for (int y = 0; y < kDiscSize; ++y)
    for (int x = 0; x < kDiscSize; ++x) {
      const int dx = 2 * x - kDiscSize + 1, dy = 2 * y - kDiscSize + 1;
      pixels[static_cast<std::size_t>(y * kDiscSize + x)] =
          dx * dx + dy * dy <= kDiscSize * kDiscSize ? colour : 0x00FF00FFu;
    }
  return pixels;
}

}  // namespace vexabench
