// Base behaviour of cSurfaceImplementation: construction, lifetime, the generic operations
// on the pixel descriptor, and the base results of everything a subclass may override.
#include <vexa/surface_implementation.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include <vexa/palette.h>

#include "base/cpu_features.h"
#include "pixels/pixel_format.h"

using vexa::FormatOfDepth;

cSurfaceImplementation::cSurfaceImplementation() {
  flags = vexa::LibraryCpuFeatureWord() & kSurfaceFlagCpuMask;
}

cSurfaceImplementation::cSurfaceImplementation(const cSurfaceImplementation& other) = default;
cSurfaceImplementation& cSurfaceImplementation::operator=(const cSurfaceImplementation& other) =
    default;

void cSurfaceImplementation::ReleaseBaseResources() {
  if (depth == 8 && palette) ReleasePalette(palette);
  palette = nullptr;
  if ((flags & kSurfaceFlagOwnsAlpha) && alphaStorage) std::free(alphaStorage);
  flags &= ~kSurfaceFlagOwnsAlpha;
  alphaStorage = alphaFirstRow = nullptr;
}

// The base class cannot be instantiated (slot 2 is pure), so its Destroy only runs the
// base steps; every concrete class overrides it to release its own resources first and
// to free itself.
cSurfaceImplementation* cSurfaceImplementation::Destroy(unsigned) {
  ReleaseBaseResources();
  return this;
}

void cSurfaceImplementation::Delete() { Destroy(1); }

int cSurfaceImplementation::DriverHook3() { return 0; }
int cSurfaceImplementation::DriverHook4() { return 0; }
void cSurfaceImplementation::EnumDisplayModes(DisplayModeCallback, void*) {}
int cSurfaceImplementation::SetDisplayMode(HWND, int, int, int) { return 0; }
void cSurfaceImplementation::RestoreDisplayMode(HWND) {}
void cSurfaceImplementation::CopyDisplayModeState(cSurfaceImplementation*) {}
int cSurfaceImplementation::DriverHook9() { return 0; }
int cSurfaceImplementation::DriverHook10() { return -1; }
int cSurfaceImplementation::DriverHook11(HookArg) { return 0; }
int cSurfaceImplementation::Create(int, int) { return 0; }

void cSurfaceImplementation::SetPixelFormat(int newDepth) {
  formatIndex = FormatOfDepth(newDepth);
  depth = vexa::kFormatDepth[formatIndex];
  bytesPerPixel = (depth + 7) / 8;
  pixelRoutines = vexa::StandardPixelRoutines(formatIndex);
}

int cSurfaceImplementation::InitFormat(int newDepth) {
  SetPixelFormat(newDepth);
  bottomUp = 0;
  if (depth != 8) return 1;
  PaletteObject* defaultPalette = GetDefaultPalette();
  if (!defaultPalette) return 0;
  if (palette) ReleasePalette(palette);
  palette = defaultPalette;
  return 1;
}

int cSurfaceImplementation::GetKind() { return kKindMemory; }
int cSurfaceImplementation::DriverHook16(HookArg) { return 0; }
int cSurfaceImplementation::SetDeviceOrigin(int, int) { return 0; }
std::uint32_t cSurfaceImplementation::GetDeviceOrigin() { return 0; }
int cSurfaceImplementation::HandlesOrigin() { return 0; }
int cSurfaceImplementation::Lock() { return storage != nullptr; }
void cSurfaceImplementation::Unlock() {}
int cSurfaceImplementation::IsDeviceSurface() { return 0; }
HDC cSurfaceImplementation::GetDC() { return nullptr; }
void cSurfaceImplementation::ReleaseDC(HDC) {}

void cSurfaceImplementation::GetClipRect(int* x, int* y, int* w, int* h) {
  if (x) *x = clipLeft;
  if (y) *y = clipTop;
  if (w) *w = clipRight - clipLeft;
  if (h) *h = clipBottom - clipTop;
}

