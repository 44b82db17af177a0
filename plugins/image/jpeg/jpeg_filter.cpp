// The JPEG image filter, over libjpeg-turbo.
//
// Reads baseline, progressive and arithmetic-coded files with or without restart markers.
// Grey images come as depth 8 with a grey palette; colour as depth 24 (decoded straight into
// 24- or 32-bit rows when those are asked for); CMYK as depth 24, undoing the inverted samples
// Adobe writes. 12-bit and lossless files are refused. Warnings (such as a truncated file,
// which ends grey) do not fail a read; errors do. Saves 24-bit images; SetOption(quality)
// with 1-100 chooses the quality (90 by default).
//
// libjpeg's default error handler ends the process: errors here longjmp back into the
// function that called the library, which keeps no objects with destructors across the call.
#include <immintrin.h>

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

// libjpeg's headers need size_t and FILE declared before them.
#include <jerror.h>
#include <jpeglib.h>

#include <vexa/filter_impl.h>
#include <vexa/filter_plugin.h>
#include <vexa/stream.h>

#include "../common/filter_support.h"

namespace {

using filters::kBadDepth;
using filters::kOk;
using filters::kOutOfMemory;
using filters::kWriteFailed;

constexpr std::uint32_t kJpegID = FilterID("JPEG");

constexpr int kNotJpeg = filters::kNotOurs;
// Work memory libjpeg may take (whole-image buffers of progressive files): beyond it the file
// is refused rather than allocated.
constexpr long kMaxWorkMemory = 512L << 20;
constexpr int kBufferSize = 16384;

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void OnError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
void OnMessage(j_common_ptr, int) {}
void OnOutput(j_common_ptr) {}

void UseErrorManager(ErrorManager* errors) {
  jpeg_std_error(&errors->base);
  errors->base.error_exit = OnError;
  errors->base.emit_message = OnMessage;
  errors->base.output_message = OnOutput;
}

// ---- reading from a stream -------------------------------------------------------------

struct StreamSource {
  jpeg_source_mgr base;
  CInputFile* input;
  JOCTET buffer[kBufferSize];
};

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr info) {
  auto* source = reinterpret_cast<StreamSource*>(info->src);
  int count = 0;
  source->input->Read(source->buffer, kBufferSize, &count);
  if (count <= 0) {
    // The file ended early: an end-of-image marker lets the decoder finish what it has.
    WARNMS(info, JWRN_JPEG_EOF);
    source->buffer[0] = 0xFF;
    source->buffer[1] = JPEG_EOI;
    count = 2;
  }
  source->base.next_input_byte = source->buffer;
  source->base.bytes_in_buffer = static_cast<std::size_t>(count);
  return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
  auto* source = reinterpret_cast<StreamSource*>(info->src);
  while (count > static_cast<long>(source->base.bytes_in_buffer)) {
    count -= static_cast<long>(source->base.bytes_in_buffer);
    FillInput(info);
  }
  if (count > 0) {
    source->base.next_input_byte += count;
    source->base.bytes_in_buffer -= static_cast<std::size_t>(count);
  }
}

void TermSource(j_decompress_ptr) {}

// ---- writing to a stream -------------------------------------------------------------

struct StreamDestination {
  jpeg_destination_mgr base;
  COutputFile* output;
  JOCTET buffer[kBufferSize];
};

void InitDestination(j_compress_ptr info) {
  auto* d = reinterpret_cast<StreamDestination*>(info->dest);
  d->base.next_output_byte = d->buffer;
  d->base.free_in_buffer = kBufferSize;
}

boolean EmptyOutput(j_compress_ptr info) {
  auto* d = reinterpret_cast<StreamDestination*>(info->dest);
  if (d->output->Write(d->buffer, kBufferSize) != kStreamOk) ERREXIT(info, JERR_FILE_WRITE);
  d->base.next_output_byte = d->buffer;
  d->base.free_in_buffer = kBufferSize;
  return TRUE;
}

void TermDestination(j_compress_ptr info) {
  auto* d = reinterpret_cast<StreamDestination*>(info->dest);
  const int used = kBufferSize - static_cast<int>(d->base.free_in_buffer);
  if (used > 0 && d->output->Write(d->buffer, used) != kStreamOk) ERREXIT(info, JERR_FILE_WRITE);
}

