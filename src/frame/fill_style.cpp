// CFillData's base operations and CFillFlat.
#include <vexa/fill_style.h>

#include <climits>

#include <vexa/surface_object.h>

#include "render/fill_bands.h"

namespace {

constexpr COLORREF kNearBlack = 0x000008;

COLORREF FlatColour(COLORREF colour, int avoidBlack) {
  return colour == 0 && avoidBlack ? kNearBlack : colour;
}

// INT_MAX stands for the surface's own extent.
int OwnExtent(int extent, int own) { return extent == INT_MAX ? own : extent; }

}  // namespace

CFillData::CFillData(const CFillData&) {}

CFillData* CFillData::Destroy(unsigned flags) {
  this->CFillData::~CFillData();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
  return this;
}

std::uint32_t CFillData::SetOrigin(int, int) { return 0; }

int CFillData::Fill(cSurfaceObject* surface, int width, int height, int avoidBlack) {
  if (!surface) return 0;
  return FillRect(surface, 0, 0, OwnExtent(width, surface->GetWidth()),
                  OwnExtent(height, surface->GetHeight()), avoidBlack);
}

int CFillData::FillBlend(cSurfaceObject* surface, int width, int height, int mode,
                         std::uint32_t modulation, int avoidBlack) {
  if (!surface) return 0;
  return FillRectBlend(surface, 0, 0, OwnExtent(width, surface->GetWidth()),
                       OwnExtent(height, surface->GetHeight()), mode, modulation, avoidBlack);
}

CFillFlat::CFillFlat(COLORREF fillColour) : colour(fillColour == 0 ? kNearBlack : fillColour) {}

CFillFlat::CFillFlat(const CFillFlat& other) : CFillData(other), colour(other.colour) {}

CFillData* CFillFlat::Destroy(unsigned flags) {
  this->CFillFlat::~CFillFlat();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
  return this;
}

int CFillFlat::FillRect(cSurfaceObject* surface, int left, int top, int right, int bottom,
                        int avoidBlack) {
  if (!surface) return 0;
  return surface->FillRectColor(left, top, vexa::SpanOf(left, right), vexa::SpanOf(top, bottom),
                                FlatColour(colour, avoidBlack));
}

int CFillFlat::FillRectBlend(cSurfaceObject* surface, int left, int top, int right, int bottom,
                             int mode, std::uint32_t modulation, int avoidBlack) {
  if (!surface) return 0;
  return surface->implementation->FillRectBlend(
      left - surface->originX, top - surface->originY, vexa::SpanOf(left, right),
      vexa::SpanOf(top, bottom), FlatColour(colour, avoidBlack), mode, modulation);
}
