// Icons and cursors from surfaces: scaling into the icon, the transparency mask, hot spots,
// and the ARGB surface windows and cursors are made from.
#include <gtest/gtest.h>

#include <SDL.h>

#include <vexa/icon.h>
#include <vexa/surface_object.h>

#include "platform/gdi/icon.h"
#include "support/surface_factory.h"

namespace {

constexpr COLORREF kKey = 0xFF00FF;

bool MaskBit(HICON icon, int x, int y) {
  return (icon->mask[static_cast<std::size_t>(y) * icon->maskStride + x / 8] >> (7 - x % 8)) & 1;
}

TEST(MakeIcon, WideSurfaceIsScaledToFitWithItsAspectKept) {
  auto surface = testsupport::MakeSurface(24, 64, 32);
  surface->FillColor(0x3366CC);
  HICON icon = surface->MakeIcon(32, 32, kKey, nullptr);
  ASSERT_NE(icon, nullptr);
  BOOL isIcon = 0;
  POINT hot{};
  SIZE size{};
  ASSERT_EQ(GetIconHandleInfo(icon, &isIcon, &hot, &size), 1);
  EXPECT_EQ(isIcon, 1);
  EXPECT_EQ(size.cx, 32);
  EXPECT_EQ(size.cy, 32);
  // 32 x 16 at y = 8: rows 8-23 show the surface, the rest is key colour and transparent.
  for (int y = 0; y < 32; ++y) {
    const bool inside = y >= 8 && y < 24;
    for (int x = 0; x < 32; ++x) {
      ASSERT_EQ(MaskBit(icon, x, y), !inside) << x << "," << y;
      ASSERT_EQ(icon->color[static_cast<std::size_t>(y) * 32 + x], inside ? 0xCC6633u : 0u);
    }
  }
  // Windows get alpha 0 where the mask is set.
  SDL_Surface* argb = plat::IconToSurface(icon);
  ASSERT_NE(argb, nullptr);
  const auto* pixels = static_cast<const std::uint32_t*>(argb->pixels);
  EXPECT_EQ(pixels[0], 0u);
  EXPECT_EQ(pixels[10 * argb->pitch / 4 + 5], 0xFFCC6633u);
  SDL_FreeSurface(argb);
  EXPECT_EQ(DestroyIconHandle(icon), 1);
  EXPECT_EQ(DestroyIconHandle(nullptr), 0);
}

TEST(MakeIcon, SmallSurfaceIsCentredAndKeyPixelsAreTransparent) {
  auto surface = testsupport::MakeSurface(32, 4, 2);
  surface->FillColor(0x102030);
  surface->SetPixelColor(1, 0, kKey);
  // Width 17: mask rows of 4 bytes (padded to 2), the default height 32.
  HICON icon = surface->MakeIcon(17, 0, kKey, nullptr);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->maskStride, 4);
  EXPECT_EQ(icon->height, 32);
  const int left = (17 - 4) / 2, top = (32 - 2) / 2;
  EXPECT_FALSE(MaskBit(icon, left, top));
  EXPECT_TRUE(MaskBit(icon, left + 1, top));
  EXPECT_EQ(icon->color[static_cast<std::size_t>(top) * 17 + left + 1], 0u);
  EXPECT_EQ(icon->color[static_cast<std::size_t>(top + 1) * 17 + left + 3], 0x302010u);
  EXPECT_TRUE(MaskBit(icon, 16, 31));  // the 17th pixel sits in bit 7 of the third byte
  EXPECT_EQ(icon->mask[static_cast<std::size_t>(31) * 4 + 2], 0x80);
  EXPECT_EQ(icon->mask[static_cast<std::size_t>(31) * 4 + 3], 0);  // padding stays clear
  DestroyIconHandle(icon);
}

TEST(MakeIcon, CursorKeepsItsHotSpot) {
  auto surface = testsupport::MakeSurface(16, 8, 8);
  surface->FillColor(0xFFFFFF);
  const int hotspot[2] = {3, 5};
  HICON cursor = surface->MakeIcon(16, 16, kKey, hotspot);
  ASSERT_NE(cursor, nullptr);
  BOOL isIcon = 1;
  POINT hot{};
  ASSERT_EQ(GetIconHandleInfo(cursor, &isIcon, &hot, nullptr), 1);
  EXPECT_EQ(isIcon, 0);
  EXPECT_EQ(hot.x, 3);
  EXPECT_EQ(hot.y, 5);
  DestroyIconHandle(cursor);
  // An empty object makes nothing.
  cSurfaceObject empty;
  EXPECT_EQ(empty.MakeIcon(16, 16, kKey, nullptr), nullptr);
  EXPECT_EQ(GetIconHandleInfo(nullptr, &isIcon, &hot, nullptr), 0);
}

TEST(MakeIcon, TallSurfaceFitsTheHeight) {
  auto surface = testsupport::MakeSurface(24, 10, 40);
  surface->FillColor(0x00FF00);
  HICON icon = surface->MakeIcon(20, 20, kKey, nullptr);
  ASSERT_NE(icon, nullptr);
  // 5 x 20 at x = 7.
  for (int x = 0; x < 20; ++x) EXPECT_EQ(MaskBit(icon, x, 10), !(x >= 7 && x < 12)) << x;
  DestroyIconHandle(icon);
}

}  // namespace
