// Sprite scenes and collision-map stamps. bench/pygame_sprites.py runs the same scenes with
// pygame's LayeredDirty group and the same stamps with Mask.draw, and prints the ratio lines.
//
// Scene: a 640 x 480 32-bit back buffer over a patterned background, N sprites of 32 x 32 from
// 8 colour-keyed images on 4 layers, fixed seed, speeds of 1 to 3 pixels either way with
// bounces at the edges; every fifth sprite is static and retained. "plain" draws every sprite
// with its colour key only; "mix" draws, by i % 10, 7 semi-transparent (half), 8 additive and
// 9 scaled 1.5 and turned 7 degrees more each frame (nearest pixel). One iteration is one
// whole frame: moves, erase, commit, draw, and presenting the dirty rectangles to a window
// (the dummy video driver in a headless run). (bench/pygame_sprites.py uses the same formulas.)
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <vexa/blit.h>
#include <vexa/collision_map.h>
#include <vexa/game_window.h>
#include <vexa/image_bank.h>
#include <vexa/library.h>
#include <vexa/sprite.h>
#include <vexa/surface_object.h>

#include "bench_discs.h"
#include "bench_pairs.h"
#include "window/game_window.h"

namespace {

constexpr int kWidth = 640, kHeight = 480, kSize = vexabench::kDiscSize, kImages = 8, kLayers = 4;

using vexabench::DiscPixels;
using vexabench::Lcg;

struct Mover {
  Sprite* sprite;
  int x, y, dx, dy;
  bool turning;
  float angle;
};

struct SpriteScene {
  ImageBank* bank = nullptr;
  std::unique_ptr<cSurfaceObject> buffer;
  GameWindow* window = nullptr;
  std::vector<Mover> movers;

  SpriteScene(int count, bool mix) {
    bank = CreateImageBank(0, nullptr);
    SetImageBankFormat(bank, 8);
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, 32, kTypeDIBSection, kDriverNone);
    buffer = std::make_unique<cSurfaceObject>();
    buffer->Create(kWidth, kHeight, prototype);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        buffer->SetPixelColor(x, y, ((x / 16 + y / 16) & 1) ? 0x00604830u : 0x00307050u);
    GameWindowRecord record{};
    record.size = kGameWindowRecordFixedSize;
    record.width = -kWidth;
    record.height = -kHeight;
    record.title = "sprites";
    record.className = "vexa-bench-sprites";
    record.maxWidth = -4000;
    record.maxHeight = -4000;
    record.kind = 1;
    window = CreateGameWindow(bank, &record);
    if (!IsValidWindowObject(window)) return;
    SetBackBuffer(window, buffer.get());
    SetWindowOption(window, 1, count);
    const RECT all{0, 0, kWidth, kHeight};
    AddDirtyRect(window, &all);
    int images[kImages];
    for (int k = 0; k < kImages; ++k) {
      const auto pixels = DiscPixels(k);
      images[k] = AddImage(bank, kSize, kSize, kSize / 2, kSize / 2, 0, 0, 0xFF00FF, 8,
                           pixels.data(), nullptr);
    }
    Lcg rng{12345};
    for (int i = 0; i < count; ++i) {
      Mover m{};
      m.x = kSize / 2 + rng.Next(kWidth - kSize);
      m.y = kSize / 2 + rng.Next(kHeight - kSize);
      m.dx = (1 + rng.Next(3)) * (rng.Next(2) ? 1 : -1);
      m.dy = (1 + rng.Next(3)) * (rng.Next(2) ? 1 : -1);
      const bool still = i % 5 == 0;
      if (still) m.dx = m.dy = 0;
      m.sprite = CreateSprite(window, m.x, m.y, images[i % kImages], i % kLayers, i, 0,
                              still ? kSpriteRetained : 0, i);
      if (mix) {
        if (i % 10 == 7)
          SetSpriteInk(window, m.sprite, kInkTransparent | kEffectSemiTransparent, 64);
        if (i % 10 == 8) SetSpriteInk(window, m.sprite, kInkTransparent | kEffectAdd, 0);
        m.turning = i % 10 == 9;
      }
      movers.push_back(m);
    }
    Frame();
  }
  ~SpriteScene() {
    if (IsValidWindowObject(window)) DestroyGameWindow(window);
    buffer.reset();
    DestroyImageBank(bank);
  }

  void Frame() {
    for (Mover& m : movers) {
      if (m.dx == 0 && m.dy == 0 && !m.turning) continue;
      m.x += m.dx;
      m.y += m.dy;
      if (m.x < kSize / 2 || m.x > kWidth - kSize / 2) m.dx = -m.dx;
      if (m.y < kSize / 2 || m.y > kHeight - kSize / 2) m.dy = -m.dy;
      if (m.turning) {
        m.angle += 7.0f;
        if (m.angle >= 360.0f) m.angle -= 360.0f;
        ModifySpriteEx(window, m.sprite, m.x, m.y, m.sprite->pendingImage, 1.5f, 1.5f, 0, m.angle,
                       0);
      } else {
        ModifySprite(window, m.sprite, m.x, m.y, m.sprite->pendingImage);
      }
    }
    EraseSprites(window);
    CommitSprites(window);
    DrawSprites(window);
    PresentWindow(window);
  }
};

// StampMaskInMap of a square mask (every other pixel set) at 64 odd offsets in a 1024 x 1024
// map, alternately adding and erasing.
struct StampScene {
  ImageBank* bank = nullptr;
  GameWindow window{};
  int image = 0;
  explicit StampScene(int size) {
    bank = CreateImageBank(0, nullptr);
    SetImageBankFormat(bank, 8);
    std::vector<std::uint32_t> pixels(static_cast<size_t>(size * size));
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x)
        pixels[static_cast<size_t>(y * size + x)] = ((x + y) & 1) ? 0x00FF00FFu : 0x00123456u;
    image = AddImage(bank, size, size, 0, 0, 0, 0, 0xFF00FF, 8, pixels.data(), nullptr);
    GetImageMask(bank, image, 0);
    std::memset(&window, 0, sizeof(window));
    window.context = bank;
    window.solidPlaneOffset = window.topEdgePlaneOffset = -1;
    CreateCollisionMap(&window, 0, 0, 1024, 1024, kMapSolidPlane);
  }
  ~StampScene() {
    FreeCollisionMap(&window);
    DestroyImageBank(bank);
  }
  void Run() {
    for (int i = 0; i < 64; ++i)
      StampMaskInMap(&window, image, 3 + (i * 97) % 700, 5 + (i * 61) % 700, (i & 1) ? 0 : 1);
  }
};

const vexabench::Registrar kRegistrar([] {
  for (const bool mix : {false, true})
    for (const int count : {100, 1000, 10000}) {
      const std::string name =
          std::string("sprites-") + (mix ? "mix" : "plain") + "-" + std::to_string(count);
      // Scenes live until the process ends: their windows must not outlive the library's own
      // teardown at exit, which static destructors would run after.
      auto* scene = new SpriteScene(count, mix);
      if (!IsValidWindowObject(scene->window)) continue;  // no video (set SDL_VIDEODRIVER=dummy)
      vexabench::RegisterCase(name, "frames/s", 1e6, {{"vexa", [scene] { scene->Frame(); }}});
    }
  for (const int size : {64, 256}) {
    auto* scene = new StampScene(size);
    vexabench::RegisterCase("map_stamp_" + std::to_string(size), "Mpix/s", 64.0 * size * size,
                            {{"vexa", [scene] { scene->Run(); }}});
  }
});

}  // namespace
