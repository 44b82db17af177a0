#include "platform/audio/mix_kernels.h"

#include <algorithm>

namespace plat::audio {

namespace {
constexpr std::int32_t kRound = 1 << 14;
}  // namespace

void AccumulateScalar(std::int32_t* acc, const std::int16_t* src, std::size_t frames,
                      std::int32_t left, std::int32_t right) {
  for (std::size_t i = 0; i < frames; ++i) {
    acc[2 * i] += (std::int32_t(src[2 * i]) * left + kRound) >> 15;
    acc[2 * i + 1] += (std::int32_t(src[2 * i + 1]) * right + kRound) >> 15;
  }
}

void SaturateScalar(std::int16_t* out, const std::int32_t* acc, std::size_t samples) {
  for (std::size_t i = 0; i < samples; ++i) {
    out[i] = std::int16_t(std::clamp<std::int32_t>(acc[i], -32768, 32767));
  }
}

namespace {

MixKernels BuildMixKernels(vexa::SimdLevel level) {
  switch (level) {
    case vexa::SimdLevel::Avx2:
      return {AccumulateAvx2, SaturateAvx2};
    case vexa::SimdLevel::Sse2:
      return {AccumulateSse2, SaturateSse2};
    case vexa::SimdLevel::Scalar:
      break;
  }
  return {AccumulateScalar, SaturateScalar};
}

using MixTables = vexa::SimdTables<MixKernels, BuildMixKernels>;

}  // namespace

const MixKernels& MixKernelsAt(vexa::SimdLevel level) { return MixTables::At(level); }
const MixKernels& ActiveMixKernels() { return MixTables::Active(); }

}  // namespace plat::audio
