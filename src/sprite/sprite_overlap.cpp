// Overlap lists and the grid that finds candidates for them.
//
// Each sprite lists the sprites whose current or pending rectangle meets the union of its own
// two rectangles; the lists are symmetric. A change of rectangle does not rebuild the list at
// once: the sprite joins a queue, and the queue is worked off, in the order of the changes,
// when something reads the lists (the redraw steps, neighbour marking, the collision search).
// A sprite that changes again moves to the queue's end. Since no rectangle that the rebuild
// reads changes between a queued change and the rebuild without the lists being brought up to
// date first, the lists come out as rebuilding at every change would leave them, while a
// sprite moved many times between two frames is rebuilt once.
//
// The lists are read only from retained sprites: the redraw looks for what changed around a
// retained sprite, and marking spreads from a retained sprite to retained neighbours. So only
// a sprite that is retained when its list is rebuilt keeps a complete list; every other one
// lists just its neighbours with complete lists, and a pair of two sprites without is never
// entered. In a scene of moving sprites over a retained backdrop, that spares the pairs
// among the movers, by far the most. A sprite that becomes retained through the interface is
// queued as if its rectangle had changed; one whose flag was written directly has its list
// completed before it is read (CompleteList). The pairs with a complete side come out as the
// documented rebuild leaves them.
//
// Rebuilding by a scan of the display list would cost a test per sprite per change, so
// candidates come from a uniform grid instead: every sprite is entered in the cells its two
// rectangles cover (coordinates outside the grid are clamped to its border cells), and the
// exact test decides as a scan would. The result is the same list the scan gives. When most
// sprites wait (every moving sprite, each frame), the search instead puts each sprite in the
// one cell of its area's corner and tests the cells a neighbour's corner can lie in.
#include <algorithm>
#include <cstdlib>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "sprite/sprite_internal.h"

namespace sprite {
namespace {

constexpr int kCellShift = 5;   // 32-pixel cells
constexpr int kGridCells = 64;  // per axis: 2048 pixels, from 0

struct OverlapIndex {
  std::vector<Sprite*> cells[kGridCells * kGridCells];
  std::size_t entered = 0;  // entries in all cells
  // The whole-grid search only notes each sprite's cells; the cells are filled from those
  // notes when read next (a frame with few changes, a collision search), if ever.
  bool stale = false;
  std::uint32_t stamp = 0;
  // Sprites waiting for a rebuild, in the order of their last change; null where a sprite
  // left the queue (changed again or deleted).
  std::vector<Sprite*> queue;
  std::size_t queued = 0;  // non-null entries
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
        --index->entered;
      }
    }
  s->cellLeft = 0;
  s->cellRight = -1;
}

std::size_t CellCount(const Sprite* s) {
  return static_cast<std::size_t>(s->cellRight - s->cellLeft + 1) *
         static_cast<std::size_t>(s->cellBottom - s->cellTop + 1);
}

void PutInCells(OverlapIndex* index, Sprite* s) {
  for (int cy = s->cellTop; cy <= s->cellBottom; ++cy)
    for (int cx = s->cellLeft; cx <= s->cellRight; ++cx)
      index->cells[cy * kGridCells + cx].push_back(s);
}

// Notes the cells of the area in the sprite (none for an empty area).
void NoteCells(OverlapIndex* index, Sprite* s, const RECT& area) {
  if (Empty(area)) return;
  s->cellLeft = Cell(area.left);
  s->cellTop = Cell(area.top);
  s->cellRight = Cell(area.right - 1);
  s->cellBottom = Cell(area.bottom - 1);
  index->entered += CellCount(s);
}

void Enter(OverlapIndex* index, Sprite* s, const RECT& area) {
  NoteCells(index, s, area);
  if (s->cellLeft <= s->cellRight) PutInCells(index, s);
}

