// Stretching and rotation beside their peers, 32-bit pixels, on one 256 x 256 source:
// - nearest-pixel scaling up to 512 x 384 and down to 128 x 96 (SDL_SoftStretch, pixman with
//   the NEAREST filter);
// - smooth scaling to the same sizes (SDL_SoftStretchLinear, pixman BILINEAR, SDL2_gfx
//   zoomSurface with smoothing; all three interpolate 2 x 2 pixels, so they are equal work
//   when enlarging and stay for reference when reducing);
// - smooth reduction by 2, 3 and 8 (to 128 x 128, 85 x 85, 32 x 32), where our filter is an
//   antialiased convolution whose support widens with the factor: the equal-quality peers are
//   pixman's separable convolution with a tent of the same width and Pillow's antialiased
//   bilinear resize (bench/pillow_resize.py); SDL's linear stretch and pixman's bilinear
//   filter read 2 x 2 taps and alias, and stay for reference;
// - rotation by 30 degrees, nearest and bilinear (SDL2_gfx rotozoomSurface, pixman with a
//   rotation transform).
// Rates count destination pixels; every peer writes a destination of the same size (SDL2_gfx
// makes its own, of the same bounding box within a pixel, and frees it).
#include <SDL2/SDL.h>
#include <SDL2/SDL2_rotozoom.h>
#include <pixman.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <vexa/blit.h>
#include <vexa/library.h>
#include <vexa/rotation.h>
#include <vexa/surface_object.h>

#include "bench_pairs.h"
#include "render/stretch_flags.h"

namespace {

constexpr int kSourceSize = 256;
constexpr float kAngle = 30.0f;

std::unique_ptr<cSurfaceObject> Make(int width, int height) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
  auto s = std::make_unique<cSurfaceObject>();
  s->Create(width, height, prototype);
  return s;
}

// One surface of ours with an SDL surface and a pixman image over the same pixels.
struct Canvas {
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  std::unique_ptr<cSurfaceObject> surface;
  SDL_Surface* sdl = nullptr;
  pixman_image_t* pixman = nullptr;

  Canvas(int width, int height) : surface(Make(width, height)) {
    cSurfaceImplementation* s = surface->implementation;
    sdl = SDL_CreateRGBSurfaceWithFormatFrom(s->firstRow, width, height, 32, s->pitch,
                                             SDL_PIXELFORMAT_ARGB8888);
    pixman = pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height,
                                      reinterpret_cast<uint32_t*>(s->firstRow), s->pitch);
  }
  ~Canvas() {
    SDL_FreeSurface(sdl);
    pixman_image_unref(pixman);
  }
  cSurfaceImplementation* impl() const { return surface->implementation; }
  int width() const { return surface->GetWidth(); }
  int height() const { return surface->GetHeight(); }
};

// A photograph-like source: smooth gradients with some noise, fully opaque.
Canvas& Source() {
  static Canvas canvas(kSourceSize, kSourceSize);
  static const bool painted = [] {
    std::mt19937 random(1);
    for (int y = 0; y < kSourceSize; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(canvas.impl()->Row(y));
      for (int x = 0; x < kSourceSize; ++x) {
        const std::uint32_t r = (x + (random() & 15)) & 0xFF, g = (y + (random() & 15)) & 0xFF;
        const std::uint32_t b = ((x ^ y) + (random() & 15)) & 0xFF;
        row[x] = 0xFF000000u | r << 16 | g << 8 | b;
      }
    }
    return true;
  }();
  (void)painted;
  return canvas;
}

Canvas& Target(int width, int height) {
  static std::unique_ptr<Canvas> canvases[8];
  for (auto& c : canvases) {
    if (c && c->width() == width && c->height() == height) return *c;
    if (!c) {
      c = std::make_unique<Canvas>(width, height);
      return *c;
    }
  }
  return *canvases[0];
}

void PixmanScale(Canvas& to, pixman_filter_t filter) {
  Canvas& from = Source();
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(double(kSourceSize) / to.width()),
                              pixman_double_to_fixed(double(kSourceSize) / to.height()));
  pixman_image_set_transform(from.pixman, &t);
  pixman_image_set_filter(from.pixman, filter, nullptr, 0);
  pixman_image_composite32(PIXMAN_OP_SRC, from.pixman, nullptr, to.pixman, 0, 0, 0, 0, 0, 0,
                           to.width(), to.height());
}

// Destination pixel centres turned back into the source about both centres.
void PixmanRotate(Canvas& to, pixman_filter_t filter) {
  Canvas& from = Source();
  pixman_f_transform_t f;
  pixman_f_transform_init_translate(&f, -to.width() / 2.0, -to.height() / 2.0);
  const double radians = kAngle * M_PI / 180.0;
  pixman_f_transform_rotate(&f, nullptr, std::cos(radians), -std::sin(radians));
  pixman_f_transform_translate(&f, nullptr, kSourceSize / 2.0, kSourceSize / 2.0);
  pixman_transform_t t;
  pixman_transform_from_pixman_f_transform(&t, &f);
  pixman_image_set_transform(from.pixman, &t);
  pixman_image_set_filter(from.pixman, filter, nullptr, 0);
  pixman_image_composite32(PIXMAN_OP_SRC, from.pixman, nullptr, to.pixman, 0, 0, 0, 0, 0, 0,
                           to.width(), to.height());
}

void SdlGfxResult(SDL_Surface* made) {
  vexabench::Keep(made);
  SDL_FreeSurface(made);
}

