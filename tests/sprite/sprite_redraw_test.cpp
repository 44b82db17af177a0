// The redraw cycle: incremental frames against drawings from scratch, and its rules.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <vexa/blit.h>
#include <vexa/image_bank.h>
#include <vexa/sprite.h>
#include <vexa/surface_object.h>

#include "sprite/sprite_internal.h"
#include "sprite/sprite_scene.h"
#include "support/recording_surface.h"
#include "support/surface_factory.h"

namespace {

using spritetest::Scene;

void Pattern(cSurfaceObject& s) {
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x)
      s.SetPixelColor(x, y,
                      static_cast<COLORREF>(((x * 7) & 0xFF) | (((y * 5) & 0xFF) << 8) |
                                            ((((x ^ y) * 3) & 0xFF) << 16)));
}

std::vector<std::uint32_t> Raw(cSurfaceObject& s) {
  cSurfaceImplementation* i = s.implementation;
  std::vector<std::uint32_t> out;
  for (int y = 0; y < i->height; ++y)
    for (int x = 0; x < i->width; ++x)  // the spare byte of 32-bit pixels is not a colour
      out.push_back(testsupport::RawPixel(*i, x, y) & (i->depth == 32 ? 0xFFFFFFu : ~0u));
  return out;
}

// The scene drawn from scratch: background, then every visible sprite in display order.
std::vector<std::uint32_t> FromScratch(Scene& scene) {
  auto reference = testsupport::MakeSurface(scene.buffer->GetDepth(), scene.buffer->GetWidth(),
                                            scene.buffer->GetHeight());
  if (scene.buffer->IsPaletted()) reference->SetPalette(scene.buffer->GetPalette(), 0);
  Pattern(*reference);
  cSurfaceImplementation* target = reference->implementation;
  const RECT clip{target->clipLeft, target->clipTop, target->clipRight, target->clipBottom};
  for (Sprite* s : scene.List()) {
    if (s->flags & kSpriteHidden) continue;
    const RECT& r = s->current.rect;
    if (!(r.left < clip.right && clip.left < r.right && r.top < clip.bottom && clip.top < r.bottom))
      continue;
    if ((s->ink & 0xFFF) == kEffectSemiTransparent && s->inkParameter == 128) continue;
    cSurfaceObject holder;
    cSurfaceImplementation* source = nullptr;
    const bool transformed =
        s->current.scaleX != 1.0f || s->current.scaleY != 1.0f || s->current.angle != 0.0f;
    if (transformed) {
      if (!s->transformed) continue;
      source = s->transformed->implementation;
    } else {
      if (!GetImageSurface(scene.bank.get(), static_cast<int>(s->currentImage), &holder, 0))
        continue;
      source = holder.implementation;
    }
    source->Blit(target, r.left, r.top, 0, 0, source->width, source->height,
                 (s->ink & kInkTransparent) ? kModeTransparent : kModeOpaque, s->ink & 0xFFFF,
                 s->inkParameter, (s->ink & kInkSmoothing) ? kBlitAntialias : 0);
  }
  return Raw(*reference);
}

// The client-area pixel of the window's framebuffer (0x00RRGGBB).
std::uint32_t FramePixel(HWND window, int x, int y) {
  SDL_Surface* s = plat::WindowFramebuffer(plat::GetTopLevel(window));
  if (!s) return 0xDEADBEEF;
  return *reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(s->pixels) +
                                                 y * s->pitch + x * 4) &
         0xFFFFFF;
}

bool InDirty(const DirtyRectList& list, int x, int y) {
  for (int i = 0; i < list.count; ++i) {
    const RECT& r = list.rects[i];
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  }
  return false;
}

struct Params {
  int depth;
  bool privateSaves;
};

class IncrementalRedraw : public ::testing::TestWithParam<Params> {};