// Fills the cells from the sprites' notes after a whole-grid search.
void Refill(OverlapIndex* index, SpriteHeap* heap) {
  if (!index->stale) return;
  index->stale = false;
  for (auto& cell : index->cells) cell.clear();
  for (Sprite* s = heap->firstSprite; s; s = s->Next())
    if (s->cellLeft <= s->cellRight) PutInCells(index, s);
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

namespace {

void Dequeue(OverlapIndex* index, Sprite* s) {
  if (!s->overlapQueued) return;
  index->queue[s->overlapQueued - 1] = nullptr;
  s->overlapQueued = 0;
  --index->queued;
}

// Drops the holes of the queue when they outnumber the entries.
void Compact(OverlapIndex* index) {
  auto& queue = index->queue;
  if (queue.size() < 64 || queue.size() < 2 * index->queued) return;
  std::size_t kept = 0;
  for (Sprite* s : queue)
    if (s) {
      queue[kept++] = s;
      s->overlapQueued = static_cast<std::uint32_t>(kept);
    }
  queue.resize(kept);
}

}  // namespace

void RebuildOverlaps(GameWindow* window, Sprite* s) {
  if (s->flags & kSpriteDriverMode) return;
  OverlapIndex* index = Index(window->spriteHeap);
  if (!index) return;
  Dequeue(index, s);
  Compact(index);
  index->queue.push_back(s);
  s->overlapQueued = static_cast<std::uint32_t>(index->queue.size());
  ++index->queued;
}

namespace {

// A sprite as the whole-grid search reads it, copied once per settle.
struct Entry {
  RECT current, pending;  // the touched rectangles
  RECT area;              // their union
  std::uint32_t rank;     // place in the queue, 0 when not queued
  std::uint32_t id;       // place in the settle's sprite table
  bool complete;          // the sprite's list holds every neighbour
};

// A list being filled by the whole-grid search, kept in a dense table so that appending does
// not touch the sprite.
struct ListBuilder {
  Sprite** data;
  std::int32_t count, capacity;
};

bool Append(ListBuilder& list, Sprite* other) {
  if (list.count == list.capacity) {
    const int capacity = list.capacity ? list.capacity * 2 : 8;
    auto* grown = static_cast<Sprite**>(
        std::realloc(list.data, static_cast<size_t>(capacity) * sizeof(Sprite*)));
    if (!grown) return false;
    list.data = grown;
    list.capacity = capacity;
  }
  list.data[list.count++] = other;
  return true;
}

int Cell64(std::int64_t coordinate) { return Cell(Clamp32(coordinate)); }

// The entries of one size class in the cells of their areas' top left corners, as columns:
// a sprite is in one cell only, so a search meets each candidate once, and the cells a search
// reads in one grid row lie next to each other. Whatever can meet an area lies in the cells
// from the area's corner less the largest width and height of the class on.
class CornerGrid {
 public:
  static constexpr int kPad = 4;  // vector reads past the last entry stay inside the columns

  void Clear() {
    order_.clear();
    widest_ = tallest_ = 0;
  }
  void Add(const Entry& e) {
    order_.push_back(&e);
    widest_ = std::max<std::int64_t>(widest_, std::int64_t{e.area.right} - e.area.left);
    tallest_ = std::max<std::int64_t>(tallest_, std::int64_t{e.area.bottom} - e.area.top);
  }
  // Sorts the entries into the cells and fills the columns.
  void Build() {
    sorted_.clear();
    if (order_.empty()) return;  // Search reads nothing then
    constexpr int kCells = kGridCells * kGridCells;
    starts_.assign(kCells + 1, 0);
    for (const Entry* e : order_) ++starts_[CellOf(*e) + 1];
    for (int c = 0; c < kCells; ++c) starts_[c + 1] += starts_[c];
    const std::size_t n = order_.size();
    for (auto* column : {&rank_, &id_, &cl_, &ct_, &cr_, &cb_, &pl_, &pt_, &pr_, &pb_})
      column->assign(n + kPad, 0);
    sorted_.assign(n, nullptr);
    fill_.assign(starts_.begin(), starts_.end() - 1);
    for (const Entry* e : order_) {
      const std::uint32_t k = fill_[CellOf(*e)]++;
      sorted_[k] = e;
      rank_[k] = static_cast<std::int32_t>(e->rank);
      id_[k] = static_cast<std::int32_t>(e->id);
      cl_[k] = e->current.left;
      ct_[k] = e->current.top;
      cr_[k] = e->current.right;
      cb_[k] = e->current.bottom;
      pl_[k] = e->pending.left;
      pt_[k] = e->pending.top;
      pr_[k] = e->pending.right;
      pb_[k] = e->pending.bottom;
    }
  }
  // The entries in the order of their cells.
  const std::vector<const Entry*>& Sorted() const { return sorted_; }

  // Appends to `hits` the table places of the entries ranked below `e` whose current or
  // pending rectangle meets e's area.
  void Search(const Entry& e, std::vector<std::uint32_t>& hits) const {
    if (order_.empty()) return;
    const RECT& a = e.area;
    const int x0 = Cell64(std::int64_t{a.left} - widest_), x1 = Cell(a.right - 1);
    const int y0 = Cell64(std::int64_t{a.top} - tallest_), y1 = Cell(a.bottom - 1);
    const auto rank = static_cast<std::int32_t>(e.rank);
    for (int cy = y0; cy <= y1; ++cy) {
      const std::uint32_t begin = starts_[cy * kGridCells + x0];
      const std::uint32_t end = starts_[cy * kGridCells + x1 + 1];
      std::uint32_t k = begin;
#if defined(__SSE2__)
      const __m128i r = _mm_set1_epi32(rank);
      const __m128i al = _mm_set1_epi32(a.left), ar = _mm_set1_epi32(a.right);
      const __m128i at = _mm_set1_epi32(a.top), ab = _mm_set1_epi32(a.bottom);
      for (; k < end; k += 4) {
        const auto at4 = [k](const std::vector<std::int32_t>& column) {
          return _mm_loadu_si128(reinterpret_cast<const __m128i*>(column.data() + k));
        };
        const __m128i current = _mm_and_si128(
            _mm_and_si128(_mm_cmplt_epi32(al, at4(cr_)), _mm_cmplt_epi32(at4(cl_), ar)),
            _mm_and_si128(_mm_cmplt_epi32(at, at4(cb_)), _mm_cmplt_epi32(at4(ct_), ab)));
        const __m128i pending = _mm_and_si128(
            _mm_and_si128(_mm_cmplt_epi32(al, at4(pr_)), _mm_cmplt_epi32(at4(pl_), ar)),
            _mm_and_si128(_mm_cmplt_epi32(at, at4(pb_)), _mm_cmplt_epi32(at4(pt_), ab)));
        const __m128i take =
            _mm_and_si128(_mm_cmplt_epi32(at4(rank_), r), _mm_or_si128(current, pending));
        unsigned bits = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(take)));
        if (end - k < 4) bits &= (1u << (end - k)) - 1;
        while (bits) {
          hits.push_back(static_cast<std::uint32_t>(id_[k + __builtin_ctz(bits)]));
          bits &= bits - 1;
        }
      }
#else
      for (; k < end; ++k) {
        const bool current =
            a.left < cr_[k] && cl_[k] < a.right && a.top < cb_[k] && ct_[k] < a.bottom;
        const bool pending =
            a.left < pr_[k] && pl_[k] < a.right && a.top < pb_[k] && pt_[k] < a.bottom;
        if (rank_[k] < rank && (current || pending))
          hits.push_back(static_cast<std::uint32_t>(id_[k]));
      }
#endif
    }
  }

 private:
  static int CellOf(const Entry& e) { return Cell(e.area.top) * kGridCells + Cell(e.area.left); }
  std::vector<const Entry*> order_, sorted_;
  std::vector<std::uint32_t> starts_, fill_;
  std::vector<std::int32_t> rank_, id_, cl_, ct_, cr_, cb_, pl_, pt_, pr_, pb_;
  std::int64_t widest_ = 0, tallest_ = 0;
};

