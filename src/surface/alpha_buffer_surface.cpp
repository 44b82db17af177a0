// cAlphaBufferSurface: views on foreign memory, and owned blocks of stride x height + 8
// bytes whose row 0 is the block's first 8-byte boundary.
#include <vexa/alpha_buffer_surface.h>

#include <new>

#include "palette/grey_palette.h"
#include "surface/buffer_surface_storage.h"
#include "surface/surface_lifetime.h"

namespace {

constexpr std::size_t kAlignmentSpare = 8;

}  // namespace

cAlphaBufferSurface::cAlphaBufferSurface() = default;

cAlphaBufferSurface::cAlphaBufferSurface(std::uint8_t* viewFirstRow, int viewWidth, int viewHeight,
                                         int viewPitch) {
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
  return vexa::FreeDestroyed(this, destroyFlags);
}

cSurfaceImplementation* cAlphaBufferSurface::CreateCompatible(int newWidth, int newHeight) {
  vexa::RowLayout layout;
  auto* created =
      vexa::NewCompatibleSurface<cAlphaBufferSurface>(*this, newWidth, newHeight, 8, &layout);
  if (!created) return nullptr;
  // An owned block is top-down even when this surface is a bottom-up view.
  created->pitch = layout.stride;
  created->bottomUp = 0;
  if (!vexa::AttachAlignedRows(created, layout, kAlignmentSpare)) return nullptr;
  created->ownsStorage = 1;
  return created;
}

int cAlphaBufferSurface::Create(int, int) { return 0; }