void cSurfaceImplementation::SetClipRect(int x, int y, int w, int h) {
  // 64-bit sums: x + width must not overflow for callers that pass "everything" sizes.
  clipLeft = x > 0 ? x : 0;
  clipTop = y > 0 ? y : 0;
  // Ends below INT_MIN (a far-left start with a negative size) are kept at INT_MIN: cut to 32
  // bits they would wrap round to a clip rectangle far wider than the surface.
  const std::int64_t right = std::int64_t{x} + w;
  const std::int64_t bottom = std::int64_t{y} + h;
  clipRight = static_cast<int>(std::clamp<std::int64_t>(right, INT_MIN, width));
  clipBottom = static_cast<int>(std::clamp<std::int64_t>(bottom, INT_MIN, height));
}

void cSurfaceImplementation::ResetClipRect() { SetClipRect(0, 0, width, height); }

void cSurfaceImplementation::SetPixelValue(int x, int y, std::uint32_t value) {
  if (depth != 8 || !InClip(x, y)) return;
  if (storage) {
    *PixelAddress(x, y) = static_cast<std::uint8_t>(value);
    return;
  }
  if (!Lock()) return;
  *PixelAddress(x, y) = static_cast<std::uint8_t>(value);
  Unlock();
}

void cSurfaceImplementation::SetPixelColor(int x, int y, COLORREF color) {
  if (!InClip(x, y) || !pixelRoutines || !pixelRoutines->setPixel) return;
  if (storage) {
    pixelRoutines->setPixel(this, x, y, color);
    return;
  }
  if (!Lock()) return;
  pixelRoutines->setPixel(this, x, y, color);
  Unlock();
}

int cSurfaceImplementation::GetPixelValue(int x, int y, std::uint32_t* value) {
  if (!value || !InClip(x, y) || !pixelRoutines || !pixelRoutines->getPixel) return 0;
  if (!Lock()) return 0;
  *value = pixelRoutines->getPixel(this, x, y);
  Unlock();
  return 1;
}

int cSurfaceImplementation::GetPixelColor(int x, int y, COLORREF* color) {
  std::uint32_t value = 0;
  if (!color || !GetPixelValue(x, y, &value)) return 0;
  *color = depth == 8 ? GetPaletteColor(static_cast<int>(value)) : value;
  return 1;
}

int cSurfaceImplementation::BlitFromDC(int, int, HDC, int, int, int, int, HookArg, HookArg,
                                       HookArg) {
  return 0;
}

int cSurfaceImplementation::BlitTransformed(cSurfaceImplementation* destination, float x, float y,
                                            int a1, int a2, int a3, int a4, int a5, int a6, int a7,
                                            int a8, int a9, int a10, int a11, int a12) {
  if (!destination) return 0;
  return destination->BlitTransformedFrom(this, x, y, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11,
                                          a12);
}

int cSurfaceImplementation::StretchFromDC(int, int, int, int, HDC, int, int, int, int, HookArg,
                                          HookArg, HookArg) {
  return 0;
}

int cSurfaceImplementation::FillRectDriver(int x, int y, int w, int h, std::uint32_t value,
                                           HookArg extra) {
  if (GetKind() <= 20) return 0;
  return FillRectEffect(x, y, w, h, reinterpret_cast<void*>(static_cast<std::uintptr_t>(value)),
                        extra, 0, 0);
}

int cSurfaceImplementation::SetWindow(HWND) { return 1; }

int cSurfaceImplementation::HasCustomPixelRoutines() {
  return pixelRoutines != vexa::StandardPixelRoutines(formatIndex);
}

int cSurfaceImplementation::ReadPixels(HFILE) { return 0; }
int cSurfaceImplementation::WritePixels(HFILE) { return 0; }

