// SSE2 forms of the 32-bit alpha conversions, four pixels at a time; bit-exact with the
// scalar rows, which also finish each row's last pixels.
//
//   premultiply  each pixel's alpha is spread over its four bytes, 255 for the fourth (which
//                then stays as it was), and c * a / 255 is taken on 16-bit lanes with the
//                division as (x * 0x8081) >> 23, exact for every x up to 255 * 255.
//   demultiply   c * 255 / a on floats as (c * 255 + 0.5) * (1 / a), truncated. The true
//                value lies at least 0.5 / a away from the integers around it, and the two
//                roundings move it by less than 65025.5 / a * 2^-23, so truncation gives the
//                integer quotient for every c and a. The fourth byte takes a = 255, which
//                leaves it as it was. a = 0 gives infinity, which truncates to 0x80000000;
//                the signed and then unsigned saturating packs turn that into 0 and any
//                quotient above 255 into 255.
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

// Four alpha bytes as float reciprocals (infinity for 0).
__m128 AlphaReciprocals(const std::uint8_t* alpha) {
  std::uint32_t four;
  std::memcpy(&four, alpha, sizeof(four));
  const __m128i zero = _mm_setzero_si128();
  const __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(four));
  const __m128i a32 = _mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero);
  return _mm_div_ps(_mm_set1_ps(1.0f), _mm_cvtepi32_ps(a32));
}

// Pixel k's reciprocal in lanes 0-2 and 1 / 255 in lane 3 (the fourth byte).
template <int K>
__m128 PixelReciprocal(__m128 reciprocals) {
  const __m128 fourth = _mm_castsi128_ps(_mm_setr_epi32(0, 0, 0, -1));
  const __m128 spread = _mm_shuffle_ps(reciprocals, reciprocals, _MM_SHUFFLE(K, K, K, K));
  return _mm_or_ps(_mm_andnot_ps(fourth, spread), _mm_and_ps(fourth, _mm_set1_ps(1.0f / 255.0f)));
}

// One pixel's components (32-bit lanes) demultiplied, truncated.
__m128i DividePixel(__m128i c, __m128 reciprocal) {
  const __m128 scaled = _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(c), _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f));
  return _mm_cvttps_epi32(_mm_mul_ps(scaled, reciprocal));
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
    const __m128 reciprocals = AlphaReciprocals(alpha + x);
    const __m128i low = _mm_unpacklo_epi8(p, zero);
    const __m128i high = _mm_unpackhi_epi8(p, zero);
    const __m128i q0 = DividePixel(_mm_unpacklo_epi16(low, zero), PixelReciprocal<0>(reciprocals));
    const __m128i q1 = DividePixel(_mm_unpackhi_epi16(low, zero), PixelReciprocal<1>(reciprocals));
    const __m128i q2 = DividePixel(_mm_unpacklo_epi16(high, zero), PixelReciprocal<2>(reciprocals));
    const __m128i q3 = DividePixel(_mm_unpackhi_epi16(high, zero), PixelReciprocal<3>(reciprocals));
    _mm_storeu_si128(block, _mm_packus_epi16(_mm_packs_epi32(q0, q1), _mm_packs_epi32(q2, q3)));
  }
  DemultiplyRow32(pixels + 4 * x, alpha + x, width - x);
}

}  // namespace vexa
