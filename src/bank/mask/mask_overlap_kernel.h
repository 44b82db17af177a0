// The overlap kernel of the collision masks, written once over an instruction policy `Isa` and
// built for 64-bit words (Word64 in mask_kernels.cpp), SSE2 and AVX2 (base/simd_sse2.h,
// base/simd_avx2.h) in their own files (hence the anonymous namespace: every instruction set
// gets its own private copy).
//
// A chunk is Isa::kBytes bytes of A's row, starting at the first shared byte. B's matching bits
// are B's bytes shifted left by `shift` (0-7) bits, carried across bytes. Within each 64-bit
// lane that is (B << shift) | (B' >> (8 - shift)) where B' is the same load one byte earlier:
// the lower load supplies the top bits of the byte before each lane; with shift 0 the second
// term only repeats bits of the first, so no shift needs a path of its own. Bits outside the
// shared columns (B's byte before its row, bytes past either row) are cleared by the chunk
// masks, so whole chunks may be read across row ends. Rows whose chunks would leave a mask's
// block are copied into zero-padded scratch rows first.
//
// Isa provides: V, Count, kBytes, Load(p), FromWords(64-bit words), And, Or, Disjoint (no
// common bit), Counts(shift) and ShiftPair(current, earlier, counts).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bank/mask/mask_kernels.h"

namespace vexa {
namespace {

// Scratch rows for edge rows up to this many bytes; longer edge rows go byte by byte.
constexpr int kScratchBytes = 256;

// Word of a chunk mask: bit k set when wordBit + k lies in [low, high).
inline std::uint64_t ChunkMaskWord(std::int64_t wordBit, std::int64_t low, std::int64_t high) {
  const std::int64_t first = std::clamp<std::int64_t>(low - wordBit, 0, 64);
  const std::int64_t last = std::clamp<std::int64_t>(high - wordBit, 0, 64);
  if (last <= first) return 0;
  const std::uint64_t ones =
      last - first == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << (last - first)) - 1;
  return ones << first;
}

// The mask of the chunk starting at chunkBit, built in registers (a vector load of words
// just stored would wait for the stores to drain).
template <class Isa>
inline typename Isa::V ChunkMask(std::int64_t chunkBit, std::int64_t low, std::int64_t high) {
  std::uint64_t words[Isa::kBytes / 8];
  for (int i = 0; i < Isa::kBytes / 8; ++i) words[i] = ChunkMaskWord(chunkBit + 64 * i, low, high);
  return Isa::FromWords(words);
}

template <class Isa>
struct OverlapPlan {
  int chunks;
  std::ptrdiff_t reach;   // chunks * Isa::kBytes
  typename Isa::V first;  // mask of chunk 0
  typename Isa::V last;   // mask of the last chunk (chunk 0 again when there is one)
  typename Isa::Count counts;

