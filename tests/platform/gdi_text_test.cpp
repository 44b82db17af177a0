// Fonts and text of the device interface: face matching, metrics, extents against drawn
// advances, coverage and bilevel output, and the formatted layout with a monospace face.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_font.h"
#include "platform/gdi_test_support.h"

namespace {

using gditest::Section;

LOGFONTW Describe(const std::u16string& face, LONG height, LONG weight = 0, BYTE pitch = 0) {
  LOGFONTW log{};
  log.lfHeight = height;
  log.lfWeight = weight;
  log.lfPitchAndFamily = pitch;
  std::copy(face.begin(), face.end(), log.lfFaceName);
  return log;
}

// A font selected into a context for the length of a test.
struct FontScope {
  HDC dc;
  HFONT font;
  HGDIOBJ old;
  FontScope(HDC d, const LOGFONTW& log)
      : dc(d), font(plat::CreateFontIndirectW(&log)), old(plat::SelectObject(d, font)) {}
  ~FontScope() {
    plat::SelectObject(dc, old);
    plat::DeleteObject(font);
  }
};

HFONT Make(const LOGFONTW& log) { return plat::CreateFontIndirectW(&log); }

std::string FamilyOf(HFONT handle) {
  std::lock_guard<std::mutex> lock(plat::TextLock());
  auto* font = plat::LookupAs<plat::Font>(handle, plat::GdiKind::kFont);
  const plat::FontMatch* m = font ? plat::ResolveFont(*font) : nullptr;
  return m ? m->family : std::string("(none)");
}

// Columns [first, last] holding pixels other than black; {-1, -1} when none.
std::pair<int, int> InkColumns(const Section& s) {
  int first = -1, last = -1;
  for (int x = 0; x < s.width; ++x)
    for (int y = 0; y < s.height; ++y)
      if (s.Set(x, y)) {
        if (first < 0) first = x;
        last = x;
        break;
      }
  return {first, last};
}

TEST(GdiFonts, MatchingByFaceAliasPitchAndFamily) {
  HFONT arial = Make(Describe(u"Arial", -16));
  EXPECT_EQ(FamilyOf(arial), "Liberation Sans");
  HFONT exact = Make(Describe(u"DejaVu Serif", -16));
  EXPECT_EQ(FamilyOf(exact), "DejaVu Serif");
  // An unknown face falls back on its pitch and family.
  HFONT modern = Make(Describe(u"No Such Face", -16, 0, plat::FF_MODERN));
  HFONT fixed = Make(Describe(u"", -16, 0, plat::FIXED_PITCH));
  for (HFONT f : {modern, fixed}) {
    const std::string family = FamilyOf(f);
    EXPECT_TRUE(family.find("Mono") != std::string::npos) << family;
  }
  EXPECT_EQ(plat::GetObjectType(arial), plat::OBJ_FONT);
  LOGFONTW back{};
  EXPECT_EQ(plat::GetObject(arial, sizeof(back), &back), static_cast<int>(sizeof(LOGFONTW)));
  EXPECT_EQ(back.lfHeight, -16);
  EXPECT_EQ(std::u16string(back.lfFaceName), u"Arial");
  for (HFONT f : {arial, exact, modern, fixed}) EXPECT_TRUE(plat::DeleteObject(f));
  EXPECT_EQ(plat::GetObjectType(arial), 0);
  // Stock fonts exist and survive deletion.
  HGDIOBJ system = plat::GetStockObject(plat::SYSTEM_FONT);
  ASSERT_NE(system, nullptr);
  EXPECT_TRUE(plat::DeleteObject(system));
  EXPECT_EQ(plat::GetObjectType(system), plat::OBJ_FONT);
}

TEST(GdiFonts, HeightWidthAndWeightRules) {
  Section s(8, 8, 32);
  plat::TEXTMETRICW em{}, cell{}, zero{}, wide{}, bold{};
  {
    FontScope f(s.dc, Describe(u"DejaVu Sans", -20));
    ASSERT_TRUE(plat::GetTextMetricsW(s.dc, &em));
  }
  {
    FontScope f(s.dc, Describe(u"DejaVu Sans", 30));
    ASSERT_TRUE(plat::GetTextMetricsW(s.dc, &cell));
  }
  {
    FontScope f(s.dc, Describe(u"DejaVu Sans", 0));
    ASSERT_TRUE(plat::GetTextMetricsW(s.dc, &zero));
  }
  {
    LOGFONTW log = Describe(u"DejaVu Sans", -20);
    log.lfWidth = 25;
    FontScope f(s.dc, log);
    ASSERT_TRUE(plat::GetTextMetricsW(s.dc, &wide));
  }
  {
    FontScope f(s.dc, Describe(u"DejaVu Sans", -20, plat::FW_BOLD));
    ASSERT_TRUE(plat::GetTextMetricsW(s.dc, &bold));
  }
  // Em size 20: the cell is larger by the internal leading.
  EXPECT_EQ(em.tmHeight - em.tmInternalLeading, 20);
  EXPECT_EQ(em.tmHeight, em.tmAscent + em.tmDescent);
  EXPECT_NEAR(cell.tmHeight, 30, 1);
  EXPECT_NEAR(zero.tmHeight, 16, 1);
  EXPECT_NEAR(wide.tmAveCharWidth, 25, 1);
  EXPECT_EQ(wide.tmHeight, em.tmHeight);
  EXPECT_EQ(bold.tmWeight, plat::FW_BOLD);
  EXPECT_NE(em.tmPitchAndFamily & plat::TMPF_FIXED_PITCH, 0);  // set: variable pitch
}

TEST(GdiText, ExtentEqualsDrawnAdvanceAndInkStaysInside) {
  Section s(200, 40, 32);
  FontScope f(s.dc, Describe(u"DejaVu Sans", -16));
  const std::u16string text = u"Hello, vexa!";
  SIZE size{};
  ASSERT_TRUE(plat::GetTextExtentPoint32W(s.dc, text.c_str(), -1, &size));
  SIZE sum{0, 0};
  for (char16_t c : text) {
    SIZE one{};
    plat::GetTextExtentPoint32W(s.dc, &c, 1, &one);
    sum.cx += one.cx;
  }
  EXPECT_EQ(size.cx, sum.cx);  // integer advances, no kerning

  plat::SetTextColor(s.dc, 0xFFFFFF);
  plat::SetBkMode(s.dc, plat::TRANSPARENT);
  plat::SetTextAlign(s.dc, plat::TA_UPDATECP);
  plat::MoveToEx(s.dc, 10, 5, nullptr);
  ASSERT_TRUE(plat::TextOutW(s.dc, 0, 0, text.c_str(), static_cast<int>(text.size())));
  POINT at{};
  plat::GetCurrentPositionEx(s.dc, &at);
  EXPECT_EQ(at.x, 10 + size.cx);
  EXPECT_EQ(at.y, 5);
  const auto [first, last] = InkColumns(s);
  EXPECT_GE(first, 10);
  EXPECT_LT(last, 10 + size.cx + 1);

  // Right alignment ends the text at x; the extent is what moves.
  s.Clear();
  plat::SetTextAlign(s.dc, plat::TA_RIGHT);
  plat::TextOutW(s.dc, 190, 5, text.c_str(), static_cast<int>(text.size()));
  const auto [rFirst, rLast] = InkColumns(s);
  EXPECT_EQ(rFirst - (190 - size.cx), first - 10);
  EXPECT_LE(rLast, 190);
}

TEST(GdiText, CoverageBilevelOpaqueAndClip) {
  auto levels = [](const Section& s) {
    int partial = 0, full = 0;
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; ++x) {
        const std::uint8_t g = s.Row(y)[x * 4 + 1];
        partial += g > 0 && g < 255;
        full += g == 255;
      }
    return std::pair<int, int>{partial, full};
  };
  Section s(120, 30, 32);
  plat::SetTextColor(s.dc, 0xFFFFFF);
  plat::SetBkMode(s.dc, plat::TRANSPARENT);
  LOGFONTW log = Describe(u"DejaVu Sans", -18);
  {
    FontScope f(s.dc, log);
    plat::TextOutW(s.dc, 2, 2, u"Sample", 6);
  }
  const auto smooth = levels(s);
  EXPECT_GT(smooth.first, 0);
  EXPECT_GT(smooth.second, 0);
  s.Clear();
  log.lfQuality = plat::NONANTIALIASED_QUALITY;
  {
    FontScope f(s.dc, log);
    plat::TextOutW(s.dc, 2, 2, u"Sample", 6);
  }
  const auto sharp = levels(s);
  EXPECT_EQ(sharp.first, 0);
  EXPECT_GT(sharp.second, 0);

