#include "render/resample_weights.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vexa {
namespace {

// a x (2 (1 - t)^2 + (1 - t)) / 3 inside the support, 0 outside.
double FilterWeight(double t, double amplitude) {
  if (t >= 1.0) return 0.0;
  const double u = 1.0 - t;
  return amplitude * (2.0 * u * u + u) / 3.0;
}

}  // namespace

ResampleWeights::~ResampleWeights() { Release(); }

void ResampleWeights::Release() {
  std::free(first_);
  std::free(taps_);
  std::free(weights_);
  first_ = taps_ = weights_ = nullptr;
  destinationCount_ = maxTaps_ = 0;
}

bool ResampleWeights::Build(int n, int m, int from, int count) {
  Release();
  if (n < 1 || m < 1 || from < 0 || count < 1 || count > n - from) return false;
  const double scale = static_cast<double>(n) / m;
  const double support = scale < 1.0 ? 1.0 / scale : 1.0;
  const double amplitude = scale < 1.0 ? scale : 1.0;
  const double room = 2.0 * std::ceil(support) + 1.0;
  // The table must stay addressable; a support this wide could only come from a source
  // larger than any surface.
  if (room * count > 0x7FFFFFF) return false;
  maxTaps_ = static_cast<int>(room);
  first_ = static_cast<std::int32_t*>(std::malloc(sizeof(std::int32_t) * count));
  taps_ = static_cast<std::int32_t*>(std::malloc(sizeof(std::int32_t) * count));
  weights_ = static_cast<std::int32_t*>(
      std::malloc(sizeof(std::int32_t) * static_cast<std::size_t>(maxTaps_) * count));
  double* raw = static_cast<double*>(std::malloc(sizeof(double) * maxTaps_));
  if (!first_ || !taps_ || !weights_ || !raw) {
    std::free(raw);
    Release();
    return false;
  }
  destinationCount_ = count;
  for (int i = 0; i < count; ++i) {
    const int j = from + i;
    const double centre = j / scale;
    int first = std::max(static_cast<int>(std::floor(centre - support)), 0);
    int last = std::min(static_cast<int>(std::ceil(centre + support)), m - 1);
    while (last - first + 1 > maxTaps_) {
      if (first < m) {
        ++first;
      } else {
        --last;
      }
    }
    for (int k = first; k <= last; ++k) {
      raw[k - first] = FilterWeight(std::fabs((centre - k) * amplitude), amplitude);
    }
    // Zero weights at the ends narrow the range.
    int lo = 0, hi = last - first;
    while (lo <= hi && raw[lo] == 0.0) ++lo;
    while (hi >= lo && raw[hi] == 0.0) --hi;
    double total = 0.0;
    for (int k = lo; k <= hi; ++k) total += raw[k];
    std::int32_t* out = weights_ + static_cast<std::int64_t>(i) * maxTaps_;
    first_[i] = first + lo;
    taps_[i] = hi >= lo ? hi - lo + 1 : 0;
    for (int k = lo; k <= hi; ++k)
      out[k - lo] = static_cast<std::int32_t>(raw[k] / total * 65536.0);
  }
  std::free(raw);
  return true;
}

}  // namespace vexa
