// The PPM image filter: binary Netpbm files, the example plug-in of docs/plugins.md.
//
// Reads P5 (grey, delivered as depth 8 with a grey palette) and P6 (colour, delivered as
// depth 24, blue first) with a maximum sample value of 255; saves 24-bit images as P6. It
// reads and writes only through the library's streams and converts rows with ConvertRow, so
// every output depth the library asks for works.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include <vexa/filter_impl.h>
#include <vexa/filter_plugin.h>
#include <vexa/stream.h>

#include "../common/filter_support.h"

namespace {

using filters::kBadDepth;
using filters::kOk;
using filters::kOutOfMemory;
using filters::kWriteFailed;

constexpr std::uint32_t kPpmID = FilterID("PPM ");

constexpr int kNotPpm = filters::kNotOurs;  // not a binary Netpbm file, or a damaged one

bool IsSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads a header's unsigned decimal field, skipping white space and '#' comments before it.
// False when the stream ends or holds no number (or one above 2^31).
bool ReadField(CInputFile* input, std::int64_t* value) {
  BYTE c = 0;
  for (;;) {
    if (input->ReadByte(&c) != kStreamOk) return false;
    if (c == '#') {
      do {
        if (input->ReadByte(&c) != kStreamOk) return false;
      } while (c != '\n' && c != '\r');
    } else if (!IsSpace(c)) {
      break;
    }
  }
  if (c < '0' || c > '9') return false;
  std::int64_t v = 0;
  while (c >= '0' && c <= '9') {
    v = v * 10 + (c - '0');
    if (v > 0x7FFFFFFF) return false;
    if (input->ReadByte(&c) != kStreamOk) return false;
  }
  // Exactly one white-space byte ends each field (the last one before the samples).
  if (!IsSpace(c)) return false;
  *value = v;
  return true;
}

class PpmFilter final : public CFilterImpl {
 public:
  void Release() override { delete this; }
  std::uint32_t GetID() override { return kPpmID; }
  int Reserved4() override { return 0; }
  int GetSupportedDepths() override { return kFilterDepth24; }
  int CanReadFile(CInputFile* input) override;
  int SupportsImages() override { return 1; }
  int CanSaveImage() override { return 1; }
  int BeginRead(CInputFile* input) override;
  int ReadImage(CInputFile* input, BYTE* pixels, int pitch, BYTE* alpha, int alphaPitch) override;
  int SaveImage(COutputFile* output, const BYTE* pixels, int width, int height, int depth,
                int pitch, const LOGPALETTE* palette, const void* alphaOrKey,
                int alphaPitch) override;
};

// "P5" or "P6" followed by white space.
int RecognisePpm(CInputFile* input) {
  BYTE magic[3] = {};
  if (input->ReadExact(magic, 3) != kStreamOk) return 0;
  return magic[0] == 'P' && (magic[1] == '5' || magic[1] == '6') && IsSpace(magic[2]);
}

int PpmFilter::CanReadFile(CInputFile* input) { return input ? RecognisePpm(input) : 0; }

int PpmFilter::BeginRead(CInputFile* input) {
  if (!input) return kNotPpm;
  BYTE magic[2] = {};
  if (input->ReadExact(magic, 2) != kStreamOk || magic[0] != 'P') return kNotPpm;
  if (magic[1] != '5' && magic[1] != '6') return kNotPpm;
  const bool grey = magic[1] == '5';
  std::int64_t w = 0, h = 0, maxval = 0;
  if (!ReadField(input, &w) || !ReadField(input, &h) || !ReadField(input, &maxval)) {
    return kNotPpm;
  }
  if (w == 0 || h == 0) return kNotPpm;
  if (filters::TooLarge(w, h)) return kOutOfMemory;
  if (maxval != 255) return kBadDepth;
  // The samples must all be there: a short file is refused before anything is allocated.
  const std::int64_t samples = w * h * (grey ? 1 : 3);
  if (input->GetSize() - input->Tell() < samples) return kNotPpm;

  width = static_cast<std::int32_t>(w);
  height = static_cast<std::int32_t>(h);
  depth = grey ? 8 : 24;
  hasAlpha = 0;
  frameCount = 1;
  currentFrame = -1;
  ComputeLineBytes();
  fileLineBytes = lineBytes;
  if (grey) {
    if (!filters::SetGreyPalette(this)) return kOutOfMemory;
  }
  return kOk;
}

int PpmFilter::ReadImage(CInputFile* input, BYTE* pixels, int pitch, BYTE*, int) {
  if (!input || !pixels || width <= 0) return kNotPpm;
  if (outputDepth == 0) SetOutputFormat(depth == 8 ? 24 : depth, nullptr);
  std::vector<BYTE> row;
  try {
    row.resize(static_cast<std::size_t>(lineBytes));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  for (int y = 0; y < height; ++y) {
    if (input->ReadExact(row.data(), lineBytes) != kStreamOk) return kNotPpm;
    if (depth == 24) {
      for (int x = 0; x < width; ++x) std::swap(row[3 * x], row[3 * x + 2]);  // RGB -> BGR
    }
    ConvertRow(pixels + static_cast<std::ptrdiff_t>(y) * pitch, row.data(), width);
  }
  currentFrame = 0;
  return kOk;
}

int PpmFilter::SaveImage(COutputFile* output, const BYTE* pixels, int w, int h, int d, int pitch,
                         const LOGPALETTE*, const void*, int) {
  if (!output || !pixels || w <= 0 || h <= 0) return kFilterBadArgument;
  if (d != 24) return kBadDepth;
  char header[64];
  const int length = std::snprintf(header, sizeof header, "P6\n%d %d\n255\n", w, h);
  if (output->Write(header, length) != kStreamOk) return kWriteFailed;
  std::vector<BYTE> row;
  try {
    row.resize(static_cast<std::size_t>(w) * 3);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  for (int y = 0; y < h; ++y) {
    const BYTE* source = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
    for (int x = 0; x < w; ++x) {
      row[3 * x] = source[3 * x + 2];
      row[3 * x + 1] = source[3 * x + 1];
      row[3 * x + 2] = source[3 * x];
    }
    if (output->Write(row.data(), w * 3) != kStreamOk) return kWriteFailed;
  }
  return kOk;
}

}  // namespace

VEXA_PLUGIN_ENTRY void* CreateFilter(std::uint32_t) {
  return static_cast<CFilterImpl*>(new (std::nothrow) PpmFilter);
}
VEXA_PLUGIN_ENTRY int CanReadFile(CInputFile* input) { return input ? RecognisePpm(input) : 0; }
VEXA_PLUGIN_ENTRY std::uint32_t GetFilterID() { return kPpmID; }
VEXA_PLUGIN_ENTRY const char* GetFilterName() { return "Netpbm (PPM, PGM)"; }
VEXA_PLUGIN_ENTRY const char* const* GetFilterExts() {
  static const char* const kExts[] = {"ppm", "pgm", "pnm", nullptr};
  return kExts;
}
