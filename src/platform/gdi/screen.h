// The screen as the library sees it at load: its depth, whether it has a system palette, and
// the system colours of the desktop scheme.
#pragma once

#include <cstdint>

namespace plat {

// Bits per pixel of the screen: 32 for a headless process (no display); with a display, the
// depth of its desktop mode (24-bit colour stored in 32-bit pixels counts as 32).
int ScreenBitsPerPixel();

// The desktop's size and refresh rate (0 when unknown); false for a headless process.
bool ScreenDesktopSize(int* width, int* height, int* refresh);

// True when the screen shows palette indexes (never so on the displays we drive).
bool ScreenHasSystemPalette();

// A system colour of the classic desktop scheme (0x00BBGGRR); 0 for an unknown index.
std::uint32_t SystemColor(int index);

}  // namespace plat
