// cDIBSectionSurface and cDIBDCSurface: bottom-up surfaces whose pixels are a DIB section of
// the device interface.
#include <vexa/dib_section_surface.h>

#include <algorithm>
#include <cstring>
#include <new>

#include <vexa/palette.h>

#include "pixels/pixel_format.h"
#include "platform/gdi/gdi.h"
#include "platform/window/window.h"
#include "surface/surface_lifetime.h"

namespace {

constexpr DWORD kInfoHeaderSize = sizeof(BITMAPINFOHEADER);

// Bits per pixel as a bitmap header gives them: depth 15 is stored in 16 bits.
WORD HeaderBitCount(int depth) { return static_cast<WORD>(depth == 15 ? 16 : depth); }

// A bitmap-information record with room for a colour table or three masks.
struct SectionInfo {
  BITMAPINFOHEADER header;
  std::uint32_t table[256];
};

static_assert(sizeof(plat::DisplaySettings) <= kDisplaySettingsRecordSize);

}  // namespace

cDIBSectionSurface::cDIBSectionSurface() = default;

// Context first (the section must be deselected), then the section, then the base.
cDIBSectionSurface::~cDIBSectionSurface() {
  if (memoryDC) {
    plat::SelectObject(memoryDC, previousBitmap);
    plat::DeleteDC(memoryDC);
    memoryDC = nullptr;
  }
  if (sectionBitmap) plat::DeleteObject(sectionBitmap);
  sectionBitmap = nullptr;
  storage = nullptr;
  firstRow = nullptr;
  ReleaseBaseResources();
}

cSurfaceImplementation* cDIBSectionSurface::Destroy(unsigned destroyFlags) {
  this->cDIBSectionSurface::~cDIBSectionSurface();
  return vexa::FreeDestroyed(this, destroyFlags);
}

int cDIBSectionSurface::InitFormat(int newDepth) {
  const int formatted = cSurfaceImplementation::InitFormat(newDepth);
  bottomUp = 1;
  bitmapHeader.biSize = kInfoHeaderSize;
  bitmapHeader.biPlanes = 1;
  bitmapHeader.biBitCount = HeaderBitCount(depth);
  return formatted;
}

cSurfaceImplementation* cDIBSectionSurface::CreateCompatible(int newWidth, int newHeight) {
  return FillCompatible(new (std::nothrow) cDIBSectionSurface(), newWidth, newHeight, false);
}

void cDIBSectionSurface::SetColorTable(HDC dc) {
  if (depth > 8 || !palette) return;
  RGBQUAD table[256];
  const int count = 1 << bitmapHeader.biBitCount;
  for (int i = 0; i < count; ++i) {
    const PALETTEENTRY e = palette->entries[i];
    table[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
  }
  plat::SetDIBColorTable(dc, 0, static_cast<UINT>(count), table);
}

cSurfaceImplementation* cDIBSectionSurface::FillCompatible(cDIBSectionSurface* created,
                                                           int newWidth, int newHeight,
                                                           bool keepContext) {
  if (!created) return nullptr;
  const std::int64_t stride = vexa::StrideOf(newWidth, depth);
  const bool sized =
      depth != 0 && newWidth >= 1 && newHeight >= 1 && stride * newHeight <= 0x7FFFFFFF;
  InitCompatible(created, this, newWidth, newHeight, sized ? static_cast<int>(stride) : 0);
  if (!sized) {
    created->Delete();
    return nullptr;
  }
  created->bitmapHeader = bitmapHeader;
  created->bitmapHeader.biWidth = newWidth;
  created->bitmapHeader.biHeight = newHeight;
  created->bitmapHeader.biSizeImage = static_cast<DWORD>(stride * newHeight);
  created->window = window;

  HDC reference = plat::GetDC(window);
  HDC dc = reference ? plat::CreateCompatibleDC(reference) : nullptr;
  SectionInfo info{};
  info.header = created->bitmapHeader;
  info.header.biCompression = plat::BI_RGB;
  UINT usage = plat::DIB_RGB_COLORS;
  if (depth == 16) {
    info.header.biCompression = plat::BI_BITFIELDS;
    info.table[0] = 0xF800;
    info.table[1] = 0x7E0;
    info.table[2] = 0x1F;
  } else if (depth <= 8) {
    const int count = 1 << info.header.biBitCount;
    for (int i = 0; i < count; ++i) {
      if (palette) {
        const PALETTEENTRY e = palette->entries[i];
        info.table[i] = static_cast<std::uint32_t>(e.peBlue | e.peGreen << 8 | e.peRed << 16);
      } else {
        // Without a palette the table names the context palette's entries in order.
        reinterpret_cast<WORD*>(info.table)[i] = static_cast<WORD>(i);
      }
    }
    if (!palette) usage = plat::DIB_PAL_COLORS;
  }
  void* bits = nullptr;
  HBITMAP section = dc ? plat::CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&info), usage,
                                                &bits, nullptr, 0)
                       : nullptr;
  if (section) {
    created->sectionBitmap = section;
    created->bottomUp = 1;
    created->pitch = -static_cast<int>(stride);
    created->storage = static_cast<std::uint8_t*>(bits);
    created->firstRow = created->storage + (newHeight - 1) * stride;
    if (keepContext) {
      created->previousBitmap = static_cast<HBITMAP>(plat::SelectObject(dc, section));
      created->SetColorTable(dc);
      created->memoryDC = dc;
      plat::SetWindowOrgEx(dc, created->deviceOriginX, created->deviceOriginY, nullptr);
      dc = nullptr;
    }
  }
  if (dc) plat::DeleteDC(dc);
  if (reference) plat::ReleaseDC(window, reference);
  if (!section) {
    created->Delete();
    return nullptr;
  }
  return created;
}