TEST_P(IncrementalRedraw, EqualsDrawingFromScratch) {
  const Params p = GetParam();
  Scene scene(p.depth, 150, 110, 80);
  GameWindow* w = scene.w();
  if (p.privateSaves) w->state |= kGameStatePrivateSaves;
  Pattern(*scene.buffer);
  const RECT all{0, 0, scene.buffer->GetWidth(), scene.buffer->GetHeight()};
  AddDirtyRect(w, &all);
  ASSERT_EQ(PresentWindow(w), 1);
  std::mt19937 rng(static_cast<unsigned>(p.depth * 10 + p.privateSaves));
  std::vector<int> images;
  for (int i = 0; i < 6; ++i)
    images.push_back(scene.AddBox(4 + static_cast<int>(rng() % 30),
                                  4 + static_cast<int>(rng() % 24), rng() & 0xFFFFFF,
                                  static_cast<int>(rng() % 4), static_cast<int>(rng() % 4)));
  std::vector<Sprite*> live;
  auto position = [&] { return static_cast<int>(rng() % 200) - 25; };
  auto anyImage = [&] { return images[rng() % images.size()]; };
  const std::uint32_t inks[] = {kInkTransparent,
                                kInkTransparent | kEffectSemiTransparent,
                                kInkTransparent | kEffectAdd,
                                kEffectNone,
                                kInkTransparent | kInkSmoothing,
                                kInkTransparent | kEffectSemiTransparent};
  for (int frame = 0; frame < 120; ++frame) {
    const int changes = 1 + static_cast<int>(rng() % 8);
    for (int c = 0; c < changes; ++c) {
      const int op = static_cast<int>(rng() % 16);
      if (live.size() < 6 || op == 0) {
        Sprite* s =
            CreateSprite(w, position(), position(), anyImage(), static_cast<int>(rng() % 3),
                         static_cast<int>(rng() % 5), 0, rng() % 5 == 0 ? kSpriteRetained : 0, 0);
        if (s) live.push_back(s);
        continue;
      }
      Sprite* s = live[rng() % live.size()];
      Sprite* o = live[rng() % live.size()];
      switch (op) {
        case 1:
        case 2:
        case 3:
          ModifySprite(w, s, s->pending.x + static_cast<int>(rng() % 21) - 10,
                       s->pending.y + static_cast<int>(rng() % 21) - 10,
                       rng() % 4 ? s->pendingImage : anyImage());
          break;
        case 4:
          ShowSprite(w, s, static_cast<int>(rng() & 1));
          break;
        case 5:
          KillSprite(w, s);
          live.erase(std::find(live.begin(), live.end(), s));
          break;
        case 6:
          SpriteToFront(w, s);
          break;
        case 7:
          MoveSpriteAcross(w, s, o);
          break;
        case 8:
          SwapSprites(w, s, o);
          break;
        case 9: {
          const std::uint32_t ink = inks[rng() % 6];
          SetSpriteInk(w, s, ink, (ink & 0xFFF) == kEffectSemiTransparent ? (rng() % 3) * 64 : 0);
          break;
        }
        case 10:
          SetSpriteScale(w, s, rng() % 2 ? 1.5f : 1.0f, rng() % 2 ? 0.5f : 1.0f, 0);
          break;
        case 11:
          SetSpriteAngle(w, s, static_cast<float>(rng() % 8) * 45.0f + 7.0f * (rng() % 2), 0);
          break;
        case 12:
          SetSpriteState(w, s, rng() % 2 ? 0 : 2);
          break;
        case 13:
          SetSpriteLayer(w, s, static_cast<int>(rng() % 3));
          break;
        case 14:
          s->flags |= kSpriteRetained;  // as a game writing the record's field
          break;
        default:
          break;
      }
    }
    const std::vector<std::uint32_t> before = Raw(*scene.buffer);
    scene.dirty().count = 0;
    scene.Frame();
    const std::vector<std::uint32_t> after = Raw(*scene.buffer);
    ASSERT_EQ(after, FromScratch(scene)) << "frame " << frame;
    for (Sprite* s : scene.List()) {
      if (s->saved.left == -1 && s->saved.top == -1) continue;
      const int ring = (s->ink & kInkSmoothing) ? 1 : 0;
      const RECT& r = s->current.rect;
      ASSERT_TRUE(s->saved.left >= r.left - ring && s->saved.right <= r.right + ring &&
                  s->saved.top >= r.top - ring && s->saved.bottom <= r.bottom + ring)
          << "a sprite saves only what it covers";
    }
    const int width = scene.buffer->GetWidth();
    for (size_t i = 0; i < after.size(); ++i)
      if (after[i] != before[i]) {
        const int x = static_cast<int>(i) % width, y = static_cast<int>(i) / width;
        ASSERT_TRUE(InDirty(scene.dirty(), x, y))
            << "frame " << frame << " pixel " << x << "," << y;
      }
    // What the window shows after presenting the dirty rectangles is the back buffer.
    PresentWindow(w);
    if (frame % 10 == 9)
      for (int y = 0; y < scene.buffer->GetHeight(); ++y)
        for (int x = 0; x < width; ++x) {
          const COLORREF c = testsupport::Read(*scene.buffer, x, y);
          const std::uint32_t rgb = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
          ASSERT_EQ(FramePixel(w->window, x, y), rgb)
              << "frame " << frame << " at " << x << "," << y;
        }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, IncrementalRedraw,
                         ::testing::Values(Params{32, false}, Params{32, true}, Params{16, false},
                                           Params{16, true}, Params{8, false}, Params{8, true}),
                         [](const auto& info) {
                           return std::to_string(info.param.depth) +
                                  (info.param.privateSaves ? "BitPrivateSaves" : "BitShared");
                         });

bool Overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::int64_t Area(const RECT& r) { return std::int64_t{r.right - r.left} * (r.bottom - r.top); }

// The listed rectangles overlap nothing listed and lie on the display.
void ExpectDisjointOnDisplay(Scene& scene) {
  const DirtyRectList& list = scene.dirty();
  const RECT display{0, 0, scene.buffer->GetWidth(), scene.buffer->GetHeight()};
  for (int i = 0; i < list.count; ++i) {
    const RECT& r = list.rects[i];
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= display.right &&
                r.bottom <= display.bottom && r.left < r.right && r.top < r.bottom)
        << "rectangle " << i;
    for (int j = 0; j < i; ++j)
      EXPECT_FALSE(Overlap(r, list.rects[j])) << "rectangles " << j << " and " << i;
  }
}

