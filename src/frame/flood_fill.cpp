// The scanline seed fill: four-way connected pixels whose colour lies within a tolerance of
// the seed's are painted, row runs at a time, with a bounded stack of pending segments.
#include "frame/flood_fill.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "pixels/pixel_format.h"
#include "surface/direct_pixels.h"

namespace vexa {
namespace {

// A pending run: row, its columns x1..x2, and the direction to the row still to scan.
struct Segment {
  std::int32_t y, x1, x2, dy;
};

bool WithinTolerance(COLORREF a, COLORREF b, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (std::abs(d) > tolerance) return false;
  }
  return true;
}

// Every test and write through the implementation's virtual pixel operations. The walk
// announces each row before it tests or paints pixels of it.
class VirtualPixels {
 public:
  explicit VirtualPixels(const FloodFillRequest& r) : r_(r) {}
  void SetRow(int y) { y_ = y; }
  bool Inside(int x) const {
    COLORREF c = 0;
    if (!r_.surface->GetPixelColor(x, y_, &c) || !WithinTolerance(c, r_.seedColour, r_.tolerance))
      return false;
    COLORREF painted = 0;
    return r_.target->GetPixelColor(x, y_, &painted) && painted != r_.fillColour;
  }
  void Paint(int x) const {
    if (r_.target->depth == 8)
      r_.target->SetPixelValue(x, y_, r_.fillIndex);
    else
      r_.target->SetPixelColor(x, y_, r_.fillColour);
  }
  // Paints inside pixels from x leftwards (down to column 0) or rightwards (below `width`);
  // returns the first column not painted.
  int PaintLeft(int x) const {
    while (x >= 0 && Inside(x)) Paint(x--);
    return x;
  }
  int PaintRight(int x, int width) const {
    while (x < width && Inside(x)) Paint(x++);
    return x;
  }
  // The first column from x up to `last` that is inside, or last + 1.
  int Skip(int x, int last) const {
    while (x <= last && !Inside(x)) ++x;
    return x;
  }

 private:
  const FloodFillRequest& r_;
  int y_ = 0;
};

// Reads and writes the storage of pixels of kBytes bytes directly, a row at a time. The test
// on the surface is one table lookup per pixel up to 16 bits (tolerance, and "not yet
// painted" when painting in place) and one lookup per channel above. Painting through a
// temporary compares the temporary's colour with the fill colour as GetPixelColor would.
template <int kBytes>
class DirectPixels {
 public:
  explicit DirectPixels(const FloodFillRequest& r)
      : r_(r),
        s_(r.surface),
        t_(r.target),
        inPlace_(r.surface == r.target),
        paintBytes_(inPlace_ ? kBytes : r.target->bytesPerPixel),
        paintRaw_(RawFill(r)) {
    const int depth = s_->depth;
    if (kBytes <= 2) {
      table_.resize(kBytes == 1 ? 256 : 65536);
      for (std::uint32_t v = 0; v < table_.size(); ++v) {
        const COLORREF c = ColourOf(s_, depth, v);
        table_[v] =
            WithinTolerance(c, r.seedColour, r.tolerance) && !(inPlace_ && c == r.fillColour);
      }
    } else {
      for (int v = 0; v < 256; ++v)
        for (int channel = 0; channel < 3; ++channel) {
          const int seed = static_cast<int>((r.seedColour >> (8 * channel)) & 0xFF);
          channelOk_[channel][v] = std::abs(v - seed) <= r.tolerance;
        }
      exact_ = inPlace_ && r.tolerance == 0 && r.seedColour != r.fillColour;
      seedRaw_ = SwapRedBlue(r.seedColour & 0xFFFFFF);
      fill_[0] = static_cast<std::uint8_t>(r.fillColour >> 16);  // stored blue, green, red
      fill_[1] = static_cast<std::uint8_t>(r.fillColour >> 8);
      fill_[2] = static_cast<std::uint8_t>(r.fillColour);
      fillRaw_ = fill_[0] | std::uint32_t{fill_[1]} << 8 | std::uint32_t{fill_[2]} << 16;
      // Per stored byte (blue, green, red, then the fourth, which any value passes), the range
      // the tolerance allows.
      for (int b = 0; b < 3; ++b) {
        const int seed = static_cast<int>((r.seedColour >> (8 * (2 - b))) & 0xFF);
        low_ |= static_cast<std::uint32_t>(std::clamp(seed - r.tolerance, 0, 255)) << (8 * b);
        high_ |= static_cast<std::uint32_t>(std::clamp(seed + r.tolerance, 0, 255)) << (8 * b);
      }
      high_ |= 0xFF000000u;
      vector_ = kBytes == 4 && inPlace_ && r.tolerance >= 0;
    }
    if (!inPlace_ && t_->depth == 8)
      for (int i = 0; i < 256; ++i) targetPalette_[i] = t_->GetPaletteColor(i);
  }

