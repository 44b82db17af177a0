#include "bank/image_decompress.h"

#include <lz4.h>

#include <vexa/image_bank.h>

#include "pixels/pixel_format.h"

namespace vexa {
namespace {

constexpr std::uint32_t kRuleFlags = kImageSwapRedBlue | kImageAlphaInPixels;

bool AlphaFromPixels(const ImageLayout& layout, std::uint32_t flags) {
  return layout.alphaBytes > 0 && (flags & kRuleFlags);
}

std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void SwapFirstAndThird(std::uint8_t* pixel) {
  const std::uint8_t first = pixel[0];
  pixel[0] = pixel[2];
  pixel[2] = first;
}

}  // namespace

bool PixelRulesFit(int mode, std::uint32_t imageFlags) {
  return !(imageFlags & kRuleFlags) || mode == kMode32;
}

void ApplyPixelRules(const ImageLayout& layout, std::uint32_t flags, COLORREF transparentColor,
                     std::uint8_t* data) {
  if (!(flags & kRuleFlags) || layout.mode != kMode32) return;
  const bool swap = flags & kImageSwapRedBlue;
  const std::uint32_t key = SwapRedBlue(transparentColor & 0xFFFFFF);
  for (int y = 0; y < layout.height; ++y) {
    std::uint8_t* pixel = data + layout.rowBytes * y;
    std::uint8_t* alpha =
        layout.alphaBytes ? data + layout.pixelBytes + layout.alphaRowBytes * y : nullptr;
    for (int x = 0; x < layout.width; ++x, pixel += 4) {
      if (alpha) {
        alpha[x] = pixel[3];
      } else if (pixel[3] == 0) {
        pixel[0] = static_cast<std::uint8_t>(key);
        pixel[1] = static_cast<std::uint8_t>(key >> 8);
        pixel[2] = static_cast<std::uint8_t>(key >> 16);
        continue;
      }
      pixel[3] = 0;
      if (swap) SwapFirstAndThird(pixel);
    }
  }
}

bool CompressedSizePlausible(std::size_t dataSize, const ImageLayout& layout) {
  if (dataSize < 4) return false;
  constexpr std::uint64_t kMaxExpansion = 255;
  constexpr std::uint64_t kSlack = 64;
  return static_cast<std::uint64_t>(layout.pixelBytes) <= (dataSize - 4) * kMaxExpansion + kSlack;
}

bool DecompressImageData(const std::uint8_t* data, std::size_t dataSize, const ImageLayout& layout,
                         std::uint32_t flags, COLORREF transparentColor, std::uint8_t* out) {
  if (!data || dataSize < 4 || dataSize - 4 > static_cast<std::size_t>(LZ4_MAX_INPUT_SIZE)) {
    return false;
  }
  if (!PixelRulesFit(layout.mode, flags)) return false;
  const std::int64_t stated = ReadU32(data);
  const bool pixelsOnly = AlphaFromPixels(layout, flags) && stated == layout.pixelBytes;
  if (stated != layout.Total() && !pixelsOnly) return false;
  const int produced =
      LZ4_decompress_safe(reinterpret_cast<const char*>(data + 4), reinterpret_cast<char*>(out),
                          static_cast<int>(dataSize - 4), static_cast<int>(stated));
  if (produced != stated) return false;
  ApplyPixelRules(layout, flags, transparentColor, out);
  return true;
}

}  // namespace vexa
