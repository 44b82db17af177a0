// cSurfaceObject::DrawLine: native lines of driver surfaces, wide lines through the device
// context, one-pixel lines in software.
#include <algorithm>

#include <vexa/surface_object.h>

#include "frame/context_shapes.h"
#include "frame/software_line.h"
#include "render/line_clip.h"
#include "surface/direct_pixels.h"

namespace vexa {
namespace {

template <int kBytes>
void Store(std::uint8_t* p, std::uint32_t raw) {
  p[0] = static_cast<std::uint8_t>(raw);
  if (kBytes >= 2) p[1] = static_cast<std::uint8_t>(raw >> 8);
  if (kBytes >= 3)
    p[2] = static_cast<std::uint8_t>(raw >> 16);  // a 32-bit pixel's fourth byte stays
}

// The stepping of StepLine with stores straight into the storage. The endpoints have been
// clipped into clipLeft..clipRight, clipTop..clipBottom, so only pixels on the exclusive
// right and bottom edges can lie outside the clip; they are skipped. A line whose ends both
// lie left of the right edge and above the bottom one has no such pixel (its pixels lie
// between its ends on both axes), so kChecked is false for it and no pixel is tested.
template <int kBytes, bool kChecked>
void StoreLineAs(cSurfaceImplementation* s, int x1, int y1, int x2, int y2, std::uint32_t raw) {
  const int xEnd = s->clipRight, yEnd = s->clipBottom;
  const LineAxes a(x1, y1, x2, y2);
  std::uint8_t* base = s->firstRow;
  const std::ptrdiff_t pitch = s->pitch;
  std::ptrdiff_t at =
      static_cast<std::ptrdiff_t>(y1) * pitch + static_cast<std::ptrdiff_t>(x1) * kBytes;
  int x = x1, y = y1;
  auto put = [&] {
    if (!kChecked || (x < xEnd && y < yEnd)) Store<kBytes>(base + at, raw);
  };
  auto stepX = [&] {
    x += a.sx;
    at += a.sx * kBytes;
  };
  auto stepY = [&] {
    y += a.sy;
    at += a.sy * pitch;
  };
  if (a.XMajor())
    StepAxes(a.ax, a.ay, a.ax / 2, put, stepX, stepY);
  else
    StepAxes(a.ay, a.ax, a.ay / 2, put, stepY, stepX);
}

template <int kBytes>
void StoreLine(cSurfaceImplementation* s, int x1, int y1, int x2, int y2, std::uint32_t raw) {
  if (std::max(x1, x2) < s->clipRight && std::max(y1, y2) < s->clipBottom)
    StoreLineAs<kBytes, false>(s, x1, y1, x2, y2, raw);
  else
    StoreLineAs<kBytes, true>(s, x1, y1, x2, y2, raw);
}

}  // namespace

int DrawSoftwareLine(cSurfaceObject* surface, int x1, int y1, int x2, int y2, COLORREF colour) {
  cSurfaceImplementation* s = surface->implementation;
  RECT clip;
  surface->GetClipRect(&clip);
  std::int64_t ax = x1, ay = y1, bx = x2, by = y2;
  // The clip's right and bottom edges count as inside here; plots beyond them are ignored.
  if (!ClipSegment(&ax, &ay, &bx, &by, clip.left, clip.top, clip.right, clip.bottom)) return 1;
  const int ox = surface->originX, oy = surface->originY;
  const bool indexed = s->depth <= 8;
  // At 8 bits a colour with bit 24 set names its index itself.
  std::uint32_t index = 0;
  if (indexed)
    index = (colour & 0x01000000) ? colour & 0xFF
                                  : static_cast<std::uint32_t>(s->GetNearestIndex(colour));
  if (HasDirectPixels(s) && s->Lock()) {
    const int px1 = static_cast<int>(ax - ox), py1 = static_cast<int>(ay - oy);
    const int px2 = static_cast<int>(bx - ox), py2 = static_cast<int>(by - oy);
    const std::uint32_t raw = DirectPixelWriter(s, colour, index).raw();
    switch (s->bytesPerPixel) {
      case 1:
        StoreLine<1>(s, px1, py1, px2, py2, raw);
        break;
      case 2:
        StoreLine<2>(s, px1, py1, px2, py2, raw);
        break;
      case 3:
        StoreLine<3>(s, px1, py1, px2, py2, raw);
        break;
      default:
        StoreLine<4>(s, px1, py1, px2, py2, raw);
        break;
    }
    s->Unlock();
    return 1;
  }
  StepLine(static_cast<int>(ax), static_cast<int>(ay), static_cast<int>(bx), static_cast<int>(by),
           [&](int x, int y) {
             if (indexed)
               surface->SetPixelValue(x, y, index);
             else
               surface->SetPixelColor(x, y, colour);
           });
  return 1;
}

}  // namespace vexa

int cSurfaceObject::DrawLine(int x1, int y1, int x2, int y2, int width, COLORREF colour) {
  cSurfaceImplementation* s = implementation;
  if (s->HasNativeLines()) {
    if (s->HandlesOrigin()) return s->DrawLineNative(x1, y1, x2, y2, width, colour);
    return s->DrawLineNative(x1 - originX, y1 - originY, x2 - originX, y2 - originY, width, colour);
  }
  if (width != 1) {
    const vexa::ContextShape line = vexa::ContextShape::Line(x1, y1, x2, y2, width, colour);
    return vexa::DrawOnContext(this, line);
  }
  return vexa::DrawSoftwareLine(this, x1, y1, x2, y2, colour);
}