class JpegFilter final : public CFilterImpl {
 public:
  ~JpegFilter() { EndDecoding(); }
  void Release() override { delete this; }
  std::uint32_t GetID() override { return kJpegID; }
  int Reserved4() override { return 0; }
  int GetSupportedDepths() override { return kFilterDepth24; }
  void SetOption(int option) override {
    if (option >= 1 && option <= 100) quality_ = option;
  }
  int CanReadFile(CInputFile* input) override;
  int SupportsImages() override { return 1; }
  int CanSaveImage() override { return 1; }
  int BeginRead(CInputFile* input) override;
  int ReadImage(CInputFile* input, BYTE* pixels, int pitch, BYTE* alpha, int alphaPitch) override;
  void EndRead(CInputFile*) override { EndDecoding(); }
  int SaveImage(COutputFile* output, const BYTE* pixels, int width, int height, int depth,
                int pitch, const LOGPALETTE* palette, const void* alphaOrKey,
                int alphaPitch) override;

 private:
  int ReadHeader();
  int Decode(BYTE* pixels, int pitch, BYTE* row);
  void EndDecoding() {
    if (decoder_ && decoderCreated_) jpeg_destroy_decompress(decoder_);
    FreeBlocks();
  }
  void FreeBlocks() {
    delete decoder_;
    delete errors_;
    delete source_;
    decoder_ = nullptr;
    errors_ = nullptr;
    source_ = nullptr;
    decoderCreated_ = false;
  }

  jpeg_decompress_struct* decoder_ = nullptr;
  ErrorManager* errors_ = nullptr;
  StreamSource* source_ = nullptr;
  bool decoderCreated_ = false;
  bool cmyk_ = false;
  bool adobeInverted_ = false;
  int quality_ = 90;
};

bool IsJpegStart(CInputFile* input) {
  BYTE start[3];
  if (!input || input->ReadExact(start, 3) != kStreamOk) return false;
  return start[0] == 0xFF && start[1] == 0xD8 && start[2] == 0xFF;
}

int JpegFilter::CanReadFile(CInputFile* input) { return IsJpegStart(input); }

int JpegFilter::BeginRead(CInputFile* input) {
  EndDecoding();
  if (!input) return kNotJpeg;
  decoder_ = new (std::nothrow) jpeg_decompress_struct;
  errors_ = new (std::nothrow) ErrorManager;
  source_ = new (std::nothrow) StreamSource;
  if (!decoder_ || !errors_ || !source_) {
    FreeBlocks();
    return kOutOfMemory;
  }
  std::memset(decoder_, 0, sizeof *decoder_);
  UseErrorManager(errors_);
  decoder_->err = &errors_->base;
  if (setjmp(errors_->jump)) {
    EndDecoding();  // creating the decoder failed
    return kOutOfMemory;
  }
  jpeg_create_decompress(decoder_);
  decoderCreated_ = true;
  source_->input = input;
  source_->base.init_source = InitSource;
  source_->base.fill_input_buffer = FillInput;
  source_->base.skip_input_data = SkipInput;
  source_->base.resync_to_restart = jpeg_resync_to_restart;
  source_->base.term_source = TermSource;
  source_->base.next_input_byte = nullptr;
  source_->base.bytes_in_buffer = 0;
  decoder_->src = &source_->base;
  decoder_->mem->max_memory_to_use = kMaxWorkMemory;
  const int result = ReadHeader();
  if (result != kOk) EndDecoding();
  return result;
}

int JpegFilter::ReadHeader() {
  if (setjmp(errors_->jump)) return kNotJpeg;
  if (jpeg_read_header(decoder_, TRUE) != JPEG_HEADER_OK) return kNotJpeg;
  if (decoder_->image_width == 0 || decoder_->image_height == 0) return kNotJpeg;
  if (filters::TooLarge(decoder_->image_width, decoder_->image_height)) return kOutOfMemory;
  width = static_cast<std::int32_t>(decoder_->image_width);
  height = static_cast<std::int32_t>(decoder_->image_height);
  hasAlpha = 0;
  frameCount = 1;
  currentFrame = -1;
  cmyk_ = decoder_->jpeg_color_space == JCS_CMYK || decoder_->jpeg_color_space == JCS_YCCK;
  adobeInverted_ = cmyk_ && decoder_->saw_Adobe_marker;
  if (decoder_->jpeg_color_space == JCS_GRAYSCALE) {
    depth = 8;
    if (!filters::SetGreyPalette(this)) return kOutOfMemory;
  } else {
    depth = 24;
  }
  ComputeLineBytes();
  fileLineBytes = lineBytes;
  return kOk;
}

