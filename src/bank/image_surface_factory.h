// Building surfaces over bank images.
#pragma once

#include <vexa/image_bank.h>
#include <vexa/image_surface.h>

#include "bank/image_layout.h"

namespace vexa {

// The layout of an entry's plain pixels (alpha plane included when flagged); false when the
// header does not describe an image the bank can hold.
bool EntryLayout(const ImageEntryHeader& image, ImageLayout* layout);

// A cImageSurface over the image entry, in the entry's stored format with the bank's palette
// at 8 bits: plain pixels in place, compressed data decompressed into a block the surface
// owns, run-length data in place with the run-length routines. The entry is checked first (it
// may have been written by a caller): null when its header, sizes, compressed data or
// run-length block are damaged, or when memory runs out.
cImageSurface* MakeImageSurface(const ImageBank& bank, const ImageEntryHeader& image);

// A cImageSurface over the plain pixels of `layout` at `pixels` (not owned), for filling a new
// entry; `palette` is used at 8 bits.
cImageSurface* MakeEntryPixelSurface(const ImageLayout& layout, std::uint8_t* pixels,
                                     PaletteObject* palette, COLORREF transparentColor);

}  // namespace vexa
