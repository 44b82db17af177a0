// The bitmap image filter: device-independent bitmap files, read and written by own code.
//
// Reads the core (12-byte), OS/2 (16- and 64-byte), information (40-byte) headers and the
// 52-, 56-, 108- and 124-byte extensions; 1-, 2-, 4- and 8-bit palette rows (widened to 8
// bits with the file's palette), 8- and 4-bit run lengths, 16- and 32-bit rows with any colour
// masks, alpha masks (an alpha plane), 24-bit rows, bottom-up and top-down. 16-bit files with
// the 5-5-5 or 5-6-5 masks come as depth 15 or 16 (their values unchanged), other masks as 24
// bits, or 32 with alpha. The header reading and every size check are the library's own
// bitmap-file code (built into this plug-in), so files that one reader refuses for damage the
// other does too; this filter applies the strict rules: one plane, plausible densities,
// stated sizes within the data, pixel indexes within the colour table, run lengths that stay
// inside the image.
//
// Saves 8 (256-entry table), 15 (16 bits uncompressed), 16 (5-6-5 bit fields), 24 and 32
// bits, bottom-up. A 32-bit image with an alpha plane is written with a 124-byte header whose
// alpha mask names the fourth byte; without one the fourth byte is 0.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <vexa/filter_impl.h>
#include <vexa/filter_plugin.h>
#include <vexa/stream.h>

#include "../common/filter_support.h"
#include "surface/bitmap_file_format.h"

namespace {

using filters::kBadDepth;
using filters::kOk;
using filters::kOutOfMemory;
using filters::kWriteFailed;
using vexa::BitmapLayout;

constexpr std::uint32_t kBmpID = FilterID("BMP ");
constexpr int kNotBmp = filters::kNotOurs;

// The colour-space tag of the saved 124-byte header ("sRGB") and its rendering intent.
constexpr DWORD kColorSpaceSrgb = 0x73524742;
constexpr DWORD kIntentImages = 4;

bool IsBitmapStart(CInputFile* input) {
  BYTE start[18];
  if (!input || input->ReadExact(start, sizeof start) != kStreamOk) return false;
  const std::uint32_t size =
      start[14] | start[15] << 8 | start[16] << 16 | static_cast<std::uint32_t>(start[17]) << 24;
  return start[0] == 'B' && start[1] == 'M' && vexa::IsKnownBitmapHeaderSize(size);
}

// One colour mask: where its bits start, how many, and their values scaled to 8 bits.
struct Channel {
  int shift = 0;
  int bits = 0;
  DWORD mask = 0;
  std::vector<BYTE> scale;  // for masks of fewer than 8 bits

  void Set(DWORD m) {
    mask = m;
    shift = 0;
    bits = 0;
    if (m) {
      while (!((m >> shift) & 1)) ++shift;
      while (bits + shift < 32 && ((m >> (shift + bits)) & 1)) ++bits;
    }
    scale.clear();
    if (bits > 0 && bits < 8) {
      const int max = (1 << bits) - 1;
      for (int v = 0; v <= max; ++v) scale.push_back(static_cast<BYTE>((v * 255 + max / 2) / max));
    }
  }
  BYTE Value(DWORD pixel) const {
    if (!bits) return 0;
    const DWORD v = (pixel & mask) >> shift;
    return bits >= 8 ? static_cast<BYTE>(v >> (bits - 8)) : scale[v];
  }
};

class BmpFilter final : public CFilterImpl {
 public:
  void Release() override { delete this; }
  std::uint32_t GetID() override { return kBmpID; }
  int Reserved4() override { return 0; }
  int CanReadFile(CInputFile* input) override { return IsBitmapStart(input); }
  int SupportsImages() override { return 1; }
  int CanSaveImage() override { return 1; }
  int BeginRead(CInputFile* input) override;
  int ReadImage(CInputFile* input, BYTE* pixels, int pitch, BYTE* alpha, int alphaPitch) override;
  int SaveImage(COutputFile* output, const BYTE* pixels, int width, int height, int depth,
                int pitch, const LOGPALETTE* palette, const void* alphaOrKey,
                int alphaPitch) override;

