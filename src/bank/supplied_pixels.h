// Reading the pixels a caller supplies to AddImage into plain rows: as they are, from packets,
// from the compressed stored form, and widening 4-bit pixels to 8 bits.
#pragma once

#include <cstdint>

#include <vexa/wintypes.h>

#include "bank/image_layout.h"
#include "bank/supplied_bytes.h"

namespace vexa {

// Plain pixels in the layout of `layout` (its mode is that of the pixels), with the alpha plane
// when the layout has one. The pointers are into the caller's data or into `scratch`.
struct SuppliedPixels {
  ImageLayout layout;
  const std::uint8_t* pixels = nullptr;
  const std::uint8_t* alpha = nullptr;
};

// Reads width x height pixels of `mode` in the form the AddImage flags give (plain, packet
// encoded, or the compressed stored form after its byte count), then the alpha plane when
// 0x1000 is set; 4-bit pixels come back as 8-bit ones. `transparentColor` is what the RGBA
// rules of compressed data write. False for a form that does not fit the mode, a damaged
// encoding, or data shorter than it must be.
bool ReadSuppliedPixels(SuppliedBytes& input, std::uint32_t flags, int mode, int width, int height,
                        COLORREF transparentColor, OwnedBlock& scratch, SuppliedPixels* out);

// The byte count and the bytes of the compressed stored form; false when the data is shorter
// than its count says.
bool ReadCompressedForm(SuppliedBytes& input, const std::uint8_t** bytes, std::uint32_t* count);

// The packet pixel size the flags ask for (1, 2 or 3), 0 for none, -1 for more than one.
int PacketPixelBytes(std::uint32_t flags);

}  // namespace vexa
