#include "bank/mask/mask_runlength.h"

#include <algorithm>
#include <cstring>

#include "bank/mask/mask_row_writer.h"

namespace vexa {
namespace {

std::uint32_t Read32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Sets bits [first, first + count) of a row of words.
void SetBits(std::uint64_t* words, int first, int count) {
  while (count > 0) {
    const int bit = first & 63;
    const int take = std::min(count, 64 - bit);
    const std::uint64_t ones = take == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << take) - 1);
    words[first >> 6] |= ones << bit;
    first += take;
    count -= take;
  }
}

// Decodes the runs of one row that start at `offset`; false when they leave the block or do
// not add up to the width.
bool DecodeRow(const std::uint8_t* block, std::size_t limit, std::size_t offset, int width,
               std::uint64_t* words) {
  int x = 0;
  while (x < width) {
    if (offset > limit || limit - offset < 2) return false;
    const int skip = block[offset];
    const int copy = block[offset + 1];
    offset += 2;
    if (skip + copy > width - x) return false;
    SetBits(words, x + skip, copy);
    x += skip + copy;
  }
  return true;
}

}  // namespace

int BuildMaskFromRunLength(const std::uint8_t* block, std::size_t blockSize, int width, int height,
                           CollisionMask* mask, std::uint32_t flags) {
  const std::int32_t size = MaskSizeFor(width, height);
  if (size == 0 || !mask) return size;
  auto fail = [&] {
    std::memset(mask, 0, static_cast<std::size_t>(size));
    return 0;
  };
  if (!block || blockSize < 4) return fail();
  const std::size_t declared = Read32(block);
  const std::size_t limit = std::min(blockSize, declared);
  constexpr std::size_t kRowTable = 4;
  if (limit < kRowTable || (limit - kRowTable) / 8 < static_cast<std::size_t>(height))
    return fail();

  FillMaskHeader(mask, width, height);
  MaskRowWriter writer(mask, flags);
  if (!writer.Ready()) return fail();
  for (int y = 0; y < height; ++y) {
    const std::size_t runs =
        kRowTable + Read32(block + kRowTable + 8 * static_cast<std::size_t>(y));
    if (!DecodeRow(block, limit, runs, width, writer.Row())) return fail();
    writer.Store(y);
  }
  return size;
}

}  // namespace vexa
