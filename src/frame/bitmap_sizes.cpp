// Sizes of device-independent bitmaps: header, rows, whole block.
#include <vexa/library.h>

#include "pixels/pixel_format.h"

int GetDIBHeaderSize(int depth) {
  if (depth >= 0 && depth <= 8) return 40 + 4 * (1 << depth);
  return depth == 16 ? 52 : 40;
}

int GetStride(int width, int depth) { return static_cast<int>(vexa::StrideOf(width, depth)); }

int GetDIBSize(int width, int height, int depth) {
  return GetDIBHeaderSize(depth) + GetStride(width, depth) * height;
}

std::uint8_t* GetDIBBits(BITMAPINFO* info) {
  if (!info) return nullptr;
  auto* base = reinterpret_cast<std::uint8_t*>(info);
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biBitCount > 8) return base + 40 + (h.biCompression == 3 ? 12 : 0);
  const std::uint32_t colours = h.biClrUsed ? h.biClrUsed : (1u << h.biBitCount);
  return base + 40 + 4 * static_cast<std::size_t>(colours);
}
