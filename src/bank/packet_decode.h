// Packet-encoded pixels: a sequence of packets, each led by a control byte c. c = 0 ends the
// data. n = c & 0x7F; with bit 7 clear the packet is a run (one pixel follows and is written n
// times), with bit 7 set n literal pixels follow. Pixels are 1, 2 or 3 bytes by form.
#pragma once

#include <cstdint>

#include "bank/image_layout.h"
#include "bank/supplied_bytes.h"

namespace vexa {

// Decodes packets into the rows of `layout` (rows must be zero-filled beforehand: pixels the
// data does not reach, and row padding, stay 0). Pixels fill each row left to right, rows top
// first. False when a packet would write past the image's last pixel, when the input ends
// before the terminating control byte, or when the pixel size does not match the layout.
bool DecodePackets(SuppliedBytes& input, int pixelBytes, const ImageLayout& layout,
                   std::uint8_t* rows);

}  // namespace vexa
