// What hosts use to drive game windows from their own loop and to adopt their own windows.
#include <vexa/game_window.h>

#include "platform/window/messages.h"
#include "platform/window/window.h"

int PumpGameMessages(int filterCode, int* quit) {
  BOOL stop = 0;
  const int delivered = plat::PumpMessages(filterCode < 0 ? -1 : filterCode, &stop);
  if (quit) *quit = stop;
  return delivered;
}

HWND WrapHostWindow(SDL_Window* window) { return plat::WrapSDLWindow(window); }

void ReleaseHostWindow(HWND window) {
  if (window && window->foreign) plat::DestroyWindow(window);
}
