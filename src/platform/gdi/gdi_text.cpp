// Single-line text output, metrics and extents.
#include "platform/gdi/gdi_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include <vexa/text.h>

#include "pixels/kernels/coverage_blend.h"
#include "platform/gdi/gdi_paint.h"
#include "platform/text/codepage.h"

namespace plat {

char32_t NextScalar(std::u16string_view text, std::size_t& i) {
  const char16_t u = text[i++];
  if (u >= 0xD800 && u < 0xDC00 && i < text.size() && text[i] >= 0xDC00 && text[i] < 0xE000)
    return 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i++] - 0xDC00);
  return u;
}

RECT ToDeviceRect(const DC& dc, const RECT& r) {
  const POINT o = dc.state.windowOrigin;
  auto d = [](LONG v, LONG origin) {
    return ClampCoordinate(std::int64_t{ClampCoordinate(v)} - origin);
  };
  return RECT{d(r.left, o.x), d(r.top, o.y), d(r.right, o.x), d(r.bottom, o.y)};
}

TextPen::TextPen(DC& dc, Font* font) : dc_(dc), font_(font ? font : &FontOf(dc)) {
  if (!dc.state.bitmap) return;
  match_ = ResolveFont(*font_);
  bilevel_ = DrawsBilevel(dc, *font_);
}

TextPen::~TextPen() {
  if (hasDrawn_) MarkDirty(dc_, drawn_);
}

int TextPen::Advance(char32_t c) {
  const Glyph* g = GlyphOf(*match_, c, bilevel_);
  return g ? g->advance : 0;
}

int TextPen::Measure(std::u16string_view text) {
  std::int64_t width = 0;
  for (std::size_t i = 0; i < text.size();) width += Advance(NextScalar(text, i));
  return static_cast<int>(std::min<std::int64_t>(width, 1 << 27));
}

// Coverage a mixes text colour t into the stored colour d per channel:
// c = (d * (255 - a) + t * a + 127) / 255, which is d + (t - d) * a / 255 rounded to nearest.
void TextPen::Plot(int x, int y, std::uint8_t a) {
  Bitmap& b = *dc_.state.bitmap;
  if (a == 255 || bilevel_) {
    WriteValue(b, x, y, value_);
    return;
  }
  auto mix = [a](unsigned d, unsigned t) { return (d * (255u - a) + t * a + 127u) / 255u; };
  const COLORREF d = ColorOfValue(b, ReadValue(b, x, y));
  const COLORREF c = mix(d & 0xFF, color_ & 0xFF) |
                     mix((d >> 8) & 0xFF, (color_ >> 8) & 0xFF) << 8 |
                     mix((d >> 16) & 0xFF, (color_ >> 16) & 0xFF) << 16;
  WriteValue(b, x, y, ValueOfColor(b, c));
}

// Plot for 24-bit rows without the per-pixel format dispatch.
void TextPen::BlendRow(std::uint8_t* row, int bytes, int x0, int x1,
                       const std::uint8_t* coverage) const {
  const unsigned tb = (color_ >> 16) & 0xFF, tg = (color_ >> 8) & 0xFF, tr = color_ & 0xFF;
  std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x0) * bytes;

  for (int x = x0; x < x1; ++x, p += bytes) {
    const unsigned a = coverage[x];
    if (!a) continue;
    if (a == 255 || bilevel_) {
      std::memcpy(p, &value_, static_cast<std::size_t>(bytes));
      continue;
    }
    p[0] = static_cast<std::uint8_t>((p[0] * (255u - a) + tb * a + 127u) / 255u);
    p[1] = static_cast<std::uint8_t>((p[1] * (255u - a) + tg * a + 127u) / 255u);
    p[2] = static_cast<std::uint8_t>((p[2] * (255u - a) + tr * a + 127u) / 255u);
  }
}

