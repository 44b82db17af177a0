#include <immintrin.h>

#include "platform/audio/mix_kernels.h"

namespace plat::audio {

void AccumulateAvx2(std::int32_t* acc, const std::int16_t* src, std::size_t frames,
                    std::int32_t left, std::int32_t right) {
  const __m256i gains = _mm256_set_epi32(right, left, right, left, right, left, right, left);
  const __m256i round = _mm256_set1_epi32(1 << 14);
  const auto scaled = [&](const std::int16_t* p) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m256i product = _mm256_mullo_epi32(_mm256_cvtepi16_epi32(s), gains);
    return _mm256_srai_epi32(_mm256_add_epi32(product, round), 15);
  };
  std::size_t i = 0;
  for (; i + 8 <= frames; i += 8) {
    auto* a = reinterpret_cast<__m256i*>(acc + 2 * i);
    _mm256_storeu_si256(a, _mm256_add_epi32(_mm256_loadu_si256(a), scaled(src + 2 * i)));
    _mm256_storeu_si256(a + 1,
                        _mm256_add_epi32(_mm256_loadu_si256(a + 1), scaled(src + 2 * i + 8)));
  }
  for (; i + 4 <= frames; i += 4) {
    auto* a = reinterpret_cast<__m256i*>(acc + 2 * i);
    _mm256_storeu_si256(a, _mm256_add_epi32(_mm256_loadu_si256(a), scaled(src + 2 * i)));
  }
  AccumulateScalar(acc + 2 * i, src + 2 * i, frames - i, left, right);
}

void SaturateAvx2(std::int16_t* out, const std::int32_t* acc, std::size_t samples) {
  std::size_t i = 0;
  for (; i + 16 <= samples; i += 16) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + i + 8));
    // packs works within 128-bit lanes: a0 b0 a1 b1, put back in order.
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), packed);
  }
  SaturateScalar(out + i, acc + i, samples - i);
}

}  // namespace plat::audio
