// RemapIndexes with AVX2: a 256-byte table looked up 32 pixels at a time.
//
// vpshufb looks bytes up in a 16-byte table per 128-bit half. The 256-byte table is split into
// 16 slices of 16 entries; each slice is looked up with the pixels' low nibbles, and kept in
// the lanes whose high nibble names that slice.
//
// This file is built with AVX2; it must not use inline functions shared with other files.
#include <immintrin.h>

#include "palette/palette_remap_kernels.h"

namespace vexa {

void RemapIndexesAvx2(BYTE* pixels, std::size_t count, const BYTE* table) {
  __m256i slices[16];
  for (int s = 0; s < 16; ++s)
    slices[s] = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * s)));
  const __m256i lowNibble = _mm256_set1_epi8(0x0F);
  std::size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    auto* at = reinterpret_cast<__m256i*>(pixels + i);
    const __m256i values = _mm256_loadu_si256(at);
    const __m256i low = _mm256_and_si256(values, lowNibble);
    const __m256i high = _mm256_and_si256(_mm256_srli_epi16(values, 4), lowNibble);
    __m256i result = _mm256_setzero_si256();
    for (int s = 0; s < 16; ++s) {
      const __m256i inSlice = _mm256_cmpeq_epi8(high, _mm256_set1_epi8(static_cast<char>(s)));
      result =
          _mm256_or_si256(result, _mm256_and_si256(inSlice, _mm256_shuffle_epi8(slices[s], low)));
    }
    _mm256_storeu_si256(at, result);
  }
  for (; i < count; ++i) pixels[i] = table[pixels[i]];
}

}  // namespace vexa
