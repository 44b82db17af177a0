// The SSE2 parts of the row operations: four 32-bit or eight 16-bit pixels per step.
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "pixels/kernels/effect_context.h"

namespace vexa {
namespace {

struct Ops {
  using V = __m128i;
  static constexpr int kBytes = 16;

  static V Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
  static void Store(void* p, V v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
  static V Zero() { return _mm_setzero_si128(); }
  static V Set32(std::uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
  static V Set16(std::uint32_t v) { return _mm_set1_epi16(static_cast<short>(v)); }

  static V And(V a, V b) { return _mm_and_si128(a, b); }
  static V Or(V a, V b) { return _mm_or_si128(a, b); }
  static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
  static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }  // ~a & b
  static V Select(V mask, V a, V b) { return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b)); }
  static bool AllSet(V mask) { return _mm_movemask_epi8(mask) == 0xFFFF; }

  static V CmpEq32(V a, V b) { return _mm_cmpeq_epi32(a, b); }
  static V CmpEq16(V a, V b) { return _mm_cmpeq_epi16(a, b); }
  static V AddSatU8(V a, V b) { return _mm_adds_epu8(a, b); }
  static V SubSatU8(V a, V b) { return _mm_subs_epu8(a, b); }
  static V Add16(V a, V b) { return _mm_add_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm_sub_epi16(a, b); }
  static V Mullo16(V a, V b) { return _mm_mullo_epi16(a, b); }
  static V Add32(V a, V b) { return _mm_add_epi32(a, b); }
  template <int N> static V Srli16(V v) { return _mm_srli_epi16(v, N); }
  template <int N> static V Srai16(V v) { return _mm_srai_epi16(v, N); }
  template <int N> static V Srli32(V v) { return _mm_srli_epi32(v, N); }
  template <int N> static V Srai32(V v) { return _mm_srai_epi32(v, N); }
  template <int N> static V Slli32(V v) { return _mm_slli_epi32(v, N); }

  static V UnpackLo8(V a, V b) { return _mm_unpacklo_epi8(a, b); }
  static V UnpackHi8(V a, V b) { return _mm_unpackhi_epi8(a, b); }
  static V UnpackLo16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
  static V UnpackHi16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
  static V UnpackLo32(V a, V b) { return _mm_unpacklo_epi32(a, b); }
  static V UnpackHi32(V a, V b) { return _mm_unpackhi_epi32(a, b); }
  static V PackUS16(V a, V b) { return _mm_packus_epi16(a, b); }
  static V PackS32(V a, V b) { return _mm_packs_epi32(a, b); }

  // Alpha bytes of 4 pixels in 32-bit lanes, of 8 pixels in 16-bit lanes.
  static V LoadAlpha32(const std::uint8_t* alpha) {
    std::int32_t bytes;
    std::memcpy(&bytes, alpha, 4);
    const V z = Zero();
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), z), z);
  }
  static V LoadAlpha16(const std::uint8_t* alpha) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(alpha)), Zero());
  }
};

}  // namespace
}  // namespace vexa

#include "pixels/kernels/vector_row_templates.h"

namespace vexa {

void InstallVectorRowsSse2(KernelSet& kernels) { InstallVectorFormats(kernels); }

}  // namespace vexa
