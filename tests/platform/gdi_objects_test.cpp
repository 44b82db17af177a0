// The handle table, regions, clip regions and context state of the device interface.
#include <gtest/gtest.h>

#include <random>

#include "platform/gdi/gdi.h"
#include "platform/gdi_test_support.h"

namespace {

using gditest::Section;

TEST(GdiHandles, StaleForeignAndWrongTypeHandlesAreRefused) {
  Section s(8, 8, 32);
  HPEN pen = plat::CreatePen(plat::PS_SOLID, 1, 0xFF);
  ASSERT_NE(pen, nullptr);
  EXPECT_EQ(plat::GetObjectType(pen), plat::OBJ_PEN);
  // A pen where a brush is expected.
  const RECT r{0, 0, 4, 4};
  EXPECT_EQ(plat::FillRect(s.dc, &r, reinterpret_cast<HBRUSH>(pen)), 0);
  ASSERT_TRUE(plat::DeleteObject(pen));
  // Stale: every call fails, and a second delete too.
  EXPECT_EQ(plat::GetObjectType(pen), 0);
  EXPECT_EQ(plat::SelectObject(s.dc, pen), nullptr);
  EXPECT_FALSE(plat::DeleteObject(pen));
  // A new object in the same slot does not revive the old handle.
  HPEN again = plat::CreatePen(plat::PS_SOLID, 1, 0xFF);
  EXPECT_NE(again, pen);
  EXPECT_EQ(plat::SelectObject(s.dc, pen), nullptr);
  plat::DeleteObject(again);
  // Foreign: an address, a small number, null.
  int local = 0;
  EXPECT_EQ(plat::GetObjectType(&local), 0);
  EXPECT_EQ(plat::SetPixel(reinterpret_cast<HDC>(&local), 0, 0, 0), plat::CLR_INVALID);
  EXPECT_EQ(plat::GetObjectType(reinterpret_cast<HGDIOBJ>(std::uintptr_t{12})), 0);
  EXPECT_FALSE(plat::DeleteObject(nullptr));
  EXPECT_FALSE(plat::DeleteDC(reinterpret_cast<HDC>(s.bitmap)));
  // A deleted context is stale too.
  HDC dc = plat::CreateCompatibleDC(nullptr);
  ASSERT_TRUE(plat::DeleteDC(dc));
  EXPECT_EQ(plat::GetROP2(dc), 0);
  EXPECT_FALSE(plat::LineTo(dc, 3, 3));
}

TEST(GdiHandles, AnObjectDeletedWhileSelectedLivesUntilDeselected) {
  Section s(8, 8, 32);
  const int before = plat::LiveObjectCount();
  HBRUSH brush = plat::CreateSolidBrush(0x0000FF);
  HGDIOBJ old = plat::SelectObject(s.dc, brush);
  EXPECT_EQ(old, plat::GetStockObject(plat::WHITE_BRUSH));
  EXPECT_TRUE(plat::DeleteObject(brush));
  // The handle is gone for callers, but the context still draws with the brush.
  EXPECT_EQ(plat::GetObjectType(brush), 0);
  EXPECT_EQ(plat::LiveObjectCount(), before + 1);
  plat::SelectObject(s.dc, plat::GetStockObject(plat::NULL_PEN));
  plat::Rectangle(s.dc, 0, 0, 4, 4);
  EXPECT_EQ(plat::GetPixel(s.dc, 1, 1), 0x0000FFu);
  plat::SelectObject(s.dc, old);
  EXPECT_EQ(plat::LiveObjectCount(), before);
  // A saved state holds its objects as well.
  HPEN pen = plat::CreatePen(plat::PS_SOLID, 1, 0x00FF00);
  plat::SelectObject(s.dc, pen);
  const int depth = plat::SaveDC(s.dc);
  EXPECT_EQ(depth, 1);
  plat::SelectObject(s.dc, plat::GetStockObject(plat::BLACK_PEN));
  plat::DeleteObject(pen);
  EXPECT_EQ(plat::LiveObjectCount(), before + 1);
  ASSERT_TRUE(plat::RestoreDC(s.dc, -1));
  EXPECT_EQ(plat::GetCurrentObject(s.dc, plat::OBJ_PEN), static_cast<HGDIOBJ>(pen));
  plat::SelectObject(s.dc, plat::GetStockObject(plat::BLACK_PEN));
  EXPECT_EQ(plat::LiveObjectCount(), before);
  // Stock objects survive DeleteObject.
  EXPECT_TRUE(plat::DeleteObject(plat::GetStockObject(plat::BLACK_BRUSH)));
  EXPECT_EQ(plat::GetObjectType(plat::GetStockObject(plat::BLACK_BRUSH)), plat::OBJ_BRUSH);
}

TEST(GdiHandles, BitmapsGoIntoOneMemoryContextAtATime) {
  Section s(4, 4, 24);
  HDC other = plat::CreateCompatibleDC(nullptr);
  EXPECT_EQ(plat::SelectObject(other, s.bitmap), nullptr);
  HDC screen = plat::GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(plat::SelectObject(screen, s.bitmap), nullptr);
  EXPECT_EQ(plat::ReleaseDC(nullptr, screen), 1);
  EXPECT_EQ(plat::ReleaseDC(nullptr, screen), 0);  // unbalanced: nothing happens
  EXPECT_EQ(plat::ReleaseDC(nullptr, other), 0);   // memory contexts are deleted, not released
  plat::DeleteDC(other);
}

// ---- regions ---------------------------------------------------------------------------------

constexpr int kModel = 40;
using Model = std::vector<bool>;

Model ModelOf(HRGN region) {
  Model m(kModel * kModel);
  for (int y = 0; y < kModel; ++y)
    for (int x = 0; x < kModel; ++x) m[y * kModel + x] = plat::PtInRegion(region, x - 5, y - 5);
  return m;
}

TEST(GdiRegions, RandomCombinationsMatchAPerPixelModel) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> coordinate(-5, 34);
  std::uniform_int_distribution<int> mode(plat::RGN_AND, plat::RGN_COPY);
  HRGN a = plat::CreateRectRgn(0, 0, 10, 10);
  HRGN b = plat::CreateRectRgn(0, 0, 0, 0);
  HRGN result = plat::CreateRectRgn(0, 0, 0, 0);
  for (int round = 0; round < 300; ++round) {
    plat::SetRectRgn(b, coordinate(random), coordinate(random), coordinate(random),
                     coordinate(random));
    const Model ma = ModelOf(a), mb = ModelOf(b);
    const int m = mode(random);
    const int type = plat::CombineRgn(result, a, b, m);
    const Model mr = ModelOf(result);
    int count = 0;
    for (int i = 0; i < kModel * kModel; ++i) {
      bool expected = ma[i];
      if (m == plat::RGN_AND) expected = ma[i] && mb[i];
      if (m == plat::RGN_OR) expected = ma[i] || mb[i];
      if (m == plat::RGN_XOR) expected = ma[i] != mb[i];
      if (m == plat::RGN_DIFF) expected = ma[i] && !mb[i];
      ASSERT_EQ(mr[i], expected) << "round " << round << " mode " << m << " pixel " << i;
      count += expected;
    }
    // The type, the box and the canonical rectangles agree with the pixels.
    const int rects = plat::GetRegionRects(result, nullptr, 0);
    EXPECT_EQ(type, count == 0 ? plat::NULLREGION : rects == 1 ? plat::SIMPLEREGION : plat::COMPLEXREGION);
    std::vector<RECT> list(static_cast<std::size_t>(rects));
    plat::GetRegionRects(result, list.data(), rects);
    int area = 0;
    for (const RECT& r : list) area += (r.right - r.left) * (r.bottom - r.top);
    EXPECT_EQ(area, count);
    // Keep a complex region going, but not one that grows without bound.
    plat::CombineRgn(a, result, nullptr, plat::RGN_COPY);
    if (round % 40 == 39) plat::SetRectRgn(a, 0, 0, 10, 10);
  }
  plat::DeleteObject(a);
  plat::DeleteObject(b);
  plat::DeleteObject(result);
}

