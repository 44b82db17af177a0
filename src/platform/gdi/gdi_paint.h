// Writing stored pixel values into a context's bitmap within its clip, with its binary raster
// operation (internal to the gdi folder).
#pragma once

#include <algorithm>

#include "pixels/kernels/kernel_routines.h"

#include "platform/gdi/gdi_objects.h"

namespace plat {

// The result of a binary raster operation on a pen value and a destination value, limited to
// the bits a pixel stores (`mask`); the bits above stay as they are.
std::uint32_t ApplyRop2(int rop2, std::uint32_t pen, std::uint32_t destination, std::uint32_t mask);

// A colour as the context's bitmap takes it: PALETTEINDEX colours name an entry of the selected
// palette on bitmaps without a colour table (and stay indexes on those with one).
COLORREF ContextColor(const DC& dc, COLORREF color);

class Painter {
 public:
  // `rop2` COPYPEN writes values as they are.
  Painter(DC& dc, int rop2);
  ~Painter();
  bool Ready() const { return bitmap_ != nullptr && !clip_.empty(); }
  const RECT& ClipBox() const { return box_; }
  Bitmap& Target() const { return *bitmap_; }
  // Device pixels [x0, x1) of row y, clipped. Inline: shapes call it for every row.
  void Span(int y, int x0, int x1, std::uint32_t value) {
    if (!bitmap_ || y < box_.top || y >= box_.bottom || x0 >= x1) return;
    if (clip_.size() != 1) return SpanOverClip(y, x0, x1, value);
    // The usual clip, one rectangle: the box itself.
    const int a = std::max(x0, static_cast<int>(box_.left));
    const int c = std::min(x1, static_cast<int>(box_.right));
    if (a < c) Run(y, a, c, value);
  }
  // Device box [left, right) x [top, bottom), clipped.
  void Box(int left, int top, int right, int bottom, std::uint32_t value);

 private:
  void SpanOverClip(int y, int x0, int x1, std::uint32_t value);
  void Run(int y, int x0, int x1, std::uint32_t value);
  DC& dc_;
  // The row fill when values are written as they are on a bitmap of whole bytes a pixel.
  vexa::PixelRowFill rowFill_ = nullptr;
  Bitmap* bitmap_;
  RectList clip_;
  RECT box_{};
  RECT drawn_{0, 0, 0, 0};
  bool hasDrawn_ = false;
  int rop2_;
  std::uint32_t mask_ = 0;
};

}  // namespace plat
