// Text: faces matched by name, sizes, styles, formatted layout, ink effects and every pixel
// format, each tile drawn through the surfaces' text operations with fonts the library makes.
#include <string>

#include <vexa/blit.h>
#include <vexa/font_bank.h>
#include <vexa/library.h>

#include "gallery.h"

namespace demo {
namespace {

constexpr int kTileW = 180;
constexpr int kTileH = 64;
// DrawTextEx format flags the tiles use.
constexpr std::uint32_t kCentre = 0x1, kVCentre = 0x4, kWordBreak = 0x10, kSingleLine = 0x20,
                        kEndEllipsis = 0x8000;

COLORREF Rgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }

HFONT Font(const char16_t* face, LONG height, LONG weight = 400, BYTE italic = 0,
           BYTE underline = 0, BYTE quality = 0) {
  LOGFONTW log{};
  log.lfHeight = height;
  log.lfWeight = weight;
  log.lfItalic = italic;
  log.lfUnderline = underline;
  log.lfQuality = quality;
  for (int i = 0; face[i] && i < 31; ++i) log.lfFaceName[i] = face[i];
  return CreateFontSubstitutedW(nullptr, &log);
}

// A surface that can take text: device-independent sections have a device context.
std::unique_ptr<cSurfaceObject> TextTile(int depth) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, depth, kTypeDIBSection, kDriverNone);
  auto surface = std::make_unique<cSurfaceObject>();
  if (prototype) surface->Create(kTileW, kTileH, prototype);
  return surface;
}

struct Case {
  const char* label;
  int depth;
  void (*draw)(cSurfaceObject& tile);
};

void Faces(cSurfaceObject& t) {
  const char16_t* faces[] = {u"DejaVu Sans", u"DejaVu Serif", u"DejaVu Sans Mono", u"Arial"};
  int y = 2;
  for (const char16_t* face : faces) {
    HFONT f = Font(face, -13);
    const std::u16string name(face);
    t.DrawTextW(name.c_str(), -1, 4, y, 0, nullptr, 0xFFFFFF, f);
    DeleteBankFont(f);
    y += 15;
  }
}

void Sizes(cSurfaceObject& t) {
  int x = 4;
  for (LONG em : {8, 11, 16, 24, 36}) {
    HFONT f = Font(u"DejaVu Sans", -em);
    t.DrawTextW(u"Ag", 2, x, kTileH - 4, 24 /* baseline */, nullptr, Rgb(255, 220, 120), f);
    DeleteBankFont(f);
    x += em * 3 / 2 + 4;
  }
}

void Styles(cSurfaceObject& t) {
  HFONT bold = Font(u"DejaVu Sans", -14, 700), italic = Font(u"Liberation Serif", -14, 400, 1),
        under = Font(u"DejaVu Sans", -14, 400, 0, 1),
        sharp = Font(u"DejaVu Sans", -14, 400, 0, 0, 3);
  t.DrawTextW(u"Bold", -1, 4, 2, 0, nullptr, 0xFFFFFF, bold);
  t.DrawTextW(u"Italic", -1, 60, 2, 0, nullptr, 0xFFFFFF, italic);
  t.DrawTextW(u"Underlined", -1, 4, 22, 0, nullptr, 0xFFFFFF, under);
  t.DrawTextW(u"Bilevel", -1, 4, 42, 0, nullptr, 0xFFFFFF, sharp);
  for (HFONT f : {bold, italic, under, sharp}) DeleteBankFont(f);
}

void Layout(cSurfaceObject& t) {
  HFONT f = Font(u"DejaVu Sans", -11);
  RECT box{4, 2, kTileW - 4, 40};
  t.DrawTextExW(u"Word-wrapped text, centred in its box by the &formatted form.", -1, &box,
                kCentre | kWordBreak, 0xFFFFFF, f);
  RECT line{4, 44, kTileW - 4, kTileH};
  t.DrawTextExW(u"An ellipsis ends what does not fit on this line", -1, &line,
                kSingleLine | kVCentre | kEndEllipsis, Rgb(160, 255, 160), f);
  DeleteBankFont(f);
}

void Effects(cSurfaceObject& t) {
  HFONT f = Font(u"DejaVu Sans", -20, 700);
  const RECT clip{0, 0, kTileW, kTileH};
  t.DrawTextW(u"Semi 64", -1, 4, 2, 0, &clip, Rgb(255, 80, 80), f, kEffectSemiTransparent, 64);
  RECT box{0, 32, kTileW, kTileH};
  t.DrawTextExW(u"Inverted", -1, &box, kCentre, 0xFFFFFF, f, kEffectInvert);
  DeleteBankFont(f);
}

void Formats(cSurfaceObject& t) {
  HFONT f = Font(u"DejaVu Sans", -13);
  const std::string name = std::to_string(t.GetDepth()) + "-bit surface";
  t.DrawTextA(name.c_str(), -1, 4, 4, 0, nullptr, Rgb(120, 200, 255), f);
  t.DrawTextA("Caf\xC3\xA9 \xE2\x82\xAC 123", -1, 4, 28, 0, nullptr, 0xFFFFFF, f);
  DeleteBankFont(f);
}

}  // namespace

void DrawTextSection(Gallery& gallery) {
  int y = gallery.NextRow();
  gallery.Label(8, y, "TEXT: FACES, SIZES, STYLES, LAYOUT, EFFECTS AND PIXEL FORMATS");
  y += 16;
  const Case cases[] = {{"faces", 32, Faces},    {"sizes", 32, Sizes},     {"styles", 32, Styles},
                        {"layout", 32, Layout},  {"effects", 32, Effects}, {"8-bit", 8, Formats},
                        {"16-bit", 16, Formats}, {"24-bit", 24, Formats},  {"15-bit", 15, Formats},
                        {"32-bit", 32, Formats}};
  int x = 8, row = 0;
  for (const Case& c : cases) {
    if (x + kTileW > gallery.Canvas().GetWidth()) {
      x = 8;
      row += kTileH + 28;
    }
    gallery.Label(x, y + row, c.label);
    auto tile = TextTile(c.depth);
    if (tile->IsValid()) {
      auto background = MakeBackground(c.depth, kTileW, kTileH);
      background->Blit(tile.get(), 0, 0, 0, 0, kTileW, kTileH, kModeOpaque, 0, 0, 0);
      tile->FillRectColor(0, 0, kTileW, kTileH / 2, Rgb(24, 32, 48));
      c.draw(*tile);
      tile->Blit(&gallery.Canvas(), x, y + row + 14, 0, 0, kTileW, kTileH, kModeOpaque, 0, 0, 0);
      gallery.AddTile(std::string("text-") + c.label, x, y + row + 14, kTileW, kTileH);
    }
    x += kTileW + 14;
  }
  gallery.Advance(y + row + 14 + kTileH + 16 - gallery.NextRow());
}

}  // namespace demo
