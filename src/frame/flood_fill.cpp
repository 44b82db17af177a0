// The scanline seed fill: four-way connected pixels whose colour lies within a tolerance of
// the seed's are painted, row runs at a time, with a bounded stack of pending segments.
#include "frame/flood_fill.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "surface/direct_pixels.h"
#include "surface/pixel_format.h"

namespace vexa {
namespace {

// A pending run: row, its columns x1..x2, and the direction to the row still to scan.
struct Segment {
  std::int32_t y, x1, x2, dy;
};

bool WithinTolerance(COLORREF a, COLORREF b, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (std::abs(d) > tolerance) return false;
  }
  return true;
}

// Every test and write through the implementation's virtual pixel operations.
class VirtualPixels {
 public:
  explicit VirtualPixels(const FloodFillRequest& r) : r_(r) {}
  bool Inside(int x, int y) const {
    COLORREF c = 0;
    if (!r_.surface->GetPixelColor(x, y, &c) || !WithinTolerance(c, r_.seedColour, r_.tolerance))
      return false;
    COLORREF painted = 0;
    return r_.target->GetPixelColor(x, y, &painted) && painted != r_.fillColour;
  }
  void Paint(int x, int y) const {
    if (r_.target->depth == 8)
      r_.target->SetPixelValue(x, y, r_.fillIndex);
    else
      r_.target->SetPixelColor(x, y, r_.fillColour);
  }

 private:
  const FloodFillRequest& r_;
};

// The colour a stored pixel reads as, per depth, as GetPixelColor answers it.
class ColourReader {
 public:
  explicit ColourReader(cSurfaceImplementation* s) : s_(s) {
    if (s->depth == 8)
      for (int i = 0; i < 256; ++i) palette_[i] = s->GetPaletteColor(i);
  }
  COLORREF operator()(int x, int y) const {
    const std::uint8_t* p = s_->PixelAddress(x, y);
    switch (s_->depth) {
      case 8:
        return palette_[*p];
      case 15:
        return ColorFrom555(p[0] | (p[1] << 8));
      case 16:
        return ColorFrom565(p[0] | (p[1] << 8));
      default:
        return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    }
  }
  // Raw value as an index into a per-value table (8, 15 and 16 bits).
  std::uint32_t Raw(int x, int y) const {
    const std::uint8_t* p = s_->PixelAddress(x, y);
    return s_->depth == 8 ? *p : static_cast<std::uint32_t>(p[0] | (p[1] << 8));
  }
  cSurfaceImplementation* surface() const { return s_; }

 private:
  cSurfaceImplementation* s_;
  COLORREF palette_[256] = {};
};

// Reads and writes the storage directly. Up to 16 bits the whole test on the surface is one
// table lookup per pixel (tolerance, and "not yet painted" when painting in place).
class DirectPixels {
 public:
  explicit DirectPixels(const FloodFillRequest& r)
      : r_(r),
        surface_(r.surface),
        target_(r.target),
        inPlace_(r.surface == r.target),
        writer_(r.target, r.fillColour, r.fillIndex) {
    const int depth = r.surface->depth;
    if (depth <= 16) {
      table_.resize(depth == 8 ? 256 : 65536);
      for (std::uint32_t v = 0; v < table_.size(); ++v) {
        const COLORREF c = depth == 8    ? r.surface->GetPaletteColor(static_cast<int>(v))
                           : depth == 15 ? ColorFrom555(v)
                                         : ColorFrom565(v);
        bool inside = WithinTolerance(c, r.seedColour, r.tolerance);
        if (inPlace_) inside = inside && c != r.fillColour;
        table_[v] = inside;
      }
    }
  }

  bool Inside(int x, int y) const {
    const cSurfaceImplementation* s = surface_.surface();
    if (!s->InClip(x, y)) return false;
    if (!table_.empty()) {
      if (!table_[surface_.Raw(x, y)]) return false;
    } else {
      const COLORREF c = surface_(x, y);
      if (!WithinTolerance(c, r_.seedColour, r_.tolerance)) return false;
      if (inPlace_) return c != r_.fillColour;
    }
    if (inPlace_) return true;
    return target_.surface()->InClip(x, y) && target_(x, y) != r_.fillColour;
  }

  void Paint(int x, int y) const { writer_.PutUnclipped(x, y); }

 private:
  const FloodFillRequest& r_;
  ColourReader surface_;
  ColourReader target_;
  bool inPlace_;
  std::vector<std::uint8_t> table_;
  DirectPixelWriter writer_;
};

template <class Pixels>
void Walk(const Pixels& pixels, int width, int height, int seedX, int seedY, Segment* stack,
          FloodBox* box) {
  int count = 0;
  auto push = [&](int y, int x1, int x2, int dy) {
    if (count < kFloodStackCapacity && y + dy >= 0 && y + dy < height)
      stack[count++] = Segment{y, x1, x2, dy};
  };
  auto paint = [&](int x, int y) {
    pixels.Paint(x, y);
    if (x < box->left) box->left = x;
    if (x > box->right) box->right = x;
    if (y < box->top) box->top = y;
    if (y > box->bottom) box->bottom = y;
  };

  push(seedY, seedX, seedX, 1);
  push(seedY + 1, seedX, seedX, -1);
  while (count > 0) {
    const Segment s = stack[--count];
    const int y = s.y + s.dy;
    int x = s.x1;
    while (x >= 0 && pixels.Inside(x, y)) paint(x--, y);
    int left = 0;
    bool scanRight = x < s.x1;
    if (scanRight) {
      left = x + 1;
      if (left < s.x1) push(y, left, s.x1 - 1, -s.dy);  // leak to the left
      x = s.x1 + 1;
    } else {
      x = s.x1;
    }
    for (;;) {
      if (scanRight) {
        while (x < width && pixels.Inside(x, y)) paint(x++, y);
        push(y, left, x - 1, s.dy);
        if (x > s.x2 + 1) push(y, s.x2 + 1, x - 1, -s.dy);  // leak to the right
      }
      // Skip to the next pixel inside this segment's columns.
      for (++x; x <= s.x2 && !pixels.Inside(x, y); ++x) {
      }
      left = x;
      if (x > s.x2) break;
      scanRight = true;
    }
  }
}

}  // namespace

int RunFloodFill(const FloodFillRequest& request, FloodBox* box) {
  std::unique_ptr<Segment[]> stack(new (std::nothrow) Segment[kFloodStackCapacity]);
  if (!stack) return 0;
  cSurfaceImplementation* surface = request.surface;
  const int width = surface->width;
  const int height = surface->height;
  const bool direct = request.allowDirect && HasDirectPixels(surface) &&
                      HasDirectPixels(request.target) && surface->Lock();
  if (direct) {
    const bool targetLocked = request.target == surface || request.target->Lock();
    if (targetLocked) {
      Walk(DirectPixels(request), width, height, request.seedX, request.seedY, stack.get(), box);
      if (request.target != surface) request.target->Unlock();
      surface->Unlock();
      return 1;
    }
    surface->Unlock();
  }
  Walk(VirtualPixels(request), width, height, request.seedX, request.seedY, stack.get(), box);
  return 1;
}

}  // namespace vexa
