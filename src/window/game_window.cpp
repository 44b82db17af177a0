// Game windows: creation and adoption, destruction, lookup and the simple accessors.
#include "window/game_window.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <new>
#include <string>

#include <vexa/game_window.h>
#include <vexa/image_bank.h>
#include <vexa/memory.h>
#include <vexa/palette.h>
#include <vexa/surface_object.h>
#include <vexa/text.h>

#include "base/application_contexts.h"
#include "base/context_teardown.h"
#include "platform/gdi/gdi.h"
#include "platform/text/codepage.h"
#include "platform/window/messages.h"
#include "platform/window/window.h"
#include "window/window_internal.h"

namespace vexa::window {
namespace {

std::atomic<const SpriteStorageHooks*> spriteHooks{nullptr};

// Work blocks every window gets; kind-1 windows a large one.
constexpr std::uint32_t kWorkBlockSmall = 56;
constexpr std::uint32_t kWorkBlockLarge = 76836;

// The object a window being created binds in its WM_CREATE.
thread_local GameWindow* pendingObject = nullptr;

void Unlink(GameWindow* window) {
  if (!window->context) return;
  for (GameWindow** link = &window->context->windows; *link; link = &(*link)->next) {
    if (*link == window) {
      *link = window->next;
      window->next = nullptr;
      return;
    }
  }
}

bool Linked(const GameWindow* window) {
  for (ImageBank* context : ThreadApplicationContexts())
    for (GameWindow* w = context->windows; w; w = w->next)
      if (w == window) return true;
  return false;
}

// A narrow text of the library's code page, or wide text, as UTF-8 for SDL.
std::string Utf8Of(const void* text, bool wide) {
  if (!text) return {};
  if (wide) {
    const auto* w = static_cast<const WCHAR*>(text);
    return plat::EncodeNarrow(std::u16string_view(w, static_cast<std::size_t>(WideLength(w))), 0);
  }
  const auto* n = static_cast<const char*>(text);
  const int page = GetLibraryCodePage();
  if (page == 0) return n;
  return plat::EncodeNarrow(plat::DecodeNarrow(n, page), 0);
}

void ComputeExtents(GameWindow* window) {
  RECT outer{}, client{};
  if (!plat::GetWindowRect(window->window, &outer) || !plat::GetClientRect(window->window, &client))
    return;
  window->nonClientWidth = (outer.right - outer.left) - (client.right - client.left);
  window->nonClientHeight = (outer.bottom - outer.top) - (client.bottom - client.top);
}

// A maximum client size from the record: negative values are client sizes as they stand,
// positive ones window sizes; 0 means no limit beyond the window's size at creation.
std::int32_t MaximumFrom(std::int32_t value, std::int32_t extra, std::int32_t current) {
  if (value < 0) return value == INT32_MIN ? INT32_MAX : -value;
  if (value == 0) return current;
  return std::max(0, value - extra);
}

void Free(GameWindow* window) {
  if (window->dirtyRects) FreeBlockAndClear(reinterpret_cast<void**>(&window->dirtyRects));
  if (window->workBlock) FreeBlockAndClear(&window->workBlock);
  delete window;
}

// Every window object whose platform window lies inside `window`'s (MDI children through
// the client), newest first.
GameWindow* FirstChildObject(GameWindow* window) {
  for (GameWindow* w = window->context->windows; w; w = w->next) {
    if (w == window || !w->window) continue;
    for (HWND p = plat::GetParent(w->window); p; p = plat::GetParent(p))
      if (p == window->window) return w;
  }
  return nullptr;
}

GameWindow* Create(ImageBank* context, const GameWindowRecord* record, bool wide) {
  if (!context) return reinterpret_cast<GameWindow*>(kGameWindowNoContext);
  auto* failed = reinterpret_cast<GameWindow*>(kGameWindowNotCreated);
  if (!record || record->size < kGameWindowRecordFixedSize) return failed;

  // 1. The object, in the context's list, with its defaults.
  auto* window = new (std::nothrow) GameWindow{};
  if (!window) return failed;
  window->context = context;
  window->flags = static_cast<std::uint16_t>(record->flags & ~(kGameWindowOwnDC | 0xF000u));
  if (wide) window->flags |= kGameWindowWide;
  window->kind = record->kind;
  window->backColor = 0xFFFFFF;
  window->backColorIndex = -1;
  window->penIndex = -1;
  window->backgroundMode = plat::OPAQUE;
  window->rasterOp = plat::R2_COPYPEN;
  window->penWidth = 1;
  window->solidPlaneOffset = window->topEdgePlaneOffset = -1;
  window->next = context->windows;
  context->windows = window;
  auto fail = [&](bool destroyCreated) {
    if (destroyCreated && window->window) {
      plat::SetWindowWord(window->window, 0, 0);
      plat::DestroyWindow(window->window);
    }
    Unlink(window);
    if (window->pen) plat::DeleteObject(window->pen);
    Free(window);
    return failed;
  };

  // 3. Kind 1's dirty list and palette colour; the work block; cursor and background.
  if (record->kind == 1) {
    if (!AllocBlockZero(reinterpret_cast<void**>(&window->dirtyRects), sizeof(DirtyRectList)))
      return fail(false);
    const auto colour = static_cast<COLORREF>(reinterpret_cast<std::uintptr_t>(record->background));
    window->backgroundBrush = plat::CreateSolidBrush(colour & 0xFFFFFF);
  } else if (reinterpret_cast<std::uintptr_t>(record->background) == 1) {
    window->backgroundBrush = static_cast<HBRUSH>(plat::GetStockObject(plat::WHITE_BRUSH));
  } else {
    window->backgroundBrush = record->background;
  }
  window->workBlockSize = record->kind == 1 ? kWorkBlockLarge : kWorkBlockSmall;
  if (!AllocBlockZero(&window->workBlock, window->workBlockSize)) return fail(false);
  window->cursor = reinterpret_cast<std::uintptr_t>(record->cursor) == 1
                       ? plat::LoadSystemCursor(plat::IDC_ARROW)
                       : record->cursor;

  // 4. The platform window.
  const std::string title = Utf8Of(record->title, wide);
  const std::string className = Utf8Of(record->className, wide);
  const bool adopt = record->size >= kGameWindowRecordFullSize && record->adoptedWindow;
  if (record->kind == 3) {
    if (!plat::IsWindow(record->parent)) return fail(false);
    window->window = record->parent;
    window->flags |= kGameWindowExisting;
  } else if (adopt) {
    if (!plat::IsWindow(record->adoptedWindow)) return fail(false);
    window->window = record->adoptedWindow;
    window->flags |= kGameWindowAdopted;
  } else {
    const WNDPROC procedure = wide ? &GameWindowProcW : &GameWindowProc;
    if (!className.empty() && !plat::FindWindowClass(className.c_str()))
      plat::RegisterWindowClass(className.c_str(), procedure);
    window->creationParent = record->parent;
    GameWindow* const outer = pendingObject;
    pendingObject = window;
    if (record->flags & kGameWindowMdiChild) {
      GameWindow* frame = FindGameWindow(record->parent);
      if (!IsValidWindowObject(frame) || !frame->mdiClient) {
        pendingObject = outer;
        return fail(false);
      }
      plat::MDICREATESTRUCT mdi{className.c_str(),
                                title.c_str(),
                                record->instance,
                                record->x,
                                record->y,
                                std::max(0, record->width),
                                std::max(0, record->height),
                                record->style,
                                reinterpret_cast<LPARAM>(record)};
      plat::SendMessage(frame->mdiClient, plat::WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mdi));
    } else {
      // A window a display driver will present is made ready for it.
      const DWORD exStyle =
          record->exStyle | ((record->flags & kGameWindowDriverDisplay) ? plat::kExStyleOpenGL : 0);
      plat::CreateWindowEx(exStyle, className.c_str(), title.c_str(), record->style, record->x,
                           record->y, std::max(1, std::abs(record->width)),
                           std::max(1, std::abs(record->height)), record->parent, record->menu,
                           record->instance, const_cast<GameWindowRecord*>(record), procedure);
    }
    pendingObject = outer;
    // The procedure bound the window in WM_CREATE.
    if (!window->window) return fail(false);
    if (record->menu && !(record->style & plat::WS_CHILD)) window->menu = record->menu;
  }
  if (!plat::IsWindow(window->window)) return fail(false);

