#include "render/resample_lines.h"

#include <cstring>

#include <vexa/palette.h>

#include "pixels/pixel_format.h"

namespace vexa {
namespace {

// Working pixel (0x00RRGGBB) <-> colour value (0x00BBGGRR): the same byte swap both ways.
std::uint32_t Swap(std::uint32_t v) { return SwapRedBlue(v & 0xFFFFFF); }

}  // namespace

WorkingLines::WorkingLines(const PixelDescriptor& surface) : surface_(surface) {
  const int format = FormatOfDepth(surface.depth);
  // Rows of a 32-bit surface are read in place when every pixel is 4-byte aligned.
  readsInPlace_ = format == kFormat32 &&
                  (reinterpret_cast<std::uintptr_t>(surface.firstRow) & 3) == 0 &&
                  (surface.pitch & 3) == 0;
  if (format != kFormat8 || !surface.palette) return;
  for (int i = 0; i < 256; ++i) {
    const PALETTEENTRY& e = surface.palette->entries[i];
    paletteColors_[i] =
        std::uint32_t{e.peBlue} | std::uint32_t{e.peGreen} << 8 | std::uint32_t{e.peRed} << 16;
  }
  BuildInverseTable(surface.palette);
}

std::uint32_t WorkingLines::Narrow(std::uint32_t working) const {
  const std::uint32_t color = Swap(working);
  switch (FormatOfDepth(surface_.depth)) {
    case kFormat8:
      return static_cast<std::uint32_t>(GetNearestIndex(surface_.palette, color));
    case kFormat15: {
      const std::uint32_t v = ColorTo555(color);
      return v == 0 && color != 0 ? 1 : v;
    }
    case kFormat16: {
      const std::uint32_t v = ColorTo565(color);
      return v == 0 && color != 0 ? 1 : v;
    }
    default:
      return working & 0xFFFFFF;
  }
}

std::uint32_t WorkingLines::Widen(std::uint32_t stored) const {
  switch (FormatOfDepth(surface_.depth)) {
    case kFormat8:
      return paletteColors_[stored & 0xFF];
    case kFormat15:
      return Swap(ColorFrom555(stored));
    case kFormat16:
      return Swap(ColorFrom565(stored));
    default:
      return stored & 0xFFFFFF;
  }
}

const std::uint32_t* WorkingLines::Read(int x, int y, int count, std::uint32_t* buffer) const {
  const std::uint8_t* row =
      surface_.Row(y) + static_cast<std::ptrdiff_t>(x) * surface_.bytesPerPixel;
  if (readsInPlace_) return reinterpret_cast<const std::uint32_t*>(row);
  switch (surface_.bytesPerPixel) {
    case 1:
      for (int i = 0; i < count; ++i) buffer[i] = paletteColors_[row[i]];
      break;
    case 2:
      for (int i = 0; i < count; ++i) {
        std::uint16_t v;
        std::memcpy(&v, row + 2 * i, 2);
        buffer[i] = Widen(v);
      }
      break;
    case 3:
      for (int i = 0; i < count; ++i) {
        const std::uint8_t* p = row + 3 * i;
        buffer[i] = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
      }
      break;
    default:
      std::memcpy(buffer, row, static_cast<size_t>(count) * 4);
      break;
  }
  return buffer;
}

void WorkingLines::Write(int x, int y, int count, const std::uint32_t* line) const {
  std::uint8_t* row = surface_.Row(y) + static_cast<std::ptrdiff_t>(x) * surface_.bytesPerPixel;
  switch (surface_.bytesPerPixel) {
    case 1:
      for (int i = 0; i < count; ++i) row[i] = static_cast<std::uint8_t>(Narrow(line[i]));
      break;
    case 2:
      for (int i = 0; i < count; ++i) {
        const auto v = static_cast<std::uint16_t>(Narrow(line[i]));
        std::memcpy(row + 2 * i, &v, 2);
      }
      break;
    case 3:
      for (int i = 0; i < count; ++i) {
        std::uint8_t* p = row + 3 * i;
        p[0] = static_cast<std::uint8_t>(line[i]);
        p[1] = static_cast<std::uint8_t>(line[i] >> 8);
        p[2] = static_cast<std::uint8_t>(line[i] >> 16);
      }
      break;
    default:
      for (int i = 0; i < count; ++i) {
        const std::uint32_t v = line[i] & 0xFFFFFF;
        std::memcpy(row + 4 * i, &v, 4);
      }
      break;
  }
}

void WorkingLines::RoundTrip(std::uint32_t* line, int count) const {
  for (int i = 0; i < count; ++i) line[i] = Widen(Narrow(line[i]));
}

}  // namespace vexa
