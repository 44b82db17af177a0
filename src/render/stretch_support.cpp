#include "render/stretch_support.h"

#include <cstring>

#include <vexa/blit.h>

namespace vexa {

StretchLocks::StretchLocks(cSurfaceImplementation* first, cSurfaceImplementation* second)
    : first_(first), second_(second) {
  if (!first_->Lock()) return;
  if (!second_->Lock()) {
    first_->Unlock();
    return;
  }
  locked_ = true;
}

StretchLocks::~StretchLocks() {
  if (!locked_) return;
  second_->Unlock();
  first_->Unlock();
}

cSurfaceImplementation* MakePlainCopy(cSurfaceImplementation* source, int x, int y, int width,
                                      int height) {
  cSurfaceImplementation* copy = source->CreateCompatible(width, height);
  if (!copy) return nullptr;
  if (copy->HasCustomPixelRoutines() ||
      !source->Blit(copy, 0, 0, x, y, width, height, kModeOpaque, kEffectNone, 0, kBlitCopyAlpha)) {
    copy->Delete();
    return nullptr;
  }
  return copy;
}

void FillRaw(PixelDescriptor& surface, std::uint32_t value) {
  const int bytes = surface.bytesPerPixel;
  if (surface.width <= 0 || surface.height <= 0 || bytes < 1 || bytes > 4) return;
  std::uint8_t* first = surface.Row(0);
  for (int x = 0; x < surface.width; ++x) std::memcpy(first + x * bytes, &value, static_cast<size_t>(bytes));
  const auto rowBytes = static_cast<size_t>(surface.width) * static_cast<size_t>(bytes);
  for (int y = 1; y < surface.height; ++y) std::memcpy(surface.Row(y), first, rowBytes);
}

}  // namespace vexa
