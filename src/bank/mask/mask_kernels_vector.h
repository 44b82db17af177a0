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
#include <cstring>

#include "bank/mask/mask_classify.h"
#include "bank/mask/mask_kernels.h"
#include "bank/mask/mask_overlap_kernel.h"
#include "base/simd_sse2.h"

namespace vexa {
namespace {

// Bit i set for each of the Isa::kBytes bytes that differs from the key, given the bytes'
// compare result (all ones where equal).
template <class Isa>
std::uint32_t Differing(typename Isa::V bytesEqual) {
  return ~Isa::MoveMask8(bytesEqual) & Isa::kByteMaskBits;
}

// The key repeated over lanes of kBytesPerPixel bytes.
template <class Isa, int kBytesPerPixel>
typename Isa::V KeyLanes(std::uint32_t key) {
  if constexpr (kBytesPerPixel == 1) {
    return Isa::Set8(key);
  } else if constexpr (kBytesPerPixel == 2) {
    return Isa::Set16(key);
  } else {
    return Isa::Set32(key);
  }
}

// Bit i set for each of the Isa::kBytes pixels at `p` that differs from the key. Equal 16-bit
// values are all ones, which the signed pack keeps as 0xFF bytes in order. At 32 bits the
// spare fourth byte counts: pixels that differ from the key only there are solid.
template <class Isa, int kBytesPerPixel>
std::uint32_t DifferingPixels(const std::uint8_t* p, typename Isa::V keys) {
  if constexpr (kBytesPerPixel == 1) {
    return Differing<Isa>(Isa::CmpEq8(Isa::Load(p), keys));
  } else if constexpr (kBytesPerPixel == 2) {
    const auto low = Isa::CmpEq16(Isa::Load(p), keys);
    const auto high = Isa::CmpEq16(Isa::Load(p + Isa::kBytes), keys);
    return Differing<Isa>(Isa::PackS16Ordered(low, high));
  } else {
    std::uint32_t equal = 0;
    for (int i = 0; i < 4; ++i) {
      const auto lanes = Isa::CmpEq32(Isa::Load(p + i * Isa::kBytes), keys);
      equal |= Isa::MoveMask32(lanes) << (i * Isa::kLanes32);
    }
    return ~equal & Isa::kByteMaskBits;
  }
}

// One pixel of kBytesPerPixel bytes (little-endian) against the key's low bytes: the last
// pixels of a row.
template <int kBytesPerPixel>
bool PixelDiffers(const std::uint8_t* p, std::uint32_t key) {
  std::uint32_t value = 0;
  std::memcpy(&value, p, kBytesPerPixel);
  constexpr std::uint32_t kMask =
      kBytesPerPixel == 4 ? 0xFFFFFFFFu : (1u << (8 * kBytesPerPixel)) - 1;
  return value != (key & kMask);
}

template <class Isa, int kBytesPerPixel>
void ClassifyRowVector(const std::uint8_t* row, int width, std::uint32_t key,
                       std::uint64_t* words) {
  const auto keys = KeyLanes<Isa, kBytesPerPixel>(key);
  ClassifyRowWith<Isa::kBytes, kBytesPerPixel>(
      row, width, words,
      [keys](const std::uint8_t* p) { return DifferingPixels<Isa, kBytesPerPixel>(p, keys); },
      [key](const std::uint8_t* p) { return PixelDiffers<kBytesPerPixel>(p, key); });
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
  return {AnyOverlapWith<Isa, false>, AnyOverlapWith<Isa, true>, ClassifyRowVector<Isa, 1>,
          ClassifyRowVector<Isa, 2>,  ClassifyRow24Scalar,       ClassifyRowVector<Isa, 4>};
}

}  // namespace
}  // namespace vexa