// pixman's separable convolution: a tent (linear sample kernel) as wide as the reduction,
// over the source pixels taken as points.
struct PixmanConvolution {
  std::shared_ptr<pixman_fixed_t> params;
  int count = 0;
  PixmanConvolution(int width, int height) {
    pixman_fixed_t* p = pixman_filter_create_separable_convolution(
        &count, pixman_double_to_fixed(double(kSourceSize) / width),
        pixman_double_to_fixed(double(kSourceSize) / height), PIXMAN_KERNEL_IMPULSE,
        PIXMAN_KERNEL_IMPULSE, PIXMAN_KERNEL_LINEAR, PIXMAN_KERNEL_LINEAR, 1, 1);
    params.reset(p, [](pixman_fixed_t* q) { std::free(q); });
  }
  void Run(Canvas& to) const {
    Canvas& from = Source();
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(double(kSourceSize) / to.width()),
                                pixman_double_to_fixed(double(kSourceSize) / to.height()));
    pixman_image_set_transform(from.pixman, &t);
    pixman_image_set_filter(from.pixman, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params.get(), count);
    pixman_image_composite32(PIXMAN_OP_SRC, from.pixman, nullptr, to.pixman, 0, 0, 0, 0, 0, 0,
                             to.width(), to.height());
  }
};

// A peer that interpolates between the 2 x 2 nearest pixels. Enlarging, that is the same work
// as ours; reducing, ours filters every source pixel under the target pixel, so the line is
// shown for reference only.
vexabench::Impl Bilinear(bool reduces, std::string name, std::function<void()> run) {
  if (reduces) return vexabench::Reference(std::move(name), std::move(run));
  return vexabench::Impl{std::move(name), std::move(run)};
}

void RegisterScale(int width, int height) {
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  const double pixels = double(width) * height;
  const bool reduces = width < kSourceSize || height < kSourceSize;
  vexabench::RegisterCase(
      "stretch_nearest_256_to_" + size, "Mpix/s", pixels,
      {{"vexa",
        [=] {
          Source().impl()->StretchBlit(Target(width, height).impl(), 0, 0, width, height, 0, 0,
                                       kSourceSize, kSourceSize, kModeOpaque, 0, 0, 0);
        }},
       {"SDL_SoftStretch",
        [=] {
          Canvas& to = Target(width, height);
          SDL_SoftStretch(Source().sdl, nullptr, to.sdl, nullptr);
        }},
       {"pixman_nearest", [=] { PixmanScale(Target(width, height), PIXMAN_FILTER_NEAREST); }}});
  std::vector<vexabench::Impl> smooth{
      {"vexa",
       [=] {
         Source().impl()->StretchBlit(Target(width, height).impl(), 0, 0, width, height, 0, 0,
                                      kSourceSize, kSourceSize, kModeOpaque, 0, 0,
                                      kStretchResample);
       }},
      Bilinear(reduces, "SDL_SoftStretchLinear",
               [=] {
                 Canvas& to = Target(width, height);
                 SDL_SoftStretchLinear(Source().sdl, nullptr, to.sdl, nullptr);
               }),
      Bilinear(reduces, "pixman_bilinear",
               [=] { PixmanScale(Target(width, height), PIXMAN_FILTER_BILINEAR); }),
      Bilinear(reduces, "SDL2_gfx_zoom", [=] {
        SdlGfxResult(zoomSurface(Source().sdl, double(width) / kSourceSize,
                                 double(height) / kSourceSize, SMOOTHING_ON));
      })};
  if (reduces) {
    const PixmanConvolution convolution(width, height);
    smooth.push_back({"pixman_convolution", [=] { convolution.Run(Target(width, height)); }});
  }
  vexabench::RegisterCase("stretch_smooth_256_to_" + size, "Mpix/s", pixels, smooth);
}

void RegisterReduction(int size) {
  const std::string name = "stretch_reduce_256_to_" + std::to_string(size);
  const PixmanConvolution convolution(size, size);
  vexabench::RegisterCase(
      name, "Mpix/s", double(size) * size,
      {{"vexa",
        [=] {
          Source().impl()->StretchBlit(Target(size, size).impl(), 0, 0, size, size, 0, 0,
                                       kSourceSize, kSourceSize, kModeOpaque, 0, 0,
                                       kStretchResample);
        }},
       {"pixman_convolution", [=] { convolution.Run(Target(size, size)); }},
       Bilinear(
           true, "SDL_SoftStretchLinear",
           [=] { SDL_SoftStretchLinear(Source().sdl, nullptr, Target(size, size).sdl, nullptr); }),
       Bilinear(true, "pixman_bilinear",
                [=] { PixmanScale(Target(size, size), PIXMAN_FILTER_BILINEAR); })});
}

void RegisterRotation(bool bilinear) {
  RECT box{0, 0, kSourceSize, kSourceSize};
  GetRotatedRect(&box, nullptr, nullptr, kAngle);
  const int width = box.right, height = box.bottom;
  vexabench::RegisterCase(
      std::string("rotate30_") + (bilinear ? "bilinear" : "nearest"), "Mpix/s",
      double(width) * height,
      {{"vexa",
        [=] { Source().impl()->Rotate(Target(width, height).impl(), kAngle, bilinear, 0, 0); }},
       {"SDL2_gfx_rotozoom",
        [=] {
          SdlGfxResult(
              rotozoomSurface(Source().sdl, kAngle, 1.0, bilinear ? SMOOTHING_ON : SMOOTHING_OFF));
        }},
       {"pixman", [=] {
          PixmanRotate(Target(width, height),
                       bilinear ? PIXMAN_FILTER_BILINEAR : PIXMAN_FILTER_NEAREST);
        }}});
}

const vexabench::Registrar kRegistrar([] {
  if (!vexabench::KernelsAvailable()) return;
  RegisterScale(512, 384);
  RegisterScale(128, 96);
  for (int size : {128, 85, 32}) RegisterReduction(size);
  RegisterRotation(false);
  RegisterRotation(true);
});

}  // namespace
