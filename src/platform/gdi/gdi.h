// The library's own software device interface: device contexts over bitmaps, windows and the
// screen, with pens, brushes, clip regions and the drawing calls the library makes.
//
// Every object lives in one handle table. A handle is a number, never an address: a stale
// handle (its object deleted), one that was never made here, or one of another object type
// gets the call's failure result. An object deleted while a context still has it selected
// (or saved by SaveDC) stays alive until the last context lets go of it.
//
// Coordinates given to drawing calls are logical: the context's window origin is subtracted
// to get device pixels. Regions, clip boxes kept by the context and bitmaps are in device
// pixels. Rasterisation rules (docs/platform.md):
// - a pixel belongs to a filled shape when its centre lies inside; boxes exclude their right
//   and bottom edges; ellipses are symmetric about both axes of their box;
// - LineTo leaves out its last pixel; a pen of width w covers floor(w/2) pixels outside and
//   floor((w-1)/2) inside a shape's outline; pens wider than 1 have round caps and joins;
// - there is no antialiasing; every colour is mapped to one stored pixel value first.
// Input coordinates are clamped to +-2^27 so that the arithmetic of every shape stays exact.
//
// Contexts belong to the thread that uses them; the handle table itself is thread-safe.
#pragma once

#include <cstdint>

#include <vexa/wintypes.h>

namespace plat {

// ---- constants -----------------------------------------------------------------------------

// Object types (GetObjectType).
inline constexpr int OBJ_PEN = 1, OBJ_BRUSH = 2, OBJ_DC = 3, OBJ_PAL = 5, OBJ_FONT = 6,
                     OBJ_BITMAP = 7, OBJ_REGION = 8, OBJ_MEMDC = 10;

// Stock objects (GetStockObject).
inline constexpr int WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3,
                     BLACK_BRUSH = 4, NULL_BRUSH = 5, HOLLOW_BRUSH = NULL_BRUSH, WHITE_PEN = 6,
                     BLACK_PEN = 7, NULL_PEN = 8, OEM_FIXED_FONT = 10, ANSI_FIXED_FONT = 11,
                     ANSI_VAR_FONT = 12, SYSTEM_FONT = 13, DEVICE_DEFAULT_FONT = 14,
                     DEFAULT_PALETTE = 15, SYSTEM_FIXED_FONT = 16, DEFAULT_GUI_FONT = 17;

// Binary raster operations (SetROP2): the result from pen P and destination D, bitwise over a
// stored pixel value (palette indexes at 8 bits).
inline constexpr int R2_BLACK = 1, R2_NOTMERGEPEN = 2, R2_MASKNOTPEN = 3, R2_NOTCOPYPEN = 4,
                     R2_MASKPENNOT = 5, R2_NOT = 6, R2_XORPEN = 7, R2_NOTMASKPEN = 8,
                     R2_MASKPEN = 9, R2_NOTXORPEN = 10, R2_NOP = 11, R2_MERGENOTPEN = 12,
                     R2_COPYPEN = 13, R2_MERGEPENNOT = 14, R2_MERGEPEN = 15, R2_WHITE = 16;

// Pen styles; PS_INSIDEFRAME draws as PS_SOLID. Styled pens wider than 1 draw solid.
inline constexpr int PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4,
                     PS_NULL = 5, PS_INSIDEFRAME = 6;

// Brush styles.
inline constexpr UINT BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = BS_NULL, BS_HATCHED = 2;

struct LOGPEN {
  UINT lopnStyle;
  POINT lopnWidth;  // x is the width; y is unused
  COLORREF lopnColor;
};
struct LOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  std::uintptr_t lbHatch;
};
struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;  // the pixels of a DIB section; null for other bitmaps
};

// Background modes, polygon fill modes, stretch modes, text alignment.
inline constexpr int TRANSPARENT = 1, OPAQUE = 2;
inline constexpr int ALTERNATE = 1, WINDING = 2;
inline constexpr int BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4;
inline constexpr UINT TA_LEFT = 0, TA_TOP = 0, TA_UPDATECP = 1, TA_RIGHT = 2, TA_CENTER = 6,
                      TA_BOTTOM = 8, TA_BASELINE = 24;

// Region types (results of region and clip calls) and combine modes.
inline constexpr int RGN_ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3;
inline constexpr int RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5;

// Raster operations of BitBlt, StretchBlt and PatBlt.
inline constexpr DWORD SRCCOPY = 0x00CC0020, PATCOPY = 0x00F00021, PATINVERT = 0x005A0049,
                       DSTINVERT = 0x00550009, BLACKNESS = 0x00000042, WHITENESS = 0x00FF0062;

