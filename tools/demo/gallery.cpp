#include "gallery.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>

#include <vexa/blit.h>
#include <vexa/font_bank.h>
#include <vexa/library.h>

#include "demo_font.h"
#include "tiny_font.h"

namespace demo {
namespace {

constexpr int kCanvasWidth = 1000;
constexpr int kCanvasHeight = 1780;
constexpr COLORREF kCanvasColor = 0x00302820;

COLORREF Rgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }

}  // namespace

std::unique_ptr<cSurfaceObject> MakeSurface(int depth, int width, int height) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, depth, kTypeMemory, kDriverNone);
  auto surface = std::make_unique<cSurfaceObject>();
  surface->Create(width, height, prototype);
  return surface;
}

std::unique_ptr<cSurfaceObject> MakeSprite(bool withAlpha) {
  auto sprite = MakeSurface(32, 32, 32);
  sprite->FillColor(0);
  std::uint8_t* alpha = withAlpha ? sprite->CreateAlpha() : nullptr;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const double dx = x - 15.5, dy = y - 15.5, r = std::sqrt(dx * dx + dy * dy);
      const int red = 60 + x * 6, green = 40 + y * 6, blue = 230 - (x + y) * 3;
      const bool inside = r < 14.0;
      const bool ring = r >= 12.0 && r < 14.0;
      if (withAlpha) {
        sprite->SetPixelColor(x, y, ring ? Rgb(255, 255, 255) : Rgb(red, green, blue));
        const double a = std::clamp((16.0 - r) / 8.0, 0.0, 1.0);
        alpha[y * sprite->GetAlphaPitch() + x] = static_cast<std::uint8_t>(255 * a);
      } else if (inside) {
        sprite->SetPixelColor(x, y, ring ? Rgb(255, 255, 255) : Rgb(red, green, blue));
      }
    }
  }
  if (!withAlpha) sprite->FillRectColor(14, 14, 4, 4, 0);  // a hole through the key
  return sprite;
}

std::unique_ptr<cSurfaceObject> ConvertTo(cSurfaceObject& source, int depth) {
  auto converted = MakeSurface(depth, source.GetWidth(), source.GetHeight());
  source.Blit(converted.get(), 0, 0, 0, 0, source.GetWidth(), source.GetHeight(), kModeOpaque, 0, 0,
              kBlitCopyAlpha);
  converted->SetTransparentColor(source.GetTransparentColor());
  return converted;
}

std::unique_ptr<cSurfaceObject> MakeBackground(int depth, int width, int height) {
  static const COLORREF kSquares[4] = {Rgb(200, 160, 96), Rgb(64, 104, 144), Rgb(232, 232, 232),
                                       Rgb(120, 40, 60)};
  auto background = MakeSurface(depth, width, height);
  for (int y = 0; y < height; y += 8) {
    for (int x = 0; x < width; x += 8) {
      background->FillRectColor(x, y, 8, 8, kSquares[((x / 8) + 2 * (y / 8)) % 4]);
    }
  }
  return background;
}

Gallery::Gallery() = default;

Gallery::~Gallery() {
  DeleteBankFont(labelFont_);
  DeleteBankFont(titleFont_);
}

bool Gallery::Render() {
  // A section surface: its device context takes the labels' text.
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeDIBSection, kDriverNone);
  canvas_ = std::make_unique<cSurfaceObject>();
  if (!prototype || !canvas_->Create(kCanvasWidth, kCanvasHeight, prototype)) return false;
  if (!labelFont_) labelFont_ = demo::DejaVuSansFont(-9, 400);
  if (!titleFont_) titleFont_ = demo::DejaVuSansFont(-20, 700);
  canvas_->FillColor(kCanvasColor);
  tiles_.clear();
  cursorY_ = 8;
  canvas_->DrawTextA("VEXA RENDERER GALLERY", -1, 8, cursorY_, 0, nullptr, 0x00FFFFFF, titleFont_);
  cursorY_ += 2 * kGlyphHeight + 8;
  DrawEffectsSection(*this);
  DrawTransformSection(*this);
  DrawMaskSection(*this);
  DrawBankSection(*this);
  DrawFillSection(*this);
  DrawTextSection(*this);
  return true;
}

void Gallery::Label(int x, int y, const std::string& text, COLORREF color) {
  // Labels stand where the 8-pixel bitmap font stood: the cell's top one pixel higher.
  canvas_->DrawTextA(text.c_str(), -1, x, y - 1, 0, nullptr, color, labelFont_);
}

unsigned Gallery::TileChecksum(const Tile& tile) {
  uLong crc = crc32(0, Z_NULL, 0);
  for (int y = tile.y; y < tile.y + tile.height; ++y) {
    for (int x = tile.x; x < tile.x + tile.width; ++x) {
      const COLORREF c = canvas_->GetPixelFast(x, y);
      const unsigned char rgb[3] = {static_cast<unsigned char>(c),
                                    static_cast<unsigned char>(c >> 8),
                                    static_cast<unsigned char>(c >> 16)};
      crc = crc32(crc, rgb, 3);
    }
  }
  return static_cast<unsigned>(crc);
}

}  // namespace demo