  void SetRow(int y) {
    rowInClip_ = y >= s_->clipTop && y < s_->clipBottom &&
                 (inPlace_ || (y >= t_->clipTop && y < t_->clipBottom));
    left_ = s_->clipLeft;
    right_ = s_->clipRight;
    if (!inPlace_) {
      left_ = std::max(left_, t_->clipLeft);
      right_ = std::min(right_, t_->clipRight);
    }
    if (!rowInClip_) return;
    row_ = s_->Row(y);
    targetRow_ = t_->Row(y);
    paintRow_ = t_->Row(y);
  }

  // The loops run over the columns inside the clip only, then test content. A run is found
  // first and painted after: painting a pixel changes no other pixel's test.
  int PaintLeft(int x) const {
    if (!rowInClip_) return x;
    const int stop = std::max(-1, left_ - 1);
    if (x >= right_) return x;
    const int from = x;
    x = ScanLeft(x, stop);
    PaintRun(x + 1, from + 1);
    return x;
  }
  int PaintRight(int x, int width) const {
    if (!rowInClip_ || x < left_) return x;
    const int stop = std::min(width, right_);
    const int from = x;
    x = ScanRight(x, stop);
    PaintRun(from, x);
    return x;
  }
  int Skip(int x, int last) const {
    if (!rowInClip_) return last + 1 > x ? last + 1 : x;
    for (; x <= last; ++x)
      if (x >= left_ && x < right_ && Content(x)) return x;
    return x;
  }

  // The first column from x up to stop (excluded) whose content is not inside, or stop; and
  // the same leftwards, down to stop. 32-bit pixels painted in place are tested four at a time.
  int ScanRight(int x, int stop) const {
#if defined(__SSE2__)
    if (vector_)
      for (; x + 4 <= stop; x += 4) {
        const int inside = Inside4(x);
        if (inside != 0xF) return x + __builtin_ctz(~inside & 0xF);
      }
#endif
    while (x < stop && Content(x)) ++x;
    return x;
  }
  int ScanLeft(int x, int stop) const {
#if defined(__SSE2__)
    if (vector_)
      for (; x - 3 > stop; x -= 4) {
        const int inside = Inside4(x - 3);
        if (inside != 0xF) return x - 3 + (31 - __builtin_clz(~inside & 0xF));
      }
#endif
    while (x > stop && Content(x)) --x;
    return x;
  }

#if defined(__SSE2__)
  // Bit k set when pixel x + k is inside (32-bit pixels, in place).
  int Inside4(int x) const {
    const __m128i v = _mm_loadu_si128(
        reinterpret_cast<const __m128i*>(row_ + static_cast<std::ptrdiff_t>(x) * 4));
    const __m128i colour = _mm_and_si128(v, _mm_set1_epi32(0x00FFFFFF));
    __m128i inside;
    if (exact_) {
      inside = _mm_cmpeq_epi32(colour, _mm_set1_epi32(static_cast<int>(seedRaw_)));
    } else {
      // Every byte within [low, high] (the fourth byte's range is 0-255), and not the fill.
      const __m128i low = _mm_set1_epi32(static_cast<int>(low_));
      const __m128i high = _mm_set1_epi32(static_cast<int>(high_));
      const __m128i inRange = _mm_and_si128(_mm_cmpeq_epi8(_mm_max_epu8(v, low), v),
                                            _mm_cmpeq_epi8(_mm_min_epu8(v, high), v));
      const __m128i whole = _mm_cmpeq_epi32(inRange, _mm_set1_epi32(-1));
      const __m128i painted = _mm_cmpeq_epi32(colour, _mm_set1_epi32(static_cast<int>(fillRaw_)));
      inside = _mm_andnot_si128(painted, whole);
    }
    return _mm_movemask_ps(_mm_castsi128_ps(inside));
  }
#endif

