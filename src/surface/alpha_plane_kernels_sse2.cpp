// SSE2 forms of the 32-bit alpha conversions, four pixels at a time; bit-exact with the
// scalar rows, which also finish each row's last pixels.
//
// Each pixel's alpha is spread over its four bytes, and the fourth byte's share is set to
// 255: that byte is then multiplied and divided by 255, which leaves it as it was.
//   premultiply  c * a / 255 on 16-bit lanes, the division as (x * 0x8081) >> 23, which is
//                exact for every x up to 255 * 255
//   demultiply   c * 255 / a on floats: every operand and product is exact, and a true
//                quotient is never close enough below an integer to round up to it, so
//                truncation gives the integer quotient. a = 0 divides to infinity or NaN,
//                which truncates to 0x80000000; the signed and then unsigned saturating
//                packs turn that into 0 and any quotient above 255 into 255.
#include <emmintrin.h>

#include <cstring>

#include "surface/alpha_plane_kernels.h"

namespace vexa {
namespace {

// Four alpha bytes, each repeated over its pixel's four bytes, with 255 for the fourth.
__m128i SpreadAlpha(const std::uint8_t* alpha) {
  std::uint32_t four;
  std::memcpy(&four, alpha, sizeof(four));
  __m128i a = _mm_cvtsi32_si128(static_cast<int>(four));
  a = _mm_unpacklo_epi8(a, a);
  a = _mm_unpacklo_epi16(a, a);
  return _mm_or_si128(a, _mm_set1_epi32(static_cast<int>(0xFF000000u)));
}

// (c * a) / 255 for eight 16-bit lanes.
__m128i MultiplyDivide255(__m128i c, __m128i a) {
  const __m128i product = _mm_mullo_epi16(c, a);
  return _mm_srli_epi16(_mm_mulhi_epu16(product, _mm_set1_epi16(static_cast<short>(0x8081))), 7);
}

// c * 255 / a for four 32-bit lanes, truncated.
__m128i Divide(__m128i c, __m128i a) {
  const __m128 numerator = _mm_mul_ps(_mm_cvtepi32_ps(c), _mm_set1_ps(255.0f));
  return _mm_cvttps_epi32(_mm_div_ps(numerator, _mm_cvtepi32_ps(a)));
}

// Eight 16-bit lanes (two pixels) demultiplied, as 32-bit results packed back to 16 bits.
__m128i DemultiplyPair(__m128i c16, __m128i a16) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low = Divide(_mm_unpacklo_epi16(c16, zero), _mm_unpacklo_epi16(a16, zero));
  const __m128i high = Divide(_mm_unpackhi_epi16(c16, zero), _mm_unpackhi_epi16(a16, zero));
  return _mm_packs_epi32(low, high);
}

}  // namespace

void PremultiplyRow32Sse2(std::uint8_t* pixels, const std::uint8_t* alpha, int width) {
  const __m128i zero = _mm_setzero_si128();
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    auto* block = reinterpret_cast<__m128i*>(pixels + 4 * x);
    const __m128i p = _mm_loadu_si128(block);
    const __m128i a = SpreadAlpha(alpha + x);
    const __m128i low = MultiplyDivide255(_mm_unpacklo_epi8(p, zero), _mm_unpacklo_epi8(a, zero));
    const __m128i high = MultiplyDivide255(_mm_unpackhi_epi8(p, zero), _mm_unpackhi_epi8(a, zero));
    _mm_storeu_si128(block, _mm_packus_epi16(low, high));
  }
  PremultiplyRow32(pixels + 4 * x, alpha + x, width - x);
}

void DemultiplyRow32Sse2(std::uint8_t* pixels, const std::uint8_t* alpha, int width) {
  const __m128i zero = _mm_setzero_si128();
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    auto* block = reinterpret_cast<__m128i*>(pixels + 4 * x);
    const __m128i p = _mm_loadu_si128(block);
    const __m128i a = SpreadAlpha(alpha + x);
    const __m128i low = DemultiplyPair(_mm_unpacklo_epi8(p, zero), _mm_unpacklo_epi8(a, zero));
    const __m128i high = DemultiplyPair(_mm_unpackhi_epi8(p, zero), _mm_unpackhi_epi8(a, zero));
    _mm_storeu_si128(block, _mm_packus_epi16(low, high));
  }
  DemultiplyRow32(pixels + 4 * x, alpha + x, width - x);
}

}  // namespace vexa
