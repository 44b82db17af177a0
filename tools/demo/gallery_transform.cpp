// Stretching (nearest and smooth, up and down, transparency-aware) and rotation (quarter
// turns, free angles with nearest and bilinear sampling), each with its bounding box outlined
// and the moved hot spot marked.
#include <string>

#include <vexa/blit.h>
#include <vexa/rotation.h>

#include "gallery.h"

namespace demo {
namespace {

constexpr std::uint32_t kStretchResample = 1;
constexpr std::uint32_t kStretchResampleTransparent = 2;
constexpr std::uint32_t kStretchCopyAlpha = 4;
constexpr COLORREF kBoxColor = 0x0000FFFF;      // yellow
constexpr COLORREF kHotSpotColor = 0x000000FF;  // red

void Outline(cSurfaceObject& canvas, int x, int y, int w, int h, COLORREF color) {
  canvas.FillRectColor(x - 1, y - 1, w + 2, 1, color);
  canvas.FillRectColor(x - 1, y + h, w + 2, 1, color);
  canvas.FillRectColor(x - 1, y, 1, h, color);
  canvas.FillRectColor(x + w, y, 1, h, color);
}

void Cross(cSurfaceObject& canvas, int x, int y, COLORREF color) {
  canvas.FillRectColor(x - 3, y, 7, 1, color);
  canvas.FillRectColor(x, y - 3, 1, 7, color);
}

// Draws `image` transparently onto a background tile at (x, y), outlines it and records it.
void Place(Gallery& gallery, cSurfaceObject& image, int x, int y, const std::string& name) {
  cSurfaceObject& canvas = gallery.Canvas();
  const int w = image.GetWidth(), h = image.GetHeight();
  auto background = MakeBackground(32, w, h);
  background->Blit(&canvas, x, y, 0, 0, w, h, kModeOpaque, 0, 0, 0);
  image.Blit(&canvas, x, y, 0, 0, w, h, kModeTransparent, 0, 0, 0);
  gallery.AddTile(name, x, y, w, h);
  Outline(canvas, x, y, w, h, kBoxColor);
}

int StretchRow(Gallery& gallery, int y) {
  auto sprite = MakeSprite(false);
  auto alphaSprite = MakeSprite(true);
  struct Case {
    const char* label;
    cSurfaceObject* source;
    int width, height;
    std::uint32_t flags;
  } cases[] = {
      {"NEAREST UP", sprite.get(), 80, 56, 0},
      {"NEAREST DOWN", sprite.get(), 20, 14, 0},
      {"SMOOTH UP", sprite.get(), 80, 56, kStretchResample},
      {"SMOOTH DOWN", sprite.get(), 20, 14, kStretchResample},
      {"SMOOTH TRANSP", sprite.get(), 80, 56, kStretchResampleTransparent},
      {"ALPHA SMOOTH", alphaSprite.get(), 80, 56, kStretchResample | kStretchCopyAlpha},
  };
  gallery.Label(8, y, "STRETCHING (32 X 32 SPRITE)");
  y += 14;
  int x = 8;
  for (const Case& c : cases) {
    gallery.Label(x, y, c.label);
    auto scaled = MakeSurface(32, c.width, c.height);
    scaled->FillColor(0);
    c.source->StretchBlit(scaled.get(), 0, 0, c.width, c.height, 0, 0, 32, 32, kModeOpaque, 0, 0,
                          c.flags);
    Place(gallery, *scaled, x, y + 12, std::string("stretch-") + c.label);
    x += 112 + 40;
  }
  return y + 12 + 56 + 16;
}

int RotationRow(Gallery& gallery, int y) {
  auto sprite = MakeSprite(false);
  sprite->FillRectColor(0, 0, 32, 4, 0x0000C000);  // a green top edge shows the turn
  gallery.Label(8, y, "ROTATION (HOT SPOT AT THE SPRITE CENTRE, BOX OUTLINED)");
  y += 14;
  struct Case {
    const char* label;
    double angle;
    int antialias;
  } cases[] = {{"90", 90, 0},          {"180", 180, 0},        {"270", 270, 0},
               {"30 NEAREST", 30, 0},  {"30 BILINEAR", 30, 1}, {"-45 BILINEAR", -45, 1},
               {"200 NEAREST", 200, 0}};
  int x = 8;
  for (const Case& c : cases) {
    gallery.Label(x, y, c.label);
    RECT box{0, 0, 32, 32};
    POINT hotSpot{16, 16};
    GetRotatedRect(&box, &hotSpot, nullptr, static_cast<float>(c.angle));
    auto turned = MakeSurface(32, box.right, box.bottom);
    sprite->Rotate(turned.get(), c.angle, c.antialias, 0, 1);
    Place(gallery, *turned, x, y + 12, std::string("rotate-") + c.label);
    Cross(gallery.Canvas(), x + hotSpot.x, y + 12 + hotSpot.y, kHotSpotColor);
    x += 120;
  }
  return y + 12 + 48 + 16;
}

}  // namespace

void DrawTransformSection(Gallery& gallery) {
  int y = gallery.NextRow();
  y = StretchRow(gallery, y);
  y = RotationRow(gallery, y);
  gallery.Advance(y - gallery.NextRow());
}

}  // namespace demo
