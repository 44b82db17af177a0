// AVX2 forms of the 4-byte rotation rows, bit-exact with the scalar ones (rotate_kernels.h).
//
// Eight destination rows are sampled together, one per lane: each lane starts at its row's
// starting position and adds the same (cos, sin) per step, so that every lane repeats the
// scalar sequence of single-precision additions exactly. The eight columns a block of steps
// produces are turned into eight row pieces by an 8 x 8 transposition. Products and sums are
// separate instructions, never fused, to keep the scalar rounding.
#include <immintrin.h>

#include "render/rotate_kernels.h"

namespace vexa {
namespace {

// Lanes of `values` that are, unsigned, below `limit`.
__m256i Below(__m256i values, __m256i lastValid) {
  return _mm256_cmpeq_epi32(_mm256_min_epu32(values, lastValid), values);
}

void Transpose8(__m256i* v) {
  const __m256i t0 = _mm256_unpacklo_epi32(v[0], v[1]), t1 = _mm256_unpackhi_epi32(v[0], v[1]);
  const __m256i t2 = _mm256_unpacklo_epi32(v[2], v[3]), t3 = _mm256_unpackhi_epi32(v[2], v[3]);
  const __m256i t4 = _mm256_unpacklo_epi32(v[4], v[5]), t5 = _mm256_unpackhi_epi32(v[4], v[5]);
  const __m256i t6 = _mm256_unpacklo_epi32(v[6], v[7]), t7 = _mm256_unpackhi_epi32(v[6], v[7]);
  const __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
  const __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
  const __m256i u4 = _mm256_unpacklo_epi64(t4, t6), u5 = _mm256_unpackhi_epi64(t4, t6);
  const __m256i u6 = _mm256_unpacklo_epi64(t5, t7), u7 = _mm256_unpackhi_epi64(t5, t7);
  v[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
  v[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
  v[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
  v[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
  v[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
  v[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
  v[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
  v[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

struct Geometry {
  const int* base;
  __m256i pitch;  // source pitch in pixels
  __m256i lastX, lastY;
  __m256i fill;
};

struct NearestSampler {
  Geometry g;
  __m256i operator()(__m256 x, __m256 y) const {
    const __m256i xi = _mm256_cvtps_epi32(x), yi = _mm256_cvtps_epi32(y);
    const __m256i inside = _mm256_and_si256(Below(xi, g.lastX), Below(yi, g.lastY));
    const __m256i index = _mm256_add_epi32(_mm256_mullo_epi32(yi, g.pitch), xi);
    return _mm256_mask_i32gather_epi32(g.fill, g.base, index, inside, 4);
  }
};

// c x w, as its own instruction: the compiler may not fuse it with the addition that follows.
__m256 Product(__m256 c, __m256 w) {
  __m256 p = _mm256_mul_ps(c, w);
  __asm__("" : "+x"(p));
  return p;
}

__m256 Channel(__m256i pixels, int shift) {
  return _mm256_cvtepi32_ps(
      _mm256_and_si256(_mm256_srli_epi32(pixels, shift), _mm256_set1_epi32(0xFF)));
}

struct BilinearSampler {
  Geometry g;
  __m256 width, height;
  bool transparency;

  __m256i SameColor(__m256i pixels) const {
    return _mm256_cmpeq_epi32(_mm256_and_si256(pixels, _mm256_set1_epi32(0xFFFFFF)), g.fill);
  }

  __m256i operator()(__m256 x, __m256 y) const {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 insideF = _mm256_and_ps(
        _mm256_and_ps(_mm256_cmp_ps(x, zero, _CMP_GE_OQ), _mm256_cmp_ps(y, zero, _CMP_GE_OQ)),
        _mm256_and_ps(_mm256_cmp_ps(x, width, _CMP_LT_OQ), _mm256_cmp_ps(y, height, _CMP_LT_OQ)));
    const __m256i inside = _mm256_castps_si256(insideF);
    const __m256i ix = _mm256_cvttps_epi32(x), iy = _mm256_cvttps_epi32(y);
    const __m256 dx = _mm256_sub_ps(x, _mm256_cvtepi32_ps(ix));
    const __m256 dy = _mm256_sub_ps(y, _mm256_cvtepi32_ps(iy));
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i right = _mm256_and_si256(inside, _mm256_cmpgt_epi32(g.lastX, ix));
    const __m256i down = _mm256_and_si256(inside, _mm256_cmpgt_epi32(g.lastY, iy));
    const __m256i index = _mm256_add_epi32(_mm256_mullo_epi32(iy, g.pitch), ix);
    const __m256i p00 = _mm256_mask_i32gather_epi32(g.fill, g.base, index, inside, 4);
    __m256i p10 = _mm256_mask_i32gather_epi32(p00, g.base, _mm256_add_epi32(index, one), right, 4);
    const __m256i below = _mm256_add_epi32(index, g.pitch);
    __m256i p01 = _mm256_mask_i32gather_epi32(p00, g.base, below, down, 4);
    __m256i p11 = _mm256_mask_i32gather_epi32(p00, g.base, _mm256_add_epi32(below, one),
                                              _mm256_and_si256(right, down), 4);
    __m256i keep = _mm256_setzero_si256();
    if (transparency) {
      p10 = _mm256_blendv_epi8(p10, p00, SameColor(p10));
      p01 = _mm256_blendv_epi8(p01, p00, SameColor(p01));
      p11 = _mm256_blendv_epi8(p11, p00, SameColor(p11));
      keep = _mm256_and_si256(inside, SameColor(p00));
    }
    const __m256 dxdy = Product(dx, dy);
    const __m256 w00 =
        _mm256_add_ps(_mm256_sub_ps(_mm256_sub_ps(_mm256_set1_ps(1.0f), dx), dy), dxdy);
    const __m256 w10 = _mm256_sub_ps(dx, dxdy), w01 = _mm256_sub_ps(dy, dxdy), w11 = dxdy;
    const __m256 half = _mm256_set1_ps(0.5f);
    __m256i result = _mm256_setzero_si256();
    for (int shift = 0; shift < 24; shift += 8) {
      __m256 sum = Product(Channel(p00, shift), w00);
      sum = _mm256_add_ps(sum, Product(Channel(p10, shift), w10));
      sum = _mm256_add_ps(sum, Product(Channel(p01, shift), w01));
      sum = _mm256_add_ps(sum, Product(Channel(p11, shift), w11));
      const __m256i level = _mm256_cvttps_epi32(_mm256_add_ps(sum, half));
      result = _mm256_or_si256(result, _mm256_slli_epi32(level, shift));
    }
    result = _mm256_blendv_epi8(g.fill, result, inside);
    return _mm256_blendv_epi8(result, p00, keep);
  }
};

// Rows of the job in groups of eight lanes; the rows left over go to `scalar`.
template <class Sampler>
void SampleRows(const RotateRowsJob& job, const Sampler& sample, RotateRowsFn scalar) {
  const __m256 stepX = _mm256_set1_ps(job.cos), stepY = _mm256_set1_ps(job.sin);
  const int width = job.destinationWidth;
  int r = 0;
  for (; r + 8 <= job.rows; r += 8) {
    __m256 x = _mm256_loadu_ps(job.rowX + r), y = _mm256_loadu_ps(job.rowY + r);
    std::uint8_t* first = job.destination + r * job.destinationPitch;
    int i = 0;
    for (; i + 8 <= width; i += 8) {
      __m256i columns[8];
      for (auto& column : columns) {
        column = sample(x, y);
        x = _mm256_add_ps(x, stepX);
        y = _mm256_add_ps(y, stepY);
      }
      Transpose8(columns);
      for (int k = 0; k < 8; ++k) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(first + k * job.destinationPitch + 4 * i),
                            columns[k]);
      }
    }
    for (; i < width; ++i) {
      alignas(32) std::uint32_t lanes[8];
      _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), sample(x, y));
      for (int k = 0; k < 8; ++k) {
        __builtin_memcpy(first + k * job.destinationPitch + 4 * i, &lanes[k], 4);
      }
      x = _mm256_add_ps(x, stepX);
      y = _mm256_add_ps(y, stepY);
    }
  }
  if (r < job.rows) {
    RotateRowsJob rest = job;
    rest.destination = job.destination + r * job.destinationPitch;
    rest.rows = job.rows - r;
    rest.rowX = job.rowX + r;
    rest.rowY = job.rowY + r;
    scalar(rest);
  }
}

bool Gatherable(const RotateRowsJob& job) {
  return job.sourcePitch % 4 == 0 && job.sourceWidth > 0 && job.sourceHeight > 0;
}

Geometry GeometryOf(const RotateRowsJob& job) {
  return Geometry{reinterpret_cast<const int*>(job.source),
                  _mm256_set1_epi32(static_cast<int>(job.sourcePitch / 4)),
                  _mm256_set1_epi32(job.sourceWidth - 1), _mm256_set1_epi32(job.sourceHeight - 1),
                  _mm256_set1_epi32(static_cast<int>(job.fill))};
}

}  // namespace

void RotateNearest4Avx2(const RotateRowsJob& job) {
  if (!Gatherable(job)) return RotateNearest4Scalar(job);
  SampleRows(job, NearestSampler{GeometryOf(job)}, RotateNearest4Scalar);
}

void RotateBilinear32Avx2(const RotateRowsJob& job) {
  if (!Gatherable(job)) return RotateBilinear32Scalar(job);
  const BilinearSampler sampler{
      GeometryOf(job), _mm256_set1_ps(static_cast<float>(job.sourceWidth)),
      _mm256_set1_ps(static_cast<float>(job.sourceHeight)), job.transparency != 0};
  SampleRows(job, sampler, RotateBilinear32Scalar);
}

}  // namespace vexa