// Many queued sprites: the grid is rebuilt from every sprite in it, and each queued sprite
// searches corner grids of sprites up to two cells in size and of the larger ones, so that a
// few large sprites do not widen every search. Sprites with complete lists and the others
// have grids of their own: a sprite whose list is not complete searches only the first.
// Queued lists start empty; the others keep their pairs with sprites not queued.
void SearchAll(OverlapIndex* index, SpriteHeap* heap) {
  constexpr std::int64_t kSmall = 2 << kCellShift;
  thread_local std::vector<Entry> entries;
  thread_local std::vector<Sprite*> sprites;
  thread_local std::vector<ListBuilder> lists;
  thread_local std::vector<std::uint32_t> hits;
  thread_local CornerGrid grids[2][2];  // [complete][small]
  entries.clear();
  sprites.clear();
  lists.clear();
  index->stale = true;  // the cells are filled when next read
  index->entered = 0;
  for (Sprite* s = heap->firstSprite; s; s = s->Next()) {
    if (s->overlapQueued) {
      s->overlapCount = 0;
    } else {
      int kept = 0;
      for (int i = 0; i < s->overlapCount; ++i)
        if (!s->overlaps[i]->overlapQueued) s->overlaps[kept++] = s->overlaps[i];
      s->overlapCount = kept;
      if (s->cellLeft > s->cellRight) continue;  // not in the grid
    }
    s->cellLeft = 0;
    s->cellRight = -1;
    const RECT area = SearchArea(s);
    NoteCells(index, s, area);
    if (s->cellLeft > s->cellRight) continue;
    const auto id = static_cast<std::uint32_t>(sprites.size());
    sprites.push_back(s);
    lists.push_back(ListBuilder{s->overlaps, s->overlapCount, s->overlapCapacity});
    entries.push_back(Entry{TouchedCurrent(s), TouchedPending(s), area, s->overlapQueued, id,
                            s->overlapComplete != 0});
  }
  for (auto& kind : grids)
    for (CornerGrid& grid : kind) grid.Clear();
  for (const Entry& e : entries) {
    const bool small = std::int64_t{e.area.right} - e.area.left <= kSmall &&
                       std::int64_t{e.area.bottom} - e.area.top <= kSmall;
    grids[e.complete][small].Add(e);
  }
  for (auto& kind : grids)
    for (CornerGrid& grid : kind) grid.Build();
  ListBuilder* const out = lists.data();
  Sprite* const* const table = sprites.data();
  // Queued sprites in the order of their cells: neighbours follow each other, so the lists
  // that grow stay in the cache.
  for (const auto& kind : grids)
    for (const CornerGrid& from : kind)
      for (const Entry* e : from.Sorted()) {
        if (!e->rank) continue;
        hits.clear();
        for (const CornerGrid& grid : grids[1]) grid.Search(*e, hits);
        if (e->complete)
          for (const CornerGrid& grid : grids[0]) grid.Search(*e, hits);
        for (const std::uint32_t other : hits) {
          if (!Append(out[e->id], table[other])) continue;
          if (!Append(out[other], table[e->id])) --out[e->id].count;
        }
      }
  for (std::size_t i = 0; i < sprites.size(); ++i) {
    Sprite* s = sprites[i];
    s->overlaps = lists[i].data;
    s->overlapCount = lists[i].count;
    s->overlapCapacity = lists[i].capacity;
  }
}

