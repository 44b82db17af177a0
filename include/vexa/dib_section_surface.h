// cDIBSectionSurface and cDIBDCSurface: surfaces whose pixels live in a DIB section, memory
// that both the software renderer and the device interface can draw into.
//
// Both are bottom-up (row 0 is the last row in memory, pitch = -stride) with rows padded to
// 4 bytes, and describe themselves with a 40-byte bitmap header. A DIB section is the
// library's default surface type; cDIBDCSurface differs only in keeping a device context
// for its whole life.
//
// A DIB section surface makes a memory context only while GetDC is in force (nested calls
// share it); cDIBDCSurface keeps one with the section selected for its whole life. Drawing
// through the context and through the renderer lands in the same pixels.
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
  // A memory context with the section selected, its colour table set from the palette (up
  // to 8 bits) and its window origin at the device origin; nested calls return the same
  // context. Null when no context can be made.
  HDC GetDC() override;
  // Ends one GetDC; the outermost release deletes the memory context. A release without a
  // GetDC in force does nothing.
  void ReleaseDC(HDC dc) override;
  // The base palette change, then the colour table of a live 8-bit context.
  int SetPalette(PaletteObject* palette, int remap) override;
  // Onto device surfaces a device copy (with both device origins), else the renderer's.
  int Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY, int width,
           int height, int mode, std::uint32_t effect, EffectParam parameter,
           std::uint32_t flags) override;
  int StretchBlit(cSurfaceImplementation* destination, int x, int y, int width, int height,
                  int sourceX, int sourceY, int sourceWidth, int sourceHeight, int mode,
                  std::uint32_t effect, EffectParam parameter, std::uint32_t flags) override;
  // Device copies from another context into this section.
  int BlitFromDC(int x, int y, HDC source, int sourceX, int sourceY, int width, int height, HookArg,
                 HookArg, HookArg) override;
  int StretchFromDC(int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                    int sourceWidth, int sourceHeight, HookArg, HookArg, HookArg) override;
  // Full-screen display modes: the modes the display lists, a switch to one of them (the
  // window made a borderless pop-up covering it), and the way back.
  void EnumDisplayModes(DisplayModeCallback callback, void* userValue) override;
  int SetDisplayMode(HWND window, int width, int height, int bitsPerPixel) override;
  void RestoreDisplayMode(HWND window) override;
  void CopyDisplayModeState(cSurfaceImplementation* other) override;

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

  // CreateCompatible's steps on a new object of the caller's class; `keepContext` keeps the
  // memory context with the section selected.
  [[gnu::visibility("hidden")]] cSurfaceImplementation* FillCompatible(cDIBSectionSurface* created,
                                                                       int width, int height,
                                                                       bool keepContext);
  // Sets the colour table of `dc`'s section from the palette (up to 8 bits).
  [[gnu::visibility("hidden")]] void SetColorTable(HDC dc);
};

class VEXA_API cDIBDCSurface : public cDIBSectionSurface {
 public:
  cDIBDCSurface();

  cSurfaceImplementation* Destroy(unsigned flags) override;
  cSurfaceImplementation* CreateCompatible(int width, int height) override;
  int GetKind() override;  // 4
  // The surface's own context, without counting; ReleaseDC does nothing.
  HDC GetDC() override;
  void ReleaseDC(HDC dc) override;
  int SetDeviceOrigin(int x, int y) override;

 protected:
  ~cDIBDCSurface();
};
