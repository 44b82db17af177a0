// cContextBufferSurface: a top-down memory surface whose pixels are a DIB section of the
// device interface, with its own memory context. The styled primitives draw their masks on
// it with pens and brushes and fill it with fill styles that paint through a context.
#pragma once

#include <vexa/surface_implementation.h>

namespace vexa {

class cContextBufferSurface : public cSurfaceImplementation {
 public:
  // width x height in the format (and, at 8 bits, the palette) of `like`; null when the
  // format has no section form or memory runs out.
  static cContextBufferSurface* Make(const cSurfaceImplementation* like, int width, int height);

  cSurfaceImplementation* Destroy(unsigned flags) override;
  cSurfaceImplementation* CreateCompatible(int width, int height) override;
  int GetKind() override;
  HDC GetDC() override;
  void ReleaseDC(HDC dc) override;
  // Palette changes reach the section's colour table too.
  int SetPalette(PaletteObject* palette, int remap) override;

 private:
  cContextBufferSurface() = default;
  ~cContextBufferSurface();
  void SyncColourTable();

  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

}  // namespace vexa
