// Collision queries over a byte-built scene: sprites with random images, flags, layers, scales
// and angles (NaN, infinite and huge ones included), a collision map, and queries with random
// options. A fine (mask) hit must also be a box hit, every form must count what it writes, a
// null array must give the same count, and in-place filtering must only ever shrink the array.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <set>
#include <vector>

#include <vexa/collision_map.h>
#include <vexa/image_bank.h>
#include <vexa/library.h>
#include <vexa/sprite.h>
#include <vexa/sprite_collision.h>
#include <vexa/surface_object.h>

#include "fuzz_reader.h"
#include "sprite_fixture.h"

namespace {

constexpr int kHeapSprites = 24;

// Scales and angles of queries, extremes included.
float Real(FuzzReader& in) {
  static const float kValues[] = {1.0f,   1.0f,  0.0f, -1.0f,    0.5f, 2.0f, 90.0f, 180.0f,
                                  270.0f, 45.0f, NAN,  INFINITY, 1e9f, 1.5f, 3.0f,  1e-9f};
  return kValues[in.Byte() & 15];
}
// Scales and angles of listed sprites: the commit draws them, so no huge ones.
float Modest(FuzzReader& in) {
  static const float kValues[] = {1.0f,  0.0f, -1.0f,    0.5f, 2.0f, 90.0f, 180.0f, 270.0f,
                                  45.0f, NAN,  INFINITY, 1.5f, 3.0f, 1e-9f, 30.0f,  -90.0f};
  return kValues[in.Byte() & 15];
}
int Coordinate(FuzzReader& in) { return in.Coordinate(12, 1, -40); }

void Fail(const char* what) {
  std::fprintf(stderr, "collision query broken: %s\n", what);
  std::abort();
}

std::set<Sprite*> Entries(const SpriteHit* hits, int count) {
  std::set<Sprite*> out;
  for (int i = 0; i < count; ++i) out.insert(hits[i].sprite);
  if (hits[count].sprite) Fail("array not ended after the count");
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static SpriteFuzzFixture fixture;
  SpriteFuzzWindow scene(fixture, kHeapSprites);
  GameWindow& window = scene.window;
  if (!window.spriteHeap) return 0;
  FuzzReader in(data, size);
  std::vector<Sprite*> live;
  const int count = 1 + static_cast<int>(in.Byte() % kHeapSprites);
  for (int i = 0; i < count; ++i) {
    const int image = fixture.images[in.Byte() % 3];
    const std::uint32_t flags = in.Byte() & 1 ? kSpriteCollides : 0;
    const std::uint32_t extra = in.Byte();
    Sprite* s = CreateSprite(
        &window, Coordinate(in), Coordinate(in), image, static_cast<int>(in.Byte() % 2),
        static_cast<int>(in.Byte() % 3), 0,
        flags | (extra & 1 ? kSpriteBoxOnly : 0) | (extra & 2 ? kSpriteHasTopEdge : 0) |
            (extra & 4 ? kSpriteSortsFirst : 0) | (extra & 8 ? kSpriteNoHotSpot : 0),
        i);
    if (!s) break;
    if (extra & 16) SetSpriteScale(&window, s, Modest(in), Modest(in), 0);
    if (extra & 32) SetSpriteAngle(&window, s, Modest(in), 0);
    if (extra & 64) KillSprite(&window, s);
    live.push_back(s);
  }
  CommitSprites(&window);
  if (in.Byte() & 1) {
    CreateCollisionMap(&window, -16, -16, 160, 120, 3);
    StampMaskInMap(&window, fixture.images[1], Coordinate(in), Coordinate(in), 3);
    SetMapScroll(&window, Coordinate(in) % 64, Coordinate(in) % 64);
  }
  std::vector<SpriteHit> hits(live.size() + 1), again(live.size() + 1);
  while (!in.Done() && !live.empty()) {
    Sprite* s = live[in.Byte() % live.size()];
    const std::intptr_t image = in.Byte() % 4 == 3 ? 0 : fixture.images[in.Byte() % 3];
    const int x = Coordinate(in), y = Coordinate(in);
    const float angle = Real(in), sx = Real(in), sy = Real(in);
    const int options = static_cast<int>(in.Byte()) & ~kCollideFromArray;
    SetFineCollision(&window, 1);
    const int fine =
        FindAllCollidingSprites(&window, s, hits.data(), image, x, y, angle, sx, sy, options);
    if (fine < 0 || fine > static_cast<int>(live.size())) Fail("count out of range");
    const std::set<Sprite*> fineSet = Entries(hits.data(), fine);
    if (static_cast<int>(fineSet.size()) != fine) Fail("a sprite written twice");
    if (FindAllCollidingSprites(&window, s, nullptr, image, x, y, angle, sx, sy, options) != fine)
      Fail("a null array counts differently");
    if ((FindCollidingSprite(&window, s, image, x, y, angle, sx, sy, 0, options) != nullptr) !=
        (fine > 0))
      Fail("the single form disagrees with the array form");
    const int kept = FindAllCollidingSprites(&window, s, hits.data(), image, x + 3, y, angle, sx,
                                             sy, options | kCollideFromArray);
    if (kept > fine) Fail("in-place filtering grew the array");
    for (Sprite* o : Entries(hits.data(), kept))
      if (!fineSet.count(o)) Fail("in-place filtering added a sprite");
    SetFineCollision(&window, 0);
    const int boxes =
        FindAllCollidingSprites(&window, s, again.data(), image, x, y, angle, sx, sy, options);
    const std::set<Sprite*> boxSet = Entries(again.data(), boxes);
    for (Sprite* o : fineSet)
      if (!boxSet.count(o)) Fail("a mask hit without a box hit");
    SetFineCollision(&window, static_cast<int>(in.Byte() & 1));
    FilterCollidingSprites(&window, s, again.data(), hits.data(), image, x, y, angle, sx, sy,
                           options);
    FindSpriteAtPoint(&window, in.Byte() & 1 ? s : nullptr, static_cast<int>(in.Byte() % 3) - 1, x,
                      y, static_cast<int>(in.Byte()));
    FindSpriteInRect(&window, nullptr, static_cast<int>(in.Byte() % 3) - 1, x, y, Coordinate(in),
                     Coordinate(in), static_cast<int>(in.Byte()));
    TestSpriteInMap(&window, s, image, x, y, angle, sx, sy, static_cast<int>(in.Byte() % 12),
                    static_cast<int>(in.Byte() & 1));
    GetSpritePendingMask(&window, s, 1);
  }
  return 0;
}
