// Formatted text with fuzzed text, format flags, rectangle, margins and tab length on a small
// section, in a monospace and a proportional face: every call must terminate (1-pixel widths,
// zero and negative tabs included) and stay inside the section's pixels.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_reader.h"
#include "platform/gdi/gdi.h"

namespace {

HFONT MakeFont(bool mono, LONG height, BYTE quality) {
  LOGFONTW log{};
  log.lfHeight = height;
  log.lfQuality = quality;
  const std::u16string face = mono ? u"DejaVu Sans Mono" : u"DejaVu Sans";
  std::memcpy(log.lfFaceName, face.data(), face.size() * 2);
  return plat::CreateFontIndirectW(&log);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 24) return 0;
  FuzzReader in(data, size);
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD table[256];
  } record{{sizeof(BITMAPINFOHEADER), 40, -24, 1, static_cast<WORD>((in.Byte() & 1) ? 8 : 32),
            plat::BI_RGB, 0, 0, 0, 0, 0},
           {}};
  HDC dc = plat::CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  HBITMAP section = plat::CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&record),
                                           plat::DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = plat::SelectObject(dc, section);
  const std::uint8_t fontByte = in.Byte();
  HFONT font = MakeFont(fontByte & 1, -static_cast<LONG>(4 + (fontByte >> 1) % 24),
                        (fontByte & 0x80) ? 3 : 0);
  HGDIOBJ oldFont = plat::SelectObject(dc, font);
  plat::SetTextColor(dc, 0xFFFFFF);
  plat::SetBkMode(dc, (in.Byte() & 1) ? plat::OPAQUE : plat::TRANSPARENT);
  plat::SetWindowOrgEx(dc, in.MostlySmall(96) % 16, in.MostlySmall(96) % 16, nullptr);

  std::uint32_t format = 0;
  for (int i = 0; i < 4; ++i) format = format << 8 | in.Byte();
  RECT rect{in.MostlySmall(96), in.MostlySmall(96), in.MostlySmall(96), in.MostlySmall(96)};
  plat::DRAWTEXTPARAMS params{sizeof(params), in.MostlySmall(96) % 40 - 8, in.MostlySmall(96),
                              in.MostlySmall(96), 0};
  // The rest is text: pairs of bytes as UTF-16 units, biased towards the characters layout
  // treats specially.
  std::u16string text;
  static const char16_t kSpecial[] = u" \t\r\n&/\\.aW\u00E9\U0001F600";
  while (in.Remaining() >= 2) {
    const std::uint8_t a = in.Byte(), b = in.Byte();
    text.push_back(a < 128 ? kSpecial[a % (sizeof(kSpecial) / 2 - 1)]
                           : static_cast<char16_t>(a << 8 | b));
    if (text.size() > 200) break;
  }
  plat::DrawTextExW(dc, text.data(), static_cast<int>(text.size()), &rect, format,
                    (format & 1) ? &params : nullptr);
  plat::TextOutW(dc, rect.left, rect.top, text.data(), static_cast<int>(text.size()));

  plat::SelectObject(dc, oldFont);
  plat::DeleteObject(font);
  plat::SelectObject(dc, old);
  plat::DeleteObject(section);
  plat::DeleteDC(dc);
  return 0;
}
