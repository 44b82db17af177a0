// AVX2 forms of the resampler's plain row kernels, bit-exact with the scalar ones: channel
// bytes are widened to 32-bit lanes and multiplied by their weights exactly (pmulld). Sums
// stay below 2^24, so min(sum, 0xFF0000) >> 16 equals the unsigned saturation of sum >> 16
// to a byte that the packing steps perform.
#include <immintrin.h>

#include <cstring>

#include "render/resample_kernels.h"

namespace vexa {
namespace {

__m128i LoadPixel(const std::uint32_t* p) { return _mm_cvtsi32_si128(static_cast<int>(*p)); }

__m256i Widen8(const std::uint8_t* p) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

}  // namespace

void HorizontalColourAvx2(const std::uint32_t* line, std::uint32_t* out, const WeightView& w) {
  const __m128i rounding = _mm_set1_epi32(0x8000);
  for (int j = 0; j < w.count; ++j) {
    const int taps = w.taps[j];
    const std::uint32_t* source = line + w.first[j];
    const std::int32_t* weight = w.weights + static_cast<std::ptrdiff_t>(j) * w.maxTaps;
    if (taps == 0) {
      out[j] = 0;
      continue;
    }
    if (taps == 1 && weight[0] == 65536) {
      out[j] = source[0] & 0xFFFFFF;
      continue;
    }
    __m128i sums = rounding;
    for (int k = 0; k < taps; ++k) {
      const __m128i channels = _mm_cvtepu8_epi32(LoadPixel(source + k));
      sums = _mm_add_epi32(sums, _mm_mullo_epi32(channels, _mm_set1_epi32(weight[k])));
    }
    const __m128i shifted = _mm_srli_epi32(sums, 16);
    const __m128i words = _mm_packus_epi32(shifted, shifted);
    out[j] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words))) &
             0xFFFFFF;
  }
}

void VerticalBytesAvx2(const std::uint8_t* firstRow, std::ptrdiff_t pitch, int taps,
                       const std::int32_t* weights, std::uint8_t* out, int bytes,
                       std::uint32_t keep) {
  int i = 0;
  const __m256i keepMask = _mm256_set1_epi32(static_cast<int>(keep));
  if (taps == 1 && weights[0] == 65536) {
    // A copy of one row (the weight-1 sum is the byte itself).
    for (; i + 32 <= bytes; i += 32) {
      const __m256i row = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(firstRow + i));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_and_si256(row, keepMask));
    }
  } else if (taps > 0) {
    const __m256i rounding = _mm256_set1_epi32(0x8000);
    // The packs interleave 128-bit lanes; this puts the 32 result bytes back in order.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    for (; i + 32 <= bytes; i += 32) {
      __m256i s0 = rounding, s1 = rounding, s2 = rounding, s3 = rounding;
      const std::uint8_t* source = firstRow + i;
      for (int k = 0; k < taps; ++k, source += pitch) {
        const __m256i weight = _mm256_set1_epi32(weights[k]);
        s0 = _mm256_add_epi32(s0, _mm256_mullo_epi32(Widen8(source), weight));
        s1 = _mm256_add_epi32(s1, _mm256_mullo_epi32(Widen8(source + 8), weight));
        s2 = _mm256_add_epi32(s2, _mm256_mullo_epi32(Widen8(source + 16), weight));
        s3 = _mm256_add_epi32(s3, _mm256_mullo_epi32(Widen8(source + 24), weight));
      }
      const __m256i w01 = _mm256_packus_epi32(_mm256_srli_epi32(s0, 16), _mm256_srli_epi32(s1, 16));
      const __m256i w23 = _mm256_packus_epi32(_mm256_srli_epi32(s2, 16), _mm256_srli_epi32(s3, 16));
      const __m256i bytes32 = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(w01, w23), order);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_and_si256(bytes32, keepMask));
    }
  }
  VerticalBytesScalar(firstRow + i, pitch, taps, weights, out + i, bytes - i, keep);
}

}  // namespace vexa
