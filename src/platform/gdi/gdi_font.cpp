// Font objects, face matching with fontconfig, metrics and the glyph cache over FreeType.
#include "platform/gdi/gdi_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include <vexa/text.h>

#include "platform/text/codepage.h"

namespace plat {

std::mutex& TextLock() {
  static std::mutex lock;
  return lock;
}

Font::~Font() = default;

namespace {

// Pixel sizes beyond this are clamped: a glyph bitmap of such a size would be megabytes.
constexpr int kMaxPixelsPerEm = 1024;
// The caches below live as long as the process (never destroyed at exit, so nothing drawing
// late in a process finds them gone). Cache bounds: open face files, glyph tables (face, size,
// transform, mode) and glyphs per table.
constexpr std::size_t kMaxFaces = 16, kMaxTables = 48, kMaxGlyphsPerTable = 2048;

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library made = nullptr;
    return FT_Init_FreeType(&made) == 0 ? made : nullptr;
  }();
  return library;
}

bool FontconfigReady() {
  static const bool ready = FcInit() == FcTrue;
  return ready;
}

// Face files opened so far; bounded (the oldest goes when full and no table needs it now).
struct OpenFace {
  std::string file;
  int index;
  FT_Face face;
};
std::vector<OpenFace>& Faces() {
  static auto* faces = new std::vector<OpenFace>;  // lives as long as the process
  return *faces;
}

FT_Face FaceOf(const std::string& file, int index) {
  auto& faces = Faces();
  for (auto& f : faces)
    if (f.index == index && f.file == file) return f.face;
  if (!Library()) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(Library(), file.c_str(), index, &face) != 0) return nullptr;
  if (faces.size() >= kMaxFaces) {
    FT_Done_Face(faces.front().face);
    faces.erase(faces.begin());
  }
  faces.push_back(OpenFace{file, index, face});
  return face;
}

int Scale(long units, int ppem, int unitsPerEm) {
  return static_cast<int>(std::lround(static_cast<double>(units) * ppem / unitsPerEm));
}

std::size_t FaceLength(const WCHAR* face) {
  return static_cast<std::size_t>(std::find(face, face + kLfFaceSize, u'\0') - face);
}

std::string Utf8Face(const WCHAR* face) {
  std::u16string_view view(face, FaceLength(face));
  return EncodeNarrow(view, kCodePageUtf8);
}

// The generic family fontconfig is asked for when the face name is empty or unknown.
const char* GenericFamily(BYTE pitchAndFamily) {
  switch (pitchAndFamily & 0xF0) {
    case FF_ROMAN:
      return "serif";
    case FF_SWISS:
      return "sans-serif";
    case FF_MODERN:
      return "monospace";
    case FF_SCRIPT:
      return "cursive";
    case FF_DECORATIVE:
      return "fantasy";
    default:
      return (pitchAndFamily & 0x3) == FIXED_PITCH ? "monospace" : "sans-serif";
  }
}

struct PatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