// Every pixel that differs between the two pictures lies in a listed rectangle.
bool ChangesListed(Scene& scene, const std::vector<std::uint32_t>& before,
                   const std::vector<std::uint32_t>& after) {
  const int width = scene.buffer->GetWidth();
  for (size_t i = 0; i < after.size(); ++i)
    if (after[i] != before[i] &&
        !InDirty(scene.dirty(), static_cast<int>(i) % width, static_cast<int>(i) / width))
      return false;
  return true;
}

// A chain of sprites, each overlapping the next, along the display's diagonal: merged into
// bounding boxes their rectangles would make one box of the whole display; reported by tiles
// they stay a band along the diagonal, within a tile of the sprites' places.
TEST(DirtyReport, CrowdsStayWithinATileOfTheSprites) {
  Scene scene(32, 203, 197, 40);
  GameWindow* w = scene.w();
  Pattern(*scene.buffer);
  const int box = scene.AddBox(16, 16, 0x3366CC);
  std::vector<Sprite*> chain;
  for (int i = 0; i < 20; ++i) chain.push_back(CreateSprite(w, i * 9, i * 9, box, 0, i, 0, 0, 0));
  scene.Frame();
  PresentWindow(w);
  for (int frame = 0; frame < 6; ++frame) {
    std::vector<RECT> places;  // before and after the move, with a pixel to spare each side
    for (Sprite* s : chain) places.push_back(sprite::Grow(s->current.rect, 2));
    for (Sprite* s : chain) ModifySprite(w, s, s->pending.x + 1, s->pending.y, s->pendingImage);
    for (Sprite* s : chain) places.push_back(sprite::Grow(s->pending.rect, 2));
    const std::vector<std::uint32_t> before = Raw(*scene.buffer);
    scene.Frame();
    const std::vector<std::uint32_t> after = Raw(*scene.buffer);
    ExpectDisjointOnDisplay(scene);
    const int width = scene.buffer->GetWidth(), height = scene.buffer->GetHeight();
    ASSERT_TRUE(ChangesListed(scene, before, after)) << "frame " << frame;
    std::int64_t listed = 0;
    for (int i = 0; i < scene.dirty().count; ++i) {
      const RECT& r = scene.dirty().rects[i];
      listed += Area(r);
      // Every 8 x 8 tile the rectangle covers holds part of a sprite's place.
      for (int ty = r.top / 8; ty * 8 < r.bottom; ++ty)
        for (int tx = r.left / 8; tx * 8 < r.right; ++tx) {
          const RECT tile{tx * 8, ty * 8, tx * 8 + 8, ty * 8 + 8};
          ASSERT_TRUE(std::any_of(places.begin(), places.end(),
                                  [&](const RECT& p) { return Overlap(p, tile); }))
              << "frame " << frame << ": tile " << tx << "," << ty << " is far from any sprite";
        }
    }
    EXPECT_LT(listed, std::int64_t{width} * height / 2) << "frame " << frame;
    PresentWindow(w);
  }
}

