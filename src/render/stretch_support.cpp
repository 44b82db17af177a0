#include "render/stretch_support.h"

#include <cstring>

namespace vexa {

void FillRaw(PixelDescriptor& surface, std::uint32_t value) {
  const int bytes = surface.bytesPerPixel;
  if (surface.width <= 0 || surface.height <= 0 || bytes < 1 || bytes > 4) return;
  std::uint8_t* first = surface.Row(0);
  for (int x = 0; x < surface.width; ++x)
    std::memcpy(first + x * bytes, &value, static_cast<size_t>(bytes));
  const auto rowBytes = static_cast<size_t>(surface.width) * static_cast<size_t>(bytes);
  for (int y = 1; y < surface.height; ++y) std::memcpy(surface.Row(y), first, rowBytes);
}

}  // namespace vexa
