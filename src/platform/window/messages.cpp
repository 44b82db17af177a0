#include "platform/window/messages.h"

#include <deque>
#include <mutex>
#include <set>

#include "platform/audio/audio.h"
#include "platform/window/window.h"

namespace plat {
namespace {

std::mutex& QueueLock() {
  static std::mutex lock;
  return lock;
}
std::deque<MSG>& Queue() {
  static std::deque<MSG> queue;
  return queue;
}

}  // namespace

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !IsWindow(window)) return 0;
  std::lock_guard<std::mutex> guard(QueueLock());
  Queue().push_back(MSG{window, message, wParam, lParam, 0, POINT{0, 0}});
  return 1;
}

BOOL PeekMessage(MSG* out, HWND window, BOOL remove) {
  if (!out) return 0;
  std::lock_guard<std::mutex> guard(QueueLock());
  auto& queue = Queue();
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (window && it->hwnd != window) continue;
    *out = *it;
    if (remove) queue.erase(it);
    return 1;
  }
  return 0;
}

void DiscardMessages(HWND window) {
  std::lock_guard<std::mutex> guard(QueueLock());
  auto& queue = Queue();
  for (auto it = queue.begin(); it != queue.end();)
    it = it->hwnd == window ? queue.erase(it) : it + 1;
}

LRESULT DispatchMessage(const MSG* message) {
  if (!message || !message->hwnd) return 0;
  return SendMessage(message->hwnd, message->message, message->wParam, message->lParam);
}

}  // namespace plat

namespace plat {

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsWindow(window) || !window->procedure) return 0;
  return window->procedure(window, message, wParam, lParam);
}

WNDPROC GetWindowProc(HWND window) { return IsWindow(window) ? window->procedure : nullptr; }

WNDPROC SetWindowProc(HWND window, WNDPROC procedure) {
  if (!IsWindow(window)) return nullptr;
  const WNDPROC previous = window->procedure;
  window->procedure = procedure;
  return previous;
}

std::intptr_t GetWindowWord(HWND window, int index) {
  if (!IsWindow(window) || index < 0 || index >= kWindowWords) return 0;
  return window->words[index];
}

std::intptr_t SetWindowWord(HWND window, int index, std::intptr_t value) {
  if (!IsWindow(window) || index < 0 || index >= kWindowWords) return 0;
  const std::intptr_t previous = window->words[index];
  window->words[index] = value;
  return previous;
}

}  // namespace plat

#include <SDL.h>

#include <algorithm>
#include <map>
#include <string>

#include "platform/gdi/gdi.h"

namespace plat {
namespace {

std::mutex& ClassLock() {
  static std::mutex lock;
  return lock;
}

LRESULT MdiClientProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

std::map<std::string, WNDPROC>& Classes() {
  static std::map<std::string, WNDPROC> classes{{"mdiclient", &MdiClientProc}};
  return classes;
}

// MDI client words: 0 the next child identifier.
LRESULT MdiClientProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCT*>(lParam);
      const auto* data = static_cast<const CLIENTCREATESTRUCT*>(create->createParams);
      SetWindowWord(window, 0, data ? data->firstChildId : 0);
      return 0;
    }
    case WM_MDICREATE: {
      const auto* mdi = reinterpret_cast<const MDICREATESTRUCT*>(lParam);
      if (!mdi) return 0;
      const std::intptr_t id = GetWindowWord(window, 0);
      HWND child =
          CreateWindowEx(0, mdi->className, mdi->title, mdi->style | WS_CHILD | WS_VISIBLE, mdi->x,
                         mdi->y, mdi->cx, mdi->cy, window, reinterpret_cast<HMENU>(id), mdi->owner,
                         reinterpret_cast<void*>(mdi->lParam), nullptr);
      if (child) SetWindowWord(window, 0, id + 1);
      return reinterpret_cast<LRESULT>(child);
    }
    case WM_MDIDESTROY: {
      HWND child = reinterpret_cast<HWND>(wParam);
      if (GetParent(child) == window) DestroyWindow(child);
      return 0;
    }
    default:
      return DefWindowProc(window, message, wParam, lParam);
  }
}

}  // namespace

void RegisterWindowClass(const char* name, WNDPROC procedure) {
  if (!name) return;
  std::lock_guard<std::mutex> guard(ClassLock());
  Classes()[name] = procedure;
}

WNDPROC FindWindowClass(const char* name) {
  if (!name) return nullptr;
  std::lock_guard<std::mutex> guard(ClassLock());
  auto it = Classes().find(name);
  return it == Classes().end() ? nullptr : it->second;
}

LRESULT DefWindowProc(HWND window, UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) DestroyWindow(window);
  return 0;
}

LRESULT DefFrameProc(HWND window, HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProc(window, message, wParam, lParam);
}

LRESULT DefMDIChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    HWND client = GetParent(window);
    if (client) return SendMessage(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(window), 0);
  }
  return DefWindowProc(window, message, wParam, lParam);
}

