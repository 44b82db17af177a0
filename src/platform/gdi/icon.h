// Icon and cursor objects (HICON, HCURSOR): a colour image and a 1-bit transparency mask,
// plus the hot spot of a cursor.
//
// An object needs no display: it keeps its pixels in memory. Windows show it through SDL
// (as a window icon, or as a colour cursor once video is up), converted to an ARGB surface
// whose alpha is 0 where the mask has a 1.
#pragma once

#include <cstdint>
#include <vector>

#include <vexa/wintypes.h>

struct SDL_Surface;
struct SDL_Cursor;

namespace plat {

struct IconHandle {
  int width = 0;
  int height = 0;
  bool isCursor = false;
  int hotX = 0;
  int hotY = 0;
  int maskStride = 0;                // bytes per mask row: a multiple of 2
  std::vector<std::uint8_t> mask;    // top row first, bit 7 leftmost; 1 = transparent
  std::vector<std::uint32_t> color;  // 0x00RRGGBB, top row first
};

// Bytes of one row of an icon mask of this width: rows are padded to 2 bytes.
inline int IconMaskStride(int width) { return (width + 15) / 16 * 2; }

// The system's icon size (width and height).
int SystemIconSize();

// What an icon or cursor describes itself as.
struct IconDescription {
  bool isCursor = false;
  int hotX = 0;
  int hotY = 0;
  int width = 0;
  int height = 0;
};

// Makes an icon (cursor false) or a cursor with its hot spot from a mask of
// IconMaskStride(width) x height bytes and width x height colours (0x00RRGGBB), both top row
// first. Null for sizes below 1, a null argument or no memory.
HICON CreateIconObject(int width, int height, const std::uint8_t* mask, const std::uint32_t* color,
                       bool cursor, int hotX, int hotY);

// False for a null handle.
bool DescribeIcon(HICON icon, IconDescription* out);

// Frees an icon or cursor; false for null.
bool DestroyIconObject(HICON icon);

// A new 32-bit ARGB surface of the icon (alpha 255, or 0 with colour 0 where the mask is 1);
// free it with SDL_FreeSurface. Null for a null handle or when SDL cannot allocate.
SDL_Surface* IconToSurface(HICON icon);

// An SDL colour cursor of the icon with its hot spot (0, 0 for an icon); null when SDL has no
// video or refuses. Free it with SDL_FreeCursor.
SDL_Cursor* IconToCursor(HICON icon);

}  // namespace plat
