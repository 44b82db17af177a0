// Reading the headers of device-independent bitmap files and packed bitmap records.
//
// A bitmap file is untrusted: every size derived here is computed in 64 bits and checked
// against the bytes the file still holds before anyone allocates for it. This is the one
// place that knows the header fields and their rules; the surface object's bitmap loader and
// the bitmap image filter share it.
//
// A file is: an optional 14-byte file header ("BM", file size, bits offset), the 40-byte
// information header, three 32-bit colour masks for bit-field bitmaps, a colour table of
// 4-byte (blue, green, red, 0) entries, then the rows, each padded to 4 bytes, bottom-up for
// a positive height.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/wintypes.h>

namespace vexa {

inline constexpr std::size_t kBitmapFileHeaderSize = 14;
inline constexpr std::size_t kBitmapInfoHeaderSize = 40;
inline constexpr std::size_t kBitmapMaskBytes = 12;
inline constexpr WORD kBitmapSignature = 0x4D42;  // "BM"
inline constexpr DWORD kBitmapUncompressed = 0;
inline constexpr DWORD kBitmapBitFields = 3;

// Why a header was refused.
enum class BitmapHeaderCheck {
  kOk,
  kBadBitCount,  // a bit count below 8 other than 1 and 4
  kDamaged,      // anything else: header size, compression, sizes, data past the end
};

// Where everything of an accepted bitmap lies, offsets counted from the start of the
// information header.
struct BitmapLayout {
  int width = 0;
  int rowCount = 0;                // |height|
  bool topDown = false;            // the stored height was negative
  int bitCount = 0;                // 1, 4, 8, 16, 24 or 32 as stored
  DWORD compression = 0;           // 0 or 3
  int stride = 0;                  // bytes of one stored row
  std::uint64_t imageBytes = 0;    // stride x rowCount
  std::uint32_t maskBytes = 0;     // 12 for bit fields
  std::uint32_t tableEntries = 0;  // entries stored in the file (above 8 bits: skipped)
  std::uint32_t keptEntries = 0;   // entries a packed record keeps (0 above 8 bits)
  std::uint64_t tableOffset = 0;   // 40 + maskBytes
  std::uint64_t bitsOffset = 0;    // where the rows start
};

// Checks a 40-byte information header and finds the layout of the data after it.
// `fileBitsOffset`: the file header's bits offset counted from the information header
// (its stored value - 14), or -1 without a file header; it is used only when it lies past the
// colour table and leaves room for the rows. `available`: bytes from the information header's
// start to the end of the data, or -1 when unknown (the rows must then still fit
// kMaxSurfaceBytes).
BitmapHeaderCheck CheckBitmapHeader(const BITMAPINFOHEADER& header, std::int64_t fileBitsOffset,
                                    std::int64_t available, BitmapLayout* layout);

// Bytes of the packed record a loader builds from an accepted layout: the header, the
// masks, the kept colour table entries (the rows follow it).
inline std::size_t PackedRecordSize(const BitmapLayout& layout) {
  return kBitmapInfoHeaderSize + layout.maskBytes + 4 * std::size_t{layout.keptEntries};
}

// The header of that packed record: the file's header with the colour count set to the kept
// entries, the image size to the row bytes and the important-colour count cleared.
BITMAPINFOHEADER PackedRecordHeader(const BITMAPINFOHEADER& header, const BitmapLayout& layout);

// The file header of a file holding a packed record of `recordBytes` bytes (header and
// table) followed by `bitsBytes` bytes of rows.
BITMAPFILEHEADER MakeBitmapFileHeader(std::uint32_t recordBytes, std::uint32_t bitsBytes);

}  // namespace vexa
