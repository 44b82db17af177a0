// Row kernels of the smooth resampler's plain (not transparency-aware) passes, per
// instruction level. Declarations and plain records only: the vector files include this
// header, so it must define no inline code that the linker could share between levels.
//
// The arithmetic, per destination pixel and channel (w the 16.16 weights of the contributing
// source pixels, c their channel values):
//   sum = 0x8000 + sum of w x c;  result = min(sum, 0xFF0000) >> 16
// A destination index without contributing source pixels becomes 0. Colour rows hold working
// pixels 0x00RRGGBB (bytes blue, green, red, and a fourth byte that takes no part: written
// 0 by the horizontal kernels, masked by the vertical kernel's `keep`).
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/simd_level.h"

namespace vexa {

// The horizontal table rearranged for kernels that compute eight destination indices at once
// (one per lane). Block b (destination indices 8b .. 8b + 7) starts at data + start[b] with
// its step count and load kind, then per step: a base source index, eight lane offsets from
// it and eight weights. A lane past its own taps (or past the destination) weighs 0 and
// repeats a valid index. Load kinds: n (1 to kLaneMaxLoads) when every step's pixels lie
// within 8 n from the base and 8 n pixels can be read there, 0 otherwise (gathered). Up to
// four loads and permutations still beat a gather: reductions by 3 span about 24 pixels.
struct LaneBlocks {
  const std::int32_t* start;
  const std::int32_t* data;
  int blocks;
};
inline constexpr int kLaneStepInts = 17;
inline constexpr int kLaneMaxLoads = 4;
inline constexpr int kLaneBlockHeader = 2;

// A weight table as the kernels see it (see ResampleWeights).
struct WeightView {
  const std::int32_t* first;
  const std::int32_t* taps;
  const std::int32_t* weights;  // maxTaps per destination index
  int maxTaps;
  int count;         // destination indices
  LaneBlocks lanes;  // for the horizontal vector kernel; empty otherwise
};

// Number of int32 the lane blocks of `w` over a source of `sourceCount` pixels need, and the
// blocks themselves (start holds (count + 7) / 8 entries).
std::int64_t LaneBlockInts(const WeightView& w);
void BuildLaneBlocks(const WeightView& w, int sourceCount, std::int32_t* start, std::int32_t* data);

// Horizontal pass over one row: out[j] for every destination index j of `weights`, from
// `line`, the source row's working pixels (index 0 = the source rectangle's left edge). The
// vector kernels need the view's lane blocks.
using HorizontalColorFn = void (*)(const std::uint32_t* line, std::uint32_t* out,
                                   const WeightView& weights);

// Vertical pass for one destination row: `bytes` channel bytes, each the weighted sum of the
// bytes at the same offset in `taps` source rows starting at `firstRow`, `pitch` bytes apart.
// Each 4-byte group of the result is ANDed with `keep` (0x00FFFFFF clears the fourth byte of
// working pixels; 0xFFFFFFFF keeps every byte of an alpha row); `out` must then start at a
// 4-byte group.
using VerticalBytesFn = void (*)(const std::uint8_t* firstRow, std::ptrdiff_t pitch, int taps,
                                 const std::int32_t* weights, std::uint8_t* out, int bytes,
                                 std::uint32_t keep);

// Horizontal pass over one row of single bytes (alpha planes).
using HorizontalBytesFn = void (*)(const std::uint8_t* line, std::uint8_t* out,
                                   const WeightView& weights);

struct ResampleKernels {
  HorizontalColorFn horizontalColor;
  HorizontalBytesFn horizontalBytes;
  VerticalBytesFn verticalBytes;
};

// The scalar references.
void HorizontalColorScalar(const std::uint32_t* line, std::uint32_t* out, const WeightView& w);
void HorizontalBytesScalar(const std::uint8_t* line, std::uint8_t* out, const WeightView& w);
void VerticalBytesScalar(const std::uint8_t* firstRow, std::ptrdiff_t pitch, int taps,
                         const std::int32_t* weights, std::uint8_t* out, int bytes,
                         std::uint32_t keep);

void HorizontalColorSse2(const std::uint32_t* line, std::uint32_t* out, const WeightView& w);
void VerticalBytesSse2(const std::uint8_t* firstRow, std::ptrdiff_t pitch, int taps,
                       const std::int32_t* weights, std::uint8_t* out, int bytes,
                       std::uint32_t keep);
void HorizontalColorAvx2(const std::uint32_t* line, std::uint32_t* out, const WeightView& w);
void VerticalBytesAvx2(const std::uint8_t* firstRow, std::ptrdiff_t pitch, int taps,
                       const std::int32_t* weights, std::uint8_t* out, int bytes,
                       std::uint32_t keep);

// The kernels at `level` (a level the processor lacks falls back to the best one below it).
const ResampleKernels& ResampleKernelsAt(SimdLevel level);
// The kernels at the library's active level, chosen once.
const ResampleKernels& ActiveResampleKernels();

}  // namespace vexa
