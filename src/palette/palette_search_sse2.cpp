// The vector form of the nearest-colour search with SSE2, four entries at a time.
//
// Instead of walking the pairs, every entry j gets a sorting key
//     key = distance << 8 | (j ^ 0xFE)
// whose low byte holds the pair number reversed (bits 1-7) and the position inside the pair
// (bit 0). The smallest key is the smallest distance, then the latest pair, then the first of
// the pair, which is the entry the pairwise walk ends on. The walk's one exception, returning
// the first candidate at distance 0 at once, is the first entry equal to the colour in all four
// bytes, so a minimum of 0 is resolved by a scan for that entry. Keys stay below 2^26
// (distances below 0x30000), so signed 32-bit comparisons order them.
//
// This file is built with SSE2 only; it must not use inline functions shared with other files.
#include <emmintrin.h>

#include "palette/palette_search_kernels.h"

namespace vexa {
namespace {

constexpr int kLargestKey = 0x7FFFFFFF;

// Keys of the four entries in `block`; `low` holds their low bytes.
__m128i KeysOf(__m128i block, __m128i colourWords, __m128i low) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i first = _mm_sub_epi16(_mm_unpacklo_epi8(block, zero), colourWords);
  const __m128i second = _mm_sub_epi16(_mm_unpackhi_epi8(block, zero), colourWords);
  // Per entry: S1 = dr^2 + dg^2 and S2 = db^2 + df^2.
  const __m128 sumsA = _mm_castsi128_ps(_mm_madd_epi16(first, first));
  const __m128 sumsB = _mm_castsi128_ps(_mm_madd_epi16(second, second));
  const __m128i s1 = _mm_castps_si128(_mm_shuffle_ps(sumsA, sumsB, _MM_SHUFFLE(2, 0, 2, 0)));
  const __m128i s2 = _mm_castps_si128(_mm_shuffle_ps(sumsA, sumsB, _MM_SHUFFLE(3, 1, 3, 1)));
  const __m128i distance = _mm_adds_epu16(s1, s2);
  return _mm_or_si128(_mm_slli_epi32(distance, 8), low);
}

__m128i MinKeys(__m128i a, __m128i b) {
  const __m128i aSmaller = _mm_cmplt_epi32(a, b);
  return _mm_or_si128(_mm_and_si128(aSmaller, a), _mm_andnot_si128(aSmaller, b));
}

int HorizontalMin(__m128i keys) {
  keys = MinKeys(keys, _mm_shuffle_epi32(keys, _MM_SHUFFLE(1, 0, 3, 2)));
  keys = MinKeys(keys, _mm_shuffle_epi32(keys, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(keys);
}

__m128i LoadEntries(const PALETTEENTRY* entries) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(entries));
}

// The first `count` (1..3) entries in a zeroed block.
__m128i LoadTail(const PALETTEENTRY* entries, int count) {
  alignas(16) PALETTEENTRY tail[4] = {};
  for (int i = 0; i < count; ++i) tail[i] = entries[i];
  return _mm_load_si128(reinterpret_cast<const __m128i*>(tail));
}

// The first entry whose four bytes equal the colour's (there is one).
int FirstExactEntry(const PALETTEENTRY* entries, int count, COLORREF colour) {
  const __m128i wanted = _mm_set1_epi32(static_cast<int>(colour));
  int j = 0;
  for (; j + 4 <= count; j += 4) {
    const int mask = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(LoadEntries(entries + j), wanted)));
    if (mask != 0) return j + __builtin_ctz(static_cast<unsigned>(mask));
  }
  if (j == count) return 0;
  const int mask = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(LoadTail(entries + j, count - j), wanted)));
  const int valid = (1 << (count - j)) - 1;
  return (mask & valid) != 0 ? j + __builtin_ctz(static_cast<unsigned>(mask & valid)) : 0;
}

}  // namespace

int SearchVectorSse2(const PALETTEENTRY* entries, int count, COLORREF colour) {
  if (count <= 0) return 0;
  const __m128i colourWords = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(colour)), _mm_setzero_si128());
  const __m128i step = _mm_set1_epi32(4);
  __m128i low = _mm_setr_epi32(254, 255, 252, 253);  // j ^ 0xFE for j = 0..3
  __m128i best = _mm_set1_epi32(kLargestKey);
  int j = 0;
  for (; j + 4 <= count; j += 4) {
    best = MinKeys(best, KeysOf(LoadEntries(entries + j), colourWords, low));
    low = _mm_sub_epi32(low, step);
  }
  if (j < count) {
    const __m128i keys = KeysOf(LoadTail(entries + j, count - j), colourWords, low);
    const __m128i past = _mm_cmplt_epi32(_mm_set1_epi32(count - j - 1), _mm_setr_epi32(0, 1, 2, 3));
    best = MinKeys(best, _mm_or_si128(_mm_andnot_si128(past, keys), _mm_and_si128(past, _mm_set1_epi32(kLargestKey))));
  }
  const auto key = static_cast<unsigned>(HorizontalMin(best));
  if ((key >> 8) == 0) return FirstExactEntry(entries, count, colour);
  return static_cast<int>((key & 0xFF) ^ 0xFE);
}

}  // namespace vexa
