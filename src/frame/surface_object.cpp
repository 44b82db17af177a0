// cSurfaceObject: lifetime, implementation management, queries and origin.
#include <vexa/dc_surface.h>
#include <vexa/surface_object.h>

#include <new>

#include <vexa/blit.h>
#include <vexa/display_driver.h>
#include <vexa/error_surface.h>
#include <vexa/library.h>

#include "render/stretch_flags.h"

namespace {

int TypeOfKind(int kind) {
  switch (kind) {
    case 3:
    case 5:
      return 1;
    case 4:
      return 2;
    case 9:
    case 13:
    case 21:
      return 4;
    case 10:
    case 14:
    case 22:
      return 5;
    case 11:
    case 15:
    case 23:
      return 6;
    case 12:
    case 16:
    case 24:
      return 7;
    case 25:
      return 8;
    default:
      return 0;
  }
}

// Driver kinds whose tiny surfaces are made as DIB sections instead (see Create).
bool IsSmallSurfaceKind(const cSurfaceObject* prototype) {
  const int kind = prototype->implementation->GetKind();
  if (kind == 9 || kind == 13 || kind == 21) return true;
  if (kind != 10 && kind != 14 && kind != 22) return false;
  cSurfaceObject* second = nullptr;
  GetPrototype(&second, prototype->implementation->depth, 5, DriverOfKind(kind));
  return second != prototype;
}

}  // namespace

cSurfaceObject::cSurfaceObject()
    : implementation(GetErrorSurface()), originX(0), originY(0), lastError(0) {}

cSurfaceObject::cSurfaceObject(const cSurfaceObject& source) : cSurfaceObject() {
  Clone(source, -1, -1);
}

cSurfaceObject& cSurfaceObject::operator=(const cSurfaceObject& source) {
  if (this != &source) Clone(source, -1, -1);
  return *this;
}

cSurfaceObject::~cSurfaceObject() {
  implementation->NotifyOwner(0, this, 0);
  if (implementation != GetErrorSurface()) implementation->Delete();
  implementation = GetErrorSurface();
}

cSurfaceImplementation* cSurfaceObject::Create(int width, int height,
                                               const cSurfaceObject* prototype) {
  ReleaseImplementation();
  if (width < 1) width = 1;
  if (height < 1) height = 1;
  if (!prototype) prototype = this;  // an empty object: its error surface makes nothing
  if (width <= 8 && height <= 8 && IsSmallSurfaceKind(prototype)) {
    cSurfaceObject* section = nullptr;
    GetPrototype(&section, prototype->implementation->depth, kTypeDIBSection, kDriverNone);
    prototype = section;
  }
  cSurfaceImplementation* made = prototype->implementation->CreateCompatible(width, height);
  lastError = 0;
  if (!made) {
    lastError = kErrorNoMemory;
    return nullptr;
  }
  implementation = made;
  return made;
}

cSurfaceImplementation* cSurfaceObject::CreateForDC(HDC dc) {
  ReleaseImplementation();
  lastError = 0;
  cSurfaceImplementation* made = cDCSurface::CreateOn(dc);
  if (!made) {
    lastError = kErrorNoMemory;
    return nullptr;
  }
  implementation = made;
  return made;
}

cSurfaceImplementation* cSurfaceObject::CreateForWindow(HWND window, int wholeWindow) {
  ReleaseImplementation();
  lastError = 0;
  cSurfaceImplementation* made = cDCSurface::CreateForWindow(window, wholeWindow);
  if (!made) {
    lastError = kErrorNoMemory;
    return nullptr;
  }
  implementation = made;
  return made;
}

void cSurfaceObject::Clone(const cSurfaceObject& source, int width, int height) {
  cSurfaceImplementation* previous = implementation;
  cSurfaceImplementation* made = nullptr;
  if (source.IsValid()) {
    cSurfaceImplementation* from = source.implementation;
    const bool stretch = width != -1 && height != -1;
    made = from->CreateCompatible(stretch ? width : from->width, stretch ? height : from->height);
    if (!made) {
      lastError = kErrorNoMemory;
    } else if (stretch) {
      from->StretchBlit(made, 0, 0, width, height, 0, 0, from->width, from->height, 0, 0, 0,
                        kStretchCopyAlpha);
    } else {
      from->Blit(made, 0, 0, 0, 0, from->width, from->height, kModeOpaque, kEffectNone, 0,
                 kBlitCopyAlpha);
    }
  }
  implementation = made ? made : GetErrorSurface();
  if (previous != GetErrorSurface() && previous != made) {
    previous->NotifyOwner(0, this, 0);
    previous->Delete();
  }
}