void TextPen::Draw(std::u16string_view text, double x, double y, const int* dx,
                   const RectList& clip, COLORREF color) {
  if (!match_ || clip.empty()) return;
  Bitmap& b = *dc_.state.bitmap;
  color_ = ContextColor(dc_, color);
  value_ = ValueOfColor(b, color_);
  const vexa::CoverageColor mix{value_, static_cast<std::uint8_t>(color_ >> 16),
                                static_cast<std::uint8_t>(color_ >> 8),
                                static_cast<std::uint8_t>(color_)};
  const double dirX = std::cos(match_->escapement), dirY = -std::sin(match_->escapement);
  const RECT bounds = BoundsOf(clip);
  double advanced = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t first = i;
    const char32_t c = NextScalar(text, i);
    const Glyph* g = GlyphOf(*match_, c, bilevel_);
    if (!g) continue;
    const double penX = x + advanced * dirX, penY = y + advanced * dirY;
    advanced +=
        dx ? static_cast<double>(dx[first]) + (i - first > 1 ? dx[first + 1] : 0) : g->advance;
    if (g->width == 0 || g->height == 0) continue;
    const double gx = std::floor(penX + 0.5) + g->left, gy = std::floor(penY + 0.5) - g->top;
    if (gx > bounds.right || gy > bounds.bottom || gx + g->width < bounds.left ||
        gy + g->height < bounds.top)
      continue;
    const int left = static_cast<int>(gx), top = static_cast<int>(gy);
    for (const RECT& r : clip) {
      const int x0 = std::max<int>(left, r.left), x1 = std::min<int>(left + g->width, r.right);
      const int y0 = std::max<int>(top, r.top), y1 = std::min<int>(top + g->height, r.bottom);
      if (x0 >= x1 || y0 >= y1) continue;
      if (b.depth == 32) {
        // Bilevel coverage is 0 or 255 only, which the mixing stores whole as well.
        const std::ptrdiff_t pitch = y1 - y0 > 1 ? b.Row(y0 + 1) - b.Row(y0) : 0;
        vexa::BlendCoverageRows32(
            b.Row(y0) + static_cast<std::ptrdiff_t>(x0) * 4, pitch, y1 - y0, x1 - x0,
            g->coverage.data() + static_cast<std::size_t>(y0 - top) * g->width + (x0 - left),
            g->width, mix);
      } else {
        for (int py = y0; py < y1; ++py) {
          const std::uint8_t* row =
              g->coverage.data() + static_cast<std::size_t>(py - top) * g->width;
          if (b.depth == 24) {
            BlendRow(b.Row(py), 3, x0, x1, row - left);
            continue;
          }
          for (int px = x0; px < x1; ++px)
            if (row[px - left]) Plot(px, py, row[px - left]);
        }
      }
      const RECT box{x0, y0, x1, y1};
      drawn_ = hasDrawn_
                   ? RECT{std::min(drawn_.left, box.left), std::min(drawn_.top, box.top),
                          std::max(drawn_.right, box.right), std::max(drawn_.bottom, box.bottom)}
                   : box;
      hasDrawn_ = true;
    }
  }
}

void TextPen::Fill(const RECT& box, const RectList& clip, COLORREF color) {
  const RectList area =
      CombineRects(clip, RectRegion(box.left, box.top, box.right, box.bottom), RGN_AND);
  if (area.empty() || !dc_.state.bitmap) return;
  Painter painter(dc_, R2_COPYPEN);
  const std::uint32_t value = ValueOfColor(*dc_.state.bitmap, ContextColor(dc_, color));
  for (const RECT& r : area) painter.Box(r.left, r.top, r.right, r.bottom, value);
}

namespace {

// The range [lo, hi) of a where lo <= a * slope + offset < hi; empty (lo >= hi) when none.
void Solve(double slope, double offset, double lo, double hi, double& from, double& to) {
  if (std::abs(slope) < 1e-12) {
    if (offset < lo || offset >= hi) from = to = 0;
    return;
  }
  double a = (lo - offset) / slope, b = (hi - offset) / slope;
  if (a > b) std::swap(a, b);
  from = std::max(from, a);
  to = std::min(to, b);
}

}  // namespace