Pattern BasePattern(const LOGFONTW& log, const char* family) {
  Pattern p(FcPatternCreate());
  if (!p) return p;
  if (family && *family)
    FcPatternAddString(p.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  const int weight = log.lfWeight <= 0 ? FW_NORMAL : std::min<LONG>(log.lfWeight, 1000);
  FcPatternAddInteger(p.get(), FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(p.get(), FC_SLANT, log.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(p.get(), FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, p.get(), FcMatchPattern);
  FcDefaultSubstitute(p.get());
  return p;
}

// True when the matched face is the requested family or one the configuration binds to it
// strongly (the metric aliases: a request for a common Windows face gets its metric twin).
// Families fontconfig merely prefers as defaults are weak and do not count.
bool MatchesRequest(FcPattern* request, FcPattern* matched) {
  FcChar8* got = nullptr;
  if (FcPatternGetString(matched, FC_FAMILY, 0, &got) != FcResultMatch) return false;
  FcValue value;
  FcValueBinding binding;
  for (int i = 0; FcPatternGetWithBinding(request, FC_FAMILY, i, &value, &binding) == FcResultMatch;
       ++i) {
    if (binding == FcValueBindingWeak || value.type != FcTypeString) continue;
    if (FcStrCmpIgnoreCase(value.u.s, got) == 0) return true;
  }
  return false;
}

Pattern Match(FcPattern* request) {
  FcResult result = FcResultNoMatch;
  return Pattern(FcFontMatch(nullptr, request, &result));
}

bool FillFromMatch(FcPattern* matched, FontMatch& out, int* weight, int* slant, int* spacing) {
  FcChar8* file = nullptr;
  if (FcPatternGetString(matched, FC_FILE, 0, &file) != FcResultMatch) return false;
  out.file = reinterpret_cast<const char*>(file);
  FcPatternGetInteger(matched, FC_INDEX, 0, &out.index);
  FcChar8* family = nullptr;
  if (FcPatternGetString(matched, FC_FAMILY, 0, &family) == FcResultMatch)
    out.family = reinterpret_cast<const char*>(family);
  if (FcPatternGetInteger(matched, FC_WEIGHT, 0, weight) != FcResultMatch)
    *weight = FC_WEIGHT_REGULAR;
  if (FcPatternGetInteger(matched, FC_SLANT, 0, slant) != FcResultMatch) *slant = FC_SLANT_ROMAN;
  if (FcPatternGetInteger(matched, FC_SPACING, 0, spacing) != FcResultMatch)
    *spacing = FC_PROPORTIONAL;
  return true;
}

void ComputeMetrics(const LOGFONTW& log, FT_Face face, int fcWeight, FontMatch& m) {
  const int upem = face->units_per_EM > 0 ? face->units_per_EM : 2048;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const auto* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(face, FT_SFNT_POST));
  const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
  long winAscent = os2 && os2->version != 0xFFFF ? os2->usWinAscent : face->ascender;
  long winDescent = os2 && os2->version != 0xFFFF ? os2->usWinDescent : -face->descender;
  if (winAscent + winDescent <= 0) {
    winAscent = upem * 4 / 5;
    winDescent = upem / 5;
  }
  const long cell = winAscent + winDescent;
  auto clampPpem = [](long v) { return static_cast<int>(std::clamp<long>(v, 1, kMaxPixelsPerEm)); };
  // Height < 0: the em size; > 0: the cell; 0: a 16-pixel cell.
  if (log.lfHeight < 0)
    m.ppemY = clampPpem(-static_cast<long>(log.lfHeight));
  else
    m.ppemY = clampPpem(std::lround(static_cast<double>(log.lfHeight ? log.lfHeight : 16) * upem /
                                    static_cast<double>(cell)));
  const long averageUnits = os2 && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : upem / 2;
  const long width = std::abs(static_cast<long>(log.lfWidth));
  m.ppemX =
      width ? clampPpem(std::lround(static_cast<double>(width) * upem / averageUnits)) : m.ppemY;

  TEXTMETRICW& t = m.metrics;
  t.tmAscent = Scale(winAscent, m.ppemY, upem);
  t.tmDescent = Scale(winDescent, m.ppemY, upem);
  t.tmHeight = t.tmAscent + t.tmDescent;
  t.tmInternalLeading = std::max(0, static_cast<int>(t.tmHeight) - m.ppemY);
  long lineGap = 0;
  if (hhea) lineGap = hhea->Ascender - hhea->Descender + hhea->Line_Gap - cell;
  t.tmExternalLeading = std::max(0, Scale(lineGap, m.ppemY, upem));
  t.tmAveCharWidth = std::max(1, Scale(averageUnits, m.ppemX, upem));
  t.tmMaxCharWidth = std::max(1, Scale(face->bbox.xMax - face->bbox.xMin, m.ppemX, upem));
  t.tmWeight = m.emboldens ? FW_BOLD : FcWeightToOpenType(fcWeight);
  t.tmOverhang = 0;
  t.tmDigitizedAspectX = t.tmDigitizedAspectY = 96;
  t.tmFirstChar = static_cast<WCHAR>(os2 && os2->version != 0xFFFF ? os2->usFirstCharIndex : 0x20);
  t.tmLastChar = static_cast<WCHAR>(os2 && os2->version != 0xFFFF ? os2->usLastCharIndex : 0xFFFF);
  t.tmDefaultChar = t.tmFirstChar;
  t.tmBreakChar = 0x20;
  t.tmItalic = log.lfItalic ? 255 : 0;
  t.tmUnderlined = log.lfUnderline ? 255 : 0;
  t.tmStruckOut = log.lfStrikeOut ? 255 : 0;
  const BYTE family = (log.lfPitchAndFamily & 0xF0) ? (log.lfPitchAndFamily & 0xF0)
                      : m.fixedPitch                ? FF_MODERN
                                                    : FF_DONTCARE;
  t.tmPitchAndFamily = static_cast<BYTE>((m.fixedPitch ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR |
                                         TMPF_TRUETYPE | family);
  t.tmCharSet = log.lfCharSet;

  const long underPos = post && post->underlinePosition ? post->underlinePosition : -upem / 10;
  const long underSize = post && post->underlineThickness ? post->underlineThickness : upem / 14;
  m.underlinePosition = std::max(1, Scale(-underPos, m.ppemY, upem));
  m.underlineThickness = std::max(1, Scale(underSize, m.ppemY, upem));
  const bool hasStrike = os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0;
  m.strikePosition = Scale(hasStrike ? os2->yStrikeoutPosition : upem / 4, m.ppemY, upem);
  m.strikeThickness =
      std::max(1, Scale(hasStrike ? os2->yStrikeoutSize : upem / 14, m.ppemY, upem));
  m.escapement = (log.lfEscapement % 3600) * M_PI / 1800.0;
}

// A face for the symbol character set when the request names none that is installed: one
// fontconfig marks as a symbol face, else what the configuration binds to the family "Symbol".
Pattern SymbolMatch(const LOGFONTW& log) {
  Pattern request = BasePattern(log, nullptr);
  if (!request) return request;
  FcPatternAddBool(request.get(), FC_SYMBOL, FcTrue);
  Pattern matched = Match(request.get());
  FcBool symbol = FcFalse;
  if (matched && FcPatternGetBool(matched.get(), FC_SYMBOL, 0, &symbol) == FcResultMatch && symbol)
    return matched;
  request = BasePattern(log, "Symbol");
  if (!request) return request;
  matched = Match(request.get());
  if (matched && MatchesRequest(request.get(), matched.get())) return matched;
  return nullptr;
}

FontMatch* Resolve(const LOGFONTW& log) {
  if (!FontconfigReady() || !Library()) return nullptr;
  const std::string face = Utf8Face(log.lfFaceName);
  Pattern request = BasePattern(log, face.c_str());
  if (!request) return nullptr;
  Pattern matched = Match(request.get());
  const bool known = matched && !face.empty() && MatchesRequest(request.get(), matched.get());
  Pattern symbol = !known && log.lfCharSet == SYMBOL_CHARSET ? SymbolMatch(log) : nullptr;
  if (symbol) matched = std::move(symbol);
  // Unknown or empty face: pitch and family choose a generic family instead.
  else if (!known) {
    request = BasePattern(log, GenericFamily(log.lfPitchAndFamily));
    if (request) matched = Match(request.get());
  }
  if (!matched) return nullptr;
  auto* m = new (std::nothrow) FontMatch;
  if (!m) return nullptr;
  int weight = 0, slant = 0, spacing = 0;
  FT_Face ft = nullptr;
  if (FillFromMatch(matched.get(), *m, &weight, &slant, &spacing)) ft = FaceOf(m->file, m->index);
  if (!ft) {
    delete m;
    return nullptr;
  }
  const int wanted = log.lfWeight <= 0 ? FW_NORMAL : log.lfWeight;
  m->emboldens = wanted >= 600 && FcWeightToOpenType(weight) < 600;
  m->obliques = log.lfItalic && slant == FC_SLANT_ROMAN;
  m->fixedPitch = spacing >= FC_MONO || FT_IS_FIXED_WIDTH(ft);
  m->symbol = log.lfCharSet == SYMBOL_CHARSET;
  ComputeMetrics(log, ft, weight, *m);
  return m;
}

// ---- the glyph cache ---------------------------------------------------------------------

using TableKey = std::tuple<std::string, int, int, int, long, bool, bool, bool, bool>;

std::map<TableKey, std::shared_ptr<GlyphTable>>& Tables() {
  static auto* tables = new std::map<TableKey, std::shared_ptr<GlyphTable>>;
  return *tables;
}

// The face fontconfig offers for a character the primary face lacks, by character; an empty
// file means none has it.
std::unordered_map<char32_t, std::pair<std::string, int>>& Fallbacks() {
  static auto* fallbacks = new std::unordered_map<char32_t, std::pair<std::string, int>>;
  return *fallbacks;
}

// Faces in fontconfig's order of preference for a family, sorted once per family. The lookup
// reads each face's character set from fontconfig's cache and builds none of its own.
FcFontSet* SortedFaces(const std::string& family) {
  static auto* sortedFaces = new std::map<std::string, FcFontSet*>;
  auto& sorted = *sortedFaces;
  auto it = sorted.find(family);
  if (it != sorted.end()) return it->second;
  FcFontSet* set = nullptr;
  Pattern p(FcPatternCreate());
  if (p) {
    FcPatternAddString(p.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddBool(p.get(), FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, p.get(), FcMatchPattern);
    FcDefaultSubstitute(p.get());
    FcResult result = FcResultNoMatch;
    set = FcFontSort(nullptr, p.get(), FcFalse, nullptr, &result);
  }
  if (sorted.size() >= 64) {
    for (auto& entry : sorted) FcFontSetDestroy(entry.second);
    sorted.clear();
  }
  sorted.emplace(family, set);
  return set;
}

std::pair<std::string, int> FallbackFor(const FontMatch& m, char32_t c) {
  auto& fallbacks = Fallbacks();
  auto it = fallbacks.find(c);
  if (it != fallbacks.end()) return it->second;
  std::pair<std::string, int> found{"", 0};
  if (FcFontSet* set = SortedFaces(m.family)) {
    for (int i = 0; i < set->nfont; ++i) {
      FcCharSet* has = nullptr;
      FcChar8* file = nullptr;
      if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &has) != FcResultMatch ||
          !FcCharSetHasChar(has, c) ||
          FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch)
        continue;
      found.first = reinterpret_cast<const char*>(file);
      FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &found.second);
      break;
    }
  }
  if (fallbacks.size() > 4096) fallbacks.clear();
  fallbacks.emplace(c, found);
  return found;
}

// The glyph of a symbol code (0x20-0xFF) in a face: through a symbol cmap, where such faces
// keep their codes at 0xF020-0xF0FF; else through the face's own built-in encoding (symbol
// faces in the PostScript formats); else the code itself in the face's Unicode cmap, which
// is where symbol faces converted to other formats keep them. The shared face's cmap is
// put back as it was for every other lookup.
FT_UInt SymbolIndex(FT_Face face, char32_t code) {
  const FT_CharMap chosen = face->charmap;
  FT_UInt index = 0;
  if (FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL) == 0)
    index = FT_Get_Char_Index(face, 0xF000 | code);
  if (!index && FT_Select_Charmap(face, FT_ENCODING_ADOBE_CUSTOM) == 0)
    index = FT_Get_Char_Index(face, code);
  if (chosen)
    FT_Set_Charmap(face, chosen);
  else
    face->charmap = nullptr;
  if (!index) index = FT_Get_Char_Index(face, code);
  return index;
}

