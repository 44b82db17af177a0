// Stretch flags of StretchBlit, and the smooth resampler on its own.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/wintypes.h>

class cSurfaceImplementation;

// Use the smooth resampler instead of nearest-pixel scaling.
inline constexpr std::uint32_t kStretchResample = 1;
// Use the smooth resampler and leave transparent source pixels out of the average.
inline constexpr std::uint32_t kStretchResampleTransparent = 2;
// Also scale the source's alpha plane onto the destination's.
inline constexpr std::uint32_t kStretchCopyAlpha = 4;

// Resamples the source rectangle onto the whole (0, 0)-(targetWidth, targetHeight) of the
// target with the smooth resampler (a separable filter on 24-bit colour with 16.16 weights;
// equal sizes are a plain opaque blit). With `transparencyAware`, source pixels whose colour
// is `transparentColour` (or, on a source with an alpha plane, whose alpha is 0) are left out
// of the average, and a destination pixel covered mostly by them gets that colour. Returns 1
// when drawn; 0 for a null surface, a source rectangle not wholly inside the source, a target
// size that is not positive or larger than the target, a failed lock, or memory that runs out
// (nothing is drawn then).
VEXA_API int ResampleSurface(cSurfaceImplementation* source, int sourceX, int sourceY,
                             int sourceWidth, int sourceHeight, cSurfaceImplementation* target,
                             int targetWidth, int targetHeight, int transparencyAware,
                             COLORREF transparentColour);
