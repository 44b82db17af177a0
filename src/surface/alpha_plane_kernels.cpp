// The scalar row kernels of the alpha conversions and the choice of kernels per level.
#include "surface/alpha_plane_kernels.h"

#include <cstring>

namespace vexa {
namespace {

// c' = c * a / 255
struct Premultiply {
  template <int Bits>
  static unsigned Component(unsigned c, unsigned a) {
    return c * a / 255;
  }
};

// c' = min(c8 * 255 / a, 255), narrowed back to Bits; a is never 0 here.
struct Demultiply {
  template <int Bits>
  static unsigned Component(unsigned c, unsigned a) {
    constexpr int kWiden = 8 - Bits;
    const unsigned quotient = (c << kWiden) * 255 / a;
    return (quotient > 255 ? 255 : quotient) >> kWiden;
  }
};

// 16-bit pixels: blue in bits 0-4, green above it in GreenBits bits, red in the 5 bits
// above that (bit 15 of a 5-5-5 pixel is written 0).
template <class Rule, int GreenBits>
void PackedRow(std::uint8_t* pixels, const std::uint8_t* alpha, int width) {
  constexpr int kRedShift = 5 + GreenBits;
  constexpr unsigned kGreenMask = (1u << GreenBits) - 1;
  for (int x = 0; x < width; ++x) {
    const unsigned a = alpha[x];
    if (a == 255) continue;
    std::uint16_t p;
    std::memcpy(&p, pixels + 2 * x, 2);
    if (a == 0) {
      p = 0;
    } else {
      const unsigned red = Rule::template Component<5>((p >> kRedShift) & 0x1F, a);
      const unsigned green = Rule::template Component<GreenBits>((p >> 5) & kGreenMask, a);
      const unsigned blue = Rule::template Component<5>(p & 0x1Fu, a);
      p = static_cast<std::uint16_t>(red << kRedShift | green << 5 | blue);
    }
    std::memcpy(pixels + 2 * x, &p, 2);
  }
}

// 24- and 32-bit pixels: bytes blue, green, red (and a fourth byte that is left alone).
template <class Rule, int BytesPerPixel>
void ByteRow(std::uint8_t* pixels, const std::uint8_t* alpha, int width) {
  for (int x = 0; x < width; ++x) {
    const unsigned a = alpha[x];
    if (a == 255) continue;
    std::uint8_t* p = pixels + BytesPerPixel * x;
    for (int k = 0; k < 3; ++k) {
      p[k] = static_cast<std::uint8_t>(a == 0 ? 0 : Rule::template Component<8>(p[k], a));
    }
  }
}

}  // namespace

void PremultiplyRow15(std::uint8_t* p, const std::uint8_t* a, int w) {
  PackedRow<Premultiply, 5>(p, a, w);
}
void PremultiplyRow16(std::uint8_t* p, const std::uint8_t* a, int w) {
  PackedRow<Premultiply, 6>(p, a, w);
}
void PremultiplyRow24(std::uint8_t* p, const std::uint8_t* a, int w) {
  ByteRow<Premultiply, 3>(p, a, w);
}
void PremultiplyRow32(std::uint8_t* p, const std::uint8_t* a, int w) {
  ByteRow<Premultiply, 4>(p, a, w);
}
void DemultiplyRow15(std::uint8_t* p, const std::uint8_t* a, int w) {
  PackedRow<Demultiply, 5>(p, a, w);
}
void DemultiplyRow16(std::uint8_t* p, const std::uint8_t* a, int w) {
  PackedRow<Demultiply, 6>(p, a, w);
}
void DemultiplyRow24(std::uint8_t* p, const std::uint8_t* a, int w) {
  ByteRow<Demultiply, 3>(p, a, w);
}
void DemultiplyRow32(std::uint8_t* p, const std::uint8_t* a, int w) {
  ByteRow<Demultiply, 4>(p, a, w);
}

namespace {

AlphaRowKernels BuildAlphaKernels(SimdLevel level) {
  AlphaRowKernels kernels{
      {nullptr, PremultiplyRow15, PremultiplyRow16, PremultiplyRow24, PremultiplyRow32},
      {nullptr, DemultiplyRow15, DemultiplyRow16, DemultiplyRow24, DemultiplyRow32}};
  // Only the 32-bit rows have vector forms: the other formats are rare with alpha planes.
  constexpr int k32 = 4;
  if (level != SimdLevel::Scalar) {
    const AlphaRows32 rows = level == SimdLevel::Avx2 ? AlphaRows32Avx2() : AlphaRows32Sse2();
    kernels.premultiply[k32] = rows.premultiply;
    kernels.demultiply[k32] = rows.demultiply;
  }
  return kernels;
}

}  // namespace

using AlphaTables = SimdTables<AlphaRowKernels, BuildAlphaKernels>;

const AlphaRowKernels& AlphaKernelsAt(SimdLevel level) { return AlphaTables::At(level); }
const AlphaRowKernels& ActiveAlphaKernels() { return AlphaTables::Active(); }

}  // namespace vexa
