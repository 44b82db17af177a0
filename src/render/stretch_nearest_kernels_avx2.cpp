// AVX2 form of the 4-byte nearest-pixel row: eight pixels per gather.
#include <immintrin.h>

#include "render/stretch_nearest_kernels.h"

namespace vexa {

void NearestRow4Avx2(const std::uint8_t* source, const std::int32_t* columns, std::uint8_t* out,
                     int count) {
  const auto* base = reinterpret_cast<const int*>(source);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * i), _mm256_i32gather_epi32(base, index, 4));
  }
  NearestRow4(source, columns + i, out + 4 * i, count - i);
}

}  // namespace vexa
