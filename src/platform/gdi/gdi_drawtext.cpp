// Formatted text: lines broken at line ends and (with DT_WORDBREAK) between words, tabs,
// prefix characters, ellipses and alignment within a rectangle.
//
// Layout rules: a line ends at "\r\n", "\n" or "\r" (not with DT_SINGLELINE). Word breaking
// fills a line greedily and breaks after the last space that fits; trailing spaces of a broken
// line are dropped and the next line starts after them. A word wider than the line stays whole
// (DT_EDITCONTROL breaks it between characters instead). Every line takes at least one
// character, so a 1-pixel width still terminates. Tabs (DT_EXPANDTABS) move to the next
// multiple of the tab length times the average character width, counted from the line's
// start; a tab length of zero or less makes tabs zero-wide. Ellipses replace what does not fit
// on a line. Prefixes: "&x" underlines x, "&&" shows "&".
#include <algorithm>
#include <string>
#include <vector>

#include <vexa/text.h>

#include "platform/gdi/gdi_text.h"
#include "platform/text/codepage.h"

namespace plat {
namespace {

struct Line {
  std::u16string text;
  std::vector<std::size_t> underlined;  // code-unit positions in `text`
};

// The text as shown: prefixes removed and the characters they mark.
Line StripPrefixes(std::u16string_view text, UINT format) {
  Line shown;
  if (format & DT_NOPREFIX) {
    shown.text.assign(text);
    return shown;
  }
  shown.text.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'&') {
      shown.text.push_back(text[i]);
      continue;
    }
    if (i + 1 >= text.size()) break;  // a trailing '&' shows nothing
    if (text[i + 1] != u'&') shown.underlined.push_back(shown.text.size());
    shown.text.push_back(text[++i]);
  }
  return shown;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t'; }

class Formatter {
 public:
  Formatter(TextPen& pen, UINT format, int tabChars) : pen_(pen), format_(format) {
    tabWidth_ =
        tabChars > 0 ? static_cast<std::int64_t>(tabChars) * pen.Metrics().tmAveCharWidth : 0;
  }

  // Advance of the scalar at `i` (moved past it) for a pen at `x` from the line's start.
  int AdvanceAt(std::u16string_view text, std::size_t& i, std::int64_t x) {
    const char32_t c = NextScalar(text, i);
    if (c == u'\t' && (format_ & DT_EXPANDTABS)) {
      if (tabWidth_ <= 0) return 0;
      return static_cast<int>(tabWidth_ - x % tabWidth_);
    }
    return pen_.Advance(c);
  }

  // Per code unit advances of a line (the second unit of a pair gets 0).
  std::vector<int> Advances(std::u16string_view text) {
    std::vector<int> out(text.size(), 0);
    std::int64_t x = 0;
    for (std::size_t i = 0; i < text.size();) {
      const std::size_t first = i;
      out[first] = AdvanceAt(text, i, x);
      x += out[first];
    }
    return out;
  }

  std::int64_t Width(std::u16string_view text) {
    std::int64_t x = 0;
    for (std::size_t i = 0; i < text.size();) x += AdvanceAt(text, i, x);
    return x;
  }

