// cSurfaceObject::MakeIcon: an icon or cursor showing the surface.
#include <vexa/surface_object.h>

#include <new>
#include <vector>

#include <vexa/library.h>
#include <vexa/memory.h>

#include "platform/gdi/icon.h"

namespace {

constexpr std::uint32_t kStretchSmooth = 3;  // smooth, transparent pixels left out

struct BlockGuard {
  void* block = nullptr;
  ~BlockGuard() { FreeBlockAndClear(&block); }
};

// The size the surface takes inside width x height with its aspect kept.
void FittedSize(int width, int height, int surfaceWidth, int surfaceHeight, int* fitWidth,
                int* fitHeight) {
  const long long w = width, h = height, sw = surfaceWidth, sh = surfaceHeight;
  if (sh * 256 / h < sw * 256 / w) {
    *fitWidth = width;
    *fitHeight = static_cast<int>(w * sh / sw);
  } else {
    *fitWidth = static_cast<int>(h * sw / sh);
    *fitHeight = height;
  }
  if (*fitWidth < 1) *fitWidth = 1;
  if (*fitHeight < 1) *fitHeight = 1;
}

}  // namespace

HICON cSurfaceObject::MakeIcon(int width, int height, COLORREF key, const int* hotspot) {
  if (width <= 0) width = plat::SystemIconSize();
  if (height <= 0) height = plat::SystemIconSize();
  if (!IsValid()) return nullptr;
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 24, kTypeMemory, kDriverNone);
  cSurfaceObject canvas;
  if (!prototype || !canvas.Create(width, height, prototype)) return nullptr;
  canvas.FillRectColor(0, 0, width, height, key);
  const int surfaceWidth = GetWidth();
  const int surfaceHeight = GetHeight();
  if (surfaceWidth > width || surfaceHeight > height) {
    int fitWidth = 0, fitHeight = 0;
    FittedSize(width, height, surfaceWidth, surfaceHeight, &fitWidth, &fitHeight);
    implementation->StretchBlit(canvas.implementation, (width - fitWidth) / 2,
                                (height - fitHeight) / 2, fitWidth, fitHeight, 0, 0, surfaceWidth,
                                surfaceHeight, 0, 0, 0, kStretchSmooth);
  } else {
    implementation->Blit(canvas.implementation, (width - surfaceWidth) / 2,
                         (height - surfaceHeight) / 2, 0, 0, surfaceWidth, surfaceHeight, 0, 0, 0,
                         0);
  }

  // The canvas as a 24-bit bitmap (bottom-up rows), then the mask and the colours top row
  // first: key pixels are transparent, with colour 0.
  BlockGuard bitmap;
  if (!AllocBlock(&bitmap.block, static_cast<std::size_t>(GetDIBSize(width, height, 24))) ||
      !canvas.MakeBitmap(static_cast<BITMAPINFO*>(bitmap.block), nullptr, 0)) {
    return nullptr;
  }
  const int stride = GetStride(width, 24);
  const auto* rows = static_cast<const std::uint8_t*>(bitmap.block) + GetDIBHeaderSize(24);
  const int maskStride = plat::IconMaskStride(width);
  std::vector<std::uint8_t> mask;
  std::vector<std::uint32_t> color;
  try {
    mask.assign(static_cast<std::size_t>(maskStride) * height, 0);
    color.assign(static_cast<std::size_t>(width) * height, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  const std::uint8_t keyRed = key & 0xFF, keyGreen = (key >> 8) & 0xFF,
                     keyBlue = (key >> 16) & 0xFF;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* pixel = rows + static_cast<std::size_t>(height - 1 - y) * stride;
    std::uint8_t* maskRow = mask.data() + static_cast<std::size_t>(y) * maskStride;
    std::uint32_t* colorRow = color.data() + static_cast<std::size_t>(y) * width;
    for (int x = 0; x < width; ++x, pixel += 3) {
      if (pixel[0] == keyBlue && pixel[1] == keyGreen && pixel[2] == keyRed) {
        maskRow[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
      } else {
        colorRow[x] = static_cast<std::uint32_t>(pixel[2]) << 16 | pixel[1] << 8 | pixel[0];
      }
    }
  }
  return plat::CreateIconObject(width, height, mask.data(), color.data(), hotspot != nullptr,
                                hotspot ? hotspot[0] : 0, hotspot ? hotspot[1] : 0);
}
