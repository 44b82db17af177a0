// The sprite heap, the display list and its ordering operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <vector>

#include <vexa/blit.h>
#include <vexa/sprite.h>

#include "sprite/sprite_scene.h"

namespace {

using spritetest::Scene;

// Walks the heap: blocks tile the area, back links match, the free list holds exactly the
// free blocks, no two free blocks are adjacent.
void CheckHeap(SpriteHeap* heap) {
  auto* begin = reinterpret_cast<std::uint8_t*>(heap + 1);
  std::uint8_t* end = begin + heap->blockBytes;
  std::set<SpriteBlock*> freeBlocks;
  std::uint32_t previousSize = 0;
  bool previousFree = false;
  for (std::uint8_t* p = begin; p < end;) {
    auto* block = reinterpret_cast<SpriteBlock*>(p);
    ASSERT_GE(block->size, sizeof(SpriteBlock));
    ASSERT_EQ(block->backLink, previousSize);
    ASSERT_TRUE(block->state == kBlockFree || block->state == kBlockUsed);
    if (block->state == kBlockFree) {
      ASSERT_FALSE(previousFree) << "free neighbours were not merged";
      freeBlocks.insert(block);
    }
    previousFree = block->state == kBlockFree;
    previousSize = block->size;
    p += block->size;
    ASSERT_LE(p, end);
  }
  std::set<SpriteBlock*> listed;
  SpriteBlock* last = nullptr;
  for (SpriteBlock* b = heap->firstFree; b; b = b->next) {
    ASSERT_EQ(b->previous, last);
    listed.insert(b);
    last = b;
  }
  EXPECT_EQ(last, heap->lastFree);
  EXPECT_EQ(listed, freeBlocks);
}

// The list is sorted by layer key, then z, and linked both ways.
void CheckOrder(SpriteHeap* heap) {
  Sprite* previous = nullptr;
  for (Sprite* s = heap->firstSprite; s; s = s->Next()) {
    ASSERT_EQ(s->Previous(), previous);
    if (previous) {
      ASSERT_TRUE(previous->layerKey < s->layerKey ||
                  (previous->layerKey == s->layerKey && previous->z <= s->z))
          << "unsorted at key " << s->layerKey << " z " << s->z;
    }
    previous = s;
  }
  EXPECT_EQ(previous, heap->lastSprite);
}

TEST(SpriteHeap, FirstFitSplitsOnlyWhenTheRestHoldsAFreeBlock) {
  const std::size_t bytes = SpriteHeapBytes(3);
  std::vector<std::uint64_t> memory((bytes + 7) / 8 + 8, 0);
  auto* heap = reinterpret_cast<SpriteHeap*>(memory.data());
  // Room for three records and a rest too small for a free block: the third takes it whole.
  ASSERT_EQ(InitSpriteHeap(heap, bytes + sizeof(SpriteBlock) - 8), 1);
  SpriteBlock* a = AllocateSpriteBlock(heap, sizeof(Sprite));
  SpriteBlock* b = AllocateSpriteBlock(heap, sizeof(Sprite));
  SpriteBlock* c = AllocateSpriteBlock(heap, sizeof(Sprite));
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(a->size, sizeof(Sprite));
  EXPECT_EQ(c->size, sizeof(Sprite) + sizeof(SpriteBlock) - 8) << "used whole";
  EXPECT_EQ(heap->firstFree, nullptr);
  EXPECT_EQ(AllocateSpriteBlock(heap, sizeof(Sprite)), nullptr);
  CheckHeap(heap);

  // Freeing the outer two leaves two holes; freeing the middle one merges all three.
  FreeSpriteBlock(heap, a);
  FreeSpriteBlock(heap, c);
  CheckHeap(heap);
  FreeSpriteBlock(heap, b);
  CheckHeap(heap);
  ASSERT_NE(heap->firstFree, nullptr);
  EXPECT_EQ(heap->firstFree, heap->lastFree);
  EXPECT_EQ(heap->firstFree->size, heap->blockBytes);
  EXPECT_EQ(InitSpriteHeap(heap, sizeof(SpriteHeap) + 8), 0) << "too small for one sprite";
}

TEST(SpriteHeap, FragmentationThenFullReuse) {
  Scene scene(32, 64, 64, 40);
  std::mt19937 rng(5);
  std::vector<Sprite*> live;
  for (int round = 0; round < 400; ++round) {
    if (live.size() < 40 && (live.empty() || rng() % 3)) {
      Sprite* s = CreateSprite(scene.w(), 1, 1, 0, static_cast<int>(rng() % 3),
                               static_cast<int>(rng() % 5), 0, 0, 0);
      ASSERT_NE(s, nullptr) << "room for 40 sprites, " << live.size() << " live";
      live.push_back(s);
    } else {
      const size_t i = rng() % live.size();
      ASSERT_EQ(DeleteSprite(scene.w(), live[i]), 1);
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(i));
    }
    CheckHeap(scene.w()->spriteHeap);
    CheckOrder(scene.w()->spriteHeap);
  }
  while (live.size() < 40) live.push_back(CreateSprite(scene.w(), 0, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_EQ(std::count(live.begin(), live.end(), nullptr), 0);
  EXPECT_EQ(CreateSprite(scene.w(), 0, 0, 0, 0, 0, 0, 0, 0), nullptr) << "the heap is full";
}

TEST(SpriteList, DisplayOrderByLayerKeyThenZThenInsertion) {
  Scene scene;
  GameWindow* w = scene.w();
  Sprite* a = CreateSprite(w, 0, 0, 0, 1, 5, 0, 0, 1);
  Sprite* b = CreateSprite(w, 0, 0, 0, 1, 5, 0, 0, 2);   // same layer and z: in front of a
  Sprite* c = CreateSprite(w, 0, 0, 0, 0, 99, 0, 0, 3);  // lower layer: behind both
  Sprite* d = CreateSprite(w, 0, 0, 0, 1, -50, 0, kSpriteSortsFirst, 4);  // before layer 1
  Sprite* e = CreateSprite(w, 0, 0, 0, 1, 0, 0, 0, 5);
  EXPECT_EQ(scene.List(), (std::vector<Sprite*>{c, d, e, a, b}));
  EXPECT_EQ(d->layerKey, 2);
  EXPECT_EQ(a->layerKey, 3);
  EXPECT_EQ(IsSpriteBehind(w, a, b), 1);
  EXPECT_EQ(IsSpriteInFront(w, a, b), 0);
  EXPECT_EQ(FindSpriteOfLayer(w, 1, 0), e);
  EXPECT_EQ(FindSpriteOfLayer(w, 1, 1), d);
  EXPECT_EQ(FindLastSpriteOfLayer(w, 1, 0), b);
  EXPECT_EQ(FindSpriteOfLayer(w, -1, 0), c);
  EXPECT_EQ(FindLastSpriteOfLayer(w, -1, 0), b);
  EXPECT_EQ(FindSpriteOfLayer(w, 7, 0), nullptr);
  // Neighbours by the sorts-first flag; option 2 looks at the next sprite of the same key only.
  EXPECT_EQ(NextSprite(w, c, 0), e);
  EXPECT_EQ(NextSprite(w, c, 1), d);
  EXPECT_EQ(NextSprite(w, c, 2), nullptr) << "d differs in flag and key";
  EXPECT_EQ(NextSprite(w, e, 2), a);
  EXPECT_EQ(PreviousSprite(w, a, 0), e);
  EXPECT_EQ(PreviousSprite(w, e, 1), d);
  EXPECT_EQ(GetSpriteLayer(w, d), 1);
  EXPECT_EQ(GetSpriteUserValue(w, b), 2);
  EXPECT_EQ(GetSpriteFlags(nullptr, b), 0u);
  EXPECT_EQ(NextSprite(w, nullptr, 0), nullptr);
}

TEST(SpriteList, CreateKeepsCallerFlagsButNotInternalOnes) {
  Scene scene;
  Sprite* s = CreateSprite(scene.w(), 0, 0, 0, 0, 0, 0,
                           0x2 | 0x20 | 0x1000 | 0x2000 | 0x4000 | 0x200000 | kSpriteRetained, 0);
  EXPECT_EQ(s->flags, kSpriteRetained | kSpriteChanged);
  EXPECT_EQ(s->ink, kInkTransparent);
  EXPECT_EQ(s->saved.left, -1);
  RECT r{};
  ASSERT_EQ(GetSpriteRect(scene.w(), s, &r), 1);
  EXPECT_EQ(r.right - r.left, 1) << "no image: 1 x 1";
  EXPECT_EQ(SetSpriteBit0(scene.w(), s, 1), 0);
  EXPECT_EQ(SetSpriteBit0(scene.w(), s, 0), 1);
  EXPECT_EQ(SetSpriteFlags(scene.w(), s, 0x8), kSpriteRetained | kSpriteChanged);
}

TEST(SpriteList, GeometryFromImageScaleAndAngle) {
  Scene scene;
  GameWindow* w = scene.w();
  const int image = scene.AddBox(20, 10, 0xFF, 4, 2);
  Sprite* s = CreateSprite(w, 100, 50, image, 0, 0, 0, 0, 0);
  EXPECT_EQ(s->pending.rect.left, 96);
  EXPECT_EQ(s->pending.rect.top, 48);
  EXPECT_EQ(s->pending.rect.right, 116);
  EXPECT_EQ(s->pending.rect.bottom, 58);
  Sprite* ignoring = CreateSprite(w, 100, 50, image, 0, 0, 0, kSpriteNoHotSpot, 0);
  EXPECT_EQ(ignoring->pending.rect.left, 100);

  ModifySpriteEx(w, s, 100, 50, image, 1.5f, -2.0f, 1, -90.0f, 0);
  EXPECT_EQ(s->pending.scaleX, 1.5f);
  EXPECT_EQ(s->pending.scaleY, 0.0f) << "negative scales become 0";
  EXPECT_EQ(s->pending.angle, 270.0f);
  EXPECT_TRUE(s->flags & kSpriteTransformChanged);
  ModifySpriteEx(w, s, 100, 50, image, NAN, 2.0f, 0, INFINITY, 0);
  EXPECT_EQ(s->pending.scaleX, 0.0f);
  EXPECT_EQ(s->pending.angle, 0.0f);

  // Scale 2 about the hot spot, then a quarter turn: 40 x 20 becomes 20 x 40.
  ModifySpriteEx(w, s, 100, 50, image, 2.0f, 2.0f, 0, 90.0f, 0);
  EXPECT_EQ(s->pending.rect.right - s->pending.rect.left, 20);
  EXPECT_EQ(s->pending.rect.bottom - s->pending.rect.top, 40);
  // The committed rectangle follows only at commit.
  EXPECT_EQ(s->current.rect.left, 96);
  CommitSprites(w);
  EXPECT_EQ(s->current.rect.right - s->current.rect.left, 20);
  float sx = 0, sy = 0;
  int resample = 9;
  GetSpriteScale(w, s, &sx, &sy, &resample);
  EXPECT_EQ(sx, 2.0f);
  EXPECT_EQ(resample, 0);
  GetSpriteScale(w, nullptr, &sx, &sy, &resample);
  EXPECT_EQ(sx, 1.0f) << "a null sprite reports 1, 1";

  // Positions at the ends of the int range saturate instead of wrapping.
  ModifySpriteEx(w, s, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), image,
                 1.0f, 1.0f, 0, 0.0f, 0);
  EXPECT_EQ(s->pending.rect.left, std::numeric_limits<int>::min());
  EXPECT_LE(s->pending.rect.top, s->pending.rect.bottom);
}

TEST(SpriteList, ZMovesKeepTheLayersZValues) {
  Scene scene;
  GameWindow* w = scene.w();
  std::vector<Sprite*> s;
  for (int i = 0; i < 5; ++i) s.push_back(CreateSprite(w, 0, 0, 0, 2, 10 * i, 0, 0, i));
  Sprite* other = CreateSprite(w, 0, 0, 0, 3, 0, 0, 0, 9);
  auto zs = [&] {
    std::vector<int> out;
    for (Sprite* p : scene.List()) out.push_back(p->z);
    return out;
  };
  SpriteToBack(w, s[3]);
  EXPECT_EQ(scene.List(), (std::vector<Sprite*>{s[3], s[0], s[1], s[2], s[4], other}));
  EXPECT_EQ(zs(), (std::vector<int>{0, 10, 20, 30, 40, 0}));
  SpriteToFront(w, s[3]);
  EXPECT_EQ(scene.List(), (std::vector<Sprite*>{s[0], s[1], s[2], s[4], s[3], other}));
  EXPECT_EQ(zs(), (std::vector<int>{0, 10, 20, 30, 40, 0}));
  EXPECT_EQ(MoveSpriteBehind(w, s[4], s[1]), 1);
  EXPECT_EQ(scene.List(), (std::vector<Sprite*>{s[0], s[4], s[1], s[2], s[3], other}));
  EXPECT_EQ(MoveSpriteBehind(w, s[0], s[1]), 0) << "already behind";
  EXPECT_EQ(MoveSpriteInFront(w, s[0], s[2]), 1);
  EXPECT_EQ(scene.List(), (std::vector<Sprite*>{s[4], s[1], s[2], s[0], s[3], other}));
  EXPECT_EQ(MoveSpriteAcross(w, s[3], s[1]), 1);
  EXPECT_EQ(scene.List(), (std::vector<Sprite*>{s[4], s[3], s[1], s[2], s[0], other}));
  EXPECT_EQ(MoveSpriteAcross(w, s[3], other), 0) << "other layer";
  EXPECT_EQ(zs(), (std::vector<int>{0, 10, 20, 30, 40, 0}));
  EXPECT_EQ(SwapSprites(w, s[4], s[0]), 1);
  EXPECT_EQ(scene.List(), (std::vector<Sprite*>{s[0], s[3], s[1], s[2], s[4], other}));
  EXPECT_EQ(SwapSprites(w, s[0], s[3]), 1) << "neighbours";
  EXPECT_EQ(scene.List(), (std::vector<Sprite*>{s[3], s[0], s[1], s[2], s[4], other}));
  EXPECT_EQ(SwapSprites(w, s[0], other), 0) << "a swap across layers would unsort the list";
  EXPECT_EQ(zs(), (std::vector<int>{0, 10, 20, 30, 40, 0}));
  CheckOrder(scene.w()->spriteHeap);
}

TEST(SpriteList, RunMovesRenumberTheRun) {
  Scene scene;
  GameWindow* w = scene.w();
  std::vector<Sprite*> s;
  for (int i = 0; i < 5; ++i) s.push_back(CreateSprite(w, 0, 0, 0, 0, 10 * i, 0, 0, i));
  ASSERT_EQ(MoveSpriteRunBehind(w, s[2], s[3]), 1);
  EXPECT_EQ(scene.List(), (std::vector<Sprite*>{s[0], s[2], s[3], s[1], s[4]}));
  EXPECT_EQ(s[2]->z, 10);
  EXPECT_EQ(s[3]->z, 11);
  EXPECT_EQ(s[1]->z, 12);
  ASSERT_EQ(MoveSpriteRunInFront(w, s[0], s[2]), 1);
  EXPECT_EQ(scene.List(), (std::vector<Sprite*>{s[3], s[0], s[2], s[1], s[4]}));
  EXPECT_EQ(MoveSpriteRunBehind(w, s[3], s[0]), 0) << "nothing behind the run";
  EXPECT_EQ(MoveSpriteRunInFront(w, s[1], s[0]), 0) << "not a run in list order";
  CheckOrder(scene.w()->spriteHeap);
  // Crowded z values: the list stays sorted.
  for (Sprite* p : s) p->z = 7;
  ASSERT_EQ(MoveSpriteRunInFront(w, s[3], s[2]), 1);
  CheckOrder(scene.w()->spriteHeap);
}

TEST(SpriteList, SetSpriteLayerKeepsTheListSorted) {
  Scene scene;
  GameWindow* w = scene.w();
  Sprite* a = CreateSprite(w, 0, 0, 0, 1, -5, 0, 0, 0);
  Sprite* b = CreateSprite(w, 0, 0, 0, 1, 0, 0, 0, 0);
  Sprite* c = CreateSprite(w, 0, 0, 0, 1, 3, 0, 0, 0);
  Sprite* d = CreateSprite(w, 0, 0, 0, 0, 0, 0, 0, 0);
  ASSERT_EQ(SetSpriteLayer(w, d, 1), 1);
  CheckOrder(scene.w()->spriteHeap);
  EXPECT_EQ(GetSpriteLayer(w, d), 1);
  ASSERT_EQ(SetSpriteLayer(w, a, 1), 1) << "its own layer";
  CheckOrder(scene.w()->spriteHeap);
  ASSERT_EQ(SetSpriteLayer(w, c, 0), 1);
  EXPECT_EQ(scene.List().front(), c);
  EXPECT_EQ(c->z, 1);
  ASSERT_EQ(SetSpriteLayer(w, b, 4), 1);
  EXPECT_EQ(scene.List().back(), b);
  CheckOrder(scene.w()->spriteHeap);
}

TEST(SpriteList, RandomOperationsKeepHeapAndOrder) {
  Scene scene(32, 64, 64, 30);
  GameWindow* w = scene.w();
  std::mt19937 rng(11);
  std::vector<Sprite*> live;
  auto pick = [&] { return live[rng() % live.size()]; };
  for (int step = 0; step < 3000; ++step) {
    const int op = static_cast<int>(rng() % 12);
    if (live.empty() || op == 0) {
      if (Sprite* s = CreateSprite(w, static_cast<int>(rng() % 64), 0, 0,
                                   static_cast<int>(rng() % 3), static_cast<int>(rng() % 4) - 2, 0,
                                   (rng() & 1) ? kSpriteSortsFirst : 0, 0))
        live.push_back(s);
      continue;
    }
    Sprite* s = pick();
    Sprite* o = pick();
    switch (op) {
      case 1:
        SpriteToBack(w, s);
        break;
      case 2:
        SpriteToFront(w, s);
        break;
      case 3:
        MoveSpriteBehind(w, s, o);
        break;
      case 4:
        MoveSpriteInFront(w, s, o);
        break;
      case 5:
        MoveSpriteAcross(w, s, o);
        break;
      case 6:
        SwapSprites(w, s, o);
        break;
      case 7:
        SetSpriteLayer(w, s, static_cast<int>(rng() % 3));
        break;
      case 8:
        MoveSpriteRunBehind(w, o->layerKey == s->layerKey ? s : o, o);
        break;
      case 9:
        MoveSpriteRunInFront(w, s, s->Next() ? s->Next() : s);
        break;
      case 10:
        DeleteSprite(w, s);
        live.erase(std::find(live.begin(), live.end(), s));
        break;
      default:
        break;
    }
    CheckOrder(scene.w()->spriteHeap);
  }
  CheckHeap(scene.w()->spriteHeap);
}

TEST(SpriteLayers, TableRecords) {
  Scene scene;
  GameWindow* w = scene.w();
  EXPECT_EQ(GetLayer(w, 0), nullptr);
  ASSERT_EQ(SetLayerCount(w, 3), 1);
  LayerRecord* layer = GetLayer(w, 2);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(layer->factors[0], 1.0f);
  EXPECT_EQ(layer->factors[3], 0.0f);
  EXPECT_EQ(GetLayer(w, 3), nullptr);
  EXPECT_EQ(GetLayer(w, -1), nullptr);
  EXPECT_EQ(SetLayerEffect(w, 1, kEffectAdd, 7, 1), 1);
  EXPECT_EQ(GetLayer(w, 1)->effect, kEffectAdd);
  EXPECT_EQ(SetLayerEffect(w, 5, 0, 0, 0), 0);
  EXPECT_EQ(SetLayerCount(w, 0), 1);
  EXPECT_EQ(GetLayer(w, 0), nullptr);
}

}  // namespace
