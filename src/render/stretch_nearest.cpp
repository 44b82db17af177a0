#include "render/stretch_nearest.h"

#include <algorithm>
#include <cstring>

#include "render/stretch_nearest_kernels.h"

namespace vexa {
namespace {

constexpr std::uint64_t kOne = 0x10000;

// ceil(a / b) for b > 0.
std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

// Columns are worked out a chunk at a time, so that no table needs allocating.
constexpr int kChunk = 1024;

}  // namespace

NearestAxis::NearestAxis(std::int64_t destination, std::int64_t source)
    : step_((static_cast<std::uint64_t>(destination) << 16) / static_cast<std::uint64_t>(source)),
      source_(source),
      produced_(std::min<std::int64_t>(
          destination, static_cast<std::int64_t>(static_cast<std::uint64_t>(source) * step_ / kOne))) {}

int NearestAxis::Column(std::int64_t d) const {
  std::uint64_t index;
  if (step_ >= kOne) {
    index = ((static_cast<std::uint64_t>(d) + 1) * kOne - 1) / step_;
  } else if (step_ == 0) {
    index = 0;  // the first group never ends
  } else {
    // Past the last whole group, the pixels repeat the first pixel of the group still open.
    index = CeilDiv(static_cast<std::uint64_t>(std::min(d, produced_)) * kOne, step_);
  }
  return static_cast<int>(std::min<std::uint64_t>(index, static_cast<std::uint64_t>(source_ - 1)));
}

int NearestAxis::Row(std::int64_t d) const {
  if (produced_ == 0) return static_cast<int>(source_ - 1);
  d = std::min(d, produced_ - 1);
  const std::uint64_t row = CeilDiv((static_cast<std::uint64_t>(d) + 1) * kOne, step_) - 1;
  return static_cast<int>(std::min<std::uint64_t>(row, static_cast<std::uint64_t>(source_ - 1)));
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
    for (int i = 0; i < count; ++i) map[i] = columns.Column(left + i);
    const auto spanBytes = static_cast<std::size_t>(count) * static_cast<std::size_t>(bytes);
    int previousRow = -1;
    for (std::int64_t d = window.top; d < window.bottom; ++d) {
      const int row = rows.Row(d);
      std::uint8_t* out = destination.Row(d) + left * bytes;
      // A destination row that repeats the one above is a copy of it, when that row was drawn.
      if (row == previousRow) {
        std::memcpy(out, out - destination.pitch, spanBytes);
      } else {
        scale(source.Row(row), map, out, count);
      }
      previousRow = row;
    }
  }
}

}  // namespace vexa
