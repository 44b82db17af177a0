// Reading the bitmap-information record that a cDIBSurface wraps.
//
// The record comes from the caller and may be anything; the surface only knows where it
// starts. Everything the surface will address is derived here and checked first, so that a
// header that is accepted never leads a surface to read outside the block the header itself
// describes: the colour table holds at most 256 entries, the sizes are positive and the
// rows fit in kMaxSurfaceBytes, and a non-zero image size field must cover all rows.
#pragma once

#include <cstddef>

#include <vexa/wintypes.h>

namespace vexa {

struct DibLayout {
  int depth = 0;  // 8, 15, 16, 24 or 32
  int width = 0;
  int height = 0;        // always positive
  bool topDown = false;  // the header height was negative
  int stride = 0;
  int colorCount = 0;           // entries in the colour table (8-bit only)
  std::size_t tableOffset = 0;  // where the colour table follows the header (and masks)
  std::size_t bitsOffset = 0;   // where the bits follow the record when no address is given
};

// The layout of an acceptable header; false for any header the surface leaves unformatted.
bool ReadDibLayout(const BITMAPINFO* info, DibLayout* layout);

}  // namespace vexa
