// cBufferSurface: storage in a block of stride x height + 7 bytes whose row 0 is the block's
// first 8-byte boundary.
#include <vexa/buffer_surface.h>

#include <cstdint>
#include <new>

#include <vexa/memory.h>
#include <vexa/stream.h>

#include "surface/buffer_surface_storage.h"
#include "surface/surface_lifetime.h"

namespace {

constexpr std::size_t kAlignmentSpare = 7;

// The byte count of the rows as a file transfer size, or -1 when the surface has none.
int TransferSize(const cBufferSurface& surface) {
  if (!surface.firstRow || surface.height < 0 || surface.stride < 0) return -1;
  const std::int64_t bytes = std::int64_t{surface.stride} * surface.height;
  return bytes <= vexa::kMaxSurfaceBytes ? static_cast<int>(bytes) : -1;
}

}  // namespace

cBufferSurface::cBufferSurface() = default;

cBufferSurface::~cBufferSurface() {
  vexa::FreeStorageBlock(&storage);
  firstRow = nullptr;
  ReleaseBaseResources();
}

cSurfaceImplementation* cBufferSurface::Destroy(unsigned destroyFlags) {
  this->cBufferSurface::~cBufferSurface();
  return vexa::FreeDestroyed(this, destroyFlags);
}

cSurfaceImplementation* cBufferSurface::CreateCompatible(int newWidth, int newHeight) {
  vexa::RowLayout layout;
  auto* created =
      vexa::NewCompatibleSurface<cBufferSurface>(*this, newWidth, newHeight, depth, &layout);
  return created ? vexa::AttachAlignedRows(created, layout, kAlignmentSpare) : nullptr;
}

int cBufferSurface::Create(int newWidth, int newHeight) {
  // The new block is made first so that a failure leaves the surface as it was. The block
  // the surface has is kept when it holds the new size and is at most four times as large:
  // the pixels are uncleared either way, and a surface made again every frame (a turning
  // sprite's copy) then costs no allocation.
  vexa::RowLayout layout;
  if (depth == 0 || !vexa::ComputeRowLayout(newWidth, newHeight, depth, &layout)) return 0;
  const std::size_t needed = layout.bytes + kAlignmentSpare;
  const std::size_t held = storage ? GetBlockSize(storage) : 0;
  vexa::AlignedBlock block;
  if (held >= needed && held / 4 <= needed) {
    const auto address = reinterpret_cast<std::uintptr_t>(storage);
    block.block = storage;
    block.aligned = storage + (((address + 7) & ~std::uintptr_t{7}) - address);
    storage = nullptr;  // kept below
  } else if (!vexa::AllocateAligned(layout.bytes, kAlignmentSpare, false, &block)) {
    return 0;
  }
  stride = pitch = layout.stride;
  bottomUp = 0;
  width = newWidth;
  height = newHeight;
  clipLeft = clipTop = 0;
  clipRight = newWidth;
  clipBottom = newHeight;
  vexa::FreeStorageBlock(&storage);
  storage = block.block;
  firstRow = block.aligned;
  DeleteAlpha();
  alphaStride = alphaPitch = 0;
  return 1;
}

int cBufferSurface::ReadPixels(HFILE file) {
  const int size = TransferSize(*this);
  if (size < 0) return 0;
  return ReadFileExact(file, firstRow, size) == 0 ? 1 : 0;
}

int cBufferSurface::WritePixels(HFILE file) {
  const int size = TransferSize(*this);
  if (size < 0) return 0;
  return WriteFileExact(file, firstRow, size) == 0 ? 1 : 0;
}
