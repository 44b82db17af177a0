// Overlap lists against a from-scratch model, and marking of retained neighbours.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include <vexa/sprite.h>

#include "sprite/sprite_internal.h"
#include "sprite/sprite_scene.h"

namespace {

using spritetest::Scene;

bool Meet(const RECT& a, const RECT& b) {  // an empty rectangle meets nothing
  if (a.left >= a.right || a.top >= a.bottom || b.left >= b.right || b.top >= b.bottom)
    return false;
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

RECT Ringed(const RECT& r, const Sprite* s) {
  if (!(s->ink & kInkSmoothing)) return r;
  return RECT{r.left - 1, r.top - 1, r.right + 1, r.bottom + 1};
}

// The documented rebuild, by a scan over every sprite.
void ModelRebuild(std::set<std::pair<Sprite*, Sprite*>>& pairs, const std::vector<Sprite*>& all,
                  Sprite* s) {
  const RECT cur = Ringed(s->current.rect, s), pend = Ringed(s->pending.rect, s);
  const RECT area{std::min(cur.left, pend.left), std::min(cur.top, pend.top),
                  std::max(cur.right, pend.right), std::max(cur.bottom, pend.bottom)};
  for (Sprite* o : all) {
    if (o == s) continue;
    const bool meets =
        Meet(area, Ringed(o->current.rect, o)) || Meet(area, Ringed(o->pending.rect, o));
    const auto key = std::minmax(s, o);
    if (meets)
      pairs.insert(key);
    else
      pairs.erase(key);
  }
}

using Pairs = std::set<std::pair<Sprite*, Sprite*>>;

Pairs Listed(GameWindow* w, const std::vector<Sprite*>& all) {
  sprite::SettleOverlaps(w);  // lists are rebuilt when read
  Pairs out;
  for (Sprite* s : all) {
    if (!s->overlapComplete) {
      EXPECT_EQ(s->overlapCount, 0) << "only sprites retained at their rebuild keep lists";
      continue;
    }
    for (int i = 0; i < s->overlapCount; ++i) {
      Sprite* o = s->overlaps[i];
      EXPECT_NE(o, s);
      if (o->overlapComplete) {
        EXPECT_TRUE(sprite::ListContains(o, s)) << "keepers list each other";
      }
      out.insert(std::minmax(s, o));
    }
  }
  return out;
}

// Only lists of retained sprites are read, so only sprites retained at their last rebuild
// keep lists: those lists hold exactly the model's pairs with such a sprite. Every retained
// sprite keeps one.
void ExpectListsAsModel(GameWindow* w, const std::vector<Sprite*>& all, const Pairs& model,
                        int step) {
  const Pairs listed = Listed(w, all);
  for (Sprite* s : all) {
    if (s->flags & kSpriteRetained) {
      ASSERT_TRUE(s->overlapComplete) << "step " << step;
    }
  }
  for (const auto& [a, b] : listed) {
    ASSERT_TRUE(model.count({a, b})) << "step " << step << ": a pair the rebuild drops";
  }
  for (const auto& [a, b] : model) {
    if (a->overlapComplete || b->overlapComplete) {
      ASSERT_TRUE(listed.count({a, b})) << "step " << step << ": a pair missing";
    }
  }
}

// Makes `s` retained or not, by either interface; becoming retained rebuilds its list.
void SetRetained(GameWindow* w, Pairs& model, const std::vector<Sprite*>& all, Sprite* s,
                 bool retained, bool byFlags) {
  const bool was = (s->flags & kSpriteRetained) != 0;
  if (byFlags)
    SetSpriteFlags(w, s, retained ? s->flags | kSpriteRetained : s->flags & ~kSpriteRetained);
  else
    SetSpriteState(w, s, retained ? 0 : 2);
  if (retained && !was) ModelRebuild(model, all, s);
}

// The documented rebuild as the redraw sees the rectangles: touched ones, the areas the redraw
// saved included, read as they are at the change.
void TouchedRebuild(Pairs& pairs, const std::vector<Sprite*>& all, Sprite* s) {
  const RECT area = sprite::Union(sprite::TouchedCurrent(s), sprite::TouchedPending(s));
  for (Sprite* o : all) {
    if (o == s) continue;
    const auto key = std::minmax(s, o);
    if (Meet(area, sprite::TouchedCurrent(o)) || Meet(area, sprite::TouchedPending(o)))
      pairs.insert(key);
    else
      pairs.erase(key);
  }
}

// Deletes a sprite from the window, the list of live sprites and the model.
void Delete(GameWindow* w, std::vector<Sprite*>& all, Pairs& pairs, Sprite* s) {
  DeleteSprite(w, s);
  all.erase(std::find(all.begin(), all.end(), s));
  for (auto it = pairs.begin(); it != pairs.end();)
    it = (it->first == s || it->second == s) ? pairs.erase(it) : std::next(it);
}

// Random creations, moves, ring changes, commits and deletions; the lists are read every
// `interval` steps. Long intervals queue many changes (sprites changed several times among
// them), which the settling does in one pass over the whole grid.
void CheckAgainstScan(int least, int interval, int spread, unsigned seed) {
  // A third of the sprites retained; others become retained or stop being so on the way.
  Scene scene(32, 640, 480, 600);
  GameWindow* w = scene.w();
  const int small = scene.AddBox(24, 24, 0x0000FF, 12, 12);
  const int large = scene.AddBox(300, 40, 0x00FF00, 0, 0);
  std::mt19937 rng(seed);
  std::vector<Sprite*> all;
  std::set<std::pair<Sprite*, Sprite*>> model;
  auto coordinate = [&] { return static_cast<int>(rng() % spread) - 300; };  // past the grid too
  for (int step = 0; step < 3000; ++step) {
    const int op = static_cast<int>(rng() % 10);
    if (all.size() < static_cast<size_t>(least) || op == 0) {
      Sprite* s = CreateSprite(w, coordinate(), coordinate(), rng() % 4 ? small : large, 0, 0, 0,
                               rng() % 3 ? 0 : kSpriteRetained, 0);
      if (!s) continue;
      all.push_back(s);
      ModelRebuild(model, all, s);
    } else if (op == 1) {
      Delete(w, all, model, all[rng() % all.size()]);
    } else if (op == 2 && interval <= 50) {
      CommitSprites(w);  // current = pending; lists stay as they are
    } else if (op == 4 && rng() % 3 == 0) {
      SetRetained(w, model, all, all[rng() % all.size()], rng() % 2, rng() % 2);
    } else if (op == 3) {
      Sprite* s = all[rng() % all.size()];
      const std::uint32_t ink = (rng() & 1) ? kInkSmoothing | kInkTransparent : kInkTransparent;
      const bool ringChanges = ((s->ink ^ ink) & kInkSmoothing) != 0;
      SetSpriteInk(w, s, ink, 0);
      if (ringChanges) ModelRebuild(model, all, s);  // only the ring moves rectangles
    } else {
      Sprite* s = all[rng() % all.size()];
      const int dx = static_cast<int>(rng() % 41) - 20, dy = static_cast<int>(rng() % 41) - 20;
      ModifySprite(w, s, s->pending.x + dx, s->pending.y + dy, s->pendingImage);
      if (dx || dy) ModelRebuild(model, all, s);
    }
    if (step % interval == 0 || step > 2900) {
      ASSERT_NO_FATAL_FAILURE(ExpectListsAsModel(w, all, model, step));
    }
  }
}

TEST(SpriteOverlap, IndexedListsEqualTheScanningRebuild) {
  ASSERT_NO_FATAL_FAILURE(CheckAgainstScan(20, 50, 2600, 3));  // few changes between reads
  // Most sprites queued at each read, densely packed.
  ASSERT_NO_FATAL_FAILURE(CheckAgainstScan(400, 700, 900, 5));
  ASSERT_NO_FATAL_FAILURE(CheckAgainstScan(150, 300, 700, 7));
}

// Whole frames between the reads, most sprites moving, in sizes from a few pixels to larger
// than the grid, some far outside it, with the areas the redraw saved taking part: the lists
// equal the rebuild at every change, which reads each sprite's rectangles as they are then.
TEST(SpriteOverlap, ListsAfterFramesOfMixedSizesEqualTheScanningRebuild) {
  Scene scene(32, 640, 480, 700);
  GameWindow* w = scene.w();
  std::mt19937 rng(23);
  std::vector<Sprite*> all;
  Pairs model;
  auto rebuild = [&](Sprite* s) { TouchedRebuild(model, all, s); };
  auto callback = +[](Sprite*, int, std::intptr_t) -> std::intptr_t { return 0; };
  // A new size and a place within `reach` of (x, y).
  auto place = [&](Sprite* s, int x, int y, int reach) {
    const int kind = static_cast<int>(rng() % 60);
    x += static_cast<int>(rng() % (2 * reach)) - reach;
    y += static_cast<int>(rng() % (2 * reach)) - reach;
    int width = 4 + static_cast<int>(rng() % 60), height = 4 + static_cast<int>(rng() % 60);
    if (kind == 0) width = 100 + static_cast<int>(rng() % 300);            // wider than two cells
    if (kind == 1) height = 2500 + static_cast<int>(rng() % 3000);         // taller than the grid
    if (kind == 2) x = 2000000000 + static_cast<int>(rng() % 100000000);   // far right
    if (kind == 3) y = -2000000000 - static_cast<int>(rng() % 100000000);  // far up
    if (kind == 4) width = 0;                                              // empty
    SetSpriteRect(w, s, x, y, x + width, y + height);
  };
  for (int i = 0; i < 600; ++i) {
    const std::uint32_t retained = i % 4 ? 0 : kSpriteRetained;
    Sprite* s =
        CreateOwnerDrawnSprite(w, 0, 0, 1, 1, 0, i, 0, kSpriteOwnerSaved | retained, 0, callback);
    ASSERT_NE(s, nullptr);
    all.push_back(s);
    rebuild(s);
    place(s, 320, 240, 450);
    rebuild(s);
  }
  for (int frame = 0; frame < 12; ++frame) {
    for (Sprite* s : all) {
      const unsigned op = rng() % 30;
      if (op < 21) {  // most move a little, some jump
        if (op == 0) {
          place(s, s->pending.rect.left, s->pending.rect.top, 60);
        } else {
          const int dx = static_cast<int>(rng() % 7) - 3, dy = static_cast<int>(rng() % 7) - 3;
          const RECT& p = s->pending.rect;
          SetSpriteRect(w, s, p.left + dx, p.top + dy, p.right + dx, p.bottom + dy);
        }
        rebuild(s);
      } else if (op < 24) {
        const bool ring = (rng() & 1) != 0;
        const bool changes = ((s->ink & kInkSmoothing) != 0) != ring;
        SetSpriteInk(w, s, ring ? kInkTransparent | kInkSmoothing : kInkTransparent, 0);
        if (changes) rebuild(s);
      } else if (op == 24) {
        const bool was = (s->flags & kSpriteRetained) != 0;
        SetSpriteState(w, s, was ? 2 : 0);
        if (!was) rebuild(s);
      }
    }
    ASSERT_NO_FATAL_FAILURE(ExpectListsAsModel(w, all, model, frame));
    // The redraw settles the lists before it changes rectangles; the model needs nothing.
    scene.Frame();
  }
}

// A settle over the whole grid leaves the grid's cells to be filled when next read. Searches
// after a few changes, deletions before the cells are filled and the collision search's
// candidates all see the sprites there are, and only those.
TEST(SpriteOverlap, CellsFilledWhenReadServeEveryLaterSearch) {
  Scene scene(32, 640, 480, 600);
  GameWindow* w = scene.w();
  const int image = scene.AddBox(24, 24, 0x0000FF, 12, 12);
  std::mt19937 rng(5);
  auto any = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  std::vector<Sprite*> all;
  Pairs model;
  auto queries = [&](int round) {
    for (int q = 0; q < 25; ++q) {
      const int x = any(700) - 30, y = any(540) - 30;
      const RECT area{x, y, x + 1 + any(90), y + 1 + any(90)};
      std::vector<Sprite*> found;
      ASSERT_TRUE(sprite::IndexedSprites(w, area, &found));
      for (Sprite* s : all) {
        const bool meets = Meet(area, s->current.rect) || Meet(area, s->pending.rect);
        ASSERT_TRUE(!meets || std::find(found.begin(), found.end(), s) != found.end())
            << "round " << round;
      }
      for (Sprite* s : found)
        ASSERT_NE(std::find(all.begin(), all.end(), s), all.end()) << "a deleted sprite";
    }
  };
  for (int i = 0; i < 400; ++i) {
    all.push_back(
        CreateSprite(w, any(640), any(480), image, 0, 0, 0, i % 3 ? 0 : kSpriteRetained, 0));
    ModelRebuild(model, all, all.back());
  }
  for (int round = 0; round < 4; ++round) {
    // Every sprite moved: the whole-grid search.
    for (Sprite* s : all) {
      ModifySprite(w, s, s->pending.x + any(21) - 10, s->pending.y + any(21) - 10, image);
      ModelRebuild(model, all, s);
    }
    ASSERT_NO_FATAL_FAILURE(ExpectListsAsModel(w, all, model, round));
    if (round % 2) {
      ASSERT_NO_FATAL_FAILURE(queries(round));  // before the cells are filled
    }
    for (int k = 0; k < 5; ++k) {
      Delete(w, all, model, all[static_cast<size_t>(any(static_cast<int>(all.size())))]);
    }
    // A few moves: the search of the queued sprites in their cells.
    for (int k = 0; k < 8; ++k) {
      Sprite* s = all[static_cast<size_t>(any(static_cast<int>(all.size())))];
      ModifySprite(w, s, s->pending.x + any(81) - 40, s->pending.y + any(81) - 40, image);
      ModelRebuild(model, all, s);
    }
    ASSERT_NO_FATAL_FAILURE(ExpectListsAsModel(w, all, model, round));
    ASSERT_NO_FATAL_FAILURE(queries(round));
  }
}

// The same sprites moving frame after frame past retained ones, as in a game: the lists
// equal the rebuild's after each frame, also when one of them stops, is deleted, another
// appears or a retained sprite moves too.
TEST(SpriteOverlap, ListsWhenTheSameSpritesMoveEveryFrame) {
  Scene scene(32, 640, 480, 500);
  GameWindow* w = scene.w();
  const int image = scene.AddBox(24, 24, 0x0000FF, 12, 12);
  std::mt19937 rng(31);
  auto any = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  std::vector<Sprite*> all, movers, still;
  Pairs model;
  auto rebuild = [&](Sprite* s) { TouchedRebuild(model, all, s); };
  for (int i = 0; i < 400; ++i) {
    const bool retained = i % 4 == 0;
    Sprite* s =
        CreateSprite(w, any(640), any(480), image, 0, i, 0, retained ? kSpriteRetained : 0, 0);
    ASSERT_NE(s, nullptr);
    all.push_back(s);
    (retained ? still : movers).push_back(s);
    rebuild(s);
  }
  auto move = [&](Sprite* s) {  // never in place: a move to where it is changes nothing
    const int dx = any(3) + 1, dy = any(7) - 3;
    ModifySprite(w, s, s->pending.x + (any(2) ? dx : -dx), s->pending.y + dy, image);
    rebuild(s);
  };
  for (int frame = 0; frame < 16; ++frame) {
    for (Sprite* s : movers)
      if (!(frame == 5 && s == movers[7])) move(s);  // frame 5: one of them stays
    if (frame == 8) {
      Delete(w, all, model, movers.back());
      movers.pop_back();
    }
    if (frame == 10) {
      movers.push_back(CreateSprite(w, any(640), any(480), image, 0, 999, 0, 0, 0));
      all.push_back(movers.back());
      rebuild(movers.back());
    }
    if (frame == 12) move(still[3]);
    ASSERT_NO_FATAL_FAILURE(ExpectListsAsModel(w, all, model, frame));
    scene.Frame();
  }
}

TEST(SpriteOverlap, MarkingLongChainsUsesNoRecursion) {
  const int count = 10000;
  Scene scene(32, 2600, 12, count);
  GameWindow* w = scene.w();
  const int image = scene.AddBox(3, 3, 0xFF0000, 0, 0, false);
  std::vector<Sprite*> chain;
  for (int i = 0; i < count; ++i)
    chain.push_back(CreateSprite(w, i / 4, (i % 4) * 2, image, 0, i, 0, kSpriteRetained, 0));
  ASSERT_EQ(chain.back() != nullptr, true);
  scene.Frame();
  for (Sprite* s : chain) ASSERT_EQ(s->flags & (kSpriteChanged | kSpriteUncovered), 0u);
  // Moving the first retained sprite reaches every retained sprite it is chained to.
  ModifySprite(w, chain.front(), 0, 1, image);
  int marked = 0;
  for (Sprite* s : chain) marked += (s->flags & kSpriteUncovered) ? 1 : 0;
  EXPECT_EQ(marked, count - 1);
  scene.Frame();
  for (Sprite* s : chain) ASSERT_EQ(s->flags & (kSpriteChanged | kSpriteUncovered), 0u);
}

}  // namespace
