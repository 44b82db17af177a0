#include "surface/dib_surface_header.h"

#include <cstdint>
#include <cstring>

#include "pixels/pixel_format.h"
#include "surface/bitmap_file_format.h"
#include "surface/buffer_surface_storage.h"

namespace vexa {
namespace {

constexpr DWORD kUncompressed = 0;
constexpr DWORD kBitFields = 3;
constexpr std::size_t kHeaderSize = sizeof(BITMAPINFOHEADER);

struct ColorMasks {
  DWORD red, green, blue;
};

ColorMasks ReadMasks(const BITMAPINFO* info) {
  DWORD words[3];
  std::memcpy(words, reinterpret_cast<const std::uint8_t*>(info) + kHeaderSize, sizeof(words));
  return {words[0], words[1], words[2]};
}

bool MasksAre(const ColorMasks& m, DWORD red, DWORD green, DWORD blue) {
  return m.red == red && m.green == green && m.blue == blue;
}

// The surface depth of a bit-field record; 0 for a mask set the formats cannot hold.
int BitFieldDepth(const BITMAPINFO* info, int bitCount) {
  const ColorMasks masks = ReadMasks(info);
  if (bitCount == 16 && MasksAre(masks, 0x7C00, 0x3E0, 0x1F)) return 15;
  if (bitCount == 16 && MasksAre(masks, 0xF800, 0x7E0, 0x1F)) return 16;
  if (bitCount == 32 && MasksAre(masks, 0xFF0000, 0xFF00, 0xFF)) return 32;
  return 0;
}

// The surface depth of an uncompressed record. Only bit counts whose pixels the formats
// address directly are taken: 1- and 4-bit rows are narrower than the 8-bit format reads.
int UncompressedDepth(int bitCount) {
  switch (bitCount) {
    case 8:
    case 24:
    case 32:
      return bitCount;
    case 16:
      return 15;
    default:
      return 0;
  }
}

bool ReadGeometry(const BITMAPINFOHEADER& header, DibLayout* layout) {
  const std::int64_t height = header.biHeight;
  if (header.biWidth < 1 || height == 0) return false;
  RowLayout rows;
  const std::int64_t rowCount = height < 0 ? -height : height;
  if (!ComputeRowLayout(header.biWidth, rowCount, layout->depth, &rows)) return false;
  // A stated image size smaller than the rows means the caller's block ends before them.
  if (header.biSizeImage != 0 && header.biSizeImage < rows.bytes) return false;
  layout->width = header.biWidth;
  layout->height = static_cast<int>(rowCount);
  layout->topDown = height < 0;
  layout->stride = rows.stride;
  return true;
}

}  // namespace

bool ReadDibLayout(const BITMAPINFO* info, DibLayout* layout) {
  *layout = DibLayout{};
  // Header lengths other than the information header's known ones are refused: the table
  // and rows are placed after the header, so a damaged length would place them anywhere.
  if (info == nullptr || info->bmiHeader.biSize < kHeaderSize ||
      !IsKnownBitmapHeaderSize(info->bmiHeader.biSize)) {
    return false;
  }
  const BITMAPINFOHEADER& header = info->bmiHeader;
  const int bitCount = header.biBitCount;
  // Longer headers hold the masks at the same place as the 12 bytes after a 40-byte one, and
  // the colour table (or the rows) follow the whole header.
  const std::size_t tableOffset = BitmapTableOffset(header.biSize, header.biCompression);
  if (header.biCompression == kBitFields) {
    layout->depth = BitFieldDepth(info, bitCount);
  } else if (header.biCompression == kUncompressed) {
    layout->depth = UncompressedDepth(bitCount);
  }
  layout->tableOffset = tableOffset;
  layout->bitsOffset = tableOffset;
  if (layout->depth == 0 || !ReadGeometry(header, layout)) return false;
  if (layout->depth == 8) {
    if (header.biClrUsed > 256) return false;
    layout->colorCount = header.biClrUsed != 0 ? static_cast<int>(header.biClrUsed) : 256;
    layout->bitsOffset = tableOffset + 4 * static_cast<std::size_t>(layout->colorCount);
  }
  return true;
}

}  // namespace vexa