bool Render(const FontMatch& m, FT_Face face, FT_UInt index, bool bilevel, Glyph& g) {
  if (FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(m.ppemX), static_cast<FT_UInt>(m.ppemY)))
    return false;
  FT_Set_Transform(face, nullptr, nullptr);
  const FT_Int32 flags = bilevel ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL;
  if (FT_Load_Glyph(face, index, flags) != 0) return false;
  FT_GlyphSlot slot = face->glyph;
  if (m.emboldens) FT_GlyphSlot_Embolden(slot);
  if (m.obliques) FT_GlyphSlot_Oblique(slot);
  g.advance = static_cast<int>((slot->metrics.horiAdvance + 32) >> 6);
  if (m.escapement != 0 && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    const double c = std::cos(m.escapement), s = std::sin(m.escapement);
    FT_Matrix r{static_cast<FT_Fixed>(std::lround(c * 65536)),
                static_cast<FT_Fixed>(std::lround(-s * 65536)),
                static_cast<FT_Fixed>(std::lround(s * 65536)),
                static_cast<FT_Fixed>(std::lround(c * 65536))};
    FT_Outline_Transform(&slot->outline, &r);
  }
  if (FT_Render_Glyph(slot, bilevel ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
    return false;
  const FT_Bitmap& b = slot->bitmap;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = static_cast<int>(b.width);
  g.height = static_cast<int>(b.rows);
  g.coverage.assign(static_cast<std::size_t>(g.width) * g.height, 0);
  const int pitch = std::abs(b.pitch);
  for (int y = 0; y < g.height; ++y) {
    const unsigned char* row = b.buffer + static_cast<std::ptrdiff_t>(y) * pitch;
    std::uint8_t* out = g.coverage.data() + static_cast<std::size_t>(y) * g.width;
    for (int x = 0; x < g.width; ++x) {
      if (b.pixel_mode == FT_PIXEL_MODE_MONO)
        out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      else if (b.pixel_mode == FT_PIXEL_MODE_GRAY)
        out[x] = bilevel ? (row[x] >= 128 ? 255 : 0) : row[x];
    }
  }
  return true;
}

// Built-in font descriptions of the stock font indexes.
LOGFONTW StockDescription(int which) {
  LOGFONTW log{};
  const bool fixed =
      which == OEM_FIXED_FONT || which == ANSI_FIXED_FONT || which == SYSTEM_FIXED_FONT;
  log.lfHeight = which == DEFAULT_GUI_FONT || which == ANSI_VAR_FONT ? -11 : 16;
  log.lfWeight = which == SYSTEM_FONT || which == DEVICE_DEFAULT_FONT ? FW_BOLD : FW_NORMAL;
  log.lfPitchAndFamily = fixed ? (FIXED_PITCH | FF_MODERN) : (VARIABLE_PITCH | FF_SWISS);
  const std::u16string_view face = fixed ? u"DejaVu Sans Mono" : u"DejaVu Sans";
  std::copy(face.begin(), face.end(), log.lfFaceName);
  return log;
}

}  // namespace

