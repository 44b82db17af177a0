// TEMPORARY until the window layer's AddDirtyRect is merged.
#include "sprite/sprite_internal.h"

namespace sprite {
void ReportDirty(GameWindow* window, const RECT& rect) {
  DirtyRectList* list = window->dirtyRects;
  if (!list) return;
  if (list->count < kDirtyRectCapacity) list->rects[list->count++] = rect;
}
}  // namespace sprite

namespace {
const SpriteStorageHooks* gHooksStub = nullptr;
}
void SetSpriteStorageHooks(const SpriteStorageHooks* hooks) { gHooksStub = hooks; }
const SpriteStorageHooks* GetSpriteStorageHooks() { return gHooksStub; }
