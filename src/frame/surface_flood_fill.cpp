// cSurfaceObject::FloodFill and FloodFillNoBounds.
#include <vexa/blit.h>
#include <vexa/surface_object.h>

#include "frame/flood_fill.h"

namespace {

// The fill colour as a pixel read returns it after the write, and the index written at 8 bits.
void ResolveFillColour(cSurfaceImplementation* s, COLORREF colour, COLORREF* fill,
                       std::uint32_t* index) {
  colour &= 0x00FFFFFF;
  *index = 0;
  switch (s->depth) {
    case 8:
      *index = static_cast<std::uint32_t>(s->GetNearestIndex(colour)) & 0xFF;
      *fill = s->GetPaletteColor(static_cast<int>(*index));
      return;
    case 15:
      *fill = colour & 0xF8F8F8;
      return;
    case 16:
      *fill = colour & 0xF8FCF8;
      return;
    default:
      *fill = colour;
      return;
  }
}

}  // namespace

int cSurfaceObject::FloodFill(int x, int y, int* left, int* top, int* right, int* bottom,
                              COLORREF colour, std::uint32_t flags, int tolerance, int,
                              std::uint32_t effect, EffectParam parameter) {
  cSurfaceImplementation* s = implementation;
  vexa::FloodFillRequest request;
  request.surface = s;
  request.target = s;
  request.seedX = x - originX;
  request.seedY = y - originY;
  request.tolerance = tolerance;
  ResolveFillColour(s, colour, &request.fillColour, &request.fillIndex);
  // A seed that cannot be read (outside the clip, or a surface without readable pixels)
  // gives nothing to compare with.
  if (!s->GetPixelColor(request.seedX, request.seedY, &request.seedColour)) return 0;
  if (request.fillColour == request.seedColour) return 0;

  // Through an effect the fill is painted on a cleared temporary first and blitted over the
  // surface at the end. The temporary's key is its cleared value, so that the transparent
  // blit skips exactly the pixels the fill left unpainted, whatever the surface's own key.
  cSurfaceObject temporary;
  const bool throughEffect = request.fillColour != 0 && parameter != 0;
  if (throughEffect) {
    if (!temporary.Create(s->width, s->height, this)) {
      lastError = kErrorNoMemory;
      return 0;
    }
    cSurfaceImplementation* t = temporary.implementation;
    t->SetTransparentColor(0);
    t->FillRectValue(0, 0, t->width, t->height, t->GetTransparentValue());
    t->SetClipRect(s->clipLeft, s->clipTop, s->clipRight - s->clipLeft, s->clipBottom - s->clipTop);
    request.target = t;
  }

  vexa::FloodBox box{request.seedX, request.seedY, request.seedX, request.seedY};
  if (!vexa::RunFloodFill(request, &box)) {
    lastError = kErrorNoMemory;
    return 0;
  }
  if (throughEffect) {
    temporary.implementation->Blit(s, 0, 0, 0, 0, s->width, s->height, kModeTransparent, effect,
                                   parameter, flags);
  }
  if (left) *left = box.left + originX;
  if (top) *top = box.top + originY;
  if (right) *right = box.right + 1 + originX;
  if (bottom) *bottom = box.bottom + 1 + originY;
  return 1;
}

int cSurfaceObject::FloodFillNoBounds(int x, int y, COLORREF colour, std::uint32_t flags,
                                      int tolerance, int reserved, std::uint32_t effect,
                                      EffectParam parameter) {
  return FloodFill(x, y, nullptr, nullptr, nullptr, nullptr, colour, flags, tolerance, reserved,
                   effect, parameter);
}