  // Lines of the shown text within `available` pixels.
  std::vector<Line> Layout(const Line& shown, std::int64_t available) {
    std::vector<Line> lines;
    const std::u16string_view text = shown.text;
    std::size_t start = 0;
    for (;;) {
      std::size_t end = start;
      if (!(format_ & DT_SINGLELINE))
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r') ++end;
      else
        end = text.size();
      if (format_ & DT_WORDBREAK)
        Wrap(shown, start, end, available, lines);
      else
        lines.push_back(Slice(shown, start, end));
      if (end >= text.size()) break;
      start = end + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1);
    }
    if (format_ & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS))
      for (Line& line : lines) Ellipsise(line, available);
    return lines;
  }

 private:
  static Line Slice(const Line& shown, std::size_t begin, std::size_t end) {
    Line line;
    line.text = shown.text.substr(begin, end - begin);
    for (std::size_t u : shown.underlined)
      if (u >= begin && u < end) line.underlined.push_back(u - begin);
    return line;
  }

  void Wrap(const Line& shown, std::size_t start, std::size_t end, std::int64_t available,
            std::vector<Line>& lines) {
    const std::u16string_view text = shown.text;
    std::size_t pos = start;
    if (pos == end) lines.push_back(Line{});
    while (pos < end) {
      std::int64_t x = 0;
      std::size_t i = pos, lastBreak = 0;
      bool hasBreak = false;
      while (i < end) {
        std::size_t next = i;
        const int advance = AdvanceAt(text.substr(0, end), next, x);
        if (x + advance > available && i > pos) break;
        x += advance;
        if (IsSpace(text[i])) {
          lastBreak = next;
          hasBreak = true;
        }
        i = next;
      }
      if (i >= end) {
        lines.push_back(Slice(shown, pos, end));
        break;
      }
      std::size_t cut;
      if (IsSpace(text[i]))
        cut = i;
      else if (hasBreak)
        cut = lastBreak;
      else if (format_ & DT_EDITCONTROL)
        cut = i;
      else {
        cut = i;
        while (cut < end && !IsSpace(text[cut])) ++cut;
      }
      std::size_t lineEnd = cut;
      while (lineEnd > pos && IsSpace(text[lineEnd - 1])) --lineEnd;
      lines.push_back(Slice(shown, pos, lineEnd));
      pos = cut;
      while (pos < end && IsSpace(text[pos])) ++pos;
    }
  }

  // The longest prefix of `text` (whole scalars, or whole words) that fits in `room`.
  std::size_t FittingPrefix(std::u16string_view text, std::int64_t room, bool words) {
    std::int64_t x = 0;
    std::size_t fit = 0, wordFit = 0;
    for (std::size_t i = 0; i < text.size();) {
      const std::size_t first = i;
      x += AdvanceAt(text, i, x);
      if (x > room) break;
      fit = i;
      if (IsSpace(text[first])) wordFit = first;
    }
    if (words && fit < text.size()) return wordFit;
    return fit;
  }

  void Ellipsise(Line& line, std::int64_t available) {
    if (Width(line.text) <= available) return;
    static const std::u16string kDots = u"...";
    const std::int64_t room = available - Width(kDots);
    std::u16string result;
    std::size_t kept;
    if (format_ & DT_PATH_ELLIPSIS) {
      const std::size_t slash = line.text.find_last_of(u"\\/");
      if (slash != std::u16string::npos && slash > 0) {
        const std::u16string tail = line.text.substr(slash);
        kept = FittingPrefix(std::u16string_view(line.text).substr(0, slash), room - Width(tail),
                             false);
        result = line.text.substr(0, kept) + kDots + tail;
        if (Width(result) <= available || kept > 0) {
          Keep(line, result, kept);
          return;
        }
        line.text = kDots + tail;  // nothing of the head fits: shorten the tail at its end
        line.underlined.clear();
      }
    }
    kept = FittingPrefix(line.text, room, (format_ & DT_WORD_ELLIPSIS) != 0);
    result = line.text.substr(0, kept) + kDots;
    Keep(line, result, kept);
  }

  static void Keep(Line& line, const std::u16string& result, std::size_t kept) {
    line.underlined.erase(std::remove_if(line.underlined.begin(), line.underlined.end(),
                                         [kept](std::size_t u) { return u >= kept; }),
                          line.underlined.end());
    line.text = result;
  }

  TextPen& pen_;
  UINT format_;
  std::int64_t tabWidth_ = 0;
};

}  // namespace

