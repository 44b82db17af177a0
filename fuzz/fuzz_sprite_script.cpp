// A byte script of sprite, collision-map and redraw operations on one game window, with
// extreme positions, scales and angles. After every operation the heap must tile its area
// with merged free blocks, the display list must be sorted and doubly linked, and overlap
// lists must be symmetric; a sanitizer build catches reads and writes outside any block.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <vexa/collision_map.h>
#include <vexa/image_bank.h>
#include <vexa/library.h>
#include <vexa/sprite.h>
#include <vexa/surface_object.h>

#include "fuzz_reader.h"
#include "sprite_fixture.h"

namespace {

constexpr int kMaxOperations = 96;
constexpr int kHeapSprites = 24;

// The shared reader with the values sprites and maps meet at the edges: the ends of the int
// range, 16-bit limits, NaN and infinite scales and angles.
struct Reader : FuzzReader {
  using FuzzReader::FuzzReader;
  std::uint32_t Next(int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | Byte();
    return value;
  }
  bool More() const { return !Done(); }
  int Coordinate() {
    static const int kValues[] = {0,
                                  -1,
                                  1,
                                  50,
                                  -50,
                                  5000,
                                  -5000,
                                  std::numeric_limits<int>::max(),
                                  std::numeric_limits<int>::min(),
                                  0x7FFF,
                                  -0x8000,
                                  31};
    const std::uint32_t v = Byte();
    if (v < 12) return kValues[v];
    return static_cast<int>(Byte()) - 40 + static_cast<int>(v);
  }
  float Real() {
    static const float kValues[] = {0.0f,    1.0f,   -1.0f, 0.5f,     2.0f,      90.0f,
                                    270.0f,  45.0f,  NAN,   INFINITY, -INFINITY, 1e30f,
                                    -360.0f, 1e-30f, 3.0f,  7.0f};
    return kValues[Byte() & 15];
  }
};

void Fail(const char* what) {
  std::fprintf(stderr, "sprite invariant broken: %s\n", what);
  std::abort();
}

void Check(GameWindow* window) {
  SpriteHeap* heap = window->spriteHeap;
  auto* p = reinterpret_cast<std::uint8_t*>(heap + 1);
  std::uint8_t* end = p + heap->blockBytes;
  std::uint32_t previous = 0;
  bool previousFree = false;
  int freeBlocks = 0, usedBlocks = 0;
  while (p < end) {
    auto* block = reinterpret_cast<SpriteBlock*>(p);
    if (block->size < sizeof(SpriteBlock) || block->backLink != previous) Fail("block chain");
    const bool isFree = block->state == kBlockFree;
    if (isFree && previousFree) Fail("unmerged free blocks");
    freeBlocks += isFree;
    usedBlocks += !isFree;
    previous = block->size;
    previousFree = isFree;
    p += block->size;
  }
  if (p != end) Fail("blocks do not tile the heap");
  int listedFree = 0;
  for (SpriteBlock* b = heap->firstFree; b; b = b->next) {
    if (b->state != kBlockFree || ++listedFree > freeBlocks) Fail("free list");
  }
  if (listedFree != freeBlocks) Fail("free list count");
  int listed = 0;
  Sprite* last = nullptr;
  for (Sprite* s = heap->firstSprite; s; s = s->Next()) {
    if (s->Previous() != last || s->block.state != kBlockUsed) Fail("display list links");
    if (last && (last->layerKey > s->layerKey || (last->layerKey == s->layerKey && last->z > s->z)))
      Fail("display order");
    if (!s->overlapComplete && s->overlapCount) Fail("a list kept by a sprite without one");
    for (int i = 0; i < s->overlapCount; ++i) {
      const Sprite* o = s->overlaps[i];
      bool back = !o->overlapComplete;
      for (int j = 0; j < o->overlapCount; ++j) back |= o->overlaps[j] == s;
      if (!back || o == s) Fail("overlap symmetry between keepers");
    }
    last = s;
    ++listed;
  }
  if (last != heap->lastSprite || listed != usedBlocks) Fail("sprite count");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static SpriteFuzzFixture fixture;
  SpriteFuzzWindow scene(fixture, kHeapSprites);
  GameWindow& window = scene.window;
  DirtyRectList& dirty = scene.dirty;
  if (!window.spriteHeap) return 0;
  Reader in(data, size);
  std::vector<Sprite*> live;
  auto pick = [&]() -> Sprite* {
    if (live.empty()) return nullptr;
    return live[in.Next(1) % live.size()];
  };
  auto forget = [&](Sprite* s) {
    for (auto it = live.begin(); it != live.end(); ++it)
      if (*it == s) {
        live.erase(it);
        return;
      }
  };
  for (int op = 0; op < kMaxOperations && in.More(); ++op) {
    const int code = static_cast<int>(in.Next(1) % 28);
    const int image = fixture.images[in.Next(1) % 3];
    switch (code) {
      case 0:
      case 1:
        if (Sprite* s = CreateSprite(&window, in.Coordinate(), in.Coordinate(), image,
                                     static_cast<int>(in.Next(1) % 4) - 1, in.Coordinate(), 0,
                                     in.Next(4), 0))
          live.push_back(s);
        break;
      case 2:
        ModifySprite(&window, pick(), in.Coordinate(), in.Coordinate(), image);
        break;
      case 3:
        ModifySpriteEx(&window, pick(), in.Coordinate(), in.Coordinate(), image, in.Real(),
                       in.Real(), in.Next(1) & 1, in.Real(), in.Next(1) & 1);
        break;
      case 4: {
        Sprite* s = pick();
        if (DeleteSprite(&window, s)) forget(s);
        break;
      }
      case 5: {
        Sprite* s = pick();
        KillSprite(&window, s);
        forget(s);  // freed at the next erase
        break;
      }
      case 6:
        ShowSprite(&window, pick(), in.Next(1) & 1);
        break;
      case 7: {
        const std::uint32_t how = in.Next(1);
        Sprite* s = how & 1 ? pick() : nullptr;
        if (how & 2) {
          if (s) s->flags ^= kSpriteRetained;  // as a game writing the record
        } else {
          SetSpriteState(&window, s, static_cast<int>(in.Next(1)));
        }
        break;
      }
      case 8:
        SetSpriteLayer(&window, pick(), static_cast<int>(in.Next(1) % 5) - 1);
        break;
      case 9:
        SpriteToBack(&window, pick());
        break;
      case 10:
        SpriteToFront(&window, pick());
        break;
      case 11:
        MoveSpriteBehind(&window, pick(), pick());
        break;
      case 12:
        MoveSpriteInFront(&window, pick(), pick());
        break;
      case 13:
        MoveSpriteAcross(&window, pick(), pick());
        break;
      case 14:
        SwapSprites(&window, pick(), pick());
        break;
      case 15:
        MoveSpriteRunBehind(&window, pick(), pick());
        break;
      case 16:
        MoveSpriteRunInFront(&window, pick(), pick());
        break;
      case 17:
        SetSpriteInk(&window, pick(), in.Next(4), in.Next(1));
        break;
      case 18:
        SetSpriteScale(&window, pick(), in.Real(), in.Real(), in.Next(1) & 1);
        break;
      case 19:
        SetSpriteAngle(&window, pick(), in.Real(), in.Next(1) & 1);
        break;
      case 20:
        dirty.count = 0;
        EraseSprites(&window);
        CommitSprites(&window);
        DrawSprites(&window);
        break;
      case 21: {
        const int left = in.Coordinate(), top = in.Coordinate();
        const int right = in.Coordinate(), bottom = in.Coordinate();
        // Maps the library accepts but that take long to fill are left out; those it must
        // refuse (too wide or too large) are kept.
        const std::int64_t rowBytes = (std::max<std::int64_t>(right, 96) - left) / 8 + 4;
        const std::int64_t bytes = rowBytes * (std::max<std::int64_t>(bottom, 64) - top);
        if (bytes > (16 << 20) && rowBytes < 65536 && bytes < 0x7FFFFFFF / 2) break;
        CreateCollisionMap(&window, left, top, right, bottom, static_cast<int>(in.Next(1) & 3));
        break;
      }
      case 22:
        StampMaskInMap(&window, image, in.Coordinate(), in.Coordinate(),
                       static_cast<int>(in.Next(1) & 3));
        break;
      case 23:
        StampTopEdgeInMap(&window, image, in.Coordinate(), in.Coordinate());
        break;
      case 24: {
        RECT across{}, down{};
        ScrollCollisionMap(&window, in.Coordinate(), in.Coordinate() % 200, &across,
                           in.Next(1) & 1 ? &down : nullptr);
        break;
      }
      case 25: {
        const RECT clip{in.Coordinate(), in.Coordinate(), in.Coordinate(), in.Coordinate()};
        SetMapClip(&window, in.Next(1) & 1 ? &clip : nullptr);
        SetMapScroll(&window, in.Coordinate(), in.Coordinate());
        break;
      }
      case 26:
        TestRectInMap(&window, in.Coordinate(), in.Coordinate(), in.Coordinate(), in.Coordinate(),
                      static_cast<int>(in.Next(1) & 1));
        TestPointInMap(&window, in.Coordinate(), in.Coordinate(), 0);
        FillCollisionMapRect(&window, in.Coordinate(), in.Coordinate(), in.Coordinate(),
                             in.Coordinate(), static_cast<int>(in.Next(1) & 3));
        break;
      default:
        if (dirty.count >= kDirtyRectCapacity) dirty.count = 0;
        DrawImage(&window, image, in.Coordinate(), in.Coordinate(), static_cast<int>(in.Next(1)),
                  in.Next(4), 0);
        break;
    }
    Check(&window);
  }
  return 0;
}
