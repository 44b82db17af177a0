// The area a redraw step touched, reported to the window's dirty-rectangle list.
//
// Reported one at a time, the rectangles of sprites that overlap each other (a moving sprite's
// old and new place, neighbours in a crowd) are merged by the list into their bounding boxes,
// and those boxes take in more rectangles until they can span most of the display, all of
// which is presented. Instead the step marks the 8-pixel tiles its rectangles touch and hands
// the list tile-aligned rectangles that overlap neither one another nor anything listed: the
// list keeps them as they are, and what is presented stays within a tile of what changed.
// Tiles that a listed rectangle covers whole are left out (the erase step's tiles, when the
// draw step reports). Should a tile be covered only in part by a listed rectangle, the
// rectangles go through the list's merging instead, which is correct either way.
#include <algorithm>
#include <cstdint>
#include <vector>

#include <vexa/surface_implementation.h>

#include "sprite/sprite_internal.h"

namespace sprite {
namespace {

constexpr int kTileShift = 3;
constexpr int kTile = 1 << kTileShift;

int TilesOf(int pixels) { return (pixels + kTile - 1) >> kTileShift; }

}  // namespace

DirtyArea::DirtyArea(GameWindow* window, const cSurfaceImplementation* display) : window_(window) {
  if (!IsValidWindowObject(window) || !window->dirtyRects || !display ||
      (window->flags & kGameWindowDriverDisplay) || display->width <= 0 || display->height <= 0)
    return;
  width_ = display->width;
  height_ = display->height;
  columns_ = TilesOf(width_);
  rows_ = TilesOf(height_);
  words_ = (columns_ + 63) / 64;
  // Owners' callbacks run between the steps' marks and may redraw another window: the maps
  // belong to this step alone.
  const auto size = static_cast<std::size_t>(words_) * static_cast<std::size_t>(rows_);
  tiles_.assign(size, 0);
  partial_.assign(size, 0);
}

void DirtyArea::Mark(std::vector<std::uint64_t>& map, int x0, int y0, int x1, int y1, bool set) {
  // Tiles [x0, x1) x [y0, y1).
  const auto stride = static_cast<std::size_t>(words_);
  for (int w = x0 >> 6; w <= (x1 - 1) >> 6; ++w) {
    const int from = std::max(x0 - w * 64, 0), to = std::min(x1 - w * 64, 64);
    const std::uint64_t bits =
        (to == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << to) - 1) & (~std::uint64_t{0} << from);
    std::uint64_t* word = map.data() + static_cast<std::size_t>(y0) * stride + w;
    std::uint64_t* const end = word + static_cast<std::size_t>(y1 - y0) * stride;
    if (set) {
      for (; word < end; word += stride) *word |= bits;
    } else {
      for (; word < end; word += stride) *word &= ~bits;
    }
  }
}

void DirtyArea::Add(const RECT& r) {
  if (tiles_.empty()) return;
  const int left = std::max<int>(r.left, 0), right = std::min<int>(r.right, width_);
  const int top = std::max<int>(r.top, 0), bottom = std::min<int>(r.bottom, height_);
  if (left >= right || top >= bottom) return;  // nothing of it on the display
  const int y0 = top >> kTileShift, y1 = TilesOf(bottom);
  Mark(tiles_, left >> kTileShift, y0, TilesOf(right), y1, true);
  first_ = std::min(first_, y0);
  last_ = std::max(last_, y1);
}

// Leaves out the tiles listed rectangles cover whole and notes those they cover in part.
void DirtyArea::TakeOutListed() {
  const DirtyRectList& list = *window_->dirtyRects;
  const int count = std::clamp(list.count, 0, kDirtyRectCapacity);
  for (int i = 0; i < count; ++i) {
    const RECT& r = list.rects[i];
    const int left = std::max<int>(std::min(r.left, r.right), 0);
    const int right = std::min<int>(std::max(r.left, r.right), width_);
    const int top = std::max<int>(std::min(r.top, r.bottom), 0);
    const int bottom = std::min<int>(std::max(r.top, r.bottom), height_);
    if (left >= right || top >= bottom) continue;
    // Outer tiles: touched at all; inner tiles: inside whole (the display's edge tiles end at
    // the edge).
    const int ox0 = left >> kTileShift, ox1 = TilesOf(right);
    const int oy0 = top >> kTileShift, oy1 = TilesOf(bottom);
    const int ix0 = TilesOf(left), ix1 = right == width_ ? columns_ : right >> kTileShift;
    const int iy0 = TilesOf(top), iy1 = bottom == height_ ? rows_ : bottom >> kTileShift;
    // The ring of tiles between the outer and the inner ones is covered in part.
    if (ix0 >= ix1 || iy0 >= iy1) {
      Mark(partial_, ox0, oy0, ox1, oy1, true);
      continue;
    }
    Mark(tiles_, ix0, iy0, ix1, iy1, false);
    if (oy0 < iy0) Mark(partial_, ox0, oy0, ox1, iy0, true);
    if (iy1 < oy1) Mark(partial_, ox0, iy1, ox1, oy1, true);
    if (ox0 < ix0) Mark(partial_, ox0, iy0, ix0, iy1, true);
    if (ix1 < ox1) Mark(partial_, ix1, iy0, ox1, iy1, true);
  }
}

void DirtyArea::Report() {
  if (tiles_.empty() || first_ >= last_) return;
  const bool listed = window_->dirtyRects->count > 0;
  if (listed) TakeOutListed();
  bool overlaps = false;
  if (listed)
    for (std::size_t i = static_cast<std::size_t>(first_) * words_;
         i < static_cast<std::size_t>(last_) * words_ && !overlaps; ++i)
      overlaps = (tiles_[i] & partial_[i]) != 0;
  // Rows of runs of tiles; a run that repeats the one above (same ends) continues its
  // rectangle.
  struct Open {
    int left, right, top;
  };
  thread_local std::vector<Open> open, next;
  thread_local std::vector<RECT> out;
  open.clear();
  out.clear();
  const auto close = [this](const Open& o, int bottom) {
    out.push_back(RECT{o.left << kTileShift, o.top << kTileShift,
                       std::min(o.right << kTileShift, width_),
                       std::min(bottom << kTileShift, height_)});
  };
  for (int y = first_; y <= last_; ++y) {
    next.clear();
    std::size_t k = 0;
    const std::uint64_t* row =
        y < last_ ? tiles_.data() + static_cast<std::size_t>(y) * words_ : nullptr;
    int left = 0, right = 0;
    for (int x = 0; row && x < columns_ && NextRun(row, words_, columns_, x, &left, &right);
         x = right) {
      while (k < open.size() && open[k].left < left) close(open[k++], y);
      if (k < open.size() && open[k].left == left && open[k].right == right)
        next.push_back(open[k++]);
      else
        next.push_back(Open{left, right, y});
    }
    while (k < open.size()) close(open[k++], y);
    open.swap(next);
  }
  if (overlaps) {
    for (const RECT& r : out) AddDirtyRect(window_, &r);
  } else {
    AppendDirtyRects(window_, out.data(), static_cast<int>(out.size()));
  }
  first_ = INT32_MAX;
  last_ = INT32_MIN;
  std::fill(tiles_.begin(), tiles_.end(), 0);
  std::fill(partial_.begin(), partial_.end(), 0);
}

}  // namespace sprite
