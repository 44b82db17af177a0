// cDCSurface: surfaces on window and screen device contexts.
#include <vexa/dc_surface.h>

#include <new>

#include "pixels/pixel_format.h"
#include "platform/gdi/gdi.h"
#include "surface/surface_lifetime.h"

cDCSurface::cDCSurface() = default;

cDCSurface::~cDCSurface() {
  if (ownsDC && dc) plat::ReleaseDC(dcWindow, dc);
  dc = nullptr;
  ReleaseBaseResources();
}

cSurfaceImplementation* cDCSurface::Destroy(unsigned destroyFlags) {
  this->cDCSurface::~cDCSurface();
  return vexa::FreeDestroyed(this, destroyFlags);
}

void cDCSurface::Describe() {
  plat::BITMAP bitmap{};
  plat::GetObject(plat::GetCurrentObject(dc, plat::OBJ_BITMAP), sizeof(bitmap), &bitmap);
  width = bitmap.bmWidth;
  height = bitmap.bmHeight;
  clipRight = width;
  clipBottom = height;
  // The format it shows; there is no pixel memory, so no routines either.
  const int bits =
      bitmap.bmBitsPixel ? bitmap.bmBitsPixel : plat::GetDeviceCaps(dc, plat::BITSPIXEL);
  formatIndex = vexa::FormatOfDepth(bits);
  depth = vexa::kFormatDepth[formatIndex];
  bytesPerPixel = (depth + 7) / 8;
}

cDCSurface* cDCSurface::CreateOn(HDC given) {
  HDC context = given ? given : plat::GetDC(nullptr);
  if (!context || plat::GetObjectType(context) == 0) return nullptr;
  auto* surface = new (std::nothrow) cDCSurface();
  if (!surface) {
    if (!given) plat::ReleaseDC(nullptr, context);
    return nullptr;
  }
  surface->dc = context;
  surface->ownsDC = given ? 0 : 1;
  surface->Describe();
  return surface;
}

cDCSurface* cDCSurface::CreateForWindow(HWND window, int wholeWindow) {
  HDC context = wholeWindow ? plat::GetWindowDC(window) : plat::GetDC(window);
  if (!context || !window) {
    if (context) plat::ReleaseDC(window, context);
    return nullptr;
  }
  auto* surface = new (std::nothrow) cDCSurface();
  if (!surface) {
    plat::ReleaseDC(window, context);
    return nullptr;
  }
  surface->dc = context;
  surface->dcWindow = window;
  surface->ownsDC = 1;
  surface->Describe();
  return surface;
}

cDCSurface* GetScreenDCSurface() {
  static cDCSurface* screen = cDCSurface::CreateOn(nullptr);
  return screen;
}

cSurfaceImplementation* cDCSurface::CreateCompatible(int, int) { return nullptr; }
int cDCSurface::InitFormat(int) { return 1; }
int cDCSurface::GetKind() { return kKindDeviceContext; }

int cDCSurface::SetDeviceOrigin(int x, int y) {
  deviceOriginX = x;
  deviceOriginY = y;
  plat::SetWindowOrgEx(dc, x, y, nullptr);
  return 1;
}

std::uint32_t cDCSurface::GetDeviceOrigin() {
  return static_cast<std::uint32_t>(static_cast<std::uint16_t>(deviceOriginY)) << 16 |
         static_cast<std::uint16_t>(deviceOriginX);
}

int cDCSurface::HandlesOrigin() { return 1; }
int cDCSurface::IsDeviceSurface() { return 1; }
HDC cDCSurface::GetDC() { return dc; }
void cDCSurface::ReleaseDC(HDC) {}

void cDCSurface::GetClipRect(int* x, int* y, int* w, int* h) {
  RECT box{0, 0, 0x7FFF, 0x7FFF};
  HRGN region = plat::CreateRectRgn(0, 0, 0, 0);
  if (plat::GetClipRgn(dc, region) == 1) {
    RECT regionBox;
    const int type = plat::GetRgnBox(region, &regionBox);
    if (type == plat::SIMPLEREGION || type == plat::COMPLEXREGION) box = regionBox;
  }
  plat::DeleteObject(region);
  if (x) *x = box.left;
  if (y) *y = box.top;
  if (w) *w = box.right - box.left;
  if (h) *h = box.bottom - box.top;
}

void cDCSurface::SetClipRect(int x, int y, int w, int h) {
  plat::IntersectClipRect(dc, x, y, x + w, y + h);
}

void cDCSurface::ResetClipRect() {}

void cDCSurface::SetPixelValue(int x, int y, std::uint32_t value) {
  // An 8-bit value is an index; wider values are stored pixels of the surface's format.
  COLORREF color = plat::PALETTEINDEX(static_cast<WORD>(value & 0xFF));
  if (depth == 15) color = vexa::ColorFrom555(value);
  if (depth == 16) color = vexa::ColorFrom565(value);
  if (depth > 16) color = vexa::SwapRedBlue(value & 0xFFFFFF);
  plat::SetPixelV(dc, x, y, color);
}

