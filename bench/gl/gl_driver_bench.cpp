// Sprite frames on the OpenGL driver beside SDL_Renderer (its OpenGL back-end, used directly)
// and beside the software renderer.
//
// A frame is 1280 x 720: clear, then N 32 x 32 sprites with an alpha plane, plain, turned and
// scaled (1.5 x, smooth), or additive (the sum weighed by the plane), then finished: the driver's
// present of a window-less display surface waits for the GPU (glFinish), SDL_Renderer's frame ends
// with SDL_RenderFlush and glFinish on its context. Both draw into an off-screen target of the
// frame's size from the same sprite pixels with the same blending. The software frame draws the
// same sprites with Blit into a memory surface; its turned sprites are copies made once beforehand,
// as the redraw cycle keeps them, so it measures the drawing step of a frame.
//
// Prints the GL device, then one line per case and peer:
//   ratio <case> sdl_renderer <ours frames/s> <peer frames/s> <ours/peer>
//   reference <case> software <ours frames/s> <software frames/s> <ours/software>
// The software line is for orientation, not a race: on a machine without a GPU both run on
// the processor, and the driver's GPU is Mesa's llvmpipe.
// Each side runs in alternating slices (5 by default); the figures are the slices' medians.
// Then, for SDL_Renderer, the processor time a frame of both sides (all threads):
//   processor <case> sdl_renderer <ours ms> <peer ms> <peer/ours>
#include <dlfcn.h>

#include <GL/gl.h>
#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <vexa/blit.h>
#include <vexa/buffer_surface.h>
#include <vexa/display_driver.h>
#include <vexa/surface_implementation.h>

namespace {

constexpr int kWidth = 1280, kHeight = 720, kSprite = 32;

struct Placement {
  int x, y;
  int angle;  // degrees
};

std::vector<Placement> Placements(int count) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> x(-16, kWidth - 16), y(-16, kHeight - 16), a(0, 359);
  std::vector<Placement> out(static_cast<std::size_t>(count));
  for (Placement& p : out) p = {x(random), y(random), a(random)};
  return out;
}

// A disc with a soft edge: colour rings, alpha 255 inside, falling to 0 outside.
cSurfaceImplementation* MakeSprite() {
  auto* s = new cBufferSurface;
  s->InitFormat(32);
  s->Create(kSprite, kSprite);
  std::uint8_t* plane = s->CreateAlpha();
  for (int y = 0; y < kSprite; ++y)
    for (int x = 0; x < kSprite; ++x) {
      const double d = std::hypot(x - 15.5, y - 15.5);
      s->SetPixelColor(x, y, static_cast<COLORREF>(0x203040 + (static_cast<int>(d) * 0x0A0705)));
      plane[y * s->alphaPitch + x] = static_cast<std::uint8_t>(d < 12   ? 255
                                                               : d > 16 ? 0
                                                                        : (16 - d) * 255 / 4);
    }
  return s;
}

double ProcessorSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Frames per second of `frame`, run for about `seconds` after one warm-up frame, and the
// processor time a frame took (all threads of the process, the rasteriser's included).
struct Rate {
  double framesPerSecond, processorSeconds;
};
Rate FramesPerSecond(const std::function<void()>& frame, double seconds) {
  frame();
  const auto start = std::chrono::steady_clock::now();
  const double processor = ProcessorSeconds();
  int frames = 0;
  double elapsed = 0;
  do {
    frame();
    ++frames;
    elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  } while (elapsed < seconds);
  return {frames / elapsed, (ProcessorSeconds() - processor) / frames};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Ours and the peer measured in alternating slices, so that a change of the machine's load
// falls on both sides alike: the medians of the slices' rates and of their ratios, and of the
// processor time a frame (which other processes on the machine disturb less).
struct Comparison {
  double ours, peer, ratio;
  double oursProcessor, peerProcessor, processorRatio;
};
Comparison Compare(const std::function<void()>& ours, const std::function<void()>& peer,
                   double seconds, int rounds) {
  std::vector<double> a, b, r, pa, pb, pr;
  for (int i = 0; i < rounds; ++i) {
    const Rate x = FramesPerSecond(ours, seconds / rounds);
    const Rate y = peer ? FramesPerSecond(peer, seconds / rounds) : Rate{1, 1};
    a.push_back(x.framesPerSecond);
    b.push_back(y.framesPerSecond);
    r.push_back(x.framesPerSecond / y.framesPerSecond);
    pa.push_back(x.processorSeconds * 1e3);
    pb.push_back(y.processorSeconds * 1e3);
    pr.push_back(y.processorSeconds / x.processorSeconds);
  }
  return {Median(a), Median(b), Median(r), Median(pa), Median(pb), Median(pr)};
}

}  // namespace

