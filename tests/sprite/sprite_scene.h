// A game window with a back buffer and sprite storage for sprite tests.
#pragma once

#include <cstring>
#include <memory>
#include <vector>

#include <vexa/collision_map.h>
#include <vexa/game_window.h>
#include <vexa/image_bank.h>
#include <vexa/library.h>
#include <vexa/sprite.h>
#include <vexa/surface_object.h>

#include "platform/window/window.h"
#include "support/bank_fixture.h"
#include "window/game_window.h"
#include "window/window_test_support.h"

namespace spritetest {

// Bank format (mode code) of a depth.
inline int ModeOf(int depth) { return depth == 8 ? 3 : depth == 16 ? 7 : depth == 24 ? 4 : 8; }

struct Scene {
  testsupport::BankPtr bank;
  std::unique_ptr<cSurfaceObject> buffer;
  GameWindow* window = nullptr;

  // A game window (kind 1: it keeps a dirty list) showing a `width` x `height` back buffer
  // of `depth` bits, with room for `sprites` sprites.
  explicit Scene(int depth = 32, int width = 160, int height = 120, int sprites = 64) {
    bank = testsupport::NewBank(ModeOf(depth));
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, depth, kTypeDIBSection, kDriverNone);
    buffer = std::make_unique<cSurfaceObject>();
    buffer->Create(width, height, prototype);
    GameWindowRecord record = window_test::Record(-width, -height);
    window = CreateGameWindow(bank.get(), &record);
    if (!IsValidWindowObject(window)) return;
    SetBackBuffer(window, buffer.get());
    SetWindowOption(window, 1, sprites);
  }
  ~Scene() {
    if (IsValidWindowObject(window)) {
      SetLayerCount(window, 0);
      FreeCollisionMap(window);
      DestroyGameWindow(window);
    }
  }
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  GameWindow* w() { return window; }
  DirtyRectList& dirty() { return *window->dirtyRects; }

  void Frame() {
    EraseSprites(w());
    CommitSprites(w());
    DrawSprites(w());
  }

  // Every sprite in display order.
  std::vector<Sprite*> List() {
    std::vector<Sprite*> out;
    for (Sprite* s = window->spriteHeap->firstSprite; s; s = s->Next()) out.push_back(s);
    return out;
  }

  // A 32-bit image of `w` x `h` in one colour, with a transparent border column on the left
  // in the key colour (green) and the hot spot given.
  int AddBox(int w, int h, COLORREF colour, int hotX = 0, int hotY = 0, bool keyed = true) {
    std::vector<std::uint32_t> pixels(static_cast<size_t>(w * h));
    const std::uint32_t bgr = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        pixels[static_cast<size_t>(y * w + x)] =
            keyed && (x == 0 || (x + y) % 7 == 3) ? 0x00FF00u : bgr;
    return AddImage(bank.get(), w, h, hotX, hotY, 0, 0, 0x00FF00, 8, pixels.data(), nullptr);
  }
};

}  // namespace spritetest
