// cSurfaceObject's forwarding methods: each translates the coordinates that address a
// surface by that surface's origin and calls one operation of the implementation.
#include <vexa/surface_object.h>

#include <vexa/error_surface.h>
#include <vexa/palette.h>

#include "platform/palette/palette_handle.h"
#include "pixels/pixel_format.h"

namespace {

COLORREF PackRgb(BYTE r, BYTE g, BYTE b) { return r | (g << 8) | (b << 16); }

cSurfaceImplementation* ImplOf(cSurfaceObject* object) {
  return object ? object->implementation : nullptr;
}

}  // namespace

// ---- pixels ------------------------------------------------------------------------------

int cSurfaceObject::GetPixelValue(int x, int y, std::uint32_t* value) {
  return implementation->GetPixelValue(x - originX, y - originY, value);
}

int cSurfaceObject::GetPixelColor(int x, int y, COLORREF* colour) {
  return implementation->GetPixelColor(x - originX, y - originY, colour);
}

int cSurfaceObject::GetPixelRGB(int x, int y, BYTE* red, BYTE* green, BYTE* blue) {
  COLORREF colour = 0;
  if (!GetPixelColor(x, y, &colour)) return 0;
  if (red) *red = static_cast<BYTE>(colour);
  if (green) *green = static_cast<BYTE>(colour >> 8);
  if (blue) *blue = static_cast<BYTE>(colour >> 16);
  return 1;
}

void cSurfaceObject::SetPixelValue(int x, int y, std::uint32_t value) {
  implementation->SetPixelValue(x - originX, y - originY, value);
}

void cSurfaceObject::SetPixelColor(int x, int y, COLORREF colour) {
  implementation->SetPixelColor(x - originX, y - originY, colour);
}

void cSurfaceObject::SetPixelRGB(int x, int y, BYTE red, BYTE green, BYTE blue) {
  SetPixelColor(x, y, PackRgb(red, green, blue));
}

COLORREF cSurfaceObject::GetPixelFast(int x, int y) {
  const cSurfaceImplementation* s = implementation;
  if (!s->storage) {
    COLORREF colour = 0;
    GetPixelColor(x, y, &colour);
    return colour;
  }
  const std::uint8_t* p = s->PixelAddress(x, y);
  switch (s->depth) {
    case 8: {
      if (!s->palette) return 0;
      const PALETTEENTRY& e = s->palette->entries[*p];
      return PackRgb(e.peRed, e.peGreen, e.peBlue);
    }
    case 15:
      return vexa::ColorFrom555(p[0] | (p[1] << 8));
    case 16:
      return vexa::ColorFrom565(p[0] | (p[1] << 8));
    case 24:
    case 32:
      return PackRgb(p[2], p[1], p[0]);
    default:
      return 0;
  }
}

void cSurfaceObject::SetPixelFast(int x, int y, COLORREF colour) {
  cSurfaceImplementation* s = implementation;
  if (!s->storage || s->depth < 8 || s->depth > 32) return;
  std::uint8_t* p = s->PixelAddress(x, y);
  switch (s->depth) {
    case 8:
      *p = static_cast<std::uint8_t>(::GetNearestIndex(s->palette, colour));
      break;
    case 15:
    case 16: {
      const std::uint32_t v = s->depth == 15 ? vexa::ColorTo555(colour) : vexa::ColorTo565(colour);
      p[0] = static_cast<std::uint8_t>(v);
      p[1] = static_cast<std::uint8_t>(v >> 8);
      break;
    }
    case 24:
    case 32:
      p[0] = static_cast<std::uint8_t>(colour >> 16);
      p[1] = static_cast<std::uint8_t>(colour >> 8);
      p[2] = static_cast<std::uint8_t>(colour);
      break;
    default:
      break;
  }
}

void cSurfaceObject::SetPixelIndexFast(int x, int y, BYTE index) {
  cSurfaceImplementation* s = implementation;
  if (s->storage && s->depth == 8) *s->PixelAddress(x, y) = index;
}

std::uint8_t* cSurfaceObject::LockBits() {
  return implementation->Lock() ? implementation->firstRow : nullptr;
}
int cSurfaceObject::Lock() { return implementation->Lock(); }
void cSurfaceObject::Unlock() { implementation->Unlock(); }

// ---- clip rectangle and device context -----------------------------------------------------

void cSurfaceObject::GetClipRect(int* x, int* y, int* width, int* height) {
  int cx = 0, cy = 0;
  bool fill = x || y;
  implementation->GetClipRect(&cx, &cy, width, height);
  if (!fill) return;
  if (x) *x = cx + originX;
  if (y) *y = cy + originY;
}

void cSurfaceObject::GetClipRect(RECT* rect) {
  if (!rect) return;
  int x = 0, y = 0, w = 0, h = 0;
  implementation->GetClipRect(&x, &y, &w, &h);
  *rect = RECT{x + originX, y + originY, x + originX + w, y + originY + h};
}

