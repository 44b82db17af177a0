// Overlap lists and the grid that finds candidates for them.
//
// A sprite's list names the sprites whose current or pending rectangle meets the union of its
// own two rectangles. A change of rectangle does not rebuild the list at
// once: the sprite joins a queue, and the queue is worked off, in the order of the changes,
// when something reads the lists (the redraw steps, neighbour marking, the collision search).
// A sprite that changes again moves to the queue's end. Since no rectangle that the rebuild
// reads changes between a queued change and the rebuild without the lists being brought up to
// date first, the lists come out as rebuilding at every change would leave them, while a
// sprite moved many times between two frames is rebuilt once.
//
// The lists are read only from retained sprites: the redraw looks for what changed around a
// retained sprite, and marking spreads from a retained sprite to retained neighbours. So only
// a sprite that is retained when its list is rebuilt keeps one (a "keeper"); a keeper's list
// names every neighbour, and every other sprite's list stays empty. In a scene of moving
// sprites over a retained backdrop, that spares the pairs among the movers and every entry in
// a mover's list, by far the most. A sprite that becomes retained through the interface is
// queued as if its rectangle had changed; one whose flag was written directly has its list
// made before it is read (CompleteList). Keepers' lists come out as the documented rebuild
// leaves them.
//
// Without lists of their own, the other sprites are found in keepers' lists through a second
// grid, of keepers by the area of their last rebuild. A pair is entered only when the area
// of one sprite's rebuild meets a rectangle of the other, and between two rebuilds a sprite's
// rectangles stay inside the area of the first (a commit moves the current rectangle onto the
// pending one, a draw saves inside the current one). So the two rebuild areas of any listed
// pair meet, and the keepers that may list a sprite are those whose area meets its own.
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

#include "sprite/sprite_bits.h"
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
  // Keepers, in the cells of the area of their last rebuild (overlapArea).
  std::vector<Sprite*> keepers[kGridCells * kGridCells];
  std::size_t keeperCount = 0;
  // The sprites queued at the last whole-grid rebuild, as a QueuedSet's bits, and whether
  // every list is still as that rebuild left it.
  std::vector<std::uint64_t> lastWhole;
  bool listsAsLeft = false;
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

// An empty rectangle meets nothing; as it stands, the edge test would let one of width 0
// inside another pass. Empty ones become a rectangle that fails every test.
RECT Solid(const RECT& r) {
  return Empty(r) ? RECT{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN} : r;
}

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

struct CellRange {
  int left, top, right, bottom;  // inclusive; left > right when none
};

CellRange CellsOf(const RECT& area) {
  if (Empty(area)) return CellRange{0, 0, -1, -1};
  return CellRange{Cell(area.left), Cell(area.top), Cell(area.right - 1), Cell(area.bottom - 1)};
}

void EnterKeeper(OverlapIndex* index, Sprite* s) {
  const CellRange r = CellsOf(s->overlapArea);
  for (int cy = r.top; cy <= r.bottom; ++cy)
    for (int cx = r.left; cx <= r.right; ++cx) index->keepers[cy * kGridCells + cx].push_back(s);
  ++index->keeperCount;
}

void LeaveKeeper(OverlapIndex* index, Sprite* s) {
  const CellRange r = CellsOf(s->overlapArea);
  for (int cy = r.top; cy <= r.bottom; ++cy)
    for (int cx = r.left; cx <= r.right; ++cx) {
      auto& cell = index->keepers[cy * kGridCells + cx];
      auto it = std::find(cell.begin(), cell.end(), s);
      if (it != cell.end()) {
        *it = cell.back();
        cell.pop_back();
      }
    }
  --index->keeperCount;
}