// ---- painting -------------------------------------------------------------------------------

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  RECT client{};
  if (!GetClientRect(window, &client)) return 0;
  RECT r = rect ? *rect : client;
  r.left = std::max(r.left, client.left);
  r.top = std::max(r.top, client.top);
  r.right = std::min(r.right, client.right);
  r.bottom = std::min(r.bottom, client.bottom);
  if (r.left >= r.right || r.top >= r.bottom) return 1;
  if (!window->hasUpdate) {
    window->update = r;
  } else {
    window->update.left = std::min(window->update.left, r.left);
    window->update.top = std::min(window->update.top, r.top);
    window->update.right = std::max(window->update.right, r.right);
    window->update.bottom = std::max(window->update.bottom, r.bottom);
  }
  window->hasUpdate = true;
  window->eraseUpdate = window->eraseUpdate || erase;
  return 1;
}

BOOL InvalidateWindowTree(HWND window, const RECT* rect, BOOL erase) {
  RECT client{};
  if (!GetClientRect(window, &client)) return 0;
  const RECT r = rect ? *rect : client;
  InvalidateRect(window, &r, erase);
  for (HWND child : window->children) {
    if (!(child->style & WS_VISIBLE)) continue;
    const RECT& c = child->rect;
    const RECT part{std::max(r.left, c.left) - c.left, std::max(r.top, c.top) - c.top,
                    std::min(r.right, c.right) - c.left, std::min(r.bottom, c.bottom) - c.top};
    if (part.left < part.right && part.top < part.bottom) InvalidateWindowTree(child, &part, erase);
  }
  return 1;
}

BOOL GetUpdateRect(HWND window, RECT* out) {
  if (!IsWindow(window) || !window->hasUpdate) return 0;
  if (out) *out = window->update;
  return 1;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  if (!IsWindow(window) || !paint) return nullptr;
  paint->rcPaint = window->hasUpdate ? window->update : RECT{0, 0, 0, 0};
  paint->erase = window->eraseUpdate;
  window->hasUpdate = window->eraseUpdate = false;
  paint->hdc = GetDC(window);
  return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
  if (!paint || !paint->hdc) return 0;
  return ReleaseDC(window, paint->hdc) ? 1 : 0;
}

// ---- hooks ----------------------------------------------------------------------------------

struct HookRecord {
  HOOKPROC procedure;
};

namespace {
thread_local std::vector<HookRecord*> threadHooks;  // newest last
}  // namespace

HHOOK SetMessageFilterHook(HOOKPROC procedure) {
  if (!procedure) return nullptr;
  auto* hook = new (std::nothrow) HookRecord{procedure};
  if (hook) threadHooks.push_back(hook);
  return hook;
}

BOOL UnhookMessageFilter(HHOOK hook) {
  auto it = std::find(threadHooks.begin(), threadHooks.end(), hook);
  if (it == threadHooks.end()) return 0;
  threadHooks.erase(it);
  delete hook;
  return 1;
}

LRESULT CallNextHook(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  auto it = std::find(threadHooks.begin(), threadHooks.end(), hook);
  if (it == threadHooks.end() || it == threadHooks.begin()) return 0;
  --it;
  return (*it)->procedure(code, wParam, lParam);
}

BOOL CallMessageFilter(MSG* message, int code) {
  if (!message || threadHooks.empty()) return 0;
  return threadHooks.back()->procedure(code, 0, reinterpret_cast<LPARAM>(message)) != 0;
}

// ---- the pump -------------------------------------------------------------------------------

