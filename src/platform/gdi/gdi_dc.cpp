// Device contexts: memory, screen and window contexts, their state, saved states, pens,
// brushes, device capabilities.
#include <SDL.h>

#include <algorithm>
#include <limits>
#include <new>

#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/screen.h"
#include "platform/window/window.h"

namespace plat {

int ClampCoordinate(std::int64_t value) {
  constexpr std::int64_t kLimit = std::int64_t{1} << 27;
  return static_cast<int>(std::clamp(value, -kLimit, kLimit));
}

// ---- the screen ---------------------------------------------------------------------------------

namespace {

struct ScreenInfo {
  int width = 1024, height = 768, depth = 32, refresh = 60;
};

const ScreenInfo& Screen() {
  static const ScreenInfo info = [] {
    ScreenInfo s;
    s.depth = ScreenBitsPerPixel();
    if (s.depth != 15 && s.depth != 16 && s.depth != 24) s.depth = 32;
    int width = 0, height = 0, refresh = 0;
    if (ScreenDesktopSize(&width, &height, &refresh)) {
      s.width = width;
      s.height = height;
      if (refresh > 0) s.refresh = refresh;
    }
    return s;
  }();
  return info;
}

}  // namespace

Bitmap* ScreenBitmap() {
  static Bitmap* bitmap = [] {
    const ScreenInfo& s = Screen();
    Bitmap* b = MakeBitmap(s.width, s.height, s.depth, true, nullptr, 0);
    if (!b) b = MakeBitmap(1, 1, 32, true, nullptr, 0);
    b->stock = true;
    Register(b);
    return b;
  }();
  return bitmap;
}

int ScreenWidth() { return Screen().width; }
int ScreenHeight() { return Screen().height; }

// ---- contexts -----------------------------------------------------------------------------------

DC* NewContextOn(DCKind kind, HWND window, Bitmap* bitmap) {
  auto* dc = new (std::nothrow) DC;
  if (!dc) return nullptr;
  dc->kind = GdiKind::kDC;
  dc->dcKind = kind;
  dc->window = window;
  DCState& s = dc->state;
  s.bitmap = bitmap;
  s.pen = StockPen(BLACK_PEN);
  s.brush = StockBrush(WHITE_BRUSH);
  s.palette = StockPalette();
  s.font = StockFont(SYSTEM_FONT);
  HoldState(s);
  if (!Register(dc)) {
    LetGoState(s);
    delete dc;
    return nullptr;
  }
  return dc;
}

void FreeContext(DC* dc) {
  if (dc->state.bitmap && dc->state.bitmap->selectedIn == dc)
    dc->state.bitmap->selectedIn = nullptr;
  // A window context's bitmap over the framebuffer goes with it.
  Bitmap* framebuffer = dc->dcKind == DCKind::kWindow ? dc->state.bitmap : nullptr;
  for (DCState& s : dc->saved) LetGoState(s);
  LetGoState(dc->state);
  Retire(framebuffer);
  delete dc;
}

namespace {

// Contexts are freed through the table so that their handles go stale at once.
void RetireContext(DC* dc) {
  if (dc->state.bitmap && dc->state.bitmap->selectedIn == dc)
    dc->state.bitmap->selectedIn = nullptr;
  Retire(dc);
}

}  // namespace

HDC CreateCompatibleDC(HDC reference) {
  if (reference && !LookupDC(reference)) return nullptr;
  return HandleOf<HDC>(NewContextOn(DCKind::kMemory, nullptr, StockBitmap()));
}

BOOL DeleteDC(HDC handle) {
  DC* dc = LookupDC(handle);
  if (!dc) return 0;
  RetireContext(dc);
  return 1;
}

namespace {

// Window contexts in use, for GdiFlush.
std::mutex& WindowContextsLock() {
  static std::mutex lock;
  return lock;
}
std::vector<DC*>& WindowContexts() {
  static std::vector<DC*> contexts;
  return contexts;
}

// The bitmap format of a window framebuffer: depth 32, 16, 15 or 24 in blue-green-red order.
int DepthOfFramebuffer(const SDL_Surface& s) {
  switch (s.format->format) {
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

void Present(DC& dc) {
  if (dc.hasDirty) PresentWindowRect(dc.window, dc.dirty);
  dc.hasDirty = false;
}

}  // namespace

HDC GetDC(HWND window) {
  if (!window) return HandleOf<HDC>(NewContextOn(DCKind::kScreen, nullptr, ScreenBitmap()));
  SDL_Surface* surface = WindowFramebuffer(window);
  const int depth = surface ? DepthOfFramebuffer(*surface) : 0;
  if (!depth) return nullptr;
  // The context holds a bitmap over the framebuffer; the bitmap goes with the context.
  Bitmap* pixels = MakeBitmap(surface->w, surface->h, depth, true,
                              static_cast<std::uint8_t*>(surface->pixels), surface->pitch);
  if (!pixels || !Register(pixels)) {
    delete pixels;
    return nullptr;
  }
  DC* dc = NewContextOn(DCKind::kWindow, window, pixels);
  if (!dc) {
    Retire(pixels);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(WindowContextsLock());
  WindowContexts().push_back(dc);
  return HandleOf<HDC>(dc);
}

// The window manager draws the frame: the whole-window context is the client context.
HDC GetWindowDC(HWND window) { return GetDC(window); }

int ReleaseDC(HWND window, HDC handle) {
  DC* dc = LookupDC(handle);
  if (!dc || dc->dcKind == DCKind::kMemory || dc->window != window) return 0;
  if (dc->dcKind == DCKind::kWindow) {
    Present(*dc);
    std::lock_guard<std::mutex> guard(WindowContextsLock());
    auto& list = WindowContexts();
    list.erase(std::remove(list.begin(), list.end(), dc), list.end());
  }
  RetireContext(dc);
  return 1;
}

int SaveDC(HDC handle) {
  DC* dc = LookupDC(handle);
  if (!dc) return 0;
  dc->saved.push_back(dc->state);
  HoldState(dc->saved.back());
  return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC handle, int level) {
  DC* dc = LookupDC(handle);
  if (!dc) return 0;
  const int depth = static_cast<int>(dc->saved.size());
  const int target = level < 0 ? depth + level + 1 : level;
  if (level == 0 || target < 1 || target > depth) return 0;
  Bitmap* before = dc->state.bitmap;
  LetGoState(dc->state);
  dc->state = dc->saved[static_cast<std::size_t>(target - 1)];
  HoldState(dc->state);
  for (int i = depth - 1; i >= target - 1; --i) LetGoState(dc->saved[static_cast<std::size_t>(i)]);
  dc->saved.resize(static_cast<std::size_t>(target - 1));
  if (before != dc->state.bitmap) {
    if (before && before->selectedIn == dc) before->selectedIn = nullptr;
    if (dc->state.bitmap && !dc->state.bitmap->stock) dc->state.bitmap->selectedIn = dc;
  }
  return 1;
}

// ---- state
// ------------------------------------------------------------------------------------------

BOOL SetWindowOrgEx(HDC handle, int x, int y, POINT* previous) {
  DC* dc = LookupDC(handle);
  if (!dc) return 0;
  if (previous) *previous = dc->state.windowOrigin;
  dc->state.windowOrigin = POINT{ClampCoordinate(x), ClampCoordinate(y)};
  return 1;
}

BOOL GetWindowOrgEx(HDC handle, POINT* out) {
  DC* dc = LookupDC(handle);
  if (!dc || !out) return 0;
  *out = dc->state.windowOrigin;
  return 1;
}

BOOL OffsetWindowOrgEx(HDC handle, int dx, int dy, POINT* previous) {
  DC* dc = LookupDC(handle);
  if (!dc) return 0;
  const POINT o = dc->state.windowOrigin;
  if (previous) *previous = o;
  dc->state.windowOrigin =
      POINT{ClampCoordinate(std::int64_t{o.x} + dx), ClampCoordinate(std::int64_t{o.y} + dy)};
  return 1;
}

namespace {

template <class T, class Valid>
T Exchange(HDC handle, T DCState::*field, T value, T failure, Valid valid) {
  DC* dc = LookupDC(handle);
  if (!dc || !valid(value)) return failure;
  T previous = dc->state.*field;
  dc->state.*field = value;
  return previous;
}

template <class T>
T Read(HDC handle, T DCState::*field, T failure) {
  DC* dc = LookupDC(handle);
  return dc ? dc->state.*field : failure;
}

constexpr auto kAny = [](auto) { return true; };

}  // namespace

int SetROP2(HDC dc, int mode) {
  return Exchange(dc, &DCState::rop2, mode, 0,
                  [](int m) { return m >= R2_BLACK && m <= R2_WHITE; });
}
int GetROP2(HDC dc) { return Read(dc, &DCState::rop2, 0); }
int SetBkMode(HDC dc, int mode) {
  return Exchange(dc, &DCState::bkMode, mode, 0,
                  [](int m) { return m == TRANSPARENT || m == OPAQUE; });
}
int GetBkMode(HDC dc) { return Read(dc, &DCState::bkMode, 0); }
COLORREF SetBkColor(HDC dc, COLORREF color) {
  return Exchange(dc, &DCState::bkColor, color, CLR_INVALID, kAny);
}
COLORREF GetBkColor(HDC dc) { return Read(dc, &DCState::bkColor, CLR_INVALID); }
COLORREF SetTextColor(HDC dc, COLORREF color) {
  return Exchange(dc, &DCState::textColor, color, CLR_INVALID, kAny);
}
COLORREF GetTextColor(HDC dc) { return Read(dc, &DCState::textColor, CLR_INVALID); }
UINT SetTextAlign(HDC dc, UINT align) {
  return Exchange(dc, &DCState::textAlign, align, GDI_ERROR, kAny);
}
UINT GetTextAlign(HDC dc) { return Read(dc, &DCState::textAlign, GDI_ERROR); }
int SetStretchBltMode(HDC dc, int mode) {
  return Exchange(dc, &DCState::stretchMode, mode, 0,
                  [](int m) { return m >= BLACKONWHITE && m <= HALFTONE; });
}
int GetStretchBltMode(HDC dc) { return Read(dc, &DCState::stretchMode, 0); }
int SetPolyFillMode(HDC dc, int mode) {
  return Exchange(dc, &DCState::polyFillMode, mode, 0,
                  [](int m) { return m == ALTERNATE || m == WINDING; });
}
int GetPolyFillMode(HDC dc) { return Read(dc, &DCState::polyFillMode, 0); }

BOOL MoveToEx(HDC handle, int x, int y, POINT* previous) {
  DC* dc = LookupDC(handle);
  if (!dc) return 0;
  if (previous) *previous = dc->state.position;
  dc->state.position = POINT{ClampCoordinate(x), ClampCoordinate(y)};
  return 1;
}

BOOL GetCurrentPositionEx(HDC handle, POINT* out) {
  DC* dc = LookupDC(handle);
  if (!dc || !out) return 0;
  *out = dc->state.position;
  return 1;
}

int GetDeviceCaps(HDC handle, int index) {
  if (!LookupDC(handle)) return 0;
  const ScreenInfo& s = Screen();
  switch (index) {
    case HORZRES:
      return s.width;
    case VERTRES:
      return s.height;
    case BITSPIXEL:
      return s.depth;
    case PLANES:
      return 1;
    case NUMCOLORS:
      return -1;
    case RASTERCAPS:
      return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT;
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    case SIZEPALETTE:
    case NUMRESERVED:
      return 0;
    case COLORRES:
      return 24;
    case VREFRESH:
      return s.refresh;
    default:
      return 0;
  }
}

void MarkDirty(DC& dc, const RECT& box) {
  if (dc.dcKind != DCKind::kWindow || box.left >= box.right || box.top >= box.bottom) return;
  if (!dc.hasDirty) {
    dc.dirty = box;
    dc.hasDirty = true;
    return;
  }
  dc.dirty.left = std::min(dc.dirty.left, box.left);
  dc.dirty.top = std::min(dc.dirty.top, box.top);
  dc.dirty.right = std::max(dc.dirty.right, box.right);
  dc.dirty.bottom = std::max(dc.dirty.bottom, box.bottom);
}

BOOL GdiFlush() {
  std::lock_guard<std::mutex> guard(WindowContextsLock());
  for (DC* dc : WindowContexts()) Present(*dc);
  return 1;
}

// ---- pens and brushes -------------------------------------------------------------------------

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style < PS_SOLID || style > PS_INSIDEFRAME) return nullptr;
  auto* pen = new (std::nothrow) Pen;
  if (!pen) return nullptr;
  pen->kind = GdiKind::kPen;
  pen->style = style == PS_INSIDEFRAME ? PS_SOLID : style;
  // Widths below 1 draw one pixel wide; very wide pens are limited so that shapes stay exact.
  pen->width = std::clamp(width, 1, 1 << 20);
  pen->color = color;
  if (!Register(pen)) {
    delete pen;
    return nullptr;
  }
  return HandleOf<HPEN>(pen);
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
  return pen ? CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor)
             : nullptr;
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* record) {
  if (!record || (record->lbStyle != BS_SOLID && record->lbStyle != BS_NULL)) return nullptr;
  auto* brush = new (std::nothrow) Brush;
  if (!brush) return nullptr;
  brush->kind = GdiKind::kBrush;
  brush->style = record->lbStyle;
  brush->color = record->lbColor;
  brush->hatch = record->lbHatch;
  if (!Register(brush)) {
    delete brush;
    return nullptr;
  }
  return HandleOf<HBRUSH>(brush);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  const LOGBRUSH record{BS_SOLID, color, 0};
  return CreateBrushIndirect(&record);
}

COLORREF GetSysColor(int index) { return SystemColor(index); }

HBRUSH GetSysColorBrush(int index) {
  constexpr int kCount = 31;
  static Brush* brushes[kCount] = {};
  static std::once_flag once;
  if (index < 0 || index >= kCount) return nullptr;
  std::call_once(once, [] {
    for (int i = 0; i < kCount; ++i) {
      auto* b = new Brush;
      b->kind = GdiKind::kBrush;
      b->stock = true;
      b->color = SystemColor(i);
      Register(b);
      brushes[i] = b;
    }
  });
  return HandleOf<HBRUSH>(brushes[index]);
}

}  // namespace plat