int DrawTextExW(HDC handle, const WCHAR* text, int length, RECT* rect, UINT format,
                DRAWTEXTPARAMS* params) {
  DC* dc = LookupDC(handle);
  if (!dc || !rect || (!text && length != 0) || length < -1) return 0;
  if (params && params->cbSize != sizeof(DRAWTEXTPARAMS)) return 0;
  if (length == -1) length = WideLength(text);
  int tabChars = params ? params->iTabLength : 8;
  if (format & DT_TABSTOP) {
    tabChars = static_cast<int>((format >> 8) & 0xFF);
    format &= ~0xFF00u;
  }
  const int leftMargin = params ? params->iLeftMargin : 0;
  const int rightMargin = params ? params->iRightMargin : 0;

  std::lock_guard<std::mutex> lock(TextLock());
  TextPen pen(*dc, (format & DT_INTERNAL) ? StockFont(SYSTEM_FONT) : nullptr);
  if (!pen.Ready()) return 0;
  Formatter formatter(pen, format, tabChars);
  const TEXTMETRICW& tm = pen.Metrics();
  const std::int64_t lineHeight =
      tm.tmHeight + ((format & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);
  const std::int64_t available =
      std::int64_t{rect->right} - rect->left - leftMargin - std::int64_t{rightMargin};

  const Line shown = StripPrefixes(
      std::u16string_view(text ? text : u"", static_cast<std::size_t>(length)), format);
  const std::vector<Line> lines = formatter.Layout(shown, available);
  const std::int64_t height = lineHeight * static_cast<std::int64_t>(lines.size());
  if (params) params->uiLengthDrawn = static_cast<UINT>(length);

  if (format & DT_CALCRECT) {
    std::int64_t widest = 0;
    for (const Line& line : lines) widest = std::max(widest, formatter.Width(line.text));
    rect->right = ClampCoordinate(std::int64_t{rect->left} + leftMargin + widest + rightMargin);
    rect->bottom = ClampCoordinate(rect->top + height);
    return static_cast<int>(std::min<std::int64_t>(height, 1 << 27));
  }

  std::int64_t top = rect->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER)
      top = rect->top + (std::int64_t{rect->bottom} - rect->top - lineHeight) / 2;
    else if (format & DT_BOTTOM)
      top = rect->bottom - lineHeight;
  }
  RectList clip = DrawableClip(*dc);
  if (!(format & DT_NOCLIP)) {
    const RECT box = ToDeviceRect(*dc, *rect);
    clip = CombineRects(clip, RectRegion(box.left, box.top, box.right, box.bottom), RGN_AND);
  }
  const DCState& s = dc->state;
  const FontMatch& m = pen.Match();
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::int64_t y = top + lineHeight * static_cast<std::int64_t>(n);
    // An edit control shows no partly visible last line.
    if ((format & DT_EDITCONTROL) && !(format & DT_NOCLIP) && n > 0 &&
        y + lineHeight > rect->bottom)
      break;
    const Line& line = lines[n];
    const std::vector<int> advances = formatter.Advances(line.text);
    std::int64_t width = 0;
    for (int a : advances) width += a;
    std::int64_t x = std::int64_t{rect->left} + leftMargin;
    if (format & DT_CENTER)
      x += (available - width) / 2;
    else if (format & DT_RIGHT)
      x = std::int64_t{rect->right} - rightMargin - width;
    const RECT cell =
        ToDeviceRect(*dc, RECT{ClampCoordinate(x), ClampCoordinate(y), ClampCoordinate(x + width),
                               ClampCoordinate(y + tm.tmHeight)});
    const int baseline = cell.top + tm.tmAscent;
    if (!(format & DT_PREFIXONLY)) {
      if (s.bkMode == OPAQUE) pen.Fill(cell, clip, s.bkColor);
      pen.Draw(line.text, cell.left, baseline, advances.data(), clip, s.textColor);
    }
    const int underTop = baseline + m.underlinePosition - m.underlineThickness / 2;
    if (!(format & DT_HIDEPREFIX)) {
      for (std::size_t u : line.underlined) {
        std::int64_t ux = cell.left;
        for (std::size_t k = 0; k < u; ++k) ux += advances[k];
        const int ux0 = ClampCoordinate(ux), ux1 = ClampCoordinate(ux + advances[u]);
        pen.Fill(RECT{ux0, underTop, ux1, underTop + m.underlineThickness}, clip, s.textColor);
      }
    }
    if (format & DT_PREFIXONLY) continue;
    if (pen.Log().lfUnderline)
      pen.Fill(RECT{cell.left, underTop, cell.right, underTop + m.underlineThickness}, clip,
               s.textColor);
    if (pen.Log().lfStrikeOut) {
      const int strikeTop = baseline - m.strikePosition;
      pen.Fill(RECT{cell.left, strikeTop, cell.right, strikeTop + m.strikeThickness}, clip,
               s.textColor);
    }
  }
  return static_cast<int>(std::min<std::int64_t>(height, 1 << 27));
}

int DrawTextW(HDC dc, const WCHAR* text, int length, RECT* rect, UINT format) {
  return DrawTextExW(dc, text, length, rect, format, nullptr);
}

int DrawTextExA(HDC dc, const char* text, int length, RECT* rect, UINT format,
                DRAWTEXTPARAMS* params) {
  if ((!text && length != 0) || length < -1) return 0;
  const std::string_view narrow = length == -1
                                      ? std::string_view(text)
                                      : std::string_view(text, static_cast<std::size_t>(length));
  const std::u16string wide = DecodeNarrow(narrow, GetLibraryCodePage());
  return DrawTextExW(dc, wide.data(), static_cast<int>(wide.size()), rect, format, params);
}

}  // namespace plat