TEST(GdiRegions, EqualRegionsHaveEqualRectangles) {
  // Two halves joined equal the whole, whatever order built them.
  HRGN left = plat::CreateRectRgn(0, 0, 5, 10);
  HRGN right = plat::CreateRectRgn(5, 0, 10, 10);
  HRGN whole = plat::CreateRectRgn(10, 10, 0, 0);  // corners in any order
  HRGN joined = plat::CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(plat::CombineRgn(joined, right, left, plat::RGN_OR), plat::SIMPLEREGION);
  EXPECT_TRUE(plat::EqualRgn(joined, whole));
  EXPECT_EQ(plat::OffsetRgn(joined, 3, -2), plat::SIMPLEREGION);
  RECT box;
  EXPECT_EQ(plat::GetRgnBox(joined, &box), plat::SIMPLEREGION);
  EXPECT_EQ(box.left, 3);
  EXPECT_EQ(box.top, -2);
  EXPECT_EQ(box.right, 13);
  EXPECT_EQ(box.bottom, 8);
  EXPECT_EQ(plat::CombineRgn(joined, left, right, plat::RGN_AND), plat::NULLREGION);
  EXPECT_EQ(plat::CombineRgn(joined, left, right, 9), plat::RGN_ERROR);
  for (HRGN r : {left, right, whole, joined}) plat::DeleteObject(r);
}

