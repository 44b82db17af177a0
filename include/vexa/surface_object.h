// cSurfaceObject: the public surface handle.
//
// A small value-like object that owns one surface implementation (never null: an empty
// object points at the library's error surface) and forwards nearly every call to it after
// translating coordinates by its own origin. The origin is subtracted from every x and y the
// caller passes that address this surface (for a two-surface operation each surface's own
// origin from its own coordinates) and added to coordinates returned. Failures return 0 or
// null; some also record a code in lastError.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/surface_implementation.h>
#include <vexa/wintypes.h>

// Result codes recorded in lastError (shared with the stream functions).
inline constexpr std::uint32_t kErrorNoMemory = 0x40000000;
inline constexpr std::uint32_t kErrorRead = 0x40000001;
inline constexpr std::uint32_t kErrorEndOfFile = 0x40000002;
inline constexpr std::uint32_t kErrorWrite = 0x40000003;
inline constexpr std::uint32_t kErrorDiskFull = 0x40000004;
inline constexpr std::uint32_t kErrorCannotOpen = 0x40000005;
inline constexpr std::uint32_t kErrorCannotCreate = 0x40000006;
inline constexpr std::uint32_t kErrorNotSupported = 0x40010000;
inline constexpr std::uint32_t kErrorNoDeviceContext = 0x40010002;

class CFillData;

class VEXA_API cSurfaceObject {
 public:
  cSurfaceImplementation* implementation;
  std::int32_t originX;
  std::int32_t originY;
  std::uint32_t lastError;

  // ---- lifetime and implementation ------------------------------------------------------
  cSurfaceObject();
  cSurfaceObject(const cSurfaceObject& source);  // Clone at the source's size
  cSurfaceObject& operator=(const cSurfaceObject& source);
  ~cSurfaceObject();

  // Releases the current implementation and makes one of width x height (at least 1 x 1)
  // from the prototype; null and 0x40000000 on failure.
  cSurfaceImplementation* Create(int width, int height, const cSurfaceObject* prototype);
  // Device-context surfaces: on the given context (null: the screen), or on a window.
  cSurfaceImplementation* CreateForDC(HDC dc);
  cSurfaceImplementation* CreateForWindow(HWND window, int wholeWindow);
  // A copy of source; with width and height other than -1 a stretched copy of that size.
  void Clone(const cSurfaceObject& source, int width, int height);
  // Shrinks the surface to the box of its opaque pixels; 1 if it was cropped.
  int CropToOpaque(RECT* box);
  void SetImplementation(cSurfaceImplementation* newImplementation);
  int ReleaseImplementation();
  int ReleaseImplementationAndClearError();  // also clears lastError; returns 0
  // Destroys `object` unless it is this object itself.
  void DeleteSurfaceObject(cSurfaceObject* object);

  int IsValid() const;
  cSurfaceImplementation* GetImplementation() const { return implementation; }
  cSurfaceObject* GetRenderTarget();
  void NotifyImplementation(int code, HookArg value);
  void NotifyPair(int code, cSurfaceObject* other);

  // ---- queries --------------------------------------------------------------------------
  int GetWidth() const;
  int GetHeight() const;
  int GetDepth() const;
  int GetPitch() const;
  int GetInfo(int* width, int* height, int* depth) const;
  int IsPaletted() const;
  int HasAlpha() const;
  int GetAlphaPitch() const;
  std::uint8_t* GetAlphaPointer() const;
  int GetType() const;
  int GetDriver() const;
  std::uint32_t GetLastError() const { return lastError; }
  void GetOrigin(int* x, int* y) const;
  void GetOrigin(POINT* point) const;
  std::uint32_t GetDIBSizeOf() const;

  // ---- origin ---------------------------------------------------------------------------
  int SetOrigin(int x, int y);
  int SetOrigin(const POINT& point);
  int OffsetOrigin(int dx, int dy);
  int OffsetOrigin(const POINT& delta);

  // ---- pixels ---------------------------------------------------------------------------
  int GetPixelValue(int x, int y, std::uint32_t* value);
  int GetPixelColor(int x, int y, COLORREF* color);
  int GetPixelRGB(int x, int y, BYTE* red, BYTE* green, BYTE* blue);
  void SetPixelValue(int x, int y, std::uint32_t value);
  void SetPixelColor(int x, int y, COLORREF color);
  void SetPixelRGB(int x, int y, BYTE red, BYTE green, BYTE blue);
  // Unclipped direct access to the storage (see the pixel formats); without storage the
  // read falls back to GetPixelColor and the write does nothing.
  COLORREF GetPixelFast(int x, int y);
  void SetPixelFast(int x, int y, COLORREF color);
  void SetPixelIndexFast(int x, int y, BYTE index);  // 8-bit surfaces only
  // Locks and returns row 0; end with Unlock.
  std::uint8_t* LockBits();
  int Lock();
  void Unlock();

