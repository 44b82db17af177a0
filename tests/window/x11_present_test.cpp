// A present seen by a real X server: under xvfb-run with SDL's x11 driver the window's pixels
// are read back from the server (XGetImage), so what reaches the screen is checked, not only
// the framebuffer. Runs as the `window_x11` test; skipped in the headless test run.
#include <cstdlib>
#include <cstring>
#include <vector>

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

// Starts SDL's video on the server (it may still be starting: up to 10 s).
bool VideoUp() {
  for (int i = 0; i < 100; ++i) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
    SDL_Delay(100);
  }
  return false;
}

// Lets the server map the window.
void Settle() {
  for (int i = 0; i < 50; ++i) {
    plat::PumpMessages();
    SDL_Delay(10);
  }
}

// The window's pixels as the X server holds them (0xRRGGBB), row by row.
std::vector<unsigned long> ServerPixels(HWND window, int width, int height) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  std::vector<unsigned long> pixels;
  if (!SDL_GetWindowWMInfo(plat::GetTopLevel(window)->sdl, &info) ||
      info.subsystem != SDL_SYSWM_X11)
    return pixels;
  Display* display = info.info.x11.display;
  XSync(display, False);
  XImage* image = XGetImage(display, info.info.x11.window, 0, 0, width, height, AllPlanes, ZPixmap);
  if (!image) return pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
  XDestroyImage(image);
  return pixels;
}

TEST_F(WindowTest, X11ServerShowsThePresentedRectangles) {
  if (!OnX11()) GTEST_SKIP() << "runs under xvfb-run (test window_x11)";
  ASSERT_TRUE(VideoUp()) << SDL_GetError();
  GameWindowRecord r = Record(-64, -48);
  r.style |= plat::WS_VISIBLE;
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  Surface buffer = MakeSurface(64, 48);
  buffer->FillColor(0x0000FF);  // red
  ASSERT_EQ(SetBackBuffer(w, buffer.get()), 1);
  // Show everything once.
  Settle();
  ASSERT_EQ(CopyToScreen(w), 1);
  // Only a dirty rectangle of a new colour goes out next.
  buffer->FillColor(0x00FF00);  // green
  const RECT dirty{8, 4, 24, 12};
  AddDirtyRect(w, &dirty);
  ASSERT_EQ(PresentWindow(w), 1);

  const std::vector<unsigned long> pixels = ServerPixels(w->window, 64, 48);
  ASSERT_EQ(pixels.size(), 64u * 48);
  int wrong = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) {
      const bool inside = x >= 8 && x < 24 && y >= 4 && y < 12;
      wrong += pixels[y * 64 + x] != (inside ? 0x00FF00ul : 0xFF0000ul);
    }
  }
  EXPECT_EQ(wrong, 0);
  DestroyGameWindow(w);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST_F(WindowTest, X11ServerShowsOverlappingChildrenInZOrder) {
  if (!OnX11()) GTEST_SKIP() << "runs under xvfb-run (test window_x11)";
  ASSERT_TRUE(VideoUp()) << SDL_GetError();
  GameWindowRecord pr = Record(-96, -64, 0);
  pr.style |= plat::WS_VISIBLE;
  GameWindow* parent = CreateGameWindow(bank, &pr);
  ASSERT_TRUE(IsValidWindowObject(parent));
  // low at (8, 8) 48 x 32 in red, high (made later, on top) at (32, 24) 48 x 32 in green.
  Surface lowBuffer = MakeSurface(48, 32), highBuffer = MakeSurface(48, 32);
  lowBuffer->FillColor(0x0000FF);
  highBuffer->FillColor(0x00FF00);
  GameWindow* children[2] = {};
  const int places[2][2] = {{8, 8}, {32, 24}};
  cSurfaceObject* buffers[2] = {lowBuffer.get(), highBuffer.get()};
  for (int i = 0; i < 2; ++i) {
    GameWindowRecord r = Record(48, 32, 1);
    r.style = plat::WS_CHILD | plat::WS_VISIBLE;
    r.parent = parent->window;
    r.x = places[i][0];
    r.y = places[i][1];
    children[i] = CreateGameWindow(bank, &r);
    ASSERT_TRUE(IsValidWindowObject(children[i]));
    ASSERT_EQ(SetBackBuffer(children[i], buffers[i]), 1);
  }
  Settle();
  // The lower one presents last: the overlap must still show the upper one.
  ASSERT_EQ(CopyToScreen(children[1]), 1);
  ASSERT_EQ(CopyToScreen(children[0]), 1);

  const std::vector<unsigned long> pixels = ServerPixels(parent->window, 96, 64);
  ASSERT_EQ(pixels.size(), 96u * 64);
  int wrong = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 96; ++x) {
      const bool inHigh = x >= 32 && x < 80 && y >= 24 && y < 56;
      const bool inLow = x >= 8 && x < 56 && y >= 8 && y < 40;
      if (inHigh)
        wrong += pixels[y * 96 + x] != 0x00FF00ul;
      else if (inLow)
        wrong += pixels[y * 96 + x] != 0xFF0000ul;
    }
  }
  EXPECT_EQ(wrong, 0);
  DestroyGameWindow(parent);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST_F(WindowTest, X11DriverWindowsAreMadeForOpenGL) {
  if (!OnX11()) GTEST_SKIP() << "runs under xvfb-run (test window_x11)";
  ASSERT_TRUE(VideoUp()) << SDL_GetError();
  GameWindowRecord r = Record(-64, -48, 1, kGameWindowDriverDisplay);
  r.style |= plat::WS_VISIBLE;
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  SDL_Window* sdl = plat::GetTopLevel(w->window)->sdl;
  EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL);
  Settle();
  // A context can be made on it and what it shows reaches the server, as a display driver
  // presents: the kept window context the library took at creation does not get in the way.
  SDL_GLContext gl = SDL_GL_CreateContext(sdl);
  ASSERT_NE(gl, nullptr) << SDL_GetError();
  using ClearColor = void (*)(float, float, float, float);
  using Clear = void (*)(unsigned);
  auto clearColor = reinterpret_cast<ClearColor>(SDL_GL_GetProcAddress("glClearColor"));
  auto clear = reinterpret_cast<Clear>(SDL_GL_GetProcAddress("glClear"));
  ASSERT_TRUE(clearColor && clear);
  clearColor(0.0f, 0.0f, 1.0f, 1.0f);
  clear(0x00004000);  // the colour buffer
  SDL_GL_SwapWindow(sdl);
  const std::vector<unsigned long> pixels = ServerPixels(w->window, 64, 48);
  ASSERT_EQ(pixels.size(), 64u * 48);
  int wrong = 0;
  for (unsigned long pixel : pixels) wrong += pixel != 0x0000FFul;
  EXPECT_EQ(wrong, 0);
  SDL_GL_DeleteContext(gl);
  DestroyGameWindow(w);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