  // 2 and 5. Non-client extra; a negative size is a client size; the maximum client size.
  ComputeExtents(window);
  const bool created = !(window->flags & (kGameWindowAdopted | kGameWindowExisting));
  if (created && (record->width < 0 || record->height < 0)) {
    RECT client{};
    plat::GetClientRect(window->window, &client);
    const int w = record->width < 0 ? -record->width : client.right;
    const int h = record->height < 0 ? -record->height : client.bottom;
    plat::SetWindowPos(window->window, 0, 0, w + window->nonClientWidth,
                       h + window->nonClientHeight, plat::SWP_NOMOVE | plat::SWP_NOZORDER);
  }
  RECT client{};
  plat::GetClientRect(window->window, &client);
  if (record->kind == 3) {
    window->maxClientWidth = client.right;
    window->maxClientHeight = client.bottom;
  } else {
    window->maxClientWidth = MaximumFrom(record->maxWidth, window->nonClientWidth, client.right);
    window->maxClientHeight =
        MaximumFrom(record->maxHeight, window->nonClientHeight, client.bottom);
    if (created)
      plat::SetMaximumClientSize(window->window, window->maxClientWidth, window->maxClientHeight);
  }

  // 6. A created window keeps its context.
  if (created) {
    window->dc = plat::GetDC(window->window);
    if (window->dc) window->flags |= kGameWindowOwnDC;
  }
  return window;
}

}  // namespace

