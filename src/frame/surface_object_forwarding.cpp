// cSurfaceObject's forwarding methods: each translates the coordinates that address a
// surface by that surface's origin and calls one operation of the implementation.
#include <vexa/surface_object.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include <vexa/error_surface.h>
#include <vexa/palette.h>

#include "pixels/pixel_format.h"
#include "platform/gdi/gdi.h"
#include "platform/palette/palette_handle.h"
#include "render/draw_text.h"

namespace {

COLORREF PackRgb(BYTE r, BYTE g, BYTE b) { return r | (g << 8) | (b << 16); }

cSurfaceImplementation* ImplOf(cSurfaceObject* object) {
  return object ? object->implementation : nullptr;
}

// A caller's coordinate taken into the surface's own space, in 64 bits. A result outside the
// int range lies beyond every surface; it is pinned to the end of the range on its side,
// which lies beyond every surface as well (no width or height reaches back from there), so
// the call addresses nothing instead of wrapping round onto visible pixels.
int Local(int coordinate, std::int32_t origin) {
  return static_cast<int>(
      std::clamp<std::int64_t>(std::int64_t{coordinate} - origin, INT_MIN, INT_MAX));
}

// A surface coordinate handed back to the caller: the origin added in 64 bits, saturated.
int Public(int coordinate, std::int32_t origin) {
  return static_cast<int>(
      std::clamp<std::int64_t>(std::int64_t{coordinate} + origin, INT_MIN, INT_MAX));
}

}  // namespace

// ---- pixels ------------------------------------------------------------------------------

int cSurfaceObject::GetPixelValue(int x, int y, std::uint32_t* value) {
  return implementation->GetPixelValue(Local(x, originX), Local(y, originY), value);
}

int cSurfaceObject::GetPixelColor(int x, int y, COLORREF* color) {
  return implementation->GetPixelColor(Local(x, originX), Local(y, originY), color);
}

int cSurfaceObject::GetPixelRGB(int x, int y, BYTE* red, BYTE* green, BYTE* blue) {
  COLORREF color = 0;
  if (!GetPixelColor(x, y, &color)) return 0;
  if (red) *red = static_cast<BYTE>(color);
  if (green) *green = static_cast<BYTE>(color >> 8);
  if (blue) *blue = static_cast<BYTE>(color >> 16);
  return 1;
}

void cSurfaceObject::SetPixelValue(int x, int y, std::uint32_t value) {
  implementation->SetPixelValue(Local(x, originX), Local(y, originY), value);
}

void cSurfaceObject::SetPixelColor(int x, int y, COLORREF color) {
  implementation->SetPixelColor(Local(x, originX), Local(y, originY), color);
}

void cSurfaceObject::SetPixelRGB(int x, int y, BYTE red, BYTE green, BYTE blue) {
  SetPixelColor(x, y, PackRgb(red, green, blue));
}

