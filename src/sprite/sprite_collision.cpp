// Collision queries: point, rectangle, moving-sprite and map tests over the display list.
//
// Every sprite taking part in a fine test becomes a Shape: its mask (or, without one, a solid
// rectangle of its size) with the hot spot, position, scale and angle it is drawn with. Shapes
// answer "is screen pixel (x, y) solid" exactly as the sprite is drawn; the tests either run
// the mask kernels when both sides are plain (unscaled, unturned) masks or map the pixels of
// one side into the other.
#include <vexa/sprite_collision.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <vexa/collision_map.h>
#include <vexa/image_bank.h>

#include "bank/mask/mask_tests.h"
#include "bank/mask/mask_transform.h"
#include "sprite/sprite_internal.h"

namespace sprite {
namespace {

constexpr int kFeetRows = 6;
// Beyond this many pixels a per-pixel comparison stops and answers by the boxes: only
// absurd scales reach it (the redraw cycle could not draw such a sprite either).
constexpr std::int64_t kPixelBudget = std::int64_t{1} << 24;

struct Box {
  std::int64_t left, top, right, bottom;  // right and bottom exclusive
  bool Empty() const { return left >= right || top >= bottom; }
};

Box Meet(const Box& a, const Box& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}
Box FromRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

std::int64_t FloorClamped(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<std::int64_t>(std::floor(std::clamp(v, -4e12, 4e12)));
}

struct Shape {
  const std::uint8_t* bits;  // null: the whole rectangle is solid
  int width, height;
  int hotX, hotY;
  std::int64_t x, y;  // where the hot spot is drawn
  vexa::MaskTransform t;
  float angle;
  int firstRow;  // rows above it take no part
  bool plain;    // neither scaled nor turned
  Box clip;      // the drawn rectangle: nothing outside it is shown