int cSurfaceObject::CropToOpaque(RECT* box) {
  RECT bounds{};
  if (!implementation->GetOpaqueBounds(&bounds)) return 0;
  if (box) *box = bounds;
  const int w = bounds.right - bounds.left;
  const int h = bounds.bottom - bounds.top;
  if (w <= 0 || h <= 0) return 0;
  if (w >= implementation->width && h >= implementation->height) return 0;
  cSurfaceImplementation* cropped = implementation->CreateCompatible(w, h);
  if (!cropped) return 0;
  implementation->Blit(cropped, 0, 0, bounds.left, bounds.top, w, h, kModeOpaque, kEffectNone, 0,
                       kBlitCopyAlpha);
  SetImplementation(cropped);
  return 1;
}

void cSurfaceObject::SetImplementation(cSurfaceImplementation* newImplementation) {
  if (newImplementation == implementation) return;
  ReleaseImplementation();
  if (newImplementation) implementation = newImplementation;
}

int cSurfaceObject::ReleaseImplementation() {
  int result = 0;
  if (implementation != GetErrorSurface()) {
    implementation->NotifyOwner(0, this, 0);
    implementation->Delete();
    result = 1;
  }
  implementation = GetErrorSurface();
  return result;
}

int cSurfaceObject::ReleaseImplementationAndClearError() {
  ReleaseImplementation();
  lastError = 0;
  return 0;
}

void cSurfaceObject::DeleteSurfaceObject(cSurfaceObject* object) {
  if (object != this) ::DeleteSurfaceObject(object);
}

int cSurfaceObject::IsValid() const { return implementation != GetErrorSurface(); }

cSurfaceObject* cSurfaceObject::GetRenderTarget() {
  cSurfaceImplementation* render = implementation->GetRenderImplementation();
  if (render == implementation) return this;
  cSurfaceObject* wrapper = NewSurfaceObject();
  if (wrapper) wrapper->implementation = render;
  return wrapper;
}

void cSurfaceObject::NotifyImplementation(int code, HookArg value) {
  implementation->NotifyOwner(code, this, value);
}

void cSurfaceObject::NotifyPair(int code, cSurfaceObject* other) {
  implementation->DriverHook100(code, this, other);
}

int cSurfaceObject::GetWidth() const { return implementation->width; }
int cSurfaceObject::GetHeight() const { return implementation->height; }
int cSurfaceObject::GetDepth() const { return implementation->depth; }
int cSurfaceObject::GetPitch() const { return implementation->pitch; }

int cSurfaceObject::GetInfo(int* width, int* height, int* depth) const {
  if (width) *width = implementation->width;
  if (height) *height = implementation->height;
  if (depth) *depth = implementation->depth;
  return IsValid();
}

int cSurfaceObject::IsPaletted() const { return implementation->depth < 9; }
int cSurfaceObject::HasAlpha() const { return implementation->alphaFirstRow != nullptr; }
int cSurfaceObject::GetAlphaPitch() const { return implementation->alphaPitch; }
std::uint8_t* cSurfaceObject::GetAlphaPointer() const { return implementation->alphaFirstRow; }
int cSurfaceObject::GetType() const { return TypeOfKind(implementation->GetKind()); }
int cSurfaceObject::GetDriver() const { return DriverOfKind(implementation->GetKind()); }

void cSurfaceObject::GetOrigin(int* x, int* y) const {
  if (x) *x = originX;
  if (y) *y = originY;
}

void cSurfaceObject::GetOrigin(POINT* point) const {
  if (point) *point = POINT{originX, originY};
}

std::uint32_t cSurfaceObject::GetDIBSizeOf() const {
  return static_cast<std::uint32_t>(
      GetDIBSize(implementation->width, implementation->height, implementation->depth));
}

int cSurfaceObject::SetOrigin(int x, int y) {
  originX = x;
  originY = y;
  return implementation->HandlesOrigin() ? implementation->SetDeviceOrigin(x, y) : 0;
}

int cSurfaceObject::SetOrigin(const POINT& point) { return SetOrigin(point.x, point.y); }

int cSurfaceObject::OffsetOrigin(int dx, int dy) {
  // Wraps round like the 32-bit fields it updates, without the undefined signed overflow.
  const auto add = [](std::int32_t a, int b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
  };
  originX = add(originX, dx);
  originY = add(originY, dy);
  return implementation->HandlesOrigin() ? implementation->SetDeviceOrigin(originX, originY) : 0;
}

int cSurfaceObject::OffsetOrigin(const POINT& delta) { return OffsetOrigin(delta.x, delta.y); }

cSurfaceObject* NewSurfaceObject() { return new (std::nothrow) cSurfaceObject(); }

void DeleteSurfaceObject(cSurfaceObject* object) { delete object; }