COLORREF cSurfaceObject::GetPixelFast(int x, int y) {
  const cSurfaceImplementation* s = implementation;
  if (!s->storage) {
    COLORREF color = 0;
    GetPixelColor(x, y, &color);
    return color;
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

void cSurfaceObject::SetPixelFast(int x, int y, COLORREF color) {
  cSurfaceImplementation* s = implementation;
  if (!s->storage || s->depth < 8 || s->depth > 32) return;
  std::uint8_t* p = s->PixelAddress(x, y);
  switch (s->depth) {
    case 8:
      *p = static_cast<std::uint8_t>(::GetNearestIndex(s->palette, color));
      break;
    case 15:
    case 16: {
      const std::uint32_t v = s->depth == 15 ? vexa::ColorTo555(color) : vexa::ColorTo565(color);
      p[0] = static_cast<std::uint8_t>(v);
      p[1] = static_cast<std::uint8_t>(v >> 8);
      break;
    }
    case 24:
    case 32:
      p[0] = static_cast<std::uint8_t>(color >> 16);
      p[1] = static_cast<std::uint8_t>(color >> 8);
      p[2] = static_cast<std::uint8_t>(color);
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
  if (x) *x = Public(cx, originX);
  if (y) *y = Public(cy, originY);
}

void cSurfaceObject::GetClipRect(RECT* rect) {
  if (!rect) return;
  int x = 0, y = 0, w = 0, h = 0;
  implementation->GetClipRect(&x, &y, &w, &h);
  const auto end = [](int from, int extent) {
    return static_cast<int>(std::min<std::int64_t>(std::int64_t{from} + extent, INT_MAX));
  };
  *rect = RECT{Public(x, originX), Public(y, originY), Public(end(x, w), originX),
               Public(end(y, h), originY)};
}

void cSurfaceObject::SetClipRect(int x, int y, int width, int height) {
  implementation->SetClipRect(Local(x, originX), Local(y, originY), width, height);
}
void cSurfaceObject::ResetClipRect() { implementation->ResetClipRect(); }
HDC cSurfaceObject::GetDC() {
  HDC dc = implementation->GetDC();
  if (!dc) lastError = kErrorNoDeviceContext;
  return dc;
}
void cSurfaceObject::ReleaseDC(HDC dc) { implementation->ReleaseDC(dc); }

HRGN cSurfaceObject::IntersectDCClip(HDC dc) {
  HRGN saved = plat::CreateRectRgn(0, 0, 0, 0);
  if (plat::GetClipRgn(dc, saved) != 1) {
    plat::DeleteObject(saved);
    saved = nullptr;
  }
  int x, y, w, h;
  implementation->GetClipRect(&x, &y, &w, &h);
  HRGN clip = plat::CreateRectRgn(x, y, x + w, y + h);
  plat::ExtSelectClipRgn(dc, clip, plat::RGN_AND);
  plat::DeleteObject(clip);
  return saved;
}

void cSurfaceObject::RestoreDCClip(HDC dc, HRGN saved) {
  plat::SelectClipRgn(dc, saved);
  if (saved) plat::DeleteObject(saved);
}

// ---- transparency -------------------------------------------------------------------------

void cSurfaceObject::SetTransparentColor(COLORREF color) {
  if (color == 0xFFFFFFFFu) {
    implementation->DriverHook73(1);
    return;
  }
  implementation->DriverHook73(0);
  implementation->SetTransparentColor(color);
}
COLORREF cSurfaceObject::GetTransparentColor() { return implementation->GetTransparentColor(); }
std::uint32_t cSurfaceObject::GetTransparentValue() {
  return implementation->GetTransparentValue();
}

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
  if (!systemPalette ||
      plat::GetPaletteHandleEntries(systemPalette, 0, 256, record.palPalEntry) <= 0) {
    lastError = kErrorNotSupported;
    return 0;
  }
  return SetPaletteEntries(reinterpret_cast<const LOGPALETTE*>(&record), remap);
}

PaletteObject* cSurfaceObject::GetPalette() { return implementation->GetPalette(); }
int cSurfaceObject::GetPaletteEntries(PALETTEENTRY* out, int first, int count) {
  return implementation->GetPaletteEntries(out, first, count);
}
int cSurfaceObject::GetNearestIndex(COLORREF color) {
  return implementation->GetNearestIndex(color);
}
COLORREF cSurfaceObject::GetPaletteColor(int index) {
  return implementation->GetPaletteColor(index);
}
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
  return implementation->Blit(destination->implementation, Local(x, destination->originX),
                              Local(y, destination->originY), Local(sourceX, originX),
                              Local(sourceY, originY), width, height, mode, effect, parameter,
                              flags);
}

int cSurfaceObject::Blit(cSurfaceObject* destination, int x, int y, int mode, std::uint32_t effect,
                         EffectParam parameter, std::uint32_t flags) {
  if (!destination) return 0;
  return implementation->Blit(destination->implementation, Local(x, destination->originX),
                              Local(y, destination->originY), Local(0, originX), Local(0, originY),
                              GetWidth(), GetHeight(), mode, effect, parameter, flags);
}

int cSurfaceObject::BlitTransformed(cSurfaceObject* destination, float x, float y, int a1, int a2,
                                    int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10,
                                    int a11, int a12) {
  if (!destination) return 0;
  return implementation->BlitTransformed(ImplOf(destination), x, y, a1, a2, a3, a4, a5, a6, a7, a8,
                                         a9, a10, a11, a12);
}

int cSurfaceObject::BlitCallback(cSurfaceObject* destination, int x, int y, int sourceX,
                                 int sourceY, int width, int height, int mode,
                                 BlitCallbackFn callback, void* userValue) {
  if (!destination) return 0;
  return implementation->BlitCallback(
      destination->implementation, Local(x, destination->originX), Local(y, destination->originY),
      Local(sourceX, originX), Local(sourceY, originY), width, height, mode, callback, userValue);
}

int cSurfaceObject::BlitEx(cSurfaceObject* destination, int x, int y, int sourceX, int sourceY,
                           int width, int height, int windowWidth, int windowHeight, int centreX,
                           int centreY, int marginX, int marginY, BlitExFilterFn filter,
                           void* userValue) {
  if (!destination) return 0;
  return implementation->BlitEx(destination->implementation, Local(x, destination->originX),
                                Local(y, destination->originY), Local(sourceX, originX),
                                Local(sourceY, originY), width, height, windowWidth, windowHeight,
                                centreX, centreY, marginX, marginY, filter, userValue);
}

int cSurfaceObject::StretchBlit(cSurfaceObject* destination, int x, int y, int width, int height,
                                int sourceX, int sourceY, int sourceWidth, int sourceHeight,
                                int mode, std::uint32_t effect, EffectParam parameter,
                                std::uint32_t flags) {
  if (!destination) return 0;
  return implementation->StretchBlit(destination->implementation, Local(x, destination->originX),
                                     Local(y, destination->originY), width, height,
                                     Local(sourceX, originX), Local(sourceY, originY), sourceWidth,
                                     sourceHeight, mode, effect, parameter, flags);
}

int cSurfaceObject::StretchBlit(cSurfaceObject* destination, int x, int y, int width, int height,
                                int mode, std::uint32_t effect, EffectParam parameter,
                                std::uint32_t flags) {
  return StretchBlit(destination, x, y, width, height, 0, 0, GetWidth(), GetHeight(), mode, effect,
                     parameter, flags);
}

int cSurfaceObject::MoveRect(int x, int y, int sourceX, int sourceY, int width, int height) {
  return implementation->MoveRect(Local(x, originX), Local(y, originY), Local(sourceX, originX),
                                  Local(sourceY, originY), width, height);
}

namespace {

// Offsets of a surface's text calls: none for surfaces that map the object's coordinates
// themselves.
POINT TextOffset(const cSurfaceObject& object) {
  if (object.implementation->HandlesOrigin()) return POINT{0, 0};
  return POINT{object.originX, object.originY};
}

RECT LocalRect(const RECT& r, POINT o) {
  return RECT{Local(r.left, o.x), Local(r.top, o.y), Local(r.right, o.x), Local(r.bottom, o.y)};
}

// A failed text call keeps its reason in the object: no device context, or no temporary
// surface for the keyed path (a lack of memory). Failures of the text output itself, and
// effect codes the library does not know, leave the last error as it was.
void RecordTextFailure(cSurfaceObject& object, int result) {
  const vexa::TextFailure failure = vexa::TakeTextFailure();
  if (result != 0) return;
  if (failure == vexa::TextFailure::kNoDeviceContext) object.lastError = kErrorNoDeviceContext;
  if (failure == vexa::TextFailure::kNoTemporary) object.lastError = kErrorNoMemory;
}

template <class Char>
int DrawTextAt(cSurfaceObject& object, const Char* text, int length, int x, int y,
               std::uint32_t alignment, const RECT* clip, COLORREF color, HFONT font,
               std::uint32_t effect, EffectParam parameter, std::uint32_t flags) {
  const POINT o = TextOffset(object);
  RECT local{};
  if (clip) local = LocalRect(*clip, o);
  cSurfaceImplementation* s = object.implementation;
  vexa::TakeTextFailure();
  int result;
  if constexpr (sizeof(Char) == 1)
    result = s->DrawTextA(text, length, Local(x, o.x), Local(y, o.y), alignment,
                          clip ? &local : nullptr, color, font, 0, effect, parameter, flags);
  else
    result = s->DrawTextW(text, length, Local(x, o.x), Local(y, o.y), alignment,
                          clip ? &local : nullptr, color, font, 0, effect, parameter, flags);
  RecordTextFailure(object, result);
  return result;
}

template <class Char>
int DrawTextIn(cSurfaceObject& object, const Char* text, int length, RECT* rect,
               std::uint32_t format, COLORREF color, HFONT font, std::uint32_t effect,
               EffectParam parameter, std::uint32_t flags, int leftMargin, int rightMargin,
               int tabLength) {
  if (!rect) return 0;
  const POINT o = TextOffset(object);
  RECT local = LocalRect(*rect, o);
  cSurfaceImplementation* s = object.implementation;
  vexa::TakeTextFailure();
  int result;
  if constexpr (sizeof(Char) == 1)
    result = s->DrawTextExA(text, length, &local, format, color, font, 0, effect, parameter, flags,
                            leftMargin, rightMargin, tabLength);
  else
    result = s->DrawTextExW(text, length, &local, format, color, font, 0, effect, parameter, flags,
                            leftMargin, rightMargin, tabLength);
  RecordTextFailure(object, result);
  *rect = RECT{Public(local.left, o.x), Public(local.top, o.y), Public(local.right, o.x),
               Public(local.bottom, o.y)};
  return result;
}

}  // namespace

int cSurfaceObject::DrawTextW(const WCHAR* text, int length, int x, int y, std::uint32_t alignment,
                              const RECT* clip, COLORREF color, HFONT font, std::uint32_t effect,
                              EffectParam parameter, std::uint32_t flags) {
  return DrawTextAt(*this, text, length, x, y, alignment, clip, color, font, effect, parameter,
                    flags);
}

int cSurfaceObject::DrawTextA(const char* text, int length, int x, int y, std::uint32_t alignment,
                              const RECT* clip, COLORREF color, HFONT font, std::uint32_t effect,
                              EffectParam parameter, std::uint32_t flags) {
  return DrawTextAt(*this, text, length, x, y, alignment, clip, color, font, effect, parameter,
                    flags);
}

int cSurfaceObject::DrawTextExW(const WCHAR* text, int length, RECT* rect, std::uint32_t format,
                                COLORREF color, HFONT font, std::uint32_t effect,
                                EffectParam parameter, std::uint32_t flags, int leftMargin,
                                int rightMargin, int tabLength) {
  return DrawTextIn(*this, text, length, rect, format, color, font, effect, parameter, flags,
                    leftMargin, rightMargin, tabLength);
}

int cSurfaceObject::DrawTextExA(const char* text, int length, RECT* rect, std::uint32_t format,
                                COLORREF color, HFONT font, std::uint32_t effect,
                                EffectParam parameter, std::uint32_t flags, int leftMargin,
                                int rightMargin, int tabLength) {
  return DrawTextIn(*this, text, length, rect, format, color, font, effect, parameter, flags,
                    leftMargin, rightMargin, tabLength);
}

int cSurfaceObject::FillRectValue(int x, int y, int width, int height, std::uint32_t value) {
  return implementation->FillRectValue(Local(x, originX), Local(y, originY), width, height, value);
}

int cSurfaceObject::FillRectColor(int x, int y, int width, int height, COLORREF color) {
  return implementation->FillRectColor(Local(x, originX), Local(y, originY), width, height, color);
}

int cSurfaceObject::FillRectRGB(int x, int y, int width, int height, BYTE red, BYTE green,
                                BYTE blue) {
  return FillRectColor(x, y, width, height, PackRgb(red, green, blue));
}

int cSurfaceObject::FillColor(COLORREF color) {
  return implementation->FillRectColor(Local(0, originX), Local(0, originY), GetWidth(),
                                       GetHeight(), color);
}

int cSurfaceObject::FlipHorizontal(int x, int y, int width, int height) {
  return implementation->FlipHorizontal(Local(x, originX), Local(y, originY), width, height);
}
int cSurfaceObject::FlipHorizontal() {
  return implementation->FlipHorizontal(Local(0, originX), Local(0, originY), GetWidth(),
                                        GetHeight());
}
int cSurfaceObject::FlipVertical(int x, int y, int width, int height) {
  return implementation->FlipVertical(Local(x, originX), Local(y, originY), width, height);
}
int cSurfaceObject::FlipVertical() {
  return implementation->FlipVertical(Local(0, originX), Local(0, originY), GetWidth(),
                                      GetHeight());
}

int cSurfaceObject::ReplaceColor(COLORREF oldColor, COLORREF newColor) {
  return implementation->ReplaceColor(oldColor, newColor);
}

int cSurfaceObject::GetOpaqueBounds(RECT* bounds) {
  const int result = implementation->GetOpaqueBounds(bounds);
  if (result && bounds) {
    bounds->left = Public(bounds->left, originX);
    bounds->right = Public(bounds->right, originX);
    bounds->top = Public(bounds->top, originY);
    bounds->bottom = Public(bounds->bottom, originY);
  }
  return result;
}

int cSurfaceObject::IsAllTransparent() { return implementation->IsAllTransparent(); }
int cSurfaceObject::IsAllOpaque() { return implementation->IsAllOpaque(); }
