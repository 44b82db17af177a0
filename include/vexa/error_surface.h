// cErrorSurface: the null object of the surface system.
//
// The library holds one static instance; every empty public surface object points at it, so
// any call on an empty surface is safe and fails quietly. It answers every operation with 0,
// null or nothing, reports the memory kind, and otherwise keeps the base behaviour (so its
// colour key is shared by all empty objects). It keeps no alpha plane: CreateAlpha answers
// null, AttachAlpha does nothing and SetAlphaFromBuffer answers 0, so that no empty object
// ever shows a plane another one was given.
#pragma once

#include <vexa/export.h>
#include <vexa/surface_implementation.h>

class VEXA_API cErrorSurface : public cSurfaceImplementation {
 public:
  cErrorSurface();
  ~cErrorSurface();

  cSurfaceImplementation* Destroy(unsigned flags) override;
  cSurfaceImplementation* CreateCompatible(int width, int height) override;
  int DriverHook3() override;
  int DriverHook4() override;
  void EnumDisplayModes(DisplayModeCallback callback, void* userValue) override;
  int SetDisplayMode(HWND window, int width, int height, int bitsPerPixel) override;
  void RestoreDisplayMode(HWND window) override;
  int DriverHook9() override;
  int DriverHook10() override;
  int Create(int width, int height) override;
  void SetPixelFormat(int depth) override;
  int InitFormat(int depth) override;
  int GetKind() override;
  int SetDeviceOrigin(int x, int y) override;
  std::uint32_t GetDeviceOrigin() override;
  int HandlesOrigin() override;
  int Lock() override;
  void Unlock() override;
  int IsDeviceSurface() override;
  HDC GetDC() override;
  void ReleaseDC(HDC dc) override;
  void GetClipRect(int* x, int* y, int* width, int* height) override;
  void SetClipRect(int x, int y, int width, int height) override;
  void ResetClipRect() override;
  void SetPixelValue(int x, int y, std::uint32_t value) override;
  void SetPixelColor(int x, int y, COLORREF color) override;
  int GetPixelValue(int x, int y, std::uint32_t* value) override;
  int GetPixelColor(int x, int y, COLORREF* color) override;
  int BlitFromDC(int x, int y, HDC source, int sourceX, int sourceY, int width, int height, HookArg,
                 HookArg, HookArg) override;
  int Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY, int width,
           int height, int mode, std::uint32_t effect, EffectParam parameter,
           std::uint32_t flags) override;
  int MoveRect(int x, int y, int sourceX, int sourceY, int width, int height) override;
  int BlitCallback(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY,
                   int width, int height, int mode, BlitCallbackFn callback,
                   void* userValue) override;
  int BlitEx(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY, int width,
             int height, int windowWidth, int windowHeight, int centreX, int centreY, int marginX,
             int marginY, BlitExFilterFn filter, void* userValue) override;
  int StretchFromDC(int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                    int sourceWidth, int sourceHeight, HookArg, HookArg, HookArg) override;
  int StretchBlit(cSurfaceImplementation* destination, int x, int y, int width, int height,
                  int sourceX, int sourceY, int sourceWidth, int sourceHeight, int mode,
                  std::uint32_t effect, EffectParam parameter, std::uint32_t flags) override;
  int FlipHorizontal(int x, int y, int width, int height) override;
  int FlipVertical(int x, int y, int width, int height) override;
  int GetOpaqueBounds(RECT* bounds) override;
  int FillRectValue(int x, int y, int width, int height, std::uint32_t value) override;
  int FillRectColor(int x, int y, int width, int height, COLORREF color) override;
  int RotateQuarter(cSurfaceImplementation* destination, int direction) override;
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
  int IsAllTransparent() override;
  int IsAllOpaque() override;
  int ReplaceColor(COLORREF oldColor, COLORREF newColor) override;
  void RemapFromPalette(PaletteObject* palette) override;
  void RemapPixels(const std::uint8_t* table) override;
  int SetPalette(PaletteObject* palette, int remap) override;
  int SetPaletteEntries(const LOGPALETTE* record, int remap) override;
  int SetPaletteFrom(cSurfaceImplementation* other, int remap) override;
  int GetPaletteEntries(PALETTEENTRY* out, int first, int count) override;
  PaletteObject* GetPalette() override;
  int GetLogPalette(LOGPALETTE* out) override;
  int GetNearestIndex(COLORREF color) override;
  COLORREF GetPaletteColor(int index) override;
  int GetDarkestIndex() override;
  int SetWindow(HWND window) override;
  int HasCustomPixelRoutines() override;
  int ReadPixels(HFILE file) override;
  int WritePixels(HFILE file) override;
  void DriverHook75() override;
  int DriverHook76(HookArg a, HookArg b) override;
  int DriverHook77() override;
  int DriverHook78() override;
  /* 112 */ virtual int DriverHook112(HookArg a, HookArg b, HookArg c, HookArg d);
};

// The library's single error surface; public code never deletes it.
VEXA_API cErrorSurface* GetErrorSurface();
