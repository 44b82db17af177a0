// SSE2 forms of the resampler's plain row kernels, bit-exact with the scalar ones.
//
// SSE2 has no 32-bit multiply, so each product c x w (c a channel byte, w a 16.16 weight of at
// most 65536) is formed with pmaddwd from 16-bit halves: w = wh x 128 + wl with wl < 128 and
// wh <= 512, and the channel paired as (c, c x 128), so that one multiply-add gives
// c x wl + (c x 128) x wh = c x w exactly. Sums stay below 2^24, so the final
// min(sum, 0xFF0000) >> 16 is the unsigned saturation of sum >> 16 to a byte.
#include <emmintrin.h>

#include "render/resample_kernels.h"

namespace vexa {
namespace {

// (wl, wh) in every 32-bit lane.
__m128i SplitWeight(std::int32_t w) {
  const auto u = static_cast<std::uint32_t>(w);
  return _mm_set1_epi32(static_cast<int>((u & 127) | (u >> 7) << 16));
}

// Four 16-bit channels in the low half of `c` as (c, c x 128) pairs, one per 32-bit lane.
__m128i PairChannels(__m128i c) { return _mm_unpacklo_epi16(c, _mm_slli_epi16(c, 7)); }

// Bytes of four 32-bit sums, each min(sum, 0xFF0000) >> 16.
__m128i FinishSums(__m128i sums) {
  const __m128i shifted = _mm_srli_epi32(sums, 16);
  const __m128i words = _mm_packs_epi32(shifted, shifted);
  return _mm_packus_epi16(words, words);
}

}  // namespace

void HorizontalColorSse2(const std::uint32_t* line, std::uint32_t* out, const WeightView& w) {
  const __m128i zero = _mm_setzero_si128();
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
      const __m128i pixel = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(source[k])), zero);
      sums = _mm_add_epi32(sums, _mm_madd_epi16(PairChannels(pixel), SplitWeight(weight[k])));
    }
    out[j] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(FinishSums(sums))) & 0xFFFFFF;
  }
}

void VerticalBytesSse2(const std::uint8_t* firstRow, std::ptrdiff_t pitch, int taps,
                       const std::int32_t* weights, std::uint8_t* out, int bytes,
                       std::uint32_t keep) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i rounding = _mm_set1_epi32(0x8000);
  const __m128i keepMask = _mm_set1_epi32(static_cast<int>(keep));
  int i = 0;
  if (taps > 0) {
    for (; i + 8 <= bytes; i += 8) {
      __m128i low = rounding, high = rounding;
      const std::uint8_t* source = firstRow + i;
      for (int k = 0; k < taps; ++k, source += pitch) {
        const __m128i c =
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(source)), zero);
        const __m128i c128 = _mm_slli_epi16(c, 7);
        const __m128i split = SplitWeight(weights[k]);
        low = _mm_add_epi32(low, _mm_madd_epi16(_mm_unpacklo_epi16(c, c128), split));
        high = _mm_add_epi32(high, _mm_madd_epi16(_mm_unpackhi_epi16(c, c128), split));
      }
      const __m128i words = _mm_packs_epi32(_mm_srli_epi32(low, 16), _mm_srli_epi32(high, 16));
      const __m128i result = _mm_and_si128(_mm_packus_epi16(words, words), keepMask);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), result);
    }
  }
  // The tail starts at a multiple of 8 bytes, so its 4-byte groups line up with `keep`.
  VerticalBytesScalar(firstRow + i, pitch, taps, weights, out + i, bytes - i, keep);
}

}  // namespace vexa
