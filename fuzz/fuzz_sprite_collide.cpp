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

#include "window/game_window.h"

namespace {

constexpr int kHeapSprites = 24;

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  std::uint32_t Next(int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | (at < size ? data[at++] : 0u);
    return value;
  }
  bool More() const { return at < size; }
  int Coordinate() {
    static const int kValues[] = {0, -1, 1, 50, -50, 5000, -5000, std::numeric_limits<int>::max(),
                                  std::numeric_limits<int>::min(), 0x7FFF, -0x8000, 31};
    const std::uint32_t v = Next(1);
    if (v < 12) return kValues[v];
    return static_cast<int>(Next(1) % 120) - 20;
  }
  float Real() {
    static const float kValues[] = {1.0f, 1.0f, 0.0f, -1.0f, 0.5f, 2.0f, 90.0f, 180.0f,
                                    270.0f, 45.0f, NAN, INFINITY, 1e9f, 1.5f, 3.0f, 1e-9f};
    return kValues[Next(1) & 15];
  }
  // Scales and angles of listed sprites: the commit draws them, so no huge ones.
  float Modest() {
    static const float kValues[] = {1.0f, 0.0f, -1.0f, 0.5f, 2.0f, 90.0f, 180.0f, 270.0f,
                                    45.0f, NAN, INFINITY, 1.5f, 3.0f, 1e-9f, 30.0f, -90.0f};
    return kValues[Next(1) & 15];
  }
};

void Fail(const char* what) {
  std::fprintf(stderr, "collision query broken: %s\n", what);
  std::abort();
}

struct Fixture {
  ImageBank* bank = nullptr;
  std::unique_ptr<cSurfaceObject> buffer;
  int images[3] = {};
  Fixture() {
    RegisterThread();
    bank = CreateImageBank(0, nullptr);
    SetImageBankFormat(bank, 8);
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, 32, kTypeDIBSection, kDriverNone);
    buffer = std::make_unique<cSurfaceObject>();
    buffer->Create(96, 64, prototype);
    std::vector<std::uint32_t> pixels(40 * 30);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = i % 5 ? 0x00336699u : 0x00FF00u;
    images[0] = AddImage(bank, 12, 9, 3, 4, 0, 0, 0x00FF00, 8, pixels.data(), nullptr);
    images[1] = AddImage(bank, 40, 30, 20, 15, 0, 0, 0x00FF00, 8, pixels.data(), nullptr);
    images[2] = AddImage(bank, 1, 1, 0, 0, 0, 0, 0x00FF00, 8, pixels.data(), nullptr);
  }
};

std::set<Sprite*> Entries(const SpriteHit* hits, int count) {
  std::set<Sprite*> out;
  for (int i = 0; i < count; ++i) out.insert(hits[i].sprite);
  if (hits[count].sprite) Fail("array not ended after the count");
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture fixture;
  GameWindow window{};
  DirtyRectList dirty{};
  window.context = fixture.bank;
  window.backBuffer = fixture.buffer.get();
  window.backBufferImpl = fixture.buffer->implementation;
  window.backBufferWidth = 96;
  window.backBufferHeight = 64;
  window.solidPlaneOffset = window.topEdgePlaneOffset = -1;
  window.dirtyRects = &dirty;
  window.spriteHeap = GetSpriteStorageHooks()->build(kHeapSprites);
  if (!window.spriteHeap) return 0;
  Reader in{data, size};
  std::vector<Sprite*> live;
  const int count = 1 + static_cast<int>(in.Next(1) % kHeapSprites);
  for (int i = 0; i < count; ++i) {
    const int image = fixture.images[in.Next(1) % 3];
    const std::uint32_t flags = in.Next(1) & 1 ? kSpriteCollides : 0;
    const std::uint32_t extra = in.Next(1);
    Sprite* s = CreateSprite(&window, in.Coordinate(), in.Coordinate(), image,
                             static_cast<int>(in.Next(1) % 2),
                             static_cast<int>(in.Next(1) % 3), 0,
                             flags | (extra & 1 ? kSpriteBoxOnly : 0) |
                                 (extra & 2 ? kSpriteHasTopEdge : 0) |
                                 (extra & 4 ? kSpriteSortsFirst : 0) |
                                 (extra & 8 ? kSpriteNoHotSpot : 0),
                             i);
    if (!s) break;
    if (extra & 16) SetSpriteScale(&window, s, in.Modest(), in.Modest(), 0);
    if (extra & 32) SetSpriteAngle(&window, s, in.Modest(), 0);
    if (extra & 64) KillSprite(&window, s);
    live.push_back(s);
  }
  CommitSprites(&window);
  if (in.Next(1) & 1) {
    CreateCollisionMap(&window, -16, -16, 160, 120, 3);
    StampMaskInMap(&window, fixture.images[1], in.Coordinate(), in.Coordinate(), 3);
    SetMapScroll(&window, in.Coordinate() % 64, in.Coordinate() % 64);
  }
  std::vector<SpriteHit> hits(live.size() + 1), again(live.size() + 1);
  while (in.More() && !live.empty()) {
    Sprite* s = live[in.Next(1) % live.size()];
    const std::intptr_t image = in.Next(1) % 4 == 3 ? 0 : fixture.images[in.Next(1) % 3];
    const int x = in.Coordinate(), y = in.Coordinate();
    const float angle = in.Real(), sx = in.Real(), sy = in.Real();
    const int options = static_cast<int>(in.Next(1)) & ~kCollideFromArray;
    SetFineCollision(&window, 1);
    const int fine = FindAllCollidingSprites(&window, s, hits.data(), image, x, y, angle, sx, sy,
                                             options);
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
    const int boxes = FindAllCollidingSprites(&window, s, again.data(), image, x, y, angle, sx, sy,
                                              options);
    const std::set<Sprite*> boxSet = Entries(again.data(), boxes);
    for (Sprite* o : fineSet)
      if (!boxSet.count(o)) Fail("a mask hit without a box hit");
    SetFineCollision(&window, static_cast<int>(in.Next(1) & 1));
    FilterCollidingSprites(&window, s, again.data(), hits.data(), image, x, y, angle, sx, sy,
                           options);
    FindSpriteAtPoint(&window, in.Next(1) & 1 ? s : nullptr, static_cast<int>(in.Next(1) % 3) - 1,
                      x, y, static_cast<int>(in.Next(1)));
    FindSpriteInRect(&window, nullptr, static_cast<int>(in.Next(1) % 3) - 1, x, y,
                     in.Coordinate(), in.Coordinate(), static_cast<int>(in.Next(1)));
    TestSpriteInMap(&window, s, image, x, y, angle, sx, sy, static_cast<int>(in.Next(1) % 12),
                    static_cast<int>(in.Next(1) & 1));
    GetSpritePendingMask(&window, s, 1);
  }
  GetSpriteStorageHooks()->release(&window);
  FreeCollisionMap(&window);
  return 0;
}