struct GlyphTable {
  std::unordered_map<char32_t, Glyph> glyphs;
  // The first 256 characters found without a search (nodes of the map stay where they are
  // until it is cleared, which clears these too).
  const Glyph* low[256] = {};
};

Font* StockFont(int which) {
  static Font* fonts[DEFAULT_GUI_FONT + 1] = {};
  static std::once_flag once;
  std::call_once(once, [] {
    for (int i : {OEM_FIXED_FONT, ANSI_FIXED_FONT, ANSI_VAR_FONT, SYSTEM_FONT, DEVICE_DEFAULT_FONT,
                  SYSTEM_FIXED_FONT, DEFAULT_GUI_FONT}) {
      auto* f = new Font;
      f->kind = GdiKind::kFont;
      f->stock = true;
      f->log = StockDescription(i);
      Register(f);
      fonts[i] = f;
    }
  });
  if (which < 0 || which > DEFAULT_GUI_FONT) return nullptr;
  return fonts[which];
}

HFONT CreateFontIndirectW(const LOGFONTW* log) {
  if (!log) return nullptr;
  auto* font = new (std::nothrow) Font;
  if (!font) return nullptr;
  font->kind = GdiKind::kFont;
  font->log = *log;
  // The face name may arrive unterminated: it ends at the 32nd unit.
  font->log.lfFaceName[kLfFaceSize - 1] = 0;
  if (!Register(font)) {
    delete font;
    return nullptr;
  }
  return HandleOf<HFONT>(font);
}

