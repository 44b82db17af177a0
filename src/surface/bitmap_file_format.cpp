#include "surface/bitmap_file_format.h"

#include <cstring>

#include "surface/buffer_surface_storage.h"

namespace vexa {
namespace {

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | p[1] << 8; }
std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool IsPackedBitCount(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// The information header and its extensions; the OS/2 header's sizes are the others.
bool IsInfoHeaderSize(std::uint32_t size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// Which compression goes with which bit count.
bool CompressionFits(DWORD compression, int bits) {
  switch (compression) {
    case kBitmapUncompressed:
      return true;
    case kBitmapRle8:
      return bits == 8;
    case kBitmapRle4:
      return bits == 4;
    case kBitmapBitFields:
    case kBitmapAlphaBitFields:
      return bits == 16 || bits == 32;
    default:
      return false;
  }
}

bool Contiguous(DWORD mask) {
  if (mask == 0) return true;
  while (!(mask & 1)) mask >>= 1;
  return (mask & (mask + 1)) == 0;
}

// Colour masks must each name a run of bits of the pixel, the three colours at least one,
// and no two overlap.
bool MasksUsable(const DWORD* masks, int bits) {
  const std::uint64_t limit = bits == 32 ? 0xFFFFFFFFull : (1ull << bits) - 1;
  DWORD seen = 0;
  for (int i = 0; i < 4; ++i) {
    if ((i < 3 && masks[i] == 0) || masks[i] > limit || !Contiguous(masks[i])) return false;
    if (seen & masks[i]) return false;
    seen |= masks[i];
  }
  return true;
}

// Densities a file would not state on purpose: one axis a thousand times the other.
bool DensitiesPlausible(std::int64_t x, std::int64_t y) {
  if (x <= 0 || y <= 0) return true;
  return x <= 1000 * y && y <= 1000 * x;
}

void DefaultMasks(int bits, DWORD* masks) {
  if (bits == 16) {
    masks[0] = 0x7C00, masks[1] = 0x3E0, masks[2] = 0x1F;
  } else if (bits == 32) {
    masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  }
}

}  // namespace

bool IsKnownBitmapHeaderSize(std::uint32_t size) {
  return size == kBitmapCoreHeaderSize || size == 16 || size == 64 || IsInfoHeaderSize(size);
}

bool ReadBitmapHeader(const std::uint8_t* bytes, std::size_t count, BitmapHeader* header) {
  *header = BitmapHeader{};
  if (count < 4) return false;
  const std::uint32_t size = Le32(bytes);
  if (!IsKnownBitmapHeaderSize(size) || count < size) return false;
  header->size = size;
  if (size == kBitmapCoreHeaderSize) {
    header->core = true;
    header->width = Le16(bytes + 4);
    header->height = Le16(bytes + 6);
    header->planes = static_cast<int>(Le16(bytes + 8));
    header->bitCount = static_cast<int>(Le16(bytes + 10));
    return true;
  }
  header->width = static_cast<std::int32_t>(Le32(bytes + 4));
  header->height = static_cast<std::int32_t>(Le32(bytes + 8));
  header->planes = static_cast<int>(Le16(bytes + 12));
  header->bitCount = static_cast<int>(Le16(bytes + 14));
  // A shortened OS/2 header stops anywhere after the bit count: what it lacks is 0.
  const auto field = [&](std::size_t offset) {
    return size >= offset + 4 ? Le32(bytes + offset) : 0;
  };
  header->compression = field(16);
  header->sizeImage = field(20);
  header->xPelsPerMeter = static_cast<std::int32_t>(field(24));
  header->yPelsPerMeter = static_cast<std::int32_t>(field(28));
  header->colorsUsed = field(32);
  if (!IsInfoHeaderSize(size) && (header->compression == 3 || header->compression == 4)) {
    header->compression = kBitmapForeignCompression;
  }
  if (size >= 52) {
    for (int i = 0; i < 3; ++i) header->masks[i] = Le32(bytes + 40 + 4 * i);
  }
  if (size >= 56) header->masks[3] = Le32(bytes + 52);
  if (!IsInfoHeaderSize(size)) std::memset(header->masks, 0, sizeof header->masks);
  return true;
}

BitmapHeader BitmapHeaderFrom(const BITMAPINFOHEADER& info) {
  BitmapHeader h;
  h.size = info.biSize;
  h.width = info.biWidth;
  h.height = info.biHeight;
  h.planes = info.biPlanes;
  h.bitCount = info.biBitCount;
  h.compression = info.biCompression;
  h.sizeImage = info.biSizeImage;
  h.xPelsPerMeter = info.biXPelsPerMeter;
  h.yPelsPerMeter = info.biYPelsPerMeter;
  h.colorsUsed = info.biClrUsed;
  return h;
}

std::size_t TrailingMaskBytes(const BitmapHeader& header) {
  if (header.size != kBitmapInfoHeaderSize) return 0;
  if (header.compression == kBitmapBitFields) return kBitmapMaskBytes;
  return header.compression == kBitmapAlphaBitFields ? kBitmapMaskBytes + 4 : 0;
}

void ReadTrailingMasks(const std::uint8_t* bytes, BitmapHeader* header) {
  const std::size_t count = TrailingMaskBytes(*header) / 4;
  for (std::size_t i = 0; i < count; ++i) header->masks[i] = Le32(bytes + 4 * i);
}

std::size_t BitmapTableOffset(std::uint32_t headerSize, DWORD compression) {
  BitmapHeader h;
  h.size = headerSize;
  h.compression = compression;
  return headerSize + TrailingMaskBytes(h);
}

BitmapHeaderCheck CheckBitmapHeader(const BitmapHeader& header, std::int64_t fileBitsOffset,
                                    std::int64_t available, std::int64_t statedBytes,
                                    const BitmapRules& rules, BitmapLayout* layout) {
  *layout = BitmapLayout{};
  const int bits = header.bitCount;
  const DWORD compression = header.compression;
  if (rules.anyHeader) {
    if (!IsKnownBitmapHeaderSize(header.size) || !(IsPackedBitCount(bits) || bits == 2) ||
        !CompressionFits(compression, bits)) {
      return BitmapHeaderCheck::kDamaged;
    }
    // Run lengths describe the rows from the bottom up only.
    const bool runLength = compression == kBitmapRle8 || compression == kBitmapRle4;
    if (runLength && header.height < 0) return BitmapHeaderCheck::kDamaged;
  } else {
    if (bits < 8 && bits != 1 && bits != 4) return BitmapHeaderCheck::kBadBitCount;
    if (header.size != kBitmapInfoHeaderSize || !IsPackedBitCount(bits)) {
      return BitmapHeaderCheck::kDamaged;
    }
    // Bit fields describe 16- and 32-bit pixels only.
    if ((compression != kBitmapUncompressed && compression != kBitmapBitFields) ||
        !CompressionFits(compression, bits)) {
      return BitmapHeaderCheck::kDamaged;
    }
  }
  if (rules.strict &&
      (header.planes != 1 || !DensitiesPlausible(header.xPelsPerMeter, header.yPelsPerMeter))) {
    return BitmapHeaderCheck::kDamaged;
  }
  const std::int64_t rows = header.height < 0 ? -header.height : header.height;
  if (header.width < 1 || rows == 0) return BitmapHeaderCheck::kDamaged;
  // The stored rows, and the 8-bit rows that smaller pixels widen to, must make a surface; a
  // row count past that is refused before anything is allocated.
  RowLayout stored;
  RowLayout widened;
  if (!ComputeRowLayout(header.width, rows, bits, &stored) ||
      !ComputeRowLayout(header.width, rows, 8, &widened)) {
    return BitmapHeaderCheck::kDamaged;
  }
  layout->width = static_cast<int>(header.width);
  layout->rowCount = static_cast<int>(rows);
  layout->topDown = header.height < 0;
  layout->bitCount = bits;
  layout->compression = compression;
  layout->stride = stored.stride;
  layout->imageBytes = stored.bytes;
  layout->entryBytes = header.core ? 3 : 4;
  if (compression == kBitmapBitFields || compression == kBitmapAlphaBitFields) {
    std::memcpy(layout->masks, header.masks, sizeof layout->masks);
    if (compression == kBitmapBitFields && header.size < 108) layout->masks[3] = 0;
    if (rules.anyHeader && !MasksUsable(layout->masks, bits)) return BitmapHeaderCheck::kDamaged;
  } else {
    DefaultMasks(bits, layout->masks);
  }
  layout->maskBytes = static_cast<std::uint32_t>(TrailingMaskBytes(header));
  // The table holds the colours-used count of entries, or 2^bits at up to 8 bits when that
  // is 0. A reader keeps at most the entries its pixels can address.
  const std::uint32_t full = bits <= 8 ? 1u << bits : 0;
  if (bits <= 8) {
    if (rules.strict && header.colorsUsed > full) return BitmapHeaderCheck::kDamaged;
    layout->tableEntries = header.colorsUsed != 0 ? header.colorsUsed : full;
  } else {
    layout->tableEntries = header.colorsUsed;
  }
  layout->tableOffset = header.size + layout->maskBytes;
  std::uint64_t tableEnd =
      layout->tableOffset + std::uint64_t{layout->entryBytes} * layout->tableEntries;
  const bool runLength = compression == kBitmapRle8 || compression == kBitmapRle4;
  const bool sized = available >= 0;
  const auto left = [&](std::uint64_t offset) {
    return offset <= static_cast<std::uint64_t>(available)
               ? static_cast<std::uint64_t>(available) - offset
               : 0;
  };
  const auto fits = [&](std::uint64_t offset, std::uint64_t bytes) {
    return !sized || (offset <= static_cast<std::uint64_t>(available) && bytes <= left(offset));
  };
  std::uint64_t bitsOffset = tableEnd;
  if (rules.useBitsOffset && fileBitsOffset >= 0) {
    // The offset places the rows; a table it cuts short keeps the entries before it (old
    // headers have no colour count and size their table this way).
    const auto offset = static_cast<std::uint64_t>(fileBitsOffset);
    if (offset < layout->tableOffset) return BitmapHeaderCheck::kDamaged;
    if (offset < tableEnd) {
      layout->tableEntries =
          static_cast<std::uint32_t>((offset - layout->tableOffset) / layout->entryBytes);
      tableEnd = layout->tableOffset + std::uint64_t{layout->entryBytes} * layout->tableEntries;
    }
    bitsOffset = offset;
  } else if (fileBitsOffset >= 0 && static_cast<std::uint64_t>(fileBitsOffset) > tableEnd &&
             fits(static_cast<std::uint64_t>(fileBitsOffset), layout->imageBytes)) {
    // A file header may place the rows further on (a gap after the table); honoured only
    // while the rows still fit the file.
    bitsOffset = static_cast<std::uint64_t>(fileBitsOffset);
  }
  layout->keptEntries = bits <= 8 ? (layout->tableEntries < full ? layout->tableEntries : full) : 0;
  if (bits <= 8 && rules.anyHeader && layout->keptEntries == 0) return BitmapHeaderCheck::kDamaged;
  if (!fits(tableEnd, 0)) return BitmapHeaderCheck::kDamaged;
  // Run lengths fill the stated image size, or the rest of the data.
  layout->dataBytes = layout->imageBytes;
  if (runLength) {
    if (header.sizeImage != 0) {
      layout->dataBytes = header.sizeImage;
    } else if (sized) {
      layout->dataBytes = left(bitsOffset);
    } else {
      return BitmapHeaderCheck::kDamaged;
    }
  }
  if (!fits(bitsOffset, layout->dataBytes)) return BitmapHeaderCheck::kDamaged;
  if (rules.strict && sized) {
    // A stated image or file size larger than what the data holds means the file is cut or
    // the header damaged.
    if (header.sizeImage != 0 && header.sizeImage > left(bitsOffset)) {
      return BitmapHeaderCheck::kDamaged;
    }
    if (statedBytes > available) return BitmapHeaderCheck::kDamaged;
  }
  layout->bitsOffset = bitsOffset;
  return BitmapHeaderCheck::kOk;
}

BitmapHeaderCheck CheckBitmapHeader(const BITMAPINFOHEADER& header, std::int64_t fileBitsOffset,
                                    std::int64_t available, BitmapLayout* layout) {
  return CheckBitmapHeader(BitmapHeaderFrom(header), fileBitsOffset, available, -1, BitmapRules{},
                           layout);
}

BITMAPINFOHEADER PackedRecordHeader(const BITMAPINFOHEADER& header, const BitmapLayout& layout) {
  BITMAPINFOHEADER packed = header;
  packed.biSize = kBitmapInfoHeaderSize;
  packed.biClrUsed = layout.keptEntries;
  packed.biClrImportant = 0;
  packed.biSizeImage = static_cast<DWORD>(layout.imageBytes);
  return packed;
}

BITMAPINFOHEADER MakeBitmapInfoHeader(int width, int height, int depth) {
  BITMAPINFOHEADER header{};
  header.biSize = kBitmapInfoHeaderSize;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(depth == 15 ? 16 : depth);
  header.biCompression = depth == 16 ? kBitmapBitFields : kBitmapUncompressed;
  RowLayout rows;
  if (ComputeRowLayout(width, height, depth, &rows)) {
    header.biSizeImage = static_cast<DWORD>(rows.bytes);
  }
  return header;
}

BITMAPFILEHEADER MakeBitmapFileHeader(std::uint32_t recordBytes, std::uint32_t bitsBytes) {
  BITMAPFILEHEADER file{};
  file.bfType = kBitmapSignature;
  file.bfSize = static_cast<DWORD>(kBitmapFileHeaderSize + recordBytes + bitsBytes);
  file.bfOffBits = static_cast<DWORD>(kBitmapFileHeaderSize + recordBytes);
  return file;
}

}  // namespace vexa
