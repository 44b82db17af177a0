// Text on a surface: plain text goes straight through the surface's device context; text
// with an ink effect or blit flags is drawn on a temporary surface filled with a key colour
// the text cannot have, which is then blitted transparently with the effect.
#include <string>
#include <string_view>

#include <vexa/surface_implementation.h>
#include <vexa/text.h>

#include "render/draw_text.h"

#include "platform/gdi/gdi.h"
#include "platform/text/codepage.h"
#include "render/blit_setup.h"

namespace vexa {
namespace {
thread_local TextFailure lastTextFailure = TextFailure::kNone;
}  // namespace

TextFailure TakeTextFailure() {
  const TextFailure failure = lastTextFailure;
  lastTextFailure = TextFailure::kNone;
  return failure;
}

}  // namespace vexa

namespace {

// Records why a text operation gives 0 and passes the 0 on.
int Fail(vexa::TextFailure failure) {
  vexa::lastTextFailure = failure;
  return 0;
}

constexpr std::uint32_t kMeasureOnly = plat::DT_CALCRECT;
constexpr std::uint32_t kHighestEffect = 13;

// Text as UTF-16 for the device calls; narrow text converts with the library's code page.
// Length -1: zero-terminated.
std::u16string_view WideView(const WCHAR* text, int length, std::u16string&) {
  if (!text) return {};
  if (length < 0) return std::u16string_view(text);
  return std::u16string_view(text, static_cast<std::size_t>(length));
}
std::u16string_view WideView(const char* text, int length, std::u16string& storage) {
  if (!text) return {};
  const std::string_view narrow = length < 0
                                      ? std::string_view(text)
                                      : std::string_view(text, static_cast<std::size_t>(length));
  storage = plat::DecodeNarrow(narrow, GetLibraryCodePage());
  return storage;
}

// Selects a font for the length of a call and puts the previous one back.
class FontChoice {
 public:
  FontChoice(HDC dc, HFONT font) : dc_(dc) {
    if (font) previous_ = plat::SelectObject(dc, font);
  }
  ~FontChoice() {
    if (previous_) plat::SelectObject(dc_, previous_);
  }
  FontChoice(const FontChoice&) = delete;
  FontChoice& operator=(const FontChoice&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_ = nullptr;
};

// A non-antialiased copy of a font (null: the system font) for text that is keyed out: coverage
// edges would mix text and key colours into a fringe. Owned; deleted with this object.
class BilevelFont {
 public:
  explicit BilevelFont(HFONT font) : font_(font) {
    LOGFONTW log{};
    HGDIOBJ source = font ? static_cast<HGDIOBJ>(font) : plat::GetStockObject(plat::SYSTEM_FONT);
    if (plat::GetObject(source, sizeof(log), &log) != sizeof(log)) return;
    if (font && log.lfQuality == plat::NONANTIALIASED_QUALITY) return;
    log.lfQuality = plat::NONANTIALIASED_QUALITY;
    copy_ = plat::CreateFontIndirectW(&log);
    if (!copy_) return;
    // The screen's context meets the font once, as the library's callers expect of it.
    if (HDC screen = plat::GetDC(nullptr)) {
      HGDIOBJ previous = plat::SelectObject(screen, copy_);
      if (previous) plat::SelectObject(screen, previous);
      plat::ReleaseDC(nullptr, screen);
    }
  }
  ~BilevelFont() {
    if (copy_) plat::DeleteObject(copy_);
  }
  BilevelFont(const BilevelFont&) = delete;
  BilevelFont& operator=(const BilevelFont&) = delete;
  HFONT Use() const { return copy_ ? copy_ : font_; }

