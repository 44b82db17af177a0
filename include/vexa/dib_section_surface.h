// cDIBSectionSurface and cDIBDCSurface: surfaces whose pixels live in a DIB section, memory
// that both the software renderer and the device interface can draw into.
//
// Both are bottom-up (row 0 is the last row in memory, pitch = -stride) with rows padded to
// 4 bytes, and describe themselves with a 40-byte bitmap header. A DIB section is the
// library's default surface type; cDIBDCSurface differs only in keeping a device context
// for its whole life.
//
// FIXME: the device-context operations (GetDC, ReleaseDC, the device-interface blits and
// stretches), the colour-table updates and the full-screen display modes arrive with the
// device-surface work; until then these surfaces are memory surfaces whose pixels come from
// the library's block allocator, and those operations keep the base results. The device
// origin and the reference window are already kept.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/surface_implementation.h>
#include <vexa/wintypes.h>

// Size of a saved display settings record.
inline constexpr int kDisplaySettingsRecordSize = 156;

class VEXA_API cDIBSectionSurface : public cSurfaceImplementation {
 public:
  cDIBSectionSurface();

  cSurfaceImplementation* Destroy(unsigned flags) override;
  // A new section of this format (and palette) with zeroed pixels; null when the size is
  // below 1 x 1 or too large, or memory runs out.
  cSurfaceImplementation* CreateCompatible(int width, int height) override;
  // The base formatting, then bottom-up rows and the header's bit count (16 for depth 15).
  int InitFormat(int depth) override;
  int GetKind() override;  // 3
  int SetDeviceOrigin(int x, int y) override;
  // y in the high 16 bits, x in the low 16 bits, each as an unsigned 16-bit value.
  std::uint32_t GetDeviceOrigin() override;
  int HandlesOrigin() override;  // 1
  // The window whose device context new memory contexts are made compatible with.
  int SetWindow(HWND window) override;

  HDC memoryDC = nullptr;
  std::int32_t deviceOriginX = 0;
  std::int32_t deviceOriginY = 0;
  HWND window = nullptr;
  std::int32_t dcUseCount = 0;
  BITMAPINFOHEADER bitmapHeader{};
  HBITMAP sectionBitmap = nullptr;
  HBITMAP previousBitmap = nullptr;
  std::int32_t fullScreen = 0;
  RECT savedWindowRect{};
  std::uint8_t savedDisplayMode[kDisplaySettingsRecordSize]{};
  DWORD savedWindowStyle = 0;

 protected:
  ~cDIBSectionSurface();

  // CreateCompatible's steps on a new object of the caller's class.
  [[gnu::visibility("hidden")]] cSurfaceImplementation* FillCompatible(cDIBSectionSurface* created, int width, int height);
};

class VEXA_API cDIBDCSurface : public cDIBSectionSurface {
 public:
  cDIBDCSurface();

  cSurfaceImplementation* Destroy(unsigned flags) override;
  cSurfaceImplementation* CreateCompatible(int width, int height) override;
  int GetKind() override;  // 4

 protected:
  ~cDIBDCSurface();
};
