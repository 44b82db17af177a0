// Building the collision mask of a surface (the surface operation BuildMask).
#pragma once

#include <cstdint>

#include <vexa/collision_mask.h>
#include <vexa/surface_implementation.h>

#include "bank/mask/mask_kernels.h"

namespace vexa {

// BuildMask with the kernels of one vector level. A pixel is solid when its alpha byte is not
// 0 (surfaces with an alpha plane), otherwise when it differs from the transparent pixel value:
// as an index at 8 bits, a 16-bit value at 15 and 16, three bytes at 24, the whole 32-bit value
// at 32. Returns the mask's size (44 + height x rowBytes; with a null mask only the size), or
// 0 when the surface cannot be locked, has no pixel format, or the working rows cannot be
// allocated.
int BuildSurfaceMask(cSurfaceImplementation& surface, CollisionMask* mask, std::uint32_t flags,
                     const MaskKernels& kernels);

}  // namespace vexa
