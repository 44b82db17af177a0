// The scalar row kernels of the smooth resampler and the choice of kernels per level.
#include "render/resample_kernels.h"

namespace vexa {
namespace {

constexpr std::uint32_t kRounding = 0x8000;
constexpr std::uint32_t kCeiling = 0xFF0000;

// min(sum, 0xFF0000) >> 16
std::uint32_t Finish(std::uint32_t sum) { return (sum < kCeiling ? sum : kCeiling) >> 16; }

}  // namespace

void HorizontalColorScalar(const std::uint32_t* line, std::uint32_t* out, const WeightView& w) {
  for (int j = 0; j < w.count; ++j) {
    const std::int32_t* weight = w.weights + static_cast<std::ptrdiff_t>(j) * w.maxTaps;
    const std::uint32_t* source = line + w.first[j];
    std::uint32_t blue = kRounding, green = kRounding, red = kRounding;
    for (int k = 0; k < w.taps[j]; ++k) {
      const std::uint32_t p = source[k];
      const auto wk = static_cast<std::uint32_t>(weight[k]);
      blue += wk * (p & 0xFF);
      green += wk * ((p >> 8) & 0xFF);
      red += wk * ((p >> 16) & 0xFF);
    }
    out[j] = w.taps[j] == 0 ? 0 : Finish(blue) | Finish(green) << 8 | Finish(red) << 16;
  }
}

void HorizontalBytesScalar(const std::uint8_t* line, std::uint8_t* out, const WeightView& w) {
  for (int j = 0; j < w.count; ++j) {
    const std::int32_t* weight = w.weights + static_cast<std::ptrdiff_t>(j) * w.maxTaps;
    const std::uint8_t* source = line + w.first[j];
    std::uint32_t sum = kRounding;
    for (int k = 0; k < w.taps[j]; ++k) sum += static_cast<std::uint32_t>(weight[k]) * source[k];
    out[j] = static_cast<std::uint8_t>(w.taps[j] == 0 ? 0 : Finish(sum));
  }
}

void VerticalBytesScalar(const std::uint8_t* firstRow, std::ptrdiff_t pitch, int taps,
                         const std::int32_t* weights, std::uint8_t* out, int bytes,
                         std::uint32_t keep) {
  for (int i = 0; i < bytes; ++i) {
    std::uint32_t sum = kRounding;
    const std::uint8_t* source = firstRow + i;
    for (int k = 0; k < taps; ++k, source += pitch) {
      sum += static_cast<std::uint32_t>(weights[k]) * *source;
    }
    const std::uint32_t keepByte = (keep >> (8 * (i & 3))) & 0xFF;
    out[i] = static_cast<std::uint8_t>((taps == 0 ? 0 : Finish(sum)) & keepByte);
  }
}

std::int64_t LaneBlockInts(const WeightView& w) {
  std::int64_t total = 0;
  for (int b = 0; b * 8 < w.count; ++b) {
    int steps = 0;
    for (int j = 8 * b; j < w.count && j < 8 * b + 8; ++j)
      steps = w.taps[j] > steps ? w.taps[j] : steps;
    total += kLaneBlockHeader + std::int64_t{steps} * kLaneStepInts;
  }
  return total;
}

void BuildLaneBlocks(const WeightView& w, int sourceCount, std::int32_t* start,
                     std::int32_t* data) {
  std::int32_t* out = data;
  for (int b = 0; b * 8 < w.count; ++b) {
    const int lanes = w.count - 8 * b < 8 ? w.count - 8 * b : 8;
    const int* taps = w.taps + 8 * b;
    const int* first = w.first + 8 * b;
    int steps = 0;
    for (int l = 0; l < lanes; ++l) steps = taps[l] > steps ? taps[l] : steps;
    start[b] = static_cast<std::int32_t>(out - data);
    std::int32_t* header = out;
    out += kLaneBlockHeader;
    int loads = 1;           // source vectors each step needs (5: too many, gather)
    int room = sourceCount;  // pixels readable from the lowest base
    for (int k = 0; k < steps; ++k, out += kLaneStepInts) {
      std::int32_t index[8];
      int fallback = 0;
      for (int l = 0; l < lanes; ++l) {
        if (taps[l] > 0) {
          fallback = first[l];
          break;
        }
      }
      for (int l = 0; l < 8; ++l) {
        const bool live = l < lanes && taps[l] > 0;
        index[l] = live ? first[l] + (k < taps[l] ? k : taps[l] - 1) : fallback;
        out[9 + l] = live && k < taps[l]
                         ? w.weights[static_cast<std::ptrdiff_t>(8 * b + l) * w.maxTaps + k]
                         : 0;
      }
      int lowest = index[0], highest = index[0];
      for (int l = 1; l < 8; ++l) {
        lowest = index[l] < lowest ? index[l] : lowest;
        highest = index[l] > highest ? index[l] : highest;
      }
      out[0] = lowest;
      for (int l = 0; l < 8; ++l) out[1 + l] = index[l] - lowest;
      const int needed = (highest - lowest) / 8 + 1;
      loads = needed > loads ? needed : loads;
      room = sourceCount - lowest < room ? sourceCount - lowest : room;
    }
    header[0] = steps;
    header[1] = loads <= kLaneMaxLoads && room >= 8 * loads ? loads : 0;
  }
}

namespace {

ResampleKernels BuildResampleKernels(SimdLevel level) {
  ResampleKernels kernels{HorizontalColorScalar, HorizontalBytesScalar, VerticalBytesScalar};
  if (level == SimdLevel::Avx2) {
    kernels.horizontalColor = HorizontalColorAvx2;
    kernels.verticalBytes = VerticalBytesAvx2;
  } else if (level == SimdLevel::Sse2) {
    kernels.horizontalColor = HorizontalColorSse2;
    kernels.verticalBytes = VerticalBytesSse2;
  }
  return kernels;
}

}  // namespace

using ResampleTables = SimdTables<ResampleKernels, BuildResampleKernels>;

const ResampleKernels& ResampleKernelsAt(SimdLevel level) { return ResampleTables::At(level); }
const ResampleKernels& ActiveResampleKernels() { return ResampleTables::Active(); }

}  // namespace vexa