void cDCSurface::SetPixelColor(int x, int y, COLORREF color) { plat::SetPixelV(dc, x, y, color); }

int cDCSurface::GetPixelValue(int, int, std::uint32_t*) { return 0; }
int cDCSurface::GetPixelColor(int, int, COLORREF*) { return 0; }

int cDCSurface::BlitFromDC(int x, int y, HDC source, int sourceX, int sourceY, int w, int h,
                           HookArg, HookArg, HookArg) {
  return plat::BitBlt(dc, x, y, w, h, source, sourceX, sourceY, plat::SRCCOPY);
}

int cDCSurface::Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY,
                     int w, int h, int, std::uint32_t, EffectParam, std::uint32_t) {
  if (!destination) return 0;
  if (!destination->IsDeviceSurface())
    return destination->BlitFromDC(x, y, dc, sourceX, sourceY, w, h, 0, 0, 0);
  HDC to = destination->GetDC();
  const int done = to && plat::BitBlt(to, x, y, w, h, dc, sourceX + deviceOriginX,
                                      sourceY + deviceOriginY, plat::SRCCOPY);
  if (to) destination->ReleaseDC(to);
  return done;
}

int cDCSurface::BlitCallback(cSurfaceImplementation*, int, int, int, int, int, int, int,
                             BlitCallbackFn, void*) {
  return 0;
}

int cDCSurface::StretchFromDC(int x, int y, int w, int h, HDC source, int sourceX, int sourceY,
                              int sourceWidth, int sourceHeight, HookArg, HookArg, HookArg) {
  return plat::StretchBlt(dc, x, y, w, h, source, sourceX, sourceY, sourceWidth, sourceHeight,
                          plat::SRCCOPY);
}

int cDCSurface::StretchBlit(cSurfaceImplementation* destination, int x, int y, int w, int h,
                            int sourceX, int sourceY, int sourceWidth, int sourceHeight, int,
                            std::uint32_t, EffectParam, std::uint32_t) {
  if (!destination) return 0;
  if (!destination->IsDeviceSurface())
    return destination->StretchFromDC(x, y, w, h, dc, sourceX, sourceY, sourceWidth, sourceHeight,
                                      0, 0, 0);
  HDC to = destination->GetDC();
  const int done =
      to && plat::StretchBlt(to, x, y, w, h, dc, sourceX + deviceOriginX, sourceY + deviceOriginY,
                             sourceWidth, sourceHeight, plat::SRCCOPY);
  if (to) destination->ReleaseDC(to);
  return done;
}

int cDCSurface::FlipHorizontal(int, int, int, int) { return 0; }
int cDCSurface::FlipVertical(int, int, int, int) { return 0; }
int cDCSurface::FillRectValue(int, int, int, int, std::uint32_t) { return 0; }
int cDCSurface::FillRectColor(int, int, int, int, COLORREF) { return 0; }
// Text goes through the surface's own context, like on every other surface.
int cDCSurface::DrawTextW(const WCHAR* text, int length, int x, int y, std::uint32_t alignment,
                          const RECT* clip, COLORREF color, HFONT font, HookArg reserved,
                          std::uint32_t effect, EffectParam parameter, std::uint32_t flags) {
  return cSurfaceImplementation::DrawTextW(text, length, x, y, alignment, clip, color, font,
                                           reserved, effect, parameter, flags);
}
int cDCSurface::DrawTextA(const char* text, int length, int x, int y, std::uint32_t alignment,
                          const RECT* clip, COLORREF color, HFONT font, HookArg reserved,
                          std::uint32_t effect, EffectParam parameter, std::uint32_t flags) {
  return cSurfaceImplementation::DrawTextA(text, length, x, y, alignment, clip, color, font,
                                           reserved, effect, parameter, flags);
}
int cDCSurface::DrawTextExW(const WCHAR* text, int length, RECT* rect, std::uint32_t format,
                            COLORREF color, HFONT font, HookArg reserved, std::uint32_t effect,
                            EffectParam parameter, std::uint32_t flags, int leftMargin,
                            int rightMargin, int tabLength) {
  return cSurfaceImplementation::DrawTextExW(text, length, rect, format, color, font, reserved,
                                             effect, parameter, flags, leftMargin, rightMargin,
                                             tabLength);
}
int cDCSurface::DrawTextExA(const char* text, int length, RECT* rect, std::uint32_t format,
                            COLORREF color, HFONT font, HookArg reserved, std::uint32_t effect,
                            EffectParam parameter, std::uint32_t flags, int leftMargin,
                            int rightMargin, int tabLength) {
  return cSurfaceImplementation::DrawTextExA(text, length, rect, format, color, font, reserved,
                                             effect, parameter, flags, leftMargin, rightMargin,
                                             tabLength);
}
int cDCSurface::ReplaceColor(COLORREF, COLORREF) { return 0; }
int cDCSurface::SetPaletteEntries(const LOGPALETTE*, int) { return 0; }
int cDCSurface::GetLogPalette(LOGPALETTE*) { return 0; }
int cDCSurface::DriverHook112(HookArg, HookArg, HookArg, HookArg) { return 0; }
