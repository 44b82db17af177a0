// Windows as the device contexts need them: an SDL window with its rectangles, style word,
// visibility and a framebuffer that window contexts draw into. SDL's video subsystem starts
// with the first window and stops with the last (SDL counts its users). Display modes come
// from SDL's list of the first display.
#pragma once

#include <cstdint>

#include <vexa/wintypes.h>

struct SDL_Surface;
struct SDL_Window;

namespace plat {

// Window styles the library uses.
inline constexpr DWORD WS_POPUP = 0x80000000, WS_VISIBLE = 0x10000000, WS_CLIPSIBLINGS = 0x04000000,
                       WS_CLIPCHILDREN = 0x02000000, WS_CAPTION = 0x00C00000,
                       WS_THICKFRAME = 0x00040000, WS_OVERLAPPEDWINDOW = 0x00CF0000;

// A pop-up window without a frame, as the full-screen switch sets it.
inline constexpr DWORD kFullScreenStyle = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;

// ShowWindow commands and SetWindowPos flags.
inline constexpr int SW_HIDE = 0, SW_SHOW = 5;
inline constexpr UINT SWP_NOSIZE = 0x1, SWP_NOMOVE = 0x2, SWP_NOZORDER = 0x4, SWP_SHOWWINDOW = 0x40;

struct Window {
  SDL_Window* sdl = nullptr;
  DWORD style = 0;
  // The window procedure and words (see messages.h).
  std::intptr_t (*procedure)(Window*, UINT, std::uintptr_t, std::intptr_t) = nullptr;
  std::intptr_t words[4] = {};
};

// A window with a client area of width x height at (x, y) of the screen; shown when the style
// has WS_VISIBLE. Null when the video subsystem or the window cannot be made.
HWND CreateWindow(const char* title, DWORD style, int x, int y, int width, int height);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);

// The window's rectangle on the screen (frame included) and its client area (origin 0, 0).
BOOL GetWindowRect(HWND window, RECT* out);
BOOL GetClientRect(HWND window, RECT* out);
DWORD GetWindowStyle(HWND window);
// Sets the style word: WS_POPUP without WS_CAPTION shows no frame; returns the previous one.
DWORD SetWindowStyle(HWND window, DWORD style);
// Moves and sizes the window rectangle (width and height include the frame).
BOOL SetWindowPos(HWND window, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int width, int height);
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);

// The client area's pixels (SDL_GetWindowSurface); null for a bad window.
SDL_Surface* WindowFramebuffer(HWND window);
// Shows the pixels of a client rectangle drawn into the framebuffer.
void PresentWindowRect(HWND window, const RECT& rect);

// ---- display settings -----------------------------------------------------------------------

// A display settings record; the library keeps copies in 156-byte fields.
struct DisplaySettings {
  DWORD size;  // sizeof(DisplaySettings)
  DWORD bitsPerPixel;
  DWORD width;
  DWORD height;
  DWORD refresh;
};

inline constexpr int ENUM_CURRENT_SETTINGS = -1;
// Mode `index` of the display's list (ENUM_CURRENT_SETTINGS: the mode in force); FALSE past
// the end. Depths count 32 for 24-bit colour in 32-bit pixels.
BOOL EnumDisplaySettings(int index, DisplaySettings* out);
// Switches to a listed mode (size and depth must match one) with `window` full-screen on it;
// null settings return to the desktop mode. Without a window the settings are only recorded
// as the mode in force. DISP_CHANGE_SUCCESSFUL (0) or DISP_CHANGE_FAILED (-1).
inline constexpr int DISP_CHANGE_SUCCESSFUL = 0, DISP_CHANGE_FAILED = -1;
int ChangeDisplaySettings(const DisplaySettings* settings, HWND window);

}  // namespace plat
