// cImageSurface and cSaveBufferSurface: the class behaviour. Building a cImageSurface over a
// bank entry is image_surface_factory.cpp.
#include <vexa/image_surface.h>

#include <new>

#include <vexa/memory.h>

#include "bank/mask/mask_runlength.h"
#include "pixels/kernels/run_length_form.h"
#include "pixels/pixel_format.h"
#include "pixels/pixel_routine_tables.h"
#include "surface/buffer_surface_storage.h"
#include "surface/surface_lifetime.h"

cImageSurface::cImageSurface() = default;

cImageSurface::~cImageSurface() {
  if (ownsBlock) {
    void* block = storage;
    FreeBlockAndClear(&block);
  }
  ownsBlock = 0;
  storage = firstRow = nullptr;
  ReleaseBaseResources();
}

cSurfaceImplementation* cImageSurface::Destroy(unsigned destroyFlags) {
  this->cImageSurface::~cImageSurface();
  return vexa::FreeDestroyed(this, destroyFlags);
}

cSurfaceImplementation* cImageSurface::CreateCompatible(int newWidth, int newHeight) {
  vexa::RowLayout layout;
  auto* created =
      vexa::NewCompatibleSurface<cImageSurface>(*this, newWidth, newHeight, depth, &layout);
  if (!created) return nullptr;
  // A copy holds plain pixels whatever form this surface reads.
  created->pixelRoutines = vexa::StandardPixelRoutines(formatIndex);
  created->bottomUp = 0;
  created->pitch = layout.stride;
  void* block = nullptr;
  if (!AllocBlock(&block, layout.bytes ? layout.bytes : 1)) {
    created->Delete();
    return nullptr;
  }
  created->storage = created->firstRow = static_cast<std::uint8_t*>(block);
  created->ownsBlock = 1;
  return created;
}

int cImageSurface::InitFormat(int) { return 0; }

int cImageSurface::HasCustomPixelRoutines() {
  return vexa::IsRunLengthTable(pixelRoutines) ? 1 : 0;
}

int cImageSurface::BuildMask(CollisionMask* mask, std::uint32_t maskFlags) {
  if (!vexa::IsRunLengthTable(pixelRoutines))
    return cSurfaceImplementation::BuildMask(mask, maskFlags);
  if (!firstRow) return 0;
  // The block's size field was checked against the entry when this surface was made.
  const std::uint32_t blockSize =
      static_cast<std::uint32_t>(firstRow[0]) | static_cast<std::uint32_t>(firstRow[1]) << 8 |
      static_cast<std::uint32_t>(firstRow[2]) << 16 | static_cast<std::uint32_t>(firstRow[3]) << 24;
  return vexa::BuildMaskFromRunLength(firstRow, blockSize, width, height, mask, maskFlags);
}

// ---- cSaveBufferSurface ----------------------------------------------------------------

cSaveBufferSurface::cSaveBufferSurface() = default;

cSaveBufferSurface::~cSaveBufferSurface() {
  storage = firstRow = nullptr;
  ReleaseBaseResources();
}

cSurfaceImplementation* cSaveBufferSurface::Destroy(unsigned destroyFlags) {
  this->cSaveBufferSurface::~cSaveBufferSurface();
  return vexa::FreeDestroyed(this, destroyFlags);
}

cSurfaceImplementation* cSaveBufferSurface::CreateCompatible(int, int) { return nullptr; }

int cSaveBufferSurface::AttachStorage(std::uint8_t* newFirstRow, int newWidth, int newHeight,
                                      int newPitch) {
  if (depth == 0 || newWidth < 0 || newHeight < 0 || newPitch == INT32_MIN) return 0;
  width = newWidth;
  height = newHeight;
  clipLeft = clipTop = 0;
  clipRight = newWidth;
  clipBottom = newHeight;
  pitch = newPitch;
  stride = newPitch < 0 ? -newPitch : newPitch;
  bottomUp = newPitch < 0 ? 1 : 0;
  storage = firstRow = newFirstRow;
  return 1;
}
