// Text beside SDL2_ttf: the same DejaVu Sans file at 16 pixels per em, kerning off, normal
// hinting, drawn onto a 640 x 480 32-bit surface. Our side draws through the surface's text
// operations (glyph cache warm); the peer renders with TTF_Render* and blits the result with
// SDL_BlitSurface. Rates count glyphs.
#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

#include <memory>
#include <string>

#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "bench_pairs.h"
#include "platform/gdi/gdi.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr const char* kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct Scene {
  std::unique_ptr<cSurfaceObject> surface;
  SDL_Surface* target = nullptr;
  TTF_Font* ttf = nullptr;
  HFONT smooth = nullptr, bilevel = nullptr;
  Scene() {
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, 32, kTypeDIBSection, kDriverNone);
    surface = std::make_unique<cSurfaceObject>();
    if (!prototype || !surface->Create(kWidth, kHeight, prototype)) return;
    surface->FillColor(0x203040);
    target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_RGB888);
    if (TTF_WasInit() || TTF_Init() == 0) ttf = TTF_OpenFont(kFontFile, 16);
    if (ttf) {
      TTF_SetFontKerning(ttf, 0);
      TTF_SetFontHinting(ttf, TTF_HINTING_NORMAL);
    }
    LOGFONTW log{};
    log.lfHeight = -16;
    const std::u16string face = u"DejaVu Sans";
    std::copy(face.begin(), face.end(), log.lfFaceName);
    smooth = plat::CreateFontIndirectW(&log);
    log.lfQuality = plat::NONANTIALIASED_QUALITY;
    bilevel = plat::CreateFontIndirectW(&log);
  }
  bool Ready() const { return surface && surface->IsValid() && target && ttf && smooth; }
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

void PeerDraw(SDL_Surface* rendered, int x, int y, int alpha = 255) {
  if (!rendered) return;
  if (alpha != 255) SDL_SetSurfaceAlphaMod(rendered, static_cast<Uint8>(alpha));
  SDL_Rect at{x, y, 0, 0};
  SDL_BlitSurface(rendered, nullptr, TheScene().target, &at);
  SDL_FreeSurface(rendered);
}

const vexabench::Registrar registrar([] {
  Scene& s = TheScene();
  if (!s.Ready()) return;
  const SDL_Color white{255, 255, 255, 255};
  const RECT all{0, 0, kWidth, kHeight};
  const std::string shortText = "Hello, vexa!";
  std::string longText;
  while (longText.size() < 200) longText += "The quick brown fox jumps over the lazy dog. ";
  longText.resize(200);
  std::string paragraph;
  for (int i = 0; i < 3; ++i) paragraph += longText;
  const std::u16string shortWide = Wide(shortText), longWide = Wide(longText),
                       paragraphWide = Wide(paragraph);
  auto glyphs = [](const std::string& t) { return static_cast<double>(t.size()); };

  vexabench::RegisterCase(
      "text_12_chars", "glyphs/s", glyphs(shortText),
      {{"vexa",
        [&s, shortWide, all] {
          s.surface->DrawTextW(shortWide.c_str(), 12, 20, 20, 0, &all, 0xFFFFFF, s.smooth);
        }},
       {"sdl2_ttf", [&s, shortText, white] {
          PeerDraw(TTF_RenderUTF8_Blended(s.ttf, shortText.c_str(), white), 20, 20);
        }}});
  vexabench::RegisterCase(
      "text_200_chars", "glyphs/s", glyphs(longText),
      {{"vexa",
        [&s, longWide, all] {
          s.surface->DrawTextW(longWide.c_str(), 200, 0, 40, 0, &all, 0xFFFFFF, s.smooth);
        }},
       {"sdl2_ttf", [&s, longText, white] {
          PeerDraw(TTF_RenderUTF8_Blended(s.ttf, longText.c_str(), white), 0, 40);
        }}});
  vexabench::RegisterCase("text_200_bilevel", "glyphs/s", glyphs(longText),
                          {{"vexa",
                            [&s, longWide, all] {
                              s.surface->DrawTextW(longWide.c_str(), 200, 0, 60, 0, &all, 0xFFFFFF,
                                                   s.bilevel);
                            }},
                           {"sdl2_ttf", [&s, longText, white] {
                              PeerDraw(TTF_RenderUTF8_Solid(s.ttf, longText.c_str(), white), 0, 60);
                            }}});
  vexabench::RegisterCase(
      "text_paragraph_300", "glyphs/s", glyphs(paragraph),
      {{"vexa",
        [&s, paragraphWide] {
          RECT box{10, 100, 310, 480};
          s.surface->DrawTextExW(paragraphWide.c_str(), static_cast<int>(paragraphWide.size()),
                                 &box, plat::DT_WORDBREAK, 0xFFFFFF, s.smooth);
        }},
       {"sdl2_ttf", [&s, paragraph, white] {
          PeerDraw(TTF_RenderUTF8_Blended_Wrapped(s.ttf, paragraph.c_str(), white, 300), 10, 100);
        }}});
  vexabench::RegisterCase(
      "text_12_chars_effect1_64", "glyphs/s", glyphs(shortText),
      {{"vexa",
        [&s, shortWide] {
          const RECT box{20, 300, 220, 330};
          s.surface->DrawTextW(shortWide.c_str(), 12, 20, 300, 0, &box, 0xFFFFFF, s.smooth, 1, 64);
        }},
       {"sdl2_ttf", [&s, shortText, white] {
          PeerDraw(TTF_RenderUTF8_Blended(s.ttf, shortText.c_str(), white), 20, 300, 128);
        }}});
});

}  // namespace