void TextPen::FillTurned(double originX, double originY, double length, double from, double to,
                         const RectList& clip, COLORREF color) {
  if (!match_ || clip.empty() || length <= 0 || to <= from || !dc_.state.bitmap) return;
  // Along the baseline is (c, -s) on the device, below it (s, c).
  const double c = std::cos(match_->escapement), s = std::sin(match_->escapement);
  double minY = originY, maxY = originY;
  for (double u : {0.0, length})
    for (double v : {from, to}) {
      const double y = originY - u * s + v * c;
      minY = std::min(minY, y);
      maxY = std::max(maxY, y);
    }
  const RECT bounds = BoundsOf(clip);
  const int top = static_cast<int>(std::max<double>(std::floor(minY), bounds.top));
  const int bottom = static_cast<int>(std::min<double>(std::ceil(maxY) + 1, bounds.bottom));
  Painter painter(dc_, R2_COPYPEN);
  const std::uint32_t value = ValueOfColor(*dc_.state.bitmap, ContextColor(dc_, color));
  for (int y = top; y < bottom; ++y) {
    // Pixel centre (x + 0.5, y + 0.5) relative to the origin: t = x + 0.5 - originX.
    const double dy = y + 0.5 - originY;
    double t0 = -1e18, t1 = 1e18;
    Solve(c, -dy * s, 0, length, t0, t1);  // along: t * c - dy * s
    Solve(s, dy * c, from, to, t0, t1);    // below: t * s + dy * c
    if (t0 >= t1) continue;
    const double x0 = std::ceil(t0 + originX - 0.5), x1 = std::ceil(t1 + originX - 0.5);
    for (const RECT& r : clip) {
      if (y < r.top || y >= r.bottom) continue;
      const int a = static_cast<int>(std::max<double>(x0, r.left));
      const int b = static_cast<int>(std::min<double>(x1, r.right));
      if (a < b) painter.Span(y, a, b, value);
    }
  }
}

// ---- the exported calls ----------------------------------------------------------------------

BOOL GetTextMetricsW(HDC handle, TEXTMETRICW* out) {
  DC* dc = LookupDC(handle);
  if (!dc || !out) return 0;
  std::lock_guard<std::mutex> lock(TextLock());
  const FontMatch* m = ResolveFont(FontOf(*dc));
  if (!m) return 0;
  *out = m->metrics;
  return 1;
}

BOOL GetTextExtentPoint32W(HDC handle, const WCHAR* text, int length, SIZE* out) {
  DC* dc = LookupDC(handle);
  if (!dc || !out || (!text && length != 0)) return 0;
  if (length < 0) length = WideLength(text);
  std::lock_guard<std::mutex> lock(TextLock());
  TextPen pen(*dc);
  if (!pen.Ready()) return 0;
  out->cx = pen.Measure(std::u16string_view(text, static_cast<std::size_t>(length)));
  out->cy = pen.Metrics().tmHeight;
  return 1;
}

