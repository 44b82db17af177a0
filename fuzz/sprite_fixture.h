// The scene of the sprite fuzz targets: a bank with three images (12 x 9, 40 x 30 and 1 x 1,
// every fifth pixel in the key colour) and a 96 x 64 back buffer, made once per process, and a
// game window over them with a fresh sprite heap for every input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <vexa/collision_map.h>
#include <vexa/image_bank.h>
#include <vexa/library.h>
#include <vexa/sprite.h>
#include <vexa/surface_object.h>

#include "window/game_window.h"

struct SpriteFuzzFixture {
  ImageBank* bank = nullptr;
  std::unique_ptr<cSurfaceObject> buffer;
  int images[3] = {};
  SpriteFuzzFixture() {
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

// A window object on the fixture's bank and buffer; `spriteHeap` is null when none was made.
struct SpriteFuzzWindow {
  GameWindow window{};
  DirtyRectList dirty{};
  SpriteFuzzWindow(const SpriteFuzzFixture& fixture, int sprites) {
    window.context = fixture.bank;
    window.backBuffer = fixture.buffer.get();
    window.backBufferImpl = fixture.buffer->implementation;
    window.backBufferWidth = 96;
    window.backBufferHeight = 64;
    window.solidPlaneOffset = window.topEdgePlaneOffset = -1;
    window.dirtyRects = &dirty;
    window.spriteHeap = GetSpriteStorageHooks()->build(static_cast<std::uint32_t>(sprites));
  }
  ~SpriteFuzzWindow() {
    if (window.spriteHeap) GetSpriteStorageHooks()->release(&window);
    SetLayerCount(&window, 0);
    FreeCollisionMap(&window);
  }
  SpriteFuzzWindow(const SpriteFuzzWindow&) = delete;
  SpriteFuzzWindow& operator=(const SpriteFuzzWindow&) = delete;
};
