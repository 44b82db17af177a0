// Scans behind GetOpaqueBounds, IsAllOpaque and IsAllTransparent: which pixels of a row are
// transparent (equal to the transparent value, or with an alpha byte of 0), and access to
// plain pixels for surfaces whose pixels are held by custom routines.
#pragma once

#include <cstdint>
#include <cstring>

#include <vexa/surface_implementation.h>

namespace vexa {

// What a scan looks at: the alpha plane when the surface has one, else the pixels compared
// with the transparent value.
struct OpaqueScan {
  const std::uint8_t* firstRow;
  std::int32_t pitch;
  std::int32_t bytesPerPixel;  // 1 for the alpha plane
  std::uint32_t transparent;   // the value that counts as transparent
  std::int32_t width;
  std::int32_t height;

  const std::uint8_t* Row(int y) const { return firstRow + static_cast<std::ptrdiff_t>(y) * pitch; }
  std::uint32_t At(const std::uint8_t* row, int x) const {
    std::uint32_t v = 0;
    std::memcpy(&v, row + x * bytesPerPixel, static_cast<std::size_t>(bytesPerPixel));
    return v;
  }
  // First and last opaque column of row y; false when the row has none.
  bool RowExtent(int y, int* first, int* last) const {
    const std::uint8_t* row = Row(y);
    int x = 0;
    while (x < width && At(row, x) == transparent) ++x;
    if (x == width) return false;
    int end = width - 1;
    while (At(row, end) == transparent) --end;
    *first = x;
    *last = end;
    return true;
  }
  bool RowAllTransparent(int y) const {
    const std::uint8_t* row = Row(y);
    for (int x = 0; x < width; ++x)
      if (At(row, x) != transparent) return false;
    return true;
  }
  bool RowAllOpaque(int y) const {
    const std::uint8_t* row = Row(y);
    for (int x = 0; x < width; ++x)
      if (At(row, x) == transparent) return false;
    return true;
  }
};

// Runs `scan(const OpaqueScan&)` over the surface and answers its result; 0 when the pixels
// cannot be read. The alpha plane needs no lock; pixels are read under Lock, and pixels held
// by custom routines (run-length images, driver surfaces) through a plain compatible copy
// made with the surface's own opaque-copy routine.
template <class Scan>
int ScanOpacity(cSurfaceImplementation* s, Scan&& scan) {
  if (s->alphaFirstRow)
    return scan(OpaqueScan{s->alphaFirstRow, s->alphaPitch, 1, 0, s->width, s->height});
  if (!s->pixelRoutines || s->depth == 0) return 0;
  // Compare only the stored bytes: a 24-bit transparent value has no fourth byte.
  const std::uint32_t key = s->bytesPerPixel == 4
                                ? s->transparentValue
                                : s->transparentValue & ((1u << (8 * s->bytesPerPixel)) - 1);
  if (!s->HasCustomPixelRoutines()) {
    if (!s->Lock()) return 0;
    const int result =
        scan(OpaqueScan{s->firstRow, s->pitch, s->bytesPerPixel, key, s->width, s->height});
    s->Unlock();
    return result;
  }
  if (!s->pixelRoutines->copyOpaque) return 0;
  cSurfaceImplementation* copy = s->CreateCompatible(s->width, s->height);
  if (!copy) return 0;
  int result = 0;
  if (!copy->HasCustomPixelRoutines() && copy->Lock()) {
    if (s->Lock()) {
      s->pixelRoutines->copyOpaque(copy, 0, 0, s, 0, 0, s->width, s->height);
      s->Unlock();
      result = scan(
          OpaqueScan{copy->firstRow, copy->pitch, copy->bytesPerPixel, key, s->width, s->height});
    }
    copy->Unlock();
  }
  copy->Delete();
  return result;
}

}  // namespace vexa
