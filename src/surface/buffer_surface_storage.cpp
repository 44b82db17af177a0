#include "surface/buffer_surface_storage.h"

#include <vexa/memory.h>

#include "pixels/pixel_format.h"

namespace vexa {

bool ComputeRowLayout(std::int64_t width, std::int64_t height, int depth, RowLayout* layout) {
  if (width < 0 || height < 0 || width > kMaxSurfaceBytes) return false;
  const std::int64_t stride = StrideOf(width, depth);
  if (stride > kMaxSurfaceBytes) return false;
  if (height != 0 && stride > kMaxSurfaceBytes / height) return false;
  layout->stride = static_cast<int>(stride);
  layout->bytes = static_cast<std::size_t>(stride * height);
  return true;
}

bool AllocateAligned(std::size_t bytes, std::size_t spare, bool zeroed, AlignedBlock* out) {
  void* block = nullptr;
  const BOOL made =
      zeroed ? AllocBlockZero(&block, bytes + spare) : AllocBlock(&block, bytes + spare);
  if (!made) return false;
  const auto address = reinterpret_cast<std::uintptr_t>(block);
  out->block = static_cast<std::uint8_t*>(block);
  out->aligned = out->block + (((address + 7) & ~std::uintptr_t{7}) - address);
  return true;
}

void FreeStorageBlock(std::uint8_t** block) {
  void* raw = *block;
  FreeBlockAndClear(&raw);
  *block = nullptr;
}

}  // namespace vexa