// Bitmap information: compression and colour-table usage.
inline constexpr DWORD BI_RGB = 0, BI_BITFIELDS = 3;
inline constexpr UINT DIB_RGB_COLORS = 0, DIB_PAL_COLORS = 1;

// GetDeviceCaps indexes and the raster capability bits.
inline constexpr int HORZRES = 8, VERTRES = 10, BITSPIXEL = 12, PLANES = 14, NUMCOLORS = 24,
                     RASTERCAPS = 38, LOGPIXELSX = 88, LOGPIXELSY = 90, SIZEPALETTE = 104,
                     NUMRESERVED = 106, COLORRES = 108, VREFRESH = 116;
inline constexpr int RC_BITBLT = 0x1, RC_BITMAP64 = 0x8, RC_DI_BITMAP = 0x80, RC_PALETTE = 0x100,
                     RC_DIBTODEV = 0x200, RC_STRETCHBLT = 0x800;

inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
inline constexpr UINT GDI_ERROR = 0xFFFFFFFF;

// A colour that names an entry of the context's palette (at 8 bits: the stored index).
constexpr COLORREF PALETTEINDEX(WORD index) { return 0x01000000u | index; }

// ---- objects -------------------------------------------------------------------------------

// A stock object; stock objects are never deleted (DeleteObject answers TRUE and keeps them).
HGDIOBJ GetStockObject(int which);
// Deletes a bitmap, pen, brush, region, palette or font. An object still selected into a
// context is freed when the last context deselects it. FALSE for a handle that is not a live
// object of these types.
BOOL DeleteObject(HGDIOBJ object);
// One of the OBJ_ codes, or 0 for a handle that names no live object.
int GetObjectType(HGDIOBJ object);
// Fills a BITMAP, LOGPEN or LOGBRUSH (by the object's type); returns the bytes written, or
// the size needed when `out` is null; 0 on failure.
int GetObject(HGDIOBJ object, int size, void* out);
// Selects a bitmap, pen, brush or font into a context and returns the one it replaces; a
// region becomes the clip region (a copy) and the result is its type. Null on failure (a
// bitmap only goes into memory contexts; regions answer RGN_ERROR cast to a handle).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// The object of a type (OBJ_BITMAP, OBJ_PEN, OBJ_BRUSH, OBJ_FONT, OBJ_PAL) selected now.
HGDIOBJ GetCurrentObject(HDC dc, int type);
// Number of live objects of the table (stock objects included), for leak checks.
int LiveObjectCount();

// ---- contexts ------------------------------------------------------------------------------

// A memory context compatible with `reference` (null: the screen). It starts with a 1 x 1
// monochrome bitmap, the white brush, the black pen, the default palette and no clip region.
HDC CreateCompatibleDC(HDC reference);
// Deletes a memory context (the objects selected into it stay with their owners).
BOOL DeleteDC(HDC dc);
// The screen's context when `window` is null: a memory screen of the desktop's size and depth
// (nothing drawn on it shows). Otherwise the window's client-area context, drawing into its
// framebuffer; null for a bad window. The window manager draws frames, so GetWindowDC gives
// the client-area context too.
HDC GetDC(HWND window);
HDC GetWindowDC(HWND window);
// Ends GetDC/GetWindowDC, showing what a window context drew; 1 when the context was
// released, 0 otherwise (a context released twice, or by another window).
int ReleaseDC(HWND window, HDC dc);
// Pushes the context's state; returns the new depth (0 on failure). RestoreDC with a positive
// level returns to that saved state, with a negative one goes that many states back.
int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int level);

BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous);
BOOL GetWindowOrgEx(HDC dc, POINT* out);
BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, POINT* previous);

// Each setter returns the previous value, or 0 (CLR_INVALID for colours) for a bad handle or
// value.
int SetROP2(HDC dc, int mode);
int GetROP2(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
UINT SetTextAlign(HDC dc, UINT align);  // GDI_ERROR on failure
UINT GetTextAlign(HDC dc);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
int SetPolyFillMode(HDC dc, int mode);
int GetPolyFillMode(HDC dc);
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL GetCurrentPositionEx(HDC dc, POINT* out);

int GetDeviceCaps(HDC dc, int index);
// Shows what window contexts drew so far (ReleaseDC does it too).
BOOL GdiFlush();

// ---- bitmaps -------------------------------------------------------------------------------

// A DIB section: 1 or 8 bits with a colour table (DIB_RGB_COLORS) or a table of 16-bit
// indexes into the context's palette (DIB_PAL_COLORS); 16 bits as 5-5-5 (BI_RGB or those
// masks) or 5-6-5 (BI_BITFIELDS masks); 24; 32 (BI_RGB or the masks 0xFF0000, 0xFF00, 0xFF).
// A positive height is bottom-up, a negative one top-down. `bits` receives the zeroed pixels.
// Null (and *bits null) for anything else, a size beyond 2 GiB or a bad context handle.
// `section` and `offset` must be null and 0 (file mappings are not supported).
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, void* section,
                         DWORD offset);
