// The ink-effect gallery: one picture of everything the renderer does, and a checksum of
// every tile so that the picture doubles as a visual regression test.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <vexa/surface_object.h>

namespace demo {

struct Tile {
  std::string name;  // unique, no spaces
  int x, y, width, height;
};

class Gallery {
 public:
  Gallery();
  ~Gallery();
  // Renders every section onto the canvas; false if the canvas could not be made.
  bool Render();
  cSurfaceObject& Canvas() { return *canvas_; }
  const std::vector<Tile>& Tiles() const { return tiles_; }
  // CRC-32 of a tile's pixels as they stand on the canvas.
  unsigned TileChecksum(const Tile& tile);

  // Used by the sections.
  void AddTile(std::string name, int x, int y, int width, int height) {
    for (char& c : name) {
      if (c == ' ') c = '_';
    }
    tiles_.push_back({std::move(name), x, y, width, height});
  }
  // Text in the gallery's label face (top-left at x, y; about 11 pixels high).
  void Label(int x, int y, const std::string& text, COLORREF color = 0x00E0E0E0);
  int NextRow() const { return cursorY_; }
  void Advance(int height) { cursorY_ += height; }

 private:
  std::unique_ptr<cSurfaceObject> canvas_;
  HFONT labelFont_ = nullptr, titleFont_ = nullptr;
  std::vector<Tile> tiles_;
  int cursorY_ = 0;
};

// Sections, each drawing below the previous one.
void DrawEffectsSection(Gallery& gallery);
void DrawTransformSection(Gallery& gallery);
void DrawMaskSection(Gallery& gallery);
void DrawBankSection(Gallery& gallery);
void DrawFillSection(Gallery& gallery);
void DrawTextSection(Gallery& gallery);

// Surfaces and sprites shared by the sections.
std::unique_ptr<cSurfaceObject> MakeSurface(int depth, int width, int height);
// The 32 x 32 sprite: a shaded disc on a black colour key, or (withAlpha) the same disc
// opaque everywhere with a soft alpha plane.
std::unique_ptr<cSurfaceObject> MakeSprite(bool withAlpha);
// The sprite converted to a depth (alpha plane included).
std::unique_ptr<cSurfaceObject> ConvertTo(cSurfaceObject& source, int depth);
// A checkered background of the given size and depth.
std::unique_ptr<cSurfaceObject> MakeBackground(int depth, int width, int height);

}  // namespace demo
