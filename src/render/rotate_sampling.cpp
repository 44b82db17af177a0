#include "render/rotate_sampling.h"

#include <climits>
#include <cmath>
#include <cstring>

#include <vexa/palette.h>

#include "pixels/pixel_format.h"
#include "render/rotate_angle.h"
#include "render/rotate_kernels.h"

#include <emmintrin.h>

namespace vexa {
namespace {

// Rounded to the nearest integer, ties to even; INT_MIN for what no int holds (as the
// processor's own conversion answers, which the vector kernels use).
int RoundToInt(float v) { return _mm_cvtss_si32(_mm_set_ss(v)); }

std::uint32_t LoadRaw(const std::uint8_t* p, int bytes) {
  std::uint32_t v = 0;
  std::memcpy(&v, p, static_cast<size_t>(bytes));
  return v;
}

void StoreRaw(std::uint8_t* p, std::uint32_t v, int bytes) {
  std::memcpy(p, &v, static_cast<size_t>(bytes));
}

// The bits of a stored pixel that hold its colour: all of them, but for the fourth byte of a
// 32-bit pixel, which pixels may carry anything in.
std::uint32_t ColorBits(int bytes) { return bytes == 4 ? 0xFFFFFF : 0xFFFFFFFF; }

// ---- pixel formats as bilinear sampling sees them ---------------------------------------
// Each gives the bytes per pixel, the channels of a stored pixel and the stored pixel of a
// sampled colour.

struct Bgr {  // 24 and 32 bits: bytes blue, green, red
  int bytes;
  int channels() const { return 3; }
  void Unpack(std::uint32_t p, float* c) const {
    for (int k = 0; k < 3; ++k) c[k] = static_cast<float>((p >> (8 * k)) & 0xFF);
  }
  std::uint32_t Pack(const int* c) const {
    return static_cast<std::uint32_t>(c[0]) | static_cast<std::uint32_t>(c[1]) << 8 |
           static_cast<std::uint32_t>(c[2]) << 16;
  }
};

struct Packed16 {  // 15 and 16 bits, read through their colour values and narrowed back
  bool is565;
  int bytes = 2;
  int channels() const { return 3; }
  void Unpack(std::uint32_t p, float* c) const {
    const std::uint32_t color = is565 ? ColorFrom565(p) : ColorFrom555(p);
    for (int k = 0; k < 3; ++k) c[k] = static_cast<float>((color >> (8 * k)) & 0xFF);
  }
  std::uint32_t Pack(const int* c) const {
    const std::uint32_t color = static_cast<std::uint32_t>(c[0]) |
                                static_cast<std::uint32_t>(c[1]) << 8 |
                                static_cast<std::uint32_t>(c[2]) << 16;
    return is565 ? ColorTo565(color) : ColorTo555(color);
  }
};

struct Paletted {  // 8 bits: palette colours in, the nearest index of the source palette out
  PaletteObject* palette;
  int bytes = 1;
  int channels() const { return 3; }
  void Unpack(std::uint32_t p, float* c) const {
    if (!palette) {
      c[0] = c[1] = c[2] = 0.0f;
      return;
    }
    const PALETTEENTRY& e = palette->entries[p & 0xFF];
    c[0] = e.peRed, c[1] = e.peGreen, c[2] = e.peBlue;
  }
  std::uint32_t Pack(const int* c) const {
    const COLORREF color = static_cast<COLORREF>(c[0]) | static_cast<COLORREF>(c[1]) << 8 |
                           static_cast<COLORREF>(c[2]) << 16;
    return static_cast<std::uint32_t>(GetNearestIndex(palette, color));
  }
};

struct Grey {  // alpha planes: one level per byte
  int bytes = 1;
  int channels() const { return 1; }
  void Unpack(std::uint32_t p, float* c) const { c[0] = static_cast<float>(p & 0xFF); }
  std::uint32_t Pack(const int* c) const { return static_cast<std::uint32_t>(c[0]); }
};

template <int Bytes>
void NearestRows(const RotateRowsJob& job) {
  const auto w = static_cast<unsigned>(job.sourceWidth),
             h = static_cast<unsigned>(job.sourceHeight);
  for (int r = 0; r < job.rows; ++r) {
    std::uint8_t* out = job.destination + r * job.destinationPitch;
    float x = job.rowX[r], y = job.rowY[r];
    for (int i = 0; i < job.destinationWidth; ++i, out += Bytes) {
      const auto xi = static_cast<unsigned>(RoundToInt(x)),
                 yi = static_cast<unsigned>(RoundToInt(y));
      if (xi < w && yi < h) {
        std::memcpy(out,
                    job.source + static_cast<std::ptrdiff_t>(yi) * job.sourcePitch + xi * Bytes,
                    Bytes);
      } else {
        StoreRaw(out, job.fill, Bytes);
      }
      x += job.cos;
      y += job.sin;
    }
  }
}

template <class Format>
void BilinearRows(const RotateRowsJob& job, const Format& format) {
  const int bytes = format.bytes, channels = format.channels();
  const std::uint32_t colorBits = ColorBits(bytes);
  const float wf = static_cast<float>(job.sourceWidth), hf = static_cast<float>(job.sourceHeight);
  for (int r = 0; r < job.rows; ++r) {
    std::uint8_t* out = job.destination + r * job.destinationPitch;
    float x = job.rowX[r], y = job.rowY[r];
    for (int i = 0; i < job.destinationWidth; ++i, out += bytes, x += job.cos, y += job.sin) {
      if (!(x >= 0.0f && y >= 0.0f && x < wf && y < hf)) {
        StoreRaw(out, job.fill, bytes);
        continue;
      }
      const int ix = static_cast<int>(x), iy = static_cast<int>(y);
      const float dx = x - static_cast<float>(ix), dy = y - static_cast<float>(iy);
      const std::uint8_t* at = job.source + iy * job.sourcePitch + ix * bytes;
      const std::uint32_t p00 = LoadRaw(at, bytes);
      if (job.transparency && (p00 & colorBits) == job.fill) {
        StoreRaw(out, p00, bytes);
        continue;
      }
      const bool right = ix + 1 < job.sourceWidth, down = iy + 1 < job.sourceHeight;
      std::uint32_t p10 = right ? LoadRaw(at + bytes, bytes) : p00;
      std::uint32_t p01 = down ? LoadRaw(at + job.sourcePitch, bytes) : p00;
      std::uint32_t p11 = right && down ? LoadRaw(at + job.sourcePitch + bytes, bytes) : p00;
      if (job.transparency) {
        if ((p10 & colorBits) == job.fill) p10 = p00;
        if ((p01 & colorBits) == job.fill) p01 = p00;
        if ((p11 & colorBits) == job.fill) p11 = p00;
      }
      const float dxdy = dx * dy;
      const float w00 = ((1.0f - dx) - dy) + dxdy, w10 = dx - dxdy, w01 = dy - dxdy, w11 = dxdy;
      float c00[3], c10[3], c01[3], c11[3];
      format.Unpack(p00, c00), format.Unpack(p10, c10), format.Unpack(p01, c01),
          format.Unpack(p11, c11);
      int result[3] = {0, 0, 0};
      for (int k = 0; k < channels; ++k) {
        float sum = c00[k] * w00;
        sum = sum + c10[k] * w10;
        sum = sum + c01[k] * w01;
        sum = sum + c11[k] * w11;
        result[k] = static_cast<int>(sum + 0.5f);
      }
      StoreRaw(out, format.Pack(result), bytes);
    }
  }
}

std::uint32_t FillValue(const PixelDescriptor& surface, COLORREF fill) {
  switch (FormatOfDepth(surface.depth)) {
    case kFormat8:
      return static_cast<std::uint32_t>(GetNearestIndex(surface.palette, fill));
    case kFormat15:
      return ColorTo555(fill);
    case kFormat16:
      return ColorTo565(fill);
    default:
      return SwapRedBlue(fill);
  }
}

// Runs `rows` over the destination in blocks, giving each block its rows' starting positions.
template <typename RowsFn>
void InRowBlocks(RotateRowsJob job, const RotationFrame& frame, int height, RowsFn&& rows) {
  constexpr int kBlock = 64;
  float startX[kBlock], startY[kBlock];
  float x = frame.x0, y = frame.y0;
  std::uint8_t* first = job.destination;
  for (int top = 0; top < height; top += kBlock) {
    const int count = height - top < kBlock ? height - top : kBlock;
    for (int r = 0; r < count; ++r) {
      startX[r] = x, startY[r] = y;
      x -= frame.sin;
      y += frame.cos;
    }
    job.destination = first + top * job.destinationPitch;
    job.rows = count;
    job.rowX = startX;
    job.rowY = startY;
    rows(job);
  }
}

}  // namespace

void RotateNearest4Scalar(const RotateRowsJob& job) { NearestRows<4>(job); }
void RotateBilinear32Scalar(const RotateRowsJob& job) { BilinearRows(job, Bgr{4}); }

namespace {

RotateKernels BuildRotateKernels(SimdLevel level) {
  RotateKernels kernels{RotateNearest4Scalar, RotateBilinear32Scalar};
  // The vector forms gather source pixels, which only AVX2 can.
  if (level == SimdLevel::Avx2) {
    kernels.nearest4 = RotateNearest4Avx2;
    kernels.bilinear32 = RotateBilinear32Avx2;
  }
  return kernels;
}

}  // namespace

using RotateTables = SimdTables<RotateKernels, BuildRotateKernels>;

const RotateKernels& RotateKernelsAt(SimdLevel level) { return RotateTables::At(level); }
const RotateKernels& ActiveRotateKernels() { return RotateTables::Active(); }

RotationFrame MakeRotationFrame(float angle, int sourceWidth, int sourceHeight, int width,
                                int height) {
  float c, s;
  const float reduced = ReduceAngle(angle);
  if (reduced == 90.0f) {
    c = 0.0f, s = 1.0f;
  } else if (reduced == 270.0f) {
    c = 0.0f, s = -1.0f;
  } else {
    const double radians = angle * kPi / 180.0;
    c = static_cast<float>(std::cos(radians));
    s = static_cast<float>(std::sin(radians));
  }
  const float halfW = static_cast<float>(sourceWidth) / 2.0f;
  const float halfH = static_cast<float>(sourceHeight) / 2.0f;
  const float halfDW = static_cast<float>(width) / 2.0f;
  const float halfDH = static_cast<float>(height) / 2.0f;
  return RotationFrame{halfW - halfDW * c + halfDH * s, halfH - halfDW * s - halfDH * c, c, s};
}

void RotatePixels(const PixelDescriptor& source, PixelDescriptor& destination,
                  const RotationFrame& frame, bool bilinear, COLORREF fill, bool transparency) {
  const int bytes = source.bytesPerPixel;
  RotateRowsJob job{source.firstRow,
                    source.pitch,
                    source.width,
                    source.height,
                    destination.firstRow,
                    destination.pitch,
                    destination.width,
                    0,
                    nullptr,
                    nullptr,
                    frame.cos,
                    frame.sin,
                    FillValue(source, fill),
                    transparency ? 1 : 0};
  if (!bilinear) {
    static constexpr RotateRowsFn kNearest[3] = {NearestRows<1>, NearestRows<2>, NearestRows<3>};
    const RotateRowsFn rows = bytes == 4 ? ActiveRotateKernels().nearest4 : kNearest[bytes - 1];
    InRowBlocks(job, frame, destination.height, rows);
    return;
  }
  switch (FormatOfDepth(source.depth)) {
    case kFormat8:
      InRowBlocks(job, frame, destination.height,
                  [&](const RotateRowsJob& j) { BilinearRows(j, Paletted{source.palette}); });
      break;
    case kFormat15:
    case kFormat16: {
      const Packed16 format{source.depth == 16};
      InRowBlocks(job, frame, destination.height,
                  [&](const RotateRowsJob& j) { BilinearRows(j, format); });
      break;
    }
    case kFormat24:
      InRowBlocks(job, frame, destination.height,
                  [](const RotateRowsJob& j) { BilinearRows(j, Bgr{3}); });
      break;
    default:
      InRowBlocks(job, frame, destination.height, ActiveRotateKernels().bilinear32);
      break;
  }
}

void RotatePlane(const std::uint8_t* source, std::ptrdiff_t sourcePitch, int sourceWidth,
                 int sourceHeight, std::uint8_t* destination, std::ptrdiff_t destinationPitch,
                 int width, int height, const RotationFrame& frame, bool bilinear) {
  const RotateRowsJob job{source,      sourcePitch,
                          sourceWidth, sourceHeight,
                          destination, destinationPitch,
                          width,       0,
                          nullptr,     nullptr,
                          frame.cos,   frame.sin,
                          0,           0};
  if (bilinear) {
    InRowBlocks(job, frame, height, [](const RotateRowsJob& j) { BilinearRows(j, Grey{}); });
  } else {
    InRowBlocks(job, frame, height, NearestRows<1>);
  }
}

}  // namespace vexa
