// Services the library offers display drivers.
#include <vexa/display_driver.h>

#include "platform/window/window.h"

SDL_Window* GetDriverSDLWindow(HWND window) {
  if (!window || !plat::IsWindow(window)) return nullptr;
  HWND top = plat::GetTopLevel(window);
  return top ? top->sdl : nullptr;
}
