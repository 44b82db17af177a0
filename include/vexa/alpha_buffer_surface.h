// cAlphaBufferSurface: an 8-bit greyscale surface.
//
// Two uses: a view onto memory it does not own (above all the alpha plane of another surface,
// wrapped so that the renderer can work on the plane as on any 8-bit surface), and a
// stand-alone 8-bit surface with its own storage made by CreateCompatible. Its palette is
// always the library's shared grey palette (entry i = (i, i, i)), so a pixel's index is its
// grey level. A view must not outlive the memory it shows.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/surface_implementation.h>

class VEXA_API cAlphaBufferSurface : public cSurfaceImplementation {
 public:
  // Unformatted, without storage.
  cAlphaBufferSurface();
  // A view on width x height bytes whose row 0 is at `firstRow`, rows `pitch` bytes apart (a
  // negative pitch: rows go upwards in memory).
  cAlphaBufferSurface(std::uint8_t* firstRow, int width, int height, int pitch);

  cSurfaceImplementation* Destroy(unsigned flags) override;
  // A new grey surface with its own storage; null when the size is negative or too large or
  // memory runs out.
  cSurfaceImplementation* CreateCompatible(int width, int height) override;
  // Views cannot be given storage: always 0.
  int Create(int width, int height) override;

  // Nonzero when `storage` was allocated by this surface and is freed with it.
  std::int32_t ownsStorage = 0;

 protected:
  ~cAlphaBufferSurface();
};
