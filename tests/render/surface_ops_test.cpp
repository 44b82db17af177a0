// The surface operations built on the kernels: fills, flips, MoveRect, ReplaceColor and the
// opacity queries, on a memory surface.
#include <gtest/gtest.h>

#include <random>

#include "pixels/kernels/run_length_form.h"
#include "pixels/pixel_routine_tables.h"
#include "render/kernel_test_support.h"

namespace vexa {
namespace {

using test::TestPalette;
using test::TestSurface;

void Number(TestSurface& s) {
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) s.Put(x, y, static_cast<std::uint32_t>(y * 16 + x + 1));
}

TEST(SurfaceFills, FillRectColorClipsAndConverts) {
  TestSurface s(6, 4, 16);
  s.SetClipRect(1, 1, 3, 2);
  EXPECT_EQ(s.FillRectColor(-5, -5, 100, 100, 0x0000FF), 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool inside = x >= 1 && x < 4 && y >= 1 && y < 3;
      EXPECT_EQ(s.Pixel(x, y), inside ? 0xF800u : 0u) << x << "," << y;
    }
  EXPECT_EQ(s.FillRectColor(4, 0, 2, 2, 0xFFFFFF), 0);  // nothing left inside the clip
  s.lockResult = 0;
  EXPECT_EQ(s.FillRectColor(1, 1, 1, 1, 0xFFFFFF), 0);
  EXPECT_EQ(s.Pixel(1, 1), 0xF800u);
}

TEST(SurfaceFills, EightBitFillsUseTheNearestIndexOrTheIndexGiven) {
  TestPalette palette;
  palette.get()->entries[33] = PALETTEENTRY{1, 2, 3, 0};
  TestSurface s(2, 1, 8, palette.get());
  EXPECT_EQ(s.FillRectColor(0, 0, 1, 1, 0x030201), 1);
  EXPECT_EQ(s.Pixel(0, 0), 33u);
  EXPECT_EQ(s.FillRectColor(1, 0, 1, 1, 0x01000090), 1);
  EXPECT_EQ(s.Pixel(1, 0), 0x90u);
}

TEST(SurfaceFills, FillRectValueStoresTheValueAsItIs) {
  TestSurface s(3, 1, 32);
  EXPECT_EQ(s.FillRectValue(0, 0, 2, 1, 0xAB123456), 1);
  EXPECT_EQ(s.Pixel(0, 0), 0xAB123456u);  // no conversion, fourth byte kept
  EXPECT_EQ(s.Pixel(2, 0), 0u);
  TestSurface s15(1, 1, 15);
  EXPECT_EQ(s15.FillRectValue(0, 0, 1, 1, 0x1234), 1);
  EXPECT_EQ(s15.Pixel(0, 0), 0x1234u);
}

TEST(SurfaceFills, FillRectBlendModulatesEachChannel) {
  TestSurface s(1, 1, 32);
  // Colour (red 200, green 100, blue 50) times modulation (r 128, g 255, b 0) / 255.
  EXPECT_EQ(s.FillRectBlend(0, 0, 1, 1, 0x3264C8, 0, 0x7780FF00), 1);
  EXPECT_EQ(s.Pixel(0, 0), SwapRedBlue(0x006464));  // 200 x 128 / 255 = 100
  EXPECT_EQ(s.FillRectBlend(0, 0, 1, 1, 0x3264C8, 5, 0xFFFFFFFF), 1);
  EXPECT_EQ(s.Pixel(0, 0), SwapRedBlue(0x3264C8));
  EXPECT_EQ(s.FillRectBlendAlias(0, 0, 1, 1, 0x0000FF, 0, 0x00800000), 1);
  EXPECT_EQ(s.Pixel(0, 0), SwapRedBlue(0x000080));
}

TEST(SurfaceFlips, HorizontalAndVerticalMirrorTheClippedRectangleAndTheAlphaPlane) {
  TestSurface s(5, 4, 24);
  Number(s);
  ASSERT_NE(s.CreateAlpha(), nullptr);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) s.AlphaRow(y)[x] = static_cast<std::uint8_t>(10 * y + x);
  s.SetClipRect(0, 0, 4, 4);
  EXPECT_EQ(s.FlipHorizontal(-1, 1, 10, 2), 1);  // clipped to x 0..3, rows 1..2
  EXPECT_EQ(s.Pixel(0, 1), 16u + 4);
  EXPECT_EQ(s.Pixel(3, 1), 16u + 1);
  EXPECT_EQ(s.Pixel(4, 1), 16u + 5);  // outside the clip
  EXPECT_EQ(s.Pixel(0, 0), 1u);
  EXPECT_EQ(s.AlphaRow(2)[0], 23);
  EXPECT_EQ(s.AlphaRow(2)[4], 24);
  EXPECT_EQ(s.FlipVertical(1, 0, 2, 4), 1);
  EXPECT_EQ(s.Pixel(1, 0), 48u + 2);
  EXPECT_EQ(s.Pixel(1, 3), 0u + 2);
  EXPECT_EQ(s.Pixel(0, 0), 1u);
  EXPECT_EQ(s.AlphaRow(0)[1], 31);
  // A single column or row is its own mirror image; outside or empty gives 0.
  EXPECT_EQ(s.FlipHorizontal(2, 0, 1, 4), 1);
  EXPECT_EQ(s.FlipVertical(0, 2, 4, 1), 1);
  EXPECT_EQ(s.FlipHorizontal(5, 0, 3, 3), 0);
  EXPECT_EQ(s.FlipVertical(0, -9, 3, 3), 0);
  EXPECT_EQ(s.FlipVertical(0, 0, 0, 3), 0);
  s.lockResult = 0;
  EXPECT_EQ(s.FlipVertical(0, 0, 2, 2), 0);
}