 private:
  int ReadPalette(CInputFile* input);
  void ChooseDepth();
  int ReadRows(CInputFile* input, BYTE* pixels, int pitch, BYTE* alpha, int alphaPitch);
  int ReadRunLengths(CInputFile* input, BYTE* pixels, int pitch);
  bool DecodeRow(const BYTE* stored, BYTE* native, BYTE* alpha) const;
  void Deliver(const BYTE* native, int y, BYTE* pixels, int pitch) {
    ConvertRow(pixels + static_cast<std::ptrdiff_t>(y) * pitch, native, width);
  }

  BitmapLayout layout_;
  std::int64_t dataStart_ = 0;  // stream position of the rows
  bool masked_ = false;         // 16- or 32-bit pixels taken apart by their masks
  Channel channels_[4];
};

int BmpFilter::BeginRead(CInputFile* input) {
  if (!input) return kNotBmp;
  const std::int64_t start = input->Tell();
  const std::int64_t size = input->GetSize();
  BYTE fileHeader[vexa::kBitmapFileHeaderSize];
  BYTE bytes[vexa::kBitmapV5HeaderSize + 16];
  // Every size is checked against the stream's: one that cannot tell it is not read.
  if (start < 0 || size < start + 18 ||
      input->ReadExact(fileHeader, sizeof fileHeader) != kStreamOk || fileHeader[0] != 'B' ||
      fileHeader[1] != 'M' || input->ReadExact(bytes, 4) != kStreamOk) {
    return kNotBmp;
  }
  const std::uint32_t headerSize =
      bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  if (!vexa::IsKnownBitmapHeaderSize(headerSize) ||
      input->ReadExact(bytes + 4, static_cast<int>(headerSize - 4)) != kStreamOk) {
    return kNotBmp;
  }
  vexa::BitmapHeader header;
  if (!vexa::ReadBitmapHeader(bytes, headerSize, &header)) return kNotBmp;
  const std::size_t maskBytes = vexa::TrailingMaskBytes(header);
  if (maskBytes) {
    if (input->ReadExact(bytes + headerSize, static_cast<int>(maskBytes)) != kStreamOk) {
      return kNotBmp;
    }
    vexa::ReadTrailingMasks(bytes + headerSize, &header);
  }
  const std::int64_t rows = header.height < 0 ? -header.height : header.height;
  if (filters::TooLarge(header.width, rows)) return kOutOfMemory;

  BITMAPFILEHEADER file;
  std::memcpy(&file, fileHeader, sizeof file);
  const std::int64_t infoStart = start + static_cast<std::int64_t>(vexa::kBitmapFileHeaderSize);
  const std::int64_t available = size - infoStart;
  const std::int64_t header14 = vexa::kBitmapFileHeaderSize;
  const vexa::BitmapRules rules{true, true, true};
  if (vexa::CheckBitmapHeader(header, std::int64_t{file.bfOffBits} - header14, available,
                              std::int64_t{file.bfSize} - header14, rules,
                              &layout_) != vexa::BitmapHeaderCheck::kOk) {
    return kNotBmp;
  }
  width = layout_.width;
  height = layout_.rowCount;
  hasAlpha = 0;
  frameCount = 1;
  currentFrame = -1;
  dataStart_ = infoStart + static_cast<std::int64_t>(layout_.bitsOffset);
  if (layout_.bitCount <= 8) {
    const int result = ReadPalette(input);
    if (result != kOk) return result;
  }
  ChooseDepth();
  ComputeLineBytes();
  fileLineBytes = lineBytes;
  return kOk;
}

// The kept entries of the colour table; the stream stands at the table.
int BmpFilter::ReadPalette(CInputFile* input) {
  const int count = static_cast<int>(layout_.keptEntries);
  const int entry = static_cast<int>(layout_.entryBytes);
  BYTE table[256 * 4];
  if (input->ReadExact(table, count * entry) != kStreamOk) return kNotBmp;
  if (!CreatePalette(count)) return kOutOfMemory;
  auto* e = reinterpret_cast<LOGPALETTE256*>(palette)->palPalEntry;
  for (int i = 0; i < count; ++i) {
    const BYTE* q = table + i * entry;
    e[i] = PALETTEENTRY{q[2], q[1], q[0], 0};
  }
  return kOk;
}

void BmpFilter::ChooseDepth() {
  const int bits = layout_.bitCount;
  const DWORD* m = layout_.masks;
  masked_ = false;
  if (bits <= 8) {
    depth = 8;
    return;
  }
  if (bits == 24) {
    depth = 24;
    return;
  }
  hasAlpha = m[3] != 0;
  if (!hasAlpha && bits == 16 && m[0] == 0x7C00 && m[1] == 0x3E0 && m[2] == 0x1F) {
    depth = 15;
  } else if (!hasAlpha && bits == 16 && m[0] == 0xF800 && m[1] == 0x7E0 && m[2] == 0x1F) {
    depth = 16;
  } else if (!hasAlpha && bits == 32 && m[0] == 0xFF0000 && m[1] == 0xFF00 && m[2] == 0xFF) {
    depth = 32;
  } else {
    masked_ = true;
    depth = hasAlpha ? 32 : 24;
    for (int i = 0; i < 4; ++i) channels_[i].Set(m[i]);
  }
}

// One stored row to a row at the filter's depth (and its alpha); false when a pixel names an
// entry past the colour table.
bool BmpFilter::DecodeRow(const BYTE* stored, BYTE* native, BYTE* alpha) const {
  const int bits = layout_.bitCount;
  const int n = width;
  if (bits <= 8) {
    const unsigned limit = layout_.keptEntries;
    unsigned highest = 0;
    if (bits == 8) {
      for (int x = 0; x < n; ++x) highest |= (stored[x] >= limit) ? 256u : 0u;
      std::memcpy(native, stored, static_cast<std::size_t>(n));
    } else {
      const int perByte = 8 / bits;
      const unsigned valueMask = (1u << bits) - 1;
      for (int x = 0; x < n; ++x) {
        const int shift = 8 - bits * (x % perByte + 1);
        const unsigned v = (stored[x / perByte] >> shift) & valueMask;
        highest |= v >= limit ? 256u : 0u;
        native[x] = static_cast<BYTE>(v);
      }
    }
    return highest == 0;
  }
  if (!masked_) {
    if (depth == 32) {
      for (int x = 0; x < n; ++x) {
        std::memcpy(native + 4 * x, stored + 4 * x, 3);
        native[4 * x + 3] = 0;
      }
    } else {
      std::memcpy(native, stored, static_cast<std::size_t>(n) * (bits / 8));
    }
    return true;
  }
  const int out = depth / 8;
  for (int x = 0; x < n; ++x) {
    DWORD pixel;
    if (bits == 16) {
      pixel = stored[2 * x] | stored[2 * x + 1] << 8;
    } else {
      pixel = stored[4 * x] | stored[4 * x + 1] << 8 | stored[4 * x + 2] << 16 |
              static_cast<DWORD>(stored[4 * x + 3]) << 24;
    }
    BYTE* p = native + out * x;
    p[0] = channels_[2].Value(pixel);
    p[1] = channels_[1].Value(pixel);
    p[2] = channels_[0].Value(pixel);
    if (out == 4) p[3] = 0;
    if (alpha) alpha[x] = channels_[3].Value(pixel);
  }
  return true;
}

int BmpFilter::ReadRows(CInputFile* input, BYTE* pixels, int pitch, BYTE* alpha, int alphaPitch) {
  const std::size_t stride = static_cast<std::size_t>(layout_.stride);
  const std::size_t nativeBytes = static_cast<std::size_t>(width) * 4;
  // Stored rows are read a block of rows at a time.
  const int rowsPerRead = static_cast<int>(std::max<std::size_t>(1, 65536 / stride));
  auto* block = static_cast<BYTE*>(std::malloc(stride * rowsPerRead + nativeBytes));
  if (!block) return kOutOfMemory;
  BYTE* native = block + stride * rowsPerRead;
  // Rows that need no conversion are decoded straight into the caller's rows.
  const bool direct = !convert && outputDepth == depth;
  int result = kOk;
  for (int first = 0; first < height && result == kOk; first += rowsPerRead) {
    const int count = std::min(rowsPerRead, height - first);
    if (input->ReadExact(block, static_cast<int>(stride * count)) != kStreamOk) {
      result = kNotBmp;
      break;
    }
    for (int i = 0; i < count; ++i) {
      const int stored = first + i;
      const int y = layout_.topDown ? stored : height - 1 - stored;
      BYTE* target = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
      BYTE* alphaRow =
          alpha && hasAlpha ? alpha + static_cast<std::ptrdiff_t>(y) * alphaPitch : nullptr;
      if (!DecodeRow(block + stride * i, direct ? target : native, alphaRow)) {
        result = kNotBmp;
        break;
      }
      if (!direct) ConvertRow(target, native, width);
    }
  }
  std::free(block);
  return result;
}

// Run-length rows. Runs only move right and up, so each row is finished in a row of indexes
// (pixels a run skips keep index 0) and delivered when the runs leave it. Every run is checked
// against the row and the image before it is written, and against the data before it is read.
int BmpFilter::ReadRunLengths(CInputFile* input, BYTE* pixels, int pitch) {
  const std::size_t dataBytes = static_cast<std::size_t>(layout_.dataBytes);
  auto* data = static_cast<BYTE*>(std::malloc(dataBytes + 1));
  auto* row = static_cast<BYTE*>(std::calloc(static_cast<std::size_t>(width), 1));
  if (!data || !row) {
    std::free(data);
    std::free(row);
    return kOutOfMemory;
  }
  const bool four = layout_.compression == vexa::kBitmapRle4;
  const unsigned limit = layout_.keptEntries;
  bool ok = input->ReadExact(data, static_cast<int>(dataBytes)) == kStreamOk;
  std::size_t p = 0;
  std::int64_t x = 0, y = 0;   // y counts stored rows, from the bottom
  std::int64_t delivered = 0;  // stored rows handed over
  // Hands over the stored rows below `to`: the current one, then empty ones.
  const auto deliverUpTo = [&](std::int64_t to) {
    to = std::min<std::int64_t>(to, height);
    for (; delivered < to; ++delivered) {
      Deliver(row, height - 1 - static_cast<int>(delivered), pixels, pitch);
      std::memset(row, 0, static_cast<std::size_t>(width));
    }
  };
  const auto put = [&](unsigned index) {
    if (index >= limit) return false;
    row[x++] = static_cast<BYTE>(index);
    return true;
  };
  bool ended = false;
  while (ok && !ended && p + 2 <= dataBytes) {
    const unsigned count = data[p], code = data[p + 1];
    p += 2;
    if (count > 0) {
      ok = y < height && x + count <= width;
      for (unsigned i = 0; ok && i < count; ++i) {
        ok = put(four ? ((i & 1) ? code & 15 : code >> 4) : code);
      }
    } else if (code == 0) {  // end of row
      x = 0;
      ++y;
    } else if (code == 1) {  // end of image
      ended = true;
    } else if (code == 2) {  // move right and up
      ok = p + 2 <= dataBytes;
      if (ok) {
        x += data[p];
        y += data[p + 1];
        p += 2;
        ok = x <= width && y <= height;
      }
    } else {  // `code` literal pixels, padded to a 2-byte boundary
      const std::size_t bytes = four ? (code + 1) / 2 : code;
      ok = y < height && x + code <= width && p + bytes <= dataBytes;
      for (unsigned i = 0; ok && i < code; ++i) {
        ok = put(four ? ((i & 1) ? data[p + i / 2] & 15 : data[p + i / 2] >> 4) : data[p + i]);
      }
      p += (bytes + 1) & ~std::size_t{1};
    }
    if (ok) deliverUpTo(y);
  }
  // Data that stops before the end-of-image code is a cut file.
  ok = ok && ended;
  if (ok) deliverUpTo(height);
  std::free(data);
  std::free(row);
  return ok ? kOk : kNotBmp;
}

int BmpFilter::ReadImage(CInputFile* input, BYTE* pixels, int pitch, BYTE* alpha, int alphaPitch) {
  if (!input || !pixels || width <= 0) return kNotBmp;
  if (outputDepth == 0 && !SetOutputFormat(depth == 8 ? 24 : depth, nullptr)) {
    return kOutOfMemory;
  }
  if (dataStart_ > 0x7FFFFFFF ||
      input->Seek(static_cast<int>(dataStart_), kStreamSeekStart) != dataStart_) {
    return kNotBmp;
  }
  const bool runLength =
      layout_.compression == vexa::kBitmapRle8 || layout_.compression == vexa::kBitmapRle4;
  const int result = runLength ? ReadRunLengths(input, pixels, pitch)
                               : ReadRows(input, pixels, pitch, alpha, alphaPitch);
  if (result == kOk) currentFrame = 0;
  return result;
}

// ---- saving -------------------------------------------------------------------------------

void PutLe32(BYTE* p, DWORD v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

int BmpFilter::SaveImage(COutputFile* output, const BYTE* pixels, int w, int h, int d, int pitch,
                         const LOGPALETTE* pal, const void* alphaOrKey, int alphaPitch) {
  if (!output || !pixels || w <= 0 || h <= 0) return kFilterBadArgument;
  if (d != 8 && d != 15 && d != 16 && d != 24 && d != 32) return kBadDepth;
  if (filters::TooLarge(w, h)) return kOutOfMemory;
  const BYTE* alpha =
      d == 32 && alphaPitch != 0 && alphaOrKey ? static_cast<const BYTE*>(alphaOrKey) : nullptr;
  BITMAPINFOHEADER info = vexa::MakeBitmapInfoHeader(w, h, d);
  // Header, masks or colour table: at most a 124-byte header or 40 bytes and 256 entries.
  BYTE record[vexa::kBitmapInfoHeaderSize + 256 * 4] = {};
  std::size_t recordBytes = vexa::kBitmapInfoHeaderSize;
  if (alpha) {
    info.biSize = vexa::kBitmapV5HeaderSize;
    info.biCompression = vexa::kBitmapBitFields;
    recordBytes = vexa::kBitmapV5HeaderSize;
    const DWORD masks[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    for (int i = 0; i < 4; ++i) PutLe32(record + 40 + 4 * i, masks[i]);
    PutLe32(record + 56, kColorSpaceSrgb);
    PutLe32(record + 108, kIntentImages);
  } else if (d == 16) {
    for (int i = 0; i < 3; ++i) PutLe32(record + 40 + 4 * i, vexa::kBitmapMasks565[i]);
    recordBytes += vexa::kBitmapMaskBytes;
  } else if (d == 8) {
    const int count = pal ? std::min<int>(pal->palNumEntries, 256) : 0;
    const auto* e = pal ? reinterpret_cast<const LOGPALETTE256*>(pal)->palPalEntry : nullptr;
    for (int i = 0; i < count; ++i) {
      BYTE* q = record + 40 + 4 * i;
      q[0] = e[i].peBlue, q[1] = e[i].peGreen, q[2] = e[i].peRed;
    }
    recordBytes += 256 * 4;
  }
  std::memcpy(record, &info, sizeof info);
  const std::size_t stride = static_cast<std::size_t>(info.biSizeImage) / h;
  const BITMAPFILEHEADER file = vexa::MakeBitmapFileHeader(
      static_cast<std::uint32_t>(recordBytes), static_cast<std::uint32_t>(info.biSizeImage));
  if (output->Write(&file, sizeof file) != kStreamOk ||
      output->Write(record, static_cast<int>(recordBytes)) != kStreamOk) {
    return kWriteFailed;
  }
  auto* row = static_cast<BYTE*>(std::calloc(stride, 1));
  if (!row) return kOutOfMemory;
  const std::size_t used = static_cast<std::size_t>(w) * ((d + 1) / 8);
  int result = kOk;
  for (int y = h - 1; y >= 0 && result == kOk; --y) {
    const BYTE* source = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
    std::memcpy(row, source, used);
    if (d == 32) {
      const BYTE* a = alpha ? alpha + static_cast<std::ptrdiff_t>(y) * alphaPitch : nullptr;
      for (int x = 0; x < w; ++x) row[4 * x + 3] = a ? a[x] : 0;
    }
    if (output->Write(row, static_cast<int>(stride)) != kStreamOk) result = kWriteFailed;
  }
  std::free(row);
  return result;
}

}  // namespace

VEXA_PLUGIN_ENTRY void* CreateFilter(std::uint32_t) {
  return static_cast<CFilterImpl*>(new (std::nothrow) BmpFilter);
}
VEXA_PLUGIN_ENTRY int CanReadFile(CInputFile* input) { return IsBitmapStart(input); }
VEXA_PLUGIN_ENTRY std::uint32_t GetFilterID() { return kBmpID; }
VEXA_PLUGIN_ENTRY const char* GetFilterName() { return "BMP"; }
VEXA_PLUGIN_ENTRY const char* const* GetFilterExts() {
  static const char* const kExts[] = {"bmp", "dib", nullptr};
  return kExts;
}
