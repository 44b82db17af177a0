// Coverage mixing of 32-bit pixels, four at a time in 16-bit lanes. The division by 255 is
// exact: for 0 <= x <= 65534, x / 255 == (x + 1 + (x >> 8)) >> 8, and x stays below 65153.
#include <emmintrin.h>

#include <cstring>

#include "pixels/kernels/coverage_blend.h"

namespace vexa {

namespace {

// Mixes eight 16-bit channels d with t under coverage a (16-bit lanes).
__m128i Mix(__m128i d, __m128i t, __m128i a) {
  const __m128i full = _mm_set1_epi16(255);
  __m128i x = _mm_add_epi16(_mm_mullo_epi16(d, _mm_sub_epi16(full, a)), _mm_mullo_epi16(t, a));
  x = _mm_add_epi16(x, _mm_set1_epi16(127));
  x = _mm_add_epi16(_mm_add_epi16(x, _mm_set1_epi16(1)), _mm_srli_epi16(x, 8));
  return _mm_srli_epi16(x, 8);
}

int Load32(const std::uint8_t* p) {
  int v;
  std::memcpy(&v, p, 4);
  return v;
}

void Store32(std::uint8_t* p, int v) { std::memcpy(p, &v, 4); }

}  // namespace

void BlendCoverageRows32(std::uint8_t* firstRow, std::ptrdiff_t pitch, int rows, int count,
                         const std::uint8_t* firstCoverage, std::ptrdiff_t coverageStride,
                         const CoverageColor& color) {
  const __m128i zero = _mm_setzero_si128();
  const std::uint32_t bgr = color.b | color.g << 8 | color.r << 16;
  const __m128i t = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(bgr)), zero);
  const __m128i value = _mm_set1_epi32(static_cast<int>(color.value));
  // Coverage reaches the three colour bytes only: the fourth keeps its byte.
  const __m128i colourBytes = _mm_set1_epi32(0x00FFFFFF);
  const __m128i ones = _mm_set1_epi8(-1);
  // Four pixels under four coverage bytes (the first in the lowest byte).
  auto blend = [&](__m128i d, std::uint32_t four) {
    // Each coverage byte over its pixel's four bytes.
    __m128i a = _mm_cvtsi32_si128(static_cast<int>(four));
    a = _mm_unpacklo_epi8(a, a);
    a = _mm_unpacklo_epi16(a, a);
    const __m128i whole = _mm_cmpeq_epi8(a, ones);
    a = _mm_and_si128(a, colourBytes);
    const __m128i lo = Mix(_mm_unpacklo_epi8(d, zero), t, _mm_unpacklo_epi8(a, zero));
    const __m128i hi = Mix(_mm_unpackhi_epi8(d, zero), t, _mm_unpackhi_epi8(a, zero));
    const __m128i out = _mm_packus_epi16(lo, hi);
    // Full coverage stores the whole value, fourth byte included.
    return _mm_or_si128(_mm_and_si128(whole, value), _mm_andnot_si128(whole, out));
  };
  auto blendAt = [&](std::uint8_t* p, std::uint32_t four) {
    if (four == 0) return;
    __m128i out = value;
    if (four != 0xFFFFFFFFu)
      out = blend(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), four);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), out);
  };
  const int rest = count & 3;
  for (int y = 0; y < rows; ++y) {
    std::uint8_t* row = firstRow + y * pitch;
    const std::uint8_t* coverage = firstCoverage + y * coverageStride;
    std::uint32_t four;
    int x = 0;
    for (; x + 4 <= count; x += 4) {
      std::memcpy(&four, coverage + x, 4);
      blendAt(row + x * 4, four);
    }
    if (!rest) continue;
    // The last one to three pixels, read and written in place by their own width: nothing
    // past the row, and no load overlapping what the loop above has just stored.
    const std::uint8_t* a = coverage + x;
    four = a[0] | (rest > 1 ? a[1] << 8 : 0u) | (rest > 2 ? a[2] << 16 : 0u);
    if (four == 0) continue;
    std::uint8_t* p = row + x * 4;
    __m128i d;
    if (rest == 1) {
      d = _mm_cvtsi32_si128(Load32(p));
    } else {
      d = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
      if (rest == 3) d = _mm_unpacklo_epi64(d, _mm_cvtsi32_si128(Load32(p + 8)));
    }
    const __m128i out = blend(d, four);
    if (rest == 1) {
      Store32(p, _mm_cvtsi128_si32(out));
    } else {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(p), out);
      if (rest == 3) Store32(p + 8, _mm_cvtsi128_si32(_mm_srli_si128(out, 8)));
    }
  }
}

}  // namespace vexa
