// Collision queries against the pixels the redraw cycle draws, and their rules.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>
#include <vector>

#include <vexa/collision_map.h>
#include <vexa/sprite.h>
#include <vexa/sprite_collision.h>
#include <vexa/surface_object.h>

#include "sprite/sprite_scene.h"

namespace {

using spritetest::Scene;
using Pixels = std::set<std::pair<int, int>>;

constexpr COLORREF kRed = 0x0000FF;

struct Pose {
  float angle;
  float scale;
};

// One scene holding a sprite of the test image at (x, y) drawn with `pose` on black.
struct Drawn {
  Scene scene;
  int image;
  Sprite* sprite;
  Drawn(int x, int y, Pose pose, int hotX = 3, int hotY = 2) {
    image = scene.AddBox(11, 9, kRed, hotX, hotY);
    SetFineCollision(scene.w(), 1);
    scene.buffer->FillColor(0);
    sprite = CreateSprite(scene.w(), x, y, image, 1, 0, 0, kSpriteCollides, 77);
    ModifySpriteEx(scene.w(), sprite, x, y, image, pose.scale, pose.scale, 0, pose.angle, 0);
    scene.Frame();
  }
  bool Lit(int x, int y) {
    COLORREF c = 0;
    scene.buffer->GetPixelColor(x, y, &c);
    return (c & 0xFFFFFF) != 0;
  }
  Pixels Set() {
    Pixels out;
    for (int y = 0; y < scene.buffer->GetHeight(); ++y)
      for (int x = 0; x < scene.buffer->GetWidth(); ++x)
        if (Lit(x, y)) out.insert({x, y});
    return out;
  }
};

const Pose kPoses[] = {{0, 1}, {0, 2}, {0, 3}, {90, 1}, {180, 1}, {270, 1}};

TEST(SpriteCollisionPoint, EveryPixelOfTheRectangleAndItsRingAnswersAsDrawn) {
  for (const Pose pose : kPoses) {
    Drawn d(60, 50, pose);
    GameWindow* w = d.scene.w();
    const RECT r = d.sprite->current.rect;
    int lit = 0;
    for (int y = r.top - 1; y <= r.bottom; ++y)
      for (int x = r.left - 1; x <= r.right; ++x) {
        const bool hit = FindSpriteAtPoint(w, d.sprite, -1, x, y, kCollideOnlyThis) != nullptr;
        lit += d.Lit(x, y);
        EXPECT_EQ(hit, d.Lit(x, y))
            << "angle " << pose.angle << " scale " << pose.scale << " at " << x << "," << y;
        // The walk finds the same sprite (it is the only one).
        EXPECT_EQ(FindSpriteAtPoint(w, nullptr, -1, x, y, 0) == d.sprite, d.Lit(x, y));
      }
    EXPECT_GT(lit, 40);
  }
}

TEST(SpriteCollisionRect, FineTestEqualsThePointTestOverItsPixels) {
  const Pose poses[] = {{0, 2}, {90, 1}, {45, 1}, {30, 1.5f}};
  std::mt19937 rng(5);
  for (const Pose pose : poses) {
    Drawn d(60, 50, pose);
    GameWindow* w = d.scene.w();
    const RECT r = d.sprite->current.rect;
    for (int i = 0; i < 300; ++i) {
      const int x = r.left - 4 + static_cast<int>(rng() % (r.right - r.left + 8));
      const int y = r.top - 4 + static_cast<int>(rng() % (r.bottom - r.top + 8));
      const int width = 1 + static_cast<int>(rng() % 5), height = 1 + static_cast<int>(rng() % 5);
      bool any = false;
      for (int py = y; py < y + height; ++py)
        for (int px = x; px < x + width; ++px)
          any |= FindSpriteAtPoint(w, nullptr, -1, px, py, 0) != nullptr;
      EXPECT_EQ(FindSpriteInRect(w, nullptr, -1, x, y, width, height, 0) != nullptr, any)
          << "angle " << pose.angle << " rect " << x << "," << y << " " << width << "x" << height;
    }
  }
}

// Pairs: the answer equals whether the two sprites' drawings, made apart, share a pixel.
TEST(SpriteCollisionPair, AnswersEqualTheAndOfTheDrawings) {
  struct Case {
    Pose still, moving;
  };
  const Case cases[] = {{{0, 1}, {0, 1}},    {{90, 1}, {0, 1}}, {{0, 1}, {180, 1}},
                        {{270, 1}, {90, 1}}, {{0, 2}, {0, 1}},  {{0, 1}, {0, 3}},
                        {{0, 3}, {0, 1}},    {{0, 1}, {0, 2}}};
  for (const Case c : cases) {
    Drawn still(60, 50, c.still);
    const Pixels stillSet = still.Set();
    Drawn moving(60, 50, c.moving, 5, 4);
    const Pixels movingSet = moving.Set();
    GameWindow* w = still.scene.w();
    Sprite* mover =
        CreateSprite(w, 0, 0, still.scene.AddBox(11, 9, kRed, 5, 4), 1, 0, 0, kSpriteCollides, 5);
    const int image = static_cast<int>(mover->currentImage);
    int hits = 0;
    for (int dy = -30; dy <= 30; ++dy)
      for (int dx = -40; dx <= 40; ++dx) {
        bool expected = false;
        for (const auto& p : movingSet)
          expected |= stillSet.count({p.first + dx, p.second + dy}) > 0;
        const Sprite* found = FindCollidingSprite(w, mover, image, 60 + dx, 50 + dy, c.moving.angle,
                                                  c.moving.scale, c.moving.scale, 0, 0);
        hits += expected;
        ASSERT_EQ(found == still.sprite, expected)
            << "still " << c.still.angle << "/" << c.still.scale << " moving " << c.moving.angle
            << "/" << c.moving.scale << " offset " << dx << "," << dy;
      }
    EXPECT_GT(hits, 20);
  }
}

struct Board {
  Scene scene{32, 200, 150, 64};
  int box, hollow;
  GameWindow* w() { return scene.w(); }
  Board() {
    box = scene.AddBox(10, 10, kRed, 0, 0, false);  // solid 10 x 10
    // Solid only in its left and right columns.
    std::vector<std::uint32_t> pixels(100, 0x00FF00);
    for (int y = 0; y < 10; ++y) pixels[y * 10] = pixels[y * 10 + 9] = 0xFF0000;
    hollow = AddImage(scene.bank.get(), 10, 10, 0, 0, 0, 0, 0x00FF00, 8, pixels.data(), nullptr);
    SetFineCollision(scene.w(), 1);
  }
  Sprite* Add(int x, int y, int image, int layer = 1, std::uint32_t flags = kSpriteCollides) {
    return CreateSprite(w(), x, y, image, layer, 0, 0, flags, x * 1000 + y);
  }
};

TEST(SpriteCollisionRules, BoxesEdgesAndFineCollision) {
  Board b;
  Sprite* still = b.Add(50, 50, b.hollow);
  Sprite* mover = b.Add(0, 0, b.box);
  // Touching along an edge is no collision; one pixel more is.
  EXPECT_EQ(FindCollidingSprite(b.w(), mover, b.box, 40, 50, 0, 1, 1, 0, 0), nullptr);
  EXPECT_EQ(FindCollidingSprite(b.w(), mover, b.box, 41, 50, 0, 1, 1, 0, 0), still);
  // Overlapping only the transparent middle: a miss with fine collision, a hit without.
  EXPECT_EQ(FindCollidingSprite(b.w(), mover, b.box, 53, 50, 0, 0.25f, 1, 0, 0), nullptr);
  SetFineCollision(b.w(), 0);
  EXPECT_EQ(FindCollidingSprite(b.w(), mover, b.box, 53, 50, 0, 0.25f, 1, 0, 0), still);
  // Points: the right edge is outside; a rectangle starting there passes the box test.
  EXPECT_EQ(FindSpriteAtPoint(b.w(), nullptr, -1, 60, 55, 0), nullptr);
  EXPECT_EQ(FindSpriteAtPoint(b.w(), nullptr, -1, 59, 55, 0), still);
  EXPECT_EQ(FindSpriteInRect(b.w(), nullptr, -1, 60, 55, 3, 3, 0), still);
  SetFineCollision(b.w(), 1);
  EXPECT_EQ(FindSpriteInRect(b.w(), nullptr, -1, 60, 55, 3, 3, 0), nullptr);
  EXPECT_EQ(FindSpriteInRect(b.w(), nullptr, -1, 52, 52, 4, 4, 0), nullptr);  // the hole
  EXPECT_EQ(FindSpriteAtPoint(b.w(), nullptr, -1, 55, 55, 0), nullptr);
  // Scale 0 (and a negative scale, stored as 0) finds nothing.
  EXPECT_EQ(FindCollidingSprite(b.w(), mover, b.box, 50, 50, 0, 0, 1, 0, 0), nullptr);
  EXPECT_EQ(FindAllCollidingSprites(b.w(), mover, nullptr, b.box, 50, 50, 0, 1, -2, 0), 0);
  // A missing image finds nothing; a sprite that does not collide finds nothing.
  EXPECT_EQ(FindCollidingSprite(b.w(), mover, 999, 50, 50, 0, 1, 1, 0, 0), nullptr);
  SetSpriteBit0(b.w(), mover, 0);
  EXPECT_EQ(FindCollidingSprite(b.w(), mover, b.box, 50, 50, 0, 1, 1, 0, 0), nullptr);
  SetSpriteBit0(b.w(), mover, 1);
  // Delete pending: never found, by any query.
  KillSprite(b.w(), still);
  EXPECT_EQ(FindCollidingSprite(b.w(), mover, b.box, 50, 50, 0, 1, 1, 0, 0), nullptr);
  EXPECT_EQ(FindSpriteAtPoint(b.w(), nullptr, -1, 50, 55, kCollideAnySprite), nullptr);
}

TEST(SpriteCollisionRules, ResultArraysCountsAndInPlaceFiltering) {
  Board b;
  std::vector<Sprite*> row;
  for (int i = 0; i < 6; ++i) row.push_back(b.Add(20 + 8 * i, 30, b.box));
  Sprite* mover = b.Add(0, 0, b.box);
  SpriteHit hits[16];
  const int n = FindAllCollidingSprites(b.w(), mover, hits, 0, 30, 30, 0, 1, 1, 0);
  EXPECT_EQ(FindAllCollidingSprites(b.w(), mover, nullptr, 0, 30, 30, 0, 1, 1, 0), n);
  ASSERT_EQ(n, 2);  // of 20..29, 28..37 and 36..45, two meet 30..39
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(hits[i].sprite, row[static_cast<size_t>(i) + 1]);
    EXPECT_EQ(hits[i].userValue, row[static_cast<size_t>(i) + 1]->userValue);
  }
  EXPECT_EQ(hits[n].sprite, nullptr);
  // Filtering the array in place by a second position keeps the ones still touched, in order.
  EXPECT_EQ(FindAllCollidingSprites(b.w(), mover, hits, 0, 38, 30, 0, 1, 1, kCollideFromArray), 1);
  EXPECT_EQ(hits[0].sprite, row[2]);
  EXPECT_EQ(hits[1].sprite, nullptr);
  // The filter form over a separate candidate list; feet: only the bottom 6 rows.
  SpriteHit candidates[] = {{row[0], 0}, {row[1], 0}, {nullptr, 0}};
  SpriteHit out[4];
  EXPECT_EQ(FilterCollidingSprites(b.w(), mover, out, candidates, 0, 22, 22, 0, 1, 1, 0), 2);
  EXPECT_EQ(FilterCollidingSprites(b.w(), mover, out, candidates, 0, 22, 22, 0, 1, 1, kCollideFeet),
            2);
  EXPECT_EQ(FilterCollidingSprites(b.w(), mover, out, candidates, 0, 22, 36, 0, 1, 1, 0), 2);
  EXPECT_EQ(FilterCollidingSprites(b.w(), mover, out, candidates, 0, 22, 36, 0, 1, 1, kCollideFeet),
            0);
  EXPECT_EQ(out[0].sprite, nullptr);
  // Bottom rows of the single form: from y 35 only the last 6 rows reach down to row 39.
  EXPECT_EQ(FindCollidingSprite(b.w(), mover, b.box, 22, 35, 0, 1, 1, 4, 0), nullptr);
  EXPECT_EQ(FindCollidingSprite(b.w(), mover, b.box, 22, 35, 0, 1, 1, 6, 0), row[0]);
  EXPECT_EQ(FindCollidingSprite(b.w(), mover, b.box, 22, 35, 0, 1, 1, 0, 0), row[0]);
}

