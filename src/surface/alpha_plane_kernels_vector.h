// The vector forms of the 32-bit alpha conversions, written once over an instruction policy
// `Isa` (base/simd_sse2.h, base/simd_avx2.h) and instantiated by alpha_plane_kernels_sse2.cpp
// and alpha_plane_kernels_avx2.cpp, Isa::kLanes32 pixels at a time. They are bit-exact with
// the scalar rows, which also finish each row's last pixels. Everything sits in an anonymous
// namespace, so each instantiating file gets its own copy built with its own instruction set.
//
//   premultiply  each pixel's alpha is spread over its four bytes, 255 for the fourth (which
//                then stays as it was), and c * a / 255 is taken on 16-bit lanes with the
//                division as (x * 0x8081) >> 23, exact for every x up to 255 * 255.
//   demultiply   c * 255 / a on floats as (c * 255 + 0.5) * (1 / a), truncated. The true
//                value lies at least 0.5 / a away from the integers around it, and the
//                roundings (two, or one where the processor fuses the multiply and add) move
//                it by less than 65025.5 / a * 2^-23, so truncation gives the integer quotient
//                for every c and a. The fourth byte takes a = 255, which leaves it as it was.
//                a = 0 gives infinity, which truncates to 0x80000000; the signed and then
//                unsigned saturating packs turn that into 0 and any quotient above 255 into
//                255.
#pragma once

#include <cstdint>

#include "surface/alpha_plane_kernels.h"

namespace vexa {
namespace {

// (c * a) / 255 for 16-bit lanes.
template <class Isa>
typename Isa::V MultiplyDivide255(typename Isa::V c, typename Isa::V a) {
  return Isa::template Srli16<7>(Isa::MulhiU16(Isa::Mullo16(c, a), Isa::Set16(0x8081)));
}

template <class Isa>
void PremultiplyRow32With(std::uint8_t* pixels, const std::uint8_t* alpha, int width) {
  const auto zero = Isa::Zero();
  const auto fourth = Isa::Set32(0xFF000000u);
  int x = 0;
  for (; x + Isa::kLanes32 <= width; x += Isa::kLanes32) {
    std::uint8_t* block = pixels + 4 * x;
    const auto p = Isa::Load(block);
    const auto a = Isa::Or(Isa::Spread8To32(alpha + x), fourth);
    // Unpacking and packing both work within 128-bit halves, so the order comes back as it was.
    const auto low = MultiplyDivide255<Isa>(Isa::UnpackLo8(p, zero), Isa::UnpackLo8(a, zero));
    const auto high = MultiplyDivide255<Isa>(Isa::UnpackHi8(p, zero), Isa::UnpackHi8(a, zero));
    Isa::Store(block, Isa::PackUS16(low, high));
  }
  PremultiplyRow32(pixels + 4 * x, alpha + x, width - x);
}

// The pixels of quarter K of `p` demultiplied in 32-bit lanes: each pixel's reciprocal for its
// colour bytes, 1 / 255 for its fourth byte (the lanes set in `fourth`).
template <class Isa, int K>
typename Isa::V DivideQuarter(typename Isa::V p, typename Isa::F reciprocals,
                              typename Isa::V fourth) {
  const auto r = Isa::SelectF(fourth, Isa::SetF(1.0f / 255.0f),
                              Isa::template RepeatQuarterLanes<K>(reciprocals));
  const auto c = Isa::ToFloat(Isa::template WidenQuarter8To32<K>(p));
  const auto scaled = Isa::MulAddF(c, Isa::SetF(255.0f), Isa::SetF(0.5f));
  return Isa::TruncToInt(Isa::MulF(scaled, r));
}

template <class Isa>
void DemultiplyRow32With(std::uint8_t* pixels, const std::uint8_t* alpha, int width) {
  const auto three = Isa::Set32(3);
  const auto fourth = Isa::CmpEq32(Isa::And(Isa::Iota32(), three), three);
  int x = 0;
  for (; x + Isa::kLanes32 <= width; x += Isa::kLanes32) {
    std::uint8_t* block = pixels + 4 * x;
    const auto p = Isa::Load(block);
    // Infinity for a = 0.
    const auto reciprocals = Isa::DivF(Isa::SetF(1.0f), Isa::ToFloat(Isa::Widen8To32(alpha + x)));
    Isa::Store(block, Isa::PackU8Ordered32(DivideQuarter<Isa, 0>(p, reciprocals, fourth),
                                           DivideQuarter<Isa, 1>(p, reciprocals, fourth),
                                           DivideQuarter<Isa, 2>(p, reciprocals, fourth),
                                           DivideQuarter<Isa, 3>(p, reciprocals, fourth)));
  }
  DemultiplyRow32(pixels + 4 * x, alpha + x, width - x);
}

}  // namespace
}  // namespace vexa