  // ---- clip rectangle and device context --------------------------------------------------
  void GetClipRect(int* x, int* y, int* width, int* height);
  void GetClipRect(RECT* rect);
  void SetClipRect(int x, int y, int width, int height);
  void ResetClipRect();
  // The implementation's device context; null (and 0x40010002 in lastError) when it has none.
  HDC GetDC();
  void ReleaseDC(HDC dc);
  // Shrinks a context's clip region to the surface's clip rectangle (device pixels) and
  // returns what RestoreDCClip needs to undo it: a copy of the previous clip region, or null
  // when the context had none.
  HRGN IntersectDCClip(HDC dc);
  // Gives the context back the clip region IntersectDCClip saved, and frees the copy.
  void RestoreDCClip(HDC dc, HRGN saved);

  // ---- transparency ---------------------------------------------------------------------
  void SetTransparentColor(COLORREF color);
  COLORREF GetTransparentColor();
  std::uint32_t GetTransparentValue();

  // ---- palette --------------------------------------------------------------------------
  int SetPalette(PaletteObject* palette, int remap);
  int SetPaletteEntries(const LOGPALETTE* record, int remap);
  int SetPaletteEntries(HPALETTE systemPalette, int remap);
  PaletteObject* GetPalette();
  int GetPaletteEntries(PALETTEENTRY* out, int first, int count);
  int GetNearestIndex(COLORREF color);
  COLORREF GetPaletteColor(int index);
  int GetDarkestIndex();
  void RemapPixels(const std::uint8_t* table);

  // ---- alpha plane ----------------------------------------------------------------------
  std::uint8_t* CreateAlpha();
  void AttachAlpha(std::uint8_t* firstRow, int pitch);
  std::uint8_t* DetachAlpha(int* pitch);
  int SetAlphaFromBuffer(const std::uint8_t* source, int sourcePitch);
  cSurfaceObject* GetAlphaSurface();
  void PremultiplyAlpha();
  void DemultiplyAlpha();

  // ---- display mode ---------------------------------------------------------------------
  void EnumDisplayModes(DisplayModeCallback callback, void* userValue);
  int SetDisplayMode(HWND window, int width, int height, int bitsPerPixel);
  void RestoreDisplayMode(HWND window);
  void CopyDisplayModeState(cSurfaceObject* other);
  int SetWindow(HWND window);

  // ---- rendering (called on the source, destination first) ---------------------------------
  int Blit(cSurfaceObject* destination, int x, int y, int sourceX, int sourceY, int width,
           int height, int mode, std::uint32_t effect, EffectParam parameter, std::uint32_t flags);
  int Blit(cSurfaceObject* destination, int x, int y, int mode, std::uint32_t effect,
           EffectParam parameter, std::uint32_t flags);
  int BlitTransformed(cSurfaceObject* destination, float x, float y, int a1, int a2, int a3, int a4,
                      int a5, int a6, int a7, int a8, int a9, int a10, int a11, int a12);
  int BlitCallback(cSurfaceObject* destination, int x, int y, int sourceX, int sourceY, int width,
                   int height, int mode, BlitCallbackFn callback, void* userValue);
  int BlitEx(cSurfaceObject* destination, int x, int y, int sourceX, int sourceY, int width,
             int height, int windowWidth, int windowHeight, int centreX, int centreY, int marginX,
             int marginY, BlitExFilterFn filter, void* userValue);
  int StretchBlit(cSurfaceObject* destination, int x, int y, int width, int height, int sourceX,
                  int sourceY, int sourceWidth, int sourceHeight, int mode, std::uint32_t effect,
                  EffectParam parameter, std::uint32_t flags);
  int StretchBlit(cSurfaceObject* destination, int x, int y, int width, int height, int mode,
                  std::uint32_t effect, EffectParam parameter, std::uint32_t flags);
  int MoveRect(int x, int y, int sourceX, int sourceY, int width, int height);
  // Text at a point, clipped to a rectangle (null: the surface's clip), and text laid out in a
  // rectangle with DT_ format flags (written back when measuring); effect, parameter and blit
  // flags as for Blit. Surfaces that handle their origin get the object's coordinates.
  int DrawTextW(const WCHAR* text, int length, int x, int y, std::uint32_t alignment,
                const RECT* clip, COLORREF color, HFONT font, std::uint32_t effect = 0,
                EffectParam parameter = 0, std::uint32_t flags = 0);
  int DrawTextA(const char* text, int length, int x, int y, std::uint32_t alignment,
                const RECT* clip, COLORREF color, HFONT font, std::uint32_t effect = 0,
                EffectParam parameter = 0, std::uint32_t flags = 0);
  int DrawTextExW(const WCHAR* text, int length, RECT* rect, std::uint32_t format, COLORREF color,
                  HFONT font, std::uint32_t effect = 0, EffectParam parameter = 0,
                  std::uint32_t flags = 0, int leftMargin = 0, int rightMargin = 0,
                  int tabLength = 0);
  int DrawTextExA(const char* text, int length, RECT* rect, std::uint32_t format, COLORREF color,
                  HFONT font, std::uint32_t effect = 0, EffectParam parameter = 0,
                  std::uint32_t flags = 0, int leftMargin = 0, int rightMargin = 0,
                  int tabLength = 0);
  int FillRectValue(int x, int y, int width, int height, std::uint32_t value);
  int FillRectColor(int x, int y, int width, int height, COLORREF color);
  int FillRectRGB(int x, int y, int width, int height, BYTE red, BYTE green, BYTE blue);
  int FillColor(COLORREF color);
  int FlipHorizontal(int x, int y, int width, int height);
  int FlipHorizontal();
  int FlipVertical(int x, int y, int width, int height);
  int FlipVertical();
  int ReplaceColor(COLORREF oldColor, COLORREF newColor);
  // A rotated copy of this surface in `target` (sized by the caller, see GetRotatedRect). The
  // angle (degrees, counter-clockwise) is reduced into [0, 360): 90 and 270 turn by quarters,
  // 180 makes the target a mirrored copy, any other angle samples (antialias: bilinear).
  int Rotate(cSurfaceObject* target, int angle, int antialias, COLORREF fill, int transparency);
  int Rotate(cSurfaceObject* target, double angle, int antialias, COLORREF fill, int transparency);
  int GetOpaqueBounds(RECT* bounds);
  int IsAllTransparent();
  int IsAllOpaque();

