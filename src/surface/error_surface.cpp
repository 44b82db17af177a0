#include <vexa/error_surface.h>

#include <new>

#include "surface/surface_lifetime.h"

// Constructed before the CPU feature word is known: its flags stay 0.
cErrorSurface::cErrorSurface() { flags = 0; }
cErrorSurface::~cErrorSurface() { ReleaseBaseResources(); }

cSurfaceImplementation* cErrorSurface::Destroy(unsigned destroyFlags) {
  this->cErrorSurface::~cErrorSurface();
  return vexa::FreeDestroyed(this, destroyFlags);  // only ever so for a heap instance
}

cSurfaceImplementation* cErrorSurface::CreateCompatible(int, int) { return nullptr; }
int cErrorSurface::DriverHook3() { return 0; }
int cErrorSurface::DriverHook4() { return 0; }
void cErrorSurface::EnumDisplayModes(DisplayModeCallback, void*) {}
int cErrorSurface::SetDisplayMode(HWND, int, int, int) { return 0; }
void cErrorSurface::RestoreDisplayMode(HWND) {}
int cErrorSurface::DriverHook9() { return 0; }
int cErrorSurface::DriverHook10() { return 0; }
int cErrorSurface::Create(int, int) { return 0; }
void cErrorSurface::SetPixelFormat(int) {}
int cErrorSurface::InitFormat(int) { return 0; }
int cErrorSurface::GetKind() { return kKindMemory; }
int cErrorSurface::SetDeviceOrigin(int, int) { return 0; }
std::uint32_t cErrorSurface::GetDeviceOrigin() { return 0; }
int cErrorSurface::HandlesOrigin() { return 0; }
int cErrorSurface::Lock() { return 0; }
void cErrorSurface::Unlock() {}
int cErrorSurface::IsDeviceSurface() { return 0; }
HDC cErrorSurface::GetDC() { return nullptr; }
void cErrorSurface::ReleaseDC(HDC) {}
void cErrorSurface::GetClipRect(int*, int*, int*, int*) {}
void cErrorSurface::SetClipRect(int, int, int, int) {}
void cErrorSurface::ResetClipRect() {}
void cErrorSurface::SetPixelValue(int, int, std::uint32_t) {}
void cErrorSurface::SetPixelColor(int, int, COLORREF) {}
int cErrorSurface::GetPixelValue(int, int, std::uint32_t*) { return 0; }
int cErrorSurface::GetPixelColor(int, int, COLORREF*) { return 0; }
int cErrorSurface::BlitFromDC(int, int, HDC, int, int, int, int, HookArg, HookArg, HookArg) {
  return 0;
}
int cErrorSurface::Blit(cSurfaceImplementation*, int, int, int, int, int, int, int, std::uint32_t,
                        EffectParam, std::uint32_t) {
  return 0;
}
int cErrorSurface::MoveRect(int, int, int, int, int, int) { return 0; }
int cErrorSurface::BlitCallback(cSurfaceImplementation*, int, int, int, int, int, int, int,
                                BlitCallbackFn, void*) {
  return 0;
}
int cErrorSurface::BlitEx(cSurfaceImplementation*, int, int, int, int, int, int, int, int, int, int,
                          int, int, BlitExFilterFn, void*) {
  return 0;
}
int cErrorSurface::StretchFromDC(int, int, int, int, HDC, int, int, int, int, HookArg, HookArg,
                                 HookArg) {
  return 0;
}
int cErrorSurface::StretchBlit(cSurfaceImplementation*, int, int, int, int, int, int, int, int, int,
                               std::uint32_t, EffectParam, std::uint32_t) {
  return 0;
}
int cErrorSurface::FlipHorizontal(int, int, int, int) { return 0; }
int cErrorSurface::FlipVertical(int, int, int, int) { return 0; }
int cErrorSurface::GetOpaqueBounds(RECT*) { return 0; }
int cErrorSurface::FillRectValue(int, int, int, int, std::uint32_t) { return 0; }
int cErrorSurface::FillRectColor(int, int, int, int, COLORREF) { return 0; }
int cErrorSurface::RotateQuarter(cSurfaceImplementation*, int) { return 0; }
int cErrorSurface::DrawTextW(const WCHAR*, int, int, int, std::uint32_t, const RECT*, COLORREF,
                             HFONT, HookArg, std::uint32_t, EffectParam, std::uint32_t) {
  return 0;
}
int cErrorSurface::DrawTextA(const char*, int, int, int, std::uint32_t, const RECT*, COLORREF,
                             HFONT, HookArg, std::uint32_t, EffectParam, std::uint32_t) {
  return 0;
}
int cErrorSurface::DrawTextExW(const WCHAR*, int, RECT*, std::uint32_t, COLORREF, HFONT, HookArg,
                               std::uint32_t, EffectParam, std::uint32_t, int, int, int) {
  return 0;
}
int cErrorSurface::DrawTextExA(const char*, int, RECT*, std::uint32_t, COLORREF, HFONT, HookArg,
                               std::uint32_t, EffectParam, std::uint32_t, int, int, int) {
  return 0;
}
int cErrorSurface::IsAllTransparent() { return 0; }
int cErrorSurface::IsAllOpaque() { return 0; }
int cErrorSurface::ReplaceColor(COLORREF, COLORREF) { return 0; }
void cErrorSurface::RemapFromPalette(PaletteObject*) {}
void cErrorSurface::RemapPixels(const std::uint8_t*) {}
int cErrorSurface::SetPalette(PaletteObject*, int) { return 0; }
int cErrorSurface::SetPaletteEntries(const LOGPALETTE*, int) { return 0; }
int cErrorSurface::SetPaletteFrom(cSurfaceImplementation*, int) { return 0; }
int cErrorSurface::GetPaletteEntries(PALETTEENTRY*, int, int) { return 0; }
PaletteObject* cErrorSurface::GetPalette() { return nullptr; }
int cErrorSurface::GetLogPalette(LOGPALETTE*) { return 0; }
int cErrorSurface::GetNearestIndex(COLORREF) { return 0; }
COLORREF cErrorSurface::GetPaletteColor(int) { return 0; }
int cErrorSurface::GetDarkestIndex() { return 0; }
int cErrorSurface::SetWindow(HWND) { return 0; }
int cErrorSurface::HasCustomPixelRoutines() { return 0; }
int cErrorSurface::ReadPixels(HFILE) { return 0; }
int cErrorSurface::WritePixels(HFILE) { return 0; }
void cErrorSurface::DriverHook75() {}
int cErrorSurface::DriverHook76(HookArg, HookArg) { return 0; }
int cErrorSurface::DriverHook77() { return 0; }
int cErrorSurface::DriverHook78() { return 0; }
int cErrorSurface::DriverHook112(HookArg, HookArg, HookArg, HookArg) { return 0; }

cErrorSurface* GetErrorSurface() {
  // Constructed on first use (before any other library code needs it) and never destroyed
  // while the library is loaded: public objects may still point at it during static
  // destruction of a host program.
  static cErrorSurface* instance = new cErrorSurface();
  return instance;
}