 private:
  HFONT font_;
  HFONT copy_ = nullptr;
};

// The text drawn on a key-filled temporary surface, blitted onto `target` with the effect.
template <class Draw>
int DrawKeyed(cSurfaceImplementation& target, RECT box, COLORREF key,
              const vexa::NormalisedEffect& effect, std::uint32_t flags, Draw draw) {
  const int width = box.right - box.left, height = box.bottom - box.top;
  if (width <= 0 || height <= 0) return 0;
  cSurfaceImplementation* temporary = target.CreateCompatible(width, height);
  if (!temporary) return Fail(vexa::TextFailure::kNoTemporary);
  temporary->FillRectColor(0, 0, width, height, key);
  temporary->SetTransparentColor(key);
  const int result = draw(*temporary, width, height);
  int originX = 0, originY = 0;
  UnpackDeviceOrigin(target.GetDeviceOrigin(), &originX, &originY);
  temporary->Blit(&target, box.left - originX, box.top - originY, 0, 0, width, height, 1,
                  effect.code, effect.parameter, flags);
  DeleteImplementation(temporary);
  return result;
}

template <class Char>
int DrawSingle(cSurfaceImplementation& surface, const Char* text, int length, int x, int y,
               std::uint32_t alignment, const RECT* clip, COLORREF color, HFONT font,
               HookArg reserved, std::uint32_t effectWord, EffectParam parameter,
               std::uint32_t flags) {
  if ((effectWord & 0xFFF) > kHighestEffect) return 0;
  const vexa::NormalisedEffect effect = vexa::NormaliseEffect(effectWord, parameter);
  if (effect.invisible) return 1;
  if (effect.code == 0 && flags == 0) {
    HDC dc = surface.GetDC();
    if (!dc) return Fail(vexa::TextFailure::kNoDeviceContext);
    std::u16string storage;
    const std::u16string_view wide = WideView(text, length, storage);
    int result;
    {
      FontChoice choice(dc, font);
      const int mode = plat::SetBkMode(dc, plat::TRANSPARENT);
      const COLORREF previousColor = plat::SetTextColor(dc, color);
      const UINT previousAlign = plat::SetTextAlign(dc, alignment);
      result = plat::ExtTextOutW(dc, x, y, clip ? plat::ETO_CLIPPED : 0, clip, wide.data(),
                                 static_cast<UINT>(wide.size()), nullptr);
      if (previousAlign != plat::GDI_ERROR) plat::SetTextAlign(dc, previousAlign);
      plat::SetTextColor(dc, previousColor);
      plat::SetBkMode(dc, mode);
    }
    surface.ReleaseDC(dc);
    return result;
  }
  // Without a clip rectangle the box is the surface's clip rectangle.
  RECT box;
  if (clip) {
    box = *clip;
  } else {
    int cx = 0, cy = 0, cw = 0, ch = 0;
    surface.GetClipRect(&cx, &cy, &cw, &ch);
    box = RECT{cx, cy, cx + cw, cy + ch};
  }
  const BilevelFont bilevel(font);
  return DrawKeyed(surface, box, color ^ 0xFFFFFF, effect, flags,
                   [&](cSurfaceImplementation& t, int w, int h) {
                     const RECT local{0, 0, w, h};
                     if constexpr (sizeof(Char) == 1)
                       return t.DrawTextA(text, length, x - box.left, y - box.top, alignment,
                                          &local, color, bilevel.Use(), reserved, 0, 0, 0);
                     else
                       return t.DrawTextW(text, length, x - box.left, y - box.top, alignment,
                                          &local, color, bilevel.Use(), reserved, 0, 0, 0);
                   });
}

template <class Char>
int DrawFormatted(cSurfaceImplementation& surface, const Char* text, int length, RECT* rect,
                  std::uint32_t format, COLORREF color, HFONT font, HookArg reserved,
                  std::uint32_t effectWord, EffectParam parameter, std::uint32_t flags,
                  int leftMargin, int rightMargin, int tabLength) {
  if ((effectWord & 0xFFF) > kHighestEffect) return 0;
  const vexa::NormalisedEffect effect = vexa::NormaliseEffect(effectWord, parameter);
  if (effect.invisible) return 1;
  const bool measuring = (format & kMeasureOnly) != 0;
  if ((effect.code == 0 && flags == 0) || measuring) {
    HDC dc = surface.GetDC();
    if (!dc) return Fail(vexa::TextFailure::kNoDeviceContext);
    std::u16string storage;
    const std::u16string_view wide = WideView(text, length, storage);
    plat::DRAWTEXTPARAMS params{sizeof(plat::DRAWTEXTPARAMS), tabLength, leftMargin, rightMargin,
                                0};
    int result;
    {
      FontChoice choice(dc, font);
      int mode = 0;
      COLORREF previousColor = 0;
      if (!measuring) {
        mode = plat::SetBkMode(dc, plat::TRANSPARENT);
        previousColor = plat::SetTextColor(dc, color);
      }
      result =
          plat::DrawTextExW(dc, wide.data(), static_cast<int>(wide.size()), rect, format, &params);
      if (!measuring) {
        plat::SetTextColor(dc, previousColor);
        plat::SetBkMode(dc, mode);
      }
    }
    surface.ReleaseDC(dc);
    return result;
  }
  if (!rect) return 0;
  const COLORREF key = (color & 0xFFFFFF) == 0 ? 0x000008 : color ^ 0xFFFFFF;
  const BilevelFont bilevel(font);
  return DrawKeyed(surface, *rect, key, effect, flags,
                   [&](cSurfaceImplementation& t, int w, int h) {
                     RECT local{0, 0, w, h};
                     if constexpr (sizeof(Char) == 1)
                       return t.DrawTextExA(text, length, &local, format, color, bilevel.Use(),
                                            reserved, 0, 0, 0, leftMargin, rightMargin, tabLength);
                     else
                       return t.DrawTextExW(text, length, &local, format, color, bilevel.Use(),
                                            reserved, 0, 0, 0, leftMargin, rightMargin, tabLength);
                   });
}

}  // namespace

int cSurfaceImplementation::DrawTextW(const WCHAR* text, int length, int x, int y,
                                      std::uint32_t alignment, const RECT* clip, COLORREF color,
                                      HFONT font, HookArg reserved, std::uint32_t effect,
                                      EffectParam parameter, std::uint32_t flags) {
  return DrawSingle(*this, text, length, x, y, alignment, clip, color, font, reserved, effect,
                    parameter, flags);
}
int cSurfaceImplementation::DrawTextA(const char* text, int length, int x, int y,
                                      std::uint32_t alignment, const RECT* clip, COLORREF color,
                                      HFONT font, HookArg reserved, std::uint32_t effect,
                                      EffectParam parameter, std::uint32_t flags) {
  return DrawSingle(*this, text, length, x, y, alignment, clip, color, font, reserved, effect,
                    parameter, flags);
}
int cSurfaceImplementation::DrawTextExW(const WCHAR* text, int length, RECT* rect,
                                        std::uint32_t format, COLORREF color, HFONT font,
                                        HookArg reserved, std::uint32_t effect,
                                        EffectParam parameter, std::uint32_t flags, int leftMargin,
                                        int rightMargin, int tabLength) {
  return DrawFormatted(*this, text, length, rect, format, color, font, reserved, effect, parameter,
                       flags, leftMargin, rightMargin, tabLength);
}
int cSurfaceImplementation::DrawTextExA(const char* text, int length, RECT* rect,
                                        std::uint32_t format, COLORREF color, HFONT font,
                                        HookArg reserved, std::uint32_t effect,
                                        EffectParam parameter, std::uint32_t flags, int leftMargin,
                                        int rightMargin, int tabLength) {
  return DrawFormatted(*this, text, length, rect, format, color, font, reserved, effect, parameter,
                       flags, leftMargin, rightMargin, tabLength);
}
