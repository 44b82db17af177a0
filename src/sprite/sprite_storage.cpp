// The window's sprite storage: made by the window option that sizes it, released with the
// back buffer or the window. The window layer calls these through the hooks installed here.
#include <cstdlib>

#include <vexa/surface_object.h>

#include "sprite/sprite_internal.h"

namespace sprite {
namespace {

SpriteHeap* BuildHeap(std::uint32_t count) {
  if (count > 0x7FFFFFFF) return nullptr;
  const std::size_t bytes = SpriteHeapBytes(static_cast<int>(count));
  if (bytes == 0) return nullptr;
  auto* heap = static_cast<SpriteHeap*>(std::calloc(bytes, 1));
  if (heap && !InitSpriteHeap(heap, bytes)) {
    std::free(heap);
    return nullptr;
  }
  return heap;
}

void DropSurface(cSurfaceObject*& object) {
  if (object) DeleteSurfaceObject(object);
  object = nullptr;
}

void ReleaseStorage(GameWindow* window) {
  if (!IsValidWindowObject(window)) return;
  if (window->spriteHeap) {
    DeleteAllSprites(window);
    std::free(window->spriteHeap);
    window->spriteHeap = nullptr;
  }
  DropSurface(window->background);
  window->backgroundImpl = nullptr;
  DropSurface(window->layerSurface);
}

const SpriteStorageHooks kHooks{BuildHeap, ReleaseStorage};

// Installed when the library is loaded.
[[maybe_unused]] const bool installed = (SetSpriteStorageHooks(&kHooks), true);

}  // namespace
}  // namespace sprite
