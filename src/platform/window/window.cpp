#include "platform/window/window.h"

#include <SDL.h>

#include <algorithm>
#include <mutex>
#include <new>
#include <set>

namespace plat {
namespace {

std::mutex& WindowsLock() {
  static std::mutex lock;
  return lock;
}
std::set<Window*>& LiveWindows() {
  static std::set<Window*> windows;
  return windows;
}

Window* Live(HWND window) {
  std::lock_guard<std::mutex> guard(WindowsLock());
  return LiveWindows().count(window) ? window : nullptr;
}

bool Framed(DWORD style) { return !(style & WS_POPUP) || (style & WS_CAPTION) != 0; }

void Borders(const Window& w, int* top, int* left, int* bottom, int* right) {
  *top = *left = *bottom = *right = 0;
  if (SDL_GetWindowBordersSize(w.sdl, top, left, bottom, right) != 0)
    *top = *left = *bottom = *right = 0;
}

// The mode recorded by a change made without a window (nothing to switch on SDL's side).
struct Recorded {
  bool active = false;
  DisplaySettings settings{};
};
Recorded& RecordedMode() {
  static Recorded recorded;
  return recorded;
}

DisplaySettings SettingsOf(const SDL_DisplayMode& mode) {
  const int bytes = SDL_BYTESPERPIXEL(mode.format);
  const DWORD bits = bytes == 2 ? SDL_BITSPERPIXEL(mode.format) : static_cast<DWORD>(bytes * 8);
  return DisplaySettings{sizeof(DisplaySettings), bits, static_cast<DWORD>(mode.w),
                         static_cast<DWORD>(mode.h), static_cast<DWORD>(mode.refresh_rate)};
}

}  // namespace

HWND CreateWindow(const char* title, DWORD style, int x, int y, int width, int height) {
  if (width < 1 || height < 1) return nullptr;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
  Uint32 flags = (style & WS_VISIBLE) ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
  if (!Framed(style)) flags |= SDL_WINDOW_BORDERLESS;
  SDL_Window* sdl = SDL_CreateWindow(title ? title : "", x, y, width, height, flags);
  auto* window = sdl ? new (std::nothrow) Window : nullptr;
  if (!window) {
    if (sdl) SDL_DestroyWindow(sdl);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  window->sdl = sdl;
  window->style = style;
  std::lock_guard<std::mutex> guard(WindowsLock());
  LiveWindows().insert(window);
  return window;
}

BOOL DestroyWindow(HWND handle) {
  {
    std::lock_guard<std::mutex> guard(WindowsLock());
    if (!LiveWindows().erase(handle)) return 0;
  }
  SDL_DestroyWindow(handle->sdl);
  delete handle;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return 1;
}

BOOL IsWindow(HWND window) { return Live(window) != nullptr; }

BOOL GetClientRect(HWND handle, RECT* out) {
  Window* w = Live(handle);
  if (!w || !out) return 0;
  int width = 0, height = 0;
  SDL_GetWindowSize(w->sdl, &width, &height);
  *out = RECT{0, 0, width, height};
  return 1;
}

BOOL GetWindowRect(HWND handle, RECT* out) {
  Window* w = Live(handle);
  if (!w || !out) return 0;
  int x = 0, y = 0, width = 0, height = 0, top, left, bottom, right;
  SDL_GetWindowPosition(w->sdl, &x, &y);
  SDL_GetWindowSize(w->sdl, &width, &height);
  Borders(*w, &top, &left, &bottom, &right);
  *out = RECT{x - left, y - top, x + width + right, y + height + bottom};
  return 1;
}

DWORD GetWindowStyle(HWND handle) {
  Window* w = Live(handle);
  if (!w) return 0;
  return (w->style & ~WS_VISIBLE) |
         ((SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_SHOWN) ? WS_VISIBLE : 0);
}

DWORD SetWindowStyle(HWND handle, DWORD style) {
  Window* w = Live(handle);
  if (!w) return 0;
  const DWORD previous = GetWindowStyle(handle);
  w->style = style;
  SDL_SetWindowBordered(w->sdl, Framed(style) ? SDL_TRUE : SDL_FALSE);
  return previous;
}

BOOL SetWindowPos(HWND handle, int x, int y, int width, int height, UINT flags) {
  Window* w = Live(handle);
  if (!w) return 0;
  int top, left, bottom, right;
  Borders(*w, &top, &left, &bottom, &right);
  if (!(flags & SWP_NOMOVE)) SDL_SetWindowPosition(w->sdl, x + left, y + top);
  if (!(flags & SWP_NOSIZE))
    SDL_SetWindowSize(w->sdl, std::max(1, width - left - right),
                      std::max(1, height - top - bottom));
  if (flags & SWP_SHOWWINDOW) SDL_ShowWindow(w->sdl);
  return 1;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height) {
  return SetWindowPos(window, x, y, width, height, SWP_NOZORDER);
}

BOOL ShowWindow(HWND handle, int command) {
  Window* w = Live(handle);
  if (!w) return 0;
  const BOOL wasVisible = IsWindowVisible(handle);
  if (command == SW_HIDE)
    SDL_HideWindow(w->sdl);
  else
    SDL_ShowWindow(w->sdl);
  return wasVisible;
}

BOOL IsWindowVisible(HWND handle) {
  Window* w = Live(handle);
  return w && (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_SHOWN) ? 1 : 0;
}

SDL_Surface* WindowFramebuffer(HWND handle) {
  Window* w = Live(handle);
  return w ? SDL_GetWindowSurface(w->sdl) : nullptr;
}

void PresentWindowRect(HWND handle, const RECT& rect) {
  Window* w = Live(handle);
  if (!w || rect.left >= rect.right || rect.top >= rect.bottom) return;
  const SDL_Rect r{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
  SDL_UpdateWindowSurfaceRects(w->sdl, &r, 1);
}

// ---- display settings ------------------------------------------------------------------------

BOOL EnumDisplaySettings(int index, DisplaySettings* out) {
  if (!out) return 0;
  if (index == ENUM_CURRENT_SETTINGS && RecordedMode().active) {
    *out = RecordedMode().settings;
    return 1;
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 0;
  SDL_DisplayMode mode{};
  const int result = index == ENUM_CURRENT_SETTINGS ? SDL_GetCurrentDisplayMode(0, &mode)
                                                    : SDL_GetDisplayMode(0, index, &mode);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (index < ENUM_CURRENT_SETTINGS || result != 0) return 0;
  *out = SettingsOf(mode);
  return 1;
}

int ChangeDisplaySettings(const DisplaySettings* settings, HWND handle) {
  Window* w = handle ? Live(handle) : nullptr;
  if (handle && !w) return DISP_CHANGE_FAILED;
  if (!settings) {
    RecordedMode().active = false;
    if (w) SDL_SetWindowFullscreen(w->sdl, 0);
    return DISP_CHANGE_SUCCESSFUL;
  }
  // Only a listed mode is taken.
  DisplaySettings listed{};
  bool found = false;
  for (int i = 0; !found && EnumDisplaySettings(i, &listed); ++i)
    found = listed.width == settings->width && listed.height == settings->height &&
            listed.bitsPerPixel == settings->bitsPerPixel;
  if (!found) return DISP_CHANGE_FAILED;
  if (!w) {
    RecordedMode().active = true;
    RecordedMode().settings = listed;
    return DISP_CHANGE_SUCCESSFUL;
  }
  SDL_DisplayMode mode{};
  for (int i = 0; SDL_GetDisplayMode(0, i, &mode) == 0; ++i) {
    const DisplaySettings s = SettingsOf(mode);
    if (s.width == listed.width && s.height == listed.height &&
        s.bitsPerPixel == listed.bitsPerPixel)
      break;
  }
  if (SDL_SetWindowDisplayMode(w->sdl, &mode) != 0 ||
      SDL_SetWindowFullscreen(w->sdl, SDL_WINDOW_FULLSCREEN) != 0)
    return DISP_CHANGE_FAILED;
  return DISP_CHANGE_SUCCESSFUL;
}

}  // namespace plat