TEST(SpriteCollisionRules, LayerFilterOptionsAndTopEdges) {
  Board b;
  Sprite* low = b.Add(10, 10, b.box, 1);
  Sprite* high = b.Add(10, 10, b.box, 2);
  Sprite* quiet = b.Add(10, 10, b.box, 3, 0);  // not collision-enabled
  Sprite* ground = b.Add(10, 10, b.box, 2, kSpriteCollides | kSpriteSortsFirst | kSpriteHasTopEdge);
  EXPECT_EQ(FindSpriteAtPoint(b.w(), nullptr, -1, 15, 15, 0), low);
  EXPECT_EQ(FindSpriteAtPoint(b.w(), low, -1, 15, 15, 0), high);
  EXPECT_EQ(FindSpriteAtPoint(b.w(), high, -1, 15, 15, 0), nullptr);
  EXPECT_EQ(FindSpriteAtPoint(b.w(), high, -1, 15, 15, kCollideAnySprite), quiet);
  EXPECT_EQ(FindSpriteAtPoint(b.w(), nullptr, 2, 15, 15, 0), high);
  EXPECT_EQ(FindSpriteAtPoint(b.w(), nullptr, 4, 15, 15, 0), nullptr);
  EXPECT_EQ(FindSpriteInRect(b.w(), nullptr, 3, 0, 0, 100, 100, kCollideAnySprite), quiet);
  // Top-edge queries look at even keys and use the top-edge mask: rows 0-5 of the box.
  EXPECT_EQ(FindSpriteAtPoint(b.w(), nullptr, -1, 15, 15, kCollideTopEdge), ground);
  EXPECT_EQ(FindSpriteAtPoint(b.w(), nullptr, 2, 15, 15, kCollideTopEdge), ground);
  EXPECT_EQ(FindSpriteAtPoint(b.w(), nullptr, -1, 15, 17, kCollideTopEdge), nullptr);
  EXPECT_EQ(FindSpriteAtPoint(b.w(), nullptr, -1, 15, 15, kCollideTopEdge | kCollideSkipTopEdge),
            nullptr);
  EXPECT_EQ(FindSpriteInRect(b.w(), nullptr, -1, 12, 16, 4, 4, kCollideTopEdge), nullptr);
  EXPECT_EQ(FindSpriteInRect(b.w(), nullptr, -1, 12, 15, 4, 4, kCollideTopEdge), ground);
  // A moving sprite searches only its own layer's key.
  EXPECT_EQ(FindCollidingSprite(b.w(), high, b.box, 12, 12, 0, 1, 1, 0, 0), nullptr);
  EXPECT_EQ(FindCollidingSprite(b.w(), high, b.box, 12, 12, 0, 1, 1, 0, kCollideTopEdge), ground);
  EXPECT_EQ(FindCollidingSprite(b.w(), high, b.box, 12, 17, 0, 1, 1, 0, kCollideTopEdge), nullptr);
  EXPECT_EQ(FindCollidingSprite(b.w(), ground, b.box, 12, 12, 0, 1, 1, 0, 0), high);
}

