// cSurfaceImplementation: the abstract surface.
//
// Every surface (memory buffers, device-context surfaces, image-bank surfaces, the error
// surface, and surfaces that display-driver plug-ins supply) derives from this class. It
// carries the pixel descriptor (pixel_routines.h) and 112 virtual operations whose order is
// binding: plug-ins derive from this class and callers call through the table by slot. Slot 0
// is Destroy(flags) rather than a C++ virtual destructor (whose two ABI slots would shift the
// others); bit 0 of the flags also frees the object.
//
// Most operations have a generic base behaviour on the pixel descriptor; the comment on each
// slot gives its arguments, result and base behaviour. "DriverHookN" operations have meaning
// only for display-driver surfaces; the library keeps their slots and base results.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/pixel_routines.h>
#include <vexa/wintypes.h>

class cSurfaceObject;
struct CollisionMask;

// Surface kinds (GetKind).
inline constexpr int kKindMemory = 1;
inline constexpr int kKindDeviceContext = 2;
inline constexpr int kKindDIBSection = 3;
inline constexpr int kKindDIBSectionDC = 4;

// A display mode as EnumDisplayModes reports it.
struct DisplayModeRecord {
  std::int32_t width;
  std::int32_t height;
  std::int32_t bitsPerPixel;
};
using DisplayModeCallback = int (*)(const DisplayModeRecord* mode, void* userValue);

// GetDeviceOrigin packs both coordinates as unsigned 16-bit halves; unpacking sign-extends
// them, so that a negative origin does not land 65536 pixels away.
inline void UnpackDeviceOrigin(std::uint32_t packed, int* x, int* y) {
  if (x) *x = static_cast<std::int16_t>(packed & 0xFFFF);
  if (y) *y = static_cast<std::int16_t>(packed >> 16);
}

// BlitEx's neighbourhood filter: (destination block, source block, user value) -> colour.
using BlitExFilterFn = COLORREF (*)(const std::uint32_t* destinationBlock,
                                    const std::uint32_t* sourceBlock, void* userValue);

// The ink-effect parameter. It holds a pointer (the effect object of code 13), so it is as
// wide as a pointer; every other effect uses its low 32 bits.
using EffectParam = std::uintptr_t;
// Untyped argument of a driver hook.
using HookArg = std::intptr_t;

class VEXA_API cSurfaceImplementation : public PixelDescriptor {
 public:
  cSurfaceImplementation();
  cSurfaceImplementation(const cSurfaceImplementation& other);  // member-wise; no palette ref
  cSurfaceImplementation& operator=(const cSurfaceImplementation& other);

