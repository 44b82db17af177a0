// The mask builder over run-length blocks, which come from image data: whatever the bytes,
// it must read only inside the block, and either fail with the mask zeroed or build a mask
// whose padding bits are clear and whose top-edge kind keeps at most 6 pixels per column of
// the full kind. The built mask is then run through the overlap test against itself and
// compared with a per-pixel reference.
//
// Input: width (2 bytes, reduced below 1100), height (1 byte, below 64), one byte whose low
// bits give an offset for the overlap check, then the block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <vexa/collision_mask.h>

#include "bank/mask/mask_runlength.h"

namespace {

bool Bit(const CollisionMask* m, int x, int y) {
  return (MaskBits(m)[y * m->rowBytes + (x >> 3)] >> (x & 7)) & 1;
}

std::vector<std::uint8_t> Build(const std::uint8_t* block, std::size_t size, int width, int height,
                                std::uint32_t flags, int* result) {
  const int bytes = vexa::BuildMaskFromRunLength(block, size, width, height, nullptr, flags);
  if (bytes != MaskBlockSize(width, height)) std::abort();
  std::vector<std::uint8_t> mask(static_cast<std::size_t>(bytes), 0xEE);
  *result = vexa::BuildMaskFromRunLength(block, size, width, height,
                                         reinterpret_cast<CollisionMask*>(mask.data()), flags);
  return mask;
}

void CheckFailed(const std::vector<std::uint8_t>& mask) {
  for (std::uint8_t b : mask)
    if (b != 0) std::abort();
}

void CheckPadding(const CollisionMask* m) {
  for (int y = 0; y < m->height; ++y)
    for (int x = m->width; x < m->rowBytes * 8; ++x)
      if (Bit(m, x, y)) std::abort();
}

bool ReferenceOverlap(const CollisionMask* m, int dx, int dy) {
  for (int y = 0; y < m->height; ++y)
    for (int x = 0; x < m->width; ++x) {
      const int u = x - dx, v = y - dy;
      if (u >= 0 && v >= 0 && u < m->width && v < m->height && Bit(m, x, y) && Bit(m, u, v))
        return true;
    }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const int width = (data[0] | (data[1] << 8)) % 1100;
  const int height = data[2] % 64;
  const int dx = (data[3] & 0x0F) - 8, dy = ((data[3] >> 4) & 0x07) - 4;
  // The block in its own allocation, so that any read past it is caught.
  const std::vector<std::uint8_t> block(data + 4, data + size);
  const std::uint8_t* blockBytes = block.empty() ? nullptr : block.data();

  int full = 0, top = 0;
  const std::vector<std::uint8_t> fullMask =
      Build(blockBytes, block.size(), width, height, 0, &full);
  const std::vector<std::uint8_t> topMask =
      Build(blockBytes, block.size(), width, height, kMaskTopEdge, &top);
  if ((full == 0) != (top == 0)) std::abort();
  if (full == 0) {
    CheckFailed(fullMask);
    CheckFailed(topMask);
    return 0;
  }
  const auto* f = reinterpret_cast<const CollisionMask*>(fullMask.data());
  const auto* t = reinterpret_cast<const CollisionMask*>(topMask.data());
  if (f->bitsOffset != 44 || f->width != width || f->height != height) std::abort();
  CheckPadding(f);
  CheckPadding(t);
  for (int x = 0; x < width; ++x) {
    int kept = 0, solid = 0;
    for (int y = 0; y < height; ++y) {
      if (Bit(t, x, y) && !Bit(f, x, y)) std::abort();
      if (Bit(f, x, y) && solid++ < kMaskTopEdgeDepth && !Bit(t, x, y)) std::abort();
      kept += Bit(t, x, y);
    }
    if (kept > kMaskTopEdgeDepth) std::abort();
  }
  const int hit =
      TestMaskOverlap(MaskBits(f), MaskBits(f), 0, 0, width, height, dx, dy, width, height);
  if ((hit != 0) != ReferenceOverlap(f, dx, dy)) std::abort();
  return 0;
}