// A bitmap in the format of the bitmap selected into `dc` (a memory context's default
// monochrome bitmap counts as the screen's format), zero-filled.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// A bitmap of 1, 8, 16 (5-6-5), 24 or 32 bits per pixel with one plane; `bits` (rows padded
// to 2 bytes, top-down) or zeroes.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits);

// Scan lines [start, start + lines) of a bitmap (line 0 being the bottom row for bottom-up
// formats) to or from a buffer described by `info` (1, 8, 16, 24 or 32 bits). GetDIBits with
// null `bits` fills the header (size, image size) and, up to 8 bits, the colour table of the
// bitmap. Return the lines copied, 0 on failure. The bitmap must not be selected into a
// context for SetDIBits other than `dc`.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
              UINT usage);
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage);
// The colour table of the DIB section selected into `dc`: entries set or read.
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);

// ---- pens and brushes ----------------------------------------------------------------------

HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* pen);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);  // BS_SOLID and BS_NULL
// A stock brush of a system colour (index 0-30); null for other indexes.
HBRUSH GetSysColorBrush(int index);
COLORREF GetSysColor(int index);

// ---- regions -------------------------------------------------------------------------------

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom);
// destination = a op b (RGN_COPY uses a only); the resulting region type.
int CombineRgn(HRGN destination, HRGN a, HRGN b, int mode);
int OffsetRgn(HRGN region, int dx, int dy);
int GetRgnBox(HRGN region, RECT* box);
BOOL PtInRegion(HRGN region, int x, int y);
BOOL EqualRgn(HRGN a, HRGN b);
// The region's disjoint rectangles, in bands from top to bottom and left to right inside a
// band; returns their number (all of them, even when more than `capacity`), -1 on failure.
int GetRegionRects(HRGN region, RECT* out, int capacity);

// The clip region of a context, in device pixels. SelectClipRgn copies the region (null
// removes the clip); ExtSelectClipRgn combines it with the current one (a missing clip counts
// as the whole drawable). Intersect/ExcludeClipRect take logical coordinates.
int SelectClipRgn(HDC dc, HRGN region);
int ExtSelectClipRgn(HDC dc, HRGN region, int mode);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
// The box of what can be drawn (clip region within the drawable) in logical coordinates, and
// its type.
int GetClipBox(HDC dc, RECT* box);
// Copies the clip region into `region`: 1, 0 when the context has none, -1 on failure.
int GetClipRgn(HDC dc, HRGN region);

// ---- drawing -------------------------------------------------------------------------------

// The colour actually stored (at 8 bits the palette entry chosen), or CLR_INVALID outside the
// clip or the drawable.
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
BOOL SetPixelV(HDC dc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC dc, int x, int y);

// Copies with SRCCOPY (other raster operations are refused); source positions are logical in
// the source context. Monochrome sources draw 0 bits in the text colour and 1 bits in the
// background colour; sources to monochrome map the background colour to 1, others to 0.
BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX,
            int sourceY, DWORD rop);
// Nearest-pixel scaling with SRCCOPY; a negative width or height mirrors.
BOOL StretchBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX,
                int sourceY, int sourceWidth, int sourceHeight, DWORD rop);
// PATCOPY, PATINVERT, DSTINVERT, BLACKNESS or WHITENESS over a rectangle.
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);

// Fills the rectangle (right and bottom excluded) with the brush, ignoring the raster
// operation; 0 for a bad handle.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
BOOL Polygon(HDC dc, const POINT* points, int count);
BOOL LineTo(HDC dc, int x, int y);
BOOL Polyline(HDC dc, const POINT* points, int count);

// ---- palettes ------------------------------------------------------------------------------

HPALETTE CreatePalette(const LOGPALETTE* record);
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* out);
UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* in);
UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color);
// Selects a logical palette (the context's palette-index colours then name its entries);
// returns the previous one.
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL background);
// Nothing to map on a true-colour screen: 0 entries (GDI_ERROR for a bad handle).
UINT RealizePalette(HDC dc);
// The screen has no system palette: always 0.
UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* out);

// ---- fonts and text ------------------------------------------------------------------------

