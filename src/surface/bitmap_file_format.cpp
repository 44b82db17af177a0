#include "surface/bitmap_file_format.h"

#include "surface/buffer_surface_storage.h"

namespace vexa {
namespace {

bool IsKnownBitCount(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

}  // namespace

BitmapHeaderCheck CheckBitmapHeader(const BITMAPINFOHEADER& header, std::int64_t fileBitsOffset,
                                    std::int64_t available, BitmapLayout* layout) {
  *layout = BitmapLayout{};
  const int bits = header.biBitCount;
  if (bits < 8 && bits != 1 && bits != 4) return BitmapHeaderCheck::kBadBitCount;
  if (header.biSize != kBitmapInfoHeaderSize || !IsKnownBitCount(bits)) {
    return BitmapHeaderCheck::kDamaged;
  }
  if (header.biCompression != kBitmapUncompressed && header.biCompression != kBitmapBitFields) {
    return BitmapHeaderCheck::kDamaged;
  }
  // Bit fields describe 16- and 32-bit pixels only.
  if (header.biCompression == kBitmapBitFields && bits != 16 && bits != 32) {
    return BitmapHeaderCheck::kDamaged;
  }
  const std::int64_t height = header.biHeight;
  const std::int64_t rows = height < 0 ? -height : height;
  if (header.biWidth < 1 || rows == 0) return BitmapHeaderCheck::kDamaged;
  // The stored rows, and the 8-bit rows that 1- and 4-bit bitmaps widen to, must make a
  // surface; a row count past that is refused before anything is allocated.
  RowLayout stored;
  RowLayout widened;
  if (!ComputeRowLayout(header.biWidth, rows, bits, &stored) ||
      !ComputeRowLayout(header.biWidth, rows, 8, &widened)) {
    return BitmapHeaderCheck::kDamaged;
  }
  layout->width = header.biWidth;
  layout->rowCount = static_cast<int>(rows);
  layout->topDown = height < 0;
  layout->bitCount = bits;
  layout->compression = header.biCompression;
  layout->stride = stored.stride;
  layout->imageBytes = stored.bytes;
  layout->maskBytes = header.biCompression == kBitmapBitFields ? kBitmapMaskBytes : 0;
  // The table holds the colours-used count of entries, or 2^bits at up to 8 bits when that
  // is 0. A record keeps at most the entries its pixels can address.
  if (bits <= 8) {
    const std::uint32_t full = 1u << bits;
    layout->tableEntries = header.biClrUsed != 0 ? header.biClrUsed : full;
    layout->keptEntries = layout->tableEntries < full ? layout->tableEntries : full;
  } else {
    layout->tableEntries = header.biClrUsed;
    layout->keptEntries = 0;
  }
  layout->tableOffset = kBitmapInfoHeaderSize + layout->maskBytes;
  const std::uint64_t tableEnd = layout->tableOffset + 4ull * layout->tableEntries;
  std::uint64_t bitsOffset = tableEnd;
  const bool sized = available >= 0;
  const auto fits = [&](std::uint64_t offset) {
    return !sized || offset + layout->imageBytes <= static_cast<std::uint64_t>(available);
  };
  // A file header may place the rows further on (a gap after the table); honoured only
  // while the rows still fit the file.
  if (fileBitsOffset >= 0 && static_cast<std::uint64_t>(fileBitsOffset) > tableEnd &&
      fits(static_cast<std::uint64_t>(fileBitsOffset))) {
    bitsOffset = static_cast<std::uint64_t>(fileBitsOffset);
  }
  if (!fits(bitsOffset)) return BitmapHeaderCheck::kDamaged;
  layout->bitsOffset = bitsOffset;
  return BitmapHeaderCheck::kOk;
}

BITMAPINFOHEADER PackedRecordHeader(const BITMAPINFOHEADER& header, const BitmapLayout& layout) {
  BITMAPINFOHEADER packed = header;
  packed.biSize = kBitmapInfoHeaderSize;
  packed.biClrUsed = layout.keptEntries;
  packed.biClrImportant = 0;
  packed.biSizeImage = static_cast<DWORD>(layout.imageBytes);
  return packed;
}

BITMAPFILEHEADER MakeBitmapFileHeader(std::uint32_t recordBytes, std::uint32_t bitsBytes) {
  BITMAPFILEHEADER file{};
  file.bfType = kBitmapSignature;
  file.bfSize = static_cast<DWORD>(kBitmapFileHeaderSize + recordBytes + bitsBytes);
  file.bfOffBits = static_cast<DWORD>(kBitmapFileHeaderSize + recordBytes);
  return file;
}

}  // namespace vexa
