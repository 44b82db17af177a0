// Game windows: creation, adoption and destruction, the window procedure that paints from a
// back buffer, dirty rectangles and presentation, a few drawing and cursor helpers, and the
// application context's palette as the windows use it.
//
// A window object belongs to the application context (the image bank) it was created with
// and goes when the context goes. Every call taking a window object does nothing (or answers
// 0) for null and for the failure values 1 and 2 that creation answers.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/export.h>
#include <vexa/wintypes.h>

struct ImageBank;
struct GameWindow;
struct PaletteObject;
class cSurfaceObject;
struct SDL_Window;

// ---- creation record ----------------------------------------------------------------------

// What a host fills in to create a game window. Handles and strings take native pointer size;
// `size` counts the bytes the host filled: the adopted-window field is read only when `size`
// reaches its end, and a size short of the fields before it is refused.
struct GameWindowRecord {
  std::uint32_t size;
  HINSTANCE instance;
  HMENU menu;  // or the child identifier
  HWND parent;
  std::int32_t width, height;  // negative: a client size
  std::int32_t y, x;
  DWORD style;
  const void* title;      // char text (library code page) or WCHAR text, by the form called
  const void* className;  // likewise
  DWORD exStyle;
  std::int32_t maxWidth, maxHeight;  // maximum client size; negative: taken as is
  HCURSOR cursor;                    // 1: the standard arrow
  HBRUSH background;                 // 1: the stock white brush; kind 1: a colour (COLORREF)
  std::int32_t kind;                 // 1: palette and dirty list, 3: existing window, else new
  std::uint32_t flags;               // creation flags (kGameWindow* below)
  HWND adoptedWindow;                // present when `size` reaches the end of the record
};

inline constexpr std::uint32_t kGameWindowRecordFixedSize =
    offsetof(GameWindowRecord, adoptedWindow);
inline constexpr std::uint32_t kGameWindowRecordFullSize = sizeof(GameWindowRecord);

// ---- flags and state words ----------------------------------------------------------------

// Flags word: the creation flags in the low bits, then what creation and attachment found.
inline constexpr std::uint16_t kGameWindowStretch = 0x0001;        // stretch buffer to client
inline constexpr std::uint16_t kGameWindowContainDirty = 0x0010;   // dirty list: containment
inline constexpr std::uint16_t kGameWindowDriverDisplay = 0x0020;  // a display driver presents
inline constexpr std::uint16_t kGameWindowMdiFrame = 0x0200;
inline constexpr std::uint16_t kGameWindowOwnDC = 0x0400;  // the device context is kept
inline constexpr std::uint16_t kGameWindowMdiChild = 0x0800;
inline constexpr std::uint16_t kGameWindowWide = 0x1000;        // created with the wide calls
inline constexpr std::uint16_t kGameWindowBackBuffer = 0x2000;  // a back buffer is attached
inline constexpr std::uint16_t kGameWindowAdopted = 0x4000;
inline constexpr std::uint16_t kGameWindowExisting = 0x8000;  // kind 3: the parent window

// State word.
inline constexpr std::uint16_t kGameStatePresentOff = 0x0001;
inline constexpr std::uint16_t kGameStateFullScreenPalette = 0x0002;
inline constexpr std::uint16_t kGameStateWaitBlank = 0x0008;
inline constexpr std::uint16_t kGameStatePrivateSaves = 0x0010;  // sprites keep save-unders

// Creation answers these instead of a window object.
inline constexpr std::uintptr_t kGameWindowNoContext = 1;
inline constexpr std::uintptr_t kGameWindowNotCreated = 2;

// The message a dialog's key press is forwarded as (to the dialog's parent).
inline constexpr UINT kDialogKeyMessage = 0x8005;

// ---- windows ------------------------------------------------------------------------------

VEXA_API GameWindow* CreateGameWindow(ImageBank* context, const GameWindowRecord* record);
VEXA_API GameWindow* CreateGameWindowW(ImageBank* context, const GameWindowRecord* record);
// Adopts `parent` as a kind-3 window with the arrow cursor and the black brush.
VEXA_API GameWindow* CreateChildDisplay(ImageBank* context, HWND parent);
VEXA_API GameWindow* CreateChildDisplayW(ImageBank* context, HWND parent);
VEXA_API void DestroyGameWindow(GameWindow* window);
VEXA_API std::intptr_t GameWindowProc(HWND window, UINT message, std::uintptr_t wParam,
                                      std::intptr_t lParam);
VEXA_API std::intptr_t GameWindowProcW(HWND window, UINT message, std::uintptr_t wParam,
                                       std::intptr_t lParam);
// The window object of a window, searched in every application context of the calling thread.
VEXA_API GameWindow* FindGameWindow(HWND window);

