// The unscaled mask tests with the kernels of a chosen vector level (the exported tests use
// the active level; tests compare every level with a per-pixel reference).
#pragma once

#include <bit>
#include <cstdint>

#include "bank/mask/mask_kernels.h"

namespace vexa {

int OverlapMasks(const MaskKernels& kernels, const std::uint8_t* bitsA, const std::uint8_t* bitsB,
                 int xA, int yA, int wA, int hA, int xB, int yB, int wB, int hB);

int MaskRectHasSetBit(const MaskKernels& kernels, const std::uint8_t* bits, int width, int height,
                      int x, int y, int w, int h);

// Bit x of a mask row.
inline bool MaskRowBit(const std::uint8_t* row, std::int64_t x) {
  return (row[x >> 3] >> (x & 7)) & 1;
}

// Calls hit(x) for every set bit x in [begin, end) of a row, in order, until it returns true;
// true when one did. Whole zero bytes are skipped.
template <class Hit>
bool AnySetBitIn(const std::uint8_t* row, std::int64_t begin, std::int64_t end, Hit hit) {
  if (begin >= end) return false;
  const std::int64_t lastByte = (end - 1) >> 3;
  for (std::int64_t i = begin >> 3; i <= lastByte; ++i) {
    unsigned byte = row[i];
    if (i == (begin >> 3)) byte &= 0xFFu << (begin & 7);
    if (i == lastByte) byte &= 0xFFu >> (7 - ((end - 1) & 7));
    while (byte) {
      if (hit(8 * i + std::countr_zero(byte))) return true;
      byte &= byte - 1;
    }
  }
  return false;
}

}  // namespace vexa
