// The three storage forms of an image entry. Each makes a new image block (outside any list)
// carrying the headers of `header` and the plain pixels `plain` (the layout's bytes: pixels,
// then the alpha plane) in its form, or null when the form cannot be made or memory runs out.
#pragma once

#include <cstdint>

#include <vexa/image_bank.h>

#include "bank/image_layout.h"

namespace vexa {

// The pixels as they are; null `plain` gives a zero-filled image.
ImageEntryHeader* MakePlainEntry(const ImageEntryHeader& header, const ImageLayout& layout,
                                 const std::uint8_t* plain);

// The run-length form (image flag 0x40), transparent pixels being those equal to the colour
// key as stored in the layout's format (at 8 bits looked up in `palette`). Not for images with
// an alpha plane.
ImageEntryHeader* MakeRunLengthEntry(const ImageEntryHeader& header, const ImageLayout& layout,
                                     const std::uint8_t* plain, PaletteObject* palette);

// LZ4 compression with the fast compressor (image flag 0x08): the data becomes the 32-bit
// uncompressed size and one LZ4 block, written through a memory stream as the entry's bytes.
ImageEntryHeader* MakeCompressedEntry(const ImageEntryHeader& header, const ImageLayout& layout,
                                      const std::uint8_t* plain);

}  // namespace vexa
