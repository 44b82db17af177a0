// Shared by the image filter plug-ins built with vexa: result codes, the size limit, and the
// grey palette of grey images.
#pragma once

#include <cstdint>

#include <vexa/filter_impl.h>

namespace filters {

// Results of filter operations, numbered as the image file object's codes.
inline constexpr int kOk = 0;
inline constexpr int kOutOfMemory = 1;  // also: an image too large to accept
inline constexpr int kWriteFailed = 3;
inline constexpr int kNotOurs = 5;  // not this format, or a damaged file
inline constexpr int kBadDepth = 10;

// Images above 2^28 pixels are refused in BeginRead, before anything is allocated for them.
inline constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;

inline bool TooLarge(std::int64_t width, std::int64_t height) {
  return width * height > kMaxPixels;
}

// Gives the filter a 256-entry palette with entry i = (i, i, i): grey images are 8-bit rows.
inline bool SetGreyPalette(CFilterImpl* filter) {
  if (!filter->CreatePalette(256)) return false;
  auto* entries = reinterpret_cast<LOGPALETTE256*>(filter->palette)->palPalEntry;
  for (int i = 0; i < 256; ++i) {
    entries[i] = PALETTEENTRY{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
  }
  return true;
}

}  // namespace filters