GameWindow* BoundObject(HWND window) {
  if (!plat::IsWindow(window)) return nullptr;
  auto* bound = reinterpret_cast<GameWindow*>(plat::GetWindowWord(window, 0));
  if (bound) return bound;
  return FindGameWindow(window);
}

void RefreshKeptDC(GameWindow* window) {
  // A resized window has a new framebuffer: the kept context must not draw into the old one.
  if (!window->dc) return;
  plat::ReleaseDC(window->window, window->dc);
  window->dc = plat::GetDC(window->window);
  if (window->dc && window->selectedPalette)
    plat::SelectPalette(window->dc, window->selectedPalette, 0);
}

GameWindow* TakePendingObject() {
  GameWindow* window = pendingObject;
  pendingObject = nullptr;
  return window;
}

void DestroyAllWindows(ImageBank* context) {
  while (context && context->windows) DestroyGameWindow(context->windows);
  if (context) ReleaseDisplayObject(context);
}

}  // namespace vexa::window

using namespace vexa::window;

namespace {
// Windows go before the bank's own lists when a context ends.
const bool windowsTeardownRegistered = [] {
  vexa::AddContextTeardown(&DestroyAllWindows);
  return true;
}();
}  // namespace

void SetSpriteStorageHooks(const SpriteStorageHooks* hooks) { spriteHooks.store(hooks); }
const SpriteStorageHooks* GetSpriteStorageHooks() { return spriteHooks.load(); }

GameWindow* CreateGameWindow(ImageBank* context, const GameWindowRecord* record) {
  return Create(context, record, false);
}

GameWindow* CreateGameWindowW(ImageBank* context, const GameWindowRecord* record) {
  return Create(context, record, true);
}

namespace {
GameWindow* ChildDisplay(ImageBank* context, HWND parent, bool wide) {
  GameWindowRecord record{};
  record.size = kGameWindowRecordFixedSize;
  record.parent = parent;
  record.kind = 3;
  record.cursor = reinterpret_cast<HCURSOR>(std::uintptr_t{1});
  record.background = static_cast<HBRUSH>(plat::GetStockObject(plat::BLACK_BRUSH));
  return Create(context, &record, wide);
}
}  // namespace

GameWindow* CreateChildDisplay(ImageBank* context, HWND parent) {
  return ChildDisplay(context, parent, false);
}

GameWindow* CreateChildDisplayW(ImageBank* context, HWND parent) {
  return ChildDisplay(context, parent, true);
}

