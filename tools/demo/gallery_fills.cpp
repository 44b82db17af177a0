// Fill styles, primitives and flood fill: flat and tiled fills, one-pixel lines through a
// clip, rectangles, styled shapes through an effect, and flood fills of a maze (plain, with a
// tolerance, and blended through an effect).
#include <cmath>
#include <string>

#include <vexa/blit.h>
#include <vexa/fill_style.h>

#include "gallery.h"

namespace demo {
namespace {

constexpr int kTileW = 112;
constexpr int kTileH = 80;

COLORREF Rgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }

std::unique_ptr<cSurfaceObject> Pattern() {
  auto tile = MakeSurface(32, 12, 12);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x)
      tile->SetPixelColor(x, y, ((x / 6) ^ (y / 6)) ? Rgb(240, 200, 40) : Rgb(40, 120, 220));
  tile->FillRectColor(5, 5, 2, 2, Rgb(220, 40, 40));
  return tile;
}

void Flat(cSurfaceObject& s) {
  CFillFlat blue(Rgb(40, 80, 200)), black(0);
  blue.FillRect(&s, 8, 8, 70, 50, 1);
  black.FillRect(&s, 50, 30, 104, 72, 1);                     // drawn as 0x000008, not the key
  blue.FillRectBlend(&s, 20, 40, 90, 64, 0, 0xFFFF8000u, 1);  // modulated: red and half green
}

void Mosaic(cSurfaceObject& s) {
  auto tile = Pattern();
  CFillMosaic mosaic(tile.get(), 3, -5);
  mosaic.FillRect(&s, 6, 6, 106, 74, 0);
}

void Lines(cSurfaceObject& s) {
  s.SetClipRect(10, 10, kTileW - 20, kTileH - 20);
  for (int i = 0; i < 24; ++i) {
    const double a = i * 3.14159265358979 / 12;
    const int x = 56 + static_cast<int>(std::lround(70 * std::cos(a)));
    const int y = 40 + static_cast<int>(std::lround(70 * std::sin(a)));
    s.DrawLine(56, 40, x, y, 1, Rgb(255 - i * 8, 80 + i * 7, 120));
  }
  s.ResetClipRect();
  s.DrawRectangle(9, 9, kTileW - 9, kTileH - 9, 1, Rgb(255, 255, 255));
}

void Rectangles(cSurfaceObject& s) {
  s.DrawRectangle(6, 6, 60, 50, Rgb(30, 140, 60), 3, Rgb(250, 250, 250), 1);
  s.DrawRectangle(100, 70, 40, 20, Rgb(180, 30, 90), 1, Rgb(250, 220, 0), 1);
  s.DrawRectangle(20, 56, 36, 76, 8, Rgb(90, 200, 255));  // wider than half: the box only
}

void Styled(cSurfaceObject& s) {
  auto tile = Pattern();
  CFillMosaic inside(tile.get(), 0, 0);
  CFillFlat border(Rgb(255, 255, 255)), line(Rgb(255, 60, 60));
  s.DrawRectangleStyled(8, 8, 70, 60, &inside, 4, &border, 0, kEffectSemiTransparent, 48, 1);
  s.DrawRectangleStyled(44, 28, 104, 72, &inside, 0, nullptr, 0, kEffectNone, 0, 1);
  s.DrawLineStyled(4, 76, 108, 4, 1, &line, 0, kEffectNone, 0);
  s.DrawRectangleStyled(80, 6, 108, 24, 3, &border, 0, kEffectAdd, 0);
}

// Ellipses and a star need a device context: on the memory canvas they come through the
// styled forms, whose temporaries bring their own.
void Shapes(cSurfaceObject& s) {
  CFillDir gradient(Rgb(255, 60, 40), Rgb(40, 60, 255), 1, 0, 0);
  CFillFlat white(Rgb(255, 255, 255));
  s.DrawEllipseStyled(4, 4, 70, 60, &gradient, 3, &white, 0, kEffectNone, 0, 1);
  auto tile = Pattern();
  CFillMosaic mosaic(tile.get(), 0, 0);
  POINT star[10];
  for (int i = 0; i < 10; ++i) {
    const double a = i * 3.14159265358979 / 5 - 3.14159265358979 / 2;
    const double r = i % 2 ? 14 : 34;
    star[i] = POINT{76 + static_cast<int>(std::lround(r * std::cos(a))),
                    42 + static_cast<int>(std::lround(r * std::sin(a)))};
  }
  s.DrawPolygonStyled(star, 10, &mosaic, 2, &gradient, 0, kEffectSemiTransparent, 40, 1);
}

// A serpentine maze, plain on the left and faintly textured on the right; the three flood
// fills differ in tolerance (the exact one stops at the texture) and effect.
void Maze(cSurfaceObject& s) {
  for (int y = 0; y < kTileH; ++y)
    for (int x = 0; x < kTileW; ++x)
      s.SetPixelColor(x, y,
                      Rgb(x < 56 ? 24 : 20 + (x * 7 + y * 3) % 24, 20, 30));  // textured right
  const COLORREF wall = Rgb(200, 200, 200);
  s.DrawRectangle(4, 4, kTileW - 4, kTileH - 4, 2, wall);
  for (int i = 0; i < 5; ++i) {
    const int x = 18 + i * 18;
    if (i % 2)
      s.FillRectColor(x, 4, 2, kTileH - 20, wall);
    else
      s.FillRectColor(x, 16, 2, kTileH - 20, wall);
  }
  s.DrawLine(6, 62, 17, 74, 1, wall);  // cuts off a corner
}

void FloodTolerance(cSurfaceObject& s, int tolerance, std::uint32_t effect, int parameter) {
  Maze(s);
  s.FloodFillNoBounds(10, 10, Rgb(60, 200, 90), 0, tolerance, 0, effect,
                      static_cast<EffectParam>(parameter));
}

}  // namespace

void DrawFillSection(Gallery& gallery) {
  int y = gallery.NextRow();
  gallery.Label(8, y, "FILL STYLES, PRIMITIVES AND FLOOD FILL");
  y += 14;
  struct Case {
    const char* label;
    void (*draw)(cSurfaceObject&);
  } cases[] = {
      {"FLAT", Flat},
      {"MOSAIC", Mosaic},
      {"LINES CLIPPED", Lines},
      {"RECTANGLES", Rectangles},
      {"STYLED", Styled},
      {"STYLED SHAPES", Shapes},
      {"FLOOD EXACT", [](cSurfaceObject& s) { FloodTolerance(s, 0, kEffectNone, 0); }},
      {"FLOOD TOL 30", [](cSurfaceObject& s) { FloodTolerance(s, 30, kEffectNone, 0); }},
      {"FLOOD SEMI 64",
       [](cSurfaceObject& s) { FloodTolerance(s, 30, kEffectSemiTransparent, 64); }},
  };
  cSurfaceObject& canvas = gallery.Canvas();
  int x = 8;
  for (const Case& c : cases) {
    if (x + kTileW > canvas.GetWidth()) {
      x = 8;
      y += 12 + kTileH + 16;
    }
    gallery.Label(x, y, c.label);
    auto tile = MakeBackground(32, kTileW, kTileH);
    c.draw(*tile);
    tile->Blit(&canvas, x, y + 12, 0, 0, kTileW, kTileH, kModeOpaque, 0, 0, 0);
    gallery.AddTile(std::string("fill-") + c.label, x, y + 12, kTileW, kTileH);
    x += kTileW + 10;
  }
  gallery.Advance(y + 12 + kTileH + 16 - gallery.NextRow());
}

}  // namespace demo