HFONT CreateFontIndirectA(const LOGFONTA* log) {
  if (!log) return nullptr;
  LOGFONTW wide{};
  std::memcpy(&wide, log, offsetof(LOGFONTA, lfFaceName));
  const std::size_t n = static_cast<std::size_t>(
      std::find(log->lfFaceName, log->lfFaceName + kLfFaceSize, '\0') - log->lfFaceName);
  const std::u16string face =
      DecodeNarrow(std::string_view(log->lfFaceName, n), GetLibraryCodePage());
  std::copy_n(face.begin(), std::min<std::size_t>(face.size(), kLfFaceSize - 1), wide.lfFaceName);
  return CreateFontIndirectW(&wide);
}

// Fonts with equal descriptions share one resolution (fontconfig's match is the slow part);
// the table of them is bounded.
const FontMatch* ResolveFont(Font& font) {
  if (font.match) return font.match.get();
  LOGFONTW key = font.log;
  const std::size_t faceLength = FaceLength(key.lfFaceName);
  std::fill(key.lfFaceName + faceLength, key.lfFaceName + kLfFaceSize, u'\0');
  std::string bytes(reinterpret_cast<const char*>(&key), sizeof(key));
  static auto* resolvedFonts = new std::map<std::string, std::shared_ptr<const FontMatch>>;
  auto& resolved = *resolvedFonts;
  auto it = resolved.find(bytes);
  if (it == resolved.end()) {
    std::shared_ptr<const FontMatch> made(Resolve(key));
    if (!made) return nullptr;
    if (resolved.size() >= 256) resolved.clear();
    it = resolved.emplace(std::move(bytes), std::move(made)).first;
  }
  font.match = it->second;
  return font.match.get();
}

