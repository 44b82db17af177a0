#include "bank/packet_decode.h"

#include <cstring>

namespace vexa {
namespace {

// Where the next pixel goes: a column and row walk over the image.
class PixelCursor {
 public:
  PixelCursor(const ImageLayout& layout, std::uint8_t* rows, int pixelBytes)
      : layout_(layout), row_(rows), pixelBytes_(pixelBytes) {}

  std::int64_t Left() const { return std::int64_t{layout_.width} * (layout_.height - y_) - x_; }
  void Put(const std::uint8_t* pixel) {
    std::memcpy(row_ + static_cast<std::ptrdiff_t>(x_) * pixelBytes_, pixel,
                static_cast<std::size_t>(pixelBytes_));
    if (++x_ == layout_.width) {
      x_ = 0;
      ++y_;
      row_ += layout_.rowBytes;
    }
  }

 private:
  const ImageLayout& layout_;
  std::uint8_t* row_;
  int pixelBytes_;
  int x_ = 0;
  int y_ = 0;
};

}  // namespace

bool DecodePackets(SuppliedBytes& input, int pixelBytes, const ImageLayout& layout,
                   std::uint8_t* rows) {
  if (pixelBytes != ModeBytesPerPixel(layout.mode)) return false;
  PixelCursor out(layout, rows, pixelBytes);
  const auto size = static_cast<std::size_t>(pixelBytes);
  for (;;) {
    std::uint8_t control = 0;
    if (!input.ReadByte(&control)) return false;
    if (control == 0) return true;
    const int n = control & 0x7F;
    if (n > out.Left()) return false;
    const std::uint8_t* pixels = nullptr;
    if (control & 0x80) {
      if (!input.Take(size * static_cast<std::size_t>(n), &pixels)) return false;
      for (int i = 0; i < n; ++i) out.Put(pixels + size * static_cast<std::size_t>(i));
    } else {
      if (!input.Take(size, &pixels)) return false;
      for (int i = 0; i < n; ++i) out.Put(pixels);
    }
  }
}

}  // namespace vexa
