// AVX2 forms of the resampler's plain row kernels, bit-exact with the scalar ones: channel
// bytes are widened to 32-bit lanes and multiplied by their weights exactly (pmulld). In the
// vertical kernel sums stay below 2^24 for weights of a real table, and min(sum, 0xFF0000)
// >> 16 equals the unsigned saturation of sum >> 16 to a byte that the packing performs.
#include <immintrin.h>

#include <cstring>

#include "render/resample_kernels.h"

namespace vexa {
namespace {

__m256i Widen8(const std::uint8_t* p) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

// A byte shuffle that takes byte `channel` of each 32-bit pixel into its own lane, zero above.
__m256i ChannelShuffle(int channel) {
  const char c = static_cast<char>(channel);
  return _mm256_setr_epi8(c, -1, -1, -1, c + 4, -1, -1, -1, c + 8, -1, -1, -1, c + 12, -1, -1, -1,
                          c, -1, -1, -1, c + 4, -1, -1, -1, c + 8, -1, -1, -1, c + 12, -1, -1, -1);
}

}  // namespace

// Eight destination pixels at once, one per lane (see LaneBlocks): each step fetches the
// lanes' source pixels with one or two loads and a permutation, or a gather, and adds each
// channel times the lane's weight.
void HorizontalColorAvx2(const std::uint32_t* line, std::uint32_t* out, const WeightView& w) {
  if (!w.lanes.data) return HorizontalColorScalar(line, out, w);
  const __m256i rounding = _mm256_set1_epi32(0x8000);
  const __m256i ceiling = _mm256_set1_epi32(0xFF0000);
  const __m256i seven = _mm256_set1_epi32(7), eight = _mm256_set1_epi32(8);
  // Byte shuffles that take one channel of each pixel into its own 32-bit lane.
  const __m256i blue = ChannelShuffle(0), green = ChannelShuffle(1), red = ChannelShuffle(2);
  const auto* base = reinterpret_cast<const int*>(line);
  for (int b = 0; b < w.lanes.blocks; ++b) {
    const std::int32_t* record = w.lanes.data + w.lanes.start[b];
    const int steps = record[0], kind = record[1];
    const std::int32_t* step = record + kLaneBlockHeader;
    __m256i sumB = rounding, sumG = rounding, sumR = rounding;
    for (int k = 0; k < steps; ++k, step += kLaneStepInts) {
      const __m256i offsets = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(step + 1));
      const __m256i weights = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(step + 9));
      const int* from = base + step[0];
      __m256i pixels;
      if (kind > 0) {
        // The permutation takes each lane's offset modulo 8; the lanes whose offset reaches
        // past each load take the next one.
        pixels = _mm256_permutevar8x32_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from)), offsets);
        __m256i past = seven;
        for (int load = 1; load < kind; ++load, past = _mm256_add_epi32(past, eight)) {
          const __m256i next = _mm256_permutevar8x32_epi32(
              _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 8 * load)), offsets);
          pixels = _mm256_blendv_epi8(pixels, next, _mm256_cmpgt_epi32(offsets, past));
        }
      } else {
        pixels = _mm256_i32gather_epi32(from, offsets, 4);
      }
      sumB = _mm256_add_epi32(sumB, _mm256_mullo_epi32(_mm256_shuffle_epi8(pixels, blue), weights));
      sumG =
          _mm256_add_epi32(sumG, _mm256_mullo_epi32(_mm256_shuffle_epi8(pixels, green), weights));
      sumR = _mm256_add_epi32(sumR, _mm256_mullo_epi32(_mm256_shuffle_epi8(pixels, red), weights));
    }
    const __m256i levelB = _mm256_srli_epi32(_mm256_min_epu32(sumB, ceiling), 16);
    const __m256i levelG = _mm256_srli_epi32(_mm256_min_epu32(sumG, ceiling), 16);
    const __m256i levelR = _mm256_srli_epi32(_mm256_min_epu32(sumR, ceiling), 16);
    const __m256i packed = _mm256_or_si256(_mm256_or_si256(levelB, _mm256_slli_epi32(levelG, 8)),
                                           _mm256_slli_epi32(levelR, 16));
    const int lanes = w.count - 8 * b;
    if (lanes >= 8) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8 * b), packed);
    } else {
      alignas(32) std::uint32_t last[8];
      _mm256_store_si256(reinterpret_cast<__m256i*>(last), packed);
      std::memcpy(out + 8 * b, last, static_cast<std::size_t>(lanes) * 4);
    }
  }
}

void VerticalBytesAvx2(const std::uint8_t* firstRow, std::ptrdiff_t pitch, int taps,
                       const std::int32_t* weights, std::uint8_t* out, int bytes,
                       std::uint32_t keep) {
  int i = 0;
  const __m256i keepMask = _mm256_set1_epi32(static_cast<int>(keep));
  if (taps == 1 && weights[0] == 65536) {
    // A copy of one row (the weight-1 sum is the byte itself).
    for (; i + 32 <= bytes; i += 32) {
      const __m256i row = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(firstRow + i));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_and_si256(row, keepMask));
    }
  } else if (taps > 0) {
    const __m256i rounding = _mm256_set1_epi32(0x8000);
    // The packs interleave 128-bit lanes; this puts the 32 result bytes back in order.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    for (; i + 32 <= bytes; i += 32) {
      __m256i s0 = rounding, s1 = rounding, s2 = rounding, s3 = rounding;
      const std::uint8_t* source = firstRow + i;
      for (int k = 0; k < taps; ++k, source += pitch) {
        const __m256i weight = _mm256_set1_epi32(weights[k]);
        s0 = _mm256_add_epi32(s0, _mm256_mullo_epi32(Widen8(source), weight));
        s1 = _mm256_add_epi32(s1, _mm256_mullo_epi32(Widen8(source + 8), weight));
        s2 = _mm256_add_epi32(s2, _mm256_mullo_epi32(Widen8(source + 16), weight));
        s3 = _mm256_add_epi32(s3, _mm256_mullo_epi32(Widen8(source + 24), weight));
      }
      const __m256i w01 = _mm256_packus_epi32(_mm256_srli_epi32(s0, 16), _mm256_srli_epi32(s1, 16));
      const __m256i w23 = _mm256_packus_epi32(_mm256_srli_epi32(s2, 16), _mm256_srli_epi32(s3, 16));
      const __m256i bytes32 = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(w01, w23), order);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_and_si256(bytes32, keepMask));
    }
  }
  VerticalBytesScalar(firstRow + i, pitch, taps, weights, out + i, bytes - i, keep);
}

}  // namespace vexa
