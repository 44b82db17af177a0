// The vector mask kernels, written once over an instruction policy `Isa` (base/simd_sse2.h,
// base/simd_avx2.h) and instantiated by mask_kernels_sse2.cpp and mask_kernels_avx2.cpp
// (the SSE2 policy is part of every x86-64 instruction set, so the AVX2 file may use it too).
// Everything sits in an anonymous namespace, so each of those files gets its own copy
// compiled with its own instruction-set flags.
//
// The builder compares Isa::kBytes pixels per step against the key: one load of bytes, two of
// 16-bit values or four of 32-bit values, narrowed to one bit per pixel.
#pragma once

#include <cstdint>

#include "base/simd_sse2.h"
#include "bank/mask/mask_classify.h"
#include "bank/mask/mask_kernels.h"
#include "bank/mask/mask_overlap_kernel.h"

namespace vexa {
namespace {

// Bit i set for each of the Isa::kBytes bytes that differs from the key, given the bytes'
// compare result (all ones where equal).
template <class Isa>
std::uint32_t Differing(typename Isa::V bytesEqual) {
  return ~Isa::MoveMask8(bytesEqual) & Isa::kByteMaskBits;
}

template <class Isa>
void ClassifyRow8With(const std::uint8_t* row, int width, std::uint32_t key,
                      std::uint64_t* words) {
  const auto k = static_cast<std::uint8_t>(key);
  const auto keys = Isa::Set8(k);
  ClassifyRowWith<Isa::kBytes, 1>(
      row, width, words,
      [keys](const std::uint8_t* p) { return Differing<Isa>(Isa::CmpEq8(Isa::Load(p), keys)); },
      [k](const std::uint8_t* p) { return *p != k; });
}

template <class Isa>
void ClassifyRow16With(const std::uint8_t* row, int width, std::uint32_t key,
                       std::uint64_t* words) {
  const auto k = static_cast<std::uint16_t>(key);
  const auto keys = Isa::Set16(k);
  ClassifyRowWith<Isa::kBytes, 2>(
      row, width, words,
      [keys](const std::uint8_t* p) {
        // Equal values are all ones, which the signed pack keeps as 0xFF bytes in order.
        const auto low = Isa::CmpEq16(Isa::Load(p), keys);
        const auto high = Isa::CmpEq16(Isa::Load(p + Isa::kBytes), keys);
        return Differing<Isa>(Isa::PackS16Ordered(low, high));
      },
      [k](const std::uint8_t* p) { return (p[0] | (p[1] << 8)) != k; });
}

// The spare fourth byte counts: pixels that differ from the key only there are solid.
template <class Isa>
void ClassifyRow32With(const std::uint8_t* row, int width, std::uint32_t key,
                       std::uint64_t* words) {
  const auto keys = Isa::Set32(key);
  ClassifyRowWith<Isa::kBytes, 4>(
      row, width, words,
      [keys](const std::uint8_t* p) {
        std::uint32_t equal = 0;
        for (int i = 0; i < 4; ++i) {
          const auto lanes = Isa::CmpEq32(Isa::Load(p + i * Isa::kBytes), keys);
          equal |= Isa::MoveMask32(lanes) << (i * Isa::kLanes32);
        }
        return ~equal & Isa::kByteMaskBits;
      },
      [key](const std::uint8_t* p) {
        return (p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24)) !=
               key;
      });
}

// The overlap tests at a level: rows of at most 8 shared bytes go to the 64-bit kernel and,
// under AVX2, rows of at most 16 to the SSE2 one, which read less past the rows.
template <class Isa, bool kSolidB>
bool AnyOverlapWith(const MaskRowSpan& span) {
  const int bytes = SpanBytes(span);
  if (bytes <= 8) return kSolidB ? AnySetScalar(span) : AnyOverlapScalar(span);
  if constexpr (Isa::kBytes > Sse2::kBytes) {
    if (bytes <= Sse2::kBytes) return AnyOverlapRows<Sse2, kSolidB>(span);
  }
  return AnyOverlapRows<Isa, kSolidB>(span);
}

template <class Isa>
MaskKernels MaskKernelsWith() {
  return {AnyOverlapWith<Isa, false>, AnyOverlapWith<Isa, true>, ClassifyRow8With<Isa>,
          ClassifyRow16With<Isa>,     ClassifyRow24Scalar,        ClassifyRow32With<Isa>};
}

}  // namespace
}  // namespace vexa
