// Presentation: the back buffer copied or stretched into the client area, the dirty list
// pushed to the display, the window procedure that paints from the back buffer.
//
// The client area's pixels are the SDL window framebuffer, the same memory the window's
// device context draws into. Copies go straight from the back buffer into a memory-surface
// view of that framebuffer through the renderer (opaque blits made as one batch, or a
// StretchBlit), neighbours in the dirty list that share an edge whole as one copy, and only
// the rectangles copied are pushed to the screen in one SDL_UpdateWindowSurfaceRects.
#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include <vexa/blit.h>
#include <vexa/buffer_surface.h>
#include <vexa/game_window.h>
#include <vexa/image_bank.h>
#include <vexa/library.h>
#include <vexa/surface_implementation.h>
#include <vexa/surface_object.h>

#include "platform/gdi/gdi.h"
#include "platform/window/messages.h"
#include "platform/window/window.h"
#include "render/blit_many.h"
#include "window/game_window.h"
#include "window/window_internal.h"

namespace vexa::window {

GameWindow* TakePendingObject();

namespace {

// A memory surface whose rows are someone else's: destroying it leaves them alone.
class cFramebufferView : public cBufferSurface {
 public:
  cSurfaceImplementation* Destroy(unsigned flags) override {
    storage = nullptr;
    firstRow = nullptr;
    return cBufferSurface::Destroy(flags);
  }
};

// A memory surface over the pixels of a window's top-level framebuffer, clipped to the part
// the window covers; (originX, originY) is where the window's client (0, 0) lies in it.
// `visible` is the window's visible region (client coordinates): a child's siblings above it
// and, with WS_CLIPCHILDREN, its own children are never painted over.
struct FramebufferView {
  cSurfaceObject* object = nullptr;
  cFramebufferView* view = nullptr;
  int originX = 0;
  int originY = 0;
  std::vector<RECT> visible;

  ~FramebufferView() {
    if (object) DeleteSurfaceObject(object);
  }

  bool Open(HWND window, int clientWidth, int clientHeight) {
    HWND top = plat::GetTopLevel(window);
    SDL_Surface* pixels = top ? plat::WindowFramebuffer(top) : nullptr;
    const int depth = plat::FramebufferDepth(pixels);
    if (!depth) return false;
    POINT inTop{0, 0}, topOrigin{0, 0};
    plat::ClientToScreen(window, &inTop);
    plat::ClientToScreen(top, &topOrigin);
    originX = inTop.x - topOrigin.x;
    originY = inTop.y - topOrigin.y;
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, depth, kTypeMemory, kDriverNone);
    if (!prototype || !prototype->GetImplementation()) return false;
    auto* view = new (std::nothrow) cFramebufferView;
    if (!view) return false;
    InitCompatible(view, prototype->GetImplementation(), pixels->w, pixels->h, pixels->pitch);
    view->bottomUp = 0;
    view->stride = view->pitch = pixels->pitch;
    // The renderer locks surfaces that have storage: the framebuffer stands in for it.
    view->storage = view->firstRow = static_cast<std::uint8_t*>(pixels->pixels);
    object = NewSurfaceObject();
    if (!object) {
      view->Delete();
      return false;
    }
    object->SetImplementation(view);
    this->view = view;
    visible = plat::VisibleRegion(window);
    return ClipTo(RECT{0, 0, clientWidth, clientHeight});
  }

  // Limits drawing to a client rectangle (and the framebuffer); false when nothing is left.
  bool ClipTo(const RECT& r) {
    view->clipLeft = std::clamp<int>(originX + r.left, 0, view->width);
    view->clipTop = std::clamp<int>(originY + r.top, 0, view->height);
    view->clipRight = std::clamp<int>(originX + r.right, 0, view->width);
    view->clipBottom = std::clamp<int>(originY + r.bottom, 0, view->height);
    return view->clipLeft < view->clipRight && view->clipTop < view->clipBottom;
  }
};

RECT Intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

bool Empty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

bool Stretches(const GameWindow* window, const RECT& client) {
  return (window->flags & kGameWindowStretch) && (client.right != window->backBuffer->GetWidth() ||
                                                  client.bottom != window->backBuffer->GetHeight());
}

// Joins neighbours in the list that share an edge whole (the same rows side by side, then the
// same columns one above the other), so that tiles listed row by row go out as long rows: the
// same pixels, and wide rows copy faster than many narrow ones. One pass each, in the list's
// order: sorting would cost more than it saves on lists of many small rectangles.
std::vector<RECT> JoinedCopies(std::vector<RECT> rects) {
  const auto join = [&rects](auto touches, auto grow) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < rects.size(); ++i) {
      if (kept > 0 && touches(rects[kept - 1], rects[i])) {
        grow(rects[kept - 1], rects[i]);
      } else {
        rects[kept++] = rects[i];
      }
    }
    rects.resize(kept);
  };
  join([](const RECT& a,
          const RECT& b) { return a.top == b.top && a.bottom == b.bottom && a.right == b.left; },
       [](RECT& a, const RECT& b) { a.right = b.right; });
  join([](const RECT& a,
          const RECT& b) { return a.left == b.left && a.right == b.right && a.bottom == b.top; },
       [](RECT& a, const RECT& b) { a.bottom = b.bottom; });
  return rects;
}

