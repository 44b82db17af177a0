// DIB sections, copies between contexts and scan-line transfer of the device interface.
#include <gtest/gtest.h>

#include <random>

#include <vexa/palette.h>

#include "platform/gdi/gdi.h"
#include "platform/gdi_test_support.h"
#include "palette/palette_ops.h"
#include "palette/palette_search.h"

namespace {

using gditest::Info;
using gditest::MakeInfo;
using gditest::Section;

TEST(GdiBitmap, SectionsAcceptTheSupportedFormatsOnly) {
  HDC dc = plat::CreateCompatibleDC(nullptr);
  void* bits = reinterpret_cast<void*>(1);
  for (int bpp : {1, 8, 16, 24, 32}) {
    Info info = MakeInfo(5, 3, bpp);
    HBITMAP b = plat::CreateDIBSection(dc, info.get(), plat::DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(b, nullptr) << bpp;
    ASSERT_NE(bits, nullptr);
    plat::BITMAP record;
    ASSERT_EQ(plat::GetObject(b, sizeof(record), &record), static_cast<int>(sizeof(record)));
    EXPECT_EQ(record.bmBitsPixel, bpp);
    EXPECT_EQ(record.bmWidthBytes, (5 * bpp + 31) / 32 * 4);
    EXPECT_EQ(record.bmBits, bits);
    plat::DeleteObject(b);
  }
  auto refused = [&](Info info, UINT usage = plat::DIB_RGB_COLORS) {
    bits = reinterpret_cast<void*>(1);
    HBITMAP b = plat::CreateDIBSection(dc, info.get(), usage, &bits, nullptr, 0);
    return b == nullptr && bits == nullptr;
  };
  EXPECT_TRUE(refused(MakeInfo(5, 3, 4)));
  EXPECT_TRUE(refused(MakeInfo(0, 3, 32)));
  EXPECT_TRUE(refused(MakeInfo(5, 0, 32)));
  EXPECT_TRUE(refused(MakeInfo(100000, 100000, 32)));  // beyond 2 GiB
  Info masks = MakeInfo(5, 3, 16, true);
  masks.table[1] = 0x3F0;  // not a known layout
  EXPECT_TRUE(refused(masks));
  Info planes = MakeInfo(5, 3, 32);
  planes.header.biPlanes = 2;
  EXPECT_TRUE(refused(planes));
  Info used = MakeInfo(5, 3, 8);
  used.header.biClrUsed = 257;
  EXPECT_TRUE(refused(used));
  EXPECT_TRUE(refused(MakeInfo(5, 3, 8), 2));
  plat::DeleteDC(dc);
}

// What SetPixel stores is what the pixel format stores for the colour at every depth.
TEST(GdiBitmap, ContextDrawingAndStorageAgreeAtEveryDepth) {
  const COLORREF colour = 0x20A0F8;  // 0x00BBGGRR
  {
    Section s(4, 2, 32);
    plat::SetPixel(s.dc, 1, 0, colour);
    EXPECT_EQ(s.Row(0)[4], 0x20);  // blue, green, red in memory
    EXPECT_EQ(s.Row(0)[5], 0xA0);
    EXPECT_EQ(s.Row(0)[6], 0xF8);
    EXPECT_EQ(plat::GetPixel(s.dc, 1, 0), colour);
  }
  {
    Section s(4, 2, 24, true);
    plat::SetPixel(s.dc, 1, 1, colour);
    EXPECT_EQ(s.bits[s.stride + 3], 0x20);  // top-down: row 1 is the second in memory
    EXPECT_EQ(plat::GetPixel(s.dc, 1, 1), colour);
  }
  {
    Section s(4, 2, 16);  // 5-5-5
    plat::SetPixel(s.dc, 0, 0, colour);
    std::uint16_t v;
    std::memcpy(&v, s.Row(0), 2);
    EXPECT_EQ(v, (0xF8 >> 3) << 10 | (0xA0 >> 3) << 5 | 0x20 >> 3);
    EXPECT_EQ(plat::GetPixel(s.dc, 0, 0), 0x20A0F8u);
  }
  {
    Section s(4, 2, 16, false, true);  // 5-6-5
    plat::SetPixel(s.dc, 0, 0, colour);
    std::uint16_t v;
    std::memcpy(&v, s.Row(0), 2);
    EXPECT_EQ(v, (0xF8 >> 3) << 11 | (0xA0 >> 2) << 5 | 0x20 >> 3);
  }
  {
    // 8 bits: the table's nearest entry by the library's palette search, the same index a
    // surface's colour fill picks with that table.
    Section s(4, 2, 8);
    PaletteObject table{};
    table.entryCount = 256;
    for (int i = 0; i < 256; ++i) table.entries[i] = PALETTEENTRY{BYTE(i), BYTE(i), BYTE(i), 0};
    std::mt19937 random(5);
    for (int k = 0; k < 200; ++k) {
      const COLORREF c = random() & 0xFFFFFF;
      plat::SetPixel(s.dc, 0, 0, c);
      ASSERT_EQ(s.Row(0)[0], vexa::NearestIndexWith(&table, c, vexa::LibraryPaletteSearch())) << c;
    }
    plat::SetPixel(s.dc, 1, 0, plat::PALETTEINDEX(77));
    EXPECT_EQ(s.Row(0)[1], 77);
    EXPECT_EQ(plat::GetPixel(s.dc, 1, 0), 0x4D4D4Du);
  }
  {
    Section s(10, 2, 1);
    plat::SetPixel(s.dc, 9, 0, 0xFFFFFF);
    EXPECT_EQ(s.Row(0)[1], 0x40);  // most significant bit first
    EXPECT_EQ(plat::GetPixel(s.dc, 9, 0), 0xFFFFFFu);
  }
}

TEST(GdiBitmap, ColourTablesCanBeReadAndChanged) {
  Section s(4, 1, 8);
  RGBQUAD q[2] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  EXPECT_EQ(plat::SetDIBColorTable(s.dc, 254, 5, q), 2u);
  RGBQUAD out[3];
  EXPECT_EQ(plat::GetDIBColorTable(s.dc, 253, 3, out), 3u);
  EXPECT_EQ(out[1].rgbRed, 3);
  EXPECT_EQ(out[2].rgbBlue, 4);
  s.Row(0)[0] = 255;
  EXPECT_EQ(plat::GetPixel(s.dc, 0, 0), 0x040506u);
  // Palette-index tables name entries of the context's palette.
  PALETTEENTRY entries[3] = {{10, 20, 30, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}};
  LOGPALETTE256 record{0x300, 3, {}};
  std::copy_n(entries, 3, record.palPalEntry);
  HPALETTE palette = plat::CreatePalette(reinterpret_cast<LOGPALETTE*>(&record));
  HDC dc = plat::CreateCompatibleDC(nullptr);
  HPALETTE old = plat::SelectPalette(dc, palette, 0);
  EXPECT_EQ(old, plat::GetStockObject(plat::DEFAULT_PALETTE));
  Info info = MakeInfo(2, 1, 8);
  auto* indexes = reinterpret_cast<WORD*>(info.table);
  for (int i = 0; i < 256; ++i) indexes[i] = static_cast<WORD>(2 - i % 3);
  void* bits;
  HBITMAP b = plat::CreateDIBSection(dc, info.get(), plat::DIB_PAL_COLORS, &bits, nullptr, 0);
  ASSERT_NE(b, nullptr);
  plat::SelectObject(dc, b);
  static_cast<std::uint8_t*>(bits)[1] = 1;
  EXPECT_EQ(plat::GetPixel(dc, 0, 0), 0x5A5046u);
  EXPECT_EQ(plat::GetPixel(dc, 1, 0), 0x3C3228u);
  plat::SelectPalette(dc, old, 0);
  plat::DeleteDC(dc);
  plat::DeleteObject(b);
  plat::DeleteObject(palette);
}

void Paint(const Section& s) {
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      plat::SetPixel(s.dc, x, y, static_cast<COLORREF>((x * 40) | (y * 40) << 8 | 0x800000));
}

TEST(GdiBitmap, BitBltConvertsBetweenFormatsAndClips) {
  Section from(6, 5, 32);
  Paint(from);
  for (int bpp : {32, 24, 16}) {
    Section to(8, 8, bpp, bpp == 24);
    EXPECT_TRUE(plat::BitBlt(to.dc, 1, 2, 6, 5, from.dc, 0, 0, plat::SRCCOPY));
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 6; ++x) {
        const COLORREF c = plat::GetPixel(from.dc, x, y);
        const COLORREF mask = bpp == 16 ? 0xF8F8F8 : 0xFFFFFF;
        ASSERT_EQ(plat::GetPixel(to.dc, x + 1, y + 2) & mask, c & mask) << bpp;
      }
    EXPECT_EQ(plat::GetPixel(to.dc, 0, 0), 0u);
  }
  // Source rectangles reaching out of the source move the destination with them; the
  // destination clip and window origins hold.
  Section to(8, 8, 32);
  plat::IntersectClipRect(to.dc, 0, 0, 8, 4);
  plat::SetWindowOrgEx(from.dc, 1, 0, nullptr);  // logical x of the source is device x + 1
  EXPECT_TRUE(plat::BitBlt(to.dc, 0, 0, 8, 8, from.dc, -1, -1, plat::SRCCOPY));
  // Logical (-1, -1) is device (-2, -1): device (0, 0) of the source lands at (2, 1).
  EXPECT_EQ(plat::GetPixel(to.dc, 1, 1), 0u);
  EXPECT_EQ(plat::GetPixel(to.dc, 2, 1), plat::GetPixel(from.dc, 1, 0));
  EXPECT_EQ(plat::GetPixel(to.dc, 3, 2), plat::GetPixel(from.dc, 2, 1));
  plat::SelectClipRgn(to.dc, nullptr);
  EXPECT_EQ(plat::GetPixel(to.dc, 1, 4), 0u);
  EXPECT_FALSE(plat::BitBlt(to.dc, 0, 0, 1, 1, from.dc, 0, 0, 0x00EE0086));  // unsupported rop
  // A copy within one bitmap that overlaps itself.
  Section self(8, 1, 8);
  for (int x = 0; x < 8; ++x) self.Row(0)[x] = static_cast<std::uint8_t>(x + 1);
  plat::BitBlt(self.dc, 2, 0, 6, 1, self.dc, 0, 0, plat::SRCCOPY);
  const std::uint8_t expected[8] = {1, 2, 1, 2, 3, 4, 5, 6};
  EXPECT_EQ(std::memcmp(self.Row(0), expected, 8), 0);
}

TEST(GdiBitmap, EightBitCopiesMatchColoursAcrossTables) {
  Section grey(4, 1, 8);
  Section other(4, 1, 8);
  RGBQUAD reversed[256];
  for (int i = 0; i < 256; ++i)
    reversed[i] = RGBQUAD{BYTE(255 - i), BYTE(255 - i), BYTE(255 - i), 0};
  plat::SetDIBColorTable(other.dc, 0, 256, reversed);
  grey.Row(0)[0] = 200;
  plat::BitBlt(other.dc, 0, 0, 4, 1, grey.dc, 0, 0, plat::SRCCOPY);
  EXPECT_EQ(other.Row(0)[0], 55);
}

TEST(GdiBitmap, MonochromeCopiesUseTextAndBackgroundColours) {
  Section mono(8, 1, 1);
  mono.Row(0)[0] = 0xA0;  // 1 0 1 0 ...
  Section colour(8, 1, 32);
  plat::SetTextColor(colour.dc, 0x0000FF);
  plat::SetBkColor(colour.dc, 0x00FF00);
  plat::BitBlt(colour.dc, 0, 0, 8, 1, mono.dc, 0, 0, plat::SRCCOPY);
  EXPECT_EQ(plat::GetPixel(colour.dc, 0, 0), 0x00FF00u);
  EXPECT_EQ(plat::GetPixel(colour.dc, 1, 0), 0x0000FFu);
  // Back to monochrome: the source's background colour becomes 1.
  plat::SetBkColor(colour.dc, 0x0000FF);
  mono.Clear();
  plat::BitBlt(mono.dc, 0, 0, 8, 1, colour.dc, 0, 0, plat::SRCCOPY);
  EXPECT_EQ(mono.Row(0)[0], 0x5F);  // green red green red red...
}

TEST(GdiBitmap, StretchBltScalesByNearestPixelAndMirrors) {
  Section from(2, 2, 32);
  plat::SetPixel(from.dc, 0, 0, 0x0000FF);
  plat::SetPixel(from.dc, 1, 0, 0x00FF00);
  plat::SetPixel(from.dc, 0, 1, 0xFF0000);
  plat::SetPixel(from.dc, 1, 1, 0xFFFFFF);
  Section to(4, 4, 16, false, true);
  EXPECT_TRUE(plat::StretchBlt(to.dc, 0, 0, 4, 4, from.dc, 0, 0, 2, 2, plat::SRCCOPY));
  EXPECT_EQ(plat::GetPixel(to.dc, 1, 1), 0x0000F8u);
  EXPECT_EQ(plat::GetPixel(to.dc, 2, 1), 0x00FC00u);
  EXPECT_EQ(plat::GetPixel(to.dc, 3, 3), 0xF8FCF8u);
  // A negative width mirrors left-right: the corners (4, 0) and (0, 4).
  EXPECT_TRUE(plat::StretchBlt(to.dc, 4, 0, -4, 4, from.dc, 0, 0, 2, 2, plat::SRCCOPY));
  EXPECT_EQ(plat::GetPixel(to.dc, 0, 0), 0x00FC00u);
  EXPECT_EQ(plat::GetPixel(to.dc, 3, 0), 0x0000F8u);
  // Clipped destination: only the clip changes.
  to.Clear();
  plat::IntersectClipRect(to.dc, 0, 0, 2, 4);
  plat::StretchBlt(to.dc, 0, 0, 4, 4, from.dc, 0, 0, 2, 2, plat::SRCCOPY);
  plat::SelectClipRgn(to.dc, nullptr);
  EXPECT_EQ(plat::GetPixel(to.dc, 2, 0), 0u);
  EXPECT_NE(plat::GetPixel(to.dc, 1, 0), 0u);
}

TEST(GdiBitmap, DIBitsRoundTripThroughEveryRowFormat) {
  Section s(7, 5, 32);
  Paint(s);
  for (int bpp : {32, 24, 16, 8, 1}) {
    for (bool topDown : {false, true}) {
      Info info = MakeInfo(7, topDown ? -5 : 5, bpp);
      std::vector<std::uint8_t> rows(static_cast<std::size_t>((7 * bpp + 31) / 32 * 4 * 5));
      ASSERT_EQ(plat::GetDIBits(s.dc, s.bitmap, 0, 5, rows.data(), info.get(), plat::DIB_RGB_COLORS), 5);
      Section back(7, 5, 32);
      // The target may not be selected in another context: deselect it first.
      HGDIOBJ held = plat::SelectObject(back.dc, back.previous);
      ASSERT_EQ(plat::SetDIBits(back.dc, back.bitmap, 0, 5, rows.data(), info.get(), plat::DIB_RGB_COLORS), 5);
      plat::SelectObject(back.dc, held);
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
          const COLORREF c = plat::GetPixel(s.dc, x, y);
          const COLORREF got = plat::GetPixel(back.dc, x, y);
          if (bpp >= 24) ASSERT_EQ(got, c);
          if (bpp == 16) ASSERT_EQ(got & 0xF8F8F8, c & 0xF8F8F8);
        }
      if (bpp == 8) {
        // Grey table: a pixel reads back as its nearest grey.
        const COLORREF got = plat::GetPixel(back.dc, 0, 0);
        EXPECT_EQ(got & 0xFF, (got >> 8) & 0xFF);
      }
    }
  }
  // Partial transfers count lines from the bottom; the header query fills the size.
  Info info = MakeInfo(7, 5, 32);
  std::vector<std::uint32_t> line(7);
  ASSERT_EQ(plat::GetDIBits(s.dc, s.bitmap, 4, 9, line.data(), info.get(), plat::DIB_RGB_COLORS), 1);
  EXPECT_EQ(line[2] & 0xFFFFFF, 0x800000u >> 16 | 80u << 16);  // top row, x = 2: r 80, b 0x80
  Info query{};
  query.header.biSize = sizeof(BITMAPINFOHEADER);
  ASSERT_EQ(plat::GetDIBits(s.dc, s.bitmap, 0, 0, nullptr, query.get(), plat::DIB_RGB_COLORS), 1);
  EXPECT_EQ(query.header.biWidth, 7);
  EXPECT_EQ(query.header.biHeight, 5);
  EXPECT_EQ(query.header.biBitCount, 32);
  EXPECT_EQ(query.header.biSizeImage, 7u * 4 * 5);
  // Wrong widths and a bitmap selected elsewhere are refused.
  Info wide = MakeInfo(8, 5, 32);
  EXPECT_EQ(plat::GetDIBits(s.dc, s.bitmap, 0, 5, line.data(), wide.get(), plat::DIB_RGB_COLORS), 0);
  HDC other = plat::CreateCompatibleDC(nullptr);
  EXPECT_EQ(plat::SetDIBits(other, s.bitmap, 0, 1, line.data(), info.get(), plat::DIB_RGB_COLORS), 0);
  plat::DeleteDC(other);
}

