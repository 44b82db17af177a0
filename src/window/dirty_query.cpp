// Reading the dirty list from outside: hosts measure what a frame will present.
#include <algorithm>

#include <vexa/game_window.h>

#include "window/game_window.h"

int GetDirtyRects(GameWindow* window, RECT* out, int capacity) {
  if (!IsValidWindowObject(window) || !window->dirtyRects) return 0;
  const DirtyRectList& list = *window->dirtyRects;
  const int count = std::clamp(list.count, 0, kDirtyRectCapacity);
  if (out) std::copy_n(list.rects, std::clamp(capacity, 0, count), out);
  return count;
}
