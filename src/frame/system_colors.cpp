// The cache of the 29 system colours, as the screen shows them.
#include <atomic>
#include <mutex>

#include <vexa/library.h>

#include "frame/library_state.h"
#include "platform/gdi/screen.h"
#include "pixels/pixel_format.h"

namespace {

constexpr int kCachedColours = 29;

struct SystemColourCache {
  std::mutex mutex;
  std::uint32_t colours[kCachedColours] = {};
  bool captured = false;
};

SystemColourCache& Cache() {
  static SystemColourCache* cache = new SystemColourCache();
  return *cache;
}

// What a colour looks like after a round trip through a pixel of the screen's format.
std::uint32_t AsScreenShowsIt(std::uint32_t colour) {
  switch (vexa::Library().screenModeCode) {
    case 6:
      return vexa::ColorFrom555(vexa::ColorTo555(colour));
    case 7:
      return vexa::ColorFrom565(vexa::ColorTo565(colour));
    default:
      return colour;
  }
}

void Capture(SystemColourCache& cache) {
  for (int i = 0; i < kCachedColours; ++i) {
    if (i == 25) continue;  // index 25 has no colour of its own
    cache.colours[i] = AsScreenShowsIt(plat::SystemColor(i));
  }
  cache.captured = true;
}

}  // namespace

void RefreshSystemColors() {
  SystemColourCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  Capture(cache);
}

void RefreshSystemColorsIfCaptured() {
  SystemColourCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  if (cache.captured) Capture(cache);
}

COLORREF GetSystemColor(int index) {
  if (index < 0 || index >= kCachedColours) return plat::SystemColor(index);
  SystemColourCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  if (!cache.captured) Capture(cache);
  return cache.colours[index];
}