// Rectangles the host lists at odd places, covering tiles in part, stay covered; frames that
// are not presented add to the same list; the presented window shows the back buffer.
TEST(DirtyReport, HostRectanglesAndUnpresentedFramesStayCovered) {
  Scene scene(32, 150, 110, 40);
  GameWindow* w = scene.w();
  Pattern(*scene.buffer);
  const RECT all{0, 0, 150, 110};
  AddDirtyRect(w, &all);
  ASSERT_EQ(PresentWindow(w), 1);
  std::mt19937 rng(7);
  std::vector<int> images;
  for (int i = 0; i < 3; ++i)
    images.push_back(scene.AddBox(5 + static_cast<int>(rng() % 20),
                                  5 + static_cast<int>(rng() % 20), rng() & 0xFFFFFF));
  std::vector<Sprite*> live;
  for (int i = 0; i < 25; ++i)
    live.push_back(CreateSprite(w, static_cast<int>(rng() % 170) - 10,
                                static_cast<int>(rng() % 130) - 10, images[i % 3], 0, i, 0,
                                i % 4 == 0 ? kSpriteRetained : 0, 0));
  for (int frame = 0; frame < 40; ++frame) {
    for (Sprite* s : live)
      if (rng() % 3)
        ModifySprite(w, s, s->pending.x + static_cast<int>(rng() % 9) - 4,
                     s->pending.y + static_cast<int>(rng() % 9) - 4, s->pendingImage);
    const std::vector<std::uint32_t> before = Raw(*scene.buffer);
    const std::vector<RECT> listedBefore(scene.dirty().rects,
                                         scene.dirty().rects + scene.dirty().count);
    const int odd = static_cast<int>(rng() % 60);
    const RECT host{odd + 1, odd / 2 + 3, odd + 13 + frame % 5, odd / 2 + 30};
    if (frame % 3) AddDirtyRect(w, &host);
    scene.Frame();
    const std::vector<std::uint32_t> after = Raw(*scene.buffer);
    const int width = scene.buffer->GetWidth();
    ASSERT_TRUE(ChangesListed(scene, before, after)) << "frame " << frame;
    std::vector<RECT> kept = listedBefore;
    if (frame % 3) kept.push_back(host);
    for (const RECT& r : kept)
      for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
          ASSERT_TRUE(InDirty(scene.dirty(), x, y)) << "frame " << frame << " at " << x << "," << y;
    if (frame % 4 == 3) continue;  // not presented: the next frame adds to this list
    PresentWindow(w);
    for (int y = 0; y < scene.buffer->GetHeight(); ++y)
      for (int x = 0; x < width; ++x) {
        const COLORREF c = testsupport::Read(*scene.buffer, x, y);
        const std::uint32_t rgb = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
        ASSERT_EQ(FramePixel(w->window, x, y), rgb) << "frame " << frame << " at " << x << "," << y;
      }
  }
}

// A game may set the retained flag in the sprite record itself. The sprite's overlap list then
// still lacks the moving sprites around it (only retained sprites list them), and is completed
// before the redraw reads it: a sprite passing behind is covered by it, not drawn over it.
TEST(SpriteRedraw, ARetainedFlagWrittenDirectlyStillSeesWhatPassesBehind) {
  Scene scene(32, 64, 48);
  GameWindow* w = scene.w();
  Pattern(*scene.buffer);
  const int image = scene.AddBox(10, 10, 0x0000FF);
  const int other = scene.AddBox(10, 10, 0x00FF00);
  Sprite* behind = CreateSprite(w, 2, 20, other, 0, 0, 0, 0, 0);
  Sprite* front = CreateSprite(w, 20, 20, image, 0, 1, 0, 0, 0);
  scene.Frame();
  front->flags |= kSpriteRetained;
  scene.Frame();
  for (int x : {8, 16, 24, 40}) {
    ModifySprite(w, behind, x, 20, other);
    scene.Frame();
    ASSERT_EQ(Raw(*scene.buffer), FromScratch(scene)) << "behind at " << x;
  }
  EXPECT_TRUE(front->overlapComplete);
}

