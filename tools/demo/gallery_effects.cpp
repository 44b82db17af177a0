// Every ink effect x both drawing modes x a colour-keyed and an alpha-plane sprite, at each
// of the five depths, over a checkered background.
#include <string>
#include <vector>

#include <vexa/blit.h>

#include "gallery.h"
#include "tiny_font.h"

namespace demo {
namespace {

constexpr int kTile = 40;
constexpr int kStep = kTile + 2;  // tiles with a gap between them
constexpr int kLabelWidth = 96;
constexpr int kDepths[] = {8, 15, 16, 24, 32};

// An effect object whose RGBA coefficient is half transparent.
class HalfEffect : public IEffectObject {
 public:
  IEffectObject* Destroy(unsigned) override { return this; }
  DWORD GetRGBACoefficient() override { return 0x80FFFFFF; }
};

struct EffectRow {
  std::string label;
  std::uint32_t effect;
  EffectParam parameter;
};

std::vector<EffectRow> EffectRows() {
  static HalfEffect half;
  const COLORREF keptSquare = 0x00903C78;  // 0x00BBGGRR of one background colour (120, 40, 60)
  std::vector<EffectRow> rows = {
      {"0 NONE", kEffectNone, 0},
      {"1 SEMI 64", kEffectSemiTransparent, 64},
      {"2 INVERT", kEffectInvert, 0},
      {"3 XOR", kEffectXor, 0},
      {"4 AND", kEffectAnd, 0},
      {"5 OR", kEffectOr, 0},
      {"6 SUBST", kEffectBlendSubstitute, (64u << 24) | 0x0000FF00},
      {"7 REFUSED", kEffectUnassigned, 0},
      {"8 ANDNOT", kEffectAndNot, 0},
      {"9 ADD", kEffectAdd, 0},
      {"10 MONO", kEffectMono, 0},
      {"11 SUB", kEffectSubtract, 0},
      {"12 EXCEPT", kEffectBlendExceptKey, (64u << 24) | keptSquare},
      {"13 OBJECT", kEffectObject, reinterpret_cast<EffectParam>(&half)},
      {"RGBA 80", kEffectParamIsRGBA, 0x80FFFFFF},
  };
  for (int c = 0; c <= 128; c += 32) {
    rows.push_back(
        {"SEMI " + std::to_string(c), kEffectSemiTransparent, static_cast<EffectParam>(c)});
  }
  return rows;
}

}  // namespace

void DrawEffectsSection(Gallery& gallery) {
  cSurfaceObject& canvas = gallery.Canvas();
  int y = gallery.NextRow();
  gallery.Label(8, y,
                "INK EFFECTS: DEPTH / SPRITE (K KEY, A ALPHA) / MODE (O OPAQUE, T TRANSPARENT)");
  y += 2 * kGlyphHeight;

  auto keySprite = MakeSprite(false);
  auto alphaSprite = MakeSprite(true);
  int x = kLabelWidth;
  for (int depth : kDepths) {
    gallery.Label(x, y, std::to_string(depth) + " BIT");
    int column = x;
    for (const char* sprite : {"K", "A"}) {
      for (const char* mode : {"O", "T"}) {
        gallery.Label(column + 12, y + kGlyphHeight + 2, std::string(sprite) + mode);
        column += kStep;
      }
    }
    x += 4 * kStep + 6;
  }
  y += 2 * kGlyphHeight + 6;

  for (const EffectRow& row : EffectRows()) {
    gallery.Label(8, y + kTile / 2 - 4, row.label);
    int tileX = kLabelWidth;
    for (int depth : kDepths) {
      auto sprites = {ConvertTo(*keySprite, depth), ConvertTo(*alphaSprite, depth)};
      int spriteIndex = 0;
      for (const auto& sprite : sprites) {
        for (int mode : {kModeOpaque, kModeTransparent}) {
          auto tile = MakeBackground(depth, kTile, kTile);
          sprite->Blit(tile.get(), 4, 4, 0, 0, 32, 32, mode, row.effect, row.parameter, 0);
          tile->Blit(&canvas, tileX, y, 0, 0, kTile, kTile, kModeOpaque, 0, 0, 0);
          gallery.AddTile("effect-" + row.label + "-" + std::to_string(depth) + "-" +
                              (spriteIndex ? "alpha" : "key") + "-" +
                              (mode ? "transparent" : "opaque"),
                          tileX, y, kTile, kTile);
          tileX += kStep;
        }
        ++spriteIndex;
      }
      tileX += 6;
    }
    y += kStep;
  }
  gallery.Advance(y - gallery.NextRow() + 8);
}

}  // namespace demo