  // Blending rounds to nearest: on a grey of 100, coverage mixes towards white only.
  s.Clear();
  RECT all{0, 0, s.width, s.height};
  HBRUSH grey = plat::CreateSolidBrush(0x646464);
  plat::FillRect(s.dc, &all, grey);
  plat::DeleteObject(grey);
  {
    FontScope f(s.dc, Describe(u"DejaVu Sans", -18));
    plat::TextOutW(s.dc, 2, 2, u"Sample", 6);
  }
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) ASSERT_GE(s.Row(y)[x * 4], 100);

  // Opaque mode paints the cell; ETO_CLIPPED keeps everything inside the rectangle.
  s.Clear();
  plat::SetBkMode(s.dc, plat::OPAQUE);
  plat::SetBkColor(s.dc, 0x0000FF);
  plat::SetTextAlign(s.dc, 0);
  const RECT clip{10, 0, 30, 30};
  plat::ExtTextOutW(s.dc, 0, 0, plat::ETO_CLIPPED, &clip, u"MMMMMMMM", 8, nullptr);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      if (x < 10 || x >= 30) {
        ASSERT_FALSE(s.Set(x, y)) << x << "," << y;
      }
  EXPECT_EQ(plat::GetPixel(s.dc, 10, 1) & 0xFF, 0xFFu);  // red background or white ink
}