void cSurfaceObject::SetClipRect(int x, int y, int width, int height) {
  implementation->SetClipRect(x - originX, y - originY, width, height);
}
void cSurfaceObject::ResetClipRect() { implementation->ResetClipRect(); }
HDC cSurfaceObject::GetDC() { return implementation->GetDC(); }
void cSurfaceObject::ReleaseDC(HDC dc) { implementation->ReleaseDC(dc); }

// ---- transparency -------------------------------------------------------------------------

void cSurfaceObject::SetTransparentColor(COLORREF colour) {
  if (colour == 0xFFFFFFFFu) {
    implementation->DriverHook73(1);
    return;
  }
  implementation->DriverHook73(0);
  implementation->SetTransparentColor(colour);
}
COLORREF cSurfaceObject::GetTransparentColor() { return implementation->GetTransparentColor(); }
std::uint32_t cSurfaceObject::GetTransparentValue() { return implementation->GetTransparentValue(); }

// ---- palette ------------------------------------------------------------------------------

int cSurfaceObject::SetPalette(PaletteObject* palette, int remap) {
  const int result = implementation->SetPalette(palette, remap);
  if (!result) lastError = kErrorNotSupported;
  return result;
}

int cSurfaceObject::SetPaletteEntries(const LOGPALETTE* record, int remap) {
  const int result = implementation->SetPaletteEntries(record, remap);
  if (!result) lastError = kErrorNotSupported;
  return result;
}

int cSurfaceObject::SetPaletteEntries(HPALETTE systemPalette, int remap) {
  LOGPALETTE256 record{};
  record.palVersion = 0x300;
  record.palNumEntries = 256;
  if (!systemPalette || plat::GetPaletteHandleEntries(systemPalette, 0, 256, record.palPalEntry) <= 0) {
    lastError = kErrorNotSupported;
    return 0;
  }
  return SetPaletteEntries(reinterpret_cast<const LOGPALETTE*>(&record), remap);
}

PaletteObject* cSurfaceObject::GetPalette() { return implementation->GetPalette(); }
int cSurfaceObject::GetPaletteEntries(PALETTEENTRY* out, int first, int count) {
  return implementation->GetPaletteEntries(out, first, count);
}
int cSurfaceObject::GetNearestIndex(COLORREF colour) { return implementation->GetNearestIndex(colour); }
COLORREF cSurfaceObject::GetPaletteColor(int index) { return implementation->GetPaletteColor(index); }
int cSurfaceObject::GetDarkestIndex() { return implementation->GetDarkestIndex(); }
void cSurfaceObject::RemapPixels(const std::uint8_t* table) { implementation->RemapPixels(table); }

// ---- alpha plane --------------------------------------------------------------------------

std::uint8_t* cSurfaceObject::CreateAlpha() { return implementation->CreateAlpha(); }
void cSurfaceObject::AttachAlpha(std::uint8_t* firstRow, int pitch) {
  implementation->AttachAlpha(firstRow, pitch);
}
std::uint8_t* cSurfaceObject::DetachAlpha(int* pitch) { return implementation->DetachAlpha(pitch); }
int cSurfaceObject::SetAlphaFromBuffer(const std::uint8_t* source, int sourcePitch) {
  return implementation->SetAlphaFromBuffer(source, sourcePitch);
}
cSurfaceObject* cSurfaceObject::GetAlphaSurface() { return implementation->GetAlphaSurface(); }
void cSurfaceObject::PremultiplyAlpha() { implementation->PremultiplyAlpha(); }
void cSurfaceObject::DemultiplyAlpha() { implementation->DemultiplyAlpha(); }

// ---- display mode -------------------------------------------------------------------------

void cSurfaceObject::EnumDisplayModes(DisplayModeCallback callback, void* userValue) {
  implementation->EnumDisplayModes(callback, userValue);
}
int cSurfaceObject::SetDisplayMode(HWND window, int width, int height, int bitsPerPixel) {
  return implementation->SetDisplayMode(window, width, height, bitsPerPixel);
}
void cSurfaceObject::RestoreDisplayMode(HWND window) { implementation->RestoreDisplayMode(window); }
void cSurfaceObject::CopyDisplayModeState(cSurfaceObject* other) {
  if (!other || other->GetType() != GetType() || other->GetDriver() != GetDriver()) return;
  implementation->CopyDisplayModeState(other->implementation);
}
int cSurfaceObject::SetWindow(HWND window) { return implementation->SetWindow(window); }

// ---- rendering ----------------------------------------------------------------------------

int cSurfaceObject::Blit(cSurfaceObject* destination, int x, int y, int sourceX, int sourceY,
                         int width, int height, int mode, std::uint32_t effect,
                         EffectParam parameter, std::uint32_t flags) {
  if (!destination) return 0;
  return implementation->Blit(destination->implementation, x - destination->originX,
                              y - destination->originY, sourceX - originX, sourceY - originY,
                              width, height, mode, effect, parameter, flags);
}

