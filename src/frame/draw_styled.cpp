// The styled primitives: a shape painted with fill styles and put on the surface through an
// ink effect.
//
// For each pass (interior, then border) the visible part of the shape's box gets two
// temporaries of the surface's depth (and palette), each with a device context: the fill surface,
// painted with the pass's style, and the mask, cleared to black with the pass's shape drawn on it
// with every bit set. The fill is ANDed onto the mask, which then holds the fill inside the shape
// and black (the temporaries' key) outside, and the mask is blitted transparently onto the surface.
// At 8 bits the mask is drawn with indexes (all bits set, and 0) rather than palette colours, so
// the AND keeps the fill's indexes whatever the palette holds at white and black.
#include <vexa/surface_object.h>

#include <algorithm>
#include <climits>
#include <vector>

#include <vexa/blit.h>
#include <vexa/fill_style.h>

#include "frame/context_shapes.h"
#include "frame/software_line.h"
#include "render/context_buffer.h"

namespace {

struct Box {
  long long left, top, right, bottom;
  bool Empty() const { return right <= left || bottom <= top; }
};

enum class Shape { kLine, kRectangle, kEllipse, kPolygon };

// One styled request, in the target's object coordinates.
struct StyledRequest {
  Shape shape;
  Box box;  // the shape's box (lines: grown by the width)
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0, width = 1;
  const POINT* points = nullptr;
  int count = 0;
  CFillData* interior = nullptr;
  CFillData* border = nullptr;
  int borderWidth = 0;
  int fill = 0;
  std::uint32_t flags = 0, effect = 0;
  EffectParam parameter = 0;
};

class StyledPainter {
 public:
  StyledPainter(cSurfaceObject* target, const StyledRequest& request, const Box& visible)
      : target_(target), r_(request), visible_(visible) {
    const bool indexed = target->GetDepth() == 8;
    white_ = indexed ? 0x010000FF : 0xFFFFFF;
    black_ = indexed ? 0x01000000 : 0x000000;
    dx_ = static_cast<int>(visible.left);
    dy_ = static_cast<int>(visible.top);
  }

  int Run() {
    if (!MakeTemporaries()) return 0;
    const bool hasBorder = r_.borderWidth > 0 && r_.shape != Shape::kLine;
    if (r_.interior && (r_.fill || !hasBorder)) {
      AnchorStyle(r_.interior);
      if (!r_.interior->Fill(&fill_, INT_MAX, INT_MAX, 1)) return Fail();
      if (!DrawInteriorMask(hasBorder)) return Fail();
      CombineAndBlit();
    }
    if (hasBorder && r_.border) {
      if (!PaintBorderFill()) return Fail();
      if (!DrawBorderMask()) return Fail();
      CombineAndBlit();
    }
    return 1;
  }

 private:
  int Width() const { return static_cast<int>(visible_.right - visible_.left); }
  int Height() const { return static_cast<int>(visible_.bottom - visible_.top); }

  bool MakeTemporaries() {
    cSurfaceImplementation* like = target_->implementation;
    if (like->depth == 8 && !like->palette) {
      target_->lastError = kErrorNotSupported;
      return false;
    }
    for (cSurfaceObject* t : {&fill_, &mask_}) {
      cSurfaceImplementation* made = vexa::cContextBufferSurface::Make(like, Width(), Height());
      if (!made) {
        target_->lastError = kErrorNoMemory;
        return false;
      }
      t->SetImplementation(made);
      t->SetTransparentColor(0);
    }
    mask_.FillRectValue(0, 0, Width(), Height(), 0);
    return true;
  }

  int Fail() {
    if (!target_->lastError) target_->lastError = kErrorNoDeviceContext;
    return 0;
  }

  // The style's pattern starts at the shape's top-left corner.
  void AnchorStyle(CFillData* style) const {
    style->SetOrigin(static_cast<int>(visible_.left - r_.box.left),
                     static_cast<int>(visible_.top - r_.box.top));
  }

  // Shape coordinates inside the temporaries.
  int X(long long x) const {
    return static_cast<int>(std::clamp<long long>(x - dx_, INT_MIN / 2, INT_MAX / 2));
  }
  int Y(long long y) const {
    return static_cast<int>(std::clamp<long long>(y - dy_, INT_MIN / 2, INT_MAX / 2));
  }

  std::vector<POINT> LocalPoints() const {
    std::vector<POINT> local(static_cast<size_t>(r_.count));
    for (int i = 0; i < r_.count; ++i) local[i] = POINT{X(r_.points[i].x), Y(r_.points[i].y)};
    return local;
  }

