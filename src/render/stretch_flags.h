// Stretch flags of StretchBlit.
#pragma once

#include <cstdint>

// Use the smooth resampler instead of nearest-pixel scaling.
inline constexpr std::uint32_t kStretchResample = 1;
// Use the smooth resampler and leave transparent source pixels out of the average.
inline constexpr std::uint32_t kStretchResampleTransparent = 2;
// Also scale the source's alpha plane onto the destination's.
inline constexpr std::uint32_t kStretchCopyAlpha = 4;