TEST(GdiText, EightBitBitmapsDrawBilevel) {
  Section s(80, 24, 8);
  plat::SetTextColor(s.dc, 0xFFFFFF);
  plat::SetBkMode(s.dc, plat::TRANSPARENT);
  FontScope f(s.dc, Describe(u"DejaVu Sans", -16));
  plat::TextOutW(s.dc, 1, 1, u"Grey", 4);
  int ink = 0;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      const std::uint8_t v = s.Row(y)[x];
      ASSERT_TRUE(v == 0 || v == 255) << int(v);
      ink += v == 255;
    }
  EXPECT_GT(ink, 0);
}

TEST(GdiFonts, SymbolCharsetMapsCodesOntoTheSymbolFace) {
  LOGFONTW log = Describe(u"", -24);
  log.lfCharSet = plat::SYMBOL_CHARSET;
  HFONT symbol = Make(log);
  EXPECT_EQ(FamilyOf(symbol), "Standard Symbols PS");
  // A named face is kept; an unknown one gives way to the symbol face as an empty one does.
  LOGFONTW named = Describe(u"DejaVu Serif", -24);
  named.lfCharSet = plat::SYMBOL_CHARSET;
  LOGFONTW unknown = Describe(u"No Such Symbols", -24);
  unknown.lfCharSet = plat::SYMBOL_CHARSET;
  HFONT serif = Make(named), other = Make(unknown);
  EXPECT_EQ(FamilyOf(serif), "DejaVu Serif");
  EXPECT_EQ(FamilyOf(other), "Standard Symbols PS");

  // The pixels and extent of one character on a fresh section.
  auto draw = [](HFONT font, char16_t c) {
    Section s(40, 40, 32);
    HGDIOBJ old = plat::SelectObject(s.dc, font);
    plat::SetTextColor(s.dc, 0xFFFFFF);
    plat::SetBkMode(s.dc, plat::TRANSPARENT);
    SIZE size{};
    plat::GetTextExtentPoint32W(s.dc, &c, 1, &size);
    plat::TextOutW(s.dc, 4, 4, &c, 1);
    plat::SelectObject(s.dc, old);
    return std::pair<std::vector<bool>, LONG>{s.Mask(), size.cx};
  };
  // 'a' is the symbol face's alpha, also reached through the symbol cmap's range; a text face
  // draws its 'a' and nothing like it for 0xF061.
  const auto alpha = draw(symbol, u'a'), viaRange = draw(symbol, u'\xF061');
  EXPECT_EQ(alpha.first, viaRange.first);
  EXPECT_EQ(alpha.second, viaRange.second);
  EXPECT_GT(std::count(alpha.first.begin(), alpha.first.end(), true), 20);
  EXPECT_NE(alpha.first, draw(symbol, u'b').first);  // beta
  HFONT text = Make(Describe(u"Standard Symbols PS", -24));
  HFONT sans = Make(Describe(u"DejaVu Sans", -24));
  EXPECT_NE(draw(sans, u'a').first, draw(sans, u'\xF061').first);
  // Codes outside 0x20-0xFF stay Unicode characters.
  EXPECT_EQ(draw(symbol, u'\x2211').first, draw(text, u'\x2211').first);
  for (HFONT f : {symbol, serif, other, text, sans}) plat::DeleteObject(f);
}

