// Compressed image data: a 32-bit little-endian uncompressed size, then one LZ4 block. The
// uncompressed bytes are the plain image (pixels, then the alpha plane when it has one), put
// right afterwards by the rules of image flags 0x20 and 0x80 (RGBA data, 32 bits only):
//   - with an alpha plane, every pixel's fourth byte moves into the alpha plane and is cleared
//     (the compressed data may then hold the pixels alone);
//   - without one, every pixel whose fourth byte is 0 becomes the transparent colour, and the
//     fourth byte of the others is cleared;
//   - with 0x20, the first and third bytes of the pixels that kept their colour are exchanged.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/wintypes.h>

#include "bank/image_layout.h"

namespace vexa {

// True when image flags 0x20 / 0x80 can apply to pixels of this mode (only 32 bits).
bool PixelRulesFit(int mode, std::uint32_t imageFlags);

// True when `dataSize` bytes of compressed data could hold the layout's image: the size field is
// there and one LZ4 block of the rest could expand that far (at most 255 times, plus a few
// bytes). Lets callers refuse a small damaged block before allocating for a large image.
bool CompressedSizePlausible(std::size_t dataSize, const ImageLayout& layout);

// Decompresses `dataSize` bytes of compressed image data into `out` (layout.Total() bytes)
// and applies the rules of `imageFlags`. False, with `out` in an undefined state, when the
// data is shorter than its size field, the stated size is not one the layout allows, the LZ4
// block is damaged or yields another size, or the rules do not fit the mode.
bool DecompressImageData(const std::uint8_t* data, std::size_t dataSize, const ImageLayout& layout,
                         std::uint32_t imageFlags, COLORREF transparentColor, std::uint8_t* out);

// The rules alone, on plain data of the layout.
void ApplyPixelRules(const ImageLayout& layout, std::uint32_t imageFlags, COLORREF transparentColor,
                     std::uint8_t* data);

}  // namespace vexa