// Few queued sprites: each moves in the grid and tests the sprites in its cells.
void SearchQueued(OverlapIndex* index, const std::vector<Sprite*>& queued) {
  for (Sprite* s : queued) Move(index, s, SearchArea(s));
  for (Sprite* s : queued) {
    const RECT area = SearchArea(s);
    const std::uint32_t rank = s->overlapQueued;
    const std::uint32_t stamp = ++index->stamp;
    for (int cy = s->cellTop; cy <= s->cellBottom; ++cy)
      for (int cx = s->cellLeft; cx <= s->cellRight; ++cx)
        for (Sprite* other : index->cells[cy * kGridCells + cx]) {
          if (other->overlapQueued >= rank || other->visit == stamp) continue;  // s included
          other->visit = stamp;
          if (!s->overlapComplete && !other->overlapComplete) continue;
          if (!Meets(area, other) || !Add(s, other)) continue;
          if (!Add(other, s)) --s->overlapCount;
        }
  }
}

}  // namespace

void SettleOverlaps(GameWindow* window) {
  SpriteHeap* heap = window ? window->spriteHeap : nullptr;
  if (!heap || !heap->index) return;
  auto* index = static_cast<OverlapIndex*>(heap->index);
  if (index->queue.empty()) return;
  // All queued lists at once, with the result of rebuilding them one after the other in the
  // queue's order (overlapQueued is the place in the queue, 0 for sprites not queued).
  thread_local std::vector<Sprite*> queued, touched;
  queued.clear();
  for (Sprite* s : index->queue)
    if (s) {
      queued.push_back(s);
      s->overlapComplete = (s->flags & kSpriteRetained) ? 1 : 0;
    }
  // A pair is decided by the test of whichever of its sprites changed last, so every queued
  // sprite tests the candidates that changed before it or not at all; those that changed
  // after it test it in their turn. Each pair is entered once.
  // The whole-grid search passes over every cell several times: it pays from a few hundred
  // queued sprites on, when they are a good part of the grid.
  constexpr std::size_t kWholeGridQueue = 256;
  if (queued.size() >= kWholeGridQueue && queued.size() * 16 >= index->entered) {
    SearchAll(index, heap);
  } else {
    // First every pair with a queued sprite leaves both lists; neighbours that are not
    // queued drop theirs in one pass each.
    touched.clear();
    for (Sprite* s : queued) {
      for (int i = 0; i < s->overlapCount; ++i) {
        Sprite* other = s->overlaps[i];
        if (!other->overlapQueued && !(other->flags & kSpriteScratchMark)) {
          other->flags |= kSpriteScratchMark;
          touched.push_back(other);
        }
      }
      s->overlapCount = 0;
    }
    for (Sprite* other : touched) {
      other->flags &= ~kSpriteScratchMark;
      int kept = 0;
      for (int i = 0; i < other->overlapCount; ++i)
        if (!other->overlaps[i]->overlapQueued) other->overlaps[kept++] = other->overlaps[i];
      other->overlapCount = kept;
    }
    Refill(index, heap);
    SearchQueued(index, queued);
  }
  for (Sprite* s : queued) s->overlapQueued = 0;
  index->queue.clear();
  index->queued = 0;
}