TEST(GdiText, UnderlineAndStrikeOutTurnWithTheBaseline) {
  constexpr int kSize = 140, kX = 50, kY = 110;
  for (LONG escapement : {900, 300}) {
    for (bool strike : {false, true}) {
      LOGFONTW log = Describe(u"DejaVu Sans", -16);
      log.lfEscapement = escapement;
      HFONT plainFont = Make(log);
      (strike ? log.lfStrikeOut : log.lfUnderline) = 1;
      HFONT barFont = Make(log);
      Section plain(kSize, kSize, 32), barred(kSize, kSize, 32);
      LONG width = 0;
      for (auto* s : {&plain, &barred}) {
        HGDIOBJ old = plat::SelectObject(s->dc, s == &plain ? plainFont : barFont);
        plat::SetTextColor(s->dc, 0xFFFFFF);
        plat::SetBkMode(s->dc, plat::TRANSPARENT);
        plat::SetTextAlign(s->dc, plat::TA_BASELINE);
        SIZE size{};
        plat::GetTextExtentPoint32W(s->dc, u"Turned", 6, &size);
        width = size.cx;
        plat::TextOutW(s->dc, kX, kY, u"Turned", 6);
        plat::SelectObject(s->dc, old);
      }
      std::lock_guard<std::mutex> lock(plat::TextLock());
      const plat::FontMatch* m =
          plat::ResolveFont(*plat::LookupAs<plat::Font>(barFont, plat::GdiKind::kFont));
      ASSERT_NE(m, nullptr);
      // The bar in the baseline's frame: v0..v1 below it (negative: above).
      const double v0 =
          strike ? -m->strikePosition : m->underlinePosition - m->underlineThickness / 2;
      const double v1 = v0 + (strike ? m->strikeThickness : m->underlineThickness);
      const double e = escapement * M_PI / 1800, c = std::cos(e), sn = std::sin(e);
      auto frame = [&](double x, double y) {  // (along, below) of a pixel centre
        const double dx = x + 0.5 - kX, dy = y + 0.5 - kY;
        return std::pair<double, double>{dx * c - dy * sn, dx * sn + dy * c};
      };
      // Every pixel whose centre lies on the bar is lit; every added pixel lies on the bar.
      int added = 0, onBar = 0;
      for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
          const auto [u, v] = frame(x, y);
          if (u > 0.01 && u < width - 0.01 && v > v0 + 0.01 && v < v1 - 0.01) {
            ++onBar;
            ASSERT_TRUE(barred.Set(x, y)) << escapement << " " << strike << " at " << x << "," << y;
          }
          if (barred.Set(x, y) == plain.Set(x, y)) continue;
          ++added;
          ASSERT_TRUE(u > -1 && u < width + 1 && v > v0 - 1 && v < v1 + 1)
              << escapement << " " << strike << " at " << x << "," << y;
        }
      EXPECT_GE(onBar, width - 2);  // the bar is unbroken along its length
      EXPECT_GT(added, 0);
      plat::DeleteObject(plainFont);
      plat::DeleteObject(barFont);
    }
  }
}

