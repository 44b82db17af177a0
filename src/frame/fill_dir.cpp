// CFillDir: a two-colour gradient in solid bands.
#include <vexa/fill_style.h>

#include <climits>
#include <vector>

#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "frame/fill_context.h"
#include "render/fill_bands.h"

namespace {

constexpr COLORREF kNearBlack = 0x000008;

COLORREF StoredColour(COLORREF colour) { return colour == 0 ? kNearBlack : colour; }

// Display-driver surfaces (groups 5 to 7) fill gradients themselves.
int GroupOf(cSurfaceObject* surface) { return surface->GetDriver(); }

FillCornerColours CornersOf(const CFillDir& fill) {
  if (fill.vertical) return {{fill.colour1, fill.colour1, fill.colour2, fill.colour2}};
  return {{fill.colour1, fill.colour2, fill.colour2, fill.colour1}};
}

int DriverFill(CFillDir& fill, cSurfaceObject* surface, int left, int top, int right, int bottom) {
  FillCornerColours corners = CornersOf(fill);
  return surface->implementation->FillRectDriver(
      left - surface->originX, top - surface->originY, vexa::SpanOf(left, right),
      vexa::SpanOf(top, bottom), 0, reinterpret_cast<HookArg>(&corners));
}

}  // namespace

CFillDir::CFillDir(COLORREF c1, COLORREF c2, int isVertical, int x, int y)
    : originX(x),
      originY(y),
      colour1(StoredColour(c1)),
      colour2(StoredColour(c2)),
      vertical(isVertical) {}

CFillDir::CFillDir(const CFillDir& other)
    : CFillData(other),
      originX(other.originX),
      originY(other.originY),
      colour1(other.colour1),
      colour2(other.colour2),
      vertical(other.vertical) {}

CFillData* CFillDir::Destroy(unsigned flags) {
  this->CFillDir::~CFillDir();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
  return this;
}

std::uint32_t CFillDir::SetOrigin(int x, int y) {
  originX = x;
  originY = y;
  return vexa::PackOrigin(x, y);
}

int CFillDir::Fill(cSurfaceObject* surface, int width, int height, int avoidBlack) {
  if (!surface) return 0;
  if (width == INT_MAX) width = surface->GetWidth();
  if (height == INT_MAX) height = surface->GetHeight();
  if (GroupOf(surface) >= kDriverD3D9) return DriverFill(*this, surface, 0, 0, width, height);
  const vexa::GradientBands gradient(colour1, colour2);
  std::vector<vexa::FillBand> bands;
  gradient.ShiftedBands(vertical ? originY : originX, vertical ? height : width, avoidBlack != 0,
                        &bands);
  return vexa::PaintBands(surface, bands, vertical != 0, 0, vertical ? width : height);
}

int CFillDir::FillRect(cSurfaceObject* surface, int left, int top, int right, int bottom,
                       int avoidBlack) {
  if (!surface) return 0;
  if (GroupOf(surface) >= kDriverD3D9) return DriverFill(*this, surface, left, top, right, bottom);
  const vexa::GradientBands gradient(colour1, colour2);
  std::vector<vexa::FillBand> bands;
  if (vertical) {
    gradient.RectBands(top, vexa::SpanOf(top, bottom), avoidBlack != 0, &bands);
    return vexa::PaintBands(surface, bands, true, left, right);
  }
  gradient.RectBands(left, vexa::SpanOf(left, right), avoidBlack != 0, &bands);
  return vexa::PaintBands(surface, bands, false, top, bottom);
}

int CFillDir::FillRectBlend(cSurfaceObject* surface, int left, int top, int right, int bottom,
                            int mode, std::uint32_t modulation, int avoidBlack) {
  if (!surface) return 0;
  if (GroupOf(surface) == kDriverD3D11) {
    FillCornerColours corners = CornersOf(*this);
    return surface->implementation->FillRectEffect(
        left - surface->originX, top - surface->originY, vexa::SpanOf(left, right),
        vexa::SpanOf(top, bottom), &corners, 0, mode, static_cast<HookArg>(modulation));
  }
  return FillRect(surface, left, top, right, bottom, avoidBlack);
}
