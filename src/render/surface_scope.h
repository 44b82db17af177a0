// Scope helpers of the operations that work on two surfaces at once (blit, stretch, rotate):
// locks held for a scope, temporary surfaces deleted on every path, and the plain copy that
// stands in for a source whose pixels cannot be read directly.
#pragma once

#include <vexa/surface_implementation.h>

namespace vexa {

// Locks two surfaces (first, then second) for the length of a scope; a failed second lock
// releases the first. The same surface may be given twice.
class SurfaceLocks {
 public:
  SurfaceLocks(cSurfaceImplementation* first, cSurfaceImplementation* second)
      : first_(first), second_(second) {
    if (!first_->Lock()) return;
    if (!second_->Lock()) {
      first_->Unlock();
      return;
    }
    locked_ = true;
  }
  ~SurfaceLocks() {
    if (!locked_) return;
    second_->Unlock();
    first_->Unlock();
  }
  SurfaceLocks(const SurfaceLocks&) = delete;
  SurfaceLocks& operator=(const SurfaceLocks&) = delete;
  bool locked() const { return locked_; }

 private:
  cSurfaceImplementation* first_;
  cSurfaceImplementation* second_;
  bool locked_ = false;
};

// A temporary implementation deleted on every path (null is allowed).
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
// that cannot be read directly: operations read a plain copy of the rectangle instead, made
// with CreateCompatible and an opaque blit that also copies the alpha plane. Null when the
// copy cannot be made.
cSurfaceImplementation* MakePlainCopy(cSurfaceImplementation* source, int x, int y, int width,
                                      int height);

}  // namespace vexa
