// Shared pieces of the sprite manager: list walking, geometry, the overlap index and marking.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include <vexa/game_window.h>
#include <vexa/image_bank.h>
#include <vexa/sprite.h>

#include "window/game_window.h"

namespace sprite {

// Surface kinds of display-driver surfaces: every sprite is drawn every frame on them.
inline constexpr int kFirstDriverKind = 9;
inline constexpr int kLastDriverKind = 27;

// The mask of flags that decides whether a retained sprite may stay as it is on screen.
inline constexpr std::uint32_t kRetainedStateMask = 0x18C8;  // retained, untouched, visible
inline constexpr std::uint32_t kKeepMask = 0x1048;           // retained, unchanged, unmarked

inline SpriteHeap* Heap(GameWindow* window) {
  return IsValidWindowObject(window) ? window->spriteHeap : nullptr;
}
inline bool Usable(GameWindow* window, Sprite* sprite) {
  return sprite && Heap(window) && sprite->block.state == kBlockUsed;
}
inline bool IsOwnerDrawn(const Sprite* s) { return (s->flags & kSpriteOwnerDrawn) != 0; }
inline bool HasRing(std::uint32_t ink) { return (ink & kInkSmoothing) != 0; }
inline bool RetainedUntouched(const Sprite* s) {
  return (s->flags & kRetainedStateMask) == kSpriteRetained;
}
inline bool KeptOnScreen(const Sprite* s) { return (s->flags & kKeepMask) == kSpriteRetained; }
inline bool DriverMode(GameWindow* window) {
  return window->context && (window->context->formatWord & 0x10) != 0;
}
bool IsDriverSurface(cSurfaceImplementation* surface);

inline bool HasSaved(const Sprite* s) { return !(s->saved.left == -1 && s->saved.top == -1); }
inline bool Intersect(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
inline bool Empty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }
// Saturates a 64-bit coordinate into the int range.
inline std::int32_t Clamp32(std::int64_t value) {
  return static_cast<std::int32_t>(value < INT32_MIN   ? INT32_MIN
                                   : value > INT32_MAX ? INT32_MAX
                                                       : value);
}
inline RECT Grow(const RECT& r, int by) {  // saturating at the int range
  return RECT{Clamp32(std::int64_t{r.left} - by), Clamp32(std::int64_t{r.top} - by),
              Clamp32(std::int64_t{r.right} + by), Clamp32(std::int64_t{r.bottom} + by)};
}
inline RECT Union(const RECT& a, const RECT& b) {
  if (Empty(a)) return b;
  if (Empty(b)) return a;
  return RECT{a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
              a.right > b.right ? a.right : b.right, a.bottom > b.bottom ? a.bottom : b.bottom};
}
// The area a sprite draws at its current rectangle (the smoothing ring included).
inline RECT DrawnArea(const Sprite* s) {
  return HasRing(s->ink) ? Grow(s->current.rect, 1) : s->current.rect;
}
// The area a sprite's pixels may touch at its current or pending rectangle (the smoothing
// ring included); the current one also covers where it was last drawn, since an ink change
// may have taken the ring away.
inline RECT TouchedCurrent(const Sprite* s) {
  const RECT r = DrawnArea(s);
  return HasSaved(s) ? Union(r, s->saved) : r;
}
inline RECT TouchedPending(const Sprite* s) {
  return HasRing(s->ink) ? Grow(s->pending.rect, 1) : s->pending.rect;
}

// Size and hot spot of a bank image; false when the image does not exist.
bool ImageGeometry(ImageBank* bank, std::intptr_t image, int* width, int* height, int* hotX,
                   int* hotY);

// Angles as stored: modulo 360 into [0, 360), non-finite ones 0. Scales as stored: negative
// and non-finite ones 0.
float NormalAngle(float angle);
float NormalScale(float scale);
// The on-screen rectangle of a geometry: size and hot spot scaled (truncated), the box of the
// rectangle turned about the hot spot, placed by the hot spot at the position.
RECT GeometryRect(const SpriteGeometry& g);

// Display-list surgery; both keep the heap's head and tail.
void UnlinkSprite(SpriteHeap* heap, Sprite* s);
void InsertBefore(SpriteHeap* heap, Sprite* s, Sprite* before);  // null: at the tail

// Overlap lists (software mode). RebuildOverlaps queues the sprite's list for a rebuild;
// SettleOverlaps rebuilds every queued list, in the order of the changes. Whatever reads the
// lists or the index settles them first.
void RebuildOverlaps(GameWindow* window, Sprite* s);
void SettleOverlaps(GameWindow* window);
void RemoveFromOverlaps(GameWindow* window, Sprite* s);
void FreeOverlapIndex(SpriteHeap* heap);
// Appends every sprite entered in the index cells that `area` covers, each once, in no
// particular order (a superset of the software-mode sprites whose current rectangle meets
// `area`). False when there is no index yet.
bool IndexedSprites(GameWindow* window, const RECT& area, std::vector<Sprite*>* out);
bool ListContains(const Sprite* s, const Sprite* other);
// Settles the lists and, when `s` is retained but its list holds only the neighbours with
// complete lists (its flag was set directly), rebuilds its list first.
void CompleteList(GameWindow* window, Sprite* s);
// Gives every retained, untouched sprite reachable through overlap lists from `s` the
// uncovered mark.
void MarkNeighbours(GameWindow* window, Sprite* s);
// Before sprites are erased: gives every retained, untouched sprite with a saved background
// that a sprite on screen and not retained touches (with its current or next rectangle) the
// uncovered mark, and marks its neighbours.
void MarkUncoveredRetained(GameWindow* window);
// A change of `s` that needs redrawing: marks it changed and, when it is retained and on
// screen, its neighbours.
void NoteChanged(GameWindow* window, Sprite* s);

// Adds a rectangle to the window's dirty list.
inline void ReportDirty(GameWindow* window, const RECT& rect) { AddDirtyRect(window, &rect); }

// The first run of set bits at or after bit `x` of a bit row of `words` 64-bit words, ending
// at bit `width` at the latest: [*left, *right). False when no bit from x on is set.
inline bool NextRun(const std::uint64_t* row, int words, int width, int x, int* left, int* right) {
  int w = x >> 6;
  std::uint64_t bits = row[w] & (~std::uint64_t{0} << (x & 63));
  while (!bits && ++w < words) bits = row[w];
  if (!bits) return false;
  *left = w * 64 + __builtin_ctzll(bits);
  // The next clear bit from left.
  bits = ~row[w] & (~std::uint64_t{0} << (*left & 63));
  while (!bits && ++w < words) bits = ~row[w];
  *right = bits ? std::min(w * 64 + __builtin_ctzll(bits), width) : width;
  return true;
}

// The area one redraw step touched, gathered on a grid of tiles over the display and reported
// to the window's dirty-rectangle list by Report() as few rectangles, none of which overlaps
// another or a listed one (sprite_dirty.cpp). Windows without a list gather nothing.
class DirtyArea {
 public:
  DirtyArea(GameWindow* window, const cSurfaceImplementation* display);
  void Add(const RECT& r);
  void Report();

 private:
  void Mark(std::vector<std::uint64_t>& map, int x0, int y0, int x1, int y1, bool set);
  void TakeOutListed();
  GameWindow* window_;
  int width_ = 0, height_ = 0, columns_ = 0, rows_ = 0, words_ = 0;
  int first_ = INT32_MAX, last_ = INT32_MIN;  // rows of tiles marked
  std::vector<std::uint64_t> tiles_, partial_;
};

// Destroys a sprite's transformed surface.
void DropTransformed(Sprite* s);
// Deletes a sprite as DeleteSprite does.
void DestroySprite(GameWindow* window, Sprite* s);

}  // namespace sprite
