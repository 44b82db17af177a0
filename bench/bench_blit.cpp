// The cost of the whole Blit call (validation, clipping, effect normalisation, locking,
// routine selection) beside the bare transparent-copy routine on the same rectangle: games
// draw many small sprites, so the call's overhead matters most at 32 x 32.
#include <memory>
#include <random>

#include <vexa/blit.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "bench_pairs.h"

namespace {

struct Scene {
  std::unique_ptr<cSurfaceObject> sprite;
  std::unique_ptr<cSurfaceObject> screen;
};

std::unique_ptr<cSurfaceObject> Make(int width, int height) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
  auto s = std::make_unique<cSurfaceObject>();
  s->Create(width, height, prototype);
  return s;
}

Scene& SceneFor(int size) {
  static Scene scenes[2];
  Scene& scene = scenes[size == 32 ? 0 : 1];
  if (!scene.sprite) {
    scene.sprite = Make(size, size);
    scene.screen = Make(640, 480);
    std::mt19937 rng(size);
    cSurfaceImplementation* s = scene.sprite->implementation;
    for (int y = 0; y < size; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(s->Row(y));
      for (int x = 0; x < size; ++x) row[x] = rng() % 3 == 0 ? 0 : (rng() | 1);
    }
  }
  return scene;
}

void RegisterSize(int size) {
  const std::string name = "blit_call_" + std::to_string(size) + "x" + std::to_string(size);
  vexabench::RegisterOverhead(
      name, "Mpix/s", static_cast<double>(size) * size,
      {"vexa",
       [size] {
         Scene& s = SceneFor(size);
         s.sprite->Blit(s.screen.get(), 100, 100, 0, 0, size, size, kModeTransparent, 0, 0, 0);
       }},
      {"kernel", [size] {
         Scene& s = SceneFor(size);
         cSurfaceImplementation* src = s.sprite->implementation;
         cSurfaceImplementation* dst = s.screen->implementation;
         src->pixelRoutines->copyTransparent(dst, 100, 100, src, 0, 0, size, size);
       }});
}

const vexabench::Registrar kRegistrar([] {
  if (!vexabench::KernelsAvailable()) return;
  RegisterSize(32);
  RegisterSize(256);
});

}  // namespace