  bool DrawInteriorMask(bool hasBorder) {
    const int w = hasBorder ? r_.borderWidth : 0;
    const Box& b = r_.box;
    switch (r_.shape) {
      case Shape::kLine:
        if (r_.width == 1)
          return vexa::DrawSoftwareLine(&mask_, X(r_.x1), Y(r_.y1), X(r_.x2), Y(r_.y2), white_);
        return mask_.DrawLine(X(r_.x1), Y(r_.y1), X(r_.x2), Y(r_.y2), r_.width, white_);
      case Shape::kRectangle:
        if (b.right - b.left > 2LL * w && b.bottom - b.top > 2LL * w)
          mask_.FillRectColor(X(b.left + w), Y(b.top + w),
                              static_cast<int>(b.right - b.left - 2LL * w),
                              static_cast<int>(b.bottom - b.top - 2LL * w), white_);
        return true;
      case Shape::kEllipse:
        return mask_.DrawEllipse(X(b.left), Y(b.top), X(b.right), Y(b.bottom), white_,
                                 w > 0 ? w - 1 : 0, black_, 1);
      case Shape::kPolygon: {
        const std::vector<POINT> local = LocalPoints();
        return mask_.DrawPolygon(local.data(), r_.count, white_, w > 0 ? w - 1 : 0, black_, 1);
      }
    }
    return false;
  }

  // Rectangle borders paint each bar with the style anchored at the box's corner, so the
  // pattern runs on unbroken along every bar.
  bool PaintBorderFill() {
    CFillData* style = r_.border;
    if (r_.shape != Shape::kRectangle) {
      AnchorStyle(style);
      return style->Fill(&fill_, INT_MAX, INT_MAX, 1) != 0;
    }
    const Box& b = r_.box;
    const long long w =
        std::min<long long>(r_.borderWidth, std::min(b.right - b.left, b.bottom - b.top));
    const Box bars[] = {{b.left, b.top, b.right, b.top + w},
                        {b.left, b.top, b.left + w, b.bottom},
                        {b.left, b.bottom - w, b.right, b.bottom},
                        {b.right - w, b.top, b.right, b.bottom}};
    for (const Box& bar : bars) {
      AnchorStyle(style);
      const Box cut{std::max(bar.left, visible_.left), std::max(bar.top, visible_.top),
                    std::min(bar.right, visible_.right), std::min(bar.bottom, visible_.bottom)};
      if (cut.Empty()) continue;
      if (!style->FillRect(&fill_, X(cut.left), Y(cut.top), X(cut.right), Y(cut.bottom), 1))
        return false;
    }
    return true;
  }

  bool DrawBorderMask() {
    const Box& b = r_.box;
    switch (r_.shape) {
      case Shape::kRectangle:
        return mask_.DrawRectangle(X(b.left), Y(b.top), X(b.right), Y(b.bottom), 0, r_.borderWidth,
                                   white_, 0);
      case Shape::kEllipse:
        return mask_.DrawEllipse(X(b.left), Y(b.top), X(b.right), Y(b.bottom), 0, r_.borderWidth,
                                 white_, 0);
      case Shape::kPolygon: {
        const std::vector<POINT> local = LocalPoints();
        return mask_.DrawPolygon(local.data(), r_.count, 0, r_.borderWidth, white_, 0);
      }
      case Shape::kLine:
        break;
    }
    return false;
  }

  void CombineAndBlit() {
    fill_.Blit(&mask_, 0, 0, 0, 0, Width(), Height(), kModeOpaque, kEffectAnd, 0, 0);
    mask_.Blit(target_, dx_, dy_, 0, 0, Width(), Height(), kModeTransparent, r_.effect,
               r_.parameter, r_.flags);
    mask_.FillRectValue(0, 0, Width(), Height(), 0);
  }

