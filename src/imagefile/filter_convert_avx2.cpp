// AVX2 forms of the image filter's hottest rows: palette colours gathered eight at a time,
// and 24/32-bit pixels re-laid with byte shuffles. Tails go pixel by pixel.
#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "imagefile/filter_convert_rows.h"

namespace vexa {
namespace {

void Palette8To32(BYTE* d, const BYTE* s, int count, const PALETTEENTRY* palette) {
  // Entries are red, green, blue, flags; pixels blue, green, red, 0. The whole palette is
  // re-laid once per row (32 shuffles), then each pixel is one table load: gathers are slow
  // on many processors.
  const __m256i order =
      _mm256_setr_epi8(2, 1, 0, -128, 6, 5, 4, -128, 10, 9, 8, -128, 14, 13, 12, -128, 2, 1, 0,
                       -128, 6, 5, 4, -128, 10, 9, 8, -128, 14, 13, 12, -128);
  alignas(32) std::uint32_t table[256];
  for (int k = 0; k < 256; k += 8) {
    const __m256i entries = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(palette + k));
    _mm256_store_si256(reinterpret_cast<__m256i*>(table + k), _mm256_shuffle_epi8(entries, order));
  }
  auto* out = reinterpret_cast<std::uint32_t*>(d);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    std::uint64_t indexes;
    std::memcpy(&indexes, s + i, 8);
    const std::uint32_t p[8] = {table[indexes & 0xFF],         table[(indexes >> 8) & 0xFF],
                                table[(indexes >> 16) & 0xFF], table[(indexes >> 24) & 0xFF],
                                table[(indexes >> 32) & 0xFF], table[(indexes >> 40) & 0xFF],
                                table[(indexes >> 48) & 0xFF], table[indexes >> 56]};
    std::memcpy(out + i, p, sizeof p);
  }
  for (; i < count; ++i) std::memcpy(out + i, &table[s[i]], 4);
}

void Bgr24To32(BYTE* d, const BYTE* s, int count, const PALETTEENTRY*) {
  const __m256i spread =
      _mm256_setr_epi8(0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128, 0, 1, 2, -128,
                       3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128);
  int i = 0;
  // Each half loads 16 bytes for its 12: stop while the second half's load stays in the row.
  for (; i + 10 <= count; i += 8) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * i));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * i + 12));
    const __m256i both = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * i), _mm256_shuffle_epi8(both, spread));
  }
  for (; i < count; ++i) {
    d[4 * i] = s[3 * i], d[4 * i + 1] = s[3 * i + 1], d[4 * i + 2] = s[3 * i + 2];
    d[4 * i + 3] = 0;
  }
}

void Bgrx32To24(BYTE* d, const BYTE* s, int count, const PALETTEENTRY*) {
  const __m256i pack =
      _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128, 0, 1, 2, 4,
                       5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128);
  int i = 0;
  // The second half's 16-byte store ends 4 bytes past the group: keep two pixels in hand.
  for (; i + 10 <= count; i += 8) {
    const __m256i packed =
        _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 4 * i)), pack);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * i), _mm256_castsi256_si128(packed));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * i + 12),
                     _mm256_extracti128_si256(packed, 1));
  }
  for (; i < count; ++i) {
    d[3 * i] = s[4 * i], d[3 * i + 1] = s[4 * i + 1], d[3 * i + 2] = s[4 * i + 2];
  }
}

}  // namespace

FilterRowFn FilterRowAvx2(FilterRowKind kind) {
  switch (kind) {
    case FilterRowKind::Palette8To32:
      return Palette8To32;
    case FilterRowKind::Bgr24To32:
      return Bgr24To32;
    case FilterRowKind::Bgrx32To24:
      return Bgrx32To24;
  }
  return nullptr;
}

}  // namespace vexa
