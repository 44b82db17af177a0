#include "platform/gdi/screen.h"

#include <SDL.h>

#include <cstdlib>

namespace plat {
namespace {

constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return r | (g << 8) | (b << 16);
}

// Indices 0-30 of the classic desktop colour scheme.
constexpr std::uint32_t kClassicScheme[] = {
    Rgb(212, 208, 200), Rgb(58, 110, 165),  Rgb(10, 36, 106),   Rgb(128, 128, 128),
    Rgb(212, 208, 200), Rgb(255, 255, 255), Rgb(0, 0, 0),       Rgb(0, 0, 0),
    Rgb(0, 0, 0),       Rgb(255, 255, 255), Rgb(212, 208, 200), Rgb(212, 208, 200),
    Rgb(128, 128, 128), Rgb(10, 36, 106),   Rgb(255, 255, 255), Rgb(212, 208, 200),
    Rgb(128, 128, 128), Rgb(128, 128, 128), Rgb(0, 0, 0),       Rgb(212, 208, 200),
    Rgb(255, 255, 255), Rgb(64, 64, 64),    Rgb(212, 208, 200), Rgb(0, 0, 0),
    Rgb(255, 255, 225), Rgb(181, 181, 181), Rgb(0, 0, 128),     Rgb(166, 202, 240),
    Rgb(192, 192, 192), Rgb(49, 106, 197),  Rgb(236, 233, 216)};

bool HasDisplay() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver &&
      (SDL_strcasecmp(driver, "dummy") == 0 || SDL_strcasecmp(driver, "offscreen") == 0)) {
    return false;
  }
  return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
}

}  // namespace

int ScreenBitsPerPixel() {
  if (!HasDisplay()) return 32;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 32;
  SDL_DisplayMode mode{};
  int bits = 32;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    const int stored = SDL_BYTESPERPIXEL(mode.format) * 8;
    bits = stored == 16 ? static_cast<int>(SDL_BITSPERPIXEL(mode.format)) : stored;
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return bits;
}

bool ScreenDesktopSize(int* width, int* height, int* refresh) {
  if (!HasDisplay()) return false;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  SDL_DisplayMode mode{};
  const bool known = SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0;
  if (known) {
    *width = mode.w;
    *height = mode.h;
    *refresh = mode.refresh_rate;
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return known;
}

bool ScreenHasSystemPalette() { return false; }

std::uint32_t SystemColor(int index) {
  constexpr int kCount = sizeof(kClassicScheme) / sizeof(kClassicScheme[0]);
  return (index >= 0 && index < kCount) ? kClassicScheme[index] : 0;
}

}  // namespace plat
