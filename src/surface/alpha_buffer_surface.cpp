// cAlphaBufferSurface: views on foreign memory, and owned blocks of stride x height + 8
// bytes whose row 0 is the block's first 8-byte boundary.
#include <vexa/alpha_buffer_surface.h>

#include <new>

#include "surface/buffer_surface_storage.h"
#include "palette/grey_palette.h"

namespace {

constexpr std::size_t kAlignmentSpare = 8;

}  // namespace

cAlphaBufferSurface::cAlphaBufferSurface() = default;

cAlphaBufferSurface::cAlphaBufferSurface(std::uint8_t* viewFirstRow, int viewWidth,
                                         int viewHeight, int viewPitch) {
  SetPixelFormat(8);
  palette = AddPaletteRef(vexa::SharedGreyPalette());
  width = viewWidth;
  height = viewHeight;
  stride = viewPitch < 0 ? -viewPitch : viewPitch;
  pitch = viewPitch;
  bottomUp = viewPitch < 0 ? 1 : 0;
  storage = firstRow = viewFirstRow;
  ResetClipRect();
  transparentColor = transparentValue = 0;
}

cAlphaBufferSurface::~cAlphaBufferSurface() {
  if (ownsStorage) vexa::FreeStorageBlock(&storage);
  ownsStorage = 0;
  storage = firstRow = nullptr;
  ReleaseBaseResources();
}

cSurfaceImplementation* cAlphaBufferSurface::Destroy(unsigned destroyFlags) {
  this->cAlphaBufferSurface::~cAlphaBufferSurface();
  if (destroyFlags & 1) ::operator delete(this);
  return this;
}

cSurfaceImplementation* cAlphaBufferSurface::CreateCompatible(int newWidth, int newHeight) {
  vexa::RowLayout layout;
  if (depth == 0 || !vexa::ComputeRowLayout(newWidth, newHeight, 8, &layout)) return nullptr;
  auto* created = new (std::nothrow) cAlphaBufferSurface();
  if (!created) return nullptr;
  InitCompatible(created, this, newWidth, newHeight, layout.stride);
  // An owned block is top-down even when this surface is a bottom-up view.
  created->pitch = layout.stride;
  created->bottomUp = 0;
  vexa::AlignedBlock block;
  if (!vexa::AllocateAligned(layout.bytes, kAlignmentSpare, false, &block)) {
    created->Delete();
    return nullptr;
  }
  created->storage = block.block;
  created->firstRow = block.aligned;
  created->ownsStorage = 1;
  return created;
}

int cAlphaBufferSurface::Create(int, int) { return 0; }
