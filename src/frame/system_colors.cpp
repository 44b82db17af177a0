// The cache of the 29 system colours, as the screen shows them.
#include <atomic>
#include <mutex>

#include <vexa/library.h>

#include "frame/library_state.h"
#include "platform/gdi/screen.h"
#include "pixels/pixel_format.h"

namespace {

constexpr int kCachedColors = 29;

struct SystemColorCache {
  std::mutex mutex;
  std::uint32_t colors[kCachedColors] = {};
  bool captured = false;
};

SystemColorCache& Cache() {
  static SystemColorCache* cache = new SystemColorCache();
  return *cache;
}

// What a colour looks like after a round trip through a pixel of the screen's format.
std::uint32_t AsScreenShowsIt(std::uint32_t color) {
  switch (vexa::Library().screenModeCode) {
    case 6:
      return vexa::ColorFrom555(vexa::ColorTo555(color));
    case 7:
      return vexa::ColorFrom565(vexa::ColorTo565(color));
    default:
      return color;
  }
}

void Capture(SystemColorCache& cache) {
  for (int i = 0; i < kCachedColors; ++i) {
    if (i == 25) continue;  // index 25 has no colour of its own
    cache.colors[i] = AsScreenShowsIt(plat::SystemColor(i));
  }
  cache.captured = true;
}

}  // namespace

void RefreshSystemColors() {
  SystemColorCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  Capture(cache);
}

void RefreshSystemColorsIfCaptured() {
  SystemColorCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  if (cache.captured) Capture(cache);
}

COLORREF GetSystemColor(int index) {
  if (index < 0 || index >= kCachedColors) return plat::SystemColor(index);
  SystemColorCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  if (!cache.captured) Capture(cache);
  return cache.colors[index];
}