int cDIBSectionSurface::GetKind() { return kKindDIBSection; }

int cDIBSectionSurface::SetDeviceOrigin(int x, int y) {
  deviceOriginX = x;
  deviceOriginY = y;
  if (memoryDC) plat::SetWindowOrgEx(memoryDC, x, y, nullptr);
  return 1;
}

std::uint32_t cDIBSectionSurface::GetDeviceOrigin() {
  return static_cast<std::uint32_t>(static_cast<std::uint16_t>(deviceOriginY)) << 16 |
         static_cast<std::uint16_t>(deviceOriginX);
}

int cDIBSectionSurface::HandlesOrigin() { return 1; }

int cDIBSectionSurface::SetWindow(HWND newWindow) {
  window = newWindow;
  return 1;
}

HDC cDIBSectionSurface::GetDC() {
  if (memoryDC) {
    ++dcUseCount;
    return memoryDC;
  }
  if (!sectionBitmap) return nullptr;
  HDC reference = plat::GetDC(window);
  if (!reference) return nullptr;
  HDC dc = plat::CreateCompatibleDC(reference);
  if (dc) {
    previousBitmap = static_cast<HBITMAP>(plat::SelectObject(dc, sectionBitmap));
    if (!previousBitmap) {
      plat::DeleteDC(dc);
      dc = nullptr;
    }
  }
  if (dc) {
    SetColorTable(dc);
    plat::SetWindowOrgEx(dc, deviceOriginX, deviceOriginY, nullptr);
    memoryDC = dc;
    dcUseCount = 1;
  }
  plat::ReleaseDC(window, reference);
  return dc;
}

void cDIBSectionSurface::ReleaseDC(HDC) {
  if (!memoryDC) return;  // no GetDC in force
  if (dcUseCount-- > 1) return;
  dcUseCount = 0;
  plat::SelectObject(memoryDC, previousBitmap);
  plat::DeleteDC(memoryDC);
  memoryDC = nullptr;
  previousBitmap = nullptr;
}

int cDIBSectionSurface::SetPalette(PaletteObject* newPalette, int remap) {
  const int result = cSurfaceImplementation::SetPalette(newPalette, remap);
  if (depth == 8 && memoryDC) SetColorTable(memoryDC);
  return result;
}

namespace {

// Device coordinates of a destination surface: its origin is added when it applies origins.
void DestinationOrigin(cSurfaceImplementation* destination, int* x, int* y) {
  *x = *y = 0;
  if (destination->HandlesOrigin()) UnpackDeviceOrigin(destination->GetDeviceOrigin(), x, y);
}

}  // namespace

int cDIBSectionSurface::Blit(cSurfaceImplementation* destination, int x, int y, int sourceX,
                             int sourceY, int w, int h, int mode, std::uint32_t effect,
                             EffectParam parameter, std::uint32_t blitFlags) {
  if (!destination || !destination->IsDeviceSurface())
    return cSurfaceImplementation::Blit(destination, x, y, sourceX, sourceY, w, h, mode, effect,
                                        parameter, blitFlags);
  HDC to = destination->GetDC();
  HDC from = GetDC();
  int ox, oy;
  DestinationOrigin(destination, &ox, &oy);
  const int done = to && from &&
                   plat::BitBlt(to, x + ox, y + oy, w, h, from, sourceX + deviceOriginX,
                                sourceY + deviceOriginY, plat::SRCCOPY);
  if (from) ReleaseDC(from);
  if (to) destination->ReleaseDC(to);
  return done;
}

int cDIBSectionSurface::StretchBlit(cSurfaceImplementation* destination, int x, int y, int w, int h,
                                    int sourceX, int sourceY, int sourceWidth, int sourceHeight,
                                    int mode, std::uint32_t effect, EffectParam parameter,
                                    std::uint32_t blitFlags) {
  if (!destination || !destination->IsDeviceSurface())
    return cSurfaceImplementation::StretchBlit(destination, x, y, w, h, sourceX, sourceY,
                                               sourceWidth, sourceHeight, mode, effect, parameter,
                                               blitFlags);
  HDC to = destination->GetDC();
  HDC from = GetDC();
  int ox, oy;
  DestinationOrigin(destination, &ox, &oy);
  const int done =
      to && from &&
      plat::StretchBlt(to, x + ox, y + oy, w, h, from, sourceX + deviceOriginX,
                       sourceY + deviceOriginY, sourceWidth, sourceHeight, plat::SRCCOPY);
  if (from) ReleaseDC(from);
  if (to) destination->ReleaseDC(to);
  return done;
}

