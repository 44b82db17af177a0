#include "pixels/kernels/stretch_nearest.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "pixels/kernels/stretch_nearest_kernels.h"

namespace vexa {
namespace {

constexpr std::uint64_t kOne = 0x10000;

// Columns are worked out a chunk at a time, so that no table needs allocating.
constexpr int kChunk = 1024;

}  // namespace

NearestAxis::NearestAxis(std::int64_t destination, std::int64_t source)
    : step_((static_cast<std::uint64_t>(destination) << 16) / static_cast<std::uint64_t>(source)),
      source_(source),
      produced_(std::min<std::int64_t>(
          destination,
          static_cast<std::int64_t>(static_cast<std::uint64_t>(source) * step_ / kOne))) {}

void NearestAxis::Walker::Settle() {
  const std::int64_t v = static_cast<std::int64_t>(quotient_) + bias_;
  value_ = static_cast<int>(v < last_ ? v : last_);
}

void NearestAxis::Walker::Next() {
  if (index_++ >= frozen_) return;
  quotient_ += stepQuotient_;
  remainder_ += stepRemainder_;
  if (remainder_ >= step_) {
    remainder_ -= step_;
    ++quotient_;
  }
  Settle();
}

NearestAxis::Walker NearestAxis::Walk(std::int64_t from, std::uint64_t base, std::int64_t frozen,
                                      std::int64_t bias) const {
  Walker w;
  w.step_ = step_;
  w.stepQuotient_ = kOne / step_;
  w.stepRemainder_ = kOne % step_;
  w.index_ = from;
  w.frozen_ = frozen;
  w.bias_ = bias;
  w.last_ = source_ - 1;
  const std::uint64_t numerator = base + static_cast<std::uint64_t>(std::min(from, frozen)) * kOne;
  w.quotient_ = numerator / step_;
  w.remainder_ = numerator % step_;
  w.Settle();
  return w;
}

NearestAxis::Walker NearestAxis::Constant(int value) const {
  Walker w;
  w.value_ = value;
  w.frozen_ = INT64_MIN;  // never advances
  return w;
}

NearestAxis::Walker NearestAxis::Columns(std::int64_t from) const {
  // Enlarging: floor(((d + 1) x 0x10000 - 1) / step).
  if (step_ >= kOne) return Walk(from, kOne - 1, INT64_MAX, 0);
  // Reducing: ceil(d x 0x10000 / step); past the last whole group, the first pixel of the
  // group still open. With a step of 0 the first group never ends.
  if (step_ == 0) return Constant(0);
  return Walk(from, step_ - 1, produced_, 0);
}

NearestAxis::Walker NearestAxis::Rows(std::int64_t from) const {
  if (produced_ == 0) return Constant(static_cast<int>(source_ - 1));
  // ceil((d + 1) x 0x10000 / step) - 1, repeating the last row produced.
  return Walk(from, kOne + step_ - 1, produced_ - 1, -1);
}

void StretchNearest(const NearestPlane& source, int sourceWidth, int sourceHeight,
                    const NearestPlane& destination, std::int64_t destWidth,
                    std::int64_t destHeight, const NearestWindow& window) {
  if (destWidth <= 0 || destHeight <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return;
  if (window.left >= window.right || window.top >= window.bottom) return;
  const NearestAxis columns(destWidth, sourceWidth);
  const NearestAxis rows(destHeight, sourceHeight);
  const int bytes = destination.bytesPerPixel;
  const NearestRowFn scale = ActiveNearestRowKernels().rows[bytes - 1];
  std::int32_t map[kChunk];
  for (std::int64_t left = window.left; left < window.right; left += kChunk) {
    const int count = static_cast<int>(std::min<std::int64_t>(kChunk, window.right - left));
    NearestAxis::Walker column = columns.Columns(left);
    for (int i = 0; i < count; ++i, column.Next()) map[i] = column.Value();
    const auto spanBytes = static_cast<std::size_t>(count) * static_cast<std::size_t>(bytes);
    int previousRow = -1;
    NearestAxis::Walker row = rows.Rows(window.top);
    for (std::int64_t d = window.top; d < window.bottom; ++d, row.Next()) {
      std::uint8_t* out = destination.Row(d - window.top) + (left - window.left) * bytes;
      // A destination row that repeats the one above is a copy of it, when that row was drawn.
      if (row.Value() == previousRow) {
        std::memcpy(out, out - destination.pitch, spanBytes);
      } else {
        scale(source.Row(row.Value()), sourceWidth, map, out, count);
      }
      previousRow = row.Value();
    }
  }
}

}  // namespace vexa
