// The SSE2 instruction policy: 128-bit integer vectors under the operation names that every
// kernel family's templated body uses (simd_avx2.h has the same names at 256 bits). A family
// writes its vector body once over a policy `Isa`; its *_sse2.cpp file instantiates the body
// with Sse2 and its *_avx2.cpp file with Avx2.
//
// Include this header only from files built with the instruction set (named *_sse2.cpp); its
// names live in an anonymous namespace so that no code compiled with one set of instruction
// flags can be shared with a file compiled with another.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace vexa {
namespace {

struct Sse2 {
  using V = __m128i;
  using F = __m128;
  static constexpr int kBytes = 16;
  static constexpr int kLanes32 = kBytes / 4;
  static constexpr std::uint32_t kByteMaskBits = 0xFFFFu;  // one bit per byte of a vector

  // ---- loads, stores, constants
  static V Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
  static void Store(void* p, V v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
  static V Zero() { return _mm_setzero_si128(); }
  static V Set8(std::uint32_t v) { return _mm_set1_epi8(static_cast<char>(v)); }
  static V Set16(std::uint32_t v) { return _mm_set1_epi16(static_cast<short>(v)); }
  static V Set32(std::uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
  static V Iota32() { return _mm_setr_epi32(0, 1, 2, 3); }  // lane i holds i
  // The 64-bit words w[0], w[1] in lane order.
  static V FromWords(const std::uint64_t* w) {
    return _mm_set_epi64x(static_cast<long long>(w[1]), static_cast<long long>(w[0]));
  }
  // kLanes32 bytes widened to 32-bit lanes.
  static V Widen8To32(const std::uint8_t* bytes) {
    std::int32_t four;
    std::memcpy(&four, bytes, 4);
    const V z = Zero();
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(four), z), z);
  }
  // 2 * kLanes32 bytes widened to 16-bit lanes.
  static V Widen8To16(const std::uint8_t* bytes) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes)), Zero());
  }
  // kLanes32 bytes, each repeated over the four bytes of its 32-bit lane.
  static V Spread8To32(const std::uint8_t* bytes) {
    std::int32_t four;
    std::memcpy(&four, bytes, 4);
    V a = _mm_cvtsi32_si128(four);
    a = _mm_unpacklo_epi8(a, a);
    return _mm_unpacklo_epi16(a, a);
  }

  // ---- bitwise
  static V And(V a, V b) { return _mm_and_si128(a, b); }
  static V Or(V a, V b) { return _mm_or_si128(a, b); }
  static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
  static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }  // ~a & b
  // mask ? a : b, for masks whose bytes are all ones or all zeros.
  static V Select(V mask, V a, V b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
  }
  static bool AllSet(V mask) { return _mm_movemask_epi8(mask) == 0xFFFF; }
  // True when no bit is set in both.
  static bool Disjoint(V a, V b) {
    return _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(a, b), _mm_setzero_si128())) == 0xFFFF;
  }
  // Bit i set for each byte i whose top bit is set; bit i for each 32-bit lane i.
  static std::uint32_t MoveMask8(V v) { return static_cast<std::uint32_t>(_mm_movemask_epi8(v)); }
  static std::uint32_t MoveMask32(V v) {
    return static_cast<std::uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(v)));
  }

  // ---- compares (all ones where true)
  static V CmpEq8(V a, V b) { return _mm_cmpeq_epi8(a, b); }
  static V CmpEq16(V a, V b) { return _mm_cmpeq_epi16(a, b); }
  static V CmpEq32(V a, V b) { return _mm_cmpeq_epi32(a, b); }
  static V CmpGt32(V a, V b) { return _mm_cmpgt_epi32(a, b); }

  // ---- arithmetic
  static V AddSatU8(V a, V b) { return _mm_adds_epu8(a, b); }
  static V SubSatU8(V a, V b) { return _mm_subs_epu8(a, b); }
  static V AddSatU16(V a, V b) { return _mm_adds_epu16(a, b); }
  static V Add16(V a, V b) { return _mm_add_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm_sub_epi16(a, b); }
  static V Mullo16(V a, V b) { return _mm_mullo_epi16(a, b); }
  static V MulhiU16(V a, V b) { return _mm_mulhi_epu16(a, b); }
  static V Madd16(V a, V b) { return _mm_madd_epi16(a, b); }  // pairwise products, summed
  static V Add32(V a, V b) { return _mm_add_epi32(a, b); }
  static V Sub32(V a, V b) { return _mm_sub_epi32(a, b); }
  static V Min32(V a, V b) { return Select(_mm_cmplt_epi32(a, b), a, b); }
  // The smallest signed 32-bit lane.
  static int HorizontalMin32(V v) {
    v = Min32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = Min32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(v);
  }
  template <int N>
  static V Srli16(V v) {
    return _mm_srli_epi16(v, N);
  }
  template <int N>
  static V Slli16(V v) {
    return _mm_slli_epi16(v, N);
  }
  template <int N>
  static V Srai16(V v) {
    return _mm_srai_epi16(v, N);
  }
  template <int N>
  static V Srli32(V v) {
    return _mm_srli_epi32(v, N);
  }
  template <int N>
  static V Srai32(V v) {
    return _mm_srai_epi32(v, N);
  }
  template <int N>
  static V Slli32(V v) {
    return _mm_slli_epi32(v, N);
  }
  // Each 64-bit lane of `current` shifted up by `left` bits, the vacated bits filled from the
  // top of `earlier` (the same lane one byte lower in memory) shifted down by `right`.
  struct Count {
    __m128i left;
    __m128i right;
  };
  static Count Counts(int left) { return {_mm_cvtsi32_si128(left), _mm_cvtsi32_si128(8 - left)}; }
  static V ShiftPair(V current, V earlier, const Count& c) {
    return _mm_or_si128(_mm_sll_epi64(current, c.left), _mm_srl_epi64(earlier, c.right));
  }

  // ---- lane moves. Unpacks interleave the low or high halves (of each 128-bit half); packs
  // narrow with saturation. The *Ordered packs keep lane order across the whole vector.
  static V UnpackLo8(V a, V b) { return _mm_unpacklo_epi8(a, b); }
  static V UnpackHi8(V a, V b) { return _mm_unpackhi_epi8(a, b); }
  static V UnpackLo16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
  static V UnpackHi16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
  static V UnpackLo32(V a, V b) { return _mm_unpacklo_epi32(a, b); }
  static V UnpackHi32(V a, V b) { return _mm_unpackhi_epi32(a, b); }
  static V PackUS16(V a, V b) { return _mm_packus_epi16(a, b); }
  static V PackS16(V a, V b) { return _mm_packs_epi16(a, b); }
  static V PackS32(V a, V b) { return _mm_packs_epi32(a, b); }
  static V PackS16Ordered(V a, V b) { return _mm_packs_epi16(a, b); }
  // Four vectors of 32-bit lanes narrowed to bytes (signed, then unsigned saturation).
  static V PackU8Ordered32(V q0, V q1, V q2, V q3) {
    return _mm_packus_epi16(_mm_packs_epi32(q0, q1), _mm_packs_epi32(q2, q3));
  }
  // The bytes of quarter K (0-3) of the vector widened to 32-bit lanes.
  template <int K>
  static V WidenQuarter8To32(V v) {
    const V z = Zero();
    const V half = K < 2 ? _mm_unpacklo_epi8(v, z) : _mm_unpackhi_epi8(v, z);
    return K % 2 == 0 ? _mm_unpacklo_epi16(half, z) : _mm_unpackhi_epi16(half, z);
  }
  // The even and the odd 32-bit lanes of a, then of b (per 128-bit half).
  static V EvenLanes32(V a, V b) {
    return _mm_castps_si128(
        _mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
  }
  static V OddLanes32(V a, V b) {
    return _mm_castps_si128(
        _mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(3, 1, 3, 1)));
  }

  // ---- floats (32-bit lanes)
  static F ToFloat(V v) { return _mm_cvtepi32_ps(v); }
  static V TruncToInt(F f) { return _mm_cvttps_epi32(f); }
  static F SetF(float v) { return _mm_set1_ps(v); }
  static F MulF(F a, F b) { return _mm_mul_ps(a, b); }
  static F DivF(F a, F b) { return _mm_div_ps(a, b); }
  static F MulAddF(F a, F b, F c) { return _mm_add_ps(_mm_mul_ps(a, b), c); }  // a * b + c
  // Each lane of quarter K (0-3) repeated over four lanes.
  template <int K>
  static F RepeatQuarterLanes(F f) {
    return _mm_shuffle_ps(f, f, _MM_SHUFFLE(K, K, K, K));
  }
  // mask ? a : b for float lanes, the mask from a compare or a constant of all-ones lanes.
  static F SelectF(V mask, F a, F b) {
    const F m = _mm_castsi128_ps(mask);
    return _mm_or_ps(_mm_and_ps(m, a), _mm_andnot_ps(m, b));
  }
};

}  // namespace
}  // namespace vexa
