// Collision masks of bank images, kept in lists 2 (full) and 3 (top edge) under the image's
// number: an entry header, the 44-byte mask header, then the bit rows.
#include <vexa/image_bank.h>

#include <vexa/collision_mask.h>

#include "bank/bank_internal.h"
#include "bank/bank_list.h"
#include "bank/image_surface_factory.h"

namespace vexa {
namespace {

constexpr std::uint32_t kMaskEntryHeaderSize = sizeof(BankEntryHeader) + kCollisionMaskHeaderSize;
static_assert(kMaskEntryHeaderSize == 60);

int MaskList(std::uint32_t flags) {
  return (flags & kMaskTopEdge) ? kListTopEdgeMasks : kListMasks;
}

CollisionMask* MaskOf(BankEntryHeader* entry) {
  if (!entry || entry->headerSize != kMaskEntryHeaderSize) return nullptr;
  return reinterpret_cast<CollisionMask*>(entry + 1);
}

}  // namespace
}  // namespace vexa

using namespace vexa;

CollisionMask* BuildImageMask(ImageBank* bank, int number, std::uint32_t flags) {
  const ImageEntryHeader* image = FindImage(bank, number);
  if (!image) return nullptr;
  cImageSurface* surface = MakeImageSurface(*bank, *image);
  if (!surface) return nullptr;
  const int kind = static_cast<int>(flags & kMaskTopEdge);
  const int size = surface->BuildMask(nullptr, static_cast<std::uint32_t>(kind));
  BankEntryHeader* block =
      size > kCollisionMaskHeaderSize
          ? AllocateEntry(kMaskEntryHeaderSize,
                          static_cast<std::uint32_t>(size - kCollisionMaskHeaderSize), true)
          : nullptr;
  CollisionMask* mask = MaskOf(block);
  const bool built = mask && surface->BuildMask(mask, static_cast<std::uint32_t>(kind)) == size;
  surface->Delete();
  if (!built || !SetEntryAt(*bank, MaskList(flags), number, block)) {
    if (block) FreeEntry(block);
    return nullptr;
  }
  mask->hotSpotX = image->hotSpotX;
  mask->hotSpotY = image->hotSpotY;
  return mask;
}

CollisionMask* GetImageMask(ImageBank* bank, int number, std::uint32_t flags) {
  if (!FindImage(bank, number)) return nullptr;
  if (CollisionMask* stored = MaskOf(FindEntry(bank, MaskList(flags), number))) return stored;
  return BuildImageMask(bank, number, flags);
}