// Copies a row of count BGRX pixels into target with the spare bytes cleared (the library's
// pixels keep them 0; libjpeg fills them with 255). Full rows go out with streaming stores:
// the decoder's own output does too, and the image is larger than the caches.
void ClearTail(BYTE* target, const BYTE* source, int from, int count) {
  for (int x = from; x < count; ++x) {
    std::memcpy(target + 4 * x, source + 4 * x, 3);
    target[4 * x + 3] = 0;
  }
}

void CopyClearingSpareBytesSse2(BYTE* target, const BYTE* source, int count) {
  int x = 0;
  const __m128i keep = _mm_set1_epi32(0x00FFFFFF);
  const bool aligned = (reinterpret_cast<std::uintptr_t>(target) & 15) == 0;
  for (; x + 4 <= count; x += 4) {
    const __m128i pixels =
        _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * x)), keep);
    auto* out = reinterpret_cast<__m128i*>(target + 4 * x);
    if (aligned) {
      _mm_stream_si128(out, pixels);
    } else {
      _mm_storeu_si128(out, pixels);
    }
  }
  ClearTail(target, source, x, count);
}

__attribute__((target("avx2"))) void CopyClearingSpareBytesAvx2(BYTE* target, const BYTE* source,
                                                                int count) {
  int x = 0;
  const __m256i keep = _mm256_set1_epi32(0x00FFFFFF);
  const bool aligned = (reinterpret_cast<std::uintptr_t>(target) & 31) == 0;
  for (; x + 8 <= count; x += 8) {
    const __m256i pixels = _mm256_and_si256(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * x)), keep);
    auto* out = reinterpret_cast<__m256i*>(target + 4 * x);
    if (aligned) {
      _mm256_stream_si256(out, pixels);
    } else {
      _mm256_storeu_si256(out, pixels);
    }
  }
  ClearTail(target, source, x, count);
}

void CopyClearingSpareBytes(BYTE* target, const BYTE* source, int count) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
    CopyClearingSpareBytesAvx2(target, source, count);
  } else {
    CopyClearingSpareBytesSse2(target, source, count);
  }
}

// Decodes every row: straight into the caller's rows when the output layout is libjpeg's,
// else through row (a buffer of 4 bytes per pixel and 16 spare) and ConvertRow. 32-bit rows
// come through row too: libjpeg writes its 16-byte-aligned output past the caches, so clearing
// the spare bytes in the caller's rows afterwards would read them back from memory; row is
// used at an address that is not 16-byte aligned, so it stays in the cache.
int JpegFilter::Decode(BYTE* pixels, int pitch, BYTE* row) {
  if (setjmp(errors_->jump)) return kNotJpeg;
  const bool bgrx = !cmyk_ && depth == 24 && outputDepth == 32;
  const bool direct = !cmyk_ && depth == 24 && outputDepth == 24;
  if (depth == 8) {
    decoder_->out_color_space = JCS_GRAYSCALE;
  } else if (cmyk_) {
    decoder_->out_color_space = JCS_CMYK;
  } else {
    decoder_->out_color_space = bgrx ? JCS_EXT_BGRX : JCS_EXT_BGR;
  }
  jpeg_start_decompress(decoder_);
  BYTE* scratch = bgrx ? row + 4 : row;
  while (decoder_->output_scanline < decoder_->output_height) {
    const int y = static_cast<int>(decoder_->output_scanline);
    BYTE* target = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
    JSAMPROW rows[1] = {direct ? target : scratch};
    if (jpeg_read_scanlines(decoder_, rows, 1) != 1) return kNotJpeg;
    if (direct) continue;
    if (bgrx) {
      CopyClearingSpareBytes(target, scratch, width);
      continue;
    }
    if (cmyk_) {
      // C, M, Y, K to blue, green, red in place (Adobe stores the samples inverted).
      for (int x = 0; x < width; ++x) {
        int c = row[4 * x], m = row[4 * x + 1], yellow = row[4 * x + 2], k = row[4 * x + 3];
        if (!adobeInverted_) c = 255 - c, m = 255 - m, yellow = 255 - yellow, k = 255 - k;
        row[3 * x] = static_cast<BYTE>(yellow * k / 255);
        row[3 * x + 1] = static_cast<BYTE>(m * k / 255);
        row[3 * x + 2] = static_cast<BYTE>(c * k / 255);
      }
    }
    ConvertRow(target, row, width);
  }
  if (bgrx) _mm_sfence();
  jpeg_finish_decompress(decoder_);
  return kOk;
}

