// Drawing runs of text with a context's font (internal to the gdi folder): the pieces the
// single-line output and the formatted output share. Callers hold TextLock.
#pragma once

#include <string_view>

#include "platform/gdi/gdi_font.h"

namespace plat {

// The next Unicode scalar of UTF-16 text at `i` (advanced past it); lone surrogates come out as
// themselves and draw as missing glyphs.
char32_t NextScalar(std::u16string_view text, std::size_t& i);

class TextPen {
 public:
  // `font` null: the context's font.
  explicit TextPen(DC& dc, Font* font = nullptr);
  ~TextPen();
  TextPen(const TextPen&) = delete;
  TextPen& operator=(const TextPen&) = delete;

  bool Ready() const { return match_ != nullptr; }
  const FontMatch& Match() const { return *match_; }
  const TEXTMETRICW& Metrics() const { return match_->metrics; }
  const LOGFONTW& Log() const { return font_->log; }

  int Advance(char32_t c);
  // The sum of the integer advances: what the output moves by.
  int Measure(std::u16string_view text);

  // Glyphs from the pen at device (x, y) on the baseline along the font's escapement, within
  // `clip` (device rectangles); `dx` replaces the advance of each code unit.
  void Draw(std::u16string_view text, double x, double y, const int* dx, const RectList& clip,
            COLORREF color);
  // A device box in a colour within `clip` (backgrounds, underlines, strike-outs).
  void Fill(const RECT& box, const RectList& clip, COLORREF color);
  // A band along the font's escapement within `clip`: from the device point `origin` on the
  // baseline, `length` pixels along it and from `from` to `to` pixels below it (negative:
  // above), turned with the baseline. Pixels whose centres lie inside are filled.
  void FillTurned(double originX, double originY, double length, double from, double to,
                  const RectList& clip, COLORREF color);

 private:
  void Plot(int x, int y, std::uint8_t coverage);
  void BlendRow(std::uint8_t* row, int bytes, int x0, int x1, const std::uint8_t* coverage) const;
  DC& dc_;
  Font* font_;
  const FontMatch* match_ = nullptr;
  bool bilevel_ = false;
  std::uint32_t value_ = 0;  // the stored value of the colour being drawn
  COLORREF color_ = 0;
  RECT drawn_{0, 0, 0, 0};
  bool hasDrawn_ = false;
};

// Device rectangle of logical coordinates of a context.
RECT ToDeviceRect(const DC& dc, const RECT& logical);

}  // namespace plat