int cDIBSectionSurface::BlitFromDC(int x, int y, HDC source, int sourceX, int sourceY, int w, int h,
                                   HookArg, HookArg, HookArg) {
  HDC to = GetDC();
  const int done = to && plat::BitBlt(to, x, y, w, h, source, sourceX, sourceY, plat::SRCCOPY);
  if (to) ReleaseDC(to);
  return done;
}

int cDIBSectionSurface::StretchFromDC(int x, int y, int w, int h, HDC source, int sourceX,
                                      int sourceY, int sourceWidth, int sourceHeight, HookArg,
                                      HookArg, HookArg) {
  HDC to = GetDC();
  const int done = to && plat::StretchBlt(to, x, y, w, h, source, sourceX, sourceY, sourceWidth,
                                          sourceHeight, plat::SRCCOPY);
  if (to) ReleaseDC(to);
  return done;
}

// ---- display modes ---------------------------------------------------------------------------

void cDIBSectionSurface::EnumDisplayModes(DisplayModeCallback callback, void* userValue) {
  if (!callback) return;
  plat::DisplaySettings s{};
  for (int i = 0; plat::EnumDisplaySettings(i, &s); ++i) {
    const DisplayModeRecord record{static_cast<std::int32_t>(s.width),
                                   static_cast<std::int32_t>(s.height),
                                   static_cast<std::int32_t>(s.bitsPerPixel)};
    if (!callback(&record, userValue)) break;
  }
}

int cDIBSectionSurface::SetDisplayMode(HWND target, int w, int h, int bitsPerPixel) {
  if (w <= 0 || h <= 0) return 0;
  if (!fullScreen) {
    if (target) plat::GetWindowRect(target, &savedWindowRect);
    plat::DisplaySettings current{};
    plat::EnumDisplaySettings(plat::ENUM_CURRENT_SETTINGS, &current);
    std::memcpy(savedDisplayMode, &current, sizeof(current));
  }
  const plat::DisplaySettings wanted{sizeof(plat::DisplaySettings),
                                     static_cast<DWORD>(bitsPerPixel), static_cast<DWORD>(w),
                                     static_cast<DWORD>(h), 0};
  if (plat::ChangeDisplaySettings(&wanted, target) != plat::DISP_CHANGE_SUCCESSFUL) return 0;
  if (target) {
    if (!fullScreen) savedWindowStyle = plat::GetWindowStyle(target);
    plat::SetWindowStyle(target, plat::kFullScreenStyle);
    plat::SetWindowPos(target, 0, 0, w, h, plat::SWP_NOZORDER | plat::SWP_SHOWWINDOW);
  }
  fullScreen = 1;
  return 1;
}

void cDIBSectionSurface::RestoreDisplayMode(HWND target) {
  if (!fullScreen) return;
  plat::DisplaySettings saved{};
  std::memcpy(&saved, savedDisplayMode, sizeof(saved));
  // The desktop mode: with a window, leaving full-screen gives it back.
  if (plat::ChangeDisplaySettings(nullptr, target) != plat::DISP_CHANGE_SUCCESSFUL) return;
  if (target) {
    plat::SetWindowStyle(target, savedWindowStyle);
    const RECT& r = savedWindowRect;
    plat::SetWindowPos(target, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       plat::SWP_NOZORDER | plat::SWP_SHOWWINDOW);
  }
  fullScreen = 0;
}

void cDIBSectionSurface::CopyDisplayModeState(cSurfaceImplementation* other) {
  if (!other || other->GetKind() != GetKind()) return;
  auto* from = static_cast<cDIBSectionSurface*>(other);
  fullScreen = from->fullScreen;
  savedWindowRect = from->savedWindowRect;
  std::memcpy(savedDisplayMode, from->savedDisplayMode, sizeof(savedDisplayMode));
  savedWindowStyle = from->savedWindowStyle;
}

// ---- cDIBDCSurface -----------------------------------------------------------------------------

cDIBDCSurface::cDIBDCSurface() = default;

// The section's destructor deselects and deletes the context.
cDIBDCSurface::~cDIBDCSurface() = default;

cSurfaceImplementation* cDIBDCSurface::Destroy(unsigned destroyFlags) {
  this->cDIBDCSurface::~cDIBDCSurface();
  return vexa::FreeDestroyed(this, destroyFlags);
}

cSurfaceImplementation* cDIBDCSurface::CreateCompatible(int newWidth, int newHeight) {
  return FillCompatible(new (std::nothrow) cDIBDCSurface(), newWidth, newHeight, true);
}

int cDIBDCSurface::GetKind() { return kKindDIBSectionDC; }

HDC cDIBDCSurface::GetDC() { return memoryDC; }

void cDIBDCSurface::ReleaseDC(HDC) {}

int cDIBDCSurface::SetDeviceOrigin(int x, int y) {
  deviceOriginX = x;
  deviceOriginY = y;
  plat::SetWindowOrgEx(memoryDC, x, y, nullptr);
  return 1;
}