TEST(SpriteRedraw, HidingKillingAndClipping) {
  Scene scene(32, 64, 48);
  GameWindow* w = scene.w();
  Pattern(*scene.buffer);
  const int image = scene.AddBox(10, 10, 0x0000FF);
  Sprite* never = CreateSprite(w, 5, 5, image, 0, 0, 0, 0, 0);
  ShowSprite(w, never, 0);
  EXPECT_TRUE(never->flags & kSpriteHidden) << "never drawn: hidden at once";
  Sprite* drawn = CreateSprite(w, 20, 20, image, 0, 0, 0, 0, 0);
  Sprite* outside = CreateSprite(w, 200, 5, image, 0, 0, 0, 0, 0);
  scene.Frame();
  EXPECT_EQ(drawn->saved.left, 20);
  EXPECT_EQ(outside->saved.left, -1) << "outside the clip: not saved";
  EXPECT_EQ(outside->saved.top, -1);
  ShowSprite(w, drawn, 0);
  EXPECT_TRUE(drawn->flags & kSpriteHidePending);
  EXPECT_FALSE(drawn->flags & kSpriteHidden);
  scene.Frame();
  EXPECT_TRUE(drawn->flags & kSpriteHidden);
  EXPECT_EQ(Raw(*scene.buffer), FromScratch(scene)) << "erased";
  KillSprite(w, outside);
  EXPECT_EQ(scene.List().size(), 3u) << "freed only at the next erase";
  EraseSprites(w);
  EXPECT_EQ(scene.List().size(), 2u);
}

TEST(SpriteRedraw, OwnerDrawnCallbackOrder) {
  Scene scene(32, 64, 48);
  GameWindow* w = scene.w();
  static std::vector<int> calls;
  calls.clear();
  auto callback = +[](Sprite*, int code, std::intptr_t) -> std::intptr_t {
    calls.push_back(code);
    return 0;
  };
  Sprite* s = CreateOwnerDrawnSprite(w, 5, 5, 20, 20, 0, 0, 0, kSpriteOwnerSaved, 0, callback);
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(s->flags & kSpriteOwnerDrawn);
  scene.Frame();
  EXPECT_EQ(calls, (std::vector<int>{kSpriteSave, kSpriteDraw}));
  SetSpriteRect(w, s, 10, 10, 30, 30);
  scene.Frame();
  EXPECT_EQ(calls,
            (std::vector<int>{kSpriteSave, kSpriteDraw, kSpriteErase, kSpriteSave, kSpriteDraw}));
  EXPECT_EQ(s->current.rect.right, 30);
  DeleteSprite(w, s);
  EXPECT_EQ(calls.back(), kSpriteDeleting);
}

// Marking spreads from the retained sprite a mover touches along a chain of retained sprites,
// each drawn over the one before, to its far end, where a missed mark would leave the sprite
// behind it showing through. Every retained sprite is reached, so the marking may stop early.
TEST(SpriteRedraw, MarkingReachesTheFarEndOfARetainedChain) {
  Scene scene(32, 160, 40);
  GameWindow* w = scene.w();
  Pattern(*scene.buffer);
  constexpr int kChain = 12;
  for (int i = 0; i < kChain; ++i) {
    const int image = scene.AddBox(10, 10, 0x203040u + 0x0A0B0Cu * static_cast<COLORREF>(i));
    ASSERT_NE(CreateSprite(w, 20 + 7 * i, 10, image, 0, i + 1, 0, kSpriteRetained, 0), nullptr);
  }
  const int moverImage = scene.AddBox(10, 10, 0xF0F0F0);
  Sprite* mover = CreateSprite(w, 14, 12, moverImage, 0, 0, 0, 0, 0);
  ASSERT_NE(mover, nullptr);
  scene.Frame();
  for (int step = 1; step <= 6; ++step) {
    ModifySprite(w, mover, 14 + step, 12, moverImage);
    scene.Frame();
    ASSERT_EQ(Raw(*scene.buffer), FromScratch(scene)) << "step " << step;
  }
}