// Calls visit(keeper) once for every keeper whose rebuild area shares a cell with `area`.
template <typename Visit>
void NearKeepers(OverlapIndex* index, const RECT& area, Visit visit) {
  const CellRange r = CellsOf(area);
  const std::uint32_t stamp = ++index->stamp;
  for (int cy = r.top; cy <= r.bottom; ++cy)
    for (int cx = r.left; cx <= r.right; ++cx)
      for (Sprite* keeper : index->keepers[cy * kGridCells + cx])
        if (keeper->visit != stamp) {
          keeper->visit = stamp;
          visit(keeper);
        }
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
  return Intersect(area, Solid(TouchedCurrent(other))) ||
         Intersect(area, Solid(TouchedPending(other)));
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
  Sprite* sprite;
  bool keeper;  // the sprite keeps a list
};

// A list being filled by the whole-grid search, kept in a dense table so that appending does
// not touch the sprite.
struct ListBuilder {
  Sprite** data;
  std::int32_t count, capacity;
};

// Room for `count` entries in all; false when it cannot be had.
bool Reserve(ListBuilder& list, std::size_t count) {
  if (count <= static_cast<std::size_t>(list.capacity)) return true;
  if (count > static_cast<std::size_t>(INT32_MAX)) return false;
  std::size_t capacity = list.capacity ? static_cast<std::size_t>(list.capacity) : 8;
  while (capacity < count) capacity *= 2;
  capacity = std::min<std::size_t>(capacity, INT32_MAX);
  auto* grown = static_cast<Sprite**>(std::realloc(list.data, capacity * sizeof(Sprite*)));
  if (!grown) return false;
  list.data = grown;
  list.capacity = static_cast<std::int32_t>(capacity);
  return true;
}

int Cell64(std::int64_t coordinate) { return Cell(Clamp32(coordinate)); }

// The queued sprites as a set of bits: a keeper's list can be filtered without reading the
// records it names.
class QueuedSet {
 public:
  QueuedSet(SpriteHeap* heap, const std::vector<Sprite*>& queued) : bits_(heap, storage_) {
    for (const Sprite* s : queued) bits_.Add(s);
  }
  bool Has(const Sprite* s) const { return bits_.Has(s); }
  const std::vector<std::uint64_t>& Bits() const { return bits_.Words(); }
  // Every sprite of an earlier set (its bits) is in this one.
  bool Covers(const std::vector<std::uint64_t>& earlier) const {
    const std::vector<std::uint64_t>& bits = bits_.Words();
    if (earlier.size() != bits.size()) return false;
    std::uint64_t missing = 0;
    for (std::size_t i = 0; i < bits.size(); ++i) missing |= earlier[i] & ~bits[i];
    return missing == 0;
  }
  // Drops the queued sprites from a keeper's list.
  void DropFrom(Sprite* keeper) const {
    int kept = 0;
    for (int i = 0; i < keeper->overlapCount; ++i) {
      Sprite* other = keeper->overlaps[i];
      keeper->overlaps[kept] = other;
      kept += Has(other) ? 0 : 1;
    }
    keeper->overlapCount = kept;
  }

 private:
  thread_local static std::vector<std::uint64_t> storage_;
  SpriteBits bits_;
};
thread_local std::vector<std::uint64_t> QueuedSet::storage_;

