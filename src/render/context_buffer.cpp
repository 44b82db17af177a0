// A memory surface over a DIB section of the device interface.
#include "render/context_buffer.h"

#include <new>

#include <vexa/palette.h>

#include "pixels/pixel_format.h"
#include "platform/gdi/gdi.h"

namespace vexa {
namespace {

// Bitmap information with room for a full colour table or three masks.
struct SectionInfo {
  BITMAPINFOHEADER header{};
  std::uint32_t table[256]{};
};

}  // namespace

cContextBufferSurface* cContextBufferSurface::Make(const cSurfaceImplementation* like, int width,
                                                   int height) {
  if (!like || width < 1 || height < 1) return nullptr;
  const int depth = like->depth;
  if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32) return nullptr;
  auto* made = new (std::nothrow) cContextBufferSurface();
  if (!made) return nullptr;
  const int stride = static_cast<int>(StrideOf(width, depth));
  InitCompatible(made, like, width, height, stride);
  made->bottomUp = 0;
  made->pitch = stride;
  made->pixelRoutines = StandardPixelRoutines(made->formatIndex);

  SectionInfo info;
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = -height;  // top-down
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(depth == 15 ? 16 : depth);
  if (depth == 16) {
    info.header.biCompression = plat::BI_BITFIELDS;
    info.table[0] = 0xF800;
    info.table[1] = 0x7E0;
    info.table[2] = 0x1F;
  }
  made->dc_ = plat::CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  made->bitmap_ = made->dc_
                      ? plat::CreateDIBSection(made->dc_, reinterpret_cast<BITMAPINFO*>(&info),
                                               plat::DIB_RGB_COLORS, &bits, nullptr, 0)
                      : nullptr;
  if (!made->bitmap_ || !bits) {
    made->Destroy(1);
    return nullptr;
  }
  made->previous_ = plat::SelectObject(made->dc_, made->bitmap_);
  made->storage = made->firstRow = static_cast<std::uint8_t*>(bits);
  made->SyncColourTable();
  return made;
}

cContextBufferSurface::~cContextBufferSurface() {
  if (dc_ && previous_) plat::SelectObject(dc_, previous_);
  if (bitmap_) plat::DeleteObject(bitmap_);
  if (dc_) plat::DeleteDC(dc_);
  ReleaseBaseResources();
}

cSurfaceImplementation* cContextBufferSurface::Destroy(unsigned flags) {
  this->cContextBufferSurface::~cContextBufferSurface();
  if (flags & 1) ::operator delete(this);
  return this;
}

cSurfaceImplementation* cContextBufferSurface::CreateCompatible(int width, int height) {
  return Make(this, width, height);
}

int cContextBufferSurface::GetKind() { return kKindDIBSectionDC; }
HDC cContextBufferSurface::GetDC() { return dc_; }
void cContextBufferSurface::ReleaseDC(HDC) {}

int cContextBufferSurface::SetPalette(PaletteObject* newPalette, int remap) {
  const int result = cSurfaceImplementation::SetPalette(newPalette, remap);
  SyncColourTable();
  return result;
}

void cContextBufferSurface::SyncColourTable() {
  if (depth != 8 || !palette || !dc_) return;
  RGBQUAD colours[256];
  for (int i = 0; i < 256; ++i) {
    const PALETTEENTRY& e = palette->entries[i];
    colours[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
  }
  plat::SetDIBColorTable(dc_, 0, 256, colours);
}

}  // namespace vexa
