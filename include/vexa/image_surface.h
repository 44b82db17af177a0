// Surface implementations of the image bank.
//
// cImageSurface: a surface over one bank image. Over a plain image it uses the entry's pixels
// in place (rows top first with the bank's row sizes, the alpha plane beside them) and never
// frees them; over a compressed image it holds a private decompressed copy that it owns; over
// a run-length image it points at the run-length block and uses the run-length pixel routines,
// which can only draw it as a source (HasCustomPixelRoutines answers 1, and operations that
// need plain pixels work on a plain copy). The surface does not own or reference the entry:
// it must not outlive it.
//
// cSaveBufferSurface: a surface whose storage is always supplied from outside (AttachStorage);
// it never frees it and cannot make compatible surfaces.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/surface_implementation.h>

class VEXA_API cImageSurface : public cSurfaceImplementation {
 public:
  cImageSurface();

  cSurfaceImplementation* Destroy(unsigned flags) override;
  // A new cImageSurface of this depth, palette and colour key owning a fresh, uninitialised
  // block with rows padded to 32 bits and the standard pixel routines; null on failure.
  cSurfaceImplementation* CreateCompatible(int width, int height) override;
  // Refused: an image surface takes its format from its image. Returns 0.
  int InitFormat(int depth) override;
  // 1 over a run-length image.
  int HasCustomPixelRoutines() override;
  // Over a run-length image the mask is built from the run-length block; otherwise as for any
  // surface.
  int BuildMask(CollisionMask* mask, std::uint32_t flags) override;

  // Nonzero when `storage` is a block this surface allocated and frees.
  std::int32_t ownsBlock = 0;

 protected:
  ~cImageSurface();
};

class VEXA_API cSaveBufferSurface : public cSurfaceImplementation {
 public:
  cSaveBufferSurface();

  cSurfaceImplementation* Destroy(unsigned flags) override;
  // Always null: the storage of a save buffer comes from outside.
  cSurfaceImplementation* CreateCompatible(int width, int height) override;

  // Points the surface, formatted beforehand (InitFormat or SetPixelFormat), at `width` x
  // `height` pixels whose row 0 is at `firstRow`, rows `pitch` bytes apart (negative: rows go
  // upwards in memory). Resets the clip rectangle. 0 when unformatted or the size is negative.
  int AttachStorage(std::uint8_t* firstRow, int width, int height, int pitch);

 protected:
  ~cSaveBufferSurface();
};