  // ---- drawing primitives ----------------------------------------------------------------
  // Plain forms draw with solid colours (0x00BBGGRR; at 8 bits the nearest palette index):
  // one-pixel lines and rectangles in software, wider lines, ellipses and polygons through
  // the surface's device context (none: lastError 0x40010002, result 0). Rectangles are given
  // by two corners in any order. The outline variants draw nothing for a border width of 0
  // and otherwise the full form without its interior.
  int DrawLine(int x1, int y1, int x2, int y2, int width, COLORREF colour);
  int DrawRectangle(int x1, int y1, int x2, int y2, COLORREF fillColour, int borderWidth,
                    COLORREF borderColour, int fill);
  int DrawRectangle(int x1, int y1, int x2, int y2, int borderWidth, COLORREF borderColour);
  int DrawEllipse(int x1, int y1, int x2, int y2, COLORREF fillColour, int borderWidth,
                  COLORREF borderColour, int fill);
  int DrawEllipse(int x1, int y1, int x2, int y2, int borderWidth, COLORREF borderColour);
  // Fewer than 2 points (or none): 0.
  int DrawPolygon(const POINT* points, int count, COLORREF fillColour, int borderWidth,
                  COLORREF borderColour, int fill);
  int DrawPolygon(const POINT* points, int count, int borderWidth, COLORREF borderColour);

  // Styled forms paint the shape with fill styles and put it on the surface in transparent
  // mode through the effect, parameter and blit flags: the interior with `interior` (when
  // `fill` is set or there is no border), the border with `border`. An empty visible part
  // returns 0.
  int DrawLineStyled(int x1, int y1, int x2, int y2, int width, CFillData* style,
                     std::uint32_t flags, std::uint32_t effect, EffectParam parameter);
  int DrawRectangleStyled(int x1, int y1, int x2, int y2, CFillData* interior, int borderWidth,
                          CFillData* border, std::uint32_t flags, std::uint32_t effect,
                          EffectParam parameter, int fill);
  int DrawRectangleStyled(int x1, int y1, int x2, int y2, int borderWidth, CFillData* border,
                          std::uint32_t flags, std::uint32_t effect, EffectParam parameter);
  int DrawEllipseStyled(int x1, int y1, int x2, int y2, CFillData* interior, int borderWidth,
                        CFillData* border, std::uint32_t flags, std::uint32_t effect,
                        EffectParam parameter, int fill);
  int DrawEllipseStyled(int x1, int y1, int x2, int y2, int borderWidth, CFillData* border,
                        std::uint32_t flags, std::uint32_t effect, EffectParam parameter);
  int DrawPolygonStyled(const POINT* points, int count, CFillData* interior, int borderWidth,
                        CFillData* border, std::uint32_t flags, std::uint32_t effect,
                        EffectParam parameter, int fill);
  int DrawPolygonStyled(const POINT* points, int count, int borderWidth, CFillData* border,
                        std::uint32_t flags, std::uint32_t effect, EffectParam parameter);