VEXA_API HWND GetWindowHandle(GameWindow* window);
VEXA_API HWND GetMdiClient(GameWindow* window);
VEXA_API int GetWindowFlags(GameWindow* window);
// Sets the flags word; returns the old one.
VEXA_API int SetWindowFlags(GameWindow* window, int flags);
// (0, 0, maximum client width, maximum client height); 0 without a window.
VEXA_API int GetClientArea(GameWindow* window, RECT* out);
VEXA_API HDC GetGameWindowDC(GameWindow* window);
VEXA_API void ReleaseGameWindowDC(GameWindow* window, HDC dc);
// 0x8000 keeps a coordinate.
VEXA_API int MoveGameWindow(GameWindow* window, int x, int y);
// 0x8000 keeps a size; 0 or less is a client size (the non-client extra minus the value).
VEXA_API int SizeGameWindow(GameWindow* window, int width, int height);
VEXA_API int SetGameMenu(GameWindow* window, HMENU menu, int value);
// 1 means the arrow; resets the wait count; returns the previous cursor.
VEXA_API HCURSOR SetGameCursor(GameWindow* window, HCURSOR cursor);
VEXA_API void BeginWaitCursor(GameWindow* window);
VEXA_API void EndWaitCursor(GameWindow* window);
VEXA_API void SetBackColor(GameWindow* window, COLORREF color);
VEXA_API void SetPen(GameWindow* window, COLORREF color, int style, int width);
// Sets (on = 0) or clears state bit 0; returns the old state word.
VEXA_API int EnablePresent(GameWindow* window, int on);
VEXA_API int SetWindowOption(GameWindow* window, int option, int value);

// ---- dirty rectangles, drawing and presentation -------------------------------------------

VEXA_API void AddDirtyRect(GameWindow* window, const RECT* rect);
VEXA_API void ClearDirtyRects(GameWindow* window);
// Copies up to `capacity` rectangles of the dirty list (what the next present copies) into
// `out` (may be null) and returns how many the list holds; 0 for windows without a list.
VEXA_API int GetDirtyRects(GameWindow* window, RECT* out, int capacity);
VEXA_API void FillWindowRect(GameWindow* window, const RECT* rect, HBRUSH brush);
VEXA_API void FrameWindowRect(GameWindow* window, const RECT* rect);
VEXA_API void DrawWindowPolyline(GameWindow* window, const POINT* points, int count);
// x2 and y2 inclusive.
VEXA_API void FillWindowBox(GameWindow* window, int x1, int y1, int x2, int y2, COLORREF color);
// 1 when something was copied to the window.
VEXA_API int PresentWindow(GameWindow* window);
// Copies the whole back buffer into the client area.
VEXA_API int CopyToScreen(GameWindow* window);
VEXA_API std::uintptr_t InstallDialogKeyHook();
VEXA_API int RemoveDialogKeyHook();

// ---- back buffer ----------------------------------------------------------------------------

VEXA_API int SetBackBuffer(GameWindow* window, cSurfaceObject* surface);
VEXA_API void ReleaseBackBuffer(GameWindow* window);

// ---- windows a display driver presents ----------------------------------------------------

// A game window created with kGameWindowDriverDisplay (0x20) is made for OpenGL: its SDL
// window (its top-level window's, for a child) carries SDL_WINDOW_OPENGL whenever the video
// driver can make such windows (SDL's dummy driver cannot: the window is then made without).
// The window helpers neither record dirty rectangles for it nor copy its back buffer; its
// display driver shows the buffer. Where it may show it: `client` (when given) receives the
// window's client rectangle in its top-level SDL window's client coordinates (pixels, origin
// top left), `visible` up to `capacity` disjoint rectangles in the same coordinates, the parts
// of the client area not covered by sibling windows above it nor outside its parents. Returns
// the number of visible rectangles (it may exceed `capacity`; 0 for a covered child or one
// hidden itself or through a parent), -1 for a handle that is no window. Ask again before every
// present: windows move, stack and resize.
VEXA_API int GetWindowPresentArea(HWND window, RECT* client, RECT* visible, int capacity);

// ---- the context palette --------------------------------------------------------------------

VEXA_API int GetContextPaletteEntries(LOGPALETTE* buffer, int format, ImageBank* context);
VEXA_API COLORREF GetContextPaletteColor(ImageBank* context, int format, int index);
VEXA_API int GetContextNearestIndex(ImageBank* context, int format, COLORREF color);
VEXA_API int GetContextPaletteMode(ImageBank* context);
VEXA_API int SetContextPalette(ImageBank* context, HPALETTE handle, PaletteObject* palette);
VEXA_API int SelectContextPalette(ImageBank* context, HPALETTE handle);
VEXA_API HPALETTE CreateSystemPalette(const LOGPALETTE* record);
VEXA_API PaletteObject* CreateContextPaletteObject(const LOGPALETTE* record);
VEXA_API void ReleaseContextPaletteObject(PaletteObject* palette);

// ---- hosts ------------------------------------------------------------------------------------

// Runs the message pump once: SDL events become window messages, and they and the posted
// messages reach the window procedures. `filterCode` >= 0 runs the message-filter hooks
// first, as a modal loop of that kind does (0: a dialog). Returns the messages delivered;
// *quit is set when a quit request came.
VEXA_API int PumpGameMessages(int filterCode, int* quit);
// A window handle for a host's own SDL window, to adopt (record field `adoptedWindow`, or
// kind 3). The SDL window stays the host's; forget the handle with ReleaseHostWindow.
VEXA_API HWND WrapHostWindow(SDL_Window* window);
VEXA_API void ReleaseHostWindow(HWND window);
