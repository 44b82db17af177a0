#include "platform/gdi/icon.h"

#include <SDL.h>

#include <new>

#include <vexa/icon.h>

namespace plat {

namespace {
constexpr int kSystemIconSize = 32;
}  // namespace

int SystemIconSize() { return kSystemIconSize; }

HICON CreateIconObject(int width, int height, const std::uint8_t* mask, const std::uint32_t* color,
                       bool cursor, int hotX, int hotY) {
  if (width < 1 || height < 1 || !mask || !color) return nullptr;
  auto* icon = new (std::nothrow) IconHandle;
  if (!icon) return nullptr;
  try {
    const std::size_t stride = static_cast<std::size_t>(IconMaskStride(width));
    icon->mask.assign(mask, mask + stride * static_cast<std::size_t>(height));
    icon->color.assign(color, color + static_cast<std::size_t>(width) * height);
  } catch (const std::bad_alloc&) {
    delete icon;
    return nullptr;
  }
  icon->width = width;
  icon->height = height;
  icon->maskStride = IconMaskStride(width);
  icon->isCursor = cursor;
  icon->hotX = cursor ? hotX : width / 2;
  icon->hotY = cursor ? hotY : height / 2;
  return icon;
}

bool DescribeIcon(HICON icon, IconDescription* out) {
  if (!icon || !out) return false;
  *out = IconDescription{icon->isCursor, icon->hotX, icon->hotY, icon->width, icon->height};
  return true;
}

bool DestroyIconObject(HICON icon) {
  if (!icon) return false;
  delete icon;
  return true;
}

SDL_Surface* IconToSurface(HICON icon) {
  if (!icon) return nullptr;
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormat(0, icon->width, icon->height, 32, SDL_PIXELFORMAT_ARGB8888);
  if (!surface) return nullptr;
  for (int y = 0; y < icon->height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(surface->pixels) +
                                                 static_cast<std::ptrdiff_t>(y) * surface->pitch);
    const std::uint8_t* maskRow =
        icon->mask.data() + static_cast<std::size_t>(y) * icon->maskStride;
    const std::uint32_t* color = icon->color.data() + static_cast<std::size_t>(y) * icon->width;
    for (int x = 0; x < icon->width; ++x) {
      const bool transparent = (maskRow[x >> 3] >> (7 - (x & 7))) & 1;
      row[x] = transparent ? 0 : 0xFF000000u | (color[x] & 0xFFFFFF);
    }
  }
  return surface;
}

SDL_Cursor* IconToCursor(HICON icon) {
  SDL_Surface* surface = IconToSurface(icon);
  if (!surface) return nullptr;
  SDL_Cursor* cursor = SDL_CreateColorCursor(surface, icon->hotX, icon->hotY);
  SDL_FreeSurface(surface);
  return cursor;
}

}  // namespace plat

BOOL DestroyIconHandle(HICON icon) { return plat::DestroyIconObject(icon) ? 1 : 0; }

BOOL GetIconHandleInfo(HICON icon, BOOL* isIcon, POINT* hotSpot, SIZE* size) {
  plat::IconDescription d;
  if (!plat::DescribeIcon(icon, &d)) return 0;
  if (isIcon) *isIcon = d.isCursor ? 0 : 1;
  if (hotSpot) *hotSpot = POINT{d.hotX, d.hotY};
  if (size) *size = SIZE{d.width, d.height};
  return 1;
}
