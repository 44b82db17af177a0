#include "platform/window/window.h"

#include <SDL.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <new>
#include <set>

#include "platform/gdi/icon.h"
#include "platform/window/messages.h"

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

std::map<Window*, std::vector<RECT>>& PresentedLists() {
  static std::map<Window*, std::vector<RECT>> lists;
  return lists;
}

std::vector<Window*>& TopLevels() {
  static std::vector<Window*> windows;
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

namespace {

HWND CreateTopLevel(const char* title, DWORD style, DWORD exStyle, int x, int y, int width,
                    int height) {
  if (width < 1 || height < 1) return nullptr;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
  Uint32 flags = (style & WS_VISIBLE) ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
  if (exStyle & kExStyleOpenGL) flags |= SDL_WINDOW_OPENGL;
  if (!Framed(style)) flags |= SDL_WINDOW_BORDERLESS;
  if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
  SDL_Window* sdl = SDL_CreateWindow(title ? title : "", x, y, width, height, flags);
  auto* window = sdl ? new (std::nothrow) Window : nullptr;
  if (!window) {
    if (sdl) SDL_DestroyWindow(sdl);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  window->sdl = sdl;
  window->style = style;
  // The pump finds a window from SDL's events through this.
  SDL_SetWindowData(sdl, "vexa.window", window);
  std::lock_guard<std::mutex> guard(WindowsLock());
  LiveWindows().insert(window);
  TopLevels().push_back(window);
  return window;
}

}  // namespace

HWND CreateWindow(const char* title, DWORD style, int x, int y, int width, int height) {
  return CreateTopLevel(title, style, 0, x, y, width, height);
}

namespace {

Window* TopOf(Window* w) {
  while (w->parent) w = w->parent;
  return w;
}

// A child's rectangle in its top-level window's client coordinates, clipped to every
// ancestor's client area; `origin` receives where its own (0, 0) lies.
RECT VisibleInTop(Window* w, POINT* origin) {
  RECT r{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  POINT o{0, 0};
  for (Window* c = w; c->parent; c = c->parent) {
    o.x += c->rect.left;
    o.y += c->rect.top;
    r = RECT{r.left + c->rect.left, r.top + c->rect.top, r.right + c->rect.left,
             r.bottom + c->rect.top};
    RECT parentClient{0, 0, 0, 0};
    if (c->parent->parent) {
      parentClient.right = c->parent->rect.right - c->parent->rect.left;
      parentClient.bottom = c->parent->rect.bottom - c->parent->rect.top;
    } else {
      SDL_GetWindowSize(c->parent->sdl, reinterpret_cast<int*>(&parentClient.right),
                        reinterpret_cast<int*>(&parentClient.bottom));
    }
    r.left = std::max(r.left, parentClient.left);
    r.top = std::max(r.top, parentClient.top);
    r.right = std::min(r.right, parentClient.right);
    r.bottom = std::min(r.bottom, parentClient.bottom);
  }
  if (origin) *origin = o;
  return r;
}

void FreeView(Window* w) {
  if (w->view) SDL_FreeSurface(w->view);
  w->view = nullptr;
}

}  // namespace

HWND CreateWindowEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                    int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                    void* createParams,
                    std::intptr_t (*procedure)(Window*, UINT, std::uintptr_t, std::intptr_t)) {
  const bool child = (style & WS_CHILD) && parent && IsWindow(parent);
  if (width == CW_USEDEFAULT) width = child ? 0 : 640;
  if (height == CW_USEDEFAULT) height = child ? 0 : 480;
  if (x == CW_USEDEFAULT) x = child ? 0 : static_cast<int>(SDL_WINDOWPOS_UNDEFINED);
  if (y == CW_USEDEFAULT) y = child ? 0 : static_cast<int>(SDL_WINDOWPOS_UNDEFINED);
  Window* window = nullptr;
  if (child) {
    if (width < 0 || height < 0) return nullptr;
    window = new (std::nothrow) Window;
    if (!window) return nullptr;
    window->parent = parent;
    window->rect = RECT{x, y, x + width, y + height};
    window->style = style;
    window->id = reinterpret_cast<std::uintptr_t>(menu);
    parent->children.push_back(window);
    std::lock_guard<std::mutex> guard(WindowsLock());
    LiveWindows().insert(window);
  } else {
    window = CreateTopLevel(title, style & ~WS_CHILD, exStyle, x, y, std::max(1, width),
                            std::max(1, height));
    if (!window) return nullptr;
    window->id = reinterpret_cast<std::uintptr_t>(menu);
    if (menu) window->menuStrip = kMenuBarHeight;
    // The size asked for is the window's: take the frame and menu strip off the client area.
    int top, left, bottom, right;
    Borders(*window, &top, &left, &bottom, &right);
    SDL_SetWindowSize(window->sdl, std::max(1, width - left - right),
                      std::max(1, height - top - bottom - window->menuStrip));
  }
  if (!procedure) procedure = FindWindowClass(className);
  window->exStyle = exStyle;
  window->className = className ? className : "";
  window->procedure = procedure;
  CREATESTRUCT create{createParams, instance, menu,      parent, height, width, y, x,
                      style,        title,    className, exStyle};
  if (procedure && SendMessage(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(window);
    return nullptr;
  }
  return window;
}

BOOL DestroyWindow(HWND handle) {
  if (!Live(handle) || handle->destroying) return 0;
  handle->destroying = true;
  SendMessage(handle, WM_DESTROY, 0, 0);
  // Children go after their parent heard of its end, last-made first.
  while (!handle->children.empty()) {
    Window* child = handle->children.back();
    if (!DestroyWindow(child)) handle->children.pop_back();
  }
  if (handle->parent) {
    auto& siblings = handle->parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), handle), siblings.end());
  }
  {
    std::lock_guard<std::mutex> guard(WindowsLock());
    LiveWindows().erase(handle);
    auto& tops = TopLevels();
    tops.erase(std::remove(tops.begin(), tops.end(), handle), tops.end());
    PresentedLists().erase(handle);
  }
  DiscardMessages(handle);
  FreeView(handle);
  if (handle->sdl && handle->foreign) {
    SDL_SetWindowData(handle->sdl, "vexa.window", nullptr);
  } else if (handle->sdl) {
    SDL_DestroyWindow(handle->sdl);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  delete handle;
  return 1;
}

BOOL IsWindow(HWND window) { return Live(window) != nullptr; }

BOOL IsFullScreen(HWND handle) {
  Window* w = Live(handle);
  if (!w) return 0;
  return (SDL_GetWindowFlags(TopOf(w)->sdl) & SDL_WINDOW_FULLSCREEN) ? 1 : 0;
}

std::vector<HWND> TopLevelWindows() {
  std::lock_guard<std::mutex> guard(WindowsLock());
  return TopLevels();
}

HWND WrapSDLWindow(SDL_Window* sdl) {
  if (!sdl) return nullptr;
  if (auto* known = static_cast<Window*>(SDL_GetWindowData(sdl, "vexa.window"))) return known;
  auto* window = new (std::nothrow) Window;
  if (!window) return nullptr;
  window->sdl = sdl;
  window->foreign = true;
  window->style = WS_OVERLAPPEDWINDOW;
  SDL_SetWindowData(sdl, "vexa.window", window);
  std::lock_guard<std::mutex> guard(WindowsLock());
  LiveWindows().insert(window);
  TopLevels().push_back(window);
  return window;
}

HWND GetParent(HWND window) { return Live(window) ? window->parent : nullptr; }

const char* GetClassName(HWND window) { return Live(window) ? window->className.c_str() : ""; }

HWND GetTopLevel(HWND window) { return Live(window) ? TopOf(window) : nullptr; }

BOOL ClientToScreen(HWND handle, POINT* point) {
  Window* w = Live(handle);
  if (!w || !point) return 0;
  POINT origin{0, 0};
  if (w->parent) VisibleInTop(w, &origin);
  int x = 0, y = 0;
  SDL_GetWindowPosition(TopOf(w)->sdl, &x, &y);
  point->x += origin.x + x;
  point->y += origin.y + y;
  return 1;
}

void SetMaximumClientSize(HWND handle, int width, int height) {
  Window* w = Live(handle);
  if (!w || !w->sdl) return;
  // SDL takes 0 as "no limit" only when both are 0.
  SDL_SetWindowMaximumSize(w->sdl, width > 0 ? width : 0, height > 0 ? height : 0);
}

void SetMenuStrip(HWND handle, int height) {
  Window* w = Live(handle);
  if (w && !w->parent) w->menuStrip = std::max(0, height);
}

int MenuStripHeight(HWND handle) {
  Window* w = Live(handle);
  return w ? w->menuStrip : 0;
}

BOOL GetClientRect(HWND handle, RECT* out) {
  Window* w = Live(handle);
  if (!w || !out) return 0;
  if (w->parent) {
    *out = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return 1;
  }
  int width = 0, height = 0;
  SDL_GetWindowSize(w->sdl, &width, &height);
  *out = RECT{0, 0, width, height};
  return 1;
}

BOOL GetWindowRect(HWND handle, RECT* out) {
  Window* w = Live(handle);
  if (!w || !out) return 0;
  if (w->parent) {
    POINT origin{0, 0};
    if (!ClientToScreen(w, &origin)) return 0;
    *out = RECT{origin.x, origin.y, origin.x + w->rect.right - w->rect.left,
                origin.y + w->rect.bottom - w->rect.top};
    return 1;
  }
  int x = 0, y = 0, width = 0, height = 0, top, left, bottom, right;
  SDL_GetWindowPosition(w->sdl, &x, &y);
  SDL_GetWindowSize(w->sdl, &width, &height);
  Borders(*w, &top, &left, &bottom, &right);
  top += w->menuStrip;
  *out = RECT{x - left, y - top, x + width + right, y + height + bottom};
  return 1;
}

DWORD GetWindowStyle(HWND handle) {
  Window* w = Live(handle);
  if (!w) return 0;
  if (!w->sdl) return w->style;
  return (w->style & ~WS_VISIBLE) |
         ((SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_SHOWN) ? WS_VISIBLE : 0);
}

DWORD SetWindowStyle(HWND handle, DWORD style) {
  Window* w = Live(handle);
  if (!w) return 0;
  const DWORD previous = GetWindowStyle(handle);
  w->style = style;
  if (!w->sdl) return previous;
  SDL_SetWindowBordered(w->sdl, Framed(style) ? SDL_TRUE : SDL_FALSE);
  return previous;
}

BOOL SetWindowPos(HWND handle, int x, int y, int width, int height, UINT flags) {
  Window* w = Live(handle);
  if (!w) return 0;
  if (w->parent) {
    if (!(flags & SWP_NOMOVE)) {
      w->rect.right += x - w->rect.left;
      w->rect.bottom += y - w->rect.top;
      w->rect.left = x;
      w->rect.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
      w->rect.right = w->rect.left + std::max(0, width);
      w->rect.bottom = w->rect.top + std::max(0, height);
    }
    if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
    return 1;
  }
  int top, left, bottom, right;
  Borders(*w, &top, &left, &bottom, &right);
  top += w->menuStrip;
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
  if (!w->sdl) {
    w->style = command == SW_HIDE ? (w->style & ~WS_VISIBLE) : (w->style | WS_VISIBLE);
    return wasVisible;
  }
  if (command == SW_HIDE)
    SDL_HideWindow(w->sdl);
  else
    SDL_ShowWindow(w->sdl);
  return wasVisible;
}

BOOL IsWindowVisible(HWND handle) {
  Window* w = Live(handle);
  if (w && !w->sdl) return (w->style & WS_VISIBLE) ? 1 : 0;
  return w && (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_SHOWN) ? 1 : 0;
}

int FramebufferDepth(const SDL_Surface* surface) {
  if (!surface) return 0;
  switch (surface->format->format) {
    case SDL_PIXELFORMAT_ARGB8888:
    case SDL_PIXELFORMAT_RGB888:
      return 32;
    case SDL_PIXELFORMAT_RGB565:
      return 16;
    case SDL_PIXELFORMAT_RGB555:
      return 15;
    case SDL_PIXELFORMAT_BGR24:
      return 24;
    default:
      return 0;
  }
}

SDL_Surface* WindowFramebuffer(HWND handle) {
  Window* w = Live(handle);
  if (!w) return nullptr;
  if (!w->parent) return SDL_GetWindowSurface(w->sdl);
  // A child draws through a view of the part of the top-level framebuffer it covers; a child
  // whose origin lies outside its parents' client areas has none.
  SDL_Surface* top = SDL_GetWindowSurface(TopOf(w)->sdl);
  POINT origin{0, 0};
  const RECT visible = VisibleInTop(w, &origin);
  FreeView(w);
  if (!top || visible.left != origin.x || visible.top != origin.y ||
      visible.right <= visible.left || visible.bottom <= visible.top)
    return nullptr;
  auto* pixels = static_cast<std::uint8_t*>(top->pixels) + origin.y * top->pitch +
                 origin.x * top->format->BytesPerPixel;
  w->view = SDL_CreateRGBSurfaceWithFormatFrom(
      pixels, visible.right - visible.left, visible.bottom - visible.top, top->format->BitsPerPixel,
      top->pitch, top->format->format);
  return w->view;
}

void PresentWindowRects(HWND handle, const RECT* rects, int count) {
  Window* w = Live(handle);
  if (!w || (!rects && count > 0)) return;
  count = std::max(count, 0);
  POINT origin{0, 0};
  if (w->parent) VisibleInTop(w, &origin);
  std::vector<SDL_Rect> list;
  std::vector<RECT> kept;
  list.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const RECT& r = rects[i];
    if (r.left >= r.right || r.top >= r.bottom) continue;
    list.push_back(
        SDL_Rect{r.left + origin.x, r.top + origin.y, r.right - r.left, r.bottom - r.top});
    kept.push_back(
        RECT{r.left + origin.x, r.top + origin.y, r.right + origin.x, r.bottom + origin.y});
  }
  Window* top = TopOf(w);
  if (!list.empty())
    SDL_UpdateWindowSurfaceRects(top->sdl, list.data(), static_cast<int>(list.size()));
  std::lock_guard<std::mutex> guard(WindowsLock());
  PresentedLists()[top] = std::move(kept);
}