// Sprites showing one image share its surface within a draw pass; an owner's draw callback
// that replaces the image in between must be seen by the sprites drawn after it.
TEST(SpriteRedraw, AnImageReplacedByAnOwnerMidPassIsDrawnAnew) {
  Scene scene(32, 64, 48);
  GameWindow* w = scene.w();
  static Scene* current;
  static int image;
  current = &scene;
  image = scene.AddBox(8, 8, 0x0000FF, 0, 0, false);
  auto replace = +[](Sprite*, int code, std::intptr_t) -> std::intptr_t {
    if (code == kSpriteDraw) {
      DeleteImage(current->bank.get(), image);
      EXPECT_EQ(current->AddBox(12, 12, 0xFF0000, 0, 0, false), image) << "the number is reused";
    }
    return 0;
  };
  ASSERT_NE(CreateSprite(w, 4, 4, image, 0, 0, 0, 0, 0), nullptr);
  ASSERT_NE(CreateOwnerDrawnSprite(w, 20, 4, 22, 6, 0, 1, 0, kSpriteOwnerSaved, 0, replace),
            nullptr);
  ASSERT_NE(CreateSprite(w, 40, 4, image, 0, 2, 0, 0, 0), nullptr);
  scene.Frame();
  EXPECT_EQ(testsupport::Read(*scene.buffer, 6, 6), 0x0000FFu) << "drawn before the callback";
  EXPECT_EQ(testsupport::Read(*scene.buffer, 42, 6), 0xFF0000u) << "drawn after it";
  EXPECT_EQ(testsupport::Read(*scene.buffer, 50, 14), 0xFF0000u) << "at the new image's size";
}

TEST(SpriteRedraw, FillErasedSmoothedSpriteLeavesNoRing) {
  Scene scene(32, 64, 48);
  GameWindow* w = scene.w();
  scene.buffer->FillColor(0x404040);
  const int image = scene.AddBox(10, 10, 0x00FFFF, 0, 0, false);
  Sprite* s = CreateSprite(w, 20, 20, image, 0, 0, 0x404040, kSpriteFillErase, 0);
  SetSpriteInk(w, s, kInkTransparent | kInkSmoothing, 0);
  scene.Frame();
  ModifySprite(w, s, 40, 30, image);
  scene.Frame();
  for (int y = 15; y < 35; ++y)
    for (int x = 15; x < 35; ++x)
      ASSERT_EQ(testsupport::Read(*scene.buffer, x, y), 0x404040u) << x << "," << y;
}

TEST(SpriteRedraw, DisplayRectSaveAndRestore) {
  Scene scene(32, 64, 48);
  GameWindow* w = scene.w();
  Pattern(*scene.buffer);
  const auto original = Raw(*scene.buffer);
  DisplaySave save{};
  EXPECT_EQ(SaveDisplayRect(w, &save, 60, 40, 80, 80), 0);
  EXPECT_EQ(save.rect.right, 64) << "clipped";
  EXPECT_EQ(save.rect.left, 60);
  EXPECT_EQ(SaveDisplayRect(w, &save, 100, 100, 120, 120), -1);
  ASSERT_EQ(SaveDisplayRect(w, &save, 2, 3, 20, 30), 0);
  EXPECT_EQ(save.rect.right, 21) << "right and bottom inclusive";
  scene.buffer->FillColor(0);
  ASSERT_NE(RestoreDisplayRect(w, &save), 0);
  const auto restored = Raw(*scene.buffer);
  EXPECT_EQ(restored[10 * 64 + 10], original[10 * 64 + 10]);
  EXPECT_EQ(restored[1 * 64 + 1], 0u);
  EXPECT_EQ(FreeDisplayRect(w, &save), 1);
  EXPECT_EQ(save.surface, nullptr);

  const int image = scene.AddBox(6, 6, 0xFF0000, 3, 3);
  scene.dirty().count = 0;
  EXPECT_NE(DrawImageSimple(w, image, 10, 10, 1), 0);
  ASSERT_EQ(scene.dirty().count, 1);
  EXPECT_EQ(scene.dirty().rects[0].left, 7) << "placed by the hot spot";
  EXPECT_EQ(testsupport::Read(*scene.buffer, 8, 8), 0xFF0000u);
}