// The entries of one size class in the cells of their areas' top left corners, as columns:
// a sprite is in one cell only, so a search meets each candidate once, and the cells a search
// reads in one grid row lie next to each other. Whatever can meet a region lies in the cells
// from the region's corner less the largest width and height of the class on.
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
  bool IsEmpty() const { return order_.empty(); }
  // Sorts the entries into the cells and fills the columns.
  void Build() {
    if (order_.empty()) return;  // searches read nothing then
    constexpr int kCells = kGridCells * kGridCells;
    starts_.assign(kCells + 1, 0);
    for (const Entry* e : order_) ++starts_[CellOf(*e) + 1];
    for (int c = 0; c < kCells; ++c) starts_[c + 1] += starts_[c];
    const std::size_t n = order_.size();
    for (auto& column : columns_) column.assign(n + kPad, 0);
    sprites_.assign(n + kPad, nullptr);
    fill_.assign(starts_.begin(), starts_.end() - 1);
    for (const Entry* e : order_) {
      const std::uint32_t k = fill_[CellOf(*e)]++;
      sprites_[k] = e->sprite;
      const std::int32_t values[kColumns] = {static_cast<std::int32_t>(e->rank),
                                             e->current.left,
                                             e->current.top,
                                             e->current.right,
                                             e->current.bottom,
                                             e->pending.left,
                                             e->pending.top,
                                             e->pending.right,
                                             e->pending.bottom,
                                             e->area.left,
                                             e->area.top,
                                             e->area.right,
                                             e->area.bottom};
      for (int c = 0; c < kColumns; ++c) columns_[c][k] = values[c];
    }
  }

  // How many entries a search of `region` reads: a bound on its hits.
  std::size_t Candidates(const RECT& region) const {
    std::size_t count = 0;
    ForRows(region, [&](std::uint32_t begin, std::uint32_t end) { count += end - begin; });
    return count;
  }

  // Writes to out[n...] the sprites ranked below `rank` whose current or pending rectangle
  // meets `area` (the test of a sprite rebuilt after them). `out` has room for every entry.
  void RectsMeeting(const RECT& area, std::uint32_t rank, Sprite** out, std::size_t& n) const {
    Scan(
        area,
        [&](std::uint32_t k, std::uint32_t end) {
          return Below(k, rank) & (Meet(area, k, kCurrent) | Meet(area, k, kPending)) &
                 Valid(k, end);
        },
        out, n);
  }
  // Writes the sprites ranked above `rank` whose area meets `current` or `pending` (their
  // test of a sprite rebuilt before them).
  void AreasMeeting(const RECT& current, const RECT& pending, std::uint32_t rank, Sprite** out,
                    std::size_t& n) const {
    Scan(
        Union(current, pending),
        [&](std::uint32_t k, std::uint32_t end) {
          return Above(k, rank) & (Meet(current, k, kArea) | Meet(pending, k, kArea)) &
                 Valid(k, end);
        },
        out, n);
  }

 private:
  enum Column { kRank, kCurrent = 1, kPending = 5, kArea = 9, kColumns = 13 };

  // Runs `take` over every group of four entries whose cells a region's candidates lie in; the
  // bits of its result name the hits, which are written without a branch per hit.
  template <typename Take>
  void Scan(const RECT& region, Take take, Sprite** out, std::size_t& n) const {
    Sprite* const* sprite = sprites_.data();
    ForRows(region, [&](std::uint32_t begin, std::uint32_t end) {
      for (std::uint32_t k = begin; k < end; k += 4) {
        const unsigned bits = take(k, end);
        for (unsigned lane = 0; lane < 4; ++lane) {
          out[n] = sprite[k + lane];
          n += (bits >> lane) & 1;
        }
      }
    });
  }
  // Calls row(begin, end) with the entries of each grid row that a region's candidates lie in.
  template <typename Row>
  void ForRows(const RECT& region, Row row) const {
    if (order_.empty() || Empty(region)) return;
    const int x0 = Cell64(std::int64_t{region.left} - widest_), x1 = Cell(region.right - 1);
    const int y0 = Cell64(std::int64_t{region.top} - tallest_), y1 = Cell(region.bottom - 1);
    for (int cy = y0; cy <= y1; ++cy)
      row(starts_[cy * kGridCells + x0], starts_[cy * kGridCells + x1 + 1]);
  }