void DestroyGameWindow(GameWindow* window) {
  if (!IsValidWindowObject(window) || !Linked(window)) return;
  // Children first: every object whose window lies inside this one's.
  while (GameWindow* child = FirstChildObject(window)) DestroyGameWindow(child);
  Unlink(window);
  ReleaseBackBuffer(window);
  if (const SpriteStorageHooks* hooks = spriteHooks.load(); hooks && window->spriteHeap)
    hooks->release(window);
  RestoreWindowPalette(window);
  if (window->pen) plat::DeleteObject(window->pen);
  if (window->kind == 1 && window->backgroundBrush) plat::DeleteObject(window->backgroundBrush);
  const HWND handle = window->window;
  if (window->dc) plat::ReleaseDC(handle, window->dc);
  const bool own = !(window->flags & (kGameWindowAdopted | kGameWindowExisting));
  const bool mdiChild = (window->flags & kGameWindowMdiChild) != 0;
  if (plat::IsWindow(handle) &&
      plat::GetWindowWord(handle, 0) == reinterpret_cast<std::intptr_t>(window))
    plat::SetWindowWord(handle, 0, 0);
  Free(window);
  if (!own || !plat::IsWindow(handle)) return;
  HWND client = mdiChild ? plat::GetParent(handle) : nullptr;
  if (client && std::string(plat::GetClassName(client)) == "mdiclient")
    plat::SendMessage(client, plat::WM_MDIDESTROY, reinterpret_cast<WPARAM>(handle), 0);
  else
    plat::DestroyWindow(handle);
}

GameWindow* FindGameWindow(HWND handle) {
  if (!handle) return nullptr;
  for (ImageBank* context : vexa::ThreadApplicationContexts())
    for (GameWindow* w = context->windows; w; w = w->next)
      if (w->window == handle) return w;
  return nullptr;
}

HWND GetWindowHandle(GameWindow* window) {
  return IsValidWindowObject(window) ? window->window : nullptr;
}

HWND GetMdiClient(GameWindow* window) {
  return IsValidWindowObject(window) ? window->mdiClient : nullptr;
}

int GetWindowFlags(GameWindow* window) { return IsValidWindowObject(window) ? window->flags : 0; }

int SetWindowFlags(GameWindow* window, int flags) {
  if (!IsValidWindowObject(window)) return 0;
  const int old = window->flags;
  window->flags = static_cast<std::uint16_t>(flags);
  return old;
}

int GetClientArea(GameWindow* window, RECT* out) {
  if (!IsValidWindowObject(window) || !out) return 0;
  *out = RECT{0, 0, window->maxClientWidth, window->maxClientHeight};
  return 1;
}

HDC GetGameWindowDC(GameWindow* window) {
  if (!IsValidWindowObject(window)) return nullptr;
  if (window->dc) return window->dc;
  return plat::GetDC(window->window);
}

void ReleaseGameWindowDC(GameWindow* window, HDC dc) {
  if (!IsValidWindowObject(window) || !dc || dc == window->dc) return;
  plat::ReleaseDC(window->window, dc);
}

int MoveGameWindow(GameWindow* window, int x, int y) {
  if (!IsValidWindowObject(window)) return 0;
  RECT outer{};
  if (!plat::GetWindowRect(window->window, &outer)) return 0;
  // A child moves in its parent's client coordinates.
  if (HWND parent = plat::GetParent(window->window)) {
    POINT origin{0, 0};
    plat::ClientToScreen(parent, &origin);
    outer.left -= origin.x;
    outer.top -= origin.y;
  }
  if (x == 0x8000) x = outer.left;
  if (y == 0x8000) y = outer.top;
  return plat::SetWindowPos(window->window, x, y, 0, 0, plat::SWP_NOSIZE | plat::SWP_NOZORDER);
}

int SizeGameWindow(GameWindow* window, int width, int height) {
  if (!IsValidWindowObject(window)) return 0;
  RECT outer{};
  if (!plat::GetWindowRect(window->window, &outer)) return 0;
  if (width == 0x8000)
    width = outer.right - outer.left;
  else if (width <= 0)
    width = window->nonClientWidth - width;
  if (height == 0x8000)
    height = outer.bottom - outer.top;
  else if (height <= 0)
    height = window->nonClientHeight - height;
  const int done = plat::SetWindowPos(window->window, 0, 0, width, height,
                                      plat::SWP_NOMOVE | plat::SWP_NOZORDER);
  RefreshKeptDC(window);
  return done;
}

