// The five pixel formats: depth to format and mode code, the stride rule, and the conversion
// of colour values (0x00BBGGRR) to stored pixels and back, every bit as the formats define.
#pragma once

#include <cstdint>

#include <vexa/pixel_routines.h>

namespace vexa {

enum FormatIndex : int { kFormat8 = 0, kFormat15 = 1, kFormat16 = 2, kFormat24 = 3, kFormat32 = 4 };
inline constexpr int kFormatCount = 5;

// Depths 0-8 select format 0, 9-15 format 1, 16 format 2, 17-24 format 3, 25-32 format 4.
constexpr int FormatOfDepth(int depth) {
  if (depth <= 8) return kFormat8;
  if (depth <= 15) return kFormat15;
  if (depth == 16) return kFormat16;
  if (depth <= 24) return kFormat24;
  return kFormat32;
}

constexpr int kFormatDepth[kFormatCount] = {8, 15, 16, 24, 32};
constexpr int NormalisedDepth(int depth) { return kFormatDepth[FormatOfDepth(depth)]; }
constexpr int BytesPerPixel(int depth) { return (NormalisedDepth(depth) + 7) / 8; }

// Mode codes: 1 = 1 bit, 2 = 4 bits, 3 = 8 bits, 4 = 24 bits, 5 = 4 bits, 6 = 15 bits,
// 7 = 16 bits, 8 = 32 bits, 0 = the screen's own mode.
constexpr int ModeOfDepth(int depth) {
  constexpr int kModes[kFormatCount] = {3, 6, 7, 4, 8};
  return kModes[FormatOfDepth(depth)];
}
constexpr int DepthOfMode(int mode) {
  constexpr int kDepths[9] = {0, 1, 4, 8, 24, 4, 15, 16, 32};
  return (mode >= 0 && mode <= 8) ? kDepths[mode] : 0;
}

// Bytes per row, padded to 4; depth 15 counts as 16 bits. 64-bit so that huge sizes can be
// checked before they are narrowed.
constexpr std::int64_t StrideOf(std::int64_t width, int depth) {
  const std::int64_t bits = depth == 15 ? 16 : depth;
  return ((width * bits + 31) & ~std::int64_t{31}) / 8;
}

// ---- colour value <-> pixel --------------------------------------------------------------
constexpr std::uint32_t ColorTo555(std::uint32_t c) {
  return ((c & 0xF80000) >> 19) | ((c & 0xF800) >> 6) | ((c & 0xF8) << 7);
}
constexpr std::uint32_t ColorTo565(std::uint32_t c) {
  return ((c & 0xF80000) >> 19) | ((c & 0xFC00) >> 5) | ((c & 0xF8) << 8);
}
constexpr std::uint32_t ColorFrom555(std::uint32_t p) {
  return ((p & 0x1F) << 19) | ((p & 0x3E0) << 6) | ((p & 0x7C00) >> 7);
}
constexpr std::uint32_t ColorFrom565(std::uint32_t p) {
  return ((p & 0x1F) << 19) | ((p & 0x7E0) << 5) | ((p & 0xF800) >> 8);
}
// 24- and 32-bit pixels hold blue, green, red in memory order: 0x00RRGGBB as a number.
constexpr std::uint32_t SwapRedBlue(std::uint32_t c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// The standard pixel routine table of a format.
const PixelRoutineTable* StandardPixelRoutines(int formatIndex);

// The colour key as a stored pixel, and the key as it reads back, for a surface of this
// descriptor's format (the transparent-value rule).
void ComputeTransparentValue(const PixelDescriptor& surface, std::uint32_t color,
                             std::uint32_t* transparentColor, std::uint32_t* transparentValue);

}  // namespace vexa