// MoveRect against a copy-based reference, for overlaps in every direction.
TEST(SurfaceMoves, MoveRectBehavesLikeAMemoryMove) {
  const int offsets[][2] = {{1, 0},   {-1, 0}, {0, 1},  {0, -1}, {2, 3},
                            {-3, -2}, {3, -1}, {-2, 2}, {0, 0}};
  for (const auto& o : offsets) {
    TestSurface s(10, 10, 16);
    Number(s);
    ASSERT_NE(s.CreateAlpha(), nullptr);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x) s.AlphaRow(y)[x] = static_cast<std::uint8_t>(y * 10 + x);
    TestSurface before(10, 10, 16);
    Number(before);
    const int sx = 3, sy = 3, dx = sx + o[0], dy = sy + o[1];
    ASSERT_EQ(s.MoveRect(dx, dy, sx, sy, 4, 3), 1);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x) {
        const bool moved = x >= dx && x < dx + 4 && y >= dy && y < dy + 3;
        const int fx = moved ? x - dx + sx : x, fy = moved ? y - dy + sy : y;
        EXPECT_EQ(s.Pixel(x, y), before.Pixel(fx, fy))
            << o[0] << "," << o[1] << " at " << x << "," << y;
        EXPECT_EQ(s.AlphaRow(y)[x], fy * 10 + fx);
      }
  }
}

TEST(SurfaceMoves, MoveRectRefusesRectanglesOutsideTheSurfaceAndFailedLocks) {
  TestSurface s(9, 8, 32);
  Number(s);
  s.SetClipRect(2, 2, 2, 2);  // the clip rectangle plays no part
  EXPECT_EQ(s.MoveRect(0, 0, 5, 5, 4, 3), 1);
  EXPECT_EQ(s.Pixel(0, 0), 5u * 16 + 5 + 1);
  EXPECT_EQ(s.MoveRect(6, 0, 0, 0, 4, 3), 0);
  EXPECT_EQ(s.MoveRect(0, 0, -1, 0, 4, 3), 0);
  EXPECT_EQ(s.MoveRect(0, 0, 0, 6, 4, 3), 0);
  EXPECT_EQ(s.MoveRect(0, 0, 1, 1, 0, 3), 0);
  s.lockResult = 0;
  EXPECT_EQ(s.MoveRect(1, 0, 0, 0, 2, 2), 0);
}

TEST(SurfaceReplace, ReplaceColorCoversTheWholeSurface) {
  TestSurface s(4, 2, 32);
  s.FillRectColor(2, 1, 2, 1, 0x0000FF);
  s.SetClipRect(0, 0, 1, 1);  // the clip rectangle plays no part
  EXPECT_EQ(s.ReplaceColor(0x0000FF, 0x00FF00), 1);
  EXPECT_EQ(s.Pixel(3, 1), 0x00FF00u);
  EXPECT_EQ(s.Pixel(0, 0), 0u);
  TestPalette palette;
  palette.get()->entries[5] = PALETTEENTRY{9, 9, 9, 0};
  palette.get()->entries[6] = PALETTEENTRY{90, 90, 90, 0};
  TestSurface s8(2, 1, 8, palette.get());
  s8.Put(0, 0, 5);
  EXPECT_EQ(s8.ReplaceColor(0x090909, 0x5A5A5A), 1);
  EXPECT_EQ(s8.Pixel(0, 0), 6u);
  s8.lockResult = 0;
  EXPECT_EQ(s8.ReplaceColor(0x5A5A5A, 0x090909), 0);
}

