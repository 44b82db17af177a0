// SSE2 mask kernels: 16-byte chunks for the overlap test, 16 pixels per compare for the
// builder. Rows of at most 8 shared bytes use the 64-bit kernel, which reads less past them.
#include "base/simd_sse2.h"
#include "bank/mask/mask_kernels_vector.h"

namespace vexa {

bool AnyOverlapSse2(const MaskRowSpan& span) {
  if (SpanBytes(span) <= 8) return AnyOverlapScalar(span);
  return AnyOverlapRows<Sse2>(span);
}

bool AnySetSse2(const MaskRowSpan& span) {
  if (SpanBytes(span) <= 8) return AnySetScalar(span);
  return AnyOverlapRows<Sse2, true>(span);
}

void ClassifyRow8Sse2(const std::uint8_t* row, int width, std::uint32_t key, std::uint64_t* words) {
  ClassifyRow8With<Sse2>(row, width, key, words);
}

void ClassifyRow16Sse2(const std::uint8_t* row, int width, std::uint32_t key,
                       std::uint64_t* words) {
  ClassifyRow16With<Sse2>(row, width, key, words);
}

void ClassifyRow32Sse2(const std::uint8_t* row, int width, std::uint32_t key,
                       std::uint64_t* words) {
  ClassifyRow32With<Sse2>(row, width, key, words);
}

}  // namespace vexa
