// Sprite collision queries. bench/pygame_collide.py runs the same scenes with pygame's sprite
// groups and masks and prints the ratio lines.
//
// Scene: the sprite scene's N discs of 32 x 32 (8 colour-keyed images, hot spot in the centre,
// the same positions from the same generator) on one layer, all collision-enabled, fine
// collision on, masks built beforehand. Cases, one iteration each:
//   a  every sprite (100 of them at N = 10,000) asks FindAllCollidingSprites at its place;
//   b  the same with fine collision off (boxes only);
//   c  1,000 FindSpriteAtPoint at generated points;
//   d  100 sprites ask at their place scaled 1.5 and turned 7 degrees more each iteration;
//   e  TestSpriteInMap of every sprite at its place against a playfield map of bands.
// With VEXA_COLLIDE_HITS set to a file name, the hit counts of a, b, c and e are written there
// for the peer to compare.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <vexa/collision_map.h>
#include <vexa/image_bank.h>
#include <vexa/library.h>
#include <vexa/sprite.h>
#include <vexa/sprite_collision.h>

#include "bench_discs.h"
#include "bench_pairs.h"
#include "window/game_window.h"

namespace {

constexpr int kWidth = 640, kHeight = 480, kSize = vexabench::kDiscSize, kImages = 8;

using vexabench::DiscPixels;
using vexabench::Lcg;

// The playfield's solid bands (inclusive rectangles), the same in the peer.
constexpr int kBands[][4] = {
    {0, 440, 639, 479}, {100, 300, 299, 315}, {380, 200, 599, 211}, {40, 120, 199, 127}};

struct CollideScene {
  ImageBank* bank = nullptr;
  GameWindow window{};
  DirtyRectList dirty{};
  std::vector<Sprite*> sprites;
  std::vector<std::pair<int, int>> places, points;
  std::vector<SpriteHit> hits;
  float angle = 0;

  explicit CollideScene(int count) {
    bank = CreateImageBank(0, nullptr);
    SetImageBankFormat(bank, 8);
    window.context = bank;
    window.solidPlaneOffset = window.topEdgePlaneOffset = -1;
    window.dirtyRects = &dirty;
    window.spriteHeap = GetSpriteStorageHooks()->build(static_cast<std::uint32_t>(count));
    int images[kImages];
    for (int k = 0; k < kImages; ++k) {
      const auto pixels = DiscPixels(k);
      images[k] = AddImage(bank, kSize, kSize, kSize / 2, kSize / 2, 0, 0, 0xFF00FF, 8,
                           pixels.data(), nullptr);
      GetImageMask(bank, images[k], 0);
    }
    Lcg rng{12345};
    for (int i = 0; i < count; ++i) {
      const int x = kSize / 2 + rng.Next(kWidth - kSize);
      const int y = kSize / 2 + rng.Next(kHeight - kSize);
      rng.Next(3), rng.Next(2), rng.Next(3), rng.Next(2);  // the scene's speeds
      sprites.push_back(
          CreateSprite(&window, x, y, images[i % kImages], 0, i, 0, kSpriteCollides, i));
      places.emplace_back(x, y);
    }
    Lcg pointRng{777};
    for (int i = 0; i < 1000; ++i) {
      const int x = pointRng.Next(kWidth);
      points.emplace_back(x, pointRng.Next(kHeight));
    }
    hits.resize(sprites.size() + 1);
    CreateCollisionMap(&window, 0, 0, kWidth - 1, kHeight - 1, kMapSolidPlane);
    ClearCollisionMap(&window, 0);
    for (const auto& b : kBands) FillCollisionMapRect(&window, b[0], b[1], b[2], b[3], 1);
    SetFineCollision(&window, 1);
  }
  ~CollideScene() {
    GetSpriteStorageHooks()->release(&window);
    FreeCollisionMap(&window);
    DestroyImageBank(bank);
  }
  int Callers() const { return sprites.size() > 1000 ? 100 : static_cast<int>(sprites.size()); }

  long AllAtPlace(bool fine) {
    SetFineCollision(&window, fine ? 1 : 0);
    long total = 0;
    for (int i = 0; i < Callers(); ++i)
      total += FindAllCollidingSprites(&window, sprites[i], hits.data(), 0, places[i].first,
                                       places[i].second, 0, 1, 1, 0);
    return total;
  }
  long Points() {
    SetFineCollision(&window, 1);
    long total = 0;
    for (const auto& p : points)
      total += FindSpriteAtPoint(&window, nullptr, -1, p.first, p.second, 0) != nullptr;
    return total;
  }
  long Turned() {
    SetFineCollision(&window, 1);
    angle += 7.0f;
    if (angle >= 360.0f) angle -= 360.0f;
    long total = 0;
    for (int i = 0; i < 100 && i < static_cast<int>(sprites.size()); ++i)
      total += FindAllCollidingSprites(&window, sprites[i], hits.data(), 0, places[i].first,
                                       places[i].second, angle, 1.5f, 1.5f, 0);
    return total;
  }
  long InMap() {
    SetFineCollision(&window, 1);
    long total = 0;
    for (size_t i = 0; i < sprites.size(); ++i)
      total +=
          TestSpriteInMap(&window, sprites[i], 0, places[i].first, places[i].second, 0, 1, 1, 0, 0);
    return total;
  }
};

const vexabench::Registrar kRegistrar([] {
  const char* hitsPath = std::getenv("VEXA_COLLIDE_HITS");
  FILE* hitsFile = hitsPath ? std::fopen(hitsPath, "w") : nullptr;
  for (const int count : {100, 1000, 10000}) {
    auto scene = std::make_shared<CollideScene>(count);
    const std::string n = std::to_string(count);
    if (hitsFile) {
      std::fprintf(hitsFile, "collide-a-%s %ld\n", n.c_str(), scene->AllAtPlace(true));
      std::fprintf(hitsFile, "collide-b-%s %ld\n", n.c_str(), scene->AllAtPlace(false));
      std::fprintf(hitsFile, "collide-c-%s %ld\n", n.c_str(), scene->Points());
      std::fprintf(hitsFile, "collide-e-%s %ld\n", n.c_str(), scene->InMap());
    }
    vexabench::RegisterCase("collide-a-" + n, "frames/s", 1e6,
                            {{"vexa", [scene] { vexabench::Keep(scene->AllAtPlace(true)); }}});
    vexabench::RegisterCase("collide-b-" + n, "frames/s", 1e6,
                            {{"vexa", [scene] { vexabench::Keep(scene->AllAtPlace(false)); }}});
    vexabench::RegisterCase("collide-c-" + n, "frames/s", 1e6,
                            {{"vexa", [scene] { vexabench::Keep(scene->Points()); }}});
    vexabench::RegisterCase("collide-d-" + n, "frames/s", 1e6,
                            {{"vexa", [scene] { vexabench::Keep(scene->Turned()); }}});
    vexabench::RegisterCase("collide-e-" + n, "frames/s", 1e6,
                            {{"vexa", [scene] { vexabench::Keep(scene->InMap()); }}});
  }
  if (hitsFile) std::fclose(hitsFile);
});

}  // namespace