#if defined(__SSE2__)
  __m128i At(int column, std::uint32_t k) const {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(columns_[column].data() + k));
  }
  // Four entries' rectangle (left, top, right, bottom from `column` on) meets r.
  unsigned Meet(const RECT& r, std::uint32_t k, int column) const {
    const __m128i meets =
        _mm_and_si128(_mm_and_si128(_mm_cmplt_epi32(_mm_set1_epi32(r.left), At(column + 2, k)),
                                    _mm_cmplt_epi32(At(column, k), _mm_set1_epi32(r.right))),
                      _mm_and_si128(_mm_cmplt_epi32(_mm_set1_epi32(r.top), At(column + 3, k)),
                                    _mm_cmplt_epi32(At(column + 1, k), _mm_set1_epi32(r.bottom))));
    return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(meets)));
  }
  unsigned Below(std::uint32_t k, std::uint32_t rank) const {
    const __m128i below = _mm_cmplt_epi32(At(kRank, k), _mm_set1_epi32(static_cast<int>(rank)));
    return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(below)));
  }
  unsigned Above(std::uint32_t k, std::uint32_t rank) const {
    const __m128i above = _mm_cmpgt_epi32(At(kRank, k), _mm_set1_epi32(static_cast<int>(rank)));
    return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(above)));
  }
#else
  template <typename Test>
  static unsigned Lanes(std::uint32_t k, Test test) {
    unsigned bits = 0;
    for (unsigned lane = 0; lane < 4; ++lane) bits |= test(k + lane) ? 1u << lane : 0u;
    return bits;
  }
  unsigned Meet(const RECT& r, std::uint32_t k, int column) const {
    return Lanes(k, [&](std::uint32_t i) {
      return r.left < columns_[column + 2][i] && columns_[column][i] < r.right &&
             r.top < columns_[column + 3][i] && columns_[column + 1][i] < r.bottom;
    });
  }
  unsigned Below(std::uint32_t k, std::uint32_t rank) const {
    return Lanes(k, [&](std::uint32_t i) { return columns_[kRank][i] < static_cast<int>(rank); });
  }
  unsigned Above(std::uint32_t k, std::uint32_t rank) const {
    return Lanes(k, [&](std::uint32_t i) { return columns_[kRank][i] > static_cast<int>(rank); });
  }
#endif
  static unsigned Valid(std::uint32_t k, std::uint32_t end) {
    return end - k < 4 ? (1u << (end - k)) - 1 : 15u;
  }
  static int CellOf(const Entry& e) { return Cell(e.area.top) * kGridCells + Cell(e.area.left); }

  std::vector<const Entry*> order_;
  std::vector<std::uint32_t> starts_, fill_;
  std::vector<std::int32_t> columns_[kColumns];
  std::vector<Sprite*> sprites_;
  std::int64_t widest_ = 0, tallest_ = 0;
};

// One corner grid per size class: sprites up to two cells in size and the larger ones, so
// that a few large sprites do not widen every search.
struct SizedGrids {
  CornerGrid small, large;
  void Clear() {
    small.Clear();
    large.Clear();
  }
  void Add(const Entry& e) {
    constexpr std::int64_t kSmall = 2 << kCellShift;
    const bool fits = std::int64_t{e.area.right} - e.area.left <= kSmall &&
                      std::int64_t{e.area.bottom} - e.area.top <= kSmall;
    (fits ? small : large).Add(e);
  }
  void Build() {
    small.Build();
    large.Build();
  }
  std::size_t Candidates(const RECT& region) const {
    return small.Candidates(region) + large.Candidates(region);
  }
  void RectsMeeting(const RECT& area, std::uint32_t rank, Sprite** out, std::size_t& n) const {
    small.RectsMeeting(area, rank, out, n);
    large.RectsMeeting(area, rank, out, n);
  }
  void AreasMeeting(const RECT& current, const RECT& pending, std::uint32_t rank, Sprite** out,
                    std::size_t& n) const {
    small.AreasMeeting(current, pending, rank, out, n);
    large.AreasMeeting(current, pending, rank, out, n);
  }
};

