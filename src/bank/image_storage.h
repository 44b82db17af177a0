// The storage forms of an image entry beside plain pixels: run-length and LZ4-compressed.
// Each replaces the plain entry at its number by a new block holding the other form.
#pragma once

#include <vexa/image_bank.h>

namespace vexa {

// Encodes plain image `number` in the run-length form (image flag 0x40), with its transparent
// pixels those equal to the image's colour key. False, the entry unchanged, when it cannot.
bool StoreRunLength(ImageBank& bank, int number);

// Compresses plain image `number` with the fast LZ4 compressor (image flag 0x08): the data
// becomes the 32-bit uncompressed size and one LZ4 block. False, the entry unchanged, when it
// cannot.
bool StoreCompressed(ImageBank& bank, int number);

}  // namespace vexa
