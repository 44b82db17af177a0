// Records and handle types of the exported interface.
//
// The library's callers were written against a 32-bit Windows interface; these are the
// same records with their exact byte layouts (checked below), and the handles as opaque
// pointer types of the platform layer. Wide characters are UTF-16 (char16_t).
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using BOOL = std::int32_t;
using WCHAR = char16_t;
using COLORREF = std::uint32_t;  // 0x00BBGGRR

namespace plat {
struct DeviceContext;
struct Window;
struct PaletteHandle;
struct FontHandle;
struct BitmapHandle;
struct IconHandle;
struct MenuHandle;
struct ModuleHandle;
struct PenHandle;
struct BrushHandle;
struct RegionHandle;
}  // namespace plat

using HDC = plat::DeviceContext*;
using HWND = plat::Window*;
using HPALETTE = plat::PaletteHandle*;
using HFONT = plat::FontHandle*;
using HBITMAP = plat::BitmapHandle*;
using HICON = plat::IconHandle*;
using HCURSOR = plat::IconHandle*;
using HMENU = plat::MenuHandle*;
using HINSTANCE = plat::ModuleHandle*;
using HMODULE = plat::ModuleHandle*;
using HPEN = plat::PenHandle*;
using HBRUSH = plat::BrushHandle*;
using HRGN = plat::RegionHandle*;
// Any object of the device interface (a context, bitmap, pen, brush, region, palette or font);
// every handle type above converts to it.
using HGDIOBJ = void*;
using HFILE = std::intptr_t;  // a POSIX file descriptor; -1 means none
inline constexpr HFILE kInvalidFile = -1;

struct RECT {
  LONG left, top, right, bottom;
};
struct POINT {
  LONG x, y;
};
struct SIZE {
  LONG cx, cy;
};
struct RGBQUAD {
  BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};
struct PALETTEENTRY {
  BYTE peRed, peGreen, peBlue, peFlags;
};
struct LOGPALETTE {
  WORD palVersion;
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[1];
};
// A logical palette record with room for all 256 entries.
struct LOGPALETTE256 {
  WORD palVersion;
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[256];
};

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
  WORD bfType;
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
};
#pragma pack(pop)

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

inline constexpr int kLfFaceSize = 32;
struct LOGFONTA {
  LONG lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight;
  BYTE lfItalic, lfUnderline, lfStrikeOut, lfCharSet;
  BYTE lfOutPrecision, lfClipPrecision, lfQuality, lfPitchAndFamily;
  char lfFaceName[kLfFaceSize];
};
struct LOGFONTW {
  LONG lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight;
  BYTE lfItalic, lfUnderline, lfStrikeOut, lfCharSet;
  BYTE lfOutPrecision, lfClipPrecision, lfQuality, lfPitchAndFamily;
  WCHAR lfFaceName[kLfFaceSize];
};

#pragma pack(push, 2)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
#pragma pack(pop)

static_assert(sizeof(RECT) == 16);
static_assert(sizeof(POINT) == 8);
static_assert(sizeof(SIZE) == 8);
static_assert(sizeof(RGBQUAD) == 4);
static_assert(sizeof(PALETTEENTRY) == 4);
static_assert(sizeof(LOGPALETTE) == 8);
static_assert(offsetof(LOGPALETTE, palPalEntry) == 4);
static_assert(sizeof(LOGPALETTE256) == 4 + 256 * 4);
static_assert(sizeof(BITMAPFILEHEADER) == 14);
static_assert(offsetof(BITMAPFILEHEADER, bfOffBits) == 10);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(BITMAPINFO) == 44);
static_assert(sizeof(LOGFONTA) == 60);
static_assert(sizeof(LOGFONTW) == 92);
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(offsetof(WAVEFORMATEX, cbSize) == 16);
