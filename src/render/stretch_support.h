// Small helpers that the stretch and rotation operations share, beside the scope helpers of
// surface_scope.h.
#pragma once

#include <cstdint>

#include <vexa/surface_implementation.h>

#include "render/surface_scope.h"

namespace vexa {

// Writes the raw pixel value into every pixel of the surface (already locked).
void FillRaw(PixelDescriptor& surface, std::uint32_t value);

}  // namespace vexa