TEST(GdiBitmap, CompatibleBitmapsFollowTheSelectedFormat) {
  Section s(4, 4, 16, false, true);
  HBITMAP b = plat::CreateCompatibleBitmap(s.dc, 3, 3);
  plat::BITMAP record;
  plat::GetObject(b, sizeof(record), &record);
  EXPECT_EQ(record.bmBitsPixel, 16);
  EXPECT_EQ(record.bmBits, nullptr);
  plat::DeleteObject(b);
  HDC fresh = plat::CreateCompatibleDC(nullptr);
  b = plat::CreateCompatibleBitmap(fresh, 3, 3);
  plat::GetObject(b, sizeof(record), &record);
  EXPECT_EQ(record.bmBitsPixel, plat::GetDeviceCaps(fresh, plat::BITSPIXEL) == 15 ? 16 : plat::GetDeviceCaps(fresh, plat::BITSPIXEL));
  plat::DeleteObject(b);
  const std::uint8_t pattern[4] = {0x80, 0, 0x40, 0};
  b = plat::CreateBitmap(2, 2, 1, 1, pattern);
  plat::SelectObject(fresh, b);
  EXPECT_EQ(plat::GetPixel(fresh, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(plat::GetPixel(fresh, 1, 1), 0xFFFFFFu);
  EXPECT_EQ(plat::GetPixel(fresh, 1, 0), 0u);
  plat::DeleteDC(fresh);
  plat::DeleteObject(b);
}

}  // namespace