TEST(SpriteCollisionRules, CandidatesComeInDisplayOrder) {
  Board b;
  std::mt19937 rng(3);
  std::vector<Sprite*> all;
  for (int i = 0; i < 60; ++i)
    all.push_back(CreateSprite(b.w(), static_cast<int>(rng() % 150), static_cast<int>(rng() % 110),
                               b.box, 1, static_cast<int>(rng() % 3), 0, kSpriteCollides, i));
  for (int i = 0; i < 20; ++i) SwapSprites(b.w(), all[rng() % 60], all[rng() % 60]);
  for (int i = 0; i < 60; ++i)
    ModifySprite(b.w(), all[static_cast<size_t>(i)], static_cast<int>(rng() % 150),
                 static_cast<int>(rng() % 110), b.box);
  b.scene.Frame();
  Sprite* mover = all[0];
  SpriteHit hits[64];
  for (int y = 0; y < 120; y += 7)
    for (int x = 0; x < 160; x += 9) {
      const int n = FindAllCollidingSprites(b.w(), mover, hits, 0, x, y, 0, 3, 3, 0);
      std::vector<Sprite*> expected;
      const RECT box{x, y, x + 30, y + 30};
      for (Sprite* s : b.scene.List()) {
        const RECT& r = s->current.rect;
        if (s != mover && r.left < box.right && box.left < r.right && r.top < box.bottom &&
            box.top < r.bottom)
          expected.push_back(s);
      }
      ASSERT_EQ(n, static_cast<int>(expected.size()));
      for (int i = 0; i < n; ++i) EXPECT_EQ(hits[i].sprite, expected[static_cast<size_t>(i)]);
      EXPECT_EQ(FindCollidingSprite(b.w(), mover, 0, x, y, 0, 3, 3, 0, 0),
                n ? expected[0] : nullptr);
    }
}