int SetGameMenu(GameWindow* window, HMENU menu, int value) {
  if (!IsValidWindowObject(window)) return 0;
  const bool had = window->menu != nullptr;
  window->menu = menu;
  window->menuValue = value;
  if (had != (menu != nullptr)) {
    const int bar = plat::kMenuBarHeight;
    window->nonClientHeight += menu ? bar : -bar;
    plat::SetMenuStrip(window->window, menu ? bar : 0);
  }
  return 1;
}

HCURSOR SetGameCursor(GameWindow* window, HCURSOR cursor) {
  if (!IsValidWindowObject(window)) return nullptr;
  const HCURSOR previous = window->cursor;
  window->cursor = reinterpret_cast<std::uintptr_t>(cursor) == 1
                       ? plat::LoadSystemCursor(plat::IDC_ARROW)
                       : cursor;
  window->waitCount = 0;
  plat::SetCursor(window->cursor);
  return previous;
}

void BeginWaitCursor(GameWindow* window) {
  if (!IsValidWindowObject(window)) return;
  if (window->waitCount++ == 0) {
    window->savedCursor = window->cursor;
    window->cursor = plat::LoadSystemCursor(plat::IDC_WAIT);
    plat::SetCursor(window->cursor);
  }
}

void EndWaitCursor(GameWindow* window) {
  if (!IsValidWindowObject(window) || window->waitCount <= 0) return;
  if (--window->waitCount == 0) {
    window->cursor = window->savedCursor;
    window->savedCursor = nullptr;
    plat::SetCursor(window->cursor);
  }
}

namespace {
// The palette index of a colour on the context's palette; -1 for true-colour contexts.
std::int32_t IndexOf(GameWindow* window, COLORREF color) {
  ImageBank* context = window->context;
  if (!context) return -1;
  return GetContextNearestIndex(context, context->formatWord & 0xF, color);
}
}  // namespace

void SetBackColor(GameWindow* window, COLORREF color) {
  if (!IsValidWindowObject(window)) return;
  window->backColor = color;
  window->backColorIndex = IndexOf(window, color);
}

void SetPen(GameWindow* window, COLORREF color, int style, int width) {
  if (!IsValidWindowObject(window)) return;
  // The line is one pixel thinner than the width given (a width of 0 or 1 draws one pixel).
  HPEN pen = plat::CreatePen(style, std::max(0, width - 1), color);
  if (!pen) return;
  if (window->pen) plat::DeleteObject(window->pen);
  window->pen = pen;
  window->penWidth = std::max(1, width);
  window->penColor = color;
  window->penIndex = IndexOf(window, color);
}

int EnablePresent(GameWindow* window, int on) {
  if (!IsValidWindowObject(window)) return 0;
  const int old = window->state;
  if (on)
    window->state &= static_cast<std::uint16_t>(~kGameStatePresentOff);
  else
    window->state |= kGameStatePresentOff;
  return old;
}

int SetWindowOption(GameWindow* window, int option, int value) {
  if (!IsValidWindowObject(window)) return 0;
  switch (option) {
    case 1: {
      const SpriteStorageHooks* hooks = spriteHooks.load();
      if (!hooks || value < 0) return 0;
      SpriteHeap* heap = hooks->build(static_cast<std::uint32_t>(value));
      if (!heap) return 0;  // the old storage stays
      if (window->spriteHeap) hooks->release(window);
      window->spriteHeap = heap;
      return 1;
    }
    case 2:
      if (!window->context) return 0;
      window->context->settingWord = static_cast<std::uint16_t>(value);
      return 1;
    case 4:
      return window->context ? window->context->settingWord : 0;
    case 9:
      return window->state;
    case 10:
      window->state = static_cast<std::uint16_t>(value);
      if (window->state & kGameStateWaitBlank) PrepareBlankWait(window);
      return 1;
    default:
      return 0;
  }
}
