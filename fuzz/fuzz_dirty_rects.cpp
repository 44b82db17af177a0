// Dirty-rectangle sequences (inverted, empty, huge) on a window in merge or containment mode,
// with presents between them at fuzzed back-buffer and client sizes. The list never holds
// more than its capacity, and every rectangle added since the last present lies inside one
// listed rectangle; presents push only rectangles inside the client area.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <vexa/game_window.h>
#include <vexa/image_bank.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "platform/window/window.h"
#include "window/game_window.h"

#include "fuzz_reader.h"

namespace {

// Mostly small coordinates around the window, sometimes anything at all.
class Reader : public FuzzReader {
 public:
  using FuzzReader::FuzzReader;
  int Coordinate() { return FuzzReader::Coordinate(24, 2, -100); }
};

bool Contains(const RECT& outer, const RECT& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}

cSurfaceObject* NewBuffer(int width, int height) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
  cSurfaceObject* s = NewSurfaceObject();
  if (s && !s->Create(width, height, prototype)) {
    DeleteSurfaceObject(s);
    return nullptr;
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  ImageBank* bank = CreateImageBank(0, nullptr);
  if (!bank) return 0;
  GameWindowRecord record{};
  record.size = kGameWindowRecordFixedSize;
  record.width = -(1 + in.Byte());
  record.height = -(1 + in.Byte());
  record.maxWidth = record.maxHeight = -1000;
  record.kind = 1;
  record.flags =
      (in.Byte() & 1 ? kGameWindowContainDirty : 0) | (in.Byte() & 1 ? kGameWindowStretch : 0);
  GameWindow* window = CreateGameWindow(bank, &record);
  if (!IsValidWindowObject(window)) abort();
  cSurfaceObject* buffer = NewBuffer(1 + in.Byte(), 1 + in.Byte());
  if (buffer) SetBackBuffer(window, buffer);

  std::vector<RECT> added;
  int steps = 0;
  while (!in.Done() && steps++ < 3000) {
    const std::uint8_t op = in.Byte() % 16;
    if (op < 12) {
      const RECT r{in.Coordinate(), in.Coordinate(), in.Coordinate(), in.Coordinate()};
      AddDirtyRect(window, &r);
      const RECT n{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                   std::max(r.top, r.bottom)};
      if (n.left < n.right && n.top < n.bottom) added.push_back(n);
    } else if (op == 12) {
      ClearDirtyRects(window);
      added.clear();
    } else if (op == 13) {
      SizeGameWindow(window, -(1 + in.Byte()), -(1 + in.Byte()));
    } else if (op == 14 && buffer) {
      ReleaseBackBuffer(window);
      DeleteSurfaceObject(buffer);
      buffer = NewBuffer(1 + in.Byte(), 1 + in.Byte());
      if (buffer) SetBackBuffer(window, buffer);
    } else {
      PresentWindow(window);
      if (buffer) {
        RECT client{};
        plat::GetClientRect(window->window, &client);
        for (const RECT& shown : plat::LastPresentedRects(window->window))
          if (!Contains(client, shown)) abort();
        if (window->dirtyRects->count != 0) abort();
        added.clear();
      }
    }
    const DirtyRectList& list = *window->dirtyRects;
    if (list.count < 0 || list.count > kDirtyRectCapacity) abort();
    for (const RECT& r : added) {
      bool covered = false;
      for (int i = 0; i < list.count && !covered; ++i) covered = Contains(list.rects[i], r);
      if (!covered) abort();
    }
  }
  DestroyImageBank(bank);
  if (buffer) DeleteSurfaceObject(buffer);
  return 0;
}