// Layout with a monospace face, where every character is `w` pixels wide.
class DrawTextLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    font_ = Make(Describe(u"DejaVu Sans Mono", -16));
    old_ = plat::SelectObject(s_.dc, font_);
    SIZE one{};
    plat::GetTextExtentPoint32W(s_.dc, u"x", 1, &one);
    w_ = one.cx;
    plat::TEXTMETRICW tm{};
    plat::GetTextMetricsW(s_.dc, &tm);
    h_ = tm.tmHeight;
    ave_ = tm.tmAveCharWidth;
  }
  void TearDown() override {
    plat::SelectObject(s_.dc, old_);
    plat::DeleteObject(font_);
  }
  // The rectangle DT_CALCRECT gives for text in a box `chars` characters wide.
  RECT Calc(const std::u16string& text, int chars, UINT format,
            plat::DRAWTEXTPARAMS* params = nullptr) {
    RECT r{5, 7, 5 + chars * w_, 200};
    plat::DrawTextExW(s_.dc, text.c_str(), static_cast<int>(text.size()), &r,
                      format | plat::DT_CALCRECT, params);
    return r;
  }
  Section s_{300, 120, 32};
  HFONT font_ = nullptr;
  HGDIOBJ old_ = nullptr;
  int w_ = 0, h_ = 0, ave_ = 0;
};

TEST_F(DrawTextLayout, LinesWordBreakAndTabs) {
  ASSERT_GT(w_, 0);
  EXPECT_EQ(ave_, w_);
  RECT r = Calc(u"one\ntwo three\r\nx", 40, 0);
  EXPECT_EQ(r.left, 5);
  EXPECT_EQ(r.right - r.left, 9 * w_);
  EXPECT_EQ(r.bottom - r.top, 3 * h_);
  // Single line: line ends are not breaks and draw nothing.
  r = Calc(u"ab\ncd", 40, plat::DT_SINGLELINE);
  EXPECT_EQ(r.bottom - r.top, h_);
  EXPECT_EQ(r.right - r.left, 4 * w_);
  // Word break: "aaa bbb" fits 7, "ccc" goes on.
  r = Calc(u"aaa bbb ccc", 7, plat::DT_WORDBREAK);
  EXPECT_EQ(r.bottom - r.top, 2 * h_);
  EXPECT_EQ(r.right - r.left, 7 * w_);
  // A long word stays whole, unless the edit-control rule breaks it.
  r = Calc(u"abcdefghij xy", 4, plat::DT_WORDBREAK);
  EXPECT_EQ(r.right - r.left, 10 * w_);
  EXPECT_EQ(r.bottom - r.top, 2 * h_);
  r = Calc(u"abcdefghij", 4, plat::DT_WORDBREAK | plat::DT_EDITCONTROL);
  EXPECT_EQ(r.right - r.left, 4 * w_);
  EXPECT_EQ(r.bottom - r.top, 3 * h_);
  // A 1-pixel box still terminates: one character per line at least.
  RECT thin{0, 0, 1, 10};
  const int height =
      plat::DrawTextExW(s_.dc, u"abc", 3, &thin,
                        plat::DT_WORDBREAK | plat::DT_EDITCONTROL | plat::DT_CALCRECT, nullptr);
  EXPECT_EQ(height, 3 * h_);
  // Tabs: to the next multiple of 8 (default) or of the given length in average widths.
  r = Calc(u"ab\tc", 40, plat::DT_EXPANDTABS);
  EXPECT_EQ(r.right - r.left, 9 * w_);
  plat::DRAWTEXTPARAMS params{sizeof(params), 4, 0, 0, 0};
  r = Calc(u"ab\tc", 40, plat::DT_EXPANDTABS, &params);
  EXPECT_EQ(r.right - r.left, 5 * w_);
  EXPECT_EQ(params.uiLengthDrawn, 4u);
  // DT_TABSTOP takes the length from the format's second byte (which then holds no flags, so
  // this one is drawn: the "c" starts at 3 widths).
  plat::SetTextColor(s_.dc, 0xFFFFFF);
  plat::SetBkMode(s_.dc, plat::TRANSPARENT);
  RECT box{0, 0, 200, 40};
  plat::DrawTextExW(s_.dc, u"\tc", 2, &box, plat::DT_EXPANDTABS | plat::DT_TABSTOP | (3 << 8),
                    nullptr);
  EXPECT_GE(InkColumns(s_).first, 3 * w_);
  EXPECT_LT(InkColumns(s_).second, 4 * w_);
  params.iTabLength = -2;
  r = Calc(u"ab\tc", 40, plat::DT_EXPANDTABS, &params);
  EXPECT_EQ(r.right - r.left, 3 * w_);
  // Margins widen the measured box.
  plat::DRAWTEXTPARAMS margins{sizeof(margins), 8, 3, 4, 0};
  r = Calc(u"abc", 40, 0, &margins);
  EXPECT_EQ(r.right - r.left, 3 * w_ + 7);
}

