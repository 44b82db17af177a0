// AVX2 form of the 4-byte nearest-pixel row, eight pixels at a time. Columns never decrease,
// so the eight source pixels of a group usually lie within 8 (enlarging) or 16 (halving) of
// the first: one or two loads and a permutation fetch them. Wider groups are gathered.
#include <immintrin.h>

#include "pixels/kernels/stretch_nearest_kernels.h"

namespace vexa {

void NearestRow4Avx2(const std::uint8_t* source, int sourceCount, const std::int32_t* columns,
                     std::uint8_t* out, int count) {
  const auto* pixels = reinterpret_cast<const int*>(source);
  const __m256i seven = _mm256_set1_epi32(7);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const int first = columns[i], span = columns[i + 7] - first;
    const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns + i));
    const __m256i offsets = _mm256_sub_epi32(index, _mm256_set1_epi32(first));
    const int* from = pixels + first;
    __m256i row;
    if (span < 8 && first + 8 <= sourceCount) {
      row = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(from)),
                                        offsets);
    } else if (span < 16 && first + 16 <= sourceCount) {
      const __m256i low = _mm256_permutevar8x32_epi32(
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from)), offsets);
      const __m256i high = _mm256_permutevar8x32_epi32(
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 8)), offsets);
      row = _mm256_blendv_epi8(low, high, _mm256_cmpgt_epi32(offsets, seven));
    } else {
      row = _mm256_i32gather_epi32(pixels, index, 4);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * i), row);
  }
  NearestRow4(source, sourceCount, columns + i, out + 4 * i, count - i);
}

}  // namespace vexa
