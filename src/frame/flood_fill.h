// The scanline seed fill behind cSurfaceObject::FloodFill.
//
// One routine, templated on how pixels are tested and painted: the generic form goes through
// the implementation's virtual pixel operations on every test, the direct form reads and
// writes the storage of the library's own memory surfaces. Both run the same segment walk,
// so they push, pop and drop segments in the same order and paint the same pixels.
#pragma once

#include <cstdint>

#include <vexa/surface_implementation.h>

#include "surface/direct_pixels.h"

namespace vexa {

// Segments the walk can hold at once; further pushes are dropped and the fill may stay
// incomplete.
inline constexpr int kFloodStackCapacity = 10000;

struct FloodFillRequest {
  cSurfaceImplementation* surface = nullptr;  // read for the tolerance test
  cSurfaceImplementation* target = nullptr;   // painted; the surface itself or a temporary
  int seedX = 0;
  int seedY = 0;
  COLORREF seedColour = 0;
  COLORREF fillColour = 0;      // what a pixel read returns after the write
  std::uint32_t fillIndex = 0;  // 8 bits: the palette index written
  int tolerance = 0;
  bool allowDirect = true;  // false forces the virtual-call form (tests compare both)
};

// Painted box in surface coordinates, inclusive.
struct FloodBox {
  int left, top, right, bottom;
};

// Runs the walk from the seed; 0 when the segment stack cannot be allocated (nothing is
// painted then), else 1. `box` starts as the seed and grows with every painted pixel.
int RunFloodFill(const FloodFillRequest& request, FloodBox* box);

}  // namespace vexa
