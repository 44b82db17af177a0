// AVX2 forms of the 32-bit alpha conversions, eight pixels at a time, with the arithmetic of
// the SSE2 forms (see alpha_plane_kernels_sse2.cpp); the scalar rows finish each row.
#include <immintrin.h>

#include <cstring>

#include "surface/alpha_plane_kernels.h"

namespace vexa {
namespace {

// Eight alpha bytes, each repeated over its pixel's four bytes, with 255 for the fourth.
__m256i SpreadAlpha(const std::uint8_t* alpha) {
  long long eight;
  std::memcpy(&eight, alpha, sizeof(eight));
  // Both 128-bit lanes hold all eight bytes; the low lane spreads bytes 0-3, the high 4-7.
  const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3,  //
                                          4, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6, 7, 7, 7, 7);
  const __m256i a = _mm256_shuffle_epi8(_mm256_set1_epi64x(eight), spread);
  return _mm256_or_si256(a, _mm256_set1_epi32(static_cast<int>(0xFF000000u)));
}

__m256i MultiplyDivide255(__m256i c, __m256i a) {
  const __m256i product = _mm256_mullo_epi16(c, a);
  return _mm256_srli_epi16(_mm256_mulhi_epu16(product, _mm256_set1_epi16(static_cast<short>(0x8081))), 7);
}

// Pixels 2k and 2k + 1 (the low eight bytes of `c`) demultiplied in 32-bit lanes: each
// pixel's reciprocal for its colour bytes, 1 / 255 for its fourth byte.
template <int K>
__m256i DividePixelPair(__m128i c, __m256 reciprocals) {
  const __m256i pick = _mm256_setr_epi32(2 * K, 2 * K, 2 * K, 0, 2 * K + 1, 2 * K + 1, 2 * K + 1, 0);
  const __m256 spread = _mm256_blend_ps(_mm256_permutevar8x32_ps(reciprocals, pick), _mm256_set1_ps(1.0f / 255.0f), 0x88);
  const __m256 scaled = _mm256_fmadd_ps(_mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(c)), _mm256_set1_ps(255.0f),
                                        _mm256_set1_ps(0.5f));
  return _mm256_cvttps_epi32(_mm256_mul_ps(scaled, spread));
}

}  // namespace

void PremultiplyRow32Avx2(std::uint8_t* pixels, const std::uint8_t* alpha, int width) {
  const __m256i zero = _mm256_setzero_si256();
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    auto* block = reinterpret_cast<__m256i*>(pixels + 4 * x);
    const __m256i p = _mm256_loadu_si256(block);
    const __m256i a = SpreadAlpha(alpha + x);
    // Unpacking and packing both work within 128-bit lanes, so the order comes back as it was.
    const __m256i low = MultiplyDivide255(_mm256_unpacklo_epi8(p, zero), _mm256_unpacklo_epi8(a, zero));
    const __m256i high = MultiplyDivide255(_mm256_unpackhi_epi8(p, zero), _mm256_unpackhi_epi8(a, zero));
    _mm256_storeu_si256(block, _mm256_packus_epi16(low, high));
  }
  PremultiplyRow32(pixels + 4 * x, alpha + x, width - x);
}

void DemultiplyRow32Avx2(std::uint8_t* pixels, const std::uint8_t* alpha, int width) {
  // After the per-lane packs pixel k sits in dword (0, 4, 1, 5, 2, 6, 3, 7)[k].
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    auto* block = reinterpret_cast<__m256i*>(pixels + 4 * x);
    const __m256i p = _mm256_loadu_si256(block);
    const __m256i a = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(alpha + x)));
    const __m256 reciprocals = _mm256_div_ps(_mm256_set1_ps(1.0f), _mm256_cvtepi32_ps(a));  // infinity for 0
    const __m128i low = _mm256_castsi256_si128(p);
    const __m128i high = _mm256_extracti128_si256(p, 1);
    const __m256i q0 = DividePixelPair<0>(low, reciprocals);
    const __m256i q1 = DividePixelPair<1>(_mm_srli_si128(low, 8), reciprocals);
    const __m256i q2 = DividePixelPair<2>(high, reciprocals);
    const __m256i q3 = DividePixelPair<3>(_mm_srli_si128(high, 8), reciprocals);
    const __m256i packed = _mm256_packus_epi16(_mm256_packs_epi32(q0, q1), _mm256_packs_epi32(q2, q3));
    _mm256_storeu_si256(block, _mm256_permutevar8x32_epi32(packed, order));
  }
  DemultiplyRow32(pixels + 4 * x, alpha + x, width - x);
}

}  // namespace vexa
