// What hosts use to drive game windows from their own loop and to adopt their own windows,
// and where display drivers show the windows they present.
#include <algorithm>

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

int GetWindowPresentArea(HWND window, RECT* client, RECT* visible, int capacity) {
  RECT inTop{};
  if (!plat::ClientRectInTopLevel(window, &inTop)) return -1;
  if (client) *client = inTop;
  const std::vector<RECT> region = plat::VisibleRegion(window);
  const int count = static_cast<int>(region.size());
  if (visible)
    for (int i = 0; i < std::min(count, capacity); ++i)
      visible[i] = RECT{region[i].left + inTop.left, region[i].top + inTop.top,
                        region[i].right + inTop.left, region[i].bottom + inTop.top};
  return count;
}
