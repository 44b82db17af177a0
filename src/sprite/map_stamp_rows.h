// The body of the map-stamp row kernels, written once over a chain of instruction policies
// (simd_avx2.h, simd_sse2.h, and the single word below), each handling kBytes / 8 plane words
// at a time. Each level's file instantiates MapStampKernelsWith with its chain.
//
// Word k of a row is (mask stream bits 8 k + shift ...) where the stream starts at the row's
// source byte: with `current` read one byte further than `earlier`, ShiftPair(current,
// earlier, 8 - shift) gives every 64-bit lane of it at once.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <vector>

#include "sprite/map_stamp_kernels.h"

namespace vexa {
namespace {

// The single-word policy: the scalar level, and the tail of the vector ones.
struct StampWord64 {
  using V = std::uint64_t;
  static constexpr int kBytes = 8;
  static V Load(const void* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  static void Store(void* p, V v) { std::memcpy(p, &v, sizeof v); }
  static V And(V a, V b) { return a & b; }
  static V Or(V a, V b) { return a | b; }
  static V AndNot(V a, V b) { return ~a & b; }
  using Count = int;
  static Count Counts(int left) { return left; }
  // left is 1..8 here, so neither shift reaches 64.
  static V ShiftPair(V current, V earlier, Count left) {
    return (current << left) | (earlier >> (8 - left));
  }
};

template <class Isa>
constexpr int kStampWords = Isa::kBytes / 8;

template <class Isa, bool kSet, bool kCut>
inline __attribute__((always_inline)) void StampBlock(std::uint8_t* target,
                                                      const std::uint8_t* source,
                                                      const typename Isa::Count& count,
                                                      const std::uint64_t* spans) {
  typename Isa::V stamp = Isa::ShiftPair(Isa::Load(source + 1), Isa::Load(source), count);
  if constexpr (kCut) stamp = Isa::And(stamp, Isa::Load(spans));
  const typename Isa::V old = Isa::Load(target);
  Isa::Store(target, kSet ? Isa::Or(old, stamp) : Isa::AndNot(stamp, old));
}

// Words 0 .. words-1 from `target` (all inside the row): blocks of the first policy's width,
// what is left with the next, narrower ones (the last is StampWord64). kCut ANDs word k with
// spans[k].
template <bool kSet, bool kCut, class Isa, class... Narrower>
inline __attribute__((always_inline)) void StampWords(std::uint8_t* target,
                                                      const std::uint8_t* source, int left,
                                                      const std::uint64_t* spans,
                                                      std::int64_t words) {
  constexpr int kWidth = kStampWords<Isa>;
  const typename Isa::Count count = Isa::Counts(left);
  std::int64_t k = 0;
  for (; k + kWidth <= words; k += kWidth)
    StampBlock<Isa, kSet, kCut>(target + 8 * k, source + 8 * k, count, kCut ? spans + k : spans);
  if constexpr (sizeof...(Narrower) > 0) {
    if (k < words)
      StampWords<kSet, kCut, Narrower...>(target + 8 * k, source + 8 * k, left,
                                          kCut ? spans + k : spans, words - k);
  }
}

// One row; kWords > 0 fixes the word count (up to 6: the cut spans; the last word then lies
// inside the row).
template <bool kSet, int kWords, class... Isas>
inline __attribute__((always_inline)) void StampRow(std::uint8_t* target,
                                                    const std::uint8_t* source, const RowStamp& r) {
  const int left = 8 - r.shift;
  if constexpr (kWords > 0) {
    StampWords<kSet, true, Isas...>(target, source, left, r.spans, kWords);
    return;
  }
  // The first word cut on its left, whole words, then the last cut on its right; a last word
  // past the row's end is written byte by byte.
  const std::int64_t last = r.words - 1;
  if (last > 0) {
    StampWords<kSet, true, StampWord64>(target, source, left, &r.firstSpan, 1);
    StampWords<kSet, false, Isas...>(target + 8, source + 8, left, nullptr, last - 1);
  }
  std::uint64_t stamp = StampWord64::ShiftPair(StampWord64::Load(source + 8 * last + 1),
                                               StampWord64::Load(source + 8 * last), left) &
                        (last > 0 ? r.lastSpan : r.firstSpan & r.lastSpan);
  std::uint8_t* at = target + 8 * last;
  if (!r.partialLast) {
    const std::uint64_t old = StampWord64::Load(at);
    StampWord64::Store(at, kSet ? (old | stamp) : (old & ~stamp));
    return;
  }
  for (std::int64_t b = 0; b < r.lastBytes; ++b, stamp >>= 8) {
    const auto bits = static_cast<std::uint8_t>(stamp);
    at[b] =
        kSet ? static_cast<std::uint8_t>(at[b] | bits) : static_cast<std::uint8_t>(at[b] & ~bits);
  }
}

// Policies whose vectors are two 16-byte halves that load and store apart.
template <class Isa>
concept TwoHalves = requires(const void* from, void* to, typename Isa::V v) {
  Isa::LoadHalves(from, from);
  Isa::StoreHalves(to, to, v);
};

// Two rows of two words at once, one in each half: what two calls of StampRow<kSet, 2> do.
// The rows' words are apart (a two-word row lies inside a plane row of at least 16 bytes).
template <bool kSet, class Isa>
inline __attribute__((always_inline)) void StampRowPair(std::uint8_t* target, std::int64_t rowBytes,
                                                        const std::uint8_t* source,
                                                        std::int64_t maskBytes,
                                                        const typename Isa::Count& count,
                                                        typename Isa::V spans) {
  const typename Isa::V stamp =
      Isa::And(Isa::ShiftPair(Isa::LoadHalves(source + 1, source + maskBytes + 1),
                              Isa::LoadHalves(source, source + maskBytes), count),
               spans);
  const typename Isa::V old = Isa::LoadHalves(target, target + rowBytes);
  Isa::StoreHalves(target, target + rowBytes, kSet ? Isa::Or(old, stamp) : Isa::AndNot(stamp, old));
}

template <bool kSet, int kWords, class... Isas>
void StampRowsOf(std::uint8_t* plane, std::int64_t rowBytes, std::int64_t top, std::int64_t bottom,
                 std::int64_t py, const CollisionMask* mask, const RowStamp& stamp) {
  const RowStamp r = stamp;  // a local copy: plane writes cannot alias it
  const std::uint8_t* bits = MaskBits(mask);
  const std::int64_t maskBytes = mask->rowBytes;
  // Rows whose reads stay inside the mask's bits are read in place (a read may start in the
  // header before the first row; bits of neighbouring rows fall outside the spans); the last
  // rows go through a copy padded with zeros. A row reads 8 (words - 1) + 9 bytes.
  const std::int64_t reach = r.sourceByte + 8 * (r.words - 1) + 9;
  // reach passes a row's end by at most a few bytes, so only the last rows fall short.
  const std::int64_t total = maskBytes * mask->height;
  std::int64_t rowsInPlace = mask->height;
  while (rowsInPlace > 0 && (rowsInPlace - 1) * maskBytes + reach > total) --rowsInPlace;
  const std::int64_t inPlace = py + rowsInPlace - 1;  // the last row read in place
  std::uint8_t* target = plane + top * rowBytes + r.firstByte;
  const std::uint8_t* source = bits + (top - py) * maskBytes + r.sourceByte;
  std::int64_t y = top;
  const std::int64_t end = std::min(bottom, inPlace);
  using Widest = std::tuple_element_t<0, std::tuple<Isas...>>;
  if constexpr (kWords == 2 && TwoHalves<Widest>) {
    // A 64-pixel mask at a bit offset: two rows a step.
    const typename Widest::Count count = Widest::Counts(8 - r.shift);
    const typename Widest::V spans = Widest::LoadHalves(r.spans, r.spans);
    for (; y < end; y += 2) {
      StampRowPair<kSet, Widest>(target, rowBytes, source, maskBytes, count, spans);
      target += 2 * rowBytes;
      source += 2 * maskBytes;
    }
  }
  for (; y <= end; ++y) {
    StampRow<kSet, kWords, Isas...>(target, source, r);
    target += rowBytes;
    source += maskBytes;
  }
  if (y > bottom) return;
  const std::size_t padded = static_cast<std::size_t>(maskBytes + 40);
  std::uint8_t small[256];
  std::vector<std::uint8_t> large;
  std::uint8_t* row = small;
  if (padded > sizeof small) {
    large.resize(padded);
    row = large.data();
  }
  std::memset(row, 0, padded);
  for (; y <= bottom; ++y) {
    std::memcpy(row + 8, bits + (y - py) * maskBytes, static_cast<std::size_t>(maskBytes));
    StampRow<kSet, kWords, Isas...>(target, row + 8 + r.sourceByte, r);
    target += rowBytes;
  }
}

// Fixed word counts for the common widths (up to 5 words: masks of up to 313 pixels at any
// bit offset), the general row for the rest and for rows that end at the plane's edge.
template <bool kSet, class... Isas>
void StampRowsWith(std::uint8_t* plane, std::int64_t rowBytes, std::int64_t top,
                   std::int64_t bottom, std::int64_t py, const CollisionMask* mask,
                   const RowStamp& r) {
  using Fn = void (*)(std::uint8_t*, std::int64_t, std::int64_t, std::int64_t, std::int64_t,
                      const CollisionMask*, const RowStamp&);
  static constexpr Fn kByWords[6] = {
      StampRowsOf<kSet, 0, Isas...>, StampRowsOf<kSet, 1, Isas...>, StampRowsOf<kSet, 2, Isas...>,
      StampRowsOf<kSet, 3, Isas...>, StampRowsOf<kSet, 4, Isas...>, StampRowsOf<kSet, 5, Isas...>,
  };
  const std::int64_t words = r.partialLast || r.words > 5 ? 0 : r.words;
  kByWords[words](plane, rowBytes, top, bottom, py, mask, r);
}

// The kernels over a chain of policies, widest first, ending with StampWord64.
template <class... Isas>
MapStampKernels MapStampKernelsWith() {
  return MapStampKernels{StampRowsWith<false, Isas...>, StampRowsWith<true, Isas...>};
}

}  // namespace
}  // namespace vexa
