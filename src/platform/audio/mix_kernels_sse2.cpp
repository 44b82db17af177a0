#include <emmintrin.h>

#include "platform/audio/mix_kernels.h"

namespace plat::audio {

void AccumulateSse2(std::int32_t* acc, const std::int16_t* src, std::size_t frames,
                    std::int32_t left, std::int32_t right) {
  // Each 32-bit lane holds a sample twice; madd with the gain split into two halves that fit
  // 16 bits (g / 2 and g - g / 2) gives the exact 32-bit product.
  const auto pair = [](std::int32_t g) { return (g - (g >> 1)) << 16 | (g >> 1); };
  const __m128i gains = _mm_set_epi32(pair(right), pair(left), pair(right), pair(left));
  const __m128i round = _mm_set1_epi32(1 << 14);
  std::size_t i = 0;
  for (; i + 4 <= frames; i += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i));
    const __m128i lo =
        _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(s, s), gains), round), 15);
    const __m128i hi =
        _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(s, s), gains), round), 15);
    auto* a = reinterpret_cast<__m128i*>(acc + 2 * i);
    _mm_storeu_si128(a, _mm_add_epi32(_mm_loadu_si128(a), lo));
    _mm_storeu_si128(a + 1, _mm_add_epi32(_mm_loadu_si128(a + 1), hi));
  }
  AccumulateScalar(acc + 2 * i, src + 2 * i, frames - i, left, right);
}

void SaturateSse2(std::int16_t* out, const std::int32_t* acc, std::size_t samples) {
  std::size_t i = 0;
  for (; i + 8 <= samples; i += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + i + 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(a, b));
  }
  SaturateScalar(out + i, acc + i, samples - i);
}

}  // namespace plat::audio
