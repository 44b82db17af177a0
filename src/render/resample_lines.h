// Rows of a surface as the resampler's working pixels (0x00RRGGBB: bytes blue, green, red and
// a fourth byte that takes no part) and back, for the five pixel formats.
#pragma once

#include <cstdint>

#include <vexa/pixel_routines.h>

namespace vexa {

class WorkingLines {
 public:
  // For a locked surface. At 8 bits it reads the palette's colours once and makes sure the
  // palette has its inverse table for the way back.
  explicit WorkingLines(const PixelDescriptor& surface);

  // `count` pixels of row y from column x as working pixels: the row itself where it already
  // holds them (32 bits), else `buffer`, which must hold `count` pixels.
  const std::uint32_t* Read(int x, int y, int count, std::uint32_t* buffer) const;
  // Stores `count` working pixels into row y from column x, narrowed to the format: the
  // nearest palette index at 8 bits; the top bits of each channel at 15 and 16 bits, where a
  // nonzero colour that would become 0 is stored as 1; the three bytes at 24 bits; at 32
  // bits the three bytes and a fourth byte of 0.
  void Write(int x, int y, int count, const std::uint32_t* line) const;
  // Replaces each working pixel by what Write stores and Read gives back.
  void RoundTrip(std::uint32_t* line, int count) const;
  // True when RoundTrip changes nothing that the passes write (24 and 32 bits: the passes
  // already write a fourth byte of 0).
  bool Lossless() const { return surface_.depth > 16; }
  // True when Read returns the row itself for every rectangle.
  bool ReadsInPlace() const { return readsInPlace_; }

 private:
  std::uint32_t Narrow(std::uint32_t working) const;
  std::uint32_t Widen(std::uint32_t stored) const;

  const PixelDescriptor& surface_;
  bool readsInPlace_ = false;
  std::uint32_t paletteColors_[256] = {};
};

}  // namespace vexa
