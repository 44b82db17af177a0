// The word-level kernels behind the collision-mask tests and the mask builder, one table per
// vector level (scalar 64-bit words, SSE2, AVX2), chosen once by the active SIMD level.
//
// Every level gives bit-identical results; tests run each level the processor supports
// against a per-pixel reference.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/simd_level.h"

namespace vexa {

// The rows two masks share once placed. A's pixel (dx + u) meets B's pixel u for the `bits`
// columns u = 0 .. bits-1 of each of `rows` rows, where dx = 8 * (a - A's row start) + shift.
// The kernels never read outside [aBegin, aEnd) and [bBegin, bEnd), the masks' whole blocks
// of bit rows, but may read across row ends inside them: bits outside the shared columns are
// masked off before they are compared. The rectangle test (anySet) leaves B's fields unset.
struct MaskRowSpan {
  const std::uint8_t* a;  // A's first shared row, at byte dx >> 3
  const std::uint8_t* b;  // B's first shared row
  std::ptrdiff_t aStride;
  std::ptrdiff_t bStride;
  int rows;   // > 0
  int shift;  // dx & 7
  int bits;   // > 0
  const std::uint8_t* aBegin;
  const std::uint8_t* aEnd;
  const std::uint8_t* bBegin;
  const std::uint8_t* bEnd;
};

// Bytes of A's rows that a span touches: ceil((shift + bits) / 8).
inline int SpanBytes(const MaskRowSpan& span) { return (span.shift + span.bits + 7) >> 3; }

// Sets bit x of `words` for every pixel x < width of a row that differs from `key`; clears all
// other bits of the ceil(width / 64) words.
using ClassifyRowFn = void (*)(const std::uint8_t* row, int width, std::uint32_t key,
                               std::uint64_t* words);

struct MaskKernels {
  // True when some shared pixel is set in both masks.
  bool (*anyOverlap)(const MaskRowSpan& span);
  // True when some pixel of A's shared columns is set (B's fields are not used: the
  // rectangle test, B taken as all ones).
  bool (*anySet)(const MaskRowSpan& span);
  ClassifyRowFn classify8;   // bytes (8-bit indices, alpha planes with key 0)
  ClassifyRowFn classify16;  // 16-bit values
  ClassifyRowFn classify24;  // 3-byte pixels against the key's low 24 bits
  ClassifyRowFn classify32;  // whole 32-bit values
};

// The kernels of a level (levels the processor lacks give the highest one it has).
const MaskKernels& MaskKernelsAt(SimdLevel level);
// The kernels of the active SIMD level, bound once.
const MaskKernels& ActiveMaskKernels();

// The scalar members the vector tables share: the 64-bit overlap tests, which the vector
// levels use for narrow rows, and the 3-byte builder, which has no vector form.
bool AnyOverlapScalar(const MaskRowSpan& span);
bool AnySetScalar(const MaskRowSpan& span);
void ClassifyRow24Scalar(const std::uint8_t* row, int width, std::uint32_t key,
                         std::uint64_t* words);

// The tables of the vector levels, made in the files built with their instruction sets.
MaskKernels MaskKernelsSse2();
MaskKernels MaskKernelsAvx2();

}  // namespace vexa
