#include "platform/gdi/gdi_paint.h"

#include <algorithm>

#include "pixels/kernels/kernel_routines.h"

namespace plat {

std::uint32_t ApplyRop2(int rop2, std::uint32_t p, std::uint32_t d, std::uint32_t mask) {
  // Bits of (code - 1) give the result for (pen, destination) = (0,0), (0,1), (1,0), (1,1).
  const unsigned table = static_cast<unsigned>(rop2 - 1) & 15;
  std::uint32_t r = 0;
  if (table & 1) r |= ~p & ~d;
  if (table & 2) r |= ~p & d;
  if (table & 4) r |= p & ~d;
  if (table & 8) r |= p & d;
  return (r & mask) | (d & ~mask);
}

namespace {

std::uint32_t ValueMask(int depth) {
  switch (depth) {
    case 1:
      return 1;
    case 8:
      return 0xFF;
    case 15:
      return 0x7FFF;
    case 16:
      return 0xFFFF;
    default:
      return 0xFFFFFF;
  }
}

}  // namespace

Painter::Painter(DC& dc, int rop2) : dc_(dc), bitmap_(dc.state.bitmap), rop2_(rop2) {
  if (!bitmap_) return;
  clip_ = DrawableClip(dc);
  box_ = BoundsOf(clip_);
  mask_ = ValueMask(bitmap_->depth);
  if (rop2_ == R2_COPYPEN && bitmap_->depth >= 8)
    rowFill_ = vexa::PixelRowFiller(bitmap_->view.bytesPerPixel);
}

Painter::~Painter() {
  if (hasDrawn_) MarkDirty(dc_, drawn_);
}

void Painter::Run(int y, int x0, int x1, std::uint32_t value) {
  Bitmap& b = *bitmap_;
  if (!hasDrawn_) {
    drawn_ = RECT{x0, y, x1, y + 1};
    hasDrawn_ = true;
  } else {
    drawn_ = RECT{std::min(drawn_.left, x0), std::min(drawn_.top, y), std::max(drawn_.right, x1),
                  std::max(drawn_.bottom, y + 1)};
  }
  if (rowFill_) {
    rowFill_(b.view.PixelAddress(x0, y), x1 - x0, value);
    return;
  }
  if (rop2_ == R2_NOP) return;
  for (int x = x0; x < x1; ++x)
    WriteValue(b, x, y,
               rop2_ == R2_COPYPEN ? value : ApplyRop2(rop2_, value, ReadValue(b, x, y), mask_));
}

void Painter::SpanOverClip(int y, int x0, int x1, std::uint32_t value) {
  for (const RECT& r : clip_) {
    if (r.top > y) break;
    if (y >= r.bottom) continue;
    const int a = std::max(x0, static_cast<int>(r.left));
    const int c = std::min(x1, static_cast<int>(r.right));
    if (a < c) Run(y, a, c, value);
  }
}

void Painter::Box(int left, int top, int right, int bottom, std::uint32_t value) {
  if (!bitmap_) return;
  for (const RECT& r : clip_) {
    const int l = std::max(left, static_cast<int>(r.left));
    const int t = std::max(top, static_cast<int>(r.top));
    const int rr = std::min(right, static_cast<int>(r.right));
    const int bb = std::min(bottom, static_cast<int>(r.bottom));
    if (l >= rr || t >= bb) continue;
    if (rop2_ == R2_COPYPEN && bitmap_->depth >= 8) {
      // Whole rectangles go to the row fill at once.
      Run(t, l, rr, value);
      if (bb - t > 1)
        vexa::FillPixelRows(bitmap_->view.PixelAddress(l, t + 1), bitmap_->view.pitch, rr - l,
                            bb - t - 1, bitmap_->view.bytesPerPixel, value);
      drawn_.bottom = std::max(drawn_.bottom, bb);
      continue;
    }
    for (int y = t; y < bb; ++y) Run(y, l, rr, value);
  }
}

COLORREF ContextColor(const DC& dc, COLORREF color) {
  const Bitmap& b = *dc.state.bitmap;
  if ((color & 0xFF000000u) == 0x01000000u && b.depth > 8) {
    const Palette* p = dc.state.palette ? dc.state.palette : StockPalette();
    const WORD index = static_cast<WORD>(color & 0xFFFF);
    const PALETTEENTRY e = index < p->record.entryCount ? p->record.entries[index] : PALETTEENTRY{};
    color = static_cast<COLORREF>(e.peRed | e.peGreen << 8 | e.peBlue << 16);
  }
  return color & 0x01FFFFFFu;
}

}  // namespace plat