void RemoveFromOverlaps(GameWindow* window, Sprite* s) {
  for (int i = 0; i < s->overlapCount; ++i) Remove(s->overlaps[i], s);
  std::free(s->overlaps);
  s->overlaps = nullptr;
  s->overlapCount = s->overlapCapacity = 0;
  if (!window->spriteHeap || !window->spriteHeap->index) return;
  auto* index = static_cast<OverlapIndex*>(window->spriteHeap->index);
  Dequeue(index, s);
  if (s->cellLeft > s->cellRight) return;
  if (index->stale) {
    // Not in the cells yet: it only leaves the notes.
    index->entered -= CellCount(s);
    s->cellLeft = 0;
    s->cellRight = -1;
  } else {
    Leave(index, s);
  }
}

bool IndexedSprites(GameWindow* window, const RECT& area, std::vector<Sprite*>* out) {
  SpriteHeap* heap = window->spriteHeap;
  if (!heap || !heap->index) return false;
  SettleOverlaps(window);
  if (Empty(area)) return true;
  auto* index = static_cast<OverlapIndex*>(heap->index);
  Refill(index, heap);
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

void CompleteList(GameWindow* window, Sprite* s) {
  SettleOverlaps(window);
  if (s->overlapComplete || !(s->flags & kSpriteRetained) || (s->flags & kSpriteDriverMode))
    return;
  RebuildOverlaps(window, s);
  SettleOverlaps(window);
}

void MarkNeighbours(GameWindow* window, Sprite* start) {
  // A work list, not recursion: chains of thousands of sprites must not exhaust the stack.
  thread_local std::vector<Sprite*> work;
  work.clear();
  work.push_back(start);
  while (!work.empty()) {
    Sprite* s = work.back();
    work.pop_back();
    CompleteList(window, s);  // settles the lists too
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
    MarkNeighbours(window, s);
}

}  // namespace sprite