int main(int argc, char** argv) {
  // Arguments: seconds per case and peer (default 1), slices (default 5), and "ours" to run
  // only the driver's frames (for a profiler).
  const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const bool oursOnly = argc > 3 && std::string(argv[3]) == "ours";
  const char* video = std::getenv("SDL_VIDEODRIVER");
  if (!video || std::string(video) == "dummy") setenv("SDL_VIDEODRIVER", "offscreen", 1);

  const std::string path = std::string(VEXA_PLUGIN_DIR) + "/vexad3d11.so";
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    std::fprintf(stderr, "gl bench: %s\n", dlerror());
    return 1;
  }
  auto initialize = reinterpret_cast<SEInitializeFn>(dlsym(module, kSEInitializeName));
  auto release = reinterpret_cast<SEFreeFn>(dlsym(module, kSEFreeName));
  auto prototype = reinterpret_cast<SEGetSIPrototypeFn>(dlsym(module, kSEGetSIPrototypeName));
  auto deviceName = reinterpret_cast<const char* (*)()>(dlsym(module, "SEGetDeviceName"));
  if (!initialize || !initialize()) {
    std::fprintf(stderr, "gl bench: no OpenGL 3.3 core context\n");
    return 1;
  }
  std::printf("GL device: %s\n", deviceName());

  cSurfaceImplementation* sprite = MakeSprite();
  cSurfaceImplementation* texture =
      prototype(kPrototypeStaticAlpha)->CreateCompatible(kSprite, kSprite);
  texture->CopyContentFrom(sprite);
  cSurfaceImplementation* display = prototype(kPrototypeDisplay)->CreateCompatible(kWidth, kHeight);

  // SDL_Renderer on its OpenGL back-end, drawing into a target texture.
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
  // Naming a back-end turns SDL_Renderer's command batching off unless it is asked for.
  SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
  SDL_Window* window =
      SDL_CreateWindow("peer", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  SDL_Renderer* renderer =
      window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED) : nullptr;
  if (!renderer) {
    std::fprintf(stderr, "gl bench: no SDL renderer: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Texture* target = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                          SDL_TEXTUREACCESS_TARGET, kWidth, kHeight);
  std::vector<std::uint32_t> argb(kSprite * kSprite);
  for (int y = 0; y < kSprite; ++y)
    for (int x = 0; x < kSprite; ++x) {
      std::uint32_t p = 0;
      std::memcpy(&p, sprite->Row(y) + x * 4, 4);
      argb[y * kSprite + x] =
          (p & 0xFFFFFF) | std::uint32_t{sprite->alphaFirstRow[y * sprite->alphaPitch + x]} << 24;
    }
  SDL_Texture* peerSprite = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                              SDL_TEXTUREACCESS_STATIC, kSprite, kSprite);
  SDL_UpdateTexture(peerSprite, nullptr, argb.data(), kSprite * 4);
  SDL_RendererInfo info{};
  SDL_GetRendererInfo(renderer, &info);
  std::printf("SDL_Renderer back-end: %s\n", info.name);

  // The software frame's surfaces.
  auto* frame = new cBufferSurface;
  frame->InitFormat(32);
  frame->Create(kWidth, kHeight);
  std::vector<cSurfaceImplementation*> turned(360, nullptr);

  for (int count : {1000, 10000}) {
    const std::vector<Placement> placements = Placements(count);
    // Plain, turned and additive sprites (the additive ink over the alpha plane; SDL_Renderer's
    // additive mode adds the source weighted by its alpha likewise).
    for (int kind : {0, 1, 2}) {
      const bool transformed = kind == 1, additive = kind == 2;
      const std::uint32_t effect = additive ? kEffectAdd : kEffectNone;
      const std::string name = "gl_sprites_" + std::to_string(count) +
                               (transformed ? "_turned"
                                : additive  ? "_add"
                                            : "_plain");
      const auto ours = [&] {
        display->FillRectColor(0, 0, kWidth, kHeight, 0x302010);
        for (const Placement& p : placements) {
          if (transformed)
            texture->BlitTransformed(display, static_cast<float>(p.x + 16),
                                     static_cast<float>(p.y + 16), 0, 0, kSprite, kSprite, 16, 16,
                                     3 << 15, 3 << 15, p.angle * 1000, kModeTransparent | 0x100,
                                     kEffectNone, 0);
          else
            texture->Blit(display, p.x, p.y, 0, 0, kSprite, kSprite, kModeTransparent, effect, 0,
                          0);
        }
        display->DriverHook79();
      };
      const auto sdl = [&] {
        SDL_SetRenderTarget(renderer, target);
        SDL_SetRenderDrawColor(renderer, 0x10, 0x20, 0x30, 255);
        SDL_RenderClear(renderer);
        SDL_SetTextureBlendMode(peerSprite, additive ? SDL_BLENDMODE_ADD : SDL_BLENDMODE_BLEND);
        SDL_SetTextureScaleMode(peerSprite,
                                transformed ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
        for (const Placement& p : placements) {
          if (transformed) {
            const SDL_FRect to{p.x + 16 - 24.0f, p.y + 16 - 24.0f, 48.0f, 48.0f};
            const SDL_FPoint centre{24.0f, 24.0f};
            SDL_RenderCopyExF(renderer, peerSprite, nullptr, &to, -p.angle, &centre, SDL_FLIP_NONE);
          } else {
            const SDL_Rect to{p.x, p.y, kSprite, kSprite};
            SDL_RenderCopy(renderer, peerSprite, nullptr, &to);
          }
        }
        SDL_RenderFlush(renderer);
        glFinish();
      };
      const Comparison versusSdl =
          Compare(ours, oursOnly ? std::function<void()>() : sdl, seconds, rounds);
      if (oursOnly) {
        std::printf("%s %.1f frames/s, %.2f ms processor time a frame\n", name.c_str(),
                    versusSdl.ours, versusSdl.oursProcessor);
        continue;
      }

      if (transformed && !turned[0]) {
        // The software renderer's turned and scaled copies, made once as the redraw cycle keeps
        // them: scaled smoothly to 48 x 48, then turned.
        for (int angle = 0; angle < 360; ++angle) {
          auto* scaled = frame->CreateCompatible(48, 48);
          sprite->StretchBlit(scaled, 0, 0, 48, 48, 0, 0, kSprite, kSprite, kModeOpaque,
                              kEffectNone, 0, 1 | 4);
          int w = 48, h = 48;
          ClampRotatedSize(&w, &h, static_cast<float>(angle));
          auto* copy = frame->CreateCompatible(w, h);
          copy->CreateAlpha();
          scaled->Rotate(copy, static_cast<float>(angle), 1, 0, 0);
          turned[static_cast<std::size_t>(angle)] = copy;
          scaled->Delete();
        }
      }
      const auto software = [&] {
        frame->FillRectColor(0, 0, kWidth, kHeight, 0x302010);
        for (const Placement& p : placements) {
          cSurfaceImplementation* s =
              transformed ? turned[static_cast<std::size_t>(p.angle)] : sprite;
          s->Blit(frame, p.x + 16 - s->width / 2, p.y + 16 - s->height / 2, 0, 0, s->width,
                  s->height, kModeTransparent, effect, 0, 0);
        }
      };
      const Comparison versusSoftware = Compare(ours, software, seconds, rounds);

      std::printf("ratio %s sdl_renderer %.1f %.1f %.2f\n", name.c_str(), versusSdl.ours,
                  versusSdl.peer, versusSdl.ratio);
      std::printf("processor %s sdl_renderer %.2f ms %.2f ms %.2f\n", name.c_str(),
                  versusSdl.oursProcessor, versusSdl.peerProcessor, versusSdl.processorRatio);
      std::printf("reference %s software %.1f %.1f %.2f\n", name.c_str(), versusSoftware.ours,
                  versusSoftware.peer, versusSoftware.ratio);
      std::fflush(stdout);
    }
  }

  for (cSurfaceImplementation* s : turned) DeleteImplementation(s);
  frame->Delete();
  sprite->Delete();
  texture->Delete();
  display->Delete();
  SDL_DestroyTexture(peerSprite);
  SDL_DestroyTexture(target);
  SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
  release();
  dlclose(module);
  return 0;
}