// Many queued sprites: the grid's notes are taken again from every sprite in it, and each
// keeper builds its own list in one go, so that no list is written out of turn. A pair is
// decided by the test of whichever sprite was queued last, with its own area against the
// other's rectangles: a keeper not queued keeps its pairs with sprites not queued and adds
// the queued sprites whose areas meet its rectangles; a queued keeper starts empty and adds
// the sprites queued before it, or not at all, whose rectangles meet its area, and those
// queued after it whose areas meet its rectangles.
void SearchAll(OverlapIndex* index, SpriteHeap* heap, const QueuedSet& queued) {
  thread_local std::vector<Entry> entries;
  thread_local SizedGrids queuedGrids, allGrids;
  entries.clear();
  index->stale = true;  // the cells are filled when next read
  index->entered = 0;
  bool queuedKeeper = false;
  for (Sprite* s = heap->firstSprite; s; s = s->Next()) {
    if (s->overlapQueued || s->cellLeft <= s->cellRight) {
      s->cellLeft = 0;
      s->cellRight = -1;
      NoteCells(index, s, SearchArea(s));
    }
    if (s->cellLeft > s->cellRight) {
      // Out of the grid (its area is empty): nothing meets it now, but a keeper's list may
      // still name sprites met before, of which the queued ones leave it.
      if (s->overlapComplete && !s->overlapQueued) queued.DropFrom(s);
      s->overlapKept = -1;
      continue;
    }
    const RECT area = SearchArea(s);
    entries.push_back(Entry{Solid(TouchedCurrent(s)), Solid(TouchedPending(s)), area,
                            s->overlapQueued, s, s->overlapComplete != 0});
    queuedKeeper |= s->overlapQueued && s->overlapComplete;
  }
  queuedGrids.Clear();
  allGrids.Clear();
  for (const Entry& e : entries) {
    if (e.rank) queuedGrids.Add(e);
    if (queuedKeeper) allGrids.Add(e);
  }
  queuedGrids.Build();
  allGrids.Build();
  // When the lists are as the last whole-grid rebuild left them and every sprite it queued is
  // queued again (moving sprites, frame after frame), the entries it added to a keeper not
  // queued then are all queued now and leave without being read.
  const bool addedLeave = index->listsAsLeft && queued.Covers(index->lastWhole);
  for (const Entry& e : entries) {
    if (!e.keeper) continue;
    Sprite* s = e.sprite;
    if (!e.rank) {
      if (addedLeave && s->overlapKept >= 0 && s->overlapKept <= s->overlapCount)
        s->overlapCount = s->overlapKept;
      queued.DropFrom(s);
      s->overlapKept = s->overlapCount;
    } else {
      s->overlapKept = -1;  // queued keepers start empty; all of the list is new
    }
    // Room for every candidate, written straight into the list.
    const std::size_t most =
        e.rank ? allGrids.Candidates(e.area) + allGrids.Candidates(Union(e.current, e.pending))
               : queuedGrids.Candidates(Union(e.current, e.pending));
    ListBuilder list{s->overlaps, s->overlapCount, s->overlapCapacity};
    if (!Reserve(list, static_cast<std::size_t>(list.count) + most + CornerGrid::kPad)) continue;
    std::size_t n = static_cast<std::size_t>(list.count);
    if (!e.rank) {
      queuedGrids.AreasMeeting(e.current, e.pending, 0, list.data, n);
    } else {
      allGrids.RectsMeeting(e.area, e.rank, list.data, n);
      allGrids.AreasMeeting(e.current, e.pending, e.rank, list.data, n);
    }
    s->overlaps = list.data;
    s->overlapCount = static_cast<std::int32_t>(n);
    s->overlapCapacity = list.capacity;
  }
  index->lastWhole = queued.Bits();
  index->listsAsLeft = true;
}

