#include "bank/image_layout.h"

#include <vexa/image_bank.h>

namespace vexa {

std::int64_t ImageRowBytes(int mode, std::int64_t width) {
  switch (mode) {
    case kMode8:
      return (width + 1) & ~std::int64_t{1};
    case kMode15:
    case kMode16:
      return 2 * width;
    case kMode24:
      return 6 * ((width + 1) / 2);
    case kMode32:
      return 4 * width;
    case kMode4:
    case kMode4Alt:
      return (width + 3) / 4 * 2;
    default:
      return 0;
  }
}

int ModeBytesPerPixel(int mode) {
  switch (mode) {
    case kMode8:
      return 1;
    case kMode15:
    case kMode16:
      return 2;
    case kMode24:
      return 3;
    case kMode32:
      return 4;
    default:
      return 0;
  }
}

std::int64_t AlphaRowBytes(std::int64_t width) { return (width + 3) & ~std::int64_t{3}; }

bool ComputeImageLayout(int mode, std::int64_t width, std::int64_t height, bool alphaPlane,
                        ImageLayout* layout) {
  // The size limit on each factor keeps the products below 2^63.
  if (width < 1 || height < 1 || width > kMaxImageBytes || height > kMaxImageBytes) return false;
  const std::int64_t rowBytes = ImageRowBytes(mode, width);
  if (rowBytes <= 0 || rowBytes > kMaxImageBytes) return false;
  ImageLayout l;
  l.mode = mode;
  l.width = static_cast<int>(width);
  l.height = static_cast<int>(height);
  l.rowBytes = rowBytes;
  l.pixelBytes = rowBytes * height;
  l.alphaRowBytes = AlphaRowBytes(width);
  l.alphaBytes = alphaPlane ? l.alphaRowBytes * height : 0;
  if (l.pixelBytes > kMaxImageBytes || l.alphaBytes > kMaxImageBytes ||
      l.Total() > kMaxImageBytes) {
    return false;
  }
  *layout = l;
  return true;
}

}  // namespace vexa

int GetImageDataSize(int width, int height, std::uint32_t flags) {
  vexa::ImageLayout layout;
  if (!vexa::ComputeImageLayout(static_cast<int>(flags & kAddFormatMask), width, height,
                                flags & kAddAlphaPlane, &layout)) {
    return 0;
  }
  return static_cast<int>(layout.Total());
}
