// A present seen by a real X server: under xvfb-run with SDL's x11 driver the window's pixels
// are read back from the server (XGetImage), so what reaches the screen is checked, not only
// the framebuffer. Runs as the `window_x11` test; skipped in the headless test run.
#include <cstdlib>
#include <cstring>

// gtest first: the X headers define macros (None, Bool, Status) that clash with it.
#include "window/window_test_support.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using namespace window_test;

bool OnX11() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  return std::getenv("VEXA_X11_TEST") && driver && std::strcmp(driver, "x11") == 0;
}

TEST_F(WindowTest, X11ServerShowsThePresentedRectangles) {
  if (!OnX11()) GTEST_SKIP() << "runs under xvfb-run (test window_x11)";
  // The server may still be starting: wait for it (up to 10 s).
  bool up = false;
  for (int i = 0; i < 100 && !up; ++i) {
    up = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!up) SDL_Delay(100);
  }
  ASSERT_TRUE(up) << SDL_GetError();
  GameWindowRecord r = Record(-64, -48);
  r.style |= plat::WS_VISIBLE;
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  Surface buffer = MakeSurface(64, 48);
  buffer->FillColor(0x0000FF);  // red
  ASSERT_EQ(SetBackBuffer(w, buffer.get()), 1);
  // Let the server map the window, then show everything once.
  for (int i = 0; i < 50; ++i) {
    plat::PumpMessages();
    SDL_Delay(10);
  }
  ASSERT_EQ(CopyToScreen(w), 1);
  // Only a dirty rectangle of a new colour goes out next.
  buffer->FillColor(0x00FF00);  // green
  const RECT dirty{8, 4, 24, 12};
  AddDirtyRect(w, &dirty);
  ASSERT_EQ(PresentWindow(w), 1);

  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  ASSERT_TRUE(SDL_GetWindowWMInfo(plat::GetTopLevel(w->window)->sdl, &info));
  ASSERT_EQ(info.subsystem, SDL_SYSWM_X11);
  Display* display = info.info.x11.display;
  XSync(display, False);
  XImage* image = XGetImage(display, info.info.x11.window, 0, 0, 64, 48, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  int wrong = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y) & 0xFFFFFF;
      const bool inside = x >= 8 && x < 24 && y >= 4 && y < 12;
      wrong += pixel != (inside ? 0x00FF00ul : 0xFF0000ul);
    }
  }
  XDestroyImage(image);
  EXPECT_EQ(wrong, 0);
  DestroyGameWindow(w);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
