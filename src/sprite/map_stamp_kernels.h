// The row kernels that stamp a collision mask into a map plane, one table per vector level
// (scalar 64-bit words, SSE2, AVX2), chosen once by the active SIMD level.
//
// A stamp ORs (or clears) the mask's set pixels into the plane a 64-bit word at a time: each
// plane word takes 64 mask bits moved down by the mask's bit offset within the plane byte.
// Every level gives bit-identical planes; tests run each level against the pixel rule.
#pragma once

#include <cstdint>

#include <vexa/collision_mask.h>

#include "base/simd_level.h"

namespace vexa {

// An inclusive rectangle of plane pixels.
struct MapBox {
  std::int64_t left, top, right, bottom;
  bool Empty() const { return left > right || top > bottom; }
};

// How one stamp covers a plane row: `words` 64-bit words from plane byte `firstByte`, the
// first and last cut to the clipped columns; word k takes the mask bits from byte
// `sourceByte` + 8 k of the mask row (-1 at most: the row's first column may lie up to 7 bits
// left of the byte), moved down by `shift` bits. When the last word would pass the plane
// row's end (`partialLast`) it is written byte by byte.
struct RowStamp {
  std::int64_t firstByte, words, sourceByte;
  std::uint64_t firstSpan, lastSpan;
  int shift;
  bool partialLast;
  std::int64_t lastBytes;  // bytes of the last word inside the row
  std::uint64_t spans[6];  // word k's cut, for up to 6 words: the first and last spans
};

// The rows top..bottom of a plane (`rowBytes` bytes a row) under a stamp whose mask row 0
// lies on plane row `py`.
using StampRowsFn = void (*)(std::uint8_t* plane, std::int64_t rowBytes, std::int64_t top,
                             std::int64_t bottom, std::int64_t py, const CollisionMask* mask,
                             const RowStamp& stamp);

struct MapStampKernels {
  StampRowsFn clear;  // clears the mask's set pixels
  StampRowsFn set;    // sets them
};

// Stamps `mask`, its pixel (0, 0) on plane pixel (px, py), into the part `box` of a plane
// (already met with the mask's extent and the clip; not empty), setting or clearing.
void StampMaskRows(const MapStampKernels& kernels, std::uint8_t* plane, int rowBytes,
                   const MapBox& box, std::int64_t px, std::int64_t py, const CollisionMask* mask,
                   bool set);

// The kernels of a level (levels the processor lacks give the highest one it has).
const MapStampKernels& MapStampKernelsAt(SimdLevel level);
// The kernels of the active SIMD level, bound once.
const MapStampKernels& ActiveMapStampKernels();

// The tables of the vector levels, made in the files built with their instruction sets.
MapStampKernels MapStampKernelsSse2();
MapStampKernels MapStampKernelsAvx2();

}  // namespace vexa
