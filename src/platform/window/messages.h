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
inline constexpr UINT WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_MOVE = 0x0003,
                      WM_SIZE = 0x0005, WM_PAINT = 0x000F, WM_CLOSE = 0x0010,
                      WM_QUIT = 0x0012, WM_ERASEBKGND = 0x0014, WM_SETCURSOR = 0x0020,
                      WM_GETMINMAXINFO = 0x0024, WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101,
                      WM_CHAR = 0x0102, WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201,
                      WM_LBUTTONUP = 0x0202, WM_MDICREATE = 0x0220, WM_MDIDESTROY = 0x0221,
                      WM_USER = 0x0400, WM_APP = 0x8000;

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
