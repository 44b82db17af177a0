// The AVX2 parts of the row operations: eight 32-bit or sixteen 16-bit pixels per step. The
// unpack and pack instructions work within each 128-bit half; every unpack is undone by the
// matching pack in the same half, so pixels keep their places.
#include <immintrin.h>

#include <cstdint>

#include "render/kernels/effect_context.h"

namespace vexa {
namespace {

struct Ops {
  using V = __m256i;
  static constexpr int kBytes = 32;

  static V Load(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
  static void Store(void* p, V v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }
  static V Zero() { return _mm256_setzero_si256(); }
  static V Set32(std::uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
  static V Set16(std::uint32_t v) { return _mm256_set1_epi16(static_cast<short>(v)); }

  static V And(V a, V b) { return _mm256_and_si256(a, b); }
  static V Or(V a, V b) { return _mm256_or_si256(a, b); }
  static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
  static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }  // ~a & b
  static V Select(V mask, V a, V b) { return _mm256_blendv_epi8(b, a, mask); }
  static bool AllSet(V mask) { return _mm256_movemask_epi8(mask) == -1; }

  static V CmpEq32(V a, V b) { return _mm256_cmpeq_epi32(a, b); }
  static V CmpEq16(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
  static V AddSatU8(V a, V b) { return _mm256_adds_epu8(a, b); }
  static V SubSatU8(V a, V b) { return _mm256_subs_epu8(a, b); }
  static V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
  static V Mullo16(V a, V b) { return _mm256_mullo_epi16(a, b); }
  static V Add32(V a, V b) { return _mm256_add_epi32(a, b); }
  template <int N> static V Srli16(V v) { return _mm256_srli_epi16(v, N); }
  template <int N> static V Srai16(V v) { return _mm256_srai_epi16(v, N); }
  template <int N> static V Srli32(V v) { return _mm256_srli_epi32(v, N); }
  template <int N> static V Srai32(V v) { return _mm256_srai_epi32(v, N); }
  template <int N> static V Slli32(V v) { return _mm256_slli_epi32(v, N); }

  static V UnpackLo8(V a, V b) { return _mm256_unpacklo_epi8(a, b); }
  static V UnpackHi8(V a, V b) { return _mm256_unpackhi_epi8(a, b); }
  static V UnpackLo16(V a, V b) { return _mm256_unpacklo_epi16(a, b); }
  static V UnpackHi16(V a, V b) { return _mm256_unpackhi_epi16(a, b); }
  static V UnpackLo32(V a, V b) { return _mm256_unpacklo_epi32(a, b); }
  static V UnpackHi32(V a, V b) { return _mm256_unpackhi_epi32(a, b); }
  static V PackUS16(V a, V b) { return _mm256_packus_epi16(a, b); }
  static V PackS32(V a, V b) { return _mm256_packs_epi32(a, b); }

  // Alpha bytes of 8 pixels in 32-bit lanes, of 16 pixels in 16-bit lanes, in pixel order.
  static V LoadAlpha32(const std::uint8_t* alpha) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(alpha)));
  }
  static V LoadAlpha16(const std::uint8_t* alpha) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(alpha)));
  }
};

}  // namespace
}  // namespace vexa

#include "render/kernels/vector_row_templates.h"

namespace vexa {

void InstallVectorRowsAvx2(KernelSet& kernels) { InstallVectorFormats(kernels); }

}  // namespace vexa