// A memory surface that reports a display-driver kind; what it makes is plain memory.
class DriverKindSurface : public RecordingSurface {
 public:
  DriverKindSurface(int w, int h) : RecordingSurface(w, h, 32) {}
  int GetKind() override { return 9; }
  cSurfaceImplementation* CreateCompatible(int w, int h) override {
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
    return prototype->implementation->CreateCompatible(w, h);
  }
};

TEST(SpriteRedraw, DriverSurfacesDrawEverySpriteWithLayerEffects) {
  Scene scene(32, 80, 40);
  GameWindow* w = scene.w();
  cSurfaceObject display;
  display.SetImplementation(new DriverKindSurface(80, 40));
  ASSERT_EQ(SetBackBuffer(w, &display), 1);
  display.FillColor(0xFFFFFF);
  ASSERT_EQ(SetLayerCount(w, 3), 1);
  SetLayerEffect(w, 1, kEffectSemiTransparent, 128, 0);  // not drawn at all
  SetLayerEffect(w, 2, kEffectSemiTransparent, 64, 0);   // composited at half
  const int image = scene.AddBox(8, 8, 0x0000FF, 0, 0, false);
  Sprite* plain = CreateSprite(w, 2, 2, image, 0, 0, 0, 0, 0);
  CreateSprite(w, 20, 2, image, 1, 0, 0, 0, 0);
  CreateSprite(w, 40, 2, image, 2, 0, 0, 0, 0);
  CreateSprite(w, 60, 2, image, 7, 0, 0, 0, 0);  // beyond the table: drawn straight
  scene.Frame();
  EXPECT_EQ(testsupport::Read(display, 4, 4), 0x0000FFu);
  EXPECT_EQ(testsupport::Read(display, 22, 4), 0xFFFFFFu) << "hidden layer";
  const COLORREF half = testsupport::Read(display, 42, 4);
  EXPECT_NE(half, 0x0000FFu);
  EXPECT_NE(half, 0xFFFFFFu);
  EXPECT_EQ(half & 0xFF, 0xFFu) << "red stays full: both colours have it";
  EXPECT_EQ(testsupport::Read(display, 62, 4), 0x0000FFu);
  EXPECT_EQ(testsupport::Read(display, 12, 4), 0xFFFFFFu) << "the layer surface is transparent";
  // Every frame draws every sprite; erasing only carries out kills and hides.
  display.FillColor(0xFFFFFF);
  KillSprite(w, plain);
  scene.Frame();
  EXPECT_EQ(scene.List().size(), 3u);
  EXPECT_EQ(testsupport::Read(display, 4, 4), 0xFFFFFFu);
  EXPECT_EQ(testsupport::Read(display, 62, 4), 0x0000FFu) << "drawn again";
  ReleaseBackBuffer(w);
}

}  // namespace

namespace {

// A model of one pixel plane: 32-bit pixels read and written by rectangle.
struct Plane {
  int width, height;
  std::vector<std::uint32_t> px;
  explicit Plane(cSurfaceImplementation& s) : width(s.width), height(s.height) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) px.push_back(testsupport::RawPixel(s, x, y) & 0xFFFFFFu);
  }
  template <typename F>
  void Each(const RECT& r, F f) {
    for (int y = std::max<int>(r.top, 0); y < std::min<int>(r.bottom, height); ++y)
      for (int x = std::max<int>(r.left, 0); x < std::min<int>(r.right, width); ++x)
        f(px[static_cast<size_t>(y * width + x)], static_cast<size_t>(y * width + x));
  }
};