  /*   0 */ virtual cSurfaceImplementation* Destroy(unsigned flags);
  /*   1 */ virtual void Delete();
  /*   2 */ virtual cSurfaceImplementation* CreateCompatible(int width, int height) = 0;
  /*   3 */ virtual int DriverHook3();
  /*   4 */ virtual int DriverHook4();
  /*   5 */ virtual void EnumDisplayModes(DisplayModeCallback callback, void* userValue);
  /*   6 */ virtual int SetDisplayMode(HWND window, int width, int height, int bitsPerPixel);
  /*   7 */ virtual void RestoreDisplayMode(HWND window);
  /*   8 */ virtual void CopyDisplayModeState(cSurfaceImplementation* other);
  /*   9 */ virtual int DriverHook9();
  /*  10 */ virtual int DriverHook10();
  /*  11 */ virtual int DriverHook11(HookArg value);
  /*  12 */ virtual int Create(int width, int height);
  /*  13 */ virtual void SetPixelFormat(int depth);
  /*  14 */ virtual int InitFormat(int depth);
  /*  15 */ virtual int GetKind();
  /*  16 */ virtual int DriverHook16(HookArg value);
  /*  17 */ virtual int SetDeviceOrigin(int x, int y);
  /*  18 */ virtual std::uint32_t GetDeviceOrigin();
  /*  19 */ virtual int HandlesOrigin();
  /*  20 */ virtual int Lock();
  /*  21 */ virtual void Unlock();
  /*  22 */ virtual int IsDeviceSurface();
  /*  23 */ virtual HDC GetDC();
  /*  24 */ virtual void ReleaseDC(HDC dc);
  /*  25 */ virtual void GetClipRect(int* x, int* y, int* width, int* height);
  /*  26 */ virtual void SetClipRect(int x, int y, int width, int height);
  /*  27 */ virtual void ResetClipRect();
  /*  28 */ virtual void SetPixelValue(int x, int y, std::uint32_t value);
  /*  29 */ virtual void SetPixelColor(int x, int y, COLORREF color);
  /*  30 */ virtual int GetPixelValue(int x, int y, std::uint32_t* value);
  /*  31 */ virtual int GetPixelColor(int x, int y, COLORREF* color);
  /*  32 */ virtual int BlitFromDC(int x, int y, HDC source, int sourceX, int sourceY, int width,
                                   int height, HookArg, HookArg, HookArg);
  /*  33 */ virtual int Blit(cSurfaceImplementation* destination, int x, int y, int sourceX,
                             int sourceY, int width, int height, int mode, std::uint32_t effect,
                             EffectParam parameter, std::uint32_t flags);
  /*  34 */ virtual int BlitTransformed(cSurfaceImplementation* destination, float x, float y,
                                        int a1, int a2, int a3, int a4, int a5, int a6, int a7,
                                        int a8, int a9, int a10, int a11, int a12);
  /*  35 */ virtual int MoveRect(int x, int y, int sourceX, int sourceY, int width, int height);
  /*  36 */ virtual int BlitCallback(cSurfaceImplementation* destination, int x, int y, int sourceX,
                                     int sourceY, int width, int height, int mode,
                                     BlitCallbackFn callback, void* userValue);
  /*  37 */ virtual int BlitEx(cSurfaceImplementation* destination, int x, int y, int sourceX,
                               int sourceY, int width, int height, int windowWidth,
                               int windowHeight, int centreX, int centreY, int marginX, int marginY,
                               BlitExFilterFn filter, void* userValue);
  /*  38 */ virtual int StretchFromDC(int x, int y, int width, int height, HDC source, int sourceX,
                                      int sourceY, int sourceWidth, int sourceHeight, HookArg,
                                      HookArg, HookArg);
  /*  39 */ virtual int StretchBlit(cSurfaceImplementation* destination, int x, int y, int width,
                                    int height, int sourceX, int sourceY, int sourceWidth,
                                    int sourceHeight, int mode, std::uint32_t effect,
                                    EffectParam parameter, std::uint32_t flags);
  /*  40 */ virtual int FlipHorizontal(int x, int y, int width, int height);
  /*  41 */ virtual int FlipVertical(int x, int y, int width, int height);
  /*  42 */ virtual int GetOpaqueBounds(RECT* bounds);
  /*  43 */ virtual int FillRectDriver(int x, int y, int width, int height, std::uint32_t value,
                                       HookArg extra);
  /*  44 */ virtual int FillRectValue(int x, int y, int width, int height, std::uint32_t value);
  /*  45 */ virtual int FillRectColor(int x, int y, int width, int height, COLORREF color);
  /*  46 */ virtual int Rotate(cSurfaceImplementation* destination, float angle, int antialias,
                               COLORREF fillColor, int transparency);
  /*  47 */ virtual int RotateQuarter(cSurfaceImplementation* destination, int direction);
  /*  48 */ virtual int DrawTextW(const WCHAR* text, int length, int x, int y,
                                  std::uint32_t alignment, const RECT* clip, COLORREF color,
                                  HFONT font, HookArg reserved, std::uint32_t effect,
                                  EffectParam parameter, std::uint32_t flags);
  /*  49 */ virtual int DrawTextA(const char* text, int length, int x, int y,
                                  std::uint32_t alignment, const RECT* clip, COLORREF color,
                                  HFONT font, HookArg reserved, std::uint32_t effect,
                                  EffectParam parameter, std::uint32_t flags);
  /*  50 */ virtual int DrawTextExW(const WCHAR* text, int length, RECT* rect, std::uint32_t format,
                                    COLORREF color, HFONT font, HookArg reserved,
                                    std::uint32_t effect, EffectParam parameter,
                                    std::uint32_t flags, int leftMargin, int rightMargin,
                                    int tabLength);
  /*  51 */ virtual int DrawTextExA(const char* text, int length, RECT* rect, std::uint32_t format,
                                    COLORREF color, HFONT font, HookArg reserved,
                                    std::uint32_t effect, EffectParam parameter,
                                    std::uint32_t flags, int leftMargin, int rightMargin,
                                    int tabLength);
  /*  52 */ virtual int IsAllTransparent();
  /*  53 */ virtual int IsAllOpaque();
  /*  54 */ virtual int ReplaceColor(COLORREF oldColor, COLORREF newColor);
  /*  55 */ virtual void RemapFromPalette(PaletteObject* palette);
  /*  56 */ virtual void RemapPixels(const std::uint8_t* table);
  /*  57 */ virtual int SetPalette(PaletteObject* palette, int remap);
  /*  58 */ virtual int SetPaletteEntries(const LOGPALETTE* record, int remap);
  /*  59 */ virtual int SetPaletteFrom(cSurfaceImplementation* other, int remap);
  /*  60 */ virtual int GetPaletteEntries(PALETTEENTRY* out, int first, int count);
  /*  61 */ virtual PaletteObject* GetPalette();
  /*  62 */ virtual int GetLogPalette(LOGPALETTE* out);
  /*  63 */ virtual int GetNearestIndex(COLORREF color);
  /*  64 */ virtual COLORREF GetPaletteColor(int index);
  /*  65 */ virtual int GetDarkestIndex();
  /*  66 */ virtual int SetWindow(HWND window);
  /*  67 */ virtual int HasCustomPixelRoutines();
  /*  68 */ virtual int ReadPixels(HFILE file);
  /*  69 */ virtual int WritePixels(HFILE file);
  /*  70 */ virtual void SetTransparentColor(COLORREF color);
  /*  71 */ virtual COLORREF GetTransparentColor();
  /*  72 */ virtual std::uint32_t GetTransparentValue();
  /*  73 */ virtual void DriverHook73(int value);
  /*  74 */ virtual int BuildMask(CollisionMask* mask, std::uint32_t flags);
  /*  75 */ virtual void DriverHook75();
  /*  76 */ virtual int DriverHook76(HookArg a, HookArg b);
  /*  77 */ virtual int DriverHook77();
  /*  78 */ virtual int DriverHook78();
  /*  79 */ virtual int DriverHook79();
  /*  80 */ virtual void DriverHook80();
  /*  81 */ virtual void DriverHook81();
  /*  82 */ virtual void DriverHook82();
  /*  83 */ virtual void DriverHook83();
  /*  84 */ virtual cSurfaceImplementation* GetRenderImplementation();
  /*  85 */ virtual void DriverHook85(HookArg value);
  /*  86 */ virtual void DriverHook86(HookArg value);
  /*  87 */ virtual int HasNativeLines();
  /*  88 */ virtual int DrawLineNative(int x1, int y1, int x2, int y2, int width, COLORREF color);
  /*  89 */ virtual int HandlesBlitFrom();
  /*  90 */ virtual int BlitFrom(cSurfaceImplementation* source, int x, int y, int sourceX,
                                 int sourceY, int width, int height, int mode, std::uint32_t effect,
                                 EffectParam parameter, std::uint32_t flags);
  /*  91 */ virtual int HandlesStretchFrom();
  /*  92 */ virtual int StretchBlitFrom(cSurfaceImplementation* source, int x, int y, int width,
                                        int height, int sourceX, int sourceY, int sourceWidth,
                                        int sourceHeight, int mode, std::uint32_t effect,
                                        EffectParam parameter, std::uint32_t flags);
  /*  93 */ virtual int BlitTransformedFrom(cSurfaceImplementation* source, float x, float y,
                                            int a1, int a2, int a3, int a4, int a5, int a6, int a7,
                                            int a8, int a9, int a10, int a11, int a12);
  /*  94 */ virtual int DriverHook94(HookArg a, HookArg b);
  /*  95 */ virtual int CopyContentFrom(cSurfaceImplementation* source);
  /*  96 */ virtual void AttachEffect(void* effect);
  /*  97 */ virtual void DetachEffect(void* effect);
  /*  98 */ virtual int DriverHook98(void* effect, HookArg a, HookArg b);
  /*  99 */ virtual void EffectParameterChanged(void* effect, int parameterIndex);
  /* 100 */ virtual int DriverHook100(int code, cSurfaceObject* owner, cSurfaceObject* other);
  /* 101 */ virtual void NotifyOwner(int code, cSurfaceObject* owner, HookArg value);
  /* 102 */ virtual void DriverHook102(HookArg a);
  /* 103 */ virtual void PremultiplyAlpha();
  /* 104 */ virtual int DriverHook104(HookArg a, HookArg b, HookArg c, HookArg d, HookArg e,
                                      HookArg f);
  /* 105 */ virtual int DriverHook105(HookArg a, HookArg b);
  /* 106 */ virtual void DriverHook106(HookArg value);
  /* 107 */ virtual int DriverHook107(HookArg value);
  /* 108 */ virtual int FillRectBlendAlias(int x, int y, int width, int height, COLORREF color,
                                           int mode, std::uint32_t modulation);
  /* 109 */ virtual int FillRectEffect(int x, int y, int width, int height, void* pattern,
                                       HookArg a, HookArg b, HookArg c);
  /* 110 */ virtual int FillRectBlend(int x, int y, int width, int height, COLORREF color, int mode,
                                      std::uint32_t modulation);
  /* 111 */ virtual void DemultiplyAlpha();