  explicit OverlapPlan(const MaskRowSpan& span) {
    const int bytes = SpanBytes(span);
    chunks = (bytes + Isa::kBytes - 1) / Isa::kBytes;
    reach = static_cast<std::ptrdiff_t>(chunks) * Isa::kBytes;
    const std::int64_t low = span.shift;
    const std::int64_t high = low + span.bits;
    first = ChunkMask<Isa>(0, low, high);
    last =
        chunks == 1 ? first : ChunkMask<Isa>(std::int64_t{chunks - 1} * Isa::kBytes * 8, low, high);
    counts = Isa::Counts(span.shift);
  }
};

// AND of one row pair over all chunks; `a` at the first shared byte, `b` at B's row start
// (b[-1] is read and masked off). With kSolidB, B is taken as all ones and not read.
template <class Isa, bool kSolidB>
inline typename Isa::V RowAnd(const OverlapPlan<Isa>& plan, const std::uint8_t* a,
                              const std::uint8_t* b) {
  using T = typename Isa::V;
  auto chunk = [&](std::ptrdiff_t offset) {
    if constexpr (kSolidB) {
      return Isa::Load(a + offset);
    } else {
      const T shifted =
          Isa::ShiftPair(Isa::Load(b + offset), Isa::Load(b + offset - 1), plan.counts);
      return Isa::And(Isa::Load(a + offset), shifted);
    }
  };
  if (plan.chunks == 1) return Isa::And(chunk(0), plan.first);
  T any = Isa::And(chunk(0), plan.first);
  const std::ptrdiff_t lastOffset = plan.reach - Isa::kBytes;
  for (std::ptrdiff_t offset = Isa::kBytes; offset < lastOffset; offset += Isa::kBytes) {
    any = Isa::Or(any, chunk(offset));
  }
  return Isa::Or(any, Isa::And(chunk(lastOffset), plan.last));
}

// A row whose chunks would leave a block: through scratch copies, or byte by byte when the
// row is too long for the scratch rows.
template <class Isa, bool kSolidB>
bool EdgeRowOverlaps(const OverlapPlan<Isa>& plan, const MaskRowSpan& span, const std::uint8_t* a,
                     const std::uint8_t* b) {
  const int aBytes = SpanBytes(span);
  const int bBytes = kSolidB ? 0 : (span.bits + 7) >> 3;
  if (plan.reach <= kScratchBytes) {
    // Only the bytes a chunk reads are prepared: the shared bytes, zeros around them.
    alignas(32) std::uint8_t scratchA[kScratchBytes];
    alignas(32) std::uint8_t scratchB[kScratchBytes + Isa::kBytes];
    const auto reach = static_cast<std::size_t>(plan.reach);
    std::memcpy(scratchA, a, static_cast<std::size_t>(aBytes));
    std::memset(scratchA + aBytes, 0, reach - static_cast<std::size_t>(aBytes));
    if constexpr (!kSolidB) {
      std::memset(scratchB, 0, Isa::kBytes);
      std::memcpy(scratchB + Isa::kBytes, b, static_cast<std::size_t>(bBytes));
      std::memset(scratchB + Isa::kBytes + bBytes, 0, reach - static_cast<std::size_t>(bBytes));
    }
    const typename Isa::V any = RowAnd<Isa, kSolidB>(plan, scratchA, scratchB + Isa::kBytes);
    return !Isa::Disjoint(any, any);
  }
  const int high = span.shift + span.bits;
  for (int i = 0; i < aBytes; ++i) {
    const unsigned current = i < bBytes ? b[i] : 0u;
    const unsigned earlier = i >= 1 && i - 1 < bBytes ? b[i - 1] : 0u;
    const unsigned shifted =
        kSolidB ? 0xFFu : (current << span.shift) | (earlier >> (8 - span.shift));
    unsigned keep = 0xFF;
    if (8 * i < span.shift) keep &= 0xFFu << span.shift;
    if (8 * i + 8 > high) keep &= 0xFFu >> (8 * i + 8 - high);
    if (a[i] & shifted & keep) return true;
  }
  return false;
}

// The rows [begin, end) of the span whose reads stay inside both blocks: all but B's row 0
// (its look-back byte) and the last few rows, whose chunks reach past a block's end. Found by
// walking back from the last row, which costs less than dividing for short spans.
template <bool kSolidB>
inline void FastRows(const MaskRowSpan& span, std::ptrdiff_t reach, int* begin, int* end) {
  // A's row i reads [a, a + reach); B's row i reads [b - 1, b + reach).
  auto outside = [&](int row) {
    if (row * span.aStride > span.aEnd - span.a - reach) return true;
    if constexpr (kSolidB) {
      return false;
    } else {
      return row * span.bStride > span.bEnd - span.b - reach;
    }
  };
  int rows = span.rows;
  while (rows > 0 && outside(rows - 1)) --rows;
  *end = rows;
  *begin = kSolidB ? 0 : std::min(span.b - 1 < span.bBegin ? 1 : 0, rows);
}

// The fast rows, four per exit test: the test costs as much as a narrow row.
template <class Isa, bool kSolidB, bool kOneChunk>
bool FastRowsOverlap(const OverlapPlan<Isa>& plan, const MaskRowSpan& span, int begin, int end) {
  const std::uint8_t* a = span.a + begin * span.aStride;
  const std::uint8_t* b = span.b + begin * span.bStride;
  const std::ptrdiff_t aStride = span.aStride;
  const std::ptrdiff_t bStride = span.bStride;
  auto row = [&](const std::uint8_t* ra, const std::uint8_t* rb) {
    if constexpr (kOneChunk && kSolidB) {
      return Isa::Load(ra);
    } else if constexpr (kOneChunk) {
      const typename Isa::V shifted = Isa::ShiftPair(Isa::Load(rb), Isa::Load(rb - 1), plan.counts);
      return Isa::And(Isa::Load(ra), shifted);
    } else {
      return RowAnd<Isa, kSolidB>(plan, ra, rb);
    }
  };
  int i = begin;
  for (; i + 4 <= end; i += 4) {
    const typename Isa::V any = Isa::Or(
        Isa::Or(row(a, b), row(a + aStride, b + bStride)),
        Isa::Or(row(a + 2 * aStride, b + 2 * bStride), row(a + 3 * aStride, b + 3 * bStride)));
    // (With one chunk its mask is applied once to the four rows together.)
    if (!Isa::Disjoint(any, kOneChunk ? plan.first : any)) return true;
    a += 4 * aStride;
    b += 4 * bStride;
  }
  for (; i < end; ++i, a += aStride, b += bStride) {
    const typename Isa::V any = row(a, b);
    if (!Isa::Disjoint(any, kOneChunk ? plan.first : any)) return true;
  }
  return false;
}

// True when some shared pixel is set in both masks; with kSolidB, when some pixel of A's
// shared columns is set (B is taken as all ones and its fields are not used).
template <class Isa, bool kSolidB = false>
bool AnyOverlapRows(const MaskRowSpan& span) {
  const OverlapPlan<Isa> plan(span);
  int begin = 0;
  int end = 0;
  FastRows<kSolidB>(span, plan.reach, &begin, &end);
  // Fast rows first: a hit is as likely there, and found sooner.
  const bool fastHit = plan.chunks == 1
                           ? FastRowsOverlap<Isa, kSolidB, true>(plan, span, begin, end)
                           : FastRowsOverlap<Isa, kSolidB, false>(plan, span, begin, end);
  if (fastHit) return true;
  auto edgeRow = [&](int i) {
    const std::uint8_t* b = kSolidB ? nullptr : span.b + i * span.bStride;
    return EdgeRowOverlaps<Isa, kSolidB>(plan, span, span.a + i * span.aStride, b);
  };
  for (int i = 0; i < begin; ++i) {
    if (edgeRow(i)) return true;
  }
  for (int i = end; i < span.rows; ++i) {
    if (edgeRow(i)) return true;
  }
  return false;
}

}  // namespace
}  // namespace vexa
