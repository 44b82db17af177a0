// AddImageFromDIB: the image of a packed device-independent bitmap (header, colour table or
// colour masks, then the bits). Rows are rewritten top first in the bank's row layout of the
// bitmap's own format, and 1- and 4-bit pixels widened to 8-bit indexes, then added as
// supplied pixels with the bitmap's colour table as their palette.
#include <vexa/image_bank.h>

#include <algorithm>
#include <cstring>

#include "bank/image_layout.h"
#include "bank/supplied_bytes.h"

namespace vexa {
namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

// The AddImage flags a caller may pass with a bitmap; the form of the data is the bitmap's.
constexpr std::uint32_t kDibCallerFlags =
    kAddDeduplicate | kAddCompress | kAddRunLength | kAddAppend;

struct DibFormat {
  int mode = 0;  // the mode the rows are added in
  int bitCount = 0;
  int colors = 0;  // colour-table entries (8 bits and less)
  std::size_t bitsOffset = 0;
};

constexpr std::size_t kInfoHeaderBytes = sizeof(BITMAPINFOHEADER);
constexpr std::size_t kMaskBytes = 12;

// The colour masks follow the 40 header fields: after a 40-byte header they come right after
// it; larger headers hold them as their next fields, at the same offset.
std::uint32_t Mask(const BITMAPINFO& dib, int i) {
  std::uint32_t m = 0;
  std::memcpy(&m, reinterpret_cast<const std::uint8_t*>(&dib) + kInfoHeaderBytes + 4 * i, 4);
  return m;
}

// The mode of 16- and 32-bit pixels from the compression and the colour masks.
int TrueColorMode(const BITMAPINFO& dib) {
  const BITMAPINFOHEADER& h = dib.bmiHeader;
  if (h.biCompression == kBiRgb) return h.biBitCount == 16 ? kMode15 : kMode32;
  if (h.biCompression != kBiBitfields) return 0;
  const std::uint32_t r = Mask(dib, 0), g = Mask(dib, 1), b = Mask(dib, 2);
  if (h.biBitCount == 16 && r == 0x7C00 && g == 0x03E0 && b == 0x001F) return kMode15;
  if (h.biBitCount == 16 && r == 0xF800 && g == 0x07E0 && b == 0x001F) return kMode16;
  if (h.biBitCount == 32 && r == 0xFF0000 && g == 0xFF00 && b == 0xFF) return kMode32;
  return 0;
}

bool ReadFormat(const BITMAPINFO& dib, DibFormat* f) {
  const BITMAPINFOHEADER& h = dib.bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > 1024 || h.biPlanes != 1) return false;
  f->bitCount = h.biBitCount;
  f->bitsOffset = h.biSize;
  switch (h.biBitCount) {
    case 1:
    case 4:
    case 8:
      if (h.biCompression != kBiRgb) return false;
      f->mode = kMode8;
      f->colors = h.biClrUsed ? static_cast<int>(h.biClrUsed) : 1 << h.biBitCount;
      if (f->colors > (1 << h.biBitCount)) return false;
      f->bitsOffset += 4 * static_cast<std::size_t>(f->colors);
      return true;
    case 16:
    case 32:
      f->mode = TrueColorMode(dib);
      // A 40-byte header is followed by the three masks; larger headers hold them inside
      // (a header too short to hold all three ends where they do).
      if (h.biCompression == kBiBitfields) {
        f->bitsOffset = std::max<std::size_t>(f->bitsOffset, kInfoHeaderBytes + kMaskBytes);
      }
      return f->mode != 0;
    case 24:
      f->mode = kMode24;
      return h.biCompression == kBiRgb;
    default:
      return false;
  }
}

LOGPALETTE256 ColorTable(const BITMAPINFO& dib, int colors) {
  LOGPALETTE256 palette{};
  palette.palVersion = 0x300;
  palette.palNumEntries = 256;
  const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const std::uint8_t*>(&dib) +
                                                       dib.bmiHeader.biSize);
  for (int i = 0; i < colors; ++i) {
    palette.palPalEntry[i] = PALETTEENTRY{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
  }
  return palette;
}

