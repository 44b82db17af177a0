// The AVX2 instruction policy: 256-bit integer vectors under the operation names of
// simd_sse2.h, where the policies are described. Unpacks, packs and the even/odd lane picks
// work within each 128-bit half, as there; the *Ordered packs and the widening loads keep
// pixel order across the whole vector.
//
// Include this header only from files built with the instruction set (named *_avx2.cpp).
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <cstring>

namespace vexa {
namespace {

struct Avx2 {
  using V = __m256i;
  using F = __m256;
  static constexpr int kBytes = 32;
  static constexpr int kLanes32 = kBytes / 4;
  static constexpr std::uint32_t kByteMaskBits = 0xFFFFFFFFu;

  // ---- loads, stores, constants
  static V Load(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
  static void Store(void* p, V v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }
  // Two 16-byte halves in separate places, the low one at `low`.
  static V LoadHalves(const void* low, const void* high) {
    return _mm256_loadu2_m128i(static_cast<const __m128i*>(high), static_cast<const __m128i*>(low));
  }
  static void StoreHalves(void* low, void* high, V v) {
    _mm256_storeu2_m128i(static_cast<__m128i*>(high), static_cast<__m128i*>(low), v);
  }
  static V Zero() { return _mm256_setzero_si256(); }
  static V Set8(std::uint32_t v) { return _mm256_set1_epi8(static_cast<char>(v)); }
  static V Set16(std::uint32_t v) { return _mm256_set1_epi16(static_cast<short>(v)); }
  static V Set32(std::uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
  static V Iota32() { return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7); }
  static V FromWords(const std::uint64_t* w) {
    return _mm256_set_epi64x(static_cast<long long>(w[3]), static_cast<long long>(w[2]),
                             static_cast<long long>(w[1]), static_cast<long long>(w[0]));
  }
  static V Widen8To32(const std::uint8_t* bytes) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes)));
  }
  static V Widen8To16(const std::uint8_t* bytes) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
  }
  static V Spread8To32(const std::uint8_t* bytes) {
    long long eight;
    std::memcpy(&eight, bytes, sizeof(eight));
    // Both 128-bit halves hold all eight bytes; the low half spreads bytes 0-3, the high 4-7.
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3,  //
                                            4, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6, 7, 7, 7, 7);
    return _mm256_shuffle_epi8(_mm256_set1_epi64x(eight), spread);
  }

  // ---- bitwise
  static V And(V a, V b) { return _mm256_and_si256(a, b); }
  static V Or(V a, V b) { return _mm256_or_si256(a, b); }
  static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
  static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }  // ~a & b
  static V Select(V mask, V a, V b) { return _mm256_blendv_epi8(b, a, mask); }
  static bool AllSet(V mask) { return _mm256_movemask_epi8(mask) == -1; }
  static bool Disjoint(V a, V b) { return _mm256_testz_si256(a, b) != 0; }
  static std::uint32_t MoveMask8(V v) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(v));
  }
  static std::uint32_t MoveMask32(V v) {
    return static_cast<std::uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(v)));
  }

  // ---- compares
  static V CmpEq8(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
  static V CmpEq16(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
  static V CmpEq32(V a, V b) { return _mm256_cmpeq_epi32(a, b); }
  static V CmpGt32(V a, V b) { return _mm256_cmpgt_epi32(a, b); }

  // ---- arithmetic
  static V AddSatU8(V a, V b) { return _mm256_adds_epu8(a, b); }
  static V SubSatU8(V a, V b) { return _mm256_subs_epu8(a, b); }
  static V AddSatU16(V a, V b) { return _mm256_adds_epu16(a, b); }
  static V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
  static V Mullo16(V a, V b) { return _mm256_mullo_epi16(a, b); }
  static V MulhiU16(V a, V b) { return _mm256_mulhi_epu16(a, b); }
  static V Madd16(V a, V b) { return _mm256_madd_epi16(a, b); }
  static V Add32(V a, V b) { return _mm256_add_epi32(a, b); }
  static V Sub32(V a, V b) { return _mm256_sub_epi32(a, b); }
  static V Min32(V a, V b) { return _mm256_min_epi32(a, b); }
  static int HorizontalMin32(V v) {
    __m128i half = _mm_min_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    half = _mm_min_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(1, 0, 3, 2)));
    half = _mm_min_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(half);
  }
  template <int N>
  static V Srli16(V v) {
    return _mm256_srli_epi16(v, N);
  }
  template <int N>
  static V Slli16(V v) {
    return _mm256_slli_epi16(v, N);
  }
  template <int N>
  static V Srai16(V v) {
    return _mm256_srai_epi16(v, N);
  }
  template <int N>
  static V Srli32(V v) {
    return _mm256_srli_epi32(v, N);
  }
  template <int N>
  static V Srai32(V v) {
    return _mm256_srai_epi32(v, N);
  }
  template <int N>
  static V Slli32(V v) {
    return _mm256_slli_epi32(v, N);
  }
  struct Count {
    __m128i left;
    __m128i right;
  };
  static Count Counts(int left) { return {_mm_cvtsi32_si128(left), _mm_cvtsi32_si128(8 - left)}; }
  static V ShiftPair(V current, V earlier, const Count& c) {
    return _mm256_or_si256(_mm256_sll_epi64(current, c.left), _mm256_srl_epi64(earlier, c.right));
  }

  // ---- lane moves
  static V UnpackLo8(V a, V b) { return _mm256_unpacklo_epi8(a, b); }
  static V UnpackHi8(V a, V b) { return _mm256_unpackhi_epi8(a, b); }
  static V UnpackLo16(V a, V b) { return _mm256_unpacklo_epi16(a, b); }
  static V UnpackHi16(V a, V b) { return _mm256_unpackhi_epi16(a, b); }
  static V UnpackLo32(V a, V b) { return _mm256_unpacklo_epi32(a, b); }
  static V UnpackHi32(V a, V b) { return _mm256_unpackhi_epi32(a, b); }
  static V PackUS16(V a, V b) { return _mm256_packus_epi16(a, b); }
  static V PackS16(V a, V b) { return _mm256_packs_epi16(a, b); }
  static V PackS32(V a, V b) { return _mm256_packs_epi32(a, b); }
  // The pack interleaves its inputs by 128-bit half; the permute restores lane order.
  static V PackS16Ordered(V a, V b) {
    return _mm256_permute4x64_epi64(_mm256_packs_epi16(a, b), 0xD8);
  }
  // After the per-half packs the lanes of q0..q3 sit at dwords (0, 4, 1, 5, 2, 6, 3, 7).
  static V PackU8Ordered32(V q0, V q1, V q2, V q3) {
    const V packed = _mm256_packus_epi16(_mm256_packs_epi32(q0, q1), _mm256_packs_epi32(q2, q3));
    return _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
  }
  template <int K>
  static V WidenQuarter8To32(V v) {
    const __m128i half = K < 2 ? _mm256_castsi256_si128(v) : _mm256_extracti128_si256(v, 1);
    return _mm256_cvtepu8_epi32(K % 2 == 0 ? half : _mm_srli_si128(half, 8));
  }
  static V EvenLanes32(V a, V b) {
    return _mm256_castps_si256(
        _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
  }
  static V OddLanes32(V a, V b) {
    return _mm256_castps_si256(
        _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _MM_SHUFFLE(3, 1, 3, 1)));
  }

  // ---- floats
  static F ToFloat(V v) { return _mm256_cvtepi32_ps(v); }
  static V TruncToInt(F f) { return _mm256_cvttps_epi32(f); }
  static F SetF(float v) { return _mm256_set1_ps(v); }
  static F MulF(F a, F b) { return _mm256_mul_ps(a, b); }
  static F DivF(F a, F b) { return _mm256_div_ps(a, b); }
  static F MulAddF(F a, F b, F c) { return _mm256_fmadd_ps(a, b, c); }  // one rounding
  template <int K>
  static F RepeatQuarterLanes(F f) {
    const __m256i pick =
        _mm256_setr_epi32(2 * K, 2 * K, 2 * K, 2 * K, 2 * K + 1, 2 * K + 1, 2 * K + 1, 2 * K + 1);
    return _mm256_permutevar8x32_ps(f, pick);
  }
  static F SelectF(V mask, F a, F b) { return _mm256_blendv_ps(b, a, _mm256_castsi256_ps(mask)); }
};

}  // namespace
}  // namespace vexa
