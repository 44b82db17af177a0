#include "platform/window/window.h"

#include <SDL.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <new>
#include <set>

#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/icon.h"
#include "platform/window/messages.h"

namespace plat {
namespace {

// The registries are never destroyed: a game may keep a surface over a window in a static,
// whose destructor releases the window's context at exit, after the destructors of statics
// made later than it (these are made on first use) have run.
std::mutex& WindowsLock() {
  static auto* const lock = new std::mutex;
  return *lock;
}
std::set<Window*>& LiveWindows() {
  static auto* const windows = new std::set<Window*>;
  return *windows;
}

std::map<Window*, std::vector<RECT>>& PresentedLists() {
  static auto* const lists = new std::map<Window*, std::vector<RECT>>;
  return *lists;
}

std::vector<Window*>& TopLevels() {
  static auto* const windows = new std::vector<Window*>;
  return *windows;
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
  // A video driver without OpenGL (the dummy one) still gets the window, without the flag.
  if (!sdl && (flags & SDL_WINDOW_OPENGL))
    sdl = SDL_CreateWindow(title ? title : "", x, y, width, height, flags & ~SDL_WINDOW_OPENGL);
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

RECT Offset(const RECT& r, int dx, int dy) {
  return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// A child's rectangle changed (from `before`) or it was shown or hidden (`wasShown` its state
// before): the parent and its other children repaint what it left, the child what it covers
// now.
void ChildUncovered(Window* w, const RECT& before, bool wasShown) {
  Window* parent = w->parent;
  if (parent->destroying) return;
  if (wasShown) InvalidateWindowTree(parent, &before, 1);
  if (w->style & WS_VISIBLE) InvalidateWindowTree(w, nullptr, 1);
}

}  // namespace

std::vector<RECT> VisibleRegion(HWND handle) {
  Window* w = Live(handle);
  RECT client{};
  if (!w || !GetClientRect(w, &client)) return {};
  RectList region = RectRegion(0, 0, client.right, client.bottom);
  // (dx, dy): the offset from an ancestor's client coordinates to the window's own.
  int dx = 0, dy = 0;
  for (Window* c = w; c->parent && !region.empty(); c = c->parent) {
    if (!(c->style & WS_VISIBLE)) return {};
    dx -= c->rect.left;
    dy -= c->rect.top;
    Window* parent = c->parent;
    RECT parentClient{};
    GetClientRect(parent, &parentClient);
    region = CombineRects(region, {Offset(parentClient, dx, dy)}, RGN_AND);
    auto it = std::find(parent->children.begin(), parent->children.end(), c);
    for (it = it == parent->children.end() ? it : it + 1; it != parent->children.end(); ++it)
      if ((*it)->style & WS_VISIBLE)
        region = CombineRects(region, {Offset((*it)->rect, dx, dy)}, RGN_DIFF);
  }
  if (w->style & WS_CLIPCHILDREN)
    for (Window* child : w->children)
      if (child->style & WS_VISIBLE) region = CombineRects(region, {child->rect}, RGN_DIFF);
  return region;
}

BOOL ClientRectInTopLevel(HWND handle, RECT* out) {
  Window* w = Live(handle);
  RECT client{};
  if (!w || !out || !GetClientRect(w, &client)) return 0;
  int dx = 0, dy = 0;
  for (Window* c = w; c->parent; c = c->parent) {
    dx += c->rect.left;
    dy += c->rect.top;
  }
  *out = Offset(client, dx, dy);
  return 1;
}

BOOL SetWindowZOrder(HWND handle, HWND insertAfter) {
  Window* w = Live(handle);
  if (!w || !w->parent || insertAfter == w) return 0;
  auto& siblings = w->parent->children;
  if (insertAfter != HWND_TOP && insertAfter != HWND_BOTTOM &&
      (!Live(insertAfter) || insertAfter->parent != w->parent))
    return 0;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), w), siblings.end());
  if (insertAfter == HWND_TOP)
    siblings.push_back(w);
  else if (insertAfter == HWND_BOTTOM)
    siblings.insert(siblings.begin(), w);
  else
    siblings.insert(std::find(siblings.begin(), siblings.end(), insertAfter), w);
  // Where the window overlaps a sibling, one of the two shows now what the other showed.
  if (w->style & WS_VISIBLE)
    for (Window* sibling : siblings) {
      if (sibling == w || !(sibling->style & WS_VISIBLE)) continue;
      const RECT overlap{std::max(w->rect.left, sibling->rect.left),
                         std::max(w->rect.top, sibling->rect.top),
                         std::min(w->rect.right, sibling->rect.right),
                         std::min(w->rect.bottom, sibling->rect.bottom)};
      if (overlap.left >= overlap.right || overlap.top >= overlap.bottom) continue;
      const RECT mine = Offset(overlap, -w->rect.left, -w->rect.top);
      const RECT theirs = Offset(overlap, -sibling->rect.left, -sibling->rect.top);
      InvalidateWindowTree(w, &mine, 1);
      InvalidateWindowTree(sibling, &theirs, 1);
    }
  return 1;
}

HWND WindowAbove(HWND handle) {
  Window* w = Live(handle);
  if (!w || !w->parent) return nullptr;
  auto& siblings = w->parent->children;
  auto it = std::find(siblings.begin(), siblings.end(), w);
  return it == siblings.end() || it + 1 == siblings.end() ? nullptr : *(it + 1);
}

HWND TopChild(HWND handle) {
  Window* w = Live(handle);
  return w && !w->children.empty() ? w->children.back() : nullptr;
}

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
    // Kept in the range the regions compute exactly in (no sum below can overflow).
    x = ClampCoordinate(x);
    y = ClampCoordinate(y);
    window->rect = RECT{x, y, x + ClampCoordinate(width), y + ClampCoordinate(height)};
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
    // What it covered shows again (unless its parent goes too).
    if ((handle->style & WS_VISIBLE) && !handle->parent->destroying)
      InvalidateWindowTree(handle->parent, &handle->rect, 1);
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
    const RECT before = w->rect;
    const bool wasShown = (w->style & WS_VISIBLE) != 0;
    if (!(flags & SWP_NOMOVE)) {
      x = ClampCoordinate(x);
      y = ClampCoordinate(y);
      w->rect.right += x - w->rect.left;
      w->rect.bottom += y - w->rect.top;
      w->rect.left = x;
      w->rect.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
      w->rect.right = w->rect.left + ClampCoordinate(std::max(0, width));
      w->rect.bottom = w->rect.top + ClampCoordinate(std::max(0, height));
    }
    if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
    const bool moved = before.left != w->rect.left || before.top != w->rect.top ||
                       before.right != w->rect.right || before.bottom != w->rect.bottom;
    if (moved || !wasShown) ChildUncovered(w, before, wasShown);
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
    if (wasVisible != IsWindowVisible(handle)) ChildUncovered(w, w->rect, wasVisible);
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
