// cSurfaceObject::DrawLine: native lines of driver surfaces, wide lines through the device
// context, one-pixel lines in software.
#include <vexa/surface_object.h>

#include "render/context_shapes.h"
#include "render/line_clip.h"
#include "render/software_line.h"
#include "surface/direct_pixels.h"

namespace vexa {

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
    const DirectPixelWriter writer(s, colour, index);
    StepLine(static_cast<int>(ax - ox), static_cast<int>(ay - oy), static_cast<int>(bx - ox),
             static_cast<int>(by - oy), [&](int x, int y) { writer.Put(x, y); });
    s->Unlock();
    return 1;
  }
  StepLine(static_cast<int>(ax), static_cast<int>(ay), static_cast<int>(bx),
           static_cast<int>(by), [&](int x, int y) {
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
    return s->DrawLineNative(x1 - originX, y1 - originY, x2 - originX, y2 - originY, width,
                             colour);
  }
  if (width != 1) {
    const vexa::ContextShape line = vexa::ContextShape::Line(x1, y1, x2, y2, width, colour);
    return vexa::DrawOnContext(this, line);
  }
  return vexa::DrawSoftwareLine(this, x1, y1, x2, y2, colour);
}
