#include "surface/bitmap_widen.h"

#include <array>
#include <cstring>

#include <vexa/memory.h>

#include "surface/bitmap_file_format.h"
#include "surface/buffer_surface_storage.h"

namespace vexa {
namespace {

constexpr int kTableBytes = 256 * 4;

// The widened bytes of one source byte: eight 1-bit or two 4-bit pixels.
struct WideningTable {
  std::array<std::array<std::uint8_t, 8>, 256> bytes{};
  int pixelsPerByte = 0;
};

WideningTable MakeTable(int bitCount) {
  WideningTable t;
  t.pixelsPerByte = 8 / bitCount;
  for (int v = 0; v < 256; ++v) {
    for (int i = 0; i < t.pixelsPerByte; ++i) {
      const int shift = 8 - bitCount * (i + 1);
      const int value = (v >> shift) & ((1 << bitCount) - 1);
      const bool keepZero = bitCount == 4 && value == 0;
      t.bytes[v][i] = static_cast<std::uint8_t>(keepZero ? 0 : value + kWidenedTableStart);
    }
  }
  return t;
}

const WideningTable& TableFor(int bitCount) {
  static const WideningTable one = MakeTable(1);
  static const WideningTable four = MakeTable(4);
  return bitCount == 1 ? one : four;
}

void WidenRow(const std::uint8_t* source, std::uint8_t* target, int width, const WideningTable& t) {
  const int whole = width / t.pixelsPerByte;
  for (int i = 0; i < whole; ++i) {
    std::memcpy(target, t.bytes[source[i]].data(), static_cast<std::size_t>(t.pixelsPerByte));
    target += t.pixelsPerByte;
  }
  const int rest = width - whole * t.pixelsPerByte;
  if (rest) std::memcpy(target, t.bytes[source[whole]].data(), static_cast<std::size_t>(rest));
}

}  // namespace

BITMAPINFO* WidenBitmap(const BITMAPINFO* info, const void* bits, const PALETTEENTRY* base) {
  const BITMAPINFOHEADER& header = info->bmiHeader;
  const int bitCount = header.biBitCount;
  if (bitCount != 1 && bitCount != 4) return nullptr;
  if (header.biSize < kBitmapInfoHeaderSize || !IsKnownBitmapHeaderSize(header.biSize)) {
    return nullptr;
  }
  const std::int64_t height = header.biHeight;
  const std::int64_t rows = height < 0 ? -height : height;
  RowLayout source;
  RowLayout widened;
  if (header.biWidth < 1 || rows == 0 ||
      !ComputeRowLayout(header.biWidth, rows, bitCount, &source) ||
      !ComputeRowLayout(header.biWidth, rows, 8, &widened)) {
    return nullptr;
  }
  // Only the entries the record holds are taken, however many it claims.
  const std::uint32_t full = 1u << bitCount;
  const std::uint32_t entries =
      header.biClrUsed != 0 && header.biClrUsed < full ? header.biClrUsed : full;
  const auto* record = reinterpret_cast<const std::uint8_t*>(info);
  // The table follows the record's own header, whichever length it has.
  const std::uint8_t* table = record + BitmapTableOffset(header.biSize, header.biCompression);
  const auto* rowsIn = bits ? static_cast<const std::uint8_t*>(bits)
                            : table + 4 * std::size_t{header.biClrUsed ? header.biClrUsed : full};

  void* block = nullptr;
  if (!AllocBlock(&block, kBitmapInfoHeaderSize + kTableBytes + widened.bytes)) return nullptr;
  auto* out = static_cast<std::uint8_t*>(block);
  BITMAPINFOHEADER wide = header;
  wide.biSize = kBitmapInfoHeaderSize;
  wide.biBitCount = 8;
  wide.biCompression = kBitmapUncompressed;
  wide.biSizeImage = 0;
  wide.biClrUsed = 0;
  wide.biClrImportant = 0;
  std::memcpy(out, &wide, sizeof(wide));
  std::uint8_t* outTable = out + kBitmapInfoHeaderSize;
  for (int i = 0; i < 256; ++i) {
    const PALETTEENTRY e = base ? base[i] : PALETTEENTRY{};
    const std::uint8_t quad[4] = {e.peBlue, e.peGreen, e.peRed, 0};
    std::memcpy(outTable + 4 * i, quad, 4);
  }
  std::memcpy(outTable + 4 * kWidenedTableStart, table, 4 * std::size_t{entries});
  for (std::size_t i = 0; i < entries; ++i) outTable[4 * (kWidenedTableStart + i) + 3] = 0;

  // Rows keep their order: the widened record has the same height sign.
  std::uint8_t* rowsOut = outTable + kTableBytes;
  const WideningTable& t = TableFor(bitCount);
  for (std::int64_t y = 0; y < rows; ++y) {
    WidenRow(rowsIn + y * source.stride, rowsOut + y * widened.stride, header.biWidth, t);
    std::memset(rowsOut + y * widened.stride + header.biWidth, 0,
                static_cast<std::size_t>(widened.stride - header.biWidth));
  }
  return reinterpret_cast<BITMAPINFO*>(out);
}

}  // namespace vexa
