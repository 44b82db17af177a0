#include "bank/mask/collision_mask_build.h"

#include "bank/mask/mask_row_writer.h"

namespace vexa {
namespace {

// The classifier and key for a surface without run-length rows, or null for a surface whose
// pixels cannot be classified.
ClassifyRowFn PickClassifier(cSurfaceImplementation& surface, const MaskKernels& kernels,
                             std::uint32_t* key) {
  if (surface.alphaFirstRow) {
    *key = 0;
    return kernels.classify8;
  }
  *key = surface.GetTransparentValue();
  switch (surface.depth) {
    case 8:
      return kernels.classify8;
    case 15:
    case 16:
      return kernels.classify16;
    case 24:
      return kernels.classify24;
    case 32:
      return kernels.classify32;
    default:
      return nullptr;
  }
}

}  // namespace

int BuildSurfaceMask(cSurfaceImplementation& surface, CollisionMask* mask, std::uint32_t flags,
                     const MaskKernels& kernels) {
  const std::int32_t size = MaskSizeFor(surface.width, surface.height);
  if (size == 0 || !mask) return size;
  if (!surface.Lock()) return 0;
  std::uint32_t key = 0;
  const ClassifyRowFn classify = PickClassifier(surface, kernels, &key);
  if (!classify) {
    surface.Unlock();
    return 0;
  }
  FillMaskHeader(mask, surface.width, surface.height);
  MaskRowWriter writer(mask, flags);
  if (!writer.Ready()) {
    surface.Unlock();
    return 0;
  }
  const bool alpha = surface.alphaFirstRow != nullptr;
  for (int y = 0; y < surface.height; ++y) {
    classify(alpha ? surface.AlphaRow(y) : surface.Row(y), surface.width, key, writer.Row());
    writer.Store(y);
  }
  surface.Unlock();
  return size;
}

}  // namespace vexa

int cSurfaceImplementation::BuildMask(CollisionMask* mask, std::uint32_t flags) {
  return vexa::BuildSurfaceMask(*this, mask, flags, vexa::ActiveMaskKernels());
}
