// Presenting a game window beside SDL doing the same work: a 640 x 480 32-bit back buffer
// presented to a window (SDL's dummy driver when no display is set) as 1 rectangle (all of
// it), 64 rectangles (an 8 x 8 grid of 80 x 60 tiles) and 513 rectangles of 16 x 16, and the
// stretched present of a 320 x 240 buffer to a 640 x 480 client.
// Peers: SDL_BlitSurface of each rectangle (SDL_BlitScaled for the stretch) from an SDL
// surface of the same pixels into the window surface, then SDL_UpdateWindowSurfaceRects with
// the same rectangles. Rates count presented pixels.
#include <SDL2/SDL.h>

#include <cstring>
#include <random>
#include <vector>

#include <vexa/game_window.h>
#include <vexa/image_bank.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "bench_pairs.h"
#include "platform/window/window.h"
#include "window/game_window.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

struct PresentTarget {
  ImageBank* bank = nullptr;
  GameWindow* window = nullptr;
  cSurfaceObject* buffer = nullptr;
  SDL_Surface* sdl = nullptr;  // the same pixels for the peers
  SDL_Surface* framebuffer = nullptr;

  PresentTarget(int bufferW, int bufferH, std::uint32_t flags) {
    bank = CreateImageBank(0, nullptr);
    if (!bank) return;
    GameWindowRecord r{};
    r.size = kGameWindowRecordFixedSize;
    r.width = -kWidth;
    r.height = -kHeight;
    r.maxWidth = -kWidth;
    r.maxHeight = -kHeight;
    r.kind = 1;
    r.flags = flags;
    window = CreateGameWindow(bank, &r);
    if (!IsValidWindowObject(window)) return;
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
    buffer = NewSurfaceObject();
    if (!buffer || !buffer->Create(bufferW, bufferH, prototype)) return;
    cSurfaceImplementation* s = buffer->GetImplementation();
    std::mt19937 random(7);
    for (int y = 0; y < bufferH; ++y)
      for (int i = 0; i < s->stride; ++i) s->Row(y)[i] = static_cast<std::uint8_t>(random());
    sdl = SDL_CreateRGBSurfaceWithFormat(0, bufferW, bufferH, 32, SDL_PIXELFORMAT_RGB888);
    if (!sdl) return;
    for (int y = 0; y < bufferH; ++y)
      std::memcpy(static_cast<Uint8*>(sdl->pixels) + y * sdl->pitch, s->Row(y),
                  static_cast<std::size_t>(bufferW) * 4);
    SetBackBuffer(window, buffer);
    framebuffer = plat::WindowFramebuffer(window->window);
  }
  bool Ready() const { return framebuffer && sdl && buffer && IsValidWindowObject(window); }
};

PresentTarget& Plain() {
  static PresentTarget target(kWidth, kHeight, 0);
  return target;
}
PresentTarget& Stretched() {
  static PresentTarget target(kWidth / 2, kHeight / 2, kGameWindowStretch);
  return target;
}

std::vector<RECT> Tiles(int count) {
  std::vector<RECT> rects;
  if (count == 1) return {RECT{0, 0, kWidth, kHeight}};
  if (count == 64) {
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) rects.push_back(RECT{x * 80, y * 60, x * 80 + 80, y * 60 + 60});
    return rects;
  }
  // 16 x 16 tiles on a 20-pixel grid, row by row.
  for (int i = 0; i < count; ++i) {
    const int x = (i % 32) * 20, y = (i / 32) * 20;
    rects.push_back(RECT{x, y, x + 16, y + 16});
  }
  return rects;
}

void RegisterRects(int count) {
  const std::vector<RECT> rects = Tiles(count);
  double pixels = 0;
  for (const RECT& r : rects) pixels += double(r.right - r.left) * (r.bottom - r.top);
  std::vector<SDL_Rect> sdlRects;
  for (const RECT& r : rects)
    sdlRects.push_back(SDL_Rect{r.left, r.top, r.right - r.left, r.bottom - r.top});
  vexabench::RegisterCase("present_640x480_" + std::to_string(count) + "_rects", "Mpix/s", pixels,
                          {{"vexa",
                            [rects] {
                              // The list as the drawing calls left it, then the present.
                              DirtyRectList& list = *Plain().window->dirtyRects;
                              std::memcpy(list.rects, rects.data(), rects.size() * sizeof(RECT));
                              list.count = static_cast<int>(rects.size());
                              PresentWindow(Plain().window);
                            }},
                           {"SDL_BlitSurface", [sdlRects] {
                              SDL_Surface* f = SDL_GetWindowSurface(Plain().window->window->sdl);
                              for (SDL_Rect r : sdlRects) {
                                SDL_Rect to = r;
                                SDL_BlitSurface(Plain().sdl, &r, f, &to);
                              }
                              SDL_UpdateWindowSurfaceRects(Plain().window->window->sdl,
                                                           sdlRects.data(),
                                                           static_cast<int>(sdlRects.size()));
                            }}});
}

void RegisterStretch() {
  vexabench::RegisterCase("present_stretch_320x240_to_640x480", "Mpix/s", double(kWidth) * kHeight,
                          {{"vexa", [] { PresentWindow(Stretched().window); }},
                           {"SDL_BlitScaled", [] {
                              SDL_Window* w = Stretched().window->window->sdl;
                              SDL_Surface* f = SDL_GetWindowSurface(w);
                              SDL_BlitScaled(Stretched().sdl, nullptr, f, nullptr);
                              const SDL_Rect all{0, 0, kWidth, kHeight};
                              SDL_UpdateWindowSurfaceRects(w, &all, 1);
                            }}});
}

const vexabench::Registrar kRegistrar([] {
  if (!vexabench::KernelsAvailable() || !Plain().Ready() || !Stretched().Ready()) return;
  for (int count : {1, 64, 513}) RegisterRects(count);
  RegisterStretch();
});

}  // namespace