TEST(GdiClip, ClipRegionLimitsDrawingAndReportsItsType) {
  Section s(20, 20, 32);
  RECT box;
  HRGN probe = plat::CreateRectRgn(0, 0, 0, 0);
  // No clip region: the whole bitmap, but GetClipRgn reports none.
  EXPECT_EQ(plat::GetClipBox(s.dc, &box), plat::SIMPLEREGION);
  EXPECT_EQ(box.right, 20);
  EXPECT_EQ(plat::GetClipRgn(s.dc, probe), 0);
  EXPECT_EQ(plat::IntersectClipRect(s.dc, 2, 2, 12, 12), plat::SIMPLEREGION);
  EXPECT_EQ(plat::ExcludeClipRect(s.dc, 5, 5, 8, 8), plat::COMPLEXREGION);
  EXPECT_EQ(plat::GetClipRgn(s.dc, probe), 1);
  EXPECT_TRUE(plat::PtInRegion(probe, 2, 2));
  EXPECT_FALSE(plat::PtInRegion(probe, 6, 6));
  EXPECT_EQ(plat::GetClipBox(s.dc, &box), plat::COMPLEXREGION);
  EXPECT_EQ(box.left, 2);
  EXPECT_EQ(box.bottom, 12);
  HBRUSH white = static_cast<HBRUSH>(plat::GetStockObject(plat::WHITE_BRUSH));
  const RECT all{0, 0, 20, 20};
  plat::FillRect(s.dc, &all, white);
  plat::SelectClipRgn(s.dc, nullptr);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool inside = x >= 2 && x < 12 && y >= 2 && y < 12 && !(x >= 5 && x < 8 && y >= 5 && y < 8);
      ASSERT_EQ(s.Set(x, y), inside) << x << "," << y;
    }
  // Clip rectangles are logical: the window origin moves them.
  plat::SetWindowOrgEx(s.dc, 10, 0, nullptr);
  EXPECT_EQ(plat::IntersectClipRect(s.dc, 10, 0, 13, 20), plat::SIMPLEREGION);
  EXPECT_EQ(plat::GetClipRgn(s.dc, probe), 1);
  EXPECT_TRUE(plat::PtInRegion(probe, 0, 0));
  EXPECT_FALSE(plat::PtInRegion(probe, 10, 0));
  EXPECT_EQ(plat::GetClipBox(s.dc, &box), plat::SIMPLEREGION);
  EXPECT_EQ(box.left, 10);
  // Everything clipped away: a null region.
  EXPECT_EQ(plat::ExcludeClipRect(s.dc, 0, 0, 100, 100), plat::NULLREGION);
  EXPECT_EQ(plat::SetPixel(s.dc, 10, 1, 0xFF), plat::CLR_INVALID);
  EXPECT_EQ(plat::ExtSelectClipRgn(s.dc, probe, plat::RGN_OR), plat::SIMPLEREGION);
  plat::DeleteObject(probe);
}

