// Sizes of device-independent bitmaps: header, rows, whole block.
#include <vexa/library.h>

#include <climits>
#include <cstdint>

#include "pixels/pixel_format.h"

int GetDIBHeaderSize(int depth) {
  if (depth >= 0 && depth <= 8) return 40 + 4 * (1 << depth);
  return depth == 16 ? 52 : 40;
}

// Sizes are worked out in 64 bits; one that a negative dimension gives, or that does not fit
// an int, is 0 rather than a wrapped (often negative) value a caller would allocate.
namespace {

int SizeOrZero(std::int64_t bytes) {
  return bytes >= 0 && bytes <= INT_MAX ? static_cast<int>(bytes) : 0;
}

}  // namespace

int GetStride(int width, int depth) {
  if (width < 0) return 0;
  return SizeOrZero(vexa::StrideOf(width, depth));
}

int GetDIBSize(int width, int height, int depth) {
  if (width < 0 || height < 0) return 0;
  const std::int64_t stride = vexa::StrideOf(width, depth);
  if (stride > INT_MAX) return 0;
  return SizeOrZero(GetDIBHeaderSize(depth) + stride * height);
}

std::uint8_t* GetDIBBits(BITMAPINFO* info) {
  if (!info) return nullptr;
  auto* base = reinterpret_cast<std::uint8_t*>(info);
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biBitCount > 8) return base + 40 + (h.biCompression == 3 ? 12 : 0);
  const std::uint32_t colors = h.biClrUsed ? h.biClrUsed : (1u << h.biBitCount);
  return base + 40 + 4 * static_cast<std::size_t>(colors);
}
