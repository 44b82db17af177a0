#include "render/edge_smoother.h"

#include <cstdint>

namespace vexa {
namespace {

constexpr int kWeights[9] = {1, 2, 1, 2, 12, 2, 1, 2, 1};

COLORREF Smooth(const std::uint32_t* destination, const std::uint32_t* source,
                std::uint32_t transparent) {
  const std::uint32_t centre = destination[4];
  if (source[4] != transparent) return centre;
  if (source[1] == transparent && source[7] == transparent) return centre;
  if (source[3] == transparent && source[5] == transparent) return centre;
  std::uint32_t sums[3] = {0, 0, 0};
  for (int cell = 0; cell < 9; ++cell) {
    const std::uint32_t color =
        (cell == 4 || source[cell] == transparent) ? centre : destination[cell];
    for (int channel = 0; channel < 3; ++channel) {
      sums[channel] += kWeights[cell] * ((color >> (8 * channel)) & 0xFF);
    }
  }
  return (sums[0] / 24) | ((sums[1] / 24) << 8) | ((sums[2] / 24) << 16);
}

}  // namespace

COLORREF EdgeSmoother(const std::uint32_t* destination, const std::uint32_t* source, void* user) {
  return Smooth(destination, source,
                static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(user)));
}

COLORREF SubstituteEdgeSmoother(const std::uint32_t* destination, const std::uint32_t* source,
                                void* user) {
  const auto substitute = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(user));
  std::uint32_t replaced[9];
  for (int cell = 0; cell < 9; ++cell) {
    replaced[cell] = destination[cell] == 0 ? substitute : destination[cell];
  }
  return Smooth(replaced, source, 0);
}

}  // namespace vexa
