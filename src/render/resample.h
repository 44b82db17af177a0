// The smooth resampler: a separable two-pass filter (horizontal, then vertical) on 24-bit
// colour with the 16.16 weights of ResampleWeights.
//
// Each pass reads its source a row at a time as working pixels 0x00RRGGBB (a surface of
// another depth is widened first: palette colours at 8 bits, shifted fields at 15 and 16
// bits) and writes its result back in the target's format (nearest palette index at 8
// bits; shifted fields at 15 and 16 bits, where a nonzero colour that would narrow to 0 is
// stored as 1). Between the passes the image lives in the source's format, exactly as it
// would in a temporary surface compatible with the source.
//
// Transparency-aware passes leave transparent source pixels out of the average: a pixel is
// transparent when its alpha byte is 0 (a source with an alpha plane) or its colour equals
// the transparent colour. With transparent weight Wt and opaque weight Wo: Wt = 0 gives the
// plain result, Wo < Wt gives the transparent colour, otherwise each channel is
// min(sum / Wo, 255) with the opaque pixels' sum (started at 0x8000).
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/pixel_routines.h>
#include <vexa/wintypes.h>

class cSurfaceImplementation;

namespace vexa {

// The resampler as an operation of its own (thumbnails, icons): the source rectangle onto the
// whole (0, 0)-(targetWidth, targetHeight) of the target; equal sizes are a plain opaque
// blit. Returns 1 when drawn; 0 for a null surface, a source rectangle not wholly inside the
// source, a target size that is not positive or larger than the target, a failed lock, or
// memory that runs out (nothing is drawn then).
int ResampleSurface(cSurfaceImplementation* source, int sourceX, int sourceY, int sourceWidth,
                    int sourceHeight, cSurfaceImplementation* target, int targetWidth,
                    int targetHeight, int transparencyAware, COLORREF transparentColor);

// The part of a targetWidth x targetHeight result that is computed: `width` x `height` pixels
// from column `left` and row `top`. The target receives it at its own (0, 0); each pixel is
// exactly the one the whole result has there. Callers that draw large results through a
// small clip rectangle compute the visible window only.
struct ResampleWindow {
  int left, top, width, height;
};

// Resamples the source rectangle (sourceX, sourceY, sourceWidth x sourceHeight) of a locked
// surface onto (0, 0)-(targetWidth, targetHeight) of a locked target, which may be a view
// into a larger surface. Equal sizes copy the rows (converting when the depths differ). False,
// with nothing drawn, when a weight table or the intermediate image cannot be allocated.
bool ResamplePixels(const PixelDescriptor& source, int sourceX, int sourceY, int sourceWidth,
                    int sourceHeight, PixelDescriptor& target, int targetWidth, int targetHeight,
                    bool transparencyAware, COLORREF transparentColor);
// The same for a window of the result (false as well for a window outside it).
bool ResamplePixels(const PixelDescriptor& source, int sourceX, int sourceY, int sourceWidth,
                    int sourceHeight, PixelDescriptor& target, int targetWidth, int targetHeight,
                    const ResampleWindow& window, bool transparencyAware,
                    COLORREF transparentColor);

// The same filter on an 8-bit plane (alpha planes), not transparency-aware: `source` and
// `target` address the rectangles' first bytes, rows `pitch` bytes apart.
bool ResamplePlane(const std::uint8_t* source, std::ptrdiff_t sourcePitch, int sourceWidth,
                   int sourceHeight, std::uint8_t* target, std::ptrdiff_t targetPitch,
                   int targetWidth, int targetHeight);
// The same for a window of the result; `target` addresses the window's first byte.
bool ResamplePlane(const std::uint8_t* source, std::ptrdiff_t sourcePitch, int sourceWidth,
                   int sourceHeight, std::uint8_t* target, std::ptrdiff_t targetPitch,
                   int targetWidth, int targetHeight, const ResampleWindow& window);

}  // namespace vexa
