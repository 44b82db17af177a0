// Small helpers that the stretch and rotation operations share: scoped locks, temporary
// surfaces, and the plain stand-in for a source with private pixel routines.
#pragma once

#include <cstdint>

#include <vexa/surface_implementation.h>

namespace vexa {

// Locks two surfaces (first, then second) for the length of a scope; a failed second lock
// releases the first. The same surface may be given twice.
class StretchLocks {
 public:
  StretchLocks(cSurfaceImplementation* first, cSurfaceImplementation* second);
  ~StretchLocks();
  StretchLocks(const StretchLocks&) = delete;
  StretchLocks& operator=(const StretchLocks&) = delete;
  bool locked() const { return locked_; }

 private:
  cSurfaceImplementation* first_;
  cSurfaceImplementation* second_;
  bool locked_ = false;
};

// A temporary implementation deleted on every path.
class TemporarySurface {
 public:
  explicit TemporarySurface(cSurfaceImplementation* surface) : surface_(surface) {}
  ~TemporarySurface() { DeleteImplementation(surface_); }
  TemporarySurface(const TemporarySurface&) = delete;
  TemporarySurface& operator=(const TemporarySurface&) = delete;
  cSurfaceImplementation* get() const { return surface_; }
  cSurfaceImplementation* operator->() const { return surface_; }
  explicit operator bool() const { return surface_ != nullptr; }

 private:
  cSurfaceImplementation* surface_;
};

// Surfaces with private pixel routines (image-bank surfaces in run-length form) keep pixels
// that cannot be read directly: the operations read a plain copy of the rectangle instead,
// made with CreateCompatible and an opaque blit that also copies the alpha plane. Null when
// the copy cannot be made.
cSurfaceImplementation* MakePlainCopy(cSurfaceImplementation* source, int x, int y, int width,
                                      int height);

// Writes the raw pixel value into every pixel of the surface (already locked).
void FillRaw(PixelDescriptor& surface, std::uint32_t value);

}  // namespace vexa