std::intptr_t OwnerCallback(Sprite*, int code, std::intptr_t kind) {
  static std::vector<std::uint8_t> block = [] {
    std::vector<std::uint8_t> m(static_cast<size_t>(MaskBlockSize(4, 4)), 0);
    auto* header = reinterpret_cast<CollisionMask*>(m.data());
    header->bitsOffset = kCollisionMaskHeaderSize;
    header->width = header->height = 4;
    header->rowBytes = 2;
    MaskBits(header)[0] = 0x1;  // only pixel (0, 0)
    return m;
  }();
  return code == kSpriteGetMask && kind == 0 ? reinterpret_cast<std::intptr_t>(block.data()) : 0;
}

TEST(SpriteCollisionRules, OwnerDrawnAndBoxOnlySprites) {
  Board b;
  Sprite* owner =
      CreateOwnerDrawnSprite(b.w(), 30, 30, 34, 34, 1, 0, 0, kSpriteCollides, 1, OwnerCallback);
  Sprite* boxOnly = b.Add(60, 30, b.hollow, 1, kSpriteCollides | kSpriteBoxOnly);
  Sprite* mover = b.Add(0, 0, b.box);
  EXPECT_NE(GetSpriteMask(b.w(), owner, 0, 0), nullptr);
  EXPECT_EQ(GetSpriteMask(b.w(), owner, 0, 1), nullptr);
  EXPECT_EQ(FindSpriteAtPoint(b.w(), nullptr, -1, 30, 30, 0), owner);
  EXPECT_EQ(FindSpriteAtPoint(b.w(), nullptr, -1, 31, 30, 0), nullptr);
  EXPECT_EQ(FindCollidingSprite(b.w(), mover, b.box, 21, 21, 0, 1, 1, 0, 0), owner);
  EXPECT_EQ(FindCollidingSprite(b.w(), mover, b.box, 20, 21, 0, 1, 1, 0, 0), nullptr);
  EXPECT_EQ(FindCollidingSprite(b.w(), mover, b.box, 21, 20, 0, 1, 1, 0, 0), nullptr);
  // A box-only sprite is hit in its transparent middle.
  EXPECT_EQ(FindSpriteAtPoint(b.w(), nullptr, -1, 65, 35, 0), boxOnly);
  EXPECT_EQ(FindCollidingSprite(b.w(), mover, b.box, 55, 25, 0, 0.6f, 1, 0, 0), boxOnly);
  // The mask comes from the bank once and is the same block every time.
  Sprite* plain = b.Add(100, 100, b.box);
  EXPECT_EQ(GetSpriteMask(b.w(), plain, 0, 0), GetSpriteMask(b.w(), plain, b.box, 0));
  EXPECT_EQ(GetSpritePendingMask(b.w(), plain, 0), GetSpriteMask(b.w(), plain, 0, 0));
  EXPECT_EQ(GetSpriteMask(nullptr, plain, 0, 0), nullptr);
}

