// SSE2 mask kernels: 16-byte chunks for the overlap test, 16 pixels per compare for the
// builder. Rows of at most 8 shared bytes use the 64-bit kernel, which reads less past them.
#include <emmintrin.h>

#include "bank/mask/mask_classify.h"
#include "bank/mask/mask_kernels.h"
#include "bank/mask/mask_overlap_kernel.h"

namespace vexa {
namespace {

struct Vec128 {
  using T = __m128i;
  struct Count {
    __m128i left;   // shift
    __m128i right;  // 8 - shift
  };
  static constexpr int kBytes = 16;
  static T Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const T*>(p)); }
  static T FromWords(const std::uint64_t* w) {
    return _mm_set_epi64x(static_cast<long long>(w[1]), static_cast<long long>(w[0]));
  }
  static T And(T a, T b) { return _mm_and_si128(a, b); }
  static T Or(T a, T b) { return _mm_or_si128(a, b); }
  static bool Disjoint(T a, T b) {
    const __m128i both = _mm_and_si128(a, b);
    return _mm_movemask_epi8(_mm_cmpeq_epi8(both, _mm_setzero_si128())) == 0xFFFF;
  }
  static Count Counts(int shift) {
    return {_mm_cvtsi32_si128(shift), _mm_cvtsi32_si128(8 - shift)};
  }
  static T ShiftPair(T current, T earlier, const Count& counts) {
    return _mm_or_si128(_mm_sll_epi64(current, counts.left), _mm_srl_epi64(earlier, counts.right));
  }
};

// Bit i set for each of the 16 bytes that differs from the key.
inline unsigned Differing(__m128i bytesEqual) {
  return ~static_cast<unsigned>(_mm_movemask_epi8(bytesEqual)) & 0xFFFFu;
}

inline __m128i Load(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

bool AnyOverlapSse2(const MaskRowSpan& span) {
  if (SpanBytes(span) <= 8) return AnyOverlapScalar(span);
  return AnyOverlapRows<Vec128>(span);
}

bool AnySetSse2(const MaskRowSpan& span) {
  if (SpanBytes(span) <= 8) return AnySetScalar(span);
  return AnyOverlapRows<Vec128, true>(span);
}

void ClassifyRow8Sse2(const std::uint8_t* row, int width, std::uint32_t key, std::uint64_t* words) {
  const auto k = static_cast<std::uint8_t>(key);
  const __m128i keys = _mm_set1_epi8(static_cast<char>(k));
  ClassifyRowWith<16, 1>(
      row, width, words,
      [keys](const std::uint8_t* p) { return Differing(_mm_cmpeq_epi8(Load(p), keys)); },
      [k](const std::uint8_t* p) { return *p != k; });
}

void ClassifyRow16Sse2(const std::uint8_t* row, int width, std::uint32_t key,
                       std::uint64_t* words) {
  const auto k = static_cast<std::uint16_t>(key);
  const __m128i keys = _mm_set1_epi16(static_cast<short>(k));
  ClassifyRowWith<16, 2>(
      row, width, words,
      [keys](const std::uint8_t* p) {
        // Equal words are all ones, which the signed pack keeps as 0xFF bytes in order.
        const __m128i low = _mm_cmpeq_epi16(Load(p), keys);
        const __m128i high = _mm_cmpeq_epi16(Load(p + 16), keys);
        return Differing(_mm_packs_epi16(low, high));
      },
      [k](const std::uint8_t* p) { return (p[0] | (p[1] << 8)) != k; });
}

void ClassifyRow32Sse2(const std::uint8_t* row, int width, std::uint32_t key,
                       std::uint64_t* words) {
  const __m128i keys = _mm_set1_epi32(static_cast<int>(key));
  ClassifyRowWith<16, 4>(
      row, width, words,
      [keys](const std::uint8_t* p) {
        const __m128i e0 = _mm_cmpeq_epi32(Load(p), keys);
        const __m128i e1 = _mm_cmpeq_epi32(Load(p + 16), keys);
        const __m128i e2 = _mm_cmpeq_epi32(Load(p + 32), keys);
        const __m128i e3 = _mm_cmpeq_epi32(Load(p + 48), keys);
        return Differing(_mm_packs_epi16(_mm_packs_epi32(e0, e1), _mm_packs_epi32(e2, e3)));
      },
      [key](const std::uint8_t* p) {
        return (p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24)) !=
               key;
      });
}

}  // namespace vexa