Font& FontOf(DC& dc) { return dc.state.font ? *dc.state.font : *StockFont(SYSTEM_FONT); }

bool DrawsBilevel(const DC& dc, const Font& font) {
  return font.log.lfQuality == NONANTIALIASED_QUALITY ||
         (dc.state.bitmap && dc.state.bitmap->depth <= 8);
}

const Glyph* GlyphOf(const FontMatch& m, char32_t c, bool bilevel) {
  std::shared_ptr<GlyphTable>& table = m.tables[bilevel ? 1 : 0];
  if (!table) {
    const long escapement = std::lround(m.escapement * 1800.0 / M_PI);
    const TableKey key{m.file,      m.index,    m.ppemX,  m.ppemY, escapement,
                       m.emboldens, m.obliques, m.symbol, bilevel};
    auto& tables = Tables();
    auto found = tables.find(key);
    if (found == tables.end()) {
      if (tables.size() >= kMaxTables) tables.erase(tables.begin());
      found = tables.emplace(key, std::make_shared<GlyphTable>()).first;
    }
    table = found->second;
  }
  if (c < 256 && table->low[c]) return table->low[c];
  auto& glyphs = table->glyphs;
  auto hit = glyphs.find(c);
  if (hit != glyphs.end()) return &hit->second;

  Glyph g;
  FT_Face face = FaceOf(m.file, m.index);
  if (!face) return nullptr;
  // Symbol fonts take 0x20-0xFF, or the same codes in the symbol cmap's range, as their own
  // codes; those never come from fallback faces, which would show letters instead.
  const char32_t symbolCode = c >= 0xF020 && c <= 0xF0FF ? c & 0xFF : c;
  const bool symbolic = m.symbol && symbolCode >= 0x20 && symbolCode <= 0xFF;
  FT_UInt index = symbolic ? SymbolIndex(face, symbolCode) : FT_Get_Char_Index(face, c);
  bool done = false;
  if (index == 0 && c >= 0x20 && !symbolic) {
    const auto fallback = FallbackFor(m, c);
    if (!fallback.first.empty()) {
      FT_Face other = FaceOf(fallback.first, fallback.second);
      const FT_UInt otherIndex = other ? FT_Get_Char_Index(other, c) : 0;
      done = otherIndex != 0 && Render(m, other, otherIndex, bilevel, g);
      face = FaceOf(m.file, m.index);  // the fallback may have pushed it out of the file cache
      if (!face) return nullptr;
    }
  }
  // Control characters draw nothing and advance nothing; other missing ones the box.
  if (!done && c < 0x20) done = true;
  if (!done && !Render(m, face, index, bilevel, g)) return nullptr;
  if (glyphs.size() >= kMaxGlyphsPerTable) {
    glyphs.clear();
    std::fill(std::begin(table->low), std::end(table->low), nullptr);
  }
  const Glyph* made = &glyphs.emplace(c, std::move(g)).first->second;
  if (c < 256) table->low[c] = made;
  return made;
}

}  // namespace plat
