// cBufferSurface: the ordinary off-screen surface, kept in plain memory.
//
// The class of the memory prototypes: a prototype is formatted but has no storage, and every
// surface callers draw on is made from it by CreateCompatible or given storage by Create.
// Rows are top-down, each stride a multiple of 4 bytes, and row 0 starts on an 8-byte
// boundary (the renderer's kernels rely on both). An 8-bit buffer holds a counted reference
// to its palette. All drawing is the generic work of cSurfaceImplementation.
#pragma once

#include <vexa/export.h>
#include <vexa/surface_implementation.h>

class VEXA_API cBufferSurface : public cSurfaceImplementation {
 public:
  // Unformatted and without storage.
  cBufferSurface();

  cSurfaceImplementation* Destroy(unsigned flags) override;
  // A new buffer of this format, palette and colour key with its own storage; null when the
  // size is negative or too large or memory runs out.
  cSurfaceImplementation* CreateCompatible(int width, int height) override;
  // Replaces the storage by a block for width x height; 0 (old contents kept) on failure.
  // Drops the alpha plane, which no longer fits.
  int Create(int width, int height) override;
  // stride x height bytes from or to an open file; 1 on success.
  int ReadPixels(HFILE file) override;
  int WritePixels(HFILE file) override;

 protected:
  ~cBufferSurface();
};
