// Fonts behind the device interface (internal to the gdi folder): matching a logical font to
// an installed face, its metrics, and a bounded cache of rendered glyphs.
//
// fontconfig and FreeType start lazily, once per process, on the first text call. All font
// work runs under one process-wide text lock (TextLock); glyph references handed out stay
// valid while the caller holds it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gdi/gdi_objects.h"

namespace plat {

std::mutex& TextLock();

// A rendered glyph: coverage rows (0-255; bilevel glyphs use 0 and 255 only) placed relative
// to the pen position on the baseline (left to the right, top upwards), and the integer
// advance every measurement and the output use.
struct Glyph {
  int left = 0, top = 0;
  int width = 0, height = 0;
  std::vector<std::uint8_t> coverage;  // width x height
  int advance = 0;
};

struct GlyphTable;

// What a logical font resolved to: the face file and its pixel sizes, the metrics the
// context reports, and the synthetic styles applied where the matched face lacks them.
struct FontMatch {
  std::string file;
  int index = 0;
  std::string family;
  int ppemX = 16, ppemY = 16;  // pixels per em, horizontally and vertically
  bool emboldens = false, obliques = false;
  double escapement = 0;  // radians, counter-clockwise
  TEXTMETRICW metrics{};
  int underlinePosition = 0, underlineThickness = 1;  // below the baseline, pixels
  int strikePosition = 0, strikeThickness = 1;        // above the baseline, pixels
  bool fixedPitch = false;
  // Symbol character set: characters 0x20-0xFF (and 0xF020-0xF0FF) name the face's own
  // symbol codes instead of Unicode characters.
  bool symbol = false;
  // The glyph tables (coverage, bilevel) last used, kept beside the bounded cache's own
  // references so that drawing needs no cache search.
  mutable std::shared_ptr<GlyphTable> tables[2];
};

// Resolves a font (first use), under the text lock. Null only when no face can be loaded.
const FontMatch* ResolveFont(Font& font);
// The font a context draws with (its selected font, or the system font).
Font& FontOf(DC& dc);

// Glyph of a character (a Unicode scalar) of a resolved font in bilevel or coverage form,
// from the cache; characters the face lacks come from fontconfig's fallback faces, else the
// face's missing-glyph box. Null when nothing can be rendered. Under the text lock.
const Glyph* GlyphOf(const FontMatch& match, char32_t character, bool bilevel);

// Whether a context's font draws bilevel glyphs on its bitmap: non-antialiased quality, or a
// bitmap of 8 bits or fewer.
bool DrawsBilevel(const DC& dc, const Font& font);

}  // namespace plat
