// The vector form of the nearest-colour search with AVX2, eight entries at a time. It orders
// the entries by the same sorting keys as palette_search_sse2.cpp (distance << 8 | (j ^ 0xFE)),
// where the reasoning is written down.
//
// This file is built with AVX2; it must not use inline functions shared with other files.
#include <immintrin.h>

#include "palette/palette_search_kernels.h"

namespace vexa {
namespace {

constexpr int kLargestKey = 0x7FFFFFFF;

// Keys of the eight entries in `block`; `low` holds their low bytes. The byte unpacks and the
// shuffles stay inside each 128-bit half, so lane i still belongs to entry i.
__m256i KeysOf(__m256i block, __m256i colourWords, __m256i low) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i first = _mm256_sub_epi16(_mm256_unpacklo_epi8(block, zero), colourWords);
  const __m256i second = _mm256_sub_epi16(_mm256_unpackhi_epi8(block, zero), colourWords);
  const __m256 sumsA = _mm256_castsi256_ps(_mm256_madd_epi16(first, first));
  const __m256 sumsB = _mm256_castsi256_ps(_mm256_madd_epi16(second, second));
  const __m256i s1 = _mm256_castps_si256(_mm256_shuffle_ps(sumsA, sumsB, _MM_SHUFFLE(2, 0, 2, 0)));
  const __m256i s2 = _mm256_castps_si256(_mm256_shuffle_ps(sumsA, sumsB, _MM_SHUFFLE(3, 1, 3, 1)));
  const __m256i distance = _mm256_adds_epu16(s1, s2);
  return _mm256_or_si256(_mm256_slli_epi32(distance, 8), low);
}

int HorizontalMin(__m256i keys) {
  __m128i half = _mm_min_epi32(_mm256_castsi256_si128(keys), _mm256_extracti128_si256(keys, 1));
  half = _mm_min_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(1, 0, 3, 2)));
  half = _mm_min_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(half);
}

__m256i LoadEntries(const PALETTEENTRY* entries) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(entries));
}

// The first `count` (1..7) entries in a zeroed block.
__m256i LoadTail(const PALETTEENTRY* entries, int count) {
  alignas(32) PALETTEENTRY tail[8] = {};
  for (int i = 0; i < count; ++i) tail[i] = entries[i];
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(tail));
}

// The first entry whose four bytes equal the colour's (there is one).
int FirstExactEntry(const PALETTEENTRY* entries, int count, COLORREF colour) {
  const __m256i wanted = _mm256_set1_epi32(static_cast<int>(colour));
  int j = 0;
  for (; j + 8 <= count; j += 8) {
    const int mask = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(LoadEntries(entries + j), wanted)));
    if (mask != 0) return j + __builtin_ctz(static_cast<unsigned>(mask));
  }
  if (j == count) return 0;
  const int mask = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(LoadTail(entries + j, count - j), wanted)));
  const int valid = (1 << (count - j)) - 1;
  return (mask & valid) != 0 ? j + __builtin_ctz(static_cast<unsigned>(mask & valid)) : 0;
}

}  // namespace

int SearchVectorAvx2(const PALETTEENTRY* entries, int count, COLORREF colour) {
  if (count <= 0) return 0;
  const __m256i colourWords = _mm256_unpacklo_epi8(_mm256_set1_epi32(static_cast<int>(colour)), _mm256_setzero_si256());
  const __m256i step = _mm256_set1_epi32(8);
  __m256i low = _mm256_setr_epi32(254, 255, 252, 253, 250, 251, 248, 249);  // j ^ 0xFE, j = 0..7
  __m256i best = _mm256_set1_epi32(kLargestKey);
  int j = 0;
  for (; j + 8 <= count; j += 8) {
    best = _mm256_min_epi32(best, KeysOf(LoadEntries(entries + j), colourWords, low));
    low = _mm256_sub_epi32(low, step);
  }
  if (j < count) {
    const __m256i keys = KeysOf(LoadTail(entries + j, count - j), colourWords, low);
    const __m256i past = _mm256_cmpgt_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(count - j - 1));
    best = _mm256_min_epi32(best, _mm256_blendv_epi8(keys, _mm256_set1_epi32(kLargestKey), past));
  }
  const auto key = static_cast<unsigned>(HorizontalMin(best));
  if ((key >> 8) == 0) return FirstExactEntry(entries, count, colour);
  return static_cast<int>((key & 0xFF) ^ 0xFE);
}

}  // namespace vexa