TEST(SpriteCollisionMap, ScrollPlanesAndBoxes) {
  Board b;
  GameWindow* w = b.w();
  ASSERT_EQ(CreateCollisionMap(w, 0, 0, 255, 199, kMapSolidPlane | kMapTopEdgePlane), 1);
  ClearCollisionMap(w, 0);
  FillCollisionMapRect(w, 100, 80, 100, 80, 1);  // one solid pixel
  FillCollisionMapRect(w, 20, 20, 29, 20, 2);    // a top-edge line
  Sprite* s = b.Add(0, 0, b.hollow);
  // The hollow sprite meets the pixel with a side column only.
  EXPECT_EQ(TestSpriteInMap(w, s, 0, 91, 75, 0, 1, 1, 0, 0), 1);
  EXPECT_EQ(TestSpriteInMap(w, s, 0, 95, 75, 0, 1, 1, 0, 0), 0);
  EXPECT_EQ(TestSpriteInMap(w, s, 0, 100, 80, 0, 1, 1, 0, 1), 0);  // not in the top-edge plane
  EXPECT_EQ(TestSpriteInMap(w, s, 0, 91, 15, 0, 1, 1, 0, 1), 0);
  EXPECT_EQ(TestSpriteInMap(w, s, 0, 15, 15, 0, 1, 1, 0, 1), 1);
  // Bottom rows: from y 71 the pixel lies in row 9, from 70 out of the last 9 rows.
  EXPECT_EQ(TestSpriteInMap(w, s, 0, 91, 71, 0, 1, 1, 1, 0), 1);
  EXPECT_EQ(TestSpriteInMap(w, s, 0, 91, 70, 0, 1, 1, 9, 0), 0);
  // Scrolled by (30, 20): display (70, 60) is playfield (100, 80).
  SetMapScroll(w, 30, 20);
  EXPECT_EQ(TestSpriteInMap(w, s, 0, 61, 55, 0, 1, 1, 0, 0), 1);
  EXPECT_EQ(TestSpriteInMap(w, s, 0, 91, 75, 0, 1, 1, 0, 0), 0);
  // Turned a quarter: the side columns become the top and bottom rows.
  EXPECT_EQ(TestSpriteInMap(w, s, 0, 65, 61, 90, 1, 1, 0, 0), 1);
  EXPECT_EQ(TestSpriteInMap(w, s, 0, 65, 65, 90, 1, 1, 0, 0), 0);
  // Without fine collision the box decides.
  SetFineCollision(w, 0);
  EXPECT_EQ(TestSpriteInMap(w, s, 0, 65, 55, 0, 1, 1, 0, 0), 1);
  SetMapScroll(w, 0, 0);
  w->solidPlaneOffset = -1;
  EXPECT_EQ(TestSpriteInMap(w, s, 0, 95, 75, 0, 1, 1, 0, 0), 0);
}

// A one-pixel map answers for the sprite at its own place what the point test answers there.
TEST(SpriteCollisionMap, OnePixelMapsAgreeWithThePointTest) {
  const Pose poses[] = {{0, 2}, {90, 1}, {30, 1}, {270, 1.5f}};
  for (const Pose pose : poses) {
    Drawn d(60, 50, pose);
    GameWindow* w = d.scene.w();
    ASSERT_EQ(CreateCollisionMap(w, 0, 0, 159, 119, kMapSolidPlane), 1);
    const SpriteGeometry& g = d.sprite->current;
    const RECT r = g.rect;
    for (int y = r.top - 1; y <= r.bottom; ++y)
      for (int x = r.left - 1; x <= r.right; ++x) {
        ClearCollisionMap(w, 0);
        FillCollisionMapRect(w, x, y, x, y, 1);
        EXPECT_EQ(TestSpriteInMap(w, d.sprite, 0, g.x, g.y, g.angle, g.scaleX, g.scaleY, 0, 0),
                  FindSpriteAtPoint(w, d.sprite, -1, x, y, kCollideOnlyThis) ? 1 : 0)
            << "angle " << pose.angle << " scale " << pose.scale << " at " << x << "," << y;
      }
  }
}

}  // namespace
