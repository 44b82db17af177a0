// The nearest-pixel scaler: 16.16 fixed-point stepping over rows and pixels of the source.
//
// With step = (destination size << 16) / source size along an axis:
// - Rows walk the source: an accumulator starts at the vertical step and, for each source
//   row in turn, every whole 0x10000 in it produces the next destination row; then the step
//   is added. Destination row d therefore comes from source row
//   ceil((d + 1) x 0x10000 / step) - 1; rows left over after the last source row repeat the
//   last row produced (or show the last source row if none was). Only the first destination
//   row of each source row is scaled; the rows that repeat it are copied from the row above.
// - Pixels when enlarging (step >= 0x10000): each source pixel is written
//   floor(accumulated step / 0x10000) times, keeping the fraction, so that destination pixel
//   d shows source pixel floor(((d + 1) x 0x10000 - 1) / step).
// - Pixels when reducing: source pixels form groups that end where the accumulator passes
//   0x10000; each group writes its first pixel, so destination pixel d shows source pixel
//   ceil(d x 0x10000 / step).
// Pixels left over at a row's end repeat the last one written. Source indices never pass
// the source rectangle's last row or pixel.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexa {

// Which source index one destination index shows along one axis.
class NearestAxis {
 public:
  NearestAxis(std::int64_t destination, std::int64_t source);

  // Successive source indices of destination indices from, from + 1, ... without a division
  // per index: each is floor((base + d x 0x10000) / step) + bias, kept from `frozen` on and
  // capped at the source's last index.
  class Walker {
   public:
    int Value() const { return value_; }
    void Next();

   private:
    friend class NearestAxis;
    std::uint64_t quotient_ = 0, remainder_ = 0;  // of (base + d x 0x10000) / step
    std::uint64_t stepQuotient_ = 0, stepRemainder_ = 0, step_ = 1;  // 0x10000 / step
    std::int64_t index_ = 0, frozen_ = 0;
    std::int64_t bias_ = 0, last_ = 0;
    int value_ = 0;
    void Settle();
  };

  // Source pixel of destination pixel d (0 <= d < destination), and the walk from d.
  int Column(std::int64_t d) const { return Columns(d).Value(); }
  Walker Columns(std::int64_t from) const;
  // Source row of destination row d, and the walk from d.
  int Row(std::int64_t d) const { return Rows(d).Value(); }
  Walker Rows(std::int64_t from) const;

 private:
  Walker Walk(std::int64_t from, std::uint64_t base, std::int64_t frozen, std::int64_t bias) const;
  Walker Constant(int value) const;

  std::uint64_t step_;
  std::int64_t source_;
  std::int64_t produced_;  // indices the stepping itself produces before the source runs out
};

// Pixels of one plane (a surface's pixels or its alpha plane): `first` addresses the
// rectangle's first pixel, rows `pitch` bytes apart.
struct NearestPlane {
  std::uint8_t* first;
  std::ptrdiff_t pitch;
  int bytesPerPixel;
  std::uint8_t* Row(std::int64_t y) const { return first + static_cast<std::ptrdiff_t>(y) * pitch; }
};

// The part of the destination rectangle that is drawn, relative to the rectangle's origin.
struct NearestWindow {
  std::int64_t left, top, right, bottom;  // left and top inclusive, right and bottom exclusive
};

// Scales the whole source rectangle (sourceWidth x sourceHeight at `source`) onto a
// destination rectangle of destWidth x destHeight, writing only the pixels inside `window`;
// `destination` addresses the window's first pixel (the rectangle's origin may lie outside
// the surface).
void StretchNearest(const NearestPlane& source, int sourceWidth, int sourceHeight,
                    const NearestPlane& destination, std::int64_t destWidth,
                    std::int64_t destHeight, const NearestWindow& window);

}  // namespace vexa
