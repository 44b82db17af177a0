// Reading the headers of device-independent bitmap files and packed bitmap records.
//
// A bitmap file is untrusted: every size derived here is computed in 64 bits and checked
// against the bytes the file still holds before anyone allocates for it. This is the one
// place that knows the header fields and their rules; the surface object's bitmap loader,
// the DIB surface and the bitmap image filter plug-in (which builds this file in) share it.
//
// A file is: an optional 14-byte file header ("BM", file size, bits offset), an information
// header (12 bytes for the old core header with 16-bit sizes and 3-byte table entries; 16 to
// 64 bytes for the second OS/2 header; 40, 52, 56, 108 or 124 bytes for the information
// header and its later extensions), colour masks (inside headers of 52 bytes and more, else
// 12 or 16 bytes after a 40-byte header), a colour table of (blue, green, red[, 0]) entries,
// then the rows, each padded to 4 bytes, bottom-up for a positive height.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/wintypes.h>

namespace vexa {

inline constexpr std::size_t kBitmapFileHeaderSize = 14;
inline constexpr std::size_t kBitmapCoreHeaderSize = 12;
inline constexpr std::size_t kBitmapInfoHeaderSize = 40;
inline constexpr std::size_t kBitmapV5HeaderSize = 124;
inline constexpr std::size_t kBitmapMaskBytes = 12;
inline constexpr WORD kBitmapSignature = 0x4D42;  // "BM"
inline constexpr DWORD kBitmapUncompressed = 0;
inline constexpr DWORD kBitmapRle8 = 1;
inline constexpr DWORD kBitmapRle4 = 2;
inline constexpr DWORD kBitmapBitFields = 3;
inline constexpr DWORD kBitmapAlphaBitFields = 6;
// The OS/2 header's codes 3 and 4 (one-dimensional Huffman, 24-bit run lengths) mean other
// things than the information header's; they are read as this value, which nothing accepts.
inline constexpr DWORD kBitmapForeignCompression = 0xFFFFFFFF;

// Why a header was refused.
enum class BitmapHeaderCheck {
  kOk,
  kBadBitCount,  // a bit count below 8 other than 1 and 4 (packed records)
  kDamaged,      // anything else: header size, compression, sizes, data past the end
};

// Any information header, with the fields a shorter header lacks as 0.
struct BitmapHeader {
  std::uint32_t size = 0;  // bytes of the header as stored
  std::int64_t width = 0;
  std::int64_t height = 0;  // negative: rows top-down
  int planes = 0;
  int bitCount = 0;
  DWORD compression = 0;
  DWORD sizeImage = 0;
  std::int32_t xPelsPerMeter = 0;
  std::int32_t yPelsPerMeter = 0;
  DWORD colorsUsed = 0;
  DWORD masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha (bit fields)
  bool core = false;              // 12-byte header: 3-byte table entries
};

// True for a header size this file knows.
bool IsKnownBitmapHeaderSize(std::uint32_t size);

// Reads the header whose size field is at `bytes`; `count` bytes are readable there (at
// least the header's size, at most kBitmapV5HeaderSize are looked at). False for an unknown
// header size or too few bytes.
bool ReadBitmapHeader(const std::uint8_t* bytes, std::size_t count, BitmapHeader* header);
BitmapHeader BitmapHeaderFrom(const BITMAPINFOHEADER& info);

// Bytes of masks stored right after a 40-byte header (12 or 16 for bit fields, else 0), and
// reading them from `bytes`.
std::size_t TrailingMaskBytes(const BitmapHeader& header);
void ReadTrailingMasks(const std::uint8_t* bytes, BitmapHeader* header);

// What a reader accepts beyond packed 40-byte records with uncompressed or bit-field rows of
// 1, 4, 8, 16, 24 or 32 bits.
struct BitmapRules {
  bool anyHeader = false;      // every known header size, 2-bit rows, run lengths, any masks
  bool strict = false;         // planes 1, plausible densities, stated sizes within the data
  bool useBitsOffset = false;  // the file header's bits offset places the rows (and bounds
                               // the colour table) whenever it lies after the header
};

// Where everything of an accepted bitmap lies, offsets counted from the start of the
// information header.
struct BitmapLayout {
  int width = 0;
  int rowCount = 0;                // |height|
  bool topDown = false;            // the stored height was negative
  int bitCount = 0;                // 1, 2, 4, 8, 16, 24 or 32 as stored
  DWORD compression = 0;           // 0, 1, 2, 3 or 6
  int stride = 0;                  // bytes of one uncompressed row
  std::uint64_t imageBytes = 0;    // stride x rowCount
  std::uint64_t dataBytes = 0;     // bytes of pixel data to read: imageBytes, or run lengths
  std::uint32_t maskBytes = 0;     // masks after a 40-byte header
  std::uint32_t entryBytes = 4;    // bytes of one colour table entry (3 in core headers)
  std::uint32_t tableEntries = 0;  // entries stored in the file (above 8 bits: skipped)
  std::uint32_t keptEntries = 0;   // entries a reader keeps (0 above 8 bits)
  std::uint64_t tableOffset = 0;   // header size + maskBytes
  std::uint64_t bitsOffset = 0;    // where the rows start
  DWORD masks[4] = {0, 0, 0, 0};   // bit fields, or the defaults of 16- and 32-bit rows
};

// Checks a header and finds the layout of the data after it. `fileBitsOffset`: the file
// header's bits offset counted from the information header (its stored value - 14), or -1
// without a file header. `available`: bytes from the information header's start to the end
// of the data, or -1 when unknown (the rows must then still fit kMaxSurfaceBytes).
// `statedBytes`: the file header's file size counted the same way, or -1.
BitmapHeaderCheck CheckBitmapHeader(const BitmapHeader& header, std::int64_t fileBitsOffset,
                                    std::int64_t available, std::int64_t statedBytes,
                                    const BitmapRules& rules, BitmapLayout* layout);

// A packed record's 40-byte header: the rules of packed records, no stated file size.
BitmapHeaderCheck CheckBitmapHeader(const BITMAPINFOHEADER& header, std::int64_t fileBitsOffset,
                                    std::int64_t available, BitmapLayout* layout);

// Where the colour table of a record starts: after the header, and after the masks that
// follow a 40-byte header.
std::size_t BitmapTableOffset(std::uint32_t headerSize, DWORD compression);

// Bytes of the packed record a loader builds from an accepted layout: the header, the
// masks, the kept colour table entries (the rows follow it).
inline std::size_t PackedRecordSize(const BitmapLayout& layout) {
  return kBitmapInfoHeaderSize + layout.maskBytes + 4 * std::size_t{layout.keptEntries};
}

// The header of that packed record: the file's header with the colour count set to the kept
// entries, the image size to the row bytes and the important-colour count cleared.
BITMAPINFOHEADER PackedRecordHeader(const BITMAPINFOHEADER& header, const BitmapLayout& layout);

// The 40-byte header of a bottom-up bitmap of a surface depth (8, 15, 16, 24 or 32): 15 is
// written as 16 bits uncompressed, 16 as 16 bits with the 5-6-5 masks (which follow it).
BITMAPINFOHEADER MakeBitmapInfoHeader(int width, int height, int depth);
inline constexpr DWORD kBitmapMasks565[3] = {0xF800, 0x7E0, 0x1F};

// The file header of a file holding a packed record of `recordBytes` bytes (header and
// table) followed by `bitsBytes` bytes of rows.
BITMAPFILEHEADER MakeBitmapFileHeader(std::uint32_t recordBytes, std::uint32_t bitsBytes);

}  // namespace vexa