// Pixel x of a row of 1-, 4- or 8-bit indexes.
std::uint8_t Index(const std::uint8_t* row, int x, int bitCount) {
  if (bitCount == 8) return row[x];
  if (bitCount == 4) return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
  return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

// The bits a bitmap leaves unused (the spare byte of 32-bit pixels, the top bit of 5-5-5 ones)
// may hold anything; stored pixels are compared whole against the colour key, so they are
// cleared.
void ClearUnusedBits(std::uint8_t* row, const ImageLayout& layout) {
  if (layout.mode == kMode32) {
    for (int x = 0; x < layout.width; ++x) row[4 * x + 3] = 0;
  } else if (layout.mode == kMode15) {
    for (int x = 0; x < layout.width; ++x) row[2 * x + 1] &= 0x7F;
  }
}

void CopyRows(const std::uint8_t* bits, const DibFormat& f, bool topDown, std::int64_t dibStride,
              const ImageLayout& layout, std::uint8_t* out) {
  const int bytesPerPixel = ModeBytesPerPixel(layout.mode);
  for (int y = 0; y < layout.height; ++y) {
    const std::uint8_t* in = bits + dibStride * (topDown ? y : layout.height - 1 - y);
    std::uint8_t* row = out + layout.rowBytes * y;
    if (f.bitCount < 8) {
      for (int x = 0; x < layout.width; ++x) row[x] = Index(in, x, f.bitCount);
    } else {
      std::memcpy(row, in,
                  static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(bytesPerPixel));
      ClearUnusedBits(row, layout);
    }
  }
}

}  // namespace
}  // namespace vexa

int AddImageFromDIB(ImageBank* bank, const ImagePlacement* placement, const BITMAPINFO* bitmap,
                    COLORREF transparentColor, std::uint32_t flags) {
  using namespace vexa;
  if (!bank || !bitmap) return 0;
  DibFormat format;
  if (!ReadFormat(*bitmap, &format)) return 0;
  const BITMAPINFOHEADER& h = bitmap->bmiHeader;
  const std::int64_t height = h.biHeight < 0 ? -std::int64_t{h.biHeight} : h.biHeight;
  if (h.biWidth < 1 || h.biWidth > 0xFFFF || height < 1 || height > 0xFFFF) return 0;
  ImageLayout layout;
  if (!ComputeImageLayout(format.mode, h.biWidth, height, false, &layout)) return 0;
  OwnedBlock rows;
  if (!rows.Allocate(static_cast<std::size_t>(layout.pixelBytes), true)) return 0;
  const std::int64_t dibStride = (std::int64_t{h.biWidth} * format.bitCount + 31) / 32 * 4;
  // The block's only statement of its length is the image size field: when it is given, the
  // rows must lie inside it (0 leaves it to the caller, as for any uncompressed bitmap).
  if (h.biSizeImage != 0 && h.biSizeImage < dibStride * height) return 0;
  const auto* bits = reinterpret_cast<const std::uint8_t*>(bitmap) + format.bitsOffset;
  CopyRows(bits, format, h.biHeight < 0, dibStride, layout, rows.get());
  const LOGPALETTE256 palette = ColorTable(*bitmap, format.colors);
  const ImagePlacement at = placement ? *placement : ImagePlacement{};
  return AddImage(bank, h.biWidth, static_cast<int>(height), at.hotSpotX, at.hotSpotY,
                  at.actionPointX, at.actionPointY, transparentColor,
                  (flags & kDibCallerFlags) | static_cast<std::uint32_t>(format.mode), rows.get(),
                  format.colors ? reinterpret_cast<const LOGPALETTE*>(&palette) : nullptr);
}

int AddImageFromDIB(ImageBank* bank, const ImagePlacement* placement, const BITMAPINFO* bitmap) {
  return AddImageFromDIB(bank, placement, bitmap, 0, kAddDeduplicate);
}