namespace {

HWND focusWindow = nullptr;

HWND TopLevelOf(Uint32 sdlId) {
  SDL_Window* sdl = SDL_GetWindowFromID(sdlId);
  if (!sdl) return nullptr;
  return static_cast<HWND>(SDL_GetWindowData(sdl, "vexa.window"));
}

// The deepest visible child under a client point of `window` (the point becomes its own).
HWND ChildAt(HWND window, POINT* point) {
  for (auto it = window->children.rbegin(); it != window->children.rend(); ++it) {
    HWND child = *it;
    const RECT& r = child->rect;
    if ((child->style & WS_VISIBLE) && point->x >= r.left && point->x < r.right &&
        point->y >= r.top && point->y < r.bottom) {
      point->x -= r.left;
      point->y -= r.top;
      return ChildAt(child, point);
    }
  }
  return window;
}

// Virtual-key codes: letters and digits as their upper-case characters, the rest by a few
// common keys; anything else its SDL scan code with bit 15 set.
WPARAM VirtualKey(const SDL_Keysym& key) {
  const SDL_Keycode k = key.sym;
  if (k >= SDLK_a && k <= SDLK_z) return static_cast<WPARAM>('A' + (k - SDLK_a));
  if (k >= SDLK_0 && k <= SDLK_9) return static_cast<WPARAM>(k);
  switch (k) {
    case SDLK_BACKSPACE:
      return 0x08;
    case SDLK_TAB:
      return 0x09;
    case SDLK_RETURN:
      return 0x0D;
    case SDLK_ESCAPE:
      return 0x1B;
    case SDLK_SPACE:
      return 0x20;
    case SDLK_LEFT:
      return 0x25;
    case SDLK_UP:
      return 0x26;
    case SDLK_RIGHT:
      return 0x27;
    case SDLK_DOWN:
      return 0x28;
    default:
      return 0x8000u | static_cast<WPARAM>(key.scancode);
  }
}

// The SDL windows that hold the input focus. The process has the focus while one does; the
// sound mixer mutes the sounds that are not to be heard without it. A window destroyed with
// the focus reports its loss too, after it is gone, so losses are taken by identifier.
std::set<Uint32> focusedWindows;

void NoteFocus(Uint32 sdlId, bool gained) {
  if (gained) {
    focusedWindows.insert(sdlId);
  } else {
    focusedWindows.erase(sdlId);
  }
  plat::audio::SetProcessFocus(!focusedWindows.empty());
}

// Messages made from SDL events wait here with the posted ones, in arrival order.
void QueueFromEvent(const SDL_Event& e, BOOL* quit) {
  if (e.type == SDL_QUIT) {
    PostMessage(nullptr, WM_QUIT, 0, 0);
    return;
  }
  if (e.type == SDL_WINDOWEVENT) {
    if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ||
        e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
      NoteFocus(e.window.windowID, e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED);
      return;
    }
    HWND w = TopLevelOf(e.window.windowID);
    if (!w) return;
    switch (e.window.event) {
      case SDL_WINDOWEVENT_SIZE_CHANGED:
        PostMessage(w, WM_SIZE, 0, MakeLParam(e.window.data1, e.window.data2));
        InvalidateWindowTree(w, nullptr, 1);
        break;
      case SDL_WINDOWEVENT_EXPOSED:
        InvalidateWindowTree(w, nullptr, 1);
        break;
      case SDL_WINDOWEVENT_CLOSE:
        PostMessage(w, WM_CLOSE, 0, 0);
        break;
      default:
        break;
    }
    return;
  }
  if (e.type == SDL_MOUSEMOTION) {
    HWND w = TopLevelOf(e.motion.windowID);
    if (!w) return;
    POINT p{e.motion.x, e.motion.y};
    HWND target = ChildAt(w, &p);
    PostMessage(target, WM_MOUSEMOVE, 0, MakeLParam(p.x, p.y));
    return;
  }
  if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) {
    HWND w = TopLevelOf(e.key.windowID);
    HWND target =
        focusWindow && IsWindow(focusWindow) && GetTopLevel(focusWindow) == w ? focusWindow : w;
    if (!target) return;
    const LPARAM info = 1 | (static_cast<LPARAM>(e.key.keysym.scancode & 0xFF) << 16) |
                        (e.key.repeat ? (1 << 30) : 0);
    PostMessage(target, e.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, VirtualKey(e.key.keysym),
                info);
  }
  (void)quit;
}

// Windows (top-level and children) with an update area, parents before children.
void CollectPaints(HWND window, std::vector<HWND>* out) {
  if (window->hasUpdate) out->push_back(window);
  for (HWND child : window->children) CollectPaints(child, out);
}

}  // namespace

HWND SetFocus(HWND window) {
  const HWND previous = focusWindow;
  focusWindow = window && IsWindow(window) ? window : nullptr;
  return previous;
}

HWND GetFocus() { return focusWindow && IsWindow(focusWindow) ? focusWindow : nullptr; }

int PumpMessages(int filterCode, BOOL* quit) {
  if (quit) *quit = 0;
  if (SDL_WasInit(SDL_INIT_VIDEO)) {
    SDL_PumpEvents();
    SDL_Event e;
    while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1)
      QueueFromEvent(e, quit);
  }
  int delivered = 0;
  MSG m;
  // Messages posted while these are delivered wait for the next pump, so that a procedure that
  // posts on every message cannot keep one pump going for ever.
  std::size_t waiting;
  {
    std::lock_guard<std::mutex> guard(QueueLock());
    waiting = Queue().size();
  }
  while (waiting-- > 0 && PeekMessage(&m, nullptr, 1)) {
    if (filterCode >= 0 && CallMessageFilter(&m, filterCode)) continue;
    if (!m.hwnd && m.message == WM_QUIT) {
      if (quit) *quit = 1;
      continue;
    }
    DispatchMessage(&m);
    ++delivered;
  }
  // Paint what waits, erasing first where asked.
  const std::vector<HWND> tops = TopLevelWindows();
  std::vector<HWND> paints;
  for (HWND top : tops) CollectPaints(top, &paints);
  for (HWND w : paints) {
    if (!IsWindow(w) || !w->hasUpdate) continue;
    if (w->eraseUpdate) {
      HDC dc = GetDC(w);
      if (dc) {
        SendMessage(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        ReleaseDC(w, dc);
      }
      if (IsWindow(w)) w->eraseUpdate = false;
    }
    if (IsWindow(w) && w->hasUpdate) {
      SendMessage(w, WM_PAINT, 0, 0);
      if (IsWindow(w)) w->hasUpdate = false;
    }
    ++delivered;
  }
  return delivered;
}

}  // namespace plat