TEST(SurfaceQueries, OpaqueBoundsFromPixelsOrAlphaPlane) {
  TestSurface s(6, 5, 16);
  s.transparentValue = 0x1234;
  s.FillRectValue(0, 0, 6, 5, 0x1234);
  RECT r{};
  EXPECT_EQ(s.GetOpaqueBounds(&r), 1);
  EXPECT_EQ((std::array<LONG, 4>{r.left, r.top, r.right, r.bottom}),
            (std::array<LONG, 4>{5, 4, 1, 1}));
  EXPECT_EQ(s.IsAllTransparent(), 1);
  EXPECT_EQ(s.IsAllOpaque(), 0);
  s.Put(1, 3, 7);
  s.Put(4, 1, 7);
  EXPECT_EQ(s.GetOpaqueBounds(&r), 1);
  EXPECT_EQ((std::array<LONG, 4>{r.left, r.top, r.right, r.bottom}),
            (std::array<LONG, 4>{1, 1, 5, 4}));
  EXPECT_EQ(s.IsAllTransparent(), 0);
  // With an alpha plane only alpha 0 is transparent, whatever the pixels hold.
  ASSERT_NE(s.CreateAlpha(), nullptr);
  EXPECT_EQ(s.IsAllTransparent(), 1);
  s.AlphaRow(4)[5] = 1;
  EXPECT_EQ(s.GetOpaqueBounds(&r), 1);
  EXPECT_EQ((std::array<LONG, 4>{r.left, r.top, r.right, r.bottom}),
            (std::array<LONG, 4>{5, 4, 6, 5}));
  for (int y = 0; y < 5; ++y) std::memset(s.AlphaRow(y), 255, 6);
  EXPECT_EQ(s.IsAllOpaque(), 1);
  TestSurface tiny(2, 2, 32);
  EXPECT_EQ(tiny.GetOpaqueBounds(&r), 0);
  TestSurface locked(4, 4, 32);
  locked.lockResult = 0;
  EXPECT_EQ(locked.IsAllOpaque(), 0);
}

TEST(SurfaceQueries, RunLengthSurfacesAreReadThroughAPlainCopy) {
  TestSurface plain(7, 3, 32);
  plain.transparentValue = 0x00FF00FF;
  plain.FillRectValue(0, 0, 7, 3, 0x00FF00FF);
  plain.Put(2, 1, 5);
  plain.Put(3, 1, 6);
  const std::uint32_t size =
      MeasureRunLengthForm(4, nullptr, plain.firstRow, 7, 3, plain.pitch, 0x00FF00FF);
  std::vector<std::uint8_t> block(size);
  EncodeRunLengthForm(4, block.data(), plain.firstRow, 7, 3, plain.pitch, 0x00FF00FF);
  TestSurface packed(7, 3, 32);
  packed.transparentValue = 0x00FF00FF;
  packed.storage = packed.firstRow = block.data();
  packed.pixelRoutines = RunLengthPixelRoutines(kFormat32);
  RECT r{};
  EXPECT_EQ(packed.GetOpaqueBounds(&r), 1);
  EXPECT_EQ((std::array<LONG, 4>{r.left, r.top, r.right, r.bottom}),
            (std::array<LONG, 4>{2, 1, 4, 2}));
  EXPECT_EQ(packed.created, 1);
  EXPECT_EQ(packed.IsAllTransparent(), 0);
  // Writing operations cannot change pixels held in the run-length form.
  EXPECT_EQ(packed.FillRectColor(0, 0, 1, 1, 0), 0);
  EXPECT_EQ(packed.FlipVertical(0, 0, 7, 3), 0);
  EXPECT_EQ(packed.MoveRect(0, 0, 1, 0, 2, 2), 0);
  EXPECT_EQ(packed.ReplaceColor(0, 1), 0);
  packed.storage = packed.firstRow = nullptr;  // the block belongs to the test
}

}  // namespace
}  // namespace vexa
