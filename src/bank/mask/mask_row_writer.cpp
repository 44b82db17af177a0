#include "bank/mask/mask_row_writer.h"

#include <cstring>
#include <limits>
#include <new>

namespace vexa {

std::int32_t MaskSizeFor(int width, int height) {
  if (width < 0 || height < 0) return 0;
  const std::int64_t size = MaskBlockSize(width, height);
  return size > std::numeric_limits<std::int32_t>::max() ? 0 : static_cast<std::int32_t>(size);
}

void FillMaskHeader(CollisionMask* mask, int width, int height) {
  std::memset(mask, 0, sizeof *mask);
  mask->bitsOffset = kCollisionMaskHeaderSize;
  mask->width = width;
  mask->height = height;
  mask->rowBytes = static_cast<std::int32_t>(MaskRowBytes(width));
}

MaskRowWriter::MaskRowWriter(CollisionMask* mask, std::uint32_t flags)
    : mask_(mask), topEdge_((flags & kMaskTopEdge) != 0), words_((mask->width + 63) >> 6) {
  // The row, then for the top-edge kind the three counter planes, all zeroed.
  const std::size_t needed = static_cast<std::size_t>(words_) * (topEdge_ ? 4 : 1);
  std::uint64_t* block = inline_;
  if (needed > kInlineWords) {
    heap_.reset(new (std::nothrow) std::uint64_t[needed]);
    if (!heap_) return;
    block = heap_.get();
  }
  std::memset(block, 0, needed * sizeof *block);
  row_ = block;
  if (topEdge_) {
    count0_ = block + words_;
    count1_ = count0_ + words_;
    count2_ = count1_ + words_;
  }
}

void MaskRowWriter::Store(int y) {
  if (topEdge_) {
    // A column keeps solid pixels while its count is below 6 (binary 110); each kept pixel
    // adds one to the count with a ripple carry through the planes.
    for (int i = 0; i < words_; ++i) {
      const std::uint64_t kept = row_[i] & ~(count2_[i] & count1_[i]);
      const std::uint64_t carry0 = count0_[i] & kept;
      count0_[i] ^= kept;
      const std::uint64_t carry1 = count1_[i] & carry0;
      count1_[i] ^= carry0;
      count2_[i] ^= carry1;
      row_[i] = kept;
    }
  }
  // Rows are 16-bit padded, words 64-bit: the row's bytes are the first rowBytes of the words.
  std::uint8_t* out = MaskBits(mask_) + static_cast<std::ptrdiff_t>(y) * mask_->rowBytes;
  std::memcpy(out, row_, static_cast<std::size_t>(mask_->rowBytes));
  std::memset(row_, 0, static_cast<std::size_t>(words_) * sizeof *row_);
}

}  // namespace vexa