TEST(GdiState, SettersReturnThePreviousValueAndSaveDCRestores) {
  Section s(4, 4, 32);
  EXPECT_EQ(plat::SetROP2(s.dc, plat::R2_XORPEN), plat::R2_COPYPEN);
  EXPECT_EQ(plat::SetROP2(s.dc, 0), 0);  // refused
  EXPECT_EQ(plat::GetROP2(s.dc), plat::R2_XORPEN);
  EXPECT_EQ(plat::SetBkMode(s.dc, plat::TRANSPARENT), plat::OPAQUE);
  EXPECT_EQ(plat::SetBkColor(s.dc, 0x123456), 0xFFFFFFu);
  EXPECT_EQ(plat::SetTextColor(s.dc, 0x654321), 0u);
  EXPECT_EQ(plat::SetTextAlign(s.dc, plat::TA_CENTER), plat::TA_LEFT);
  EXPECT_EQ(plat::SetStretchBltMode(s.dc, plat::COLORONCOLOR), plat::BLACKONWHITE);
  EXPECT_EQ(plat::SetPolyFillMode(s.dc, plat::WINDING), plat::ALTERNATE);
  POINT p;
  plat::MoveToEx(s.dc, 3, 2, nullptr);
  ASSERT_EQ(plat::SaveDC(s.dc), 1);
  plat::SetROP2(s.dc, plat::R2_BLACK);
  plat::SetWindowOrgEx(s.dc, 5, 5, nullptr);
  plat::MoveToEx(s.dc, 0, 0, &p);
  EXPECT_EQ(p.x, 3);
  ASSERT_EQ(plat::SaveDC(s.dc), 2);
  plat::SetBkColor(s.dc, 0);
  EXPECT_FALSE(plat::RestoreDC(s.dc, 3));
  EXPECT_TRUE(plat::RestoreDC(s.dc, 1));  // drops both saved states
  EXPECT_EQ(plat::GetROP2(s.dc), plat::R2_XORPEN);
  EXPECT_EQ(plat::GetBkColor(s.dc), 0x123456u);
  plat::GetWindowOrgEx(s.dc, &p);
  EXPECT_EQ(p.x, 0);
  plat::GetCurrentPositionEx(s.dc, &p);
  EXPECT_EQ(p.x, 3);
  EXPECT_EQ(p.y, 2);
  EXPECT_FALSE(plat::RestoreDC(s.dc, -1));
}

TEST(GdiState, DeviceCapsDescribeATrueColourScreen) {
  HDC screen = plat::GetDC(nullptr);
  EXPECT_GE(plat::GetDeviceCaps(screen, plat::BITSPIXEL), 15);
  EXPECT_EQ(plat::GetDeviceCaps(screen, plat::PLANES), 1);
  EXPECT_GT(plat::GetDeviceCaps(screen, plat::HORZRES), 0);
  EXPECT_GT(plat::GetDeviceCaps(screen, plat::VERTRES), 0);
  EXPECT_EQ(plat::GetDeviceCaps(screen, plat::LOGPIXELSX), 96);
  EXPECT_EQ(plat::GetDeviceCaps(screen, plat::LOGPIXELSY), 96);
  EXPECT_EQ(plat::GetDeviceCaps(screen, plat::SIZEPALETTE), 0);
  EXPECT_EQ(plat::GetDeviceCaps(screen, plat::NUMCOLORS), -1);
  EXPECT_EQ(plat::GetDeviceCaps(screen, plat::RASTERCAPS) & plat::RC_PALETTE, 0);
  EXPECT_NE(plat::GetDeviceCaps(screen, plat::RASTERCAPS) & plat::RC_STRETCHBLT, 0);
  EXPECT_GT(plat::GetDeviceCaps(screen, plat::VREFRESH), 0);
  PALETTEENTRY entries[16];
  EXPECT_EQ(plat::GetSystemPaletteEntries(screen, 0, 16, entries), 0u);
  EXPECT_EQ(plat::RealizePalette(screen), 0u);
  // The screen context draws into memory of the screen's size.
  EXPECT_NE(plat::SetPixel(screen, 1, 1, 0xFF), plat::CLR_INVALID);
  EXPECT_EQ(plat::GetPixel(screen, 1, 1), 0xFFu);
  plat::ReleaseDC(nullptr, screen);
  EXPECT_EQ(plat::GetDeviceCaps(screen, plat::BITSPIXEL), 0);
}

}  // namespace
