// Overlap lists and the grid that finds candidates for them.
//
// Each sprite lists the sprites whose current or pending rectangle meets the union of its own
// two rectangles; the lists are symmetric and rebuilt whenever a rectangle changes. Rebuilding
// by a scan of the display list would cost a test per sprite per change, so candidates come
// from a uniform grid instead: every sprite is entered in the cells its two rectangles cover
// (coordinates outside the grid are clamped to its border cells), and the exact test decides
// as a scan would. The result is the same list the scan gives.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "sprite/sprite_internal.h"

namespace sprite {
namespace {

constexpr int kCellShift = 5;   // 32-pixel cells
constexpr int kGridCells = 64;  // per axis: 2048 pixels, from 0

struct OverlapIndex {
  std::vector<Sprite*> cells[kGridCells * kGridCells];
  std::uint32_t stamp = 0;
};

OverlapIndex* Index(SpriteHeap* heap) {
  if (!heap->index) heap->index = new (std::nothrow) OverlapIndex;
  return static_cast<OverlapIndex*>(heap->index);
}

int Cell(std::int32_t coordinate) {
  if (coordinate < 0) return 0;
  return std::min(coordinate >> kCellShift, kGridCells - 1);
}

// The sprite's search area: both rectangles with their rings.
RECT SearchArea(const Sprite* s) { return Union(TouchedCurrent(s), TouchedPending(s)); }

void Leave(OverlapIndex* index, Sprite* s) {
  for (int cy = s->cellTop; cy <= s->cellBottom; ++cy)
    for (int cx = s->cellLeft; cx <= s->cellRight; ++cx) {
      auto& cell = index->cells[cy * kGridCells + cx];
      auto it = std::find(cell.begin(), cell.end(), s);
      if (it != cell.end()) {
        *it = cell.back();
        cell.pop_back();
      }
    }
  s->cellLeft = 0;
  s->cellRight = -1;
}

void Enter(OverlapIndex* index, Sprite* s, const RECT& area) {
  if (Empty(area)) return;
  s->cellLeft = Cell(area.left);
  s->cellTop = Cell(area.top);
  s->cellRight = Cell(area.right - 1);
  s->cellBottom = Cell(area.bottom - 1);
  for (int cy = s->cellTop; cy <= s->cellBottom; ++cy)
    for (int cx = s->cellLeft; cx <= s->cellRight; ++cx)
      index->cells[cy * kGridCells + cx].push_back(s);
}

// Re-enters the sprite only when its cell range changed.
void Move(OverlapIndex* index, Sprite* s, const RECT& area) {
  if (!Empty(area) && s->cellLeft <= s->cellRight && s->cellLeft == Cell(area.left) &&
      s->cellTop == Cell(area.top) && s->cellRight == Cell(area.right - 1) &&
      s->cellBottom == Cell(area.bottom - 1))
    return;
  Leave(index, s);
  Enter(index, s, area);
}

bool Add(Sprite* s, Sprite* other) {
  if (s->overlapCount == s->overlapCapacity) {
    const int capacity = s->overlapCapacity ? s->overlapCapacity * 2 : 8;
    auto* grown = static_cast<Sprite**>(
        std::realloc(s->overlaps, static_cast<size_t>(capacity) * sizeof(Sprite*)));
    if (!grown) return false;
    s->overlaps = grown;
    s->overlapCapacity = capacity;
  }
  s->overlaps[s->overlapCount++] = other;
  return true;
}

void Remove(Sprite* s, const Sprite* other) {
  for (int i = 0; i < s->overlapCount; ++i)
    if (s->overlaps[i] == other) {
      s->overlaps[i] = s->overlaps[--s->overlapCount];
      return;
    }
}

bool Meets(const RECT& area, const Sprite* other) {
  return Intersect(area, TouchedCurrent(other)) || Intersect(area, TouchedPending(other));
}

}  // namespace

bool ListContains(const Sprite* s, const Sprite* other) {
  for (int i = 0; i < s->overlapCount; ++i)
    if (s->overlaps[i] == other) return true;
  return false;
}

void RebuildOverlaps(GameWindow* window, Sprite* s) {
  if (s->flags & kSpriteDriverMode) return;
  OverlapIndex* index = Index(window->spriteHeap);
  if (!index) return;
  const RECT area = SearchArea(s);
  // Entries that no longer meet leave both lists; the rest are marked as present.
  for (int i = 0; i < s->overlapCount;) {
    Sprite* other = s->overlaps[i];
    if (Meets(area, other)) {
      other->flags |= kSpriteScratchMark;
      ++i;
    } else {
      Remove(other, s);
      s->overlaps[i] = s->overlaps[--s->overlapCount];
    }
  }
  Move(index, s, area);
  const std::uint32_t stamp = ++index->stamp;
  for (int cy = s->cellTop; cy <= s->cellBottom; ++cy)
    for (int cx = s->cellLeft; cx <= s->cellRight; ++cx)
      for (Sprite* other : index->cells[cy * kGridCells + cx]) {
        if (other == s || other->visit == stamp) continue;
        other->visit = stamp;
        if ((other->flags & kSpriteScratchMark) || !Meets(area, other)) continue;
        if (!Add(s, other)) continue;
        if (!Add(other, s)) {
          --s->overlapCount;
          continue;
        }
        other->flags |= kSpriteScratchMark;
      }
  for (int i = 0; i < s->overlapCount; ++i) s->overlaps[i]->flags &= ~kSpriteScratchMark;
}

void RemoveFromOverlaps(GameWindow* window, Sprite* s) {
  for (int i = 0; i < s->overlapCount; ++i) Remove(s->overlaps[i], s);
  std::free(s->overlaps);
  s->overlaps = nullptr;
  s->overlapCount = s->overlapCapacity = 0;
  if (window->spriteHeap && window->spriteHeap->index && s->cellLeft <= s->cellRight)
    Leave(static_cast<OverlapIndex*>(window->spriteHeap->index), s);
}

bool IndexedSprites(GameWindow* window, const RECT& area, std::vector<Sprite*>* out) {
  SpriteHeap* heap = window->spriteHeap;
  if (!heap || !heap->index) return false;
  if (Empty(area)) return true;
  const auto* index = static_cast<const OverlapIndex*>(heap->index);
  const std::size_t first = out->size();
  for (int cy = Cell(area.top); cy <= Cell(area.bottom - 1); ++cy)
    for (int cx = Cell(area.left); cx <= Cell(area.right - 1); ++cx) {
      const auto& cell = index->cells[cy * kGridCells + cx];
      out->insert(out->end(), cell.begin(), cell.end());
    }
  // A sprite spanning several cells is entered in each; the search leaves no mark on sprites.
  std::sort(out->begin() + static_cast<std::ptrdiff_t>(first), out->end());
  out->erase(std::unique(out->begin() + static_cast<std::ptrdiff_t>(first), out->end()),
             out->end());
  return true;
}

void FreeOverlapIndex(SpriteHeap* heap) {
  delete static_cast<OverlapIndex*>(heap->index);
  heap->index = nullptr;
}

void MarkNeighbours(Sprite* start) {
  // A work list, not recursion: chains of thousands of sprites must not exhaust the stack.
  thread_local std::vector<Sprite*> work;
  work.clear();
  work.push_back(start);
  while (!work.empty()) {
    Sprite* s = work.back();
    work.pop_back();
    for (int i = 0; i < s->overlapCount; ++i) {
      Sprite* other = s->overlaps[i];
      if (RetainedUntouched(other)) {
        other->flags |= kSpriteUncovered;
        work.push_back(other);
      }
    }
  }
}

void NoteChanged(GameWindow* window, Sprite* s) {
  s->flags |= kSpriteChanged;
  if ((s->flags & kSpriteRetained) && !(s->flags & kSpriteHidden) &&
      !(s->flags & kSpriteDriverMode) && !DriverMode(window))
    MarkNeighbours(s);
}

}  // namespace sprite
