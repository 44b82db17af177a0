// The cache of the 29 system colours, as the screen shows them.
#include <atomic>
#include <mutex>

#include <vexa/library.h>

#include "frame/library_state.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/screen.h"

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

// A 15- or 16-bit screen shows colours narrowed: each colour goes through a 100 x 8 bitmap of
// the screen's format and comes back as a 24-bit row, as the screen shows it.
void ReadBackThroughScreenFormat(std::uint32_t* colors, int mode) {
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } info{{sizeof(BITMAPINFOHEADER), 100, 8, 1, 16, plat::BI_RGB, 0, 0, 0, 0, 0}, {}};
  if (mode == 7) {
    info.header.biCompression = plat::BI_BITFIELDS;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x7E0;
    info.masks[2] = 0x1F;
  }
  HDC screen = plat::GetDC(nullptr);
  HDC dc = plat::CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = plat::CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&info),
                                          plat::DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap) {
    HGDIOBJ previous = plat::SelectObject(dc, bitmap);
    for (int i = 0; i < kCachedColors; ++i) plat::SetPixelV(dc, i, 0, colors[i]);
    plat::SelectObject(dc, previous);
    BITMAPINFO rowsInfo{{sizeof(BITMAPINFOHEADER), 100, 8, 1, 24, plat::BI_RGB, 0, 0, 0, 0, 0}, {}};
    std::uint8_t rows[300 * 8];
    if (plat::GetDIBits(dc, bitmap, 0, 8, rows, &rowsInfo, plat::DIB_RGB_COLORS) == 8) {
      const std::uint8_t* top = rows + 300 * 7;  // bottom-up: the top row comes last
      for (int i = 0; i < kCachedColors; ++i) {
        if (i == 25) continue;
        const std::uint8_t* p = top + 3 * i;
        colors[i] = static_cast<std::uint32_t>(p[2] | p[1] << 8 | p[0] << 16);
      }
    }
    plat::DeleteObject(bitmap);
  }
  plat::DeleteDC(dc);
  plat::ReleaseDC(nullptr, screen);
}

void Capture(SystemColorCache& cache) {
  for (int i = 0; i < kCachedColors; ++i) {
    if (i == 25) continue;  // index 25 has no colour of its own
    cache.colors[i] = plat::SystemColor(i);
  }
  const int mode = vexa::Library().screenModeCode;
  if (mode == 6 || mode == 7) ReadBackThroughScreenFormat(cache.colors, mode);
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