void cSurfaceImplementation::SetTransparentColor(COLORREF color) {
  vexa::ComputeTransparentValue(*this, color, &transparentColor, &transparentValue);
}
COLORREF cSurfaceImplementation::GetTransparentColor() { return transparentColor; }
std::uint32_t cSurfaceImplementation::GetTransparentValue() { return transparentValue; }
void cSurfaceImplementation::DriverHook73(int) {}
void cSurfaceImplementation::DriverHook75() {}
int cSurfaceImplementation::DriverHook76(HookArg, HookArg) { return 0; }
int cSurfaceImplementation::DriverHook77() { return 0; }
int cSurfaceImplementation::DriverHook78() { return 0; }
int cSurfaceImplementation::DriverHook79() { return 0; }
void cSurfaceImplementation::DriverHook80() {}
void cSurfaceImplementation::DriverHook81() {}
void cSurfaceImplementation::DriverHook82() {}
void cSurfaceImplementation::DriverHook83() {}
cSurfaceImplementation* cSurfaceImplementation::GetRenderImplementation() { return this; }
void cSurfaceImplementation::DriverHook85(HookArg) {}
void cSurfaceImplementation::DriverHook86(HookArg) {}
int cSurfaceImplementation::HasNativeLines() { return 0; }
int cSurfaceImplementation::DrawLineNative(int, int, int, int, int, COLORREF) { return 0; }
int cSurfaceImplementation::HandlesBlitFrom() { return 0; }
int cSurfaceImplementation::BlitFrom(cSurfaceImplementation*, int, int, int, int, int, int, int,
                                     std::uint32_t, EffectParam, std::uint32_t) {
  return 0;
}
int cSurfaceImplementation::HandlesStretchFrom() { return 0; }
int cSurfaceImplementation::StretchBlitFrom(cSurfaceImplementation*, int, int, int, int, int, int,
                                            int, int, int, std::uint32_t, EffectParam,
                                            std::uint32_t) {
  return 0;
}
int cSurfaceImplementation::BlitTransformedFrom(cSurfaceImplementation*, float, float, int, int,
                                                int, int, int, int, int, int, int, int, int, int) {
  return 0;
}
int cSurfaceImplementation::DriverHook94(HookArg, HookArg) { return 0; }
int cSurfaceImplementation::CopyContentFrom(cSurfaceImplementation*) { return 0; }
void cSurfaceImplementation::AttachEffect(void*) {}
void cSurfaceImplementation::DetachEffect(void*) {}
int cSurfaceImplementation::DriverHook98(void*, HookArg, HookArg) { return 0; }
void cSurfaceImplementation::EffectParameterChanged(void*, int) {}
int cSurfaceImplementation::DriverHook100(int, cSurfaceObject*, cSurfaceObject*) { return 0; }
void cSurfaceImplementation::NotifyOwner(int, cSurfaceObject*, HookArg) {}
void cSurfaceImplementation::DriverHook102(HookArg) {}
int cSurfaceImplementation::DriverHook104(HookArg, HookArg, HookArg, HookArg, HookArg, HookArg) {
  return 0;
}
int cSurfaceImplementation::DriverHook105(HookArg, HookArg) { return 0; }
void cSurfaceImplementation::DriverHook106(HookArg) {}
int cSurfaceImplementation::DriverHook107(HookArg) { return 0; }
int cSurfaceImplementation::FillRectBlendAlias(int x, int y, int w, int h, COLORREF color, int mode,
                                               std::uint32_t modulation) {
  return FillRectBlend(x, y, w, h, color, mode, modulation);
}
int cSurfaceImplementation::FillRectEffect(int, int, int, int, void*, HookArg, HookArg, HookArg) {
  return 0;
}

int InitCompatible(cSurfaceImplementation* created, const cSurfaceImplementation* prototype,
                   int width, int height, int stride) {
  created->width = width;
  created->height = height;
  created->clipLeft = created->clipTop = 0;
  created->clipRight = width;
  created->clipBottom = height;
  created->stride = stride;
  created->pitch = prototype->bottomUp ? -stride : stride;
  created->bottomUp = prototype->bottomUp;
  created->depth = prototype->depth;
  created->formatIndex = prototype->formatIndex;
  created->bytesPerPixel = prototype->bytesPerPixel;
  created->pixelRoutines = prototype->pixelRoutines;
  created->transparentColor = prototype->transparentColor;
  created->transparentValue = prototype->transparentValue;
  created->palette = AddPaletteRef(prototype->palette);
  created->storage = created->firstRow = nullptr;
  created->alphaStorage = created->alphaFirstRow = nullptr;
  created->alphaStride = created->alphaPitch = 0;
  created->flags &= ~kSurfaceFlagOwnsAlpha;
  return 1;
}
