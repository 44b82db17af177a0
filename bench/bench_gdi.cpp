// Device-surface copies beside their peers: a 640 x 480 DIB-section surface (32, 16 and 8
// bits) copied onto a window's surface (SDL's dummy driver when no display is set), and
// stretched to 1280 x 960 on a second window.
// Peers: SDL_BlitSurface of an SDL surface of the same format onto the window surface and a
// plain memcpy of the rows (same format only); for the stretch SDL_BlitScaled and pixman with
// the NEAREST filter. Rates count destination pixels.
#include <SDL2/SDL.h>
#include <pixman.h>

#include <cstring>
#include <memory>
#include <random>

#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "bench_pairs.h"
#include "platform/window/window.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

struct WindowTarget {
  HWND window = nullptr;
  cSurfaceObject surface;
  SDL_Surface* framebuffer = nullptr;
  WindowTarget(int w, int h) {
    window = plat::CreateWindow("bench", 0, 0, 0, w, h);
    if (!window) return;
    surface.CreateForWindow(window, 0);
    framebuffer = plat::WindowFramebuffer(window);
  }
  bool Ready() const { return framebuffer && surface.IsValid(); }
};

WindowTarget& Window640() {
  static WindowTarget target(kWidth, kHeight);
  return target;
}
WindowTarget& Window1280() {
  static WindowTarget target(2 * kWidth, 2 * kHeight);
  return target;
}

struct Source {
  std::unique_ptr<cSurfaceObject> surface;
  SDL_Surface* sdl = nullptr;
  explicit Source(int depth) {
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, depth, kTypeDIBSection, kDriverNone);
    surface = std::make_unique<cSurfaceObject>();
    surface->Create(kWidth, kHeight, prototype);
    cSurfaceImplementation* s = surface->implementation;
    std::mt19937 random(depth);
    for (int y = 0; y < kHeight; ++y)
      for (int i = 0; i < s->stride; ++i) s->Row(y)[i] = static_cast<std::uint8_t>(random());
    const Uint32 format = depth == 32   ? SDL_PIXELFORMAT_RGB888
                          : depth == 16 ? SDL_PIXELFORMAT_RGB565
                                        : SDL_PIXELFORMAT_INDEX8;
    // SDL's own surface with the same pixels (SDL takes no bottom-up rows).
    sdl = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, depth, format);
    if (!sdl) return;
    for (int y = 0; y < kHeight; ++y)
      std::memcpy(static_cast<Uint8*>(sdl->pixels) + y * sdl->pitch, s->Row(y),
                  static_cast<std::size_t>(kWidth * s->bytesPerPixel));
    if (depth == 8) {
      SDL_Color colors[256];
      for (int i = 0; i < 256; ++i)
        colors[i] = SDL_Color{Uint8(i), Uint8(255 - i), Uint8(i * 7), 255};
      SDL_SetPaletteColors(sdl->format->palette, colors, 0, 256);
    }
  }
};

Source& SourceOf(int depth) {
  static Source s32(32), s16(16), s8(8);
  return depth == 32 ? s32 : depth == 16 ? s16 : s8;
}

void RegisterBlit(int depth) {
  std::vector<vexabench::Impl> impls = {
      {"vexa",
       [=] {
         SourceOf(depth).surface->implementation->Blit(Window640().surface.implementation, 0, 0, 0,
                                                       0, kWidth, kHeight, 0, 0, 0, 0);
       }},
      {"SDL_BlitSurface",
       [=] { SDL_BlitSurface(SourceOf(depth).sdl, nullptr, Window640().framebuffer, nullptr); }}};
  if (depth == 32) {
    impls.push_back(vexabench::Bare("memcpy", [] {
      cSurfaceImplementation* s = SourceOf(32).surface->implementation;
      SDL_Surface* f = Window640().framebuffer;
      for (int y = 0; y < kHeight; ++y)
        std::memcpy(static_cast<Uint8*>(f->pixels) + y * f->pitch, s->Row(y), kWidth * 4);
    }));
  }
  vexabench::RegisterCase("gdi_blit_640x480_from" + std::to_string(depth), "Mpix/s",
                          double(kWidth) * kHeight, impls);
}

void RegisterStretch() {
  static pixman_image_t* from = nullptr;
  static pixman_image_t* to = nullptr;
  cSurfaceImplementation* s = SourceOf(32).surface->implementation;
  SDL_Surface* f = Window1280().framebuffer;
  from = pixman_image_create_bits(PIXMAN_x8r8g8b8, kWidth, kHeight,
                                  reinterpret_cast<uint32_t*>(s->firstRow), s->pitch);
  to = pixman_image_create_bits(PIXMAN_x8r8g8b8, f->w, f->h, static_cast<uint32_t*>(f->pixels),
                                f->pitch);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
  pixman_image_set_transform(from, &t);
  pixman_image_set_filter(from, PIXMAN_FILTER_NEAREST, nullptr, 0);
  vexabench::RegisterCase(
      "gdi_stretch_640x480_to_1280x960", "Mpix/s", 4.0 * kWidth * kHeight,
      {{"vexa",
        [] {
          SourceOf(32).surface->implementation->StretchBlit(Window1280().surface.implementation, 0,
                                                            0, 2 * kWidth, 2 * kHeight, 0, 0,
                                                            kWidth, kHeight, 0, 0, 0, 0);
        }},
       {"SDL_BlitScaled",
        [] { SDL_BlitScaled(SourceOf(32).sdl, nullptr, Window1280().framebuffer, nullptr); }},
       {"pixman_nearest", [] {
          pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, 2 * kWidth,
                                   2 * kHeight);
        }}});
}

const vexabench::Registrar kRegistrar([] {
  if (!vexabench::KernelsAvailable() || !Window640().Ready() || !Window1280().Ready()) return;
  if (!SourceOf(32).sdl || !SourceOf(16).sdl || !SourceOf(8).sdl) return;
  for (int depth : {32, 16, 8}) RegisterBlit(depth);
  RegisterStretch();
});

}  // namespace
