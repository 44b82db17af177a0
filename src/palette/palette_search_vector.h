// The vector form of the nearest-colour search, written once over an instruction policy `Isa`
// (base/simd_sse2.h, base/simd_avx2.h) and instantiated by palette_search_sse2.cpp and
// palette_search_avx2.cpp, Isa::kLanes32 entries at a time. Everything sits in an anonymous
// namespace, so each of those files gets its own copy built with its own instruction set.
//
// Instead of walking the pairs, every entry j gets a sorting key
//     key = distance << 8 | (j ^ 0xFE)
// whose low byte holds the pair number reversed (bits 1-7) and the position inside the pair
// (bit 0). The smallest key is the smallest distance, then the latest pair, then the first of
// the pair, which is the entry the pairwise walk ends on. The walk's one exception, returning
// the first candidate at distance 0 at once, is the first entry equal to the colour in all four
// bytes, so a minimum of 0 is resolved by a scan for that entry. Keys stay below 2^26
// (distances below 0x30000), so signed 32-bit comparisons order them.
#pragma once

#include <vexa/wintypes.h>

namespace vexa {
namespace {

constexpr int kLargestKey = 0x7FFFFFFF;

// Keys of the entries in `block`; `low` holds their low bytes. The byte unpacks and the lane
// picks stay inside each 128-bit half, so lane i still belongs to entry i.
template <class Isa>
typename Isa::V KeysOf(typename Isa::V block, typename Isa::V colorWords, typename Isa::V low) {
  const auto zero = Isa::Zero();
  const auto first = Isa::Sub16(Isa::UnpackLo8(block, zero), colorWords);
  const auto second = Isa::Sub16(Isa::UnpackHi8(block, zero), colorWords);
  // Per entry: S1 = dr^2 + dg^2 and S2 = db^2 + df^2.
  const auto sumsA = Isa::Madd16(first, first);
  const auto sumsB = Isa::Madd16(second, second);
  const auto distance =
      Isa::AddSatU16(Isa::EvenLanes32(sumsA, sumsB), Isa::OddLanes32(sumsA, sumsB));
  return Isa::Or(Isa::template Slli32<8>(distance), low);
}

// The first `count` (less than a vector's worth) entries in a zeroed block.
template <class Isa>
typename Isa::V LoadTail(const PALETTEENTRY* entries, int count) {
  alignas(Isa::kBytes) PALETTEENTRY tail[Isa::kLanes32] = {};
  for (int i = 0; i < count; ++i) tail[i] = entries[i];
  return Isa::Load(tail);
}

// The first entry whose four bytes equal the colour's (there is one).
template <class Isa>
int FirstExactEntry(const PALETTEENTRY* entries, int count, COLORREF color) {
  const auto wanted = Isa::Set32(color);
  int j = 0;
  for (; j + Isa::kLanes32 <= count; j += Isa::kLanes32) {
    const std::uint32_t mask = Isa::MoveMask32(Isa::CmpEq32(Isa::Load(entries + j), wanted));
    if (mask != 0) return j + __builtin_ctz(mask);
  }
  if (j == count) return 0;
  const std::uint32_t mask =
      Isa::MoveMask32(Isa::CmpEq32(LoadTail<Isa>(entries + j, count - j), wanted));
  const std::uint32_t valid = (1u << (count - j)) - 1;
  return (mask & valid) != 0 ? j + __builtin_ctz(mask & valid) : 0;
}

template <class Isa>
int SearchVectorWith(const PALETTEENTRY* entries, int count, COLORREF color) {
  if (count <= 0) return 0;
  constexpr int kLanes = Isa::kLanes32;
  const auto colorWords = Isa::UnpackLo8(Isa::Set32(color), Isa::Zero());
  const auto step = Isa::Set32(kLanes);
  auto low = Isa::Xor(Isa::Iota32(), Isa::Set32(0xFE));  // j ^ 0xFE for the first entries
  auto best = Isa::Set32(kLargestKey);
  int j = 0;
  for (; j + kLanes <= count; j += kLanes) {
    best = Isa::Min32(best, KeysOf<Isa>(Isa::Load(entries + j), colorWords, low));
    low = Isa::Sub32(low, step);
  }
  if (j < count) {
    const auto keys = KeysOf<Isa>(LoadTail<Isa>(entries + j, count - j), colorWords, low);
    const auto past = Isa::CmpGt32(Isa::Iota32(), Isa::Set32(count - j - 1));
    best = Isa::Min32(best, Isa::Select(past, Isa::Set32(kLargestKey), keys));
  }
  const auto key = static_cast<unsigned>(Isa::HorizontalMin32(best));
  if ((key >> 8) == 0) return FirstExactEntry<Isa>(entries, count, color);
  return static_cast<int>((key & 0xFF) ^ 0xFE);
}

}  // namespace
}  // namespace vexa
