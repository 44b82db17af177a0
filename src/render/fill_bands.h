// The bands of a two-colour gradient: how many, where each starts and ends along the
// gradient, and each band's colour.
#pragma once

#include <cstdint>
#include <vector>

#include <vexa/wintypes.h>

namespace vexa {

struct FillBand {
  int start;  // first pixel along the gradient, inclusive
  int end;    // exclusive
  COLORREF colour;
};

class GradientBands {
 public:
  GradientBands(COLORREF colour1, COLORREF colour2);

  // max of the three channel differences, at least 1.
  int count() const { return count_; }
  // Colour 1 plus `steps` band steps per channel, truncated, each channel kept between its
  // colour-1 and colour-2 values; with avoidBlack a near-black result gets one channel of 8.
  COLORREF ColourAt(long long steps, bool avoidBlack) const;

  // The bands of a FillRect over [start, start + extent): band i from start + trunc(i m) to
  // start + trunc((i + 1) m), m = extent / count. Empty bands are left out.
  void RectBands(int start, int extent, bool avoidBlack, std::vector<FillBand>* out) const;
  // The bands of a whole-surface Fill over [0, extent) shifted by `origin`: the first band is
  // m - fmod(origin, m) long and starts trunc(origin / m) steps after colour 1.
  void ShiftedBands(int origin, int extent, bool avoidBlack, std::vector<FillBand>* out) const;

 private:
  int count_;
  int first_[3];
  int low_[3];
  int high_[3];
  double step_[3];
};

// right - left without overflow: negative spans stay negative, huge ones stop at INT_MAX.
inline int SpanOf(int from, int to) {
  const long long span = static_cast<long long>(to) - from;
  return span > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(span);
}

// SetOrigin's result: (y << 16) | (x & 0xFFFF).
inline std::uint32_t PackOrigin(int x, int y) {
  return (static_cast<std::uint32_t>(y) << 16) | (static_cast<std::uint32_t>(x) & 0xFFFF);
}

// A colour whose three channels are all 7 or less gets one channel of 8: blue when red and
// green are both below blue, else green when red and blue are both below green, else red.
COLORREF AvoidBlack(COLORREF colour);

}  // namespace vexa