  bool Content(int x) const {
    const std::uint8_t* p = row_ + static_cast<std::ptrdiff_t>(x) * kBytes;
    if (kBytes == 1) {
      if (!table_[*p]) return false;
    } else if (kBytes == 2) {
      if (!table_[p[0] | (p[1] << 8)]) return false;
    } else if (exact_) {
      // Tolerance 0 in place: equal to the seed (which differs from the fill colour).
      if (kBytes == 4) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return (v & 0xFFFFFF) == seedRaw_;
      }
      return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) == seedRaw_;
    } else {
      if (!(channelOk_[2][p[0]] & channelOk_[1][p[1]] & channelOk_[0][p[2]])) return false;
      if (inPlace_) return p[0] != fill_[0] || p[1] != fill_[1] || p[2] != fill_[2];
    }
    if (inPlace_) return true;
    return TargetColour(x) != r_.fillColour;
  }

  // Paints columns from..to-1 of the row.
  void PaintRun(int from, int to) const {
    if (from >= to) return;
    std::uint8_t* p = paintRow_ + static_cast<std::ptrdiff_t>(from) * paintBytes_;
    const auto count = static_cast<std::size_t>(to - from);
    if (paintBytes_ == 1) {
      std::memset(p, static_cast<int>(paintRaw_ & 0xFF), count);
    } else if (paintBytes_ == 2) {
      const auto raw = static_cast<std::uint16_t>(paintRaw_);
      for (std::size_t i = 0; i < count; ++i) std::memcpy(p + 2 * i, &raw, 2);
    } else if (paintBytes_ == 4) {
      // Blue, green, red; a 32-bit pixel's fourth byte is left as it is.
      for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t v;
        std::memcpy(&v, p + 4 * i, 4);
        v = (v & 0xFF000000u) | paintRaw_;
        std::memcpy(p + 4 * i, &v, 4);
      }
    } else {
      for (std::size_t i = 0; i < count; ++i, p += 3) {
        p[0] = static_cast<std::uint8_t>(paintRaw_);
        p[1] = static_cast<std::uint8_t>(paintRaw_ >> 8);
        p[2] = static_cast<std::uint8_t>(paintRaw_ >> 16);
      }
    }
  }

 private:
  // The stored value SetPixelValue (8 bits) or SetPixelColor would write.
  static std::uint32_t RawFill(const FloodFillRequest& r) {
    switch (r.target->depth) {
      case 8:
        return r.fillIndex & 0xFF;
      case 15:
        return ColorTo555(r.fillColour);
      case 16:
        return ColorTo565(r.fillColour);
      default:
        return SwapRedBlue(r.fillColour & 0xFFFFFF);
    }
  }

  static COLORREF ColourOf(cSurfaceImplementation* s, int depth, std::uint32_t v) {
    switch (depth) {
      case 8:
        return s->GetPaletteColor(static_cast<int>(v));
      case 15:
        return ColorFrom555(v);
      default:
        return ColorFrom565(v);
    }
  }

  COLORREF TargetColour(int x) const {
    const std::uint8_t* p = targetRow_ + static_cast<std::ptrdiff_t>(x) * t_->bytesPerPixel;
    switch (t_->depth) {
      case 8:
        return targetPalette_[*p];
      case 15:
        return ColorFrom555(p[0] | (p[1] << 8));
      case 16:
        return ColorFrom565(p[0] | (p[1] << 8));
      default:
        return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    }
  }

  const FloodFillRequest& r_;
  cSurfaceImplementation* s_;
  cSurfaceImplementation* t_;
  bool inPlace_;
  int paintBytes_;
  std::uint32_t paintRaw_;
  std::vector<std::uint8_t> table_;
  std::uint8_t channelOk_[3][256] = {};
  std::uint8_t fill_[3] = {};
  bool exact_ = false;
  std::uint32_t seedRaw_ = 0;
  std::uint32_t fillRaw_ = 0;
  std::uint32_t low_ = 0, high_ = 0;  // stored bytes' tolerance ranges
  bool vector_ = false;               // 32-bit pixels in place: tested four at a time
  COLORREF targetPalette_[256] = {};
  bool rowInClip_ = false;
  int left_ = 0, right_ = 0;
  const std::uint8_t* row_ = nullptr;
  const std::uint8_t* targetRow_ = nullptr;
  std::uint8_t* paintRow_ = nullptr;
};

