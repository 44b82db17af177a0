// The PNG image filter, over libpng.
//
// Reads every colour type, bit depth and interlace method. Grey images come as depth 8 with a
// grey palette, palette images as depth 8 with their palette (sub-byte pixels expanded), RGB
// as 24 bits and RGBA or grey with alpha as 32 bits with an alpha plane; 16-bit samples keep
// their high byte. A palette's tRNS becomes an alpha plane; a grey or RGB tRNS is the image's
// transparent colour. gAMA, iCCP, bKGD and the other ancillary chunks are ignored: pixels come
// as stored. Saves 8-bit (with palette), 24-bit and 32-bit images (RGBA with an alpha plane);
// the colour key becomes a tRNS chunk only with option 1 (SetOption), since every surface has
// a key and most saves do not mean it.
//
// libpng reports errors by longjmp back into the function that called it; functions that call
// libpng keep no objects with destructors between setjmp and the calls.
#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>

#include <vexa/filter_impl.h>
#include <vexa/filter_plugin.h>
#include <vexa/stream.h>

#include "../common/filter_support.h"

namespace {

using filters::kBadDepth;
using filters::kOk;
using filters::kOutOfMemory;
using filters::kWriteFailed;

constexpr std::uint32_t kPngID = FilterID("PNG ");

constexpr int kNotPng = filters::kNotOurs;

// SetOption value: write the colour key of 8- and 24-bit saves as tRNS.
constexpr int kOptionKeyAsTransparency = 1;

void OnError(png_structp png, png_const_charp) { std::longjmp(png_jmpbuf(png), 1); }
void OnWarning(png_structp, png_const_charp) {}

void ReadFromStream(png_structp png, png_bytep data, png_size_t length) {
  auto* input = static_cast<CInputFile*>(png_get_io_ptr(png));
  if (length > 0x7FFFFFFF || input->ReadExact(data, static_cast<int>(length)) != kStreamOk) {
    png_error(png, "read failed");
  }
}

void WriteToStream(png_structp png, png_bytep data, png_size_t length) {
  auto* output = static_cast<COutputFile*>(png_get_io_ptr(png));
  if (length > 0x7FFFFFFF || output->Write(data, static_cast<int>(length)) != kStreamOk) {
    png_error(png, "write failed");
  }
}
void FlushStream(png_structp) {}

class PngFilter final : public CFilterImpl {
 public:
  ~PngFilter() { EndDecoding(); }
  void Release() override { delete this; }
  std::uint32_t GetID() override { return kPngID; }
  int Reserved4() override { return 0; }
  int GetSupportedDepths() override { return kFilterDepth8 | kFilterDepth24 | kFilterDepth32; }
  void SetOption(int option) override { keyAsTransparency_ = option == kOptionKeyAsTransparency; }
  int CanReadFile(CInputFile* input) override;
  int SupportsImages() override { return 1; }
  int CanSaveImage() override { return 1; }
  int BeginRead(CInputFile* input) override;
  int ReadImage(CInputFile* input, BYTE* pixels, int pitch, BYTE* alpha, int alphaPitch) override;
  void EndRead(CInputFile*) override { EndDecoding(); }
  int GetTransparentColor(COLORREF* color) override {
    if (!hasKey_) return 0;
    if (color) *color = key_;
    return 1;
  }
  int SaveImage(COutputFile* output, const BYTE* pixels, int width, int height, int depth,
                int pitch, const LOGPALETTE* palette, const void* alphaOrKey,
                int alphaPitch) override;

