// cDCSurface: a surface on a window's or the screen's device context. It has no pixel memory:
// it takes part in drawing through the device interface only (copies into and out of its
// context, pixels set through it, clip shrinking); every pixel-memory operation answers 0.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/surface_implementation.h>
#include <vexa/wintypes.h>

class VEXA_API cDCSurface : public cSurfaceImplementation {
 public:
  cDCSurface();

  // A surface on `dc`, which stays the caller's; with null, on the screen's context (owned).
  // Null when no context can be had.
  static cDCSurface* CreateOn(HDC dc);
  // A surface on a window's client-area context (owned); `wholeWindow` asks for the whole
  // window, which on this platform is the client area too. Null without a context.
  static cDCSurface* CreateForWindow(HWND window, int wholeWindow);

  cSurfaceImplementation* Destroy(unsigned flags) override;
  cSurfaceImplementation* CreateCompatible(int width, int height) override;  // null
  int InitFormat(int depth) override;                                        // 1
  int GetKind() override;                                                    // 2
  int SetDeviceOrigin(int x, int y) override;
  std::uint32_t GetDeviceOrigin() override;
  int HandlesOrigin() override;     // 1
  int IsDeviceSurface() override;   // 1
  HDC GetDC() override;             // the context
  void ReleaseDC(HDC dc) override;  // nothing
  // The context's clip box while it has a clip region, else (0, 0, 0x7FFF, 0x7FFF).
  void GetClipRect(int* x, int* y, int* width, int* height) override;
  // Shrinks the context's clip region to the rectangle; it never grows again.
  void SetClipRect(int x, int y, int width, int height) override;
  void ResetClipRect() override;  // nothing
  void SetPixelValue(int x, int y, std::uint32_t value) override;
  void SetPixelColor(int x, int y, COLORREF color) override;
  int GetPixelValue(int x, int y, std::uint32_t* value) override;  // 0
  int GetPixelColor(int x, int y, COLORREF* color) override;       // 0
  int BlitFromDC(int x, int y, HDC source, int sourceX, int sourceY, int width, int height, HookArg,
                 HookArg, HookArg) override;
  // Onto a device surface a device copy; onto any other, the destination's BlitFromDC with
  // this context (memory surfaces answer 0).
  int Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY, int width,
           int height, int mode, std::uint32_t effect, EffectParam parameter,
           std::uint32_t flags) override;
  int BlitCallback(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY,
                   int width, int height, int mode, BlitCallbackFn callback,
                   void* userValue) override;  // 0
  int StretchFromDC(int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                    int sourceWidth, int sourceHeight, HookArg, HookArg, HookArg) override;
  int StretchBlit(cSurfaceImplementation* destination, int x, int y, int width, int height,
                  int sourceX, int sourceY, int sourceWidth, int sourceHeight, int mode,
                  std::uint32_t effect, EffectParam parameter, std::uint32_t flags) override;
  // Pixel-memory operations: 0.
  int FlipHorizontal(int x, int y, int width, int height) override;
  int FlipVertical(int x, int y, int width, int height) override;
  int FillRectValue(int x, int y, int width, int height, std::uint32_t value) override;
  int FillRectColor(int x, int y, int width, int height, COLORREF color) override;
  int DrawTextW(const WCHAR* text, int length, int x, int y, std::uint32_t alignment,
                const RECT* clip, COLORREF color, HFONT font, HookArg reserved,
                std::uint32_t effect, EffectParam parameter, std::uint32_t flags) override;
  int DrawTextA(const char* text, int length, int x, int y, std::uint32_t alignment,
                const RECT* clip, COLORREF color, HFONT font, HookArg reserved,
                std::uint32_t effect, EffectParam parameter, std::uint32_t flags) override;
  int DrawTextExW(const WCHAR* text, int length, RECT* rect, std::uint32_t format, COLORREF color,
                  HFONT font, HookArg reserved, std::uint32_t effect, EffectParam parameter,
                  std::uint32_t flags, int leftMargin, int rightMargin, int tabLength) override;
  int DrawTextExA(const char* text, int length, RECT* rect, std::uint32_t format, COLORREF color,
                  HFONT font, HookArg reserved, std::uint32_t effect, EffectParam parameter,
                  std::uint32_t flags, int leftMargin, int rightMargin, int tabLength) override;
  int ReplaceColor(COLORREF oldColor, COLORREF newColor) override;
  int SetPaletteEntries(const LOGPALETTE* record, int remap) override;
  int GetLogPalette(LOGPALETTE* out) override;
  /* 112 */ virtual int DriverHook112(HookArg a, HookArg b, HookArg c, HookArg d);  // 0

  HDC dc = nullptr;
  HWND dcWindow = nullptr;
  std::int32_t ownsDC = 0;
  std::int32_t deviceOriginX = 0;
  std::int32_t deviceOriginY = 0;

 protected:
  ~cDCSurface();
  // Size and format from the context's drawable.
  [[gnu::visibility("hidden")]] void Describe();
};

// The library's screen surface: a cDCSurface on the screen's context, made on first use.
VEXA_API cDCSurface* GetScreenDCSurface();