// Copies the rectangles (client coordinates, already limited) and pushes them.
int CopyRects(GameWindow* window, const RECT& client, const RECT* rects, int count) {
  FramebufferView view;
  if (!view.Open(window->window, client.right, client.bottom)) return 0;
  cSurfaceObject* buffer = window->backBuffer;
  const RECT limit = Intersect(client, RECT{0, 0, buffer->GetWidth(), buffer->GetHeight()});
  std::vector<RECT> shown;
  shown.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (int i = 0; i < count; ++i) {
    RECT r = rects[i];
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    r = Intersect(r, limit);
    if (Empty(r)) continue;
    // Each visible piece of the rectangle goes out on its own.
    for (const RECT& v : view.visible) {
      const RECT piece = Intersect(r, v);
      if (!Empty(piece)) shown.push_back(piece);
    }
  }
  // The copies as the two objects' Blit would make them, with their origins taken off.
  const auto local = [](std::int64_t coordinate, std::int32_t origin) {
    return static_cast<int>(std::clamp<std::int64_t>(coordinate - origin, INT_MIN, INT_MAX));
  };
  const std::vector<RECT> copies = JoinedCopies(shown);
  std::vector<BlitMove> moves;
  moves.reserve(copies.size());
  for (const RECT& c : copies) {
    moves.push_back(BlitMove{local(std::int64_t{view.originX} + c.left, view.object->originX),
                             local(std::int64_t{view.originY} + c.top, view.object->originY),
                             local(c.left, buffer->originX), local(c.top, buffer->originY),
                             c.right - c.left, c.bottom - c.top});
  }
  BlitOpaqueMany(buffer->GetImplementation(), view.object->GetImplementation(), moves.data(),
                 static_cast<int>(moves.size()));
  plat::PresentWindowRects(window->window, shown.data(), static_cast<int>(shown.size()));
  return static_cast<int>(shown.size());
}

int StretchAll(GameWindow* window, const RECT& client) {
  FramebufferView view;
  if (!view.Open(window->window, client.right, client.bottom)) return 0;
  cSurfaceObject* buffer = window->backBuffer;
  // The whole buffer is stretched onto the whole client area once per visible piece, drawing
  // only inside that piece: the pixels match one unclipped stretch.
  std::vector<RECT> shown;
  for (const RECT& v : view.visible) {
    const RECT piece = Intersect(client, v);
    if (Empty(piece) || !view.ClipTo(piece)) continue;
    buffer->StretchBlit(view.object, view.originX, view.originY, client.right, client.bottom, 0, 0,
                        buffer->GetWidth(), buffer->GetHeight(), kModeOpaque, kEffectNone, 0, 0);
    shown.push_back(piece);
  }
  plat::PresentWindowRects(window->window, shown.data(), static_cast<int>(shown.size()));
  return shown.empty() ? 0 : 1;
}

bool ClientOf(GameWindow* window, RECT* client) {
  return plat::GetClientRect(window->window, client) && !Empty(*client);
}

}  // namespace

int RedrawFromBackBuffer(GameWindow* window, const RECT& rect) {
  if (!window->backBuffer || (window->flags & kGameWindowDriverDisplay)) return 0;
  RECT client{};
  if (!ClientOf(window, &client)) return 0;
  if (Stretches(window, client)) return StretchAll(window, client);
  return CopyRects(window, client, &rect, 1);
}

}  // namespace vexa::window

using namespace vexa::window;

int PresentWindow(GameWindow* window) {
  if (!IsValidWindowObject(window)) return 0;
  // 1. Disabled, or nothing to show; a display driver presents its own buffers.
  if ((window->state & kGameStatePresentOff) || !window->backBuffer) return 0;
  if (window->flags & kGameWindowDriverDisplay) {
    // The display driver's surface shows itself (a flip); the dirty rectangles are moot.
    if (window->dirtyRects) window->dirtyRects->count = 0;
    ShowDisplayArea(window);  // the window may have moved or resized since
    return window->backBuffer->GetImplementation()->DriverHook79() ? 1 : 0;
  }
  // 2. Drawing queued on device contexts first, then the blank.
  plat::GdiFlush();
  WaitBeforePresent(window);
  // 3. The stretched whole, or the dirty rectangles.
  RECT client{};
  if (!ClientOf(window, &client)) return 0;
  int shown = 0;
  if (Stretches(window, client)) {
    shown = StretchAll(window, client);
  } else if (window->dirtyRects) {
    const DirtyRectList& list = *window->dirtyRects;
    shown = CopyRects(window, client, list.rects, std::clamp(list.count, 0, kDirtyRectCapacity));
  }
  if (window->dirtyRects) window->dirtyRects->count = 0;
  return shown ? 1 : 0;
}