  // The mask pixel shown at screen pixel (px, py), unchecked.
  vexa::MaskCell Cell(std::int64_t px, std::int64_t py) const {
    const std::int64_t dx = px - x, dy = py - y;
    if (plain) return {dx + hotX, dy + hotY};
    if (!t.rotated)
      return {hotX + FloorClamped(static_cast<double>(dx) / t.scaleX),
              hotY + FloorClamped(static_cast<double>(dy) / t.scaleY)};
    return vexa::MapToCell(t, dx, dy, hotX, hotY, width, height);
  }
  bool Solid(std::int64_t px, std::int64_t py) const {
    if (px < clip.left || px >= clip.right || py < clip.top || py >= clip.bottom) return false;
    const vexa::MaskCell c = Cell(px, py);
    if (c.x < 0 || c.y < firstRow || c.x >= width || c.y >= height) return false;
    return !bits || vexa::MaskRowBit(bits + c.y * MaskRowBytes(width), c.x);
  }
  // Every screen pixel that can be solid lies inside.
  Box Bounds() const { return Meet(clip, Reach()); }
  Box Reach() const {
    if (plain) return {x - hotX, y - hotY + firstRow, x - hotX + width, y - hotY + height};
    if (!t.rotated)
      return {x + FloorClamped(-hotX * static_cast<double>(t.scaleX)) - 1,
              y + FloorClamped((firstRow - hotY) * static_cast<double>(t.scaleY)) - 1,
              x + FloorClamped((width - hotX) * static_cast<double>(t.scaleX)) + 2,
              y + FloorClamped((height - hotY) * static_cast<double>(t.scaleY)) + 2};
    const vexa::OffsetBox b = vexa::PlacedBounds(t, hotX, hotY, width, height, firstRow);
    return {x + b.left, y + b.top, x + b.right, y + b.bottom};
  }
};

// A shape for a mask (or a solid width x height rectangle when `mask` is null) drawn with its
// hot spot at (x, y) inside the rectangle `clip`. Empty (zero size) when the scales or angle
// place nothing.
Shape MakeShape(const CollisionMask* mask, int width, int height, int hotX, int hotY,
                std::int64_t x, std::int64_t y, float angle, float scaleX, float scaleY,
                const Box& clip) {
  Shape s{};
  s.clip = clip;
  if (!vexa::UsableMaskTransform(angle, scaleX, scaleY) || scaleX < 0 || scaleY < 0) return s;
  if (mask) {
    s.bits = MaskBits(mask);
    width = mask->width;
    height = mask->height;
  }
  s.width = std::max(width, 0);
  s.height = std::max(height, 0);
  s.hotX = hotX;
  s.hotY = hotY;
  // The usual plain case skips the trigonometry.
  s.t = angle == 0.0f && scaleX == 1.0f && scaleY == 1.0f
            ? vexa::MaskTransform{false, false, 1.0, 0.0, 1.0f, 1.0f}
            : vexa::MakeMaskTransform(angle, scaleX, scaleY);
  s.angle = angle;
  s.plain = !s.t.rotated && !s.t.scaled;
  // The quarter turns land one pixel off the general formula's placement.
  s.x = x - (angle == 180.0f || angle == 270.0f ? 1 : 0);
  s.y = y - (angle == 90.0f || angle == 180.0f ? 1 : 0);
  return s;
}

bool EmptyShape(const Shape& s) { return s.width <= 0 || s.height <= s.firstRow; }

// Any solid pixel of `s` inside `area`, by visiting the pixels (bounded by the budget).
bool AnyPixel(const Shape& s, const Box& area, const Shape* other) {
  const Box box = Meet(area, s.Bounds());
  if (box.Empty()) return false;
  if ((box.right - box.left) > kPixelBudget / std::max<std::int64_t>(box.bottom - box.top, 1))
    return true;
  for (std::int64_t py = box.top; py < box.bottom; ++py)
    for (std::int64_t px = box.left; px < box.right; ++px)
      if (s.Solid(px, py) && (!other || other->Solid(px, py))) return true;
  return false;
}

int ToInt(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

// Any solid pixel of `s` inside `area` (screen pixels, right and bottom exclusive).
bool ShapeInRect(const Shape& s, Box area) {
  area = Meet(area, s.clip);
  if (EmptyShape(s) || area.Empty()) return false;
  if (!s.t.rotated) {
    // Column and row of the mask are monotone in the screen pixel: the corners bound them.
    const vexa::MaskCell a = s.Cell(area.left, area.top);
    const vexa::MaskCell b = s.Cell(area.right - 1, area.bottom - 1);
    const std::int64_t left = std::max<std::int64_t>(a.x, 0);
    const std::int64_t top = std::max<std::int64_t>(a.y, s.firstRow);
    const std::int64_t right = std::min<std::int64_t>(b.x + 1, s.width);
    const std::int64_t bottom = std::min<std::int64_t>(b.y + 1, s.height);
    if (left >= right || top >= bottom) return false;
    if (!s.bits) return true;
    return TestMaskRect(s.bits, s.width, s.height, static_cast<int>(left), static_cast<int>(top),
                        static_cast<int>(right - left), static_cast<int>(bottom - top)) != 0;
  }
  return AnyPixel(s, area, nullptr);
}

// Any screen pixel solid in both shapes.
bool ShapesMeet(const Shape& a, const Shape& b) {
  if (EmptyShape(a) || EmptyShape(b)) return false;
  if (!b.bits && a.bits) return ShapesMeet(b, a);
  if (!a.bits) {
    if (a.plain) return ShapeInRect(b, a.Bounds());
    return AnyPixel(a, b.Bounds(), &b);
  }
  if (a.plain && b.plain) {
    // Both as plain masks, B relative to A; offsets beyond the int range cannot meet.
    const std::int64_t dx = (b.x - b.hotX) - (a.x - a.hotX);
    const std::int64_t dy = (b.y - b.hotY + b.firstRow) - (a.y - a.hotY + a.firstRow);
    if (dx != ToInt(dx) || dy != ToInt(dy)) return false;
    return TestMaskOverlap(a.bits + a.firstRow * MaskRowBytes(a.width),
                           b.bits + b.firstRow * MaskRowBytes(b.width), 0, 0, a.width,
                           a.height - a.firstRow, static_cast<int>(dx), static_cast<int>(dy),
                           b.width, b.height - b.firstRow) != 0;
  }
  if (b.plain) return ShapesMeet(b, a);
  if (!a.plain) return AnyPixel(a, b.Bounds(), &b);
  const std::int64_t left = a.x - a.hotX, top = a.y - a.hotY + a.firstRow;
  const std::uint8_t* rowsA = a.bits + a.firstRow * MaskRowBytes(a.width);
  // A's set pixels, mapped into the scaled or turned B: every drawn pixel of B is compared.
  const Box box = Meet(a.Bounds(), b.Bounds());
  if (box.Empty()) return false;
  const std::int64_t rowBytes = MaskRowBytes(a.width);
  for (std::int64_t py = box.top; py < box.bottom; ++py)
    if (vexa::AnySetBitIn(rowsA + (py - top) * rowBytes, box.left - left, box.right - left,
                          [&](std::int64_t mx) { return b.Solid(mx + left, py); }))
      return true;
  return false;
}

}  // namespace
}  // namespace sprite

namespace sprite {
namespace {

bool UsesMask(GameWindow* window, const Sprite* s) {
  return window->fineCollision != 0 && !(s->flags & kSpriteBoxOnly);
}

CollisionMask* CallbackMask(Sprite* s, std::intptr_t callback, int kind) {
  auto* draw = reinterpret_cast<SpriteCallback>(callback);
  return draw ? reinterpret_cast<CollisionMask*>(draw(s, kSpriteGetMask, kind & 1)) : nullptr;
}

CollisionMask* MaskOf(GameWindow* window, Sprite* s, std::intptr_t image, int kind) {
  if (IsOwnerDrawn(s)) return CallbackMask(s, s->currentImage, kind);
  if (image == 0) image = s->currentImage;
  if (!window->context || image <= 0 || image > std::numeric_limits<int>::max()) return nullptr;
  return GetImageMask(window->context, static_cast<int>(image),
                      static_cast<std::uint32_t>(kind & 1));
}

// A listed sprite as drawn at its current geometry, by `mask` or as a solid rectangle.
Shape CurrentShape(const Sprite* s, const CollisionMask* mask) {
  const SpriteGeometry& g = s->current;
  const bool ownHotSpot = mask && IsOwnerDrawn(s);
  return MakeShape(mask, g.width, g.height, ownHotSpot ? mask->hotSpotX : g.hotSpotX,
                   ownHotSpot ? mask->hotSpotY : g.hotSpotY, g.x, g.y, g.angle, g.scaleX, g.scaleY,
                   FromRect(g.rect));
}

// The mask a listed sprite answers with in a query (null: its box or rectangle decides);
// false when the query passes over it.
bool QueryMask(GameWindow* window, Sprite* s, int options, bool wantMask, CollisionMask** mask) {
  *mask = nullptr;
  if (s->flags & kSpriteDeletePending) return false;
  int kind = kSpriteMaskFull;
  if ((options & kCollideTopEdge) && (s->flags & kSpriteHasTopEdge)) {
    if (options & kCollideSkipTopEdge) return false;
    kind = kSpriteMaskTopEdge;
  }
  if (wantMask) *mask = MaskOf(window, s, 0, kind);
  return true;
}

bool PointHits(GameWindow* window, Sprite* s, std::int64_t x, std::int64_t y, int options,
               bool alwaysMask) {
  CollisionMask* mask = nullptr;
  if (!QueryMask(window, s, options, alwaysMask || UsesMask(window, s), &mask)) return false;
  Shape shape = CurrentShape(s, mask);
  if (!mask && !shape.t.rotated) return true;  // the rectangle holds the point
  // Top-edge queries read a plain mask at the offset from the position itself.
  if (mask && shape.plain && (options & kCollideTopEdge)) shape.hotX = shape.hotY = 0;
  return shape.Solid(x, y);
}

bool RectHits(GameWindow* window, Sprite* s, const Box& area, int options) {
  CollisionMask* mask = nullptr;
  if (!QueryMask(window, s, options, UsesMask(window, s), &mask)) return false;
  const Shape shape = CurrentShape(s, mask);
  if (!mask && !shape.t.rotated) return true;
  return ShapeInRect(shape, area);
}

// The walk of the point and rectangle queries: display order from after `start`, through the
// layer filter; the first sprite `hit` accepts.
template <class Hit>
Sprite* Walk(GameWindow* window, Sprite* start, int layer, int options, Hit hit) {
  SpriteHeap* heap = Heap(window);
  if (!heap || (start && !Usable(window, start))) return nullptr;
  const unsigned parity = (options & kCollideTopEdge) ? 0u : 1u;
  const std::int64_t wanted = layer >= 0 ? std::int64_t{layer} * 2 + parity : -1;
  for (Sprite* s = start ? start->Next() : heap->firstSprite; s; s = s->Next()) {
    if (wanted >= 0) {
      if (s->layerKey < wanted) continue;
      if (s->layerKey > wanted) break;  // the list is sorted by key
    } else if ((s->layerKey & 1u) != parity) {
      continue;
    }
    if (!(options & kCollideAnySprite) && !(s->flags & kSpriteCollides)) continue;
    if (hit(s)) return s;
  }
  return nullptr;
}

// ---- the moving sprite ---------------------------------------------------------------------

struct Mover {
  Sprite* sprite;
  std::uint16_t key;  // the only layer key searched
  Box box;            // its drawn box, bottom rows applied
  Shape shape;        // its mask, or its solid rectangle
  bool hasMask;
  int options;
};

bool PlaceMover(GameWindow* window, Sprite* s, std::intptr_t image, int x, int y, float angle,
                float scaleX, float scaleY, int bottomRows, int options, bool arrayForm, Mover* m) {
  if (!(options & kCollideTopEdge) && !(s->flags & kSpriteCollides)) return false;
  scaleX = NormalScale(scaleX);
  scaleY = NormalScale(scaleY);
  if (scaleX == 0.0f || scaleY == 0.0f) return false;
  SpriteGeometry g{};
  g.x = x;
  g.y = y;
  g.scaleX = scaleX;
  g.scaleY = scaleY;
  g.angle = NormalAngle(angle);
  CollisionMask* mask = nullptr;
  if (IsOwnerDrawn(s)) {
    mask = CallbackMask(s, s->currentImage, kSpriteMaskFull);
    const RECT& r = s->current.rect;
    g.width = mask ? mask->width : Clamp32(std::int64_t{r.right} - r.left);
    g.height = mask ? mask->height : Clamp32(std::int64_t{r.bottom} - r.top);
    g.hotSpotX = mask ? mask->hotSpotX : s->current.hotSpotX;
    g.hotSpotY = mask ? mask->hotSpotY : s->current.hotSpotY;
  } else {
    if (image == 0) image = s->currentImage;
    if (arrayForm && image == s->currentImage) {
      g.width = s->current.width;
      g.height = s->current.height;
      g.hotSpotX = s->current.hotSpotX;
      g.hotSpotY = s->current.hotSpotY;
    } else if (!ImageGeometry(window->context, image, &g.width, &g.height, &g.hotSpotX,
                              &g.hotSpotY)) {
      return false;
    }
    if (UsesMask(window, s)) mask = MaskOf(window, s, image, kSpriteMaskFull);
  }
  if (s->flags & kSpriteNoHotSpot) g.hotSpotX = g.hotSpotY = 0;
  if (!UsesMask(window, s)) mask = nullptr;
  m->sprite = s;
  m->key = static_cast<std::uint16_t>((options & kCollideTopEdge) ? s->layerKey & ~1u
                                                                  : s->layerKey | 1u);
  m->box = FromRect(GeometryRect(g));
  m->shape = MakeShape(mask, g.width, g.height, g.hotSpotX, g.hotSpotY, x, y, g.angle, scaleX,
                       scaleY, m->box);
  m->hasMask = mask != nullptr;
  m->options = options;
  if (bottomRows > 0) {
    m->box.top = std::max(m->box.top, m->box.bottom - bottomRows);
    m->shape.clip = m->box;
    m->shape.firstRow = m->shape.height - std::min(bottomRows, m->shape.height);
  }
  return !m->box.Empty();
}

bool IsCandidate(const Mover& m, const Sprite* o) {
  if (o == m.sprite || o->layerKey != m.key || !(o->flags & kSpriteCollides) ||
      (o->flags & kSpriteDeletePending))
    return false;
  const RECT& r = o->current.rect;
  return m.box.left < r.right && r.left < m.box.right && m.box.top < r.bottom &&
         r.top < m.box.bottom;
}

bool PairHits(GameWindow* window, const Mover& m, Sprite* o) {
  CollisionMask* mask = nullptr;
  if (!QueryMask(window, o, m.options, UsesMask(window, o), &mask)) return false;
  const Shape other = CurrentShape(o, mask);
  if (!mask || !m.hasMask) {
    const bool turned = other.t.rotated || m.shape.t.rotated;
    if (!mask && !m.hasMask && !turned) return true;  // the boxes decide
    if (!mask && !other.t.rotated && m.hasMask)
      return ShapeInRect(m.shape, FromRect(o->current.rect));
    if (mask && !m.hasMask && !m.shape.t.rotated) return ShapeInRect(other, m.box);
  }
  return ShapesMeet(m.shape, other);
}

// The sprites of the mover's key whose rectangles meet its box, in display order.
void Candidates(GameWindow* window, const Mover& m, std::vector<Sprite*>* out) {
  out->clear();
  const RECT area{Clamp32(m.box.left), Clamp32(m.box.top), Clamp32(m.box.right),
                  Clamp32(m.box.bottom)};
  if (DriverMode(window) || !IndexedSprites(window, area, out)) {
    for (Sprite* s = window->spriteHeap->firstSprite; s; s = s->Next())
      if (IsCandidate(m, s)) out->push_back(s);
    return;
  }
  out->erase(
      std::remove_if(out->begin(), out->end(), [&](const Sprite* s) { return !IsCandidate(m, s); }),
      out->end());
  // One key: display order is z order, and sprites of equal z lie together in the list in
  // their display order; such runs are put in order by walking that stretch of the list.
  std::sort(out->begin(), out->end(), [](const Sprite* a, const Sprite* b) { return a->z < b->z; });
  for (auto run = out->begin(); run != out->end();) {
    auto end = std::find_if(run, out->end(), [&](const Sprite* s) { return s->z != (*run)->z; });
    if (end - run > 1) {
      Sprite* s = *run;
      while (s->Previous() && s->Previous()->layerKey == s->layerKey && s->Previous()->z == s->z)
        s = s->Previous();
      for (auto placed = run; s && placed != end; s = s->Next()) {
        auto it = std::find(placed, end, s);
        if (it != end) std::iter_swap(placed++, it);
      }
    }
    run = end;
  }
}

void Put(SpriteHit* results, int index, Sprite* s) {
  if (results) results[index] = SpriteHit{s, s ? s->userValue : 0};
}

// Filters the entries of `from` (ended by a null sprite) into `to`; `to` may be `from`, as
// every entry is read before its place can be written.
int FilterEntries(GameWindow* window, const Mover& m, SpriteHit* to, const SpriteHit* from) {
  int count = 0;
  for (int i = 0; from && from[i].sprite; ++i) {
    Sprite* o = from[i].sprite;
    if (!Usable(window, o) || !IsCandidate(m, o) || !PairHits(window, m, o)) continue;
    Put(to, count++, o);
  }
  Put(to, count, nullptr);
  return count;
}

}  // namespace
}  // namespace sprite

using namespace sprite;

CollisionMask* GetSpriteMask(GameWindow* window, Sprite* sprite, std::intptr_t image, int kind) {
  if (!Usable(window, sprite)) return nullptr;
  return MaskOf(window, sprite, image, kind);
}

CollisionMask* GetSpritePendingMask(GameWindow* window, Sprite* sprite, int kind) {
  if (!Usable(window, sprite)) return nullptr;
  if (IsOwnerDrawn(sprite)) return CallbackMask(sprite, sprite->pendingImage, kind);
  if (sprite->pendingImage == 0) return nullptr;
  return MaskOf(window, sprite, sprite->pendingImage, kind);
}

Sprite* FindSpriteAtPoint(GameWindow* window, Sprite* start, int layer, int x, int y, int options) {
  auto inside = [&](const Sprite* s) {
    const RECT& r = s->current.rect;
    return r.left <= x && x < r.right && r.top <= y && y < r.bottom;
  };
  if (options & kCollideOnlyThis) {
    if (!Usable(window, start)) return nullptr;
    const bool hit = inside(start) && PointHits(window, start, x, y, options, true);
    return hit ? reinterpret_cast<Sprite*>(std::intptr_t{1}) : nullptr;
  }
  return Walk(window, start, layer, options,
              [&](Sprite* s) { return inside(s) && PointHits(window, s, x, y, options, false); });
}

Sprite* FindSpriteInRect(GameWindow* window, Sprite* start, int layer, int x, int y, int width,
                         int height, int options) {
  const Box area{x, y, std::int64_t{x} + width, std::int64_t{y} + height};
  return Walk(window, start, layer, options, [&](Sprite* s) {
    const RECT& r = s->current.rect;
    return r.right >= area.left && r.left < area.right && r.bottom >= area.top &&
           r.top < area.bottom && RectHits(window, s, area, options);
  });
}

Sprite* FindCollidingSprite(GameWindow* window, Sprite* sprite, std::intptr_t image, int x, int y,
                            float angle, float scaleX, float scaleY, int bottomRows, int options) {
  Mover m{};
  if (!Usable(window, sprite) || !PlaceMover(window, sprite, image, x, y, angle, scaleX, scaleY,
                                             bottomRows, options, false, &m))
    return nullptr;
  thread_local std::vector<Sprite*> candidates;
  Candidates(window, m, &candidates);
  for (Sprite* o : candidates)
    if (PairHits(window, m, o)) return o;
  return nullptr;
}

int FindAllCollidingSprites(GameWindow* window, Sprite* sprite, SpriteHit* results,
                            std::intptr_t image, int x, int y, float angle, float scaleX,
                            float scaleY, int options) {
  Mover m{};
  if (!Usable(window, sprite) ||
      !PlaceMover(window, sprite, image, x, y, angle, scaleX, scaleY, 0, options, true, &m)) {
    Put(results, 0, nullptr);
    return 0;
  }
  if (options & kCollideFromArray) return FilterEntries(window, m, results, results);
  thread_local std::vector<Sprite*> candidates;
  Candidates(window, m, &candidates);
  int count = 0;
  for (Sprite* o : candidates)
    if (PairHits(window, m, o)) Put(results, count++, o);
  Put(results, count, nullptr);
  return count;
}

int FilterCollidingSprites(GameWindow* window, Sprite* sprite, SpriteHit* results,
                           const SpriteHit* candidates, std::intptr_t image, int x, int y,
                           float angle, float scaleX, float scaleY, int options) {
  Mover m{};
  const int rows = (options & kCollideFeet) ? kFeetRows : 0;
  if (!Usable(window, sprite) || !candidates ||
      !PlaceMover(window, sprite, image, x, y, angle, scaleX, scaleY, rows, options, true, &m)) {
    Put(results, 0, nullptr);
    return 0;
  }
  return FilterEntries(window, m, results, candidates);
}

int TestSpriteInMap(GameWindow* window, Sprite* sprite, std::intptr_t image, int x, int y,
                    float angle, float scaleX, float scaleY, int bottomRows, int plane) {
  if (!Usable(window, sprite) || !window->planeMemory || (window->planeRowBytes & 1)) return 0;
  const std::int32_t offset =
      plane == kMapTestTopEdge ? window->topEdgePlaneOffset : window->solidPlaneOffset;
  if (offset < 0) return 0;
  scaleX = NormalScale(scaleX);
  scaleY = NormalScale(scaleY);
  angle = NormalAngle(angle);
  if (scaleX == 0.0f || scaleY == 0.0f) return 0;

  // The box: the given image placed by its hot spot, or the current rectangle moved along.
  const bool current = image == 0 || image == sprite->currentImage;
  SpriteGeometry g{};
  g.x = x;
  g.y = y;
  g.scaleX = scaleX;
  g.scaleY = scaleY;
  g.angle = angle;
  bool fromImage = false;  // an image other than the current one, which exists
  if (current) {
    g.width = sprite->current.width;
    g.height = sprite->current.height;
    g.hotSpotX = sprite->current.hotSpotX;
    g.hotSpotY = sprite->current.hotSpotY;
  } else if (!IsOwnerDrawn(sprite)) {
    fromImage =
        ImageGeometry(window->context, image, &g.width, &g.height, &g.hotSpotX, &g.hotSpotY);
    if (sprite->flags & kSpriteNoHotSpot) g.hotSpotX = g.hotSpotY = 0;
  }
  Box box{};
  if (fromImage) {
    box = FromRect(GeometryRect(g));
  } else {
    const RECT& r = sprite->current.rect;
    const std::int64_t dx = std::int64_t{x} - sprite->current.x;
    const std::int64_t dy = std::int64_t{y} - sprite->current.y;
    box = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
  }
  if (bottomRows > 0) box.top = std::max(box.top, box.bottom - bottomRows);
  auto boxTest = [&] {
    if (box.Empty() || box.left != ToInt(box.left) || box.top != ToInt(box.top)) return 0;
    return TestRectInMap(window, static_cast<int>(box.left), static_cast<int>(box.top),
                         ToInt(box.right - box.left), ToInt(box.bottom - box.top), plane);
  };

  CollisionMask* mask =
      UsesMask(window, sprite) ? MaskOf(window, sprite, image, kSpriteMaskFull) : nullptr;
  if (!mask) return boxTest();
  if (IsOwnerDrawn(sprite)) {
    g.hotSpotX = mask->hotSpotX;
    g.hotSpotY = mask->hotSpotY;
  } else if (!current && !fromImage) {
    return boxTest();
  }
  g.width = mask->width;
  g.height = mask->height;
  Box drawn = FromRect(GeometryRect(g));
  if (bottomRows > 0) drawn.top = std::max(drawn.top, drawn.bottom - bottomRows);
  Shape shape = MakeShape(mask, 0, 0, g.hotSpotX, g.hotSpotY, x, y, angle, scaleX, scaleY, drawn);
  if (bottomRows > 0) shape.firstRow = shape.height - std::min(bottomRows, shape.height);
  // The plane as a plain mask, its top-left corner at the map's position on the display.
  Shape map{};
  map.bits = window->planeMemory + offset;
  map.width = window->planeRowBytes * 8;
  map.height = window->mapBottom - window->mapTop + 1;
  map.x = std::int64_t{window->mapLeft} - window->scrollX;
  map.y = std::int64_t{window->mapTop} - window->scrollY;
  map.plain = true;
  map.clip = {map.x, map.y, map.x + map.width, map.y + map.height};
  map.t = vexa::MaskTransform{false, false, 1.0, 0.0, 1.0f, 1.0f};
  return ShapesMeet(map, shape) ? 1 : 0;
}