  // ---- alpha plane (not virtual; every implementation has them) ---------------------
  std::uint8_t* CreateAlpha();
  void AttachAlpha(std::uint8_t* firstRow, int pitch);
  std::uint8_t* DetachAlpha(int* pitch);
  void DeleteAlpha();
  int SetAlphaFromBuffer(const std::uint8_t* source, int sourcePitch);
  cSurfaceObject* GetAlphaSurface();

 protected:
  // The destructor steps every class ends with: the palette reference at 8 bits, then an
  // owned alpha plane. Classes call it from their Destroy after releasing their own resources.
  void ReleaseBaseResources();
};

// Number of virtual operations of cSurfaceImplementation (slots 0-111).
inline constexpr int kSurfaceImplementationSlots = 112;

// Fills a new implementation from a prototype: size, full clip, stride and pitch (negated for
// bottom-up prototypes), format, colour key and routines, a counted reference to the
// prototype's palette; storage and alpha cleared. Returns 1.
VEXA_API int InitCompatible(cSurfaceImplementation* created,
                            const cSurfaceImplementation* prototype, int width, int height,
                            int stride);

// Swaps width and height for 90 and 270 degrees, keeps them for 0 and 180, otherwise replaces
// them by the size of the rotated rectangle's bounding box. A NaN or infinite angle keeps them.
VEXA_API void ClampRotatedSize(int* width, int* height, float angle);

// Delete on a possibly null implementation.
inline void DeleteImplementation(cSurfaceImplementation* implementation) {
  if (implementation) implementation->Delete();
}