  cSurfaceObject* target_;
  const StyledRequest& r_;
  Box visible_;
  cSurfaceObject fill_;
  cSurfaceObject mask_;
  COLORREF white_ = 0, black_ = 0;
  int dx_ = 0, dy_ = 0;
};

int DrawStyled(cSurfaceObject* target, const StyledRequest& request) {
  RECT clip;
  target->GetClipRect(&clip);
  const Box visible{std::max<long long>(request.box.left, clip.left),
                    std::max<long long>(request.box.top, clip.top),
                    std::min<long long>(request.box.right, clip.right),
                    std::min<long long>(request.box.bottom, clip.bottom)};
  if (visible.Empty()) return 0;
  return StyledPainter(target, request, visible).Run();
}

Box NormalisedBox(int x1, int y1, int x2, int y2) {
  return Box{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

}  // namespace

int cSurfaceObject::DrawLineStyled(int x1, int y1, int x2, int y2, int width, CFillData* style,
                                   std::uint32_t flags, std::uint32_t effect,
                                   EffectParam parameter) {
  StyledRequest r{};
  r.shape = Shape::kLine;
  const long long grow = std::abs(static_cast<long long>(width));
  const Box b = NormalisedBox(x1, y1, x2, y2);
  r.box = Box{b.left - grow, b.top - grow, b.right + grow, b.bottom + grow};
  r.x1 = x1;
  r.y1 = y1;
  r.x2 = x2;
  r.y2 = y2;
  r.width = width;
  r.interior = style;
  r.flags = flags;
  r.effect = effect;
  r.parameter = parameter;
  return DrawStyled(this, r);
}

namespace {

StyledRequest BoxRequest(Shape shape, int x1, int y1, int x2, int y2, CFillData* interior,
                         int borderWidth, CFillData* border, std::uint32_t flags,
                         std::uint32_t effect, EffectParam parameter, int fill) {
  StyledRequest r{};
  r.shape = shape;
  r.box = NormalisedBox(x1, y1, x2, y2);
  r.interior = interior;
  r.borderWidth = borderWidth;
  r.border = border;
  r.flags = flags;
  r.effect = effect;
  r.parameter = parameter;
  r.fill = fill;
  return r;
}

}  // namespace

int cSurfaceObject::DrawRectangleStyled(int x1, int y1, int x2, int y2, CFillData* interior,
                                        int borderWidth, CFillData* border, std::uint32_t flags,
                                        std::uint32_t effect, EffectParam parameter, int fill) {
  return DrawStyled(this, BoxRequest(Shape::kRectangle, x1, y1, x2, y2, interior, borderWidth,
                                     border, flags, effect, parameter, fill));
}

int cSurfaceObject::DrawRectangleStyled(int x1, int y1, int x2, int y2, int borderWidth,
                                        CFillData* border, std::uint32_t flags,
                                        std::uint32_t effect, EffectParam parameter) {
  if (borderWidth == 0) return 0;
  return DrawRectangleStyled(x1, y1, x2, y2, nullptr, borderWidth, border, flags, effect, parameter,
                             0);
}

int cSurfaceObject::DrawEllipseStyled(int x1, int y1, int x2, int y2, CFillData* interior,
                                      int borderWidth, CFillData* border, std::uint32_t flags,
                                      std::uint32_t effect, EffectParam parameter, int fill) {
  return DrawStyled(this, BoxRequest(Shape::kEllipse, x1, y1, x2, y2, interior, borderWidth, border,
                                     flags, effect, parameter, fill));
}

int cSurfaceObject::DrawEllipseStyled(int x1, int y1, int x2, int y2, int borderWidth,
                                      CFillData* border, std::uint32_t flags, std::uint32_t effect,
                                      EffectParam parameter) {
  if (borderWidth == 0) return 0;
  return DrawEllipseStyled(x1, y1, x2, y2, nullptr, borderWidth, border, flags, effect, parameter,
                           0);
}

int cSurfaceObject::DrawPolygonStyled(const POINT* points, int count, CFillData* interior,
                                      int borderWidth, CFillData* border, std::uint32_t flags,
                                      std::uint32_t effect, EffectParam parameter, int fill) {
  if (!points || count < 2) return 0;
  int minX = points[0].x, minY = points[0].y, maxX = minX, maxY = minY;
  for (int i = 1; i < count; ++i) {
    minX = std::min<int>(minX, points[i].x);
    minY = std::min<int>(minY, points[i].y);
    maxX = std::max<int>(maxX, points[i].x);
    maxY = std::max<int>(maxY, points[i].y);
  }
  StyledRequest r = BoxRequest(Shape::kPolygon, minX, minY, maxX, maxY, interior, borderWidth,
                               border, flags, effect, parameter, fill);
  r.points = points;
  r.count = count;
  return DrawStyled(this, r);
}

int cSurfaceObject::DrawPolygonStyled(const POINT* points, int count, int borderWidth,
                                      CFillData* border, std::uint32_t flags, std::uint32_t effect,
                                      EffectParam parameter) {
  if (borderWidth == 0) return 0;
  return DrawPolygonStyled(points, count, nullptr, borderWidth, border, flags, effect, parameter,
                           0);
}
