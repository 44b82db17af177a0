// The X11 window under an owner window, so that a dialog can stay in front of it.
#include <SDL.h>
#include <SDL_syswm.h>

#include "platform/dialog/dialog.h"
#include "platform/window/window.h"

namespace plat {

unsigned long OwnerX11Window(HWND owner) {
  if (!owner || !IsWindow(owner) || !owner->sdl) return 0;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(owner->sdl, &info)) return 0;
#if defined(SDL_VIDEO_DRIVER_X11)
  if (info.subsystem == SDL_SYSWM_X11) return static_cast<unsigned long>(info.info.x11.window);
#endif
  return 0;
}

}  // namespace plat
