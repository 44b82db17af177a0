// Reading and checking the run-length form (see run_length_form.h).
#include "render/kernels/run_length_form.h"

#include <cstring>

namespace vexa {
namespace {

std::uint32_t ReadU32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

}  // namespace

RunLengthRowReader::RunLengthRowReader(const std::uint8_t* block, int row, int bytesPerPixel,
                                       int begin, int end)
    : bytesPerPixel_(bytesPerPixel > 0 ? bytesPerPixel : 1), x_(0), begin_(begin), end_(end) {
  if (!block || row < 0) {
    end_ = 0;
    return;
  }
  const std::uint64_t size = ReadU32(block);
  const std::uint64_t entry = kRunLengthSizeBytes + kRunLengthRowEntryBytes * static_cast<std::uint64_t>(row);
  if (size < kRunLengthSizeBytes || entry + kRunLengthRowEntryBytes > size) {
    end_ = 0;
    return;
  }
  const std::uint64_t runs = kRunLengthSizeBytes + std::uint64_t{ReadU32(block + entry)};
  const std::uint64_t pixels = kRunLengthSizeBytes + std::uint64_t{ReadU32(block + entry + 4)};
  runsEnd_ = pixelsEnd_ = block + size;
  runs_ = runs <= size ? block + runs : runsEnd_;
  pixels_ = pixels <= size ? block + pixels : pixelsEnd_;
}

bool RunLengthRowReader::Next(Span& span) {
  while (x_ < end_) {
    int count = 0;
    const std::uint8_t* pixels = nullptr;
    if (pendingCopy_ > 0) {
      count = pendingCopy_;
      pendingCopy_ = 0;
      const auto available = static_cast<std::size_t>(pixelsEnd_ - pixels_) / static_cast<std::size_t>(bytesPerPixel_);
      if (static_cast<std::size_t>(count) > available) {
        count = static_cast<int>(available);  // the pixel bytes end here: so does the row
        runs_ = runsEnd_;
      }
      if (count == 0) return false;
      pixels = pixels_;
      pixels_ += static_cast<std::size_t>(count) * static_cast<std::size_t>(bytesPerPixel_);
    } else {
      if (runsEnd_ - runs_ < 2) return false;
      count = runs_[0];
      pendingCopy_ = runs_[1];
      runs_ += 2;
      if (count == 0) continue;
    }
    const int start = x_;
    x_ += count;
    const int low = start > begin_ ? start : begin_;
    const int high = x_ < end_ ? x_ : end_;
    if (low >= high) continue;
    span.x = low;
    span.count = high - low;
    span.pixels = pixels ? pixels + static_cast<std::size_t>(low - start) * static_cast<std::size_t>(bytesPerPixel_) : nullptr;
    return true;
  }
  return false;
}

bool RunLengthSizeFits(const std::uint8_t* block, std::size_t available) {
  if (!block || available < kRunLengthSizeBytes) return false;
  const std::uint32_t size = ReadU32(block);
  return size >= kRunLengthSizeBytes && size <= available;
}

bool RunLengthBlockValid(const std::uint8_t* block, std::size_t available, int width, int height,
                         int bytesPerPixel) {
  if (!RunLengthSizeFits(block, available) || width < 0 || height < 0 || bytesPerPixel < 1)
    return false;
  const std::uint64_t size = ReadU32(block);
  if (kRunLengthSizeBytes + kRunLengthRowEntryBytes * static_cast<std::uint64_t>(height) > size) return false;
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* entry = block + kRunLengthSizeBytes + kRunLengthRowEntryBytes * static_cast<std::size_t>(row);
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