// Few queued sprites: each moves in the grid; a keeper tests the sprites in its cells, any
// other sprite the keepers near it.
void SearchQueued(OverlapIndex* index, const std::vector<Sprite*>& queued) {
  for (Sprite* s : queued) Move(index, s, SearchArea(s));
  for (Sprite* s : queued) {
    const RECT& area = s->overlapArea;
    const std::uint32_t rank = s->overlapQueued;
    if (!s->overlapComplete) {
      NearKeepers(index, area, [&](Sprite* keeper) {
        if (keeper->overlapQueued < rank && Meets(area, keeper)) Add(keeper, s);  // s excluded
      });
      continue;
    }
    const std::uint32_t stamp = ++index->stamp;
    for (int cy = s->cellTop; cy <= s->cellBottom; ++cy)
      for (int cx = s->cellLeft; cx <= s->cellRight; ++cx)
        for (Sprite* other : index->cells[cy * kGridCells + cx]) {
          if (other->overlapQueued >= rank || other->visit == stamp) continue;  // s included
          other->visit = stamp;
          if (!Meets(area, other) || !Add(s, other)) continue;
          if (other->overlapComplete && !Add(other, s)) --s->overlapCount;
        }
  }
}

// Every pair with a queued sprite leaves the keepers' lists that are not queued: those found
// through each queued sprite (its own list, or for one that keeps none, the keepers near it).
void Withdraw(OverlapIndex* index, const QueuedSet& set, const std::vector<Sprite*>& queued) {
  thread_local std::vector<Sprite*> touched;
  touched.clear();
  auto touch = [](Sprite* keeper) {
    if (keeper->overlapQueued || (keeper->flags & kSpriteScratchMark)) return;
    keeper->flags |= kSpriteScratchMark;
    touched.push_back(keeper);
  };
  for (Sprite* s : queued) {
    if (s->overlapComplete) {
      for (int i = 0; i < s->overlapCount; ++i)
        if (s->overlaps[i]->overlapComplete) touch(s->overlaps[i]);
    } else {
      NearKeepers(index, s->overlapArea, touch);
    }
  }
  for (Sprite* keeper : touched) {
    keeper->flags &= ~kSpriteScratchMark;
    set.DropFrom(keeper);
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
  thread_local std::vector<Sprite*> queued;
  queued.clear();
  for (Sprite* s : index->queue)
    if (s) queued.push_back(s);
  // The whole-grid search passes over every cell several times: it pays from a few hundred
  // queued sprites on, when they are a good part of the grid.
  constexpr std::size_t kWholeGridQueue = 256;
  const bool whole = queued.size() >= kWholeGridQueue && queued.size() * 16 >= index->entered;
  const QueuedSet set(heap, queued);
  if (!whole) {
    index->listsAsLeft = false;
    Withdraw(index, set, queued);
  }
  // The queued sprites take their new areas, and keep lists if they are retained now.
  for (Sprite* s : queued) {
    if (s->overlapComplete) LeaveKeeper(index, s);
    s->overlapCount = 0;
    s->overlapArea = SearchArea(s);
    s->overlapComplete = (s->flags & kSpriteRetained) ? 1 : 0;
    if (s->overlapComplete) EnterKeeper(index, s);
  }
  // A pair is decided by the test of whichever of its sprites changed last, so every queued
  // sprite tests the candidates that changed before it or not at all; those that changed
  // after it test it in their turn. Each pair is entered once.
  if (whole) {
    SearchAll(index, heap, set);  // withdraws as it goes
  } else {
    Refill(index, heap);
    SearchQueued(index, queued);
  }
  for (Sprite* s : queued) s->overlapQueued = 0;
  index->queue.clear();
  index->queued = 0;
}

void RemoveFromOverlaps(GameWindow* window, Sprite* s) {
  auto* index =
      window->spriteHeap ? static_cast<OverlapIndex*>(window->spriteHeap->index) : nullptr;
  if (s->overlapComplete) {
    for (int i = 0; i < s->overlapCount; ++i)
      if (s->overlaps[i]->overlapComplete) Remove(s->overlaps[i], s);
    if (index) LeaveKeeper(index, s);
  } else if (index) {
    NearKeepers(index, s->overlapArea, [s](Sprite* keeper) { Remove(keeper, s); });
  }
  std::free(s->overlaps);
  s->overlaps = nullptr;
  s->overlapCount = s->overlapCapacity = 0;
  s->overlapComplete = 0;
  if (!index) return;
  index->listsAsLeft = false;
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
  if (s->overlapComplete || !(s->flags & kSpriteRetained) || (s->flags & kSpriteDriverMode)) return;
  RebuildOverlaps(window, s);
  SettleOverlaps(window);
}

namespace {

// Gives every sprite for which untouched(sprite) holds and that is reachable through overlap
// lists from `start` the uncovered mark, calling marked(sprite) as it does. A work list, not
// recursion: chains of thousands of sprites must not exhaust the stack. `exhausted()` answers
// whether no untouched sprite is left anywhere, so that the lists still waiting in the work
// list need not be read.
template <typename Untouched, typename Marked, typename Exhausted>
void Spread(GameWindow* window, Sprite* start, Untouched untouched, Marked marked,
            Exhausted exhausted) {
  thread_local std::vector<Sprite*> work;
  work.clear();
  work.push_back(start);
  while (!work.empty() && !exhausted()) {
    Sprite* s = work.back();
    work.pop_back();
    CompleteList(window, s);  // settles the lists too
    for (int i = 0; i < s->overlapCount; ++i) {
      Sprite* other = s->overlaps[i];
      if (untouched(other)) {
        other->flags |= kSpriteUncovered;
        marked(other);
        work.push_back(other);
      }
    }
  }
}

// Whether a sprite not retained and on screen touches the retained sprite's rectangle with
// its current or its next one.
bool MoverTouches(const Sprite* s) {
  const RECT mine = TouchedCurrent(s);
  for (int i = 0; i < s->overlapCount; ++i) {
    const Sprite* other = s->overlaps[i];
    if (other->flags & (kSpriteRetained | kSpriteHidden)) continue;
    if (Intersect(mine, TouchedCurrent(other)) || Intersect(mine, TouchedPending(other)))
      return true;
  }
  return false;
}

}  // namespace

void MarkNeighbours(GameWindow* window, Sprite* start) {
  Spread(
      window, start, RetainedUntouched, [](Sprite*) {}, [] { return false; });
}

void MarkUncoveredRetained(GameWindow* window) {
  SpriteHeap* heap = window->spriteHeap;
  SettleOverlaps(window);
  // The retained, untouched sprites as bits: a marking reads long lists, mostly of sprites
  // that move, and the bits spare it their records. Only the marking changes the flags the
  // test reads, and it clears the bits it marks.
  thread_local std::vector<std::uint64_t> storage;
  SpriteBits untouched(heap, storage);
  std::size_t left = 0;  // untouched sprites not yet marked
  for (Sprite* s = heap->firstSprite; s; s = s->Next())
    if (RetainedUntouched(s)) {
      untouched.Add(s);
      ++left;
    }
  const auto isUntouched = [&untouched](const Sprite* s) { return untouched.Has(s); };
  const auto marked = [&untouched, &left](const Sprite* s) {
    untouched.Remove(s);
    --left;
  };
  // In a crowd the first few markings reach every retained sprite; what follows would only
  // read lists for sprites already marked.
  const auto exhausted = [&left] { return left == 0; };
  for (Sprite* s = heap->firstSprite; s && left; s = s->Next()) {
    if (!untouched.Has(s) || !HasSaved(s)) continue;
    CompleteList(window, s);
    if (!MoverTouches(s)) continue;
    s->flags |= kSpriteUncovered;
    marked(s);
    Spread(window, s, isUntouched, marked, exhausted);
  }
}

void NoteChanged(GameWindow* window, Sprite* s) {
  s->flags |= kSpriteChanged;
  if ((s->flags & kSpriteRetained) && !(s->flags & kSpriteHidden) &&
      !(s->flags & kSpriteDriverMode) && !DriverMode(window))
    MarkNeighbours(window, s);
}

}  // namespace sprite