// Owner-saved sprites paint their rectangle on the display when erased or saved, so that the
// order of those paints against the other sprites' copies shows in the pixels.
constexpr std::uint32_t kPaintErase = 0x00C01020u, kPaintSave = 0x002040E0u;
Scene* paintScene = nullptr;
std::intptr_t Paint(Sprite* s, int code, std::intptr_t) {
  if (code != kSpriteErase && code != kSpriteSave) return 0;
  const RECT& r = code == kSpriteErase ? s->saved : s->current.rect;
  paintScene->buffer->FillRectColor(r.left, r.top, r.right - r.left, r.bottom - r.top,
                                    code == kSpriteErase ? 0x2010C0 : 0xE04020);
  return 0;
}

}  // namespace

// Dense scenes whose copies to and from the background overlap many times, mixed with
// fill-erased and owner-saved sprites: the erase and save steps leave the display and the
// background as copying sprite by sprite in display order does.
TEST(SpriteRedraw, EraseAndSaveKeepTheOrderOfEverySpritesCopy) {
  Scene scene(32, 200, 150, 400);
  paintScene = &scene;
  GameWindow* w = scene.w();
  Pattern(*scene.buffer);
  const int box = scene.AddBox(30, 24, 0x30A0F0, 15, 12);
  std::mt19937 rng(11);
  std::vector<Sprite*> all;
  for (int i = 0; i < 300; ++i) {
    const int x = static_cast<int>(rng() % 230) - 15, y = static_cast<int>(rng() % 180) - 15;
    const int kind = static_cast<int>(rng() % 10);
    Sprite* s = nullptr;
    if (kind == 0)
      s = CreateOwnerDrawnSprite(w, x, y, x + 20, y + 16, 0, i, 0, kSpriteOwnerSaved, 0, Paint);
    else if (kind == 1)
      s = CreateSprite(w, x, y, box, 0, i, 0x000000FFu * (i % 7), kSpriteFillErase, 0);
    else
      s = CreateSprite(w, x, y, box, 0, i, 0, 0, 0);
    ASSERT_NE(s, nullptr);
    all.push_back(s);
  }
  scene.Frame();
  for (int frame = 0; frame < 4; ++frame) {
    for (Sprite* s : all) {
      const int dx = static_cast<int>(rng() % 9) - 4, dy = static_cast<int>(rng() % 9) - 4;
      if (sprite::IsOwnerDrawn(s))
        SetSpriteRect(w, s, s->pending.x + dx, s->pending.y + dy, s->pending.x + dx + 20,
                      s->pending.y + dy + 16);
      else
        ModifySprite(w, s, s->pending.x + dx, s->pending.y + dy, box);
    }
    ASSERT_NE(w->backgroundImpl, nullptr);
    // Erase: every sprite in order restores, fills or paints its saved rectangle.
    Plane display(*scene.buffer->implementation), background(*w->backgroundImpl);
    for (Sprite* s : all) {
      if (!sprite::HasSaved(s)) continue;
      if (s->flags & kSpriteFillErase)
        display.Each(s->saved, [&](std::uint32_t& p, size_t) {
          const std::uint32_t c = s->fillColor;  // 0x00BBGGRR
          p = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
        });
      else if (s->flags & kSpriteOwnerSaved)
        display.Each(s->saved, [&](std::uint32_t& p, size_t) { p = kPaintErase; });
      else
        display.Each(s->saved, [&](std::uint32_t& p, size_t i) { p = background.px[i]; });
    }
    EraseSprites(w);
    ASSERT_EQ(Plane(*scene.buffer->implementation).px, display.px) << "erase, frame " << frame;
    CommitSprites(w);
    // Save: every sprite in order copies its area to the background or paints the display.
    for (Sprite* s : all) {
      const RECT area{
          std::max<LONG>(s->current.rect.left, 0), std::max<LONG>(s->current.rect.top, 0),
          std::min<LONG>(s->current.rect.right, 200), std::min<LONG>(s->current.rect.bottom, 150)};
      if (area.left >= area.right || area.top >= area.bottom || (s->flags & kSpriteFillErase))
        continue;
      if (s->flags & kSpriteOwnerSaved)
        display.Each(area, [&](std::uint32_t& p, size_t) { p = kPaintSave; });
      else
        background.Each(area, [&](std::uint32_t& p, size_t i) { p = display.px[i]; });
    }
    DrawSprites(w);
    ASSERT_EQ(Plane(*w->backgroundImpl).px, background.px) << "save, frame " << frame;
  }
  paintScene = nullptr;
}