  // ---- flood fill -----------------------------------------------------------------------
  // Paints every pixel four-way connected to (x, y) whose red, green and blue each lie within
  // `tolerance` of the seed's. With a nonzero colour and effect parameter the fill goes
  // through a temporary and is blitted with the effect, parameter and flags. The box
  // (right and bottom exclusive) is written where a pointer is given. 1 when a fill ran; 0
  // for an unreadable seed, a seed outside the clip or already of the fill colour, and out of
  // memory (lastError 0x40000000). At most 10,000 pending row segments are kept: a fill that
  // needs more stays incomplete.
  int FloodFill(int x, int y, int* left, int* top, int* right, int* bottom, COLORREF colour,
                std::uint32_t flags, int tolerance, int reserved, std::uint32_t effect,
                EffectParam parameter);
  int FloodFillNoBounds(int x, int y, COLORREF colour, std::uint32_t flags, int tolerance,
                        int reserved, std::uint32_t effect, EffectParam parameter);

  // ---- device-independent bitmaps ----------------------------------------------------------
  // Loading puts a bitmap's pixels into this surface, replacing the implementation by one of
  // the bitmap's size (made like the current one) when the sizes differ; the surface must
  // already have an implementation. Accepted: a 40-byte header, uncompressed 1, 4, 8, 16
  // (5-5-5), 24 and 32 bits, and bit fields of 16 bits (5-5-5, 5-6-5) and 32 bits (8-8-8).
  // 1- and 4-bit pixels widen to 8 bits: their colours go to palette entries 10 onwards (a
  // 4-bit 0 stays index 0). A 32-bit bitmap brings its fourth bytes as the alpha plane unless
  // they are all 255 or all 0. Load flags: kLoadKeepPalette keeps this surface's palette,
  // kLoadExactPalette takes an 8-bit bitmap's palette without arranging the system colours.
  // Results are 1, or 0 with a code in lastError and the surface as it was.
  //
  // A packed record: header, masks or colour table, then the rows unless `bits` is given.
  int LoadBitmap(const BITMAPINFO* info, const void* bits, int flags);
  int LoadBitmap(BITMAPINFO* info, void* bits, int flags);
  // A file open for reading, positioned at a "BM" file header or a bare information header.
  int LoadBitmapFromFile(HFILE file, void* ignored, int flags);
  int LoadBitmapFromFile(HFILE file, int flags);
  int LoadBitmapFromFileName(const char* name, int flags);
  int LoadBitmapFromFileName(const WCHAR* name, int flags);
  // A bitmap resource of a module: the file <module file>.res/bitmap/<id>.bmp beside a
  // loaded module (a LoadModule handle), or beside the main program for null. Ids 1-65535;
  // the second form takes the id as a pointer-sized integer.
  int LoadBitmapFromResource(HMODULE module, int id, int flags);
  int LoadBitmapFromResource(HMODULE module, const char* id, int flags);
  // Fills a packed record (room for header and colour table: GetDIBHeaderSize of the depth)
  // and, unless kSaveHeaderOnly, the rows at `bits` (null: right after the record) from the
  // surface, bottom-up. 15-bit surfaces are written as 16 bits uncompressed, 16-bit ones as
  // bit fields (5-6-5). kSaveAlpha puts the alpha plane in the fourth byte of 32-bit pixels.
  int MakeBitmap(BITMAPINFO* info, void* bits, int flags);
  // The record and rows without a file header; lastError holds the write code.
  int SaveBitmap(HFILE file, int flags);
  // A "BM" file, created or truncated; lastError holds the write code.
  int SaveBitmapToFileName(const char* name, int flags);
  int SaveBitmapToFileName(const WCHAR* name, int flags);

  // An icon (hotspot null) or a cursor (hotspot: x, y) of width x height (0: the system icon
  // size, 32) showing this surface centred and, when larger, scaled down smoothly with its
  // aspect kept; pixels of the key colour are transparent. Release with DestroyIconHandle.
  HICON MakeIcon(int width, int height, COLORREF key, const int* hotspot);
};

// Load flags.
inline constexpr int kLoadKeepPalette = 1;
inline constexpr int kLoadExactPalette = 4;
// Save flags.
inline constexpr int kSaveHeaderOnly = 1;
inline constexpr int kSaveAlpha = 2;

VEXA_API cSurfaceObject* NewSurfaceObject();
VEXA_API void DeleteSurfaceObject(cSurfaceObject* object);