int JpegFilter::ReadImage(CInputFile*, BYTE* pixels, int pitch, BYTE*, int) {
  if (!decoder_ || !pixels) return kNotJpeg;
  if (outputDepth == 0) SetOutputFormat(depth == 8 ? 24 : depth, nullptr);
  auto* row = static_cast<BYTE*>(std::malloc(static_cast<std::size_t>(width) * 4 + 16));
  if (!row) return kOutOfMemory;
  const int result = Decode(pixels, pitch, row);
  std::free(row);
  EndDecoding();
  if (result == kOk) currentFrame = 0;
  return result;
}

struct SaveJob {
  const BYTE* pixels;
  int width, height, pitch, quality;
  COutputFile* output;
};

int Encode(jpeg_compress_struct* encoder, ErrorManager* errors, StreamDestination* destination,
           const SaveJob& job) {
  if (setjmp(errors->jump)) return kWriteFailed;
  jpeg_create_compress(encoder);
  destination->output = job.output;
  destination->base.init_destination = InitDestination;
  destination->base.empty_output_buffer = EmptyOutput;
  destination->base.term_destination = TermDestination;
  encoder->dest = &destination->base;
  encoder->image_width = static_cast<JDIMENSION>(job.width);
  encoder->image_height = static_cast<JDIMENSION>(job.height);
  encoder->input_components = 3;
  encoder->in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(encoder);
  jpeg_set_quality(encoder, job.quality, TRUE);
  jpeg_start_compress(encoder, TRUE);
  while (encoder->next_scanline < encoder->image_height) {
    JSAMPROW row[1] = {const_cast<BYTE*>(job.pixels) +
                       static_cast<std::ptrdiff_t>(encoder->next_scanline) * job.pitch};
    jpeg_write_scanlines(encoder, row, 1);
  }
  jpeg_finish_compress(encoder);
  return kOk;
}

int JpegFilter::SaveImage(COutputFile* output, const BYTE* pixels, int w, int h, int d, int pitch,
                          const LOGPALETTE*, const void*, int) {
  if (!output || !pixels || w <= 0 || h <= 0) return kFilterBadArgument;
  if (d != 24) return kBadDepth;
  if (w > JPEG_MAX_DIMENSION || h > JPEG_MAX_DIMENSION) return kFilterBadArgument;
  auto* encoder = new (std::nothrow) jpeg_compress_struct;
  auto* errors = new (std::nothrow) ErrorManager;
  auto* destination = new (std::nothrow) StreamDestination;
  int result = kOutOfMemory;
  if (encoder && errors && destination) {
    std::memset(encoder, 0, sizeof *encoder);
    UseErrorManager(errors);
    encoder->err = &errors->base;
    result = Encode(encoder, errors, destination, SaveJob{pixels, w, h, pitch, quality_, output});
    jpeg_destroy_compress(encoder);
  }
  delete encoder;
  delete errors;
  delete destination;
  return result;
}

}  // namespace

VEXA_PLUGIN_ENTRY void* CreateFilter(std::uint32_t) {
  return static_cast<CFilterImpl*>(new (std::nothrow) JpegFilter);
}
VEXA_PLUGIN_ENTRY int CanReadFile(CInputFile* input) { return IsJpegStart(input); }
VEXA_PLUGIN_ENTRY std::uint32_t GetFilterID() { return kJpegID; }
VEXA_PLUGIN_ENTRY const char* GetFilterName() { return "JPEG"; }
VEXA_PLUGIN_ENTRY const char* const* GetFilterExts() {
  static const char* const kExts[] = {"jpg", "jpeg", "jpe", "jfif", nullptr};
  return kExts;
}
