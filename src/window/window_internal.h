// What the window helpers share between their files.
#pragma once

#include <cstdint>

#include <vexa/wintypes.h>

#include "window/game_window.h"

class cSurfaceObject;

namespace vexa::window {

// The window object bound to a platform window (first window word), else the one of the
// calling thread's contexts that holds it.
GameWindow* BoundObject(HWND window);

// Fetches the kept device context again after the window's size changed.
void RefreshKeptDC(GameWindow* window);

// Copies `rect` (client coordinates) of the back buffer to the visible parts of the window's
// client area, or stretches the whole buffer when the window stretches and the sizes differ;
// returns the number of rectangles pushed to the screen.
int RedrawFromBackBuffer(GameWindow* window, const RECT& rect);

// When the back buffer is a surface of driver 7, tells the driver (SEFunction code 0) the
// rectangle of the top-level window the buffer is shown in: the client area's place, with the
// buffer's size, or the client area's size when the window stretches a buffer of another size.
// Sent only when it differs from what the driver was last told.
void ShowDisplayArea(GameWindow* window);

// The platform clock and sleep (the manual clock in tests).
std::uint32_t NowMs();
void SleepMs(std::uint32_t ms);

// Makes (or drops, when it cannot be made) the context's vertical-blank source after state
// bit 0x8 was set; clears the bit when there is none.
void PrepareBlankWait(GameWindow* window);
// The wait before a present; records the present time.
void WaitBeforePresent(GameWindow* window);
// Releases the context's display object.
void ReleaseDisplayObject(ImageBank* context);

// Selects a palette into the window's context (remembering the previous one the first time).
void SelectWindowPalette(GameWindow* window, HPALETTE palette);
// Puts the window's previous palette back into its contexts.
void RestoreWindowPalette(GameWindow* window);

}  // namespace vexa::window
