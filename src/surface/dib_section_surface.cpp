// cDIBSectionSurface and cDIBDCSurface as bottom-up memory surfaces.
//
// FIXME: the section's pixels come from the library's block allocator, zero-filled as a new
// section is; the device-surface work replaces that block by a platform DIB section (with
// the colour table or bit-field masks of the header and the memory device context of
// cDIBDCSurface) and adds the device-context operations.
#include <vexa/dib_section_surface.h>

#include <new>

#include "surface/buffer_surface_storage.h"
#include "surface/surface_lifetime.h"

namespace {

constexpr DWORD kInfoHeaderSize = sizeof(BITMAPINFOHEADER);

// Bits per pixel as a bitmap header gives them: depth 15 is stored in 16 bits.
WORD HeaderBitCount(int depth) { return static_cast<WORD>(depth == 15 ? 16 : depth); }

}  // namespace

cDIBSectionSurface::cDIBSectionSurface() = default;

cDIBSectionSurface::~cDIBSectionSurface() {
  vexa::FreeStorageBlock(&storage);
  firstRow = nullptr;
  ReleaseBaseResources();
}

cSurfaceImplementation* cDIBSectionSurface::Destroy(unsigned destroyFlags) {
  this->cDIBSectionSurface::~cDIBSectionSurface();
  return vexa::FreeDestroyed(this, destroyFlags);
}

int cDIBSectionSurface::InitFormat(int newDepth) {
  const int formatted = cSurfaceImplementation::InitFormat(newDepth);
  bottomUp = 1;
  bitmapHeader.biSize = kInfoHeaderSize;
  bitmapHeader.biPlanes = 1;
  bitmapHeader.biBitCount = HeaderBitCount(depth);
  return formatted;
}

cSurfaceImplementation* cDIBSectionSurface::CreateCompatible(int newWidth, int newHeight) {
  return FillCompatible(new (std::nothrow) cDIBSectionSurface(), newWidth, newHeight);
}

cSurfaceImplementation* cDIBSectionSurface::FillCompatible(cDIBSectionSurface* created,
                                                          int newWidth, int newHeight) {
  if (!created) return nullptr;
  vexa::RowLayout layout;
  const bool sized = depth != 0 && newWidth >= 1 && newHeight >= 1 &&
                     vexa::ComputeRowLayout(newWidth, newHeight, bitmapHeader.biBitCount, &layout);
  InitCompatible(created, this, newWidth, newHeight, layout.stride);
  vexa::AlignedBlock block;
  if (!sized || !vexa::AllocateAligned(layout.bytes, 0, true, &block)) {
    created->Delete();
    return nullptr;
  }
  created->bitmapHeader = bitmapHeader;
  created->bitmapHeader.biWidth = newWidth;
  created->bitmapHeader.biHeight = newHeight;
  created->bitmapHeader.biSizeImage = static_cast<DWORD>(layout.bytes);
  // Rows are bottom-up whatever the prototype says: row 0 is the last row of the block.
  created->bottomUp = 1;
  created->pitch = -layout.stride;
  created->storage = block.block;
  created->firstRow = block.block + static_cast<std::ptrdiff_t>(newHeight - 1) * layout.stride;
  return created;
}

int cDIBSectionSurface::GetKind() { return kKindDIBSection; }

int cDIBSectionSurface::SetDeviceOrigin(int x, int y) {
  deviceOriginX = x;
  deviceOriginY = y;
  return 1;
}

std::uint32_t cDIBSectionSurface::GetDeviceOrigin() {
  return static_cast<std::uint32_t>(static_cast<std::uint16_t>(deviceOriginY)) << 16 |
         static_cast<std::uint16_t>(deviceOriginX);
}

int cDIBSectionSurface::HandlesOrigin() { return 1; }

int cDIBSectionSurface::SetWindow(HWND newWindow) {
  window = newWindow;
  return 1;
}

cDIBDCSurface::cDIBDCSurface() = default;

// Nothing of its own to release yet; the section's destructor does the rest.
cDIBDCSurface::~cDIBDCSurface() = default;

cSurfaceImplementation* cDIBDCSurface::Destroy(unsigned destroyFlags) {
  this->cDIBDCSurface::~cDIBDCSurface();
  return vexa::FreeDestroyed(this, destroyFlags);
}

cSurfaceImplementation* cDIBDCSurface::CreateCompatible(int newWidth, int newHeight) {
  return FillCompatible(new (std::nothrow) cDIBDCSurface(), newWidth, newHeight);
}

int cDIBDCSurface::GetKind() { return kKindDIBSectionDC; }