TEST_F(DrawTextLayout, PrefixesAndEllipses) {
  EXPECT_EQ(Calc(u"&File", 40, 0).right - 5, 4 * w_);
  EXPECT_EQ(Calc(u"a&&b", 40, 0).right - 5, 3 * w_);
  EXPECT_EQ(Calc(u"&File", 40, plat::DT_NOPREFIX).right - 5, 5 * w_);
  EXPECT_EQ(Calc(u"abcdefghij", 6, plat::DT_END_ELLIPSIS).right - 5, 6 * w_);    // "abc..."
  EXPECT_EQ(Calc(u"ab cdefghij", 8, plat::DT_WORD_ELLIPSIS).right - 5, 5 * w_);  // "ab..."
  // Path ellipsis keeps the last component: ".../file" in 12.
  EXPECT_EQ(Calc(u"/usr/local/share/file", 12, plat::DT_PATH_ELLIPSIS).right - 5, 12 * w_);

  // Drawn: the prefix underline lies under the second character only.
  plat::SetTextColor(s_.dc, 0xFFFFFF);
  plat::SetBkMode(s_.dc, plat::TRANSPARENT);
  RECT box{0, 0, 100, 40};
  plat::DrawTextExW(s_.dc, u"a&bc", 4, &box, plat::DT_PREFIXONLY, nullptr);
  const auto [first, last] = InkColumns(s_);
  EXPECT_EQ(first, w_);
  EXPECT_EQ(last, 2 * w_ - 1);
  s_.Clear();
  plat::DrawTextExW(s_.dc, u"a&bc", 4, &box, plat::DT_HIDEPREFIX | plat::DT_PREFIXONLY, nullptr);
  EXPECT_EQ(InkColumns(s_).first, -1);
}

TEST_F(DrawTextLayout, AlignmentInTheRectangle) {
  plat::SetTextColor(s_.dc, 0xFFFFFF);
  plat::SetBkMode(s_.dc, plat::OPAQUE);
  plat::SetBkColor(s_.dc, 0x00FF00);  // the cell shows where the line went
  auto cell = [&](UINT format) {
    s_.Clear();
    RECT box{10, 10, 10 + 20 * w_, 10 + 3 * h_};
    const int result = plat::DrawTextExW(s_.dc, u"abcd", 4, &box, format, nullptr);
    RECT found{-1, -1, -1, -1};
    for (int y = 0; y < s_.height; ++y)
      for (int x = 0; x < s_.width; ++x)
        if (s_.Set(x, y)) {
          if (found.left < 0 || x < found.left) found.left = x;
          if (found.top < 0) found.top = y;
          found.right = std::max<LONG>(found.right, x + 1);
          found.bottom = y + 1;
        }
    EXPECT_EQ(result, h_);
    return found;
  };
  EXPECT_EQ(cell(plat::DT_LEFT).left, 10);
  EXPECT_EQ(cell(plat::DT_RIGHT).right, 10 + 20 * w_);
  EXPECT_EQ(cell(plat::DT_CENTER).left, 10 + 8 * w_);
  EXPECT_EQ(cell(plat::DT_SINGLELINE | plat::DT_VCENTER).top, 10 + h_);
  EXPECT_EQ(cell(plat::DT_SINGLELINE | plat::DT_BOTTOM).bottom, 10 + 3 * h_);
  // Clipped to the rectangle unless DT_NOCLIP.
  s_.Clear();
  RECT small{0, 0, 2 * w_, h_};
  plat::DrawTextExW(s_.dc, u"abcd", 4, &small, 0, nullptr);
  EXPECT_EQ(InkColumns(s_).second, 2 * w_ - 1);
  s_.Clear();
  plat::DrawTextExW(s_.dc, u"abcd", 4, &small, plat::DT_NOCLIP, nullptr);
  EXPECT_EQ(InkColumns(s_).second, 4 * w_ - 1);
}

}  // namespace