int CopyToScreen(GameWindow* window) {
  if (!IsValidWindowObject(window) || !window->backBuffer) return 0;
  RECT client{};
  if (!ClientOf(window, &client)) return 0;
  plat::GdiFlush();
  if (Stretches(window, client)) return StretchAll(window, client);
  return CopyRects(window, client, &client, 1) ? 1 : 0;
}

// ---- the window procedure ---------------------------------------------------------------------

namespace {

struct MINMAXINFO {
  POINT reserved, maxSize, maxPosition, minTrackSize, maxTrackSize;
};

std::intptr_t Default(GameWindow* window, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && (window->flags & kGameWindowMdiFrame) && !(window->flags & kGameWindowMdiChild))
    return plat::DefFrameProc(hwnd, window->mdiClient, message, wParam, lParam);
  bool mdiChild = window && (window->flags & kGameWindowMdiChild);
  if (!window) {
    HWND parent = plat::GetParent(hwnd);
    mdiChild = parent && std::string(plat::GetClassName(parent)) == "mdiclient";
  }
  if (mdiChild) return plat::DefMDIChildProc(hwnd, message, wParam, lParam);
  return plat::DefWindowProc(hwnd, message, wParam, lParam);
}

std::intptr_t Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  GameWindow* window = message == plat::WM_CREATE ? nullptr : BoundObject(hwnd);
  switch (message) {
    case plat::WM_CREATE: {
      window = TakePendingObject();
      if (!window) return Default(nullptr, hwnd, message, wParam, lParam);
      window->window = hwnd;
      plat::SetWindowWord(hwnd, 0, reinterpret_cast<std::intptr_t>(window));
      if ((window->flags & kGameWindowMdiFrame) && !(window->flags & kGameWindowMdiChild)) {
        const auto* create = reinterpret_cast<const plat::CREATESTRUCT*>(lParam);
        plat::CLIENTCREATESTRUCT client{nullptr, 50};
        window->mdiClient =
            plat::CreateWindowEx(0, "mdiclient", nullptr, 0x52300000, 0, 0, 600, 400, hwnd,
                                 reinterpret_cast<HMENU>(std::uintptr_t{1}),
                                 create ? create->instance : nullptr, &client, nullptr);
        if (!window->mdiClient) return -1;
      }
      return 0;
    }
    case plat::WM_DESTROY:
    case plat::WM_MDIDESTROY:
      if (window) DestroyGameWindow(window);
      return 0;
    case plat::WM_SIZE: {
      if (!window) break;
      RefreshKeptDC(window);
      const int width = plat::LowWord(lParam) & 0xFFFF, height = plat::HighWord(lParam) & 0xFFFF;
      if (!window->sizingGuard &&
          (width > window->maxClientWidth || height > window->maxClientHeight)) {
        window->sizingGuard = 1;
        plat::SetWindowPos(hwnd, 0, 0,
                           std::min(width, window->maxClientWidth) + window->nonClientWidth,
                           std::min(height, window->maxClientHeight) + window->nonClientHeight,
                           plat::SWP_NOMOVE | plat::SWP_NOZORDER);
        window->sizingGuard = 0;
        RefreshKeptDC(window);
        return 0;
      }
      break;
    }
    case plat::WM_GETMINMAXINFO: {
      if (!window || !lParam) break;
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->maxSize.x = info->maxTrackSize.x = window->maxClientWidth + window->nonClientWidth;
      info->maxSize.y = info->maxTrackSize.y = window->maxClientHeight + window->nonClientHeight;
      return 0;
    }
    case plat::WM_PAINT: {
      if (!window) break;
      plat::PAINTSTRUCT paint{};
      if (!plat::BeginPaint(hwnd, &paint)) return 0;
      if (window->backBuffer && !(window->flags & kGameWindowDriverDisplay))
        RedrawFromBackBuffer(window, paint.rcPaint);
      plat::EndPaint(hwnd, &paint);
      return 0;
    }
    case plat::WM_ERASEBKGND: {
      if (!window) break;
      auto dc = reinterpret_cast<HDC>(wParam);
      RECT clip{};
      if (!dc || plat::GetClipBox(dc, &clip) == plat::RGN_ERROR) plat::GetClientRect(hwnd, &clip);
      if (window->backBuffer) {
        clip = Intersect(clip, RECT{0, 0, window->maxClientWidth, window->maxClientHeight});
        RedrawFromBackBuffer(window, clip);
      } else if (dc && window->backgroundBrush) {
        plat::FillRect(dc, &clip, window->backgroundBrush);
      }
      return 1;
    }
    case plat::WM_MOUSEMOVE:
      if (!window) break;
      plat::SetCursor(window->cursor);
      return 0;
    default:
      break;
  }
  return Default(window, hwnd, message, wParam, lParam);
}

}  // namespace

std::intptr_t GameWindowProc(HWND hwnd, UINT message, std::uintptr_t wParam, std::intptr_t lParam) {
  return Procedure(hwnd, message, wParam, lParam);
}

std::intptr_t GameWindowProcW(HWND hwnd, UINT message, std::uintptr_t wParam,
                              std::intptr_t lParam) {
  return Procedure(hwnd, message, wParam, lParam);
}
