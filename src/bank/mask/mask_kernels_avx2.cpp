// AVX2 mask kernels: 32-byte chunks for the overlap test, 32 pixels per step for the
// builder. Narrower rows fall back to the 64-bit or SSE2 kernels, which read less past them.
#include <immintrin.h>

#include "bank/mask/mask_classify.h"
#include "bank/mask/mask_kernels.h"
#include "bank/mask/mask_overlap_kernel.h"

namespace vexa {
namespace {

struct Vec256 {
  using T = __m256i;
  struct Count {
    __m128i left;   // shift
    __m128i right;  // 8 - shift
  };
  static constexpr int kBytes = 32;
  static T Load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const T*>(p)); }
  static T FromWords(const std::uint64_t* w) {
    return _mm256_set_epi64x(static_cast<long long>(w[3]), static_cast<long long>(w[2]),
                             static_cast<long long>(w[1]), static_cast<long long>(w[0]));
  }
  static T And(T a, T b) { return _mm256_and_si256(a, b); }
  static T Or(T a, T b) { return _mm256_or_si256(a, b); }
  static bool Disjoint(T a, T b) { return _mm256_testz_si256(a, b) != 0; }
  static Count Counts(int shift) {
    return {_mm_cvtsi32_si128(shift), _mm_cvtsi32_si128(8 - shift)};
  }
  static T ShiftPair(T current, T earlier, const Count& counts) {
    return _mm256_or_si256(_mm256_sll_epi64(current, counts.left),
                           _mm256_srl_epi64(earlier, counts.right));
  }
};

inline __m256i Load(const std::uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Bit i set for each of the 32 bytes that differs from the key.
inline std::uint32_t Differing(__m256i bytesEqual) {
  return ~static_cast<std::uint32_t>(_mm256_movemask_epi8(bytesEqual));
}

}  // namespace

bool AnyOverlapAvx2(const MaskRowSpan& span) {
  const int bytes = SpanBytes(span);
  if (bytes <= 8) return AnyOverlapScalar(span);
  if (bytes <= 16) return AnyOverlapSse2(span);
  return AnyOverlapRows<Vec256>(span);
}

bool AnySetAvx2(const MaskRowSpan& span) {
  const int bytes = SpanBytes(span);
  if (bytes <= 8) return AnySetScalar(span);
  if (bytes <= 16) return AnySetSse2(span);
  return AnyOverlapRows<Vec256, true>(span);
}

void ClassifyRow8Avx2(const std::uint8_t* row, int width, std::uint32_t key, std::uint64_t* words) {
  const auto k = static_cast<std::uint8_t>(key);
  const __m256i keys = _mm256_set1_epi8(static_cast<char>(k));
  ClassifyRowWith<32, 1>(
      row, width, words,
      [keys](const std::uint8_t* p) { return Differing(_mm256_cmpeq_epi8(Load(p), keys)); },
      [k](const std::uint8_t* p) { return *p != k; });
}

void ClassifyRow16Avx2(const std::uint8_t* row, int width, std::uint32_t key,
                       std::uint64_t* words) {
  const auto k = static_cast<std::uint16_t>(key);
  const __m256i keys = _mm256_set1_epi16(static_cast<short>(k));
  ClassifyRowWith<32, 2>(
      row, width, words,
      [keys](const std::uint8_t* p) {
        // The pack interleaves the two inputs by 128-bit lane; the permute restores pixel order.
        const __m256i low = _mm256_cmpeq_epi16(Load(p), keys);
        const __m256i high = _mm256_cmpeq_epi16(Load(p + 32), keys);
        const __m256i packed = _mm256_packs_epi16(low, high);
        return Differing(_mm256_permute4x64_epi64(packed, 0xD8));
      },
      [k](const std::uint8_t* p) { return (p[0] | (p[1] << 8)) != k; });
}

void ClassifyRow32Avx2(const std::uint8_t* row, int width, std::uint32_t key,
                       std::uint64_t* words) {
  const __m256i keys = _mm256_set1_epi32(static_cast<int>(key));
  auto equal8 = [keys](const std::uint8_t* p) {
    return static_cast<std::uint32_t>(
        _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(Load(p), keys))));
  };
  ClassifyRowWith<32, 4>(
      row, width, words,
      [equal8](const std::uint8_t* p) {
        const std::uint32_t equal =
            equal8(p) | (equal8(p + 32) << 8) | (equal8(p + 64) << 16) | (equal8(p + 96) << 24);
        return ~equal;
      },
      [key](const std::uint8_t* p) {
        return (p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24)) !=
               key;
      });
}

}  // namespace vexa