// Font weights, qualities, character sets, pitch and family.
inline constexpr LONG FW_NORMAL = 400, FW_BOLD = 700;
inline constexpr BYTE NONANTIALIASED_QUALITY = 3, ANTIALIASED_QUALITY = 4;
inline constexpr BYTE ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, SYMBOL_CHARSET = 2;
inline constexpr BYTE DEFAULT_PITCH = 0, FIXED_PITCH = 1, VARIABLE_PITCH = 2;
inline constexpr BYTE FF_DONTCARE = 0x00, FF_ROMAN = 0x10, FF_SWISS = 0x20, FF_MODERN = 0x30,
                      FF_SCRIPT = 0x40, FF_DECORATIVE = 0x50;
// tmPitchAndFamily bits: note that TMPF_FIXED_PITCH set means a variable-pitch font.
inline constexpr BYTE TMPF_FIXED_PITCH = 0x01, TMPF_VECTOR = 0x02, TMPF_TRUETYPE = 0x04;

struct TEXTMETRICW {
  LONG tmHeight, tmAscent, tmDescent, tmInternalLeading, tmExternalLeading;
  LONG tmAveCharWidth, tmMaxCharWidth, tmWeight, tmOverhang;
  LONG tmDigitizedAspectX, tmDigitizedAspectY;
  WCHAR tmFirstChar, tmLastChar, tmDefaultChar, tmBreakChar;
  BYTE tmItalic, tmUnderlined, tmStruckOut, tmPitchAndFamily, tmCharSet;
};
static_assert(sizeof(TEXTMETRICW) == 60);

// ExtTextOutW options.
inline constexpr UINT ETO_OPAQUE = 0x2, ETO_CLIPPED = 0x4;

// DrawTextExW format flags.
inline constexpr UINT DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2,
                      DT_VCENTER = 0x4, DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20,
                      DT_EXPANDTABS = 0x40, DT_TABSTOP = 0x80, DT_NOCLIP = 0x100,
                      DT_EXTERNALLEADING = 0x200, DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800,
                      DT_INTERNAL = 0x1000, DT_EDITCONTROL = 0x2000, DT_PATH_ELLIPSIS = 0x4000,
                      DT_END_ELLIPSIS = 0x8000, DT_MODIFYSTRING = 0x10000, DT_RTLREADING = 0x20000,
                      DT_WORD_ELLIPSIS = 0x40000, DT_HIDEPREFIX = 0x100000,
                      DT_PREFIXONLY = 0x200000;

// The formatted-text parameters (cbSize 20): tab length in average character widths, margins
// in pixels, and the number of code units processed (written back).
struct DRAWTEXTPARAMS {
  UINT cbSize;
  int iTabLength;
  int iLeftMargin;
  int iRightMargin;
  UINT uiLengthDrawn;
};
static_assert(sizeof(DRAWTEXTPARAMS) == 20);

// A font from a logical description, matched against the installed faces by fontconfig (face
// name first, then weight, italic, pitch and family); null for a null record. Height < 0 is the
// em size in pixels, > 0 the cell height (ascent + descent), 0 a 16-pixel cell. The narrow
// form converts the face name with the library's code page.
HFONT CreateFontIndirectW(const LOGFONTW* font);
HFONT CreateFontIndirectA(const LOGFONTA* font);

// Metrics of the context's font; FALSE for a bad context.
BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* out);
// Width (sum of the integer advances the output uses; no kerning) and height (the cell) of
// text; `length` -1 means zero-terminated.
BOOL GetTextExtentPoint32W(HDC dc, const WCHAR* text, int length, SIZE* out);

// Text at a logical point with the context's alignment, colours and background mode.
// Coverage blends every channel as d + (t - d) * a / 255, rounded to nearest; 8-bit bitmaps and
// non-antialiased fonts draw bilevel glyphs. `dx`, when given, replaces each code unit's advance.
BOOL TextOutW(HDC dc, int x, int y, const WCHAR* text, int length);
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, const WCHAR* text,
                 UINT length, const int* dx);
BOOL TextOutA(HDC dc, int x, int y, const char* text, int length);

// Text laid out in a rectangle with DT_ flags; answers the height of the text (0 on failure).
// DT_CALCRECT only measures and writes the rectangle back. DT_MODIFYSTRING and DT_RTLREADING
// are ignored.
int DrawTextExW(HDC dc, const WCHAR* text, int length, RECT* rect, UINT format,
                DRAWTEXTPARAMS* params);
int DrawTextW(HDC dc, const WCHAR* text, int length, RECT* rect, UINT format);
int DrawTextExA(HDC dc, const char* text, int length, RECT* rect, UINT format,
                DRAWTEXTPARAMS* params);

}  // namespace plat
