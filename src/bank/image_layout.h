// The layout of a bank image's pixels: rows top first, without the 4-byte row padding of
// memory surfaces. Bytes per row by format: 8 bits the width rounded up to an even number,
// 15 and 16 bits 2 x width, 24 bits 6 x ((width + 1) / 2) (the pixel count padded to even),
// 32 bits 4 x width. The supplied 4-bit forms (mode codes 2 and 5) hold two pixels a byte,
// high nibble first, in rows of ((width + 3) / 4) x 2 bytes. An alpha plane has one byte a
// pixel in rows of the width rounded up to a multiple of 4.
#pragma once

#include <cstdint>

namespace vexa {

// Mode codes of the formats the bank stores.
inline constexpr int kMode8 = 3;
inline constexpr int kMode24 = 4;
inline constexpr int kMode15 = 6;
inline constexpr int kMode16 = 7;
inline constexpr int kMode32 = 8;
inline constexpr int kMode4 = 2;
inline constexpr int kMode4Alt = 5;

inline bool IsStoredMode(int mode) {
  return mode == kMode8 || mode == kMode24 || mode == kMode15 || mode == kMode16 || mode == kMode32;
}
inline bool IsFourBitMode(int mode) { return mode == kMode4 || mode == kMode4Alt; }

// Bytes per row of `width` pixels of the mode; 0 for a mode without a layout.
std::int64_t ImageRowBytes(int mode, std::int64_t width);
// Bytes per pixel of a stored mode (1, 2, 2, 3, 4); 0 otherwise.
int ModeBytesPerPixel(int mode);
std::int64_t AlphaRowBytes(std::int64_t width);

// The byte counts of one image.
struct ImageLayout {
  int mode = 0;
  int width = 0;
  int height = 0;
  std::int64_t rowBytes = 0;
  std::int64_t pixelBytes = 0;
  std::int64_t alphaRowBytes = 0;
  std::int64_t alphaBytes = 0;  // 0 without an alpha plane
  std::int64_t Total() const { return pixelBytes + alphaBytes; }
};

// Largest plain image (pixels and alpha plane) the bank accepts: every byte count and offset
// then fits in 31 bits, with room for the entry's headers.
inline constexpr std::int64_t kMaxImageBytes = 0x7FF00000;

// False for a mode without a layout, a size below 1, or byte counts above kMaxImageBytes.
bool ComputeImageLayout(int mode, std::int64_t width, std::int64_t height, bool alphaPlane,
                        ImageLayout* layout);

}  // namespace vexa
