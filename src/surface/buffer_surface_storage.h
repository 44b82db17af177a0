// Pixel storage of the memory surfaces: the size rules and the aligned blocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixels/pixel_format.h"

namespace vexa {

// Largest pixel block a surface may have. Row offsets (y x pitch) and block sizes then fit
// the 32-bit arithmetic that callers and kernels use.
inline constexpr std::int64_t kMaxSurfaceBytes = 0x7FFFFFFF;

// The row layout of width x height pixels of `depth` (15 counting as 16 bits): rows padded
// to 4 bytes. False for a negative size or one whose block would exceed kMaxSurfaceBytes.
struct RowLayout {
  int stride = 0;
  std::size_t bytes = 0;  // stride x height
};
// Inline: the bitmap file format code, which filter plug-ins build in too, sizes rows with it.
inline bool ComputeRowLayout(std::int64_t width, std::int64_t height, int depth,
                             RowLayout* layout) {
  if (width < 0 || height < 0 || width > kMaxSurfaceBytes) return false;
  const std::int64_t stride = StrideOf(width, depth);
  if (stride > kMaxSurfaceBytes) return false;
  if (height != 0 && stride > kMaxSurfaceBytes / height) return false;
  layout->stride = static_cast<int>(stride);
  layout->bytes = static_cast<std::size_t>(stride * height);
  return true;
}

// A block of `bytes` + `spare` bytes from the library's allocator and its first address
// rounded up to a multiple of 8 (spare 7 or more keeps `bytes` inside the block).
struct AlignedBlock {
  std::uint8_t* block = nullptr;
  std::uint8_t* aligned = nullptr;
};
bool AllocateAligned(std::size_t bytes, std::size_t spare, bool zeroed, AlignedBlock* out);

// Frees a block of AllocateAligned (null is ignored) and clears the pointer.
void FreeStorageBlock(std::uint8_t** block);

}  // namespace vexa
