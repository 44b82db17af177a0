#include "surface/buffer_surface_storage.h"

#include <vexa/memory.h>

#include "pixels/pixel_format.h"

namespace vexa {

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
