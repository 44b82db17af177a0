// Shared pieces of the game-window tests: a context, records and surfaces.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include <vexa/game_window.h>
#include <vexa/image_bank.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "platform/window/messages.h"
#include "platform/window/window.h"
#include "window/game_window.h"

namespace window_test {

struct SurfaceDeleter {
  void operator()(cSurfaceObject* s) const { DeleteSurfaceObject(s); }
};
using Surface = std::unique_ptr<cSurfaceObject, SurfaceDeleter>;

inline Surface MakeSurface(int width, int height, int depth = 32) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, depth, kTypeMemory, kDriverNone);
  Surface s(NewSurfaceObject());
  if (!prototype || !s || !s->Create(width, height, prototype)) return nullptr;
  return s;
}

// The stored value of a 32-bit surface's pixel (0x00RRGGBB, as the framebuffer holds it).
inline std::uint32_t& Raw(cSurfaceObject* s, int x, int y) {
  return *reinterpret_cast<std::uint32_t*>(s->GetImplementation()->PixelAddress(x, y));
}

inline GameWindowRecord Record(int width, int height, int kind = 1, std::uint32_t flags = 0) {
  GameWindowRecord r{};
  r.size = kGameWindowRecordFixedSize;
  r.width = width;
  r.height = height;
  r.style = plat::WS_OVERLAPPEDWINDOW;
  r.title = "game";
  r.className = "vexa-test-game";
  r.maxWidth = -4000;
  r.maxHeight = -4000;
  r.cursor = reinterpret_cast<HCURSOR>(std::uintptr_t{1});
  r.background = reinterpret_cast<HBRUSH>(std::uintptr_t{0x00336699});
  r.kind = kind;
  r.flags = flags;
  return r;
}

// A context for the test's thread; destroyed (with its windows) at the end.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bank = CreateImageBank(0, nullptr);
    ASSERT_NE(bank, nullptr);
  }
  void TearDown() override { DestroyImageBank(bank); }

  int ListLength() const {
    int n = 0;
    for (GameWindow* w = bank->windows; w; w = w->next) ++n;
    return n;
  }

  ImageBank* bank = nullptr;
};

// The client-area pixel of a window's top-level framebuffer at (x, y) of that framebuffer.
inline std::uint32_t FramePixel(HWND window, int x, int y) {
  SDL_Surface* s = plat::WindowFramebuffer(plat::GetTopLevel(window));
  if (!s) return 0xDEADBEEF;
  return *reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(s->pixels) +
                                                 y * s->pitch + x * 4) &
         0xFFFFFF;
}

inline void FillFrame(HWND window, std::uint32_t value) {
  SDL_Surface* s = plat::WindowFramebuffer(plat::GetTopLevel(window));
  if (s) SDL_FillRect(s, nullptr, value);
}

}  // namespace window_test