int cSurfaceObject::Blit(cSurfaceObject* destination, int x, int y, int mode,
                         std::uint32_t effect, EffectParam parameter, std::uint32_t flags) {
  if (!destination) return 0;
  return implementation->Blit(destination->implementation, x - destination->originX,
                              y - destination->originY, -originX, -originY, GetWidth(),
                              GetHeight(), mode, effect, parameter, flags);
}

int cSurfaceObject::BlitTransformed(cSurfaceObject* destination, float x, float y, int a1, int a2,
                                    int a3, int a4, int a5, int a6, int a7, int a8, int a9,
                                    int a10, int a11, int a12) {
  if (!destination) return 0;
  return implementation->BlitTransformed(ImplOf(destination), x, y, a1, a2, a3, a4, a5, a6, a7,
                                         a8, a9, a10, a11, a12);
}

int cSurfaceObject::BlitCallback(cSurfaceObject* destination, int x, int y, int sourceX,
                                 int sourceY, int width, int height, int mode,
                                 BlitCallbackFn callback, void* userValue) {
  if (!destination) return 0;
  return implementation->BlitCallback(destination->implementation, x - destination->originX,
                                      y - destination->originY, sourceX - originX,
                                      sourceY - originY, width, height, mode, callback, userValue);
}

int cSurfaceObject::BlitEx(cSurfaceObject* destination, int x, int y, int sourceX, int sourceY,
                           int width, int height, int windowWidth, int windowHeight, int centreX,
                           int centreY, int marginX, int marginY, BlitExFilterFn filter,
                           void* userValue) {
  if (!destination) return 0;
  return implementation->BlitEx(destination->implementation, x - destination->originX,
                                y - destination->originY, sourceX - originX, sourceY - originY,
                                width, height, windowWidth, windowHeight, centreX, centreY,
                                marginX, marginY, filter, userValue);
}

int cSurfaceObject::StretchBlit(cSurfaceObject* destination, int x, int y, int width, int height,
                                int sourceX, int sourceY, int sourceWidth, int sourceHeight,
                                int mode, std::uint32_t effect, EffectParam parameter,
                                std::uint32_t flags) {
  if (!destination) return 0;
  return implementation->StretchBlit(destination->implementation, x - destination->originX,
                                     y - destination->originY, width, height, sourceX - originX,
                                     sourceY - originY, sourceWidth, sourceHeight, mode, effect,
                                     parameter, flags);
}

int cSurfaceObject::StretchBlit(cSurfaceObject* destination, int x, int y, int width, int height,
                                int mode, std::uint32_t effect, EffectParam parameter,
                                std::uint32_t flags) {
  return StretchBlit(destination, x, y, width, height, 0, 0, GetWidth(), GetHeight(), mode,
                     effect, parameter, flags);
}

int cSurfaceObject::MoveRect(int x, int y, int sourceX, int sourceY, int width, int height) {
  return implementation->MoveRect(x - originX, y - originY, sourceX - originX, sourceY - originY,
                                  width, height);
}

int cSurfaceObject::FillRectValue(int x, int y, int width, int height, std::uint32_t value) {
  return implementation->FillRectValue(x - originX, y - originY, width, height, value);
}

int cSurfaceObject::FillRectColor(int x, int y, int width, int height, COLORREF colour) {
  return implementation->FillRectColor(x - originX, y - originY, width, height, colour);
}

int cSurfaceObject::FillRectRGB(int x, int y, int width, int height, BYTE red, BYTE green,
                                BYTE blue) {
  return FillRectColor(x, y, width, height, PackRgb(red, green, blue));
}

int cSurfaceObject::FillColor(COLORREF colour) {
  return implementation->FillRectColor(-originX, -originY, GetWidth(), GetHeight(), colour);
}

int cSurfaceObject::FlipHorizontal(int x, int y, int width, int height) {
  return implementation->FlipHorizontal(x - originX, y - originY, width, height);
}
int cSurfaceObject::FlipHorizontal() {
  return implementation->FlipHorizontal(-originX, -originY, GetWidth(), GetHeight());
}
int cSurfaceObject::FlipVertical(int x, int y, int width, int height) {
  return implementation->FlipVertical(x - originX, y - originY, width, height);
}
int cSurfaceObject::FlipVertical() {
  return implementation->FlipVertical(-originX, -originY, GetWidth(), GetHeight());
}

int cSurfaceObject::ReplaceColor(COLORREF oldColour, COLORREF newColour) {
  return implementation->ReplaceColor(oldColour, newColour);
}

int cSurfaceObject::GetOpaqueBounds(RECT* bounds) {
  const int result = implementation->GetOpaqueBounds(bounds);
  if (result && bounds) {
    bounds->left += originX;
    bounds->right += originX;
    bounds->top += originY;
    bounds->bottom += originY;
  }
  return result;
}

int cSurfaceObject::IsAllTransparent() { return implementation->IsAllTransparent(); }
int cSurfaceObject::IsAllOpaque() { return implementation->IsAllOpaque(); }
