// AVX2 mask kernels: 32-byte chunks for the overlap test, 32 pixels per step for the
// builder. Narrower rows fall back to the 64-bit or SSE2 kernels, which read less past them.
#include "base/simd_avx2.h"
#include "bank/mask/mask_kernels_vector.h"

namespace vexa {

bool AnyOverlapAvx2(const MaskRowSpan& span) {
  const int bytes = SpanBytes(span);
  if (bytes <= 8) return AnyOverlapScalar(span);
  if (bytes <= 16) return AnyOverlapSse2(span);
  return AnyOverlapRows<Avx2>(span);
}

bool AnySetAvx2(const MaskRowSpan& span) {
  const int bytes = SpanBytes(span);
  if (bytes <= 8) return AnySetScalar(span);
  if (bytes <= 16) return AnySetSse2(span);
  return AnyOverlapRows<Avx2, true>(span);
}

void ClassifyRow8Avx2(const std::uint8_t* row, int width, std::uint32_t key, std::uint64_t* words) {
  ClassifyRow8With<Avx2>(row, width, key, words);
}

void ClassifyRow16Avx2(const std::uint8_t* row, int width, std::uint32_t key,
                       std::uint64_t* words) {
  ClassifyRow16With<Avx2>(row, width, key, words);
}

void ClassifyRow32Avx2(const std::uint8_t* row, int width, std::uint32_t key,
                       std::uint64_t* words) {
  ClassifyRow32With<Avx2>(row, width, key, words);
}

}  // namespace vexa