 private:
  int ReadHeader(CInputFile* input);
  int DecodeRows(BYTE* decoded, BYTE** rows);
  void DeliverRow(const BYTE* decoded, BYTE* pixels, BYTE* alpha);
  void EndDecoding() {
    if (png_) png_destroy_read_struct(&png_, &info_, nullptr);
    png_ = nullptr;
    info_ = nullptr;
  }

  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  int decodedBytes_ = 0;  // bytes per pixel of the rows libpng delivers
  bool interlaced_ = false;
  BYTE paletteAlpha_[256] = {};  // tRNS of palette images, 255 past its end
  bool paletteHasAlpha_ = false;
  bool hasKey_ = false;
  COLORREF key_ = 0;
  bool keyAsTransparency_ = false;
};

int PngFilter::CanReadFile(CInputFile* input) {
  BYTE signature[8];
  if (!input || input->ReadExact(signature, 8) != kStreamOk) return 0;
  return png_sig_cmp(signature, 0, 8) == 0;
}

int PngFilter::BeginRead(CInputFile* input) {
  EndDecoding();
  if (!input) return kNotPng;
  png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (!png_) return kOutOfMemory;
  info_ = png_create_info_struct(png_);
  if (!info_) {
    EndDecoding();
    return kOutOfMemory;
  }
  const int result = ReadHeader(input);
  if (result != kOk) EndDecoding();
  return result;
}

// Grey value of a sample of the given bit depth, scaled to 8 bits.
int ScaleGrey(int value, int bitDepth) {
  if (bitDepth == 16) return (value >> 8) & 0xFF;
  const int max = (1 << bitDepth) - 1;
  return (value & max) * 255 / max;
}

int PngFilter::ReadHeader(CInputFile* input) {
  if (setjmp(png_jmpbuf(png_))) return kNotPng;
  png_set_read_fn(png_, input, ReadFromStream);
  // Images above 2^28 pixels are refused before libpng allocates anything for them.
  png_set_user_limits(png_, 0x7FFFFFFF, 0x7FFFFFFF);
  png_set_crc_action(png_, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
  png_read_info(png_, info_);
  png_uint_32 w = 0, h = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png_, info_, &w, &h, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  if (w == 0 || h == 0) return kNotPng;
  if (filters::TooLarge(w, h)) return kOutOfMemory;

  width = static_cast<std::int32_t>(w);
  height = static_cast<std::int32_t>(h);
  hasAlpha = 0;
  hasKey_ = false;
  paletteHasAlpha_ = false;
  frameCount = 1;
  currentFrame = -1;
  interlaced_ = interlace != PNG_INTERLACE_NONE;

  if (bitDepth == 16) png_set_strip_16(png_);
  png_color_16p transparent = nullptr;
  png_bytep transparentIndexes = nullptr;
  int transparentCount = 0;
  const bool hasTrns =
      png_get_tRNS(png_, info_, &transparentIndexes, &transparentCount, &transparent) != 0;
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY: {
      if (bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png_);
      depth = 8;
      decodedBytes_ = 1;
      if (!filters::SetGreyPalette(this)) return kOutOfMemory;
      if (hasTrns && transparent) {
        const int grey = ScaleGrey(transparent->gray, bitDepth);
        hasKey_ = true;
        key_ = static_cast<COLORREF>(grey | grey << 8 | grey << 16);
      }
      break;
    }
    case PNG_COLOR_TYPE_PALETTE: {
      if (bitDepth < 8) png_set_packing(png_);
      png_colorp colors = nullptr;
      int count = 0;
      if (!png_get_PLTE(png_, info_, &colors, &count)) return kNotPng;
      if (count > 256) count = 256;
      if (!CreatePalette(count)) return kOutOfMemory;
      auto* e = reinterpret_cast<LOGPALETTE256*>(palette)->palPalEntry;
      for (int i = 0; i < count; ++i) e[i] = {colors[i].red, colors[i].green, colors[i].blue, 0};
      depth = 8;
      decodedBytes_ = 1;
      std::memset(paletteAlpha_, 255, sizeof paletteAlpha_);
      if (hasTrns && transparentIndexes && transparentCount > 0) {
        for (int i = 0; i < transparentCount && i < 256; ++i)
          paletteAlpha_[i] = transparentIndexes[i];
        paletteHasAlpha_ = true;
        hasAlpha = 1;
      }
      break;
    }
    case PNG_COLOR_TYPE_RGB:
      png_set_bgr(png_);
      depth = 24;
      decodedBytes_ = 3;
      if (hasTrns && transparent) {
        hasKey_ = true;
        key_ = static_cast<COLORREF>(ScaleGrey(transparent->red, bitDepth) |
                                     ScaleGrey(transparent->green, bitDepth) << 8 |
                                     ScaleGrey(transparent->blue, bitDepth) << 16);
      }
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      png_set_gray_to_rgb(png_);
      [[fallthrough]];
    case PNG_COLOR_TYPE_RGB_ALPHA:
      png_set_bgr(png_);
      depth = 32;
      decodedBytes_ = 4;
      hasAlpha = 1;
      break;
    default:
      return kNotPng;
  }
  if (interlaced_) png_set_interlace_handling(png_);
  png_read_update_info(png_, info_);
  if (png_get_rowbytes(png_, info_) != static_cast<png_size_t>(width) * decodedBytes_) {
    return kNotPng;
  }
  ComputeLineBytes();
  fileLineBytes = lineBytes;
  return kOk;
}

// Decodes the whole image into decoded (rows points at each of its rows) or, without rows,
// one row. 0 or kNotPng.
int PngFilter::DecodeRows(BYTE* decoded, BYTE** rows) {
  if (setjmp(png_jmpbuf(png_))) return kNotPng;
  if (rows) {
    png_read_image(png_, rows);
  } else {
    png_read_row(png_, decoded, nullptr);
  }
  return kOk;
}

// Hands one decoded row to the caller: alpha to the plane, colour through ConvertRow.
void PngFilter::DeliverRow(const BYTE* decoded, BYTE* pixels, BYTE* alpha) {
  if (depth == 32) {
    auto* row = const_cast<BYTE*>(decoded);
    for (int x = 0; x < width; ++x) {
      if (alpha) alpha[x] = row[4 * x + 3];
      row[4 * x + 3] = 0;
    }
  } else if (paletteHasAlpha_ && alpha) {
    for (int x = 0; x < width; ++x) alpha[x] = paletteAlpha_[decoded[x]];
  }
  ConvertRow(pixels, decoded, width);
}

int PngFilter::ReadImage(CInputFile*, BYTE* pixels, int pitch, BYTE* alpha, int alphaPitch) {
  if (!png_ || !pixels) return kNotPng;
  if (outputDepth == 0) SetOutputFormat(depth == 8 ? 24 : depth, nullptr);
  const std::size_t rowBytes = static_cast<std::size_t>(width) * decodedBytes_;
  // Interlaced images need every row at once; the others go one row at a time.
  const std::size_t rowCount = interlaced_ ? static_cast<std::size_t>(height) : 1;
  auto* decoded = static_cast<BYTE*>(std::malloc(rowBytes * rowCount));
  BYTE** rows = interlaced_ ? static_cast<BYTE**>(std::malloc(sizeof(BYTE*) * rowCount)) : nullptr;
  if (!decoded || (interlaced_ && !rows)) {
    std::free(decoded);
    std::free(rows);
    return kOutOfMemory;
  }
  int result = kOk;
  if (interlaced_) {
    for (std::size_t y = 0; y < rowCount; ++y) rows[y] = decoded + y * rowBytes;
    result = DecodeRows(decoded, rows);
  }
  for (int y = 0; y < height && result == kOk; ++y) {
    BYTE* source = decoded + (interlaced_ ? static_cast<std::size_t>(y) * rowBytes : 0);
    if (!interlaced_) result = DecodeRows(decoded, nullptr);
    if (result != kOk) break;
    DeliverRow(source, pixels + static_cast<std::ptrdiff_t>(y) * pitch,
               alpha ? alpha + static_cast<std::ptrdiff_t>(y) * alphaPitch : nullptr);
  }
  std::free(decoded);
  std::free(rows);
  if (result == kOk) currentFrame = 0;
  return result;
}

// ---- saving -------------------------------------------------------------------------------

struct SaveJob {
  const BYTE* pixels;
  int width, height, depth, pitch;
  const LOGPALETTE* palette;
  const BYTE* alpha;  // null when the image has none
  int alphaPitch;
  const COLORREF* key;  // written as tRNS when not null
  BYTE* row;            // one row of 4 bytes per pixel
};

int WritePng(png_structp png, png_infop info, const SaveJob& job) {
  if (setjmp(png_jmpbuf(png))) return kWriteFailed;
  const int colorType = job.depth == 8 ? PNG_COLOR_TYPE_PALETTE
                        : job.alpha    ? PNG_COLOR_TYPE_RGB_ALPHA
                                       : PNG_COLOR_TYPE_RGB;
  png_set_IHDR(png, info, job.width, job.height, 8, colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (job.depth == 8) {
    png_color colors[256] = {};
    const int count =
        job.palette ? (job.palette->palNumEntries > 256 ? 256 : job.palette->palNumEntries) : 0;
    const auto* e =
        job.palette ? reinterpret_cast<const LOGPALETTE256*>(job.palette)->palPalEntry : nullptr;
    for (int i = 0; i < count; ++i) colors[i] = {e[i].peRed, e[i].peGreen, e[i].peBlue};
    // PNG needs at least one palette entry, and as many as the pixels can name.
    png_set_PLTE(png, info, colors, count > 0 ? count : 256);
    // The key is a colour: the first entry of exactly that colour becomes transparent.
    int index = -1;
    for (int i = 0; job.key && i < count && index < 0; ++i) {
      if ((static_cast<COLORREF>(e[i].peRed) | e[i].peGreen << 8 | e[i].peBlue << 16) ==
          (*job.key & 0xFFFFFF)) {
        index = i;
      }
    }
    if (index >= 0) {
      png_byte alpha[256];
      std::memset(alpha, 255, sizeof alpha);
      alpha[index] = 0;
      png_set_tRNS(png, info, alpha, index + 1, nullptr);
    }
  } else if (job.key && !job.alpha) {
    png_color_16 color{};
    color.red = static_cast<png_uint_16>(*job.key & 0xFF);
    color.green = static_cast<png_uint_16>((*job.key >> 8) & 0xFF);
    color.blue = static_cast<png_uint_16>((*job.key >> 16) & 0xFF);
    png_set_tRNS(png, info, nullptr, 0, &color);
  }
  png_write_info(png, info);
  if (job.depth != 8) png_set_bgr(png);
  for (int y = 0; y < job.height; ++y) {
    const BYTE* source = job.pixels + static_cast<std::ptrdiff_t>(y) * job.pitch;
    const BYTE* row = source;
    if (job.alpha) {
      const BYTE* a = job.alpha + static_cast<std::ptrdiff_t>(y) * job.alphaPitch;
      for (int x = 0; x < job.width; ++x) {
        job.row[4 * x] = source[4 * x];
        job.row[4 * x + 1] = source[4 * x + 1];
        job.row[4 * x + 2] = source[4 * x + 2];
        job.row[4 * x + 3] = a[x];
      }
      row = job.row;
    } else if (job.depth == 32) {
      for (int x = 0; x < job.width; ++x) std::memcpy(job.row + 3 * x, source + 4 * x, 3);
      row = job.row;
    }
    png_write_row(png, row);
  }
  png_write_end(png, info);
  return kOk;
}

int PngFilter::SaveImage(COutputFile* output, const BYTE* pixels, int w, int h, int d, int pitch,
                         const LOGPALETTE* pal, const void* alphaOrKey, int alphaPitch) {
  if (!output || !pixels || w <= 0 || h <= 0) return kFilterBadArgument;
  if (d != 8 && d != 24 && d != 32) return kBadDepth;
  if (filters::TooLarge(w, h)) return kOutOfMemory;
  SaveJob job{pixels, w, h, d, pitch, pal, nullptr, 0, nullptr, nullptr};
  COLORREF key = 0;
  if (d == 32 && alphaPitch != 0) {
    job.alpha = static_cast<const BYTE*>(alphaOrKey);
    job.alphaPitch = alphaPitch;
  } else if (keyAsTransparency_ && alphaOrKey) {
    std::memcpy(&key, alphaOrKey, sizeof key);
    job.key = &key;
  }
  job.row = static_cast<BYTE*>(std::malloc(static_cast<std::size_t>(w) * 4));
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  int result = kOutOfMemory;
  if (job.row && png && info) {
    png_set_write_fn(png, output, WriteToStream, FlushStream);
    result = WritePng(png, info, job);
  }
  png_destroy_write_struct(&png, &info);
  std::free(job.row);
  return result;
}

}  // namespace

VEXA_PLUGIN_ENTRY void* CreateFilter(std::uint32_t) {
  return static_cast<CFilterImpl*>(new (std::nothrow) PngFilter);
}
VEXA_PLUGIN_ENTRY int CanReadFile(CInputFile* input) {
  BYTE signature[8];
  if (!input || input->ReadExact(signature, 8) != kStreamOk) return 0;
  return png_sig_cmp(signature, 0, 8) == 0;
}
VEXA_PLUGIN_ENTRY std::uint32_t GetFilterID() { return kPngID; }
VEXA_PLUGIN_ENTRY const char* GetFilterName() { return "PNG"; }
VEXA_PLUGIN_ENTRY const char* const* GetFilterExts() {
  static const char* const kExts[] = {"png", nullptr};
  return kExts;
}
