// Windows as the device contexts need them: an SDL window with its rectangles, style word,
// visibility and a framebuffer that window contexts draw into. SDL's video subsystem starts
// with the first window and stops with the last (SDL counts its users). Display modes come
// from SDL's list of the first display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <vexa/wintypes.h>

struct SDL_Surface;
struct SDL_Window;

namespace plat {

// Window styles the library uses.
inline constexpr DWORD WS_POPUP = 0x80000000, WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000,
                       WS_CLIPSIBLINGS = 0x04000000, WS_CLIPCHILDREN = 0x02000000,
                       WS_CAPTION = 0x00C00000, WS_THICKFRAME = 0x00040000,
                       WS_OVERLAPPEDWINDOW = 0x00CF0000;

// An extended-style bit of this platform: the window is made for OpenGL (SDL_WINDOW_OPENGL), so
// that a display driver can take it over; without OpenGL in the video driver it is made
// without the flag.
inline constexpr DWORD kExStyleOpenGL = 0x80000000;

// A pop-up window without a frame, as the full-screen switch sets it.
inline constexpr DWORD kFullScreenStyle = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;

// ShowWindow commands and SetWindowPos flags.
inline constexpr int SW_HIDE = 0, SW_SHOW = 5;
inline constexpr UINT SWP_NOSIZE = 0x1, SWP_NOMOVE = 0x2, SWP_NOZORDER = 0x4, SWP_SHOWWINDOW = 0x40;

// A top-level window is an SDL window. SDL has no child windows: a child is a rectangle of its
// parent's client area, drawn into the top-level window's framebuffer through a view surface.
// Siblings are kept in z order, bottom first: a new child goes on top. What a window may draw
// on is its visible region (VisibleRegion below).
struct Window {
  SDL_Window* sdl = nullptr;  // null for a child
  DWORD style = 0;
  DWORD exStyle = 0;
  // The window procedure and words (see messages.h).
  std::intptr_t (*procedure)(Window*, UINT, std::uintptr_t, std::intptr_t) = nullptr;
  std::intptr_t words[4] = {};
  std::string className;
  std::uintptr_t id = 0;  // child identifier, or the menu handle of a top-level window
  Window* parent = nullptr;
  std::vector<Window*> children;
  RECT rect{};                  // a child's rectangle in its parent's client coordinates
  SDL_Surface* view = nullptr;  // a child's framebuffer view into its top-level window
  int menuStrip = 0;            // height of the menu bar above the client area
  bool destroying = false;
  bool foreign = false;  // a host's SDL window: never destroyed here
  RECT update{};         // the area waiting for WM_PAINT
  bool hasUpdate = false;
  bool eraseUpdate = false;
};

// A window with a client area of width x height at (x, y) of the screen; shown when the style
// has WS_VISIBLE. Null when the video subsystem or the window cannot be made.
HWND CreateWindow(const char* title, DWORD style, int x, int y, int width, int height);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);

// The window-creation record handed to the procedure's WM_CREATE as its lParam.
struct CREATESTRUCT {
  void* createParams;
  HINSTANCE instance;
  HMENU menu;
  HWND parent;
  int cy, cx, y, x;
  DWORD style;
  const void* name;
  const void* className;
  DWORD exStyle;
};
inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

// The general form: a child (WS_CHILD with a parent) or a top-level window of width x height
// with its frame, the procedure called with WM_CREATE (and the creation record) before this
// returns; a procedure answering -1 fails the creation. `menu` is the child identifier of a
// child. Null on failure.
HWND CreateWindowEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                    int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                    void* createParams,
                    std::intptr_t (*procedure)(Window*, UINT, std::uintptr_t, std::intptr_t));
// A handle for a host's own SDL window (the same handle for the same window). DestroyWindow
// forgets it without destroying the SDL window.
HWND WrapSDLWindow(SDL_Window* window);
HWND GetParent(HWND window);
// TRUE when the window's top-level window fills the screen in a display mode of its own.
BOOL IsFullScreen(HWND window);
// Every live top-level window, oldest first.
std::vector<HWND> TopLevelWindows();
// The class name given at creation ("" for the simple form).
const char* GetClassName(HWND window);
// The top-level window a child belongs to (the window itself for a top-level window).
HWND GetTopLevel(HWND window);
// Converts a client point to screen coordinates.
BOOL ClientToScreen(HWND window, POINT* point);
// Maximum client size of a top-level window (SDL_SetWindowMaximumSize); 0 lifts the limit.
void SetMaximumClientSize(HWND window, int width, int height);
// The menu bar strip above the client area: a height of 0 removes it. The window rectangle
// grows by it; the client area keeps its size.
void SetMenuStrip(HWND window, int height);
int MenuStripHeight(HWND window);
// The height a menu bar takes.
inline constexpr int kMenuBarHeight = 20;

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

// The bitmap depth of a framebuffer's pixel format (32, 16, 15 or 24, blue-green-red order),
// 0 for a format the library does not draw in.
int FramebufferDepth(const SDL_Surface* surface);

// The client area's pixels (SDL_GetWindowSurface); null for a bad window.
SDL_Surface* WindowFramebuffer(HWND window);
// Shows the pixels of a client rectangle drawn into the framebuffer.
void PresentWindowRect(HWND window, const RECT& rect);
// Shows several client rectangles at once (one SDL_UpdateWindowSurfaceRects); the rectangles
// must lie inside the client area. Keeps a copy of the last list for tests.
void PresentWindowRects(HWND window, const RECT* rects, int count);
// The rectangles of the last PresentWindowRects of a window's top-level window.
std::vector<RECT> LastPresentedRects(HWND window);

// ---- z order and visibility of children ---------------------------------------------------

// The part of a window's client area that drawing and presents may touch, as disjoint
// rectangles in its own client coordinates (banded, as the device contexts' regions):
//  - a child: its rectangle within every ancestor's client area, less every visible sibling
//    above it and above each of its ancestors (every child clips its siblings, as if it had
//    WS_CLIPSIBLINGS: nothing here would repaint what a lower sibling drew over a higher
//    one); empty while it or an ancestor is hidden;
//  - a window with WS_CLIPCHILDREN also loses its visible children's rectangles.
// A top-level window's region starts from its whole client area, shown or not (SDL keeps its
// framebuffer either way). Empty for an unknown window.
std::vector<RECT> VisibleRegion(HWND window);
// The window's client rectangle in its top-level window's client coordinates.
BOOL ClientRectInTopLevel(HWND window, RECT* out);

// SetWindowZOrder's places besides a sibling (the window then goes right below that sibling).
inline const HWND HWND_TOP = nullptr;
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(std::uintptr_t{1});
// Moves a child in its siblings' z order; the areas it uncovers or now covers are invalidated.
// FALSE for a top-level window (SDL stacks those), an unknown window or a sibling that is not.
BOOL SetWindowZOrder(HWND window, HWND insertAfter);
// The sibling right above a child (null at the top) / its topmost child (null without any).
HWND WindowAbove(HWND window);
HWND TopChild(HWND window);

// ---- cursors ----------------------------------------------------------------------------------

inline constexpr int IDC_ARROW = 32512, IDC_IBEAM = 32513, IDC_WAIT = 32514, IDC_CROSS = 32515,
                     IDC_HAND = 32649;
// The shared handle of a system cursor (never destroyed); null for an unknown identifier.
HCURSOR LoadSystemCursor(int id);
// Shows the cursor (system cursors through SDL's system cursors, others as colour cursors);
// returns the previous one.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

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