std::vector<RECT> LastPresentedRects(HWND handle) {
  Window* w = Live(handle);
  if (!w) return {};
  std::lock_guard<std::mutex> guard(WindowsLock());
  auto it = PresentedLists().find(TopOf(w));
  return it == PresentedLists().end() ? std::vector<RECT>{} : it->second;
}

void PresentWindowRect(HWND handle, const RECT& rect) { PresentWindowRects(handle, &rect, 1); }

// ---- cursors ----------------------------------------------------------------------------------

namespace {

struct SystemCursor {
  int id;
  SDL_SystemCursor sdl;
  IconHandle handle;
};
SystemCursor* SystemCursors() {
  static SystemCursor cursors[] = {{IDC_ARROW, SDL_SYSTEM_CURSOR_ARROW, {}},
                                   {IDC_IBEAM, SDL_SYSTEM_CURSOR_IBEAM, {}},
                                   {IDC_WAIT, SDL_SYSTEM_CURSOR_WAIT, {}},
                                   {IDC_CROSS, SDL_SYSTEM_CURSOR_CROSSHAIR, {}},
                                   {IDC_HAND, SDL_SYSTEM_CURSOR_HAND, {}}};
  return cursors;
}
constexpr int kSystemCursorCount = 5;

struct CursorState {
  HCURSOR current = nullptr;
  SDL_Cursor* shown = nullptr;
};
CursorState& Cursor() {
  static CursorState state;
  return state;
}

}  // namespace

HCURSOR LoadSystemCursor(int id) {
  for (int i = 0; i < kSystemCursorCount; ++i)
    if (SystemCursors()[i].id == id) return &SystemCursors()[i].handle;
  return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  CursorState& state = Cursor();
  const HCURSOR previous = state.current;
  if (cursor == previous) return previous;
  state.current = cursor;
  SDL_Cursor* made = nullptr;
  if (cursor && SDL_WasInit(SDL_INIT_VIDEO)) {
    made = nullptr;
    for (int i = 0; i < kSystemCursorCount; ++i)
      if (cursor == &SystemCursors()[i].handle)
        made = SDL_CreateSystemCursor(SystemCursors()[i].sdl);
    if (!made && cursor->width > 0) made = IconToCursor(cursor);
  }
  if (made) SDL_SetCursor(made);
  if (state.shown && made) SDL_FreeCursor(state.shown);
  if (made) state.shown = made;
  return previous;
}

HCURSOR GetCursor() { return Cursor().current; }

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
