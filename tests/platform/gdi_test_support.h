// A memory context with a DIB section selected, for the device-interface tests.
#pragma once

#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"

namespace gditest {

// Bitmap information with room for a full colour table or three masks.
struct Info {
  BITMAPINFOHEADER header{};
  std::uint32_t table[256]{};
  BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

inline Info MakeInfo(int width, int height, int bits, bool masks565 = false) {
  Info info;
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bits);
  if (masks565) {
    info.header.biCompression = plat::BI_BITFIELDS;
    info.table[0] = 0xF800;
    info.table[1] = 0x7E0;
    info.table[2] = 0x1F;
  }
  if (bits <= 8) {
    // A grey ramp: entry i = (i, i, i) scaled to the table size.
    const int n = 1 << bits;
    for (int i = 0; i < n; ++i) {
      const std::uint32_t g = static_cast<std::uint32_t>(i * 255 / (n - 1));
      info.table[i] = g | g << 8 | g << 16;
    }
  }
  return info;
}

struct Section {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  std::uint8_t* bits = nullptr;
  int width, height, bitsPerPixel, stride;
  bool topDown;

  Section(int w, int h, int bpp, bool top = false, bool masks565 = false)
      : width(w), height(h), bitsPerPixel(bpp), topDown(top) {
    Info info = MakeInfo(w, top ? -h : h, bpp, masks565);
    dc = plat::CreateCompatibleDC(nullptr);
    void* p = nullptr;
    bitmap = plat::CreateDIBSection(dc, info.get(), plat::DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<std::uint8_t*>(p);
    previous = plat::SelectObject(dc, bitmap);
    stride = ((w * bpp + 31) / 32) * 4;
  }
  ~Section() {
    plat::SelectObject(dc, previous);
    plat::DeleteObject(bitmap);
    plat::DeleteDC(dc);
  }
  Section(const Section&) = delete;
  Section& operator=(const Section&) = delete;

  std::uint8_t* Row(int y) const { return bits + (topDown ? y : height - 1 - y) * stride; }
  bool Set(int x, int y) const { return plat::GetPixel(dc, x, y) != 0; }
  // Which pixels differ from colour 0 (black), row by row.
  std::vector<bool> Mask() const {
    std::vector<bool> m(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) m[static_cast<std::size_t>(y * width + x)] = Set(x, y);
    return m;
  }
  void Clear() const { std::memset(bits, 0, static_cast<std::size_t>(stride * height)); }
};

}  // namespace gditest
