// Window procedures and messages. Every platform window may carry a procedure and a few
// pointer-sized words. Messages posted to a window (from any thread) wait in one process-wide
// queue until the pump delivers them, in order, to the window's procedure on the thread that
// runs the pump; sent messages call the procedure at once.
#pragma once

#include <cstdint>

#include <vexa/wintypes.h>

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

namespace plat {

// Message numbers the library sends, posts or handles.
inline constexpr UINT WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_MOVE = 0x0003, WM_SIZE = 0x0005,
                      WM_PAINT = 0x000F, WM_CLOSE = 0x0010, WM_QUIT = 0x0012,
                      WM_ERASEBKGND = 0x0014, WM_SETCURSOR = 0x0020, WM_GETMINMAXINFO = 0x0024,
                      WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101, WM_CHAR = 0x0102,
                      WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202,
                      WM_MDICREATE = 0x0220, WM_MDIDESTROY = 0x0221, WM_USER = 0x0400,
                      WM_APP = 0x8000;

// Queues a message for `window`'s procedure; any thread may post. FALSE for a window that does
// not exist (null posts a thread message the pump hands out without a procedure).
BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Calls the window's procedure now and returns its answer (0 without a procedure).
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The window's procedure; setting returns the previous one.
WNDPROC GetWindowProc(HWND window);
WNDPROC SetWindowProc(HWND window, WNDPROC procedure);
// Pointer-sized words kept with the window (index 0 to kWindowWords - 1).
inline constexpr int kWindowWords = 4;
std::intptr_t GetWindowWord(HWND window, int index);
std::intptr_t SetWindowWord(HWND window, int index, std::intptr_t value);

// Takes the oldest queued message for `window` (null: any) into `out`; FALSE when none waits.
// With `remove` FALSE the message stays queued.
BOOL PeekMessage(MSG* out, HWND window, BOOL remove);
// Hands a message to its window's procedure; 0 for thread messages and gone windows.
LRESULT DispatchMessage(const MSG* message);
// Drops every queued message of a window (when it is destroyed).
void DiscardMessages(HWND window);

}  // namespace plat

namespace plat {

// ---- window classes ---------------------------------------------------------------------------

// The procedure windows of a class get when they are created without one. Registering a name
// again replaces its procedure. "mdiclient" is built in.
void RegisterWindowClass(const char* name, WNDPROC procedure);
WNDPROC FindWindowClass(const char* name);

// ---- default procedures and MDI -----------------------------------------------------------

// WM_CLOSE destroys the window; everything else answers 0.
LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefFrameProc(HWND window, HWND mdiClient, UINT message, WPARAM wParam, LPARAM lParam);
// WM_CLOSE asks the MDI client to destroy the child.
LRESULT DefMDIChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Creation data of an MDI client (the creation parameter of a "mdiclient" window).
struct CLIENTCREATESTRUCT {
  HMENU windowMenu;
  UINT firstChildId;
};
// WM_MDICREATE's lParam; the client answers the new child window (class procedure, style
// WS_CHILD | WS_VISIBLE added, child identifiers counted from the first).
struct MDICREATESTRUCT {
  const char* className;
  const char* title;
  HINSTANCE owner;
  int x, y, cx, cy;
  DWORD style;
  LPARAM lParam;  // the children's creation parameter
};

// ---- painting -------------------------------------------------------------------------------

struct PAINTSTRUCT {
  HDC hdc;
  BOOL erase;
  RECT rcPaint;
};
// Adds a client rectangle (null: all of it) to the window's update area.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
// InvalidateRect on the window and, for each visible descendant, on the part of the rectangle
// (null: the whole client area) it covers.
BOOL InvalidateWindowTree(HWND window, const RECT* rect, BOOL erase);
// The update area's bounding box; FALSE when nothing waits for painting.
BOOL GetUpdateRect(HWND window, RECT* out);
// A context on the window with the update area as rcPaint; the update area is emptied.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

// ---- message-filter hooks -------------------------------------------------------------------

struct HookRecord;
using HHOOK = HookRecord*;
using HOOKPROC = LRESULT (*)(int code, WPARAM wParam, LPARAM lParam);
inline constexpr int MSGF_DIALOGBOX = 0, MSGF_MENU = 2;

// Hooks of the calling thread, newest first. The procedure gets (code, 0, MSG*); a non-zero
// answer swallows the message.
HHOOK SetMessageFilterHook(HOOKPROC procedure);
BOOL UnhookMessageFilter(HHOOK hook);
// Calls the hooks after `hook` (negative codes go straight down the chain).
LRESULT CallNextHook(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);
// Runs the calling thread's hooks on a message of a modal loop; TRUE when one swallowed it.
BOOL CallMessageFilter(MSG* message, int code);

// ---- the pump -------------------------------------------------------------------------------

// Turns waiting SDL events into messages (resize: WM_SIZE; expose: WM_ERASEBKGND and
// WM_PAINT; motion: WM_MOUSEMOVE to the child under the pointer; keys: WM_KEYDOWN / WM_KEYUP
// to the focus window; close: WM_CLOSE; quit: a posted WM_QUIT) and delivers them and the
// posted messages to the procedures. A modal loop passes its code (MSGF_DIALOGBOX, ...) and
// every message first goes through the message-filter hooks; -1 runs no hooks. Returns the
// number of messages delivered; *quit (when given) is set when WM_QUIT came.
int PumpMessages(int filterCode = -1, BOOL* quit = nullptr);
// The window keys go to (a top-level window's own by default).
HWND SetFocus(HWND window);
HWND GetFocus();

inline LPARAM MakeLParam(int low, int high) {
  return static_cast<LPARAM>(static_cast<std::uint32_t>((low & 0xFFFF) | (high << 16)));
}
inline int LowWord(LPARAM value) { return static_cast<std::int16_t>(value & 0xFFFF); }
inline int HighWord(LPARAM value) { return static_cast<std::int16_t>((value >> 16) & 0xFFFF); }

}  // namespace plat