BOOL ExtTextOutW(HDC handle, int x, int y, UINT options, const RECT* rect, const WCHAR* text,
                 UINT length, const int* dx) {
  DC* dc = LookupDC(handle);
  if (!dc || (!text && length != 0) || length > (1u << 24)) return 0;
  std::lock_guard<std::mutex> lock(TextLock());
  TextPen pen(*dc);
  if (!pen.Ready()) return 0;
  const std::u16string_view view(text, length);
  const DCState& s = dc->state;
  const TEXTMETRICW& tm = pen.Metrics();

  const bool updates = (s.textAlign & TA_UPDATECP) != 0;
  const POINT start = updates ? s.position : POINT{x, y};
  const UINT horizontal = s.textAlign & TA_CENTER, vertical = s.textAlign & TA_BASELINE;
  // The width places centred and right-aligned text, moves the current position and spans the
  // background and the bars; plain left-aligned text needs no measuring pass.
  const bool measures = horizontal != TA_LEFT || updates || s.bkMode == OPAQUE ||
                        pen.Log().lfUnderline || pen.Log().lfStrikeOut;
  std::int64_t width = 0;
  if (dx)
    for (UINT i = 0; i < length; ++i) width += dx[i];
  else if (measures)
    width = pen.Measure(view);
  width = std::clamp<std::int64_t>(width, -(1 << 27), 1 << 27);

  const double along = horizontal == TA_CENTER  ? -static_cast<double>(width / 2)
                       : horizontal == TA_RIGHT ? -static_cast<double>(width)
                                                : 0.0;
  const double down = vertical == TA_BASELINE ? 0.0
                      : vertical == TA_BOTTOM ? -static_cast<double>(tm.tmDescent)
                                              : static_cast<double>(tm.tmAscent);
  const double e = pen.Match().escapement, c = std::cos(e), sn = std::sin(e);
  // Along the baseline is (cos e, -sin e) on the device; "down" is (sin e, cos e).
  const double penX =
      ClampCoordinate(std::int64_t{start.x} - s.windowOrigin.x) + along * c + down * sn;
  const double penY =
      ClampCoordinate(std::int64_t{start.y} - s.windowOrigin.y) - along * sn + down * c;

  RectList clip = DrawableClip(*dc);
  if (rect && (options & ETO_OPAQUE)) {
    const RECT box = ToDeviceRect(*dc, *rect);
    pen.Fill(box, clip, s.bkColor);
  }
  if (rect && (options & ETO_CLIPPED)) {
    const RECT box = ToDeviceRect(*dc, *rect);
    clip = CombineRects(clip, RectRegion(box.left, box.top, box.right, box.bottom), RGN_AND);
  }
  const bool level = std::abs(sn) < 1e-9 && c > 0;
  const int left = static_cast<int>(std::floor(penX + 0.5));
  const int baseline = static_cast<int>(std::floor(penY + 0.5));
  const int right = static_cast<int>(std::min<std::int64_t>(left + width, 1 << 28));
  const bool background = s.bkMode == OPAQUE && !(rect && (options & ETO_OPAQUE));
  const FontMatch& m = pen.Match();
  const int underline = m.underlinePosition - m.underlineThickness / 2;
  if (level) {
    if (background)
      pen.Fill(RECT{left, baseline - tm.tmAscent, right, baseline + tm.tmDescent}, clip, s.bkColor);
    pen.Draw(view, penX, penY, dx, clip, s.textColor);
    if (pen.Log().lfUnderline)
      pen.Fill(RECT{left, baseline + underline, right, baseline + underline + m.underlineThickness},
               clip, s.textColor);
    if (pen.Log().lfStrikeOut) {
      const int top = baseline - m.strikePosition;
      pen.Fill(RECT{left, top, right, top + m.strikeThickness}, clip, s.textColor);
    }
  } else {
    // Turned text: the background and the bars turn with the baseline, from the pen's pixel.
    const double x0 = left, y0 = baseline, length = static_cast<double>(right - left);
    if (background) pen.FillTurned(x0, y0, length, -tm.tmAscent, tm.tmDescent, clip, s.bkColor);
    pen.Draw(view, penX, penY, dx, clip, s.textColor);
    if (pen.Log().lfUnderline)
      pen.FillTurned(x0, y0, length, underline, underline + m.underlineThickness, clip,
                     s.textColor);
    if (pen.Log().lfStrikeOut)
      pen.FillTurned(x0, y0, length, -m.strikePosition, m.strikeThickness - m.strikePosition, clip,
                     s.textColor);
  }
  if (updates) {
    const double moved = horizontal == TA_CENTER  ? 0.0
                         : horizontal == TA_RIGHT ? -static_cast<double>(width)
                                                  : static_cast<double>(width);
    dc->state.position.x = ClampCoordinate(start.x + std::lround(moved * c));
    dc->state.position.y = ClampCoordinate(start.y - std::lround(moved * sn));
  }
  return 1;
}

BOOL TextOutW(HDC dc, int x, int y, const WCHAR* text, int length) {
  if (length < 0) return 0;
  return ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(length), nullptr);
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int length) {
  if (length < 0 || (!text && length != 0)) return 0;
  const std::u16string wide = DecodeNarrow(
      std::string_view(text ? text : "", static_cast<std::size_t>(length)), GetLibraryCodePage());
  return TextOutW(dc, x, y, wide.data(), static_cast<int>(wide.size()));
}

}  // namespace plat