// The segment walk. Painted runs widen the box once per run.
template <class Pixels>
void Walk(Pixels& pixels, int width, int height, int seedX, int seedY, Segment* stack,
          FloodBox* box) {
  int count = 0;
  auto push = [&](int y, int x1, int x2, int dy) {
    if (count < kFloodStackCapacity && y + dy >= 0 && y + dy < height)
      stack[count++] = Segment{y, x1, x2, dy};
  };
  auto widen = [&](int from, int to, int y) {  // columns from..to painted on row y
    if (from > to) return;
    if (from < box->left) box->left = from;
    if (to > box->right) box->right = to;
    if (y < box->top) box->top = y;
    if (y > box->bottom) box->bottom = y;
  };

  push(seedY, seedX, seedX, 1);
  push(seedY + 1, seedX, seedX, -1);
  while (count > 0) {
    const Segment s = stack[--count];
    const int y = s.y + s.dy;
    pixels.SetRow(y);
    int x = pixels.PaintLeft(s.x1);
    widen(x + 1, s.x1, y);
    int left = 0;
    bool scanRight = x < s.x1;
    if (scanRight) {
      left = x + 1;
      if (left < s.x1) push(y, left, s.x1 - 1, -s.dy);  // leak to the left
      x = s.x1 + 1;
    } else {
      x = s.x1;
    }
    for (;;) {
      if (scanRight) {
        const int start = x;
        x = pixels.PaintRight(x, width);
        widen(start, x - 1, y);
        push(y, left, x - 1, s.dy);
        if (x > s.x2 + 1) push(y, s.x2 + 1, x - 1, -s.dy);  // leak to the right
      }
      // Skip to the next pixel inside this segment's columns.
      x = pixels.Skip(x + 1, s.x2);
      left = x;
      if (x > s.x2) break;
      scanRight = true;
    }
  }
}

template <int kBytes>
void WalkDirect(const FloodFillRequest& request, Segment* stack, FloodBox* box) {
  DirectPixels<kBytes> pixels(request);
  Walk(pixels, request.surface->width, request.surface->height, request.seedX, request.seedY, stack,
       box);
}

}  // namespace

int RunFloodFill(const FloodFillRequest& request, FloodBox* box) {
  std::unique_ptr<Segment[]> stack(new (std::nothrow) Segment[kFloodStackCapacity]);
  if (!stack) return 0;
  cSurfaceImplementation* surface = request.surface;
  const bool direct = request.allowDirect && HasDirectPixels(surface) &&
                      HasDirectPixels(request.target) && surface->Lock();
  if (direct) {
    const bool targetLocked = request.target == surface || request.target->Lock();
    if (targetLocked) {
      switch (surface->bytesPerPixel) {
        case 1:
          WalkDirect<1>(request, stack.get(), box);
          break;
        case 2:
          WalkDirect<2>(request, stack.get(), box);
          break;
        case 3:
          WalkDirect<3>(request, stack.get(), box);
          break;
        default:
          WalkDirect<4>(request, stack.get(), box);
          break;
      }
      if (request.target != surface) request.target->Unlock();
      surface->Unlock();
      return 1;
    }
    surface->Unlock();
  }
  VirtualPixels pixels(request);
  Walk(pixels, surface->width, surface->height, request.seedX, request.seedY, stack.get(), box);
  return 1;
}

}  // namespace vexa
