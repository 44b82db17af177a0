// The mixer's inner loops. Voices are summed into a 32-bit stereo accumulator, frame by frame
// (left, right), and the sum is saturated to 16 bits at the end. Gains are Q15 fixed point:
// 32768 is unity and leaves a sample unchanged, 0 silences it; a scaled sample is rounded to
// the nearest integer (halves upwards).
//
// Every SIMD level computes exactly what the scalar form computes: the product of a 16-bit
// sample and a gain is exact in 32 bits, 2^14 is added and the sum is shifted right
// arithmetically by 15.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/simd_level.h"

namespace plat::audio {

inline constexpr std::int32_t kUnityGain = 32768;

// acc[2i] += (src[2i] * left + 2^14) >> 15, and the same for acc[2i+1] with `right`.
using AccumulateFn = void (*)(std::int32_t* acc, const std::int16_t* src, std::size_t frames,
                              std::int32_t left, std::int32_t right);
// out[i] = acc[i] limited to -32768..32767 for `samples` values.
using SaturateFn = void (*)(std::int16_t* out, const std::int32_t* acc, std::size_t samples);

struct MixKernels {
  AccumulateFn accumulate;
  SaturateFn saturate;
};

void AccumulateScalar(std::int32_t* acc, const std::int16_t* src, std::size_t frames,
                      std::int32_t left, std::int32_t right);
void SaturateScalar(std::int16_t* out, const std::int32_t* acc, std::size_t samples);
void AccumulateSse2(std::int32_t* acc, const std::int16_t* src, std::size_t frames,
                    std::int32_t left, std::int32_t right);
void SaturateSse2(std::int16_t* out, const std::int32_t* acc, std::size_t samples);
void AccumulateAvx2(std::int32_t* acc, const std::int16_t* src, std::size_t frames,
                    std::int32_t left, std::int32_t right);
void SaturateAvx2(std::int16_t* out, const std::int32_t* acc, std::size_t samples);

// The kernels of a level (the best the processor runs at or below it), and the active ones.
const MixKernels& MixKernelsAt(vexa::SimdLevel level);
const MixKernels& ActiveMixKernels();

}  // namespace plat::audio
