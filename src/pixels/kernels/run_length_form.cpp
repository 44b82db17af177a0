// Reading and checking the run-length form (see run_length_form.h).
#include "pixels/kernels/run_length_form.h"

#include <cstring>

namespace vexa {
namespace {

std::uint32_t ReadU32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

}  // namespace

bool RunLengthSizeFits(const std::uint8_t* block, std::size_t available) {
  if (!block || available < kRunLengthSizeBytes) return false;
  const std::uint32_t size = ReadU32(block);
  return size >= kRunLengthSizeBytes && size <= available;
}

bool RunLengthRowTableFits(const std::uint8_t* block, std::size_t available, int height) {
  if (!RunLengthSizeFits(block, available) || height < 0) return false;
  const std::uint32_t size = ReadU32(block);
  if (kRunLengthSizeBytes + kRunLengthRowEntryBytes * static_cast<std::uint64_t>(height) > size)
    return false;
  // Both fields of every row at once, without a branch per row. The offsets beyond the block
  // are counted rather than the highest one kept: each comparison is independent of the one
  // before, so the vector lanes do not wait on a running maximum. Every image draw runs this.
  const std::uint32_t limit = size - static_cast<std::uint32_t>(kRunLengthSizeBytes);
  std::uint32_t beyond = 0;
  const std::uint8_t* entry = block + kRunLengthSizeBytes;
  for (std::size_t i = 0; i < 2 * static_cast<std::size_t>(height); ++i, entry += 4)
    beyond |= static_cast<std::uint32_t>(ReadU32(entry) > limit);
  return beyond == 0;
}

bool RunLengthBlockValid(const std::uint8_t* block, std::size_t available, int width, int height,
                         int bytesPerPixel) {
  if (!RunLengthSizeFits(block, available) || width < 0 || height < 0 || bytesPerPixel < 1)
    return false;
  const std::uint64_t size = ReadU32(block);
  if (kRunLengthSizeBytes + kRunLengthRowEntryBytes * static_cast<std::uint64_t>(height) > size)
    return false;
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* entry =
        block + kRunLengthSizeBytes + kRunLengthRowEntryBytes * static_cast<std::size_t>(row);
    std::uint64_t runs = kRunLengthSizeBytes + std::uint64_t{ReadU32(entry)};
    std::uint64_t pixels = kRunLengthSizeBytes + std::uint64_t{ReadU32(entry + 4)};
    std::uint64_t covered = 0;
    while (covered < static_cast<std::uint64_t>(width)) {
      if (runs + 2 > size) return false;
      const unsigned skip = block[runs], copy = block[runs + 1];
      runs += 2;
      covered += skip + copy;
      pixels += std::uint64_t{copy} * static_cast<std::uint64_t>(bytesPerPixel);
    }
    if (covered != static_cast<std::uint64_t>(width) || pixels > size) return false;
  }
  return true;
}

}  // namespace vexa
