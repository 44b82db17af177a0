// The display list: creating, changing, ordering and deleting sprites.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include <vexa/image_bank.h>
#include <vexa/rotation.h>
#include <vexa/surface_object.h>

#include "sprite/sprite_internal.h"

namespace sprite {

bool IsDriverSurface(cSurfaceImplementation* surface) {
  if (!surface) return false;
  const int kind = surface->GetKind();
  return kind >= kFirstDriverKind && kind <= kLastDriverKind;
}

bool ImageGeometry(ImageBank* bank, std::intptr_t image, int* width, int* height, int* hotX,
                   int* hotY) {
  if (!bank || image <= 0 || image > std::numeric_limits<int>::max()) return false;
  const auto* entry = reinterpret_cast<const ImageEntryHeader*>(
      GetEntry(bank, kListImages, static_cast<int>(image)));
  if (!entry) return false;
  *width = entry->width;
  *height = entry->height;
  *hotX = entry->hotSpotX;
  *hotY = entry->hotSpotY;
  return true;
}

void UnlinkSprite(SpriteHeap* heap, Sprite* s) {
  Sprite* before = s->Previous();
  Sprite* after = s->Next();
  if (before)
    before->block.next = after ? &after->block : nullptr;
  else
    heap->firstSprite = after;
  if (after)
    after->block.previous = before ? &before->block : nullptr;
  else
    heap->lastSprite = before;
  s->block.previous = s->block.next = nullptr;
}

void InsertBefore(SpriteHeap* heap, Sprite* s, Sprite* before) {
  Sprite* previous = before ? before->Previous() : heap->lastSprite;
  s->block.previous = previous ? &previous->block : nullptr;
  s->block.next = before ? &before->block : nullptr;
  if (previous)
    previous->block.next = &s->block;
  else
    heap->firstSprite = s;
  if (before)
    before->block.previous = &s->block;
  else
    heap->lastSprite = s;
}

void DropTransformed(Sprite* s) {
  if (s->transformed) DeleteSurfaceObject(s->transformed);
  s->transformed = nullptr;
}

void DestroySprite(GameWindow* window, Sprite* s) {
  SpriteHeap* heap = window->spriteHeap;
  if (s->saveUnder) s->saveUnder->Delete();
  s->saveUnder = nullptr;
  if (IsOwnerDrawn(s) && s->currentImage)
    reinterpret_cast<SpriteCallback>(s->currentImage)(s, kSpriteDeleting, 0);
  RemoveFromOverlaps(window, s);
  DropTransformed(s);
  UnlinkSprite(heap, s);
  FreeSpriteBlock(heap, &s->block);
}

namespace {

bool Transformed(const SpriteGeometry& g) {
  return g.scaleX != 1.0f || g.scaleY != 1.0f || g.angle != 0.0f;
}

}  // namespace

float NormalAngle(float angle) {
  if (!std::isfinite(angle)) return 0.0f;
  float reduced = std::fmod(angle, 360.0f);
  if (reduced < 0) reduced += 360.0f;
  if (reduced >= 360.0f) reduced = 0.0f;  // a tiny negative angle rounds up to 360
  return reduced;
}

float NormalScale(float scale) { return std::isfinite(scale) && scale > 0 ? scale : 0.0f; }

namespace {

std::int64_t Scaled(std::int64_t value, float scale) {
  if (scale == 1.0f) return value;
  const double v = std::trunc(static_cast<double>(value) * scale);
  return static_cast<std::int64_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

}  // namespace

// The rectangle from a geometry's position, image size, hot spot, scale and angle.
RECT GeometryRect(const SpriteGeometry& g) {
  std::int64_t width = g.width, height = g.height, hotX = g.hotSpotX, hotY = g.hotSpotY;
  width = Scaled(width, g.scaleX);
  hotX = Scaled(hotX, g.scaleX);
  height = Scaled(height, g.scaleY);
  hotY = Scaled(hotY, g.scaleY);
  if (g.angle != 0.0f) {
    RECT box{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    POINT hot{static_cast<LONG>(hotX), static_cast<LONG>(hotY)};
    if (GetRotatedRect(&box, &hot, nullptr, g.angle)) {
      width = box.right;
      height = box.bottom;
      hotX = hot.x;
      hotY = hot.y;
    }
  }
  const std::int64_t left = std::int64_t{g.x} - hotX;
  const std::int64_t top = std::int64_t{g.y} - hotY;
  return RECT{Clamp32(left), Clamp32(top), Clamp32(left + std::max<std::int64_t>(width, 0)),
              Clamp32(top + std::max<std::int64_t>(height, 0))};
}

namespace {

void PlacePending(Sprite* s) { s->pending.rect = GeometryRect(s->pending); }

// Size and hot spot of the pending image into the pending geometry.
void TakeImageGeometry(GameWindow* window, Sprite* s) {
  int width = 1, height = 1, hotX = 0, hotY = 0;
  if (!ImageGeometry(window->context, s->pendingImage, &width, &height, &hotX, &hotY)) {
    width = height = 1;
    hotX = hotY = 0;
  }
  if (s->flags & kSpriteNoHotSpot) hotX = hotY = 0;
  s->pending.width = width;
  s->pending.height = height;
  s->pending.hotSpotX = hotX;
  s->pending.hotSpotY = hotY;
}

// After a change of the pending geometry: new rectangle, overlaps, marks.
void Replaced(GameWindow* window, Sprite* s) {
  PlacePending(s);
  RebuildOverlaps(window, s);
  NoteChanged(window, s);
}

// Moves `s` towards the head while it sorts before its predecessor.
void SortTowardsHead(SpriteHeap* heap, Sprite* s) {
  Sprite* before = s->Previous();
  while (before &&
         (before->layerKey > s->layerKey || (before->layerKey == s->layerKey && before->z > s->z)))
    before = before->Previous();
  Sprite* target = before ? before->Next() : heap->firstSprite;
  if (target != s) {
    UnlinkSprite(heap, s);
    InsertBefore(heap, s, target);
  }
}

// Moves `s` towards the tail while its successor sorts before it.
void SortTowardsTail(SpriteHeap* heap, Sprite* s) {
  Sprite* after = s->Next();
  while (after &&
         (after->layerKey < s->layerKey || (after->layerKey == s->layerKey && after->z < s->z)))
    after = after->Next();
  Sprite* target = after;
  if (target != s->Next()) {
    UnlinkSprite(heap, s);
    InsertBefore(heap, s, target);
  }
}

Sprite* NewSprite(GameWindow* window, int layer, int z, std::uint32_t flags, COLORREF fill,
                  std::intptr_t userValue) {
  SpriteHeap* heap = Heap(window);
  if (!heap) return nullptr;
  SpriteBlock* block = AllocateSpriteBlock(heap, sizeof(Sprite));
  if (!block) return nullptr;
  auto* s = reinterpret_cast<Sprite*>(block);
  InsertBefore(heap, s, nullptr);
  s->flags = flags;
  const std::uint32_t key =
      static_cast<std::uint32_t>(layer) * 2 + ((flags & kSpriteSortsFirst) ? 0 : 1);
  s->layerKey = static_cast<std::uint16_t>(key);
  s->z = z;
  s->ink = kInkTransparent;
  s->inkParameter = 0;
  s->pending.scaleX = s->pending.scaleY = 1.0f;
  s->saved = RECT{-1, -1, -1, -1};
  s->cellLeft = 0;
  s->cellRight = -1;
  s->userValue = userValue;
  s->fillColor = fill;
  ImageBank* bank = window->context;
  if ((flags & kSpriteFillErase) && bank && (bank->formatWord & kBankFormatMask) == 3 &&
      bank->workSurface && !(fill & 0x01000000)) {
    const int index = bank->workSurface->GetNearestIndex(fill);
    if (index >= 0) s->fillColor = 0x01000000u | static_cast<std::uint32_t>(index);
  }
  return s;
}

// The common end of both create operations.
Sprite* Settle(GameWindow* window, Sprite* s) {
  s->current = s->pending;
  SortTowardsHead(window->spriteHeap, s);
  if (DriverMode(window)) {
    s->flags |= kSpriteDriverMode;
  } else {
    RebuildOverlaps(window, s);
    if ((s->flags & kSpriteRetained) && !(s->flags & kSpriteHidden)) MarkNeighbours(window, s);
  }
  return s;
}

// Moves `s` to sit just before `target` (null: the tail) within its layer run, handing the z
// values on so that the set of z values stays: every passed sprite takes the z of the one
// after it (moving back) or before it (moving forward).
void MoveWithin(GameWindow* window, Sprite* s, Sprite* target) {
  SpriteHeap* heap = window->spriteHeap;
  if (target == s || target == s->Next()) return;
  // Is target behind s?
  bool back = false;
  for (Sprite* p = s->Previous(); p; p = p->Previous())
    if (p == target) {
      back = true;
      break;
    }
  if (back) {
    // Passed: target .. s->Previous(); s takes target's z.
    std::int32_t z = s->z;
    for (Sprite* p = s->Previous();; p = p->Previous()) {
      std::swap(z, p->z);
      if (p == target) break;
    }
    s->z = z;
  } else {
    // Passed: s->Next() .. target->Previous() (or the tail); s takes the last one's z.
    Sprite* last = target ? target->Previous() : heap->lastSprite;
    std::int32_t z = s->z;
    for (Sprite* p = s->Next();; p = p->Next()) {
      std::swap(z, p->z);
      if (p == last) break;
    }
    s->z = z;
  }
  UnlinkSprite(heap, s);
  InsertBefore(heap, s, target);
  if (s->flags & kSpriteRetained) NoteChanged(window, s);
}

Sprite* FirstOfKey(SpriteHeap* heap, std::uint32_t key) {
  for (Sprite* p = heap->firstSprite; p; p = p->Next())
    if (p->layerKey == key) return p;
  return nullptr;
}

Sprite* LastOfKey(SpriteHeap* heap, std::uint32_t key) {
  for (Sprite* p = heap->lastSprite; p; p = p->Previous())
    if (p->layerKey == key) return p;
  return nullptr;
}

// 1 when `a` comes before `b` in the list.
bool Before(const Sprite* a, const Sprite* b) {
  for (const Sprite* p = a->Next(); p; p = p->Next())
    if (p == b) return true;
  return false;
}

void SetAngle(Sprite* s, float angle, int smooth) {
  s->pending.angle = NormalAngle(angle);
  if (smooth)
    s->flags |= kSpriteSmoothRotate;
  else
    s->flags &= ~kSpriteSmoothRotate;
}

void SetScale(Sprite* s, float scaleX, float scaleY, int resample) {
  s->pending.scaleX = NormalScale(scaleX);
  s->pending.scaleY = NormalScale(scaleY);
  if (resample)
    s->flags |= kSpriteResample;
  else
    s->flags &= ~kSpriteResample;
}

// A change of scale or angle, or of the image of a transformed sprite. The copy made for the
// current geometry stays until the commit makes the new one over it: it is what the sprite
// shows until then, and remaking it in place spares an allocation per change.
void TransformChanged(Sprite* s) { s->flags |= kSpriteTransformChanged; }

}  // namespace
}  // namespace sprite

using namespace sprite;

Sprite* CreateSprite(GameWindow* window, int x, int y, std::intptr_t image, int layer, int z,
                     COLORREF fillColor, std::uint32_t flags, std::intptr_t userValue) {
  flags &= ~(kSpriteTransformChanged | kSpriteDeletePending | kSpriteUncovered | kSpriteOwnerDrawn |
             kSpriteOwnerSaved | kSpriteSmoothRotate | kSpriteScratchMark | kSpriteDriverMode);
  Sprite* s = NewSprite(window, layer, z, flags | kSpriteChanged, fillColor, userValue);
  if (!s) return nullptr;
  s->pending.x = x;
  s->pending.y = y;
  s->pendingImage = s->currentImage = image;
  TakeImageGeometry(window, s);
  PlacePending(s);
  return Settle(window, s);
}

Sprite* CreateOwnerDrawnSprite(GameWindow* window, int left, int top, int right, int bottom,
                               int layer, int z, COLORREF fillColor, std::uint32_t flags,
                               std::intptr_t userValue, SpriteCallback callback) {
  flags &= ~(kSpriteTransformChanged | kSpriteDeletePending | kSpriteUncovered |
             kSpriteSmoothRotate | kSpriteScratchMark | kSpriteDriverMode);
  Sprite* s =
      NewSprite(window, layer, z, flags | kSpriteOwnerDrawn | kSpriteChanged, fillColor, userValue);
  if (!s) return nullptr;
  s->currentImage = s->pendingImage = reinterpret_cast<std::intptr_t>(callback);
  s->pending.x = left;
  s->pending.y = top;
  s->pending.width = Clamp32(std::max<std::int64_t>(std::int64_t{right} - left, 0));
  s->pending.height = Clamp32(std::max<std::int64_t>(std::int64_t{bottom} - top, 0));
  PlacePending(s);
  return Settle(window, s);
}

int DeleteSprite(GameWindow* window, Sprite* sprite) {
  if (!Usable(window, sprite)) return 0;
  DestroySprite(window, sprite);
  return 1;
}

int KillSprite(GameWindow* window, Sprite* sprite) {
  if (!Usable(window, sprite)) return 0;
  sprite->flags &= ~kSpriteBit0;
  sprite->flags |= kSpriteDeletePending | kSpriteChanged;
  if ((sprite->flags & kSpriteRetained) && !(sprite->flags & kSpriteHidden)) {
    CompleteList(window, sprite);  // read below, when the sprite is no longer retained
    sprite->flags &= ~kSpriteRetained;
    if (!(sprite->flags & kSpriteDriverMode)) MarkNeighbours(window, sprite);
  }
  return 1;
}

Sprite* ModifySprite(GameWindow* window, Sprite* sprite, int x, int y, std::intptr_t image) {
  if (!Usable(window, sprite)) return nullptr;
  if (sprite->pending.x == x && sprite->pending.y == y &&
      (IsOwnerDrawn(sprite) || sprite->pendingImage == image))
    return sprite;
  sprite->pending.x = x;
  sprite->pending.y = y;
  if (!IsOwnerDrawn(sprite)) {
    if (sprite->pendingImage != image && Transformed(sprite->pending)) TransformChanged(sprite);
    sprite->pendingImage = image;
    TakeImageGeometry(window, sprite);
  }
  Replaced(window, sprite);
  return sprite;
}

Sprite* ModifySpriteEx(GameWindow* window, Sprite* sprite, int x, int y, std::intptr_t image,
                       float scaleX, float scaleY, int resample, float angle, int smooth) {
  if (!Usable(window, sprite)) return nullptr;
  const SpriteGeometry before = sprite->pending;
  const std::intptr_t imageBefore = sprite->pendingImage;
  const std::uint32_t flagsBefore = sprite->flags;
  sprite->pending.x = x;
  sprite->pending.y = y;
  SetScale(sprite, scaleX, scaleY, resample);
  SetAngle(sprite, angle, smooth);
  if (!IsOwnerDrawn(sprite)) {
    sprite->pendingImage = image;
    TakeImageGeometry(window, sprite);
  }
  const bool transformChanged =
      before.scaleX != sprite->pending.scaleX || before.scaleY != sprite->pending.scaleY ||
      before.angle != sprite->pending.angle ||
      ((flagsBefore ^ sprite->flags) & (kSpriteResample | kSpriteSmoothRotate)) ||
      (imageBefore != sprite->pendingImage && Transformed(sprite->pending));
  if (transformChanged) TransformChanged(sprite);
  if (!transformChanged && before.x == x && before.y == y && imageBefore == sprite->pendingImage)
    return sprite;
  Replaced(window, sprite);
  return sprite;
}

int SetSpriteScale(GameWindow* window, Sprite* sprite, float scaleX, float scaleY, int resample) {
  if (!Usable(window, sprite)) return 0;
  SetScale(sprite, scaleX, scaleY, resample);
  TransformChanged(sprite);
  Replaced(window, sprite);
  return 1;
}

int SetSpriteAngle(GameWindow* window, Sprite* sprite, float angle, int smooth) {
  if (!Usable(window, sprite)) return 0;
  SetAngle(sprite, angle, smooth);
  TransformChanged(sprite);
  Replaced(window, sprite);
  return 1;
}

Sprite* SetSpriteRect(GameWindow* window, Sprite* sprite, int left, int top, int right,
                      int bottom) {
  if (!Usable(window, sprite) || !IsOwnerDrawn(sprite)) return nullptr;
  sprite->pending.x = left;
  sprite->pending.y = top;
  sprite->pending.hotSpotX = sprite->pending.hotSpotY = 0;
  sprite->pending.width = Clamp32(std::max<std::int64_t>(std::int64_t{right} - left, 0));
  sprite->pending.height = Clamp32(std::max<std::int64_t>(std::int64_t{bottom} - top, 0));
  Replaced(window, sprite);
  return sprite;
}

Sprite* SetSpriteInk(GameWindow* window, Sprite* sprite, std::uint32_t effect,
                     EffectParam parameter) {
  if (!Usable(window, sprite)) return nullptr;
  if (sprite->ink == effect && sprite->inkParameter == parameter) return sprite;
  const bool ringChanged = HasRing(sprite->ink) != HasRing(effect);
  sprite->ink = effect;
  sprite->inkParameter = parameter;
  // A new ink changes the pixels even where the sprite stays; a retained sprite is redrawn.
  if (ringChanged) RebuildOverlaps(window, sprite);
  NoteChanged(window, sprite);
  return sprite;
}

int ShowSprite(GameWindow* window, Sprite* sprite, int show) {
  if (!Usable(window, sprite)) return 0;
  if (show) {
    if (!(sprite->flags & (kSpriteHidden | kSpriteHidePending))) return 1;
    sprite->flags &= ~(kSpriteHidden | kSpriteHidePending);
    NoteChanged(window, sprite);
    return 1;
  }
  if (sprite->flags & (kSpriteHidden | kSpriteHidePending)) return 1;
  if (sprite->saved.left == -1 && sprite->saved.top == -1) {
    sprite->flags |= kSpriteHidden;
  } else {
    // Still on screen: the erase step takes it off; what it covered is redrawn.
    NoteChanged(window, sprite);
    sprite->flags |= kSpriteHidePending;
  }
  return 1;
}

int SetSpriteState(GameWindow* window, Sprite* sprite, int code) {
  if (!Heap(window)) return 0;
  if (!sprite) {
    for (Sprite* s = window->spriteHeap->firstSprite; s; s = s->Next()) {
      switch (code) {
        case 0:
          if (!(s->flags & kSpriteRetained)) RebuildOverlaps(window, s);  // list completed
          s->flags |= kSpriteRetained | kSpriteChanged;
          break;
        case 1:
          s->flags |= kSpriteChanged;
          break;
        case 4:
          s->flags &= ~kSpriteFrozen;
          break;
        case 8:
          s->flags |= kSpriteFrozen;
          break;
        case 17:
          if (!(s->flags & (kSpriteHidden | kSpriteSortsFirst))) s->flags |= kSpriteChanged;
          break;
        default:
          s->flags &= ~kSpriteRetained;
          break;
      }
    }
    return 1;
  }
  if (!Usable(window, sprite)) return 0;
  switch (code) {
    case 0:
      if (!(sprite->flags & kSpriteRetained)) RebuildOverlaps(window, sprite);  // list completed
      sprite->flags |= kSpriteRetained;
      NoteChanged(window, sprite);
      break;
    case 1:
      NoteChanged(window, sprite);
      break;
    case 2:
      sprite->flags &= ~kSpriteRetained;
      break;
    case 4:
      if (sprite->flags & kSpriteFrozen) {
        sprite->flags &= ~kSpriteFrozen;
        NoteChanged(window, sprite);
      }
      break;
    case 8:
      sprite->flags |= kSpriteFrozen;
      break;
    default:
      return 0;
  }
  return 1;
}

int SetSpriteState(GameWindow* window, const RECT* area, int code) {
  if (!Heap(window) || !area || code != 32) return 0;
  for (Sprite* s = window->spriteHeap->firstSprite; s; s = s->Next())
    if (RetainedUntouched(s) &&
        (Intersect(*area, TouchedCurrent(s)) || Intersect(*area, TouchedPending(s)))) {
      s->flags |= kSpriteUncovered;
      MarkNeighbours(window, s);
    }
  return 1;
}

int SetSpriteLayer(GameWindow* window, Sprite* sprite, int layer) {
  if (!Usable(window, sprite)) return 0;
  SpriteHeap* heap = window->spriteHeap;
  const std::uint16_t key = static_cast<std::uint16_t>(
      static_cast<std::uint32_t>(layer) * 2 + ((sprite->flags & kSpriteSortsFirst) ? 0 : 1));
  // To the place in the new layer, keeping z: behind every sprite of a greater key when
  // moving back, in front of every sprite of a smaller key when moving forward.
  sprite->layerKey = key;
  Sprite* before = sprite->Previous();
  while (before && before->layerKey > key) before = before->Previous();
  Sprite* target = before ? before->Next() : heap->firstSprite;
  if (target == sprite) {
    Sprite* after = sprite->Next();
    while (after && after->layerKey < key) after = after->Next();
    target = after;
  }
  if (target != sprite && target != sprite->Next()) {
    UnlinkSprite(heap, sprite);
    InsertBefore(heap, sprite, target);
  }
  Sprite* previous = sprite->Previous();
  if (previous && previous->layerKey == key)
    sprite->z =
        previous->z == std::numeric_limits<std::int32_t>::max() ? previous->z : previous->z + 1;
  else
    sprite->z = 1;
  // The new z may sort after sprites of the same layer that follow it.
  SortTowardsTail(heap, sprite);
  NoteChanged(window, sprite);
  return 1;
}

int SpriteToBack(GameWindow* window, Sprite* sprite) {
  if (!Usable(window, sprite)) return 0;
  MoveWithin(window, sprite, FirstOfKey(window->spriteHeap, sprite->layerKey));
  return 1;
}

int SpriteToFront(GameWindow* window, Sprite* sprite) {
  if (!Usable(window, sprite)) return 0;
  MoveWithin(window, sprite, LastOfKey(window->spriteHeap, sprite->layerKey)->Next());
  return 1;
}

int MoveSpriteBehind(GameWindow* window, Sprite* sprite, Sprite* other) {
  if (!Usable(window, sprite) || !Usable(window, other) || sprite == other ||
      sprite->layerKey != other->layerKey || !Before(other, sprite))
    return 0;
  MoveWithin(window, sprite, other);
  return 1;
}

int MoveSpriteInFront(GameWindow* window, Sprite* sprite, Sprite* other) {
  if (!Usable(window, sprite) || !Usable(window, other) || sprite == other ||
      sprite->layerKey != other->layerKey || !Before(sprite, other))
    return 0;
  MoveWithin(window, sprite, other->Next());
  return 1;
}

int MoveSpriteAcross(GameWindow* window, Sprite* sprite, Sprite* other) {
  if (!Usable(window, sprite) || !Usable(window, other) || sprite == other ||
      sprite->layerKey != other->layerKey)
    return 0;
  MoveWithin(window, sprite, Before(sprite, other) ? other->Next() : other);
  return 1;
}

namespace {

// Checks a run and collects its z values; false when it is not a run of one layer key.
bool RunOf(Sprite* first, Sprite* last) {
  for (Sprite* p = first;; p = p->Next()) {
    if (!p || p->layerKey != first->layerKey) return false;
    if (p == last) return true;
  }
}

void Renumber(Sprite* first, Sprite* last, std::int64_t z) {
  for (Sprite* p = first;; p = p->Next()) {
    p->z = Clamp32(z++);
    if (p == last) break;
  }
}

// Marks the moved sprites and restores the order where renumbering crowded the z values of
// the sprites that follow (those with a lower z are passed as well).
void SettleRun(GameWindow* window, Sprite* first, Sprite* last) {
  std::vector<Sprite*> run;
  for (Sprite* p = first;; p = p->Next()) {
    run.push_back(p);
    if (p->flags & kSpriteRetained) NoteChanged(window, p);
    if (p == last) break;
  }
  for (auto it = run.rbegin(); it != run.rend(); ++it) SortTowardsTail(window->spriteHeap, *it);
}

}  // namespace

int MoveSpriteRunBehind(GameWindow* window, Sprite* first, Sprite* last) {
  if (!Usable(window, first) || !Usable(window, last) || !RunOf(first, last)) return 0;
  Sprite* passed = first->Previous();
  if (!passed || passed->layerKey != first->layerKey) return 0;
  SpriteHeap* heap = window->spriteHeap;
  const std::int64_t base = passed->z;
  UnlinkSprite(heap, passed);
  InsertBefore(heap, passed, last->Next());
  Renumber(first, last, base);
  std::int64_t count = 1;
  for (Sprite* p = first; p != last; p = p->Next()) ++count;
  passed->z = Clamp32(base + count);
  SettleRun(window, first, passed);
  return 1;
}

int MoveSpriteRunInFront(GameWindow* window, Sprite* first, Sprite* last) {
  if (!Usable(window, first) || !Usable(window, last) || !RunOf(first, last)) return 0;
  Sprite* passed = last->Next();
  if (!passed || passed->layerKey != first->layerKey) return 0;
  SpriteHeap* heap = window->spriteHeap;
  const std::int64_t base = first->z;
  UnlinkSprite(heap, passed);
  InsertBefore(heap, passed, first);
  passed->z = Clamp32(base);
  Renumber(first, last, base + 1);
  SettleRun(window, passed, last);
  return 1;
}

int SwapSprites(GameWindow* window, Sprite* sprite, Sprite* other) {
  if (!Usable(window, sprite) || !Usable(window, other) || sprite == other) return 0;
  // Places belong to layers: sprites of different layer keys cannot trade them.
  if (sprite->layerKey != other->layerKey) return 0;
  SpriteHeap* heap = window->spriteHeap;
  Sprite* afterSprite = sprite->Next();
  Sprite* afterOther = other->Next();
  if (afterSprite == other) {
    UnlinkSprite(heap, other);
    InsertBefore(heap, other, sprite);
  } else if (afterOther == sprite) {
    UnlinkSprite(heap, sprite);
    InsertBefore(heap, sprite, other);
  } else {
    UnlinkSprite(heap, sprite);
    UnlinkSprite(heap, other);
    InsertBefore(heap, sprite, afterOther);
    InsertBefore(heap, other, afterSprite);
  }
  std::swap(sprite->z, other->z);
  if (sprite->flags & kSpriteRetained) NoteChanged(window, sprite);
  if (other->flags & kSpriteRetained) NoteChanged(window, other);
  return 1;
}

int IsSpriteBehind(GameWindow* window, Sprite* sprite, Sprite* other) {
  if (!Usable(window, sprite) || !Usable(window, other)) return 0;
  return Before(sprite, other) ? 1 : 0;
}

int IsSpriteInFront(GameWindow* window, Sprite* sprite, Sprite* other) {
  if (!Usable(window, sprite) || !Usable(window, other)) return 0;
  return Before(other, sprite) ? 1 : 0;
}

Sprite* FindSpriteOfLayer(GameWindow* window, int layer, int keyBit) {
  SpriteHeap* heap = Heap(window);
  if (!heap) return nullptr;
  if (layer == -1) return heap->firstSprite;
  return FirstOfKey(heap, static_cast<std::uint32_t>(layer) * 2 + (1 - (keyBit & 1)));
}

Sprite* FindLastSpriteOfLayer(GameWindow* window, int layer, int keyBit) {
  SpriteHeap* heap = Heap(window);
  if (!heap) return nullptr;
  if (layer == -1) return heap->lastSprite;
  return LastOfKey(heap, static_cast<std::uint32_t>(layer) * 2 + (1 - (keyBit & 1)));
}

namespace {

Sprite* Neighbour(Sprite* sprite, int options, bool forward) {
  const std::uint32_t wanted = (options & 1) ? kSpriteSortsFirst : 0;
  Sprite* p = forward ? sprite->Next() : sprite->Previous();
  if (options & 2) {
    if (p && (p->flags & kSpriteSortsFirst) == wanted && p->layerKey == sprite->layerKey) return p;
    return nullptr;
  }
  for (; p; p = forward ? p->Next() : p->Previous())
    if ((p->flags & kSpriteSortsFirst) == wanted) return p;
  return nullptr;
}

}  // namespace

Sprite* NextSprite(GameWindow* window, Sprite* sprite, int options) {
  if (!Usable(window, sprite)) return nullptr;
  return Neighbour(sprite, options, true);
}

Sprite* PreviousSprite(GameWindow* window, Sprite* sprite, int options) {
  if (!Usable(window, sprite)) return nullptr;
  return Neighbour(sprite, options, false);
}

int GetSpriteRect(GameWindow* window, Sprite* sprite, RECT* rect) {
  if (!Usable(window, sprite) || !rect) return 0;
  *rect = sprite->current.rect;
  return 1;
}

int GetSpriteScale(GameWindow* window, Sprite* sprite, float* scaleX, float* scaleY,
                   int* resample) {
  const bool usable = Usable(window, sprite);
  if (scaleX) *scaleX = usable ? sprite->current.scaleX : 1.0f;
  if (scaleY) *scaleY = usable ? sprite->current.scaleY : 1.0f;
  if (resample) *resample = usable && (sprite->flags & kSpriteResample) ? 1 : 0;
  return usable ? 1 : 0;
}

float GetSpriteAngle(GameWindow* window, Sprite* sprite, int* smooth) {
  const bool usable = Usable(window, sprite);
  if (smooth) *smooth = usable && (sprite->flags & kSpriteSmoothRotate) ? 1 : 0;
  return usable ? sprite->current.angle : 0.0f;
}

std::uint32_t GetSpriteFlags(GameWindow* window, Sprite* sprite) {
  return Usable(window, sprite) ? sprite->flags : 0;
}

int GetSpriteLayer(GameWindow* window, Sprite* sprite) {
  return Usable(window, sprite) ? sprite->layerKey / 2 : 0;
}

std::intptr_t GetSpriteUserValue(GameWindow* window, Sprite* sprite) {
  return Usable(window, sprite) ? sprite->userValue : 0;
}

std::uint32_t SetSpriteFlags(GameWindow* window, Sprite* sprite, std::uint32_t flags) {
  if (!Usable(window, sprite)) return 0;
  const std::uint32_t previous = sprite->flags;
  sprite->flags = flags;
  // A sprite that becomes retained needs every neighbour in its list.
  if (flags & ~previous & kSpriteRetained) RebuildOverlaps(window, sprite);
  return previous;
}

int SetSpriteBit0(GameWindow* window, Sprite* sprite, int value) {
  if (!Usable(window, sprite)) return 0;
  const int previous = sprite->flags & kSpriteBit0;
  if (value)
    sprite->flags |= kSpriteBit0;
  else
    sprite->flags &= ~kSpriteBit0;
  return previous;
}

int SetLayerCount(GameWindow* window, int count) {
  if (!IsValidWindowObject(window) || count < 0) return 0;
  std::free(window->layers);
  window->layers = nullptr;
  window->layerCount = 0;
  if (count == 0) return 1;
  auto* layers =
      static_cast<LayerRecord*>(std::calloc(static_cast<size_t>(count), sizeof(LayerRecord)));
  if (!layers) return 0;
  for (int i = 0; i < count; ++i) {
    layers[i].factors[0] = layers[i].factors[1] = layers[i].factors[2] = 1.0f;
    layers[i].factors[3] = 0.0f;
  }
  window->layers = layers;
  window->layerCount = count;
  return 1;
}

LayerRecord* GetLayer(GameWindow* window, int index) {
  if (!IsValidWindowObject(window) || index < 0 || index >= window->layerCount) return nullptr;
  return &window->layers[index];
}

int SetLayerEffect(GameWindow* window, int index, std::uint32_t effect, std::uint32_t parameter,
                   std::uint32_t flags) {
  LayerRecord* layer = GetLayer(window, index);
  if (!layer) return 0;
  layer->effect = effect;
  layer->parameter = parameter;
  layer->flags = flags;
  return 1;
}

int DeleteAllSprites(GameWindow* window) {
  SpriteHeap* heap = Heap(window);
  if (!heap) return 0;
  while (heap->firstSprite) DestroySprite(window, heap->firstSprite);
  FreeOverlapIndex(heap);
  return 1;
}
