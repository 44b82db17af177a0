// Gradient bands of CFillDir.
#include "render/fill_bands.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vexa {
namespace {

int Channel(COLORREF c, int i) { return static_cast<int>((c >> (8 * i)) & 0xFF); }

// trunc of a position that may lie far outside int; the caller cuts it to its extent.
long long Trunc(double v) {
  if (v > 4e18) return 4000000000000000000LL;
  if (v < -4e18) return -4000000000000000000LL;
  return static_cast<long long>(v);
}

}  // namespace

COLORREF AvoidBlack(COLORREF colour) {
  const int r = Channel(colour, 0), g = Channel(colour, 1), b = Channel(colour, 2);
  if (r > 7 || g > 7 || b > 7) return colour;
  if (r < b && g < b) return (colour & 0x00FFFF) | (8u << 16);
  if (r < g && b < g) return (colour & 0xFF00FF) | (8u << 8);
  return (colour & 0xFFFF00) | 8u;
}

GradientBands::GradientBands(COLORREF colour1, COLORREF colour2) {
  int largest = 0;
  for (int i = 0; i < 3; ++i) {
    first_[i] = Channel(colour1, i);
    const int last = Channel(colour2, i);
    low_[i] = std::min(first_[i], last);
    high_[i] = std::max(first_[i], last);
    largest = std::max(largest, std::abs(last - first_[i]));
  }
  count_ = largest < 2 ? 1 : largest;
  for (int i = 0; i < 3; ++i)
    step_[i] = static_cast<double>(Channel(colour2, i) - first_[i]) / count_;
}

COLORREF GradientBands::ColourAt(long long steps, bool avoidBlack) const {
  COLORREF colour = 0;
  for (int i = 0; i < 3; ++i) {
    const double v = first_[i] + static_cast<double>(steps) * step_[i];
    const long long c = std::clamp<long long>(Trunc(v), low_[i], high_[i]);
    colour |= static_cast<COLORREF>(c) << (8 * i);
  }
  return avoidBlack ? AvoidBlack(colour) : colour;
}

void GradientBands::RectBands(int start, int extent, bool avoidBlack,
                              std::vector<FillBand>* out) const {
  out->clear();
  if (extent <= 0) return;
  const double m = static_cast<double>(extent) / count_;
  for (int i = 0; i < count_; ++i) {
    const long long from = start + Trunc(i * m);
    const long long to = start + Trunc((i + 1) * m);
    if (to <= from) continue;
    out->push_back(FillBand{static_cast<int>(from), static_cast<int>(to), ColourAt(i, avoidBlack)});
  }
}

void GradientBands::ShiftedBands(int origin, int extent, bool avoidBlack,
                                 std::vector<FillBand>* out) const {
  out->clear();
  if (extent <= 0) return;
  const double m = static_cast<double>(extent) / count_;
  const double firstLength = m - std::fmod(static_cast<double>(origin), m);
  const long long firstStep = Trunc(origin / m);
  long long from = 0;
  // The first band is shorter than m (or, for a negative origin, up to 2 m long), so the
  // extent is covered after at most count + 1 bands.
  for (long long j = 0; from < extent && j <= count_ + 1; ++j) {
    long long to = Trunc(firstLength + static_cast<double>(j) * m);
    if (to > extent || j == count_ + 1) to = extent;
    if (to > from)
      out->push_back(FillBand{static_cast<int>(from), static_cast<int>(to),
                              ColourAt(firstStep + j, avoidBlack)});
    from = std::max(from, to);
  }
}

}  // namespace vexa
