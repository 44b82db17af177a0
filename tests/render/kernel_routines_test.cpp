// The pixel routine tables and their non-effect routines: which entries the tables share,
// fills, format conversion, callback copies, mirroring and colour replacement.
#include <gtest/gtest.h>

#include "pixels/kernels/kernel_routines.h"
#include "pixels/kernels/run_length_form.h"
#include "render/kernel_test_support.h"

namespace vexa {
namespace {

using test::TestImage;
using test::TestPalette;

using Entry = void (*)();
std::array<Entry, 14> Entries(const PixelRoutineTable& t) {
  std::array<Entry, 14> e;
  std::memcpy(e.data(), &t, sizeof t);
  return e;
}

TEST(PixelRoutineTables, FifteenAndSixteenBitTablesShareWhatTheFormatsAllow) {
  const auto t15 = Entries(PixelRoutineTables()[kFormat15]);
  const auto t16 = Entries(PixelRoutineTables()[kFormat16]);
  for (int i = 0; i < 14; ++i) {
    EXPECT_NE(t15[i], nullptr) << i;
    const bool shared = (i >= 3 && i <= 6) || i >= 9;
    EXPECT_EQ(t15[i] == t16[i], shared) << "entry " << i;
  }
  // The opaque copy is one routine for every format; every table is complete.
  for (const PixelRoutineTable& t : PixelRoutineTables()) {
    EXPECT_EQ(t.copyOpaque, PixelRoutineTables()[0].copyOpaque);
    for (Entry e : Entries(t)) EXPECT_NE(e, nullptr);
  }
}

TEST(PixelRoutineTables, RunLengthTablesCarryOnlyTheBlits) {
  for (int f = 0; f < kFormatCount; ++f) {
    const PixelRoutineTable* t = RunLengthPixelRoutines(f);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(IsRunLengthTable(t));
    EXPECT_FALSE(IsRunLengthTable(StandardPixelRoutines(f)));
    const auto e = Entries(*t);
    for (int i = 0; i < 14; ++i) EXPECT_EQ(e[i] != nullptr, i >= 3 && i <= 6) << "entry " << i;
  }
  EXPECT_EQ(RunLengthPixelRoutines(5), nullptr);
}

TEST(PixelRoutines, FillConvertsTheColorPerFormat) {
  const struct {
    int depth;
    std::uint32_t expected;
  } cases[] = {{8, 0x56},
               {15, ColorTo555(0x123456)},
               {16, ColorTo565(0x123456)},
               {24, 0x563412},
               {32, 0x00563412}};
  for (const auto& c : cases) {
    TestImage image(4, 3, c.depth);
    for (auto& b : image.bytes()) b = 0xEE;
    StandardPixelRoutines(FormatOfDepth(c.depth))
        ->fillRect(image.get(), 1, 1, image->pitch, 2, 1, 0x123456);
    EXPECT_EQ(image.Pixel(1, 1), c.expected) << c.depth;
    EXPECT_EQ(image.Pixel(2, 1), c.expected) << c.depth;
    EXPECT_NE(image.Pixel(0, 1), c.expected) << c.depth;
    EXPECT_NE(image.Pixel(3, 1), c.expected) << c.depth;
    EXPECT_NE(image.Pixel(1, 0), c.expected) << c.depth;
  }
}

// Every width from 0 to past four 16-byte steps, at odd starting columns: exactly the
// rectangle's pixels take the value, the bytes around it stay.
TEST(PixelRoutines, FillWritesExactlyItsRectangleAtEveryWidth) {
  for (int depth : {8, 16, 24, 32}) {
    for (int width = 0; width <= 70; ++width) {
      TestImage image(80, 3, depth);
      for (auto& b : image.bytes()) b = 0xEE;
      const int left = 1 + width % 3;
      StandardPixelRoutines(FormatOfDepth(depth))
          ->fillRect(image.get(), left, 1, image->pitch, width, 1, 0x123456);
      const std::uint32_t filled = depth == 8    ? 0x56
                                   : depth == 16 ? ColorTo565(0x123456)
                                                 : 0x563412;
      TestImage untouched(80, 3, depth);
      for (auto& b : untouched.bytes()) b = 0xEE;
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 80; ++x) {
          const bool inside = y == 1 && x >= left && x < left + width;
          ASSERT_EQ(image.Pixel(x, y), inside ? filled : untouched.Pixel(x, y))
              << depth << " width " << width << " at " << x << "," << y;
        }
    }
  }
}

// One pixel converted from `fromDepth` to `toDepth` through the source table's entry 11.
std::uint32_t Convert(int fromDepth, std::uint32_t pixel, int toDepth,
                      PaletteObject* palette = nullptr) {
  TestImage s(1, 1, fromDepth), d(1, 1, toDepth);
  s->palette = d->palette = palette;
  s.SetPixel(0, 0, pixel);
  StandardPixelRoutines(FormatOfDepth(fromDepth))
      ->convertRect(d.get(), 0, 0, d->bytesPerPixel, s.get(), 0, 0, 1, 1);
  return d.Pixel(0, 0);
}

TEST(PixelRoutines, ConversionKeepsBlackAloneAtPixelValueZero) {
  EXPECT_EQ(Convert(32, 0x00000007, 15), 1u);  // a very dark blue would otherwise turn black
  EXPECT_EQ(Convert(32, 0x00030303, 16), 1u);
  EXPECT_EQ(Convert(32, 0x00000707, 16), 0x20u);  // green keeps 6 bits at 5-6-5
  EXPECT_EQ(Convert(32, 0xFF000000, 15), 0u);     // the fourth byte is not colour
  EXPECT_EQ(Convert(24, 0x000000, 16), 0u);
  EXPECT_EQ(Convert(32, 0x00FF8040, 16), ColorTo565(0x4080FF));
  EXPECT_EQ(Convert(15, 0x7C00, 16), 0xF800u);      // red 31 stays red 31
  EXPECT_EQ(Convert(16, 0x07E0, 15), 0x03E0u);      // green 63 narrows to 31
  EXPECT_EQ(Convert(16, 0xF800, 32), 0x00F80000u);  // fourth byte 0
  EXPECT_EQ(Convert(15, 0x001F, 24), 0x0000F8u);
}

TEST(PixelRoutines, ConversionThroughPalettes) {
  TestPalette palette;
  palette.get()->entries[9] = PALETTEENTRY{10, 200, 30, 0};
  EXPECT_EQ(Convert(8, 9, 32, palette.get()), 0x000AC81Eu);
  EXPECT_EQ(Convert(32, 0x0AC81E, 8, palette.get()), 9u);  // exact colour: its index
  EXPECT_EQ(Convert(32, 0, 8, palette.get()), 0u);         // black is index 0
  EXPECT_NE(Convert(32, 0x000001, 8, palette.get()), 0u);  // and only black
}

TEST(PixelRoutines, CallbackCopiesPassColorsAndSkipTheKey) {
  TestImage s(3, 1, 16), d(3, 1, 16);
  s->transparentValue = ColorTo565(0x0000FF);
  s.SetPixel(0, 0, ColorTo565(0x0000F8));  // red, the key
  s.SetPixel(1, 0, ColorTo565(0x00F800));  // green
  s.SetPixel(2, 0, ColorTo565(0xF80000));  // blue
  d.SetPixel(1, 0, ColorTo565(0x000008));
  struct Seen {
    std::vector<std::pair<COLORREF, COLORREF>> calls;
  } seen;
  const BlitCallbackFn callback = [](COLORREF dc, COLORREF sc, void* user) -> COLORREF {
    static_cast<Seen*>(user)->calls.push_back({dc, sc});
    return sc | dc;
  };
  const PixelRoutineTable* t = StandardPixelRoutines(kFormat16);
  t->copyTransparentCallback(d.get(), 0, 0, s.get(), 0, 0, 3, 1, callback, &seen);
  ASSERT_EQ(seen.calls.size(), 2u);
  EXPECT_EQ(seen.calls[0], (std::pair<COLORREF, COLORREF>{0x000008, 0x00F800}));
  EXPECT_EQ(d.Pixel(0, 0), 0u);
  EXPECT_EQ(d.Pixel(1, 0), ColorTo565(0x00F808));
  seen.calls.clear();
  t->copyOpaqueCallback(d.get(), 0, 0, s.get(), 0, 0, 3, 1, callback, &seen);
  EXPECT_EQ(seen.calls.size(), 3u);
  EXPECT_EQ(d.Pixel(0, 0), ColorTo565(0x0000F8));
}

TEST(PixelRoutines, CallbackAtEightBitsMapsTheResultThroughTheInverseTable) {
  TestPalette palette;
  palette.get()->entries[7] = PALETTEENTRY{1, 2, 3, 0};
  TestImage s(1, 1, 8), d(1, 1, 8);
  s->palette = d->palette = palette.get();
  s.SetPixel(0, 0, 7);
  const BlitCallbackFn echo = [](COLORREF, COLORREF sc, void*) -> COLORREF { return sc; };
  StandardPixelRoutines(kFormat8)->copyOpaqueCallback(d.get(), 0, 0, s.get(), 0, 0, 1, 1, echo,
                                                      nullptr);
  EXPECT_EQ(d.Pixel(0, 0), 7u);
  const BlitCallbackFn index = [](COLORREF, COLORREF, void*) -> COLORREF { return 0x01000042; };
  StandardPixelRoutines(kFormat8)->copyOpaqueCallback(d.get(), 0, 0, s.get(), 0, 0, 1, 1, index,
                                                      nullptr);
  EXPECT_EQ(d.Pixel(0, 0), 0x42u);
}

TEST(PixelRoutines, MirrorRowsReversesEachRowInPlace) {
  for (int depth : {8, 16, 24, 32}) {
    for (int width : {1, 2, 5, 6}) {
      TestImage image(8, 2, depth);
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x) image.SetPixel(x, y, 0x10 * y + x + 1);
      StandardPixelRoutines(FormatOfDepth(depth))
          ->mirrorRows(image.get(), 1, 0, image->pitch, width, 2);
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x) {
          const int from = (x >= 1 && x < 1 + width) ? 1 + (width - 1 - (x - 1)) : x;
          EXPECT_EQ(image.Pixel(x, y), 0x10u * y + from + 1) << depth << " " << width << " " << x;
        }
    }
  }
}

TEST(PixelRoutines, ReplaceColorComparesStoredValues) {
  TestImage image(3, 1, 15);
  image.SetPixel(0, 0, ColorTo555(0x0000FF));
  image.SetPixel(1, 0, ColorTo555(0x0000F8));  // the same 5-5-5 value
  image.SetPixel(2, 0, ColorTo555(0x00FF00));
  StandardPixelRoutines(kFormat15)->replaceColor(image.get(), 0, 0, 3, 1, 0x0000FF, 0xFF0000);
  EXPECT_EQ(image.Pixel(0, 0), ColorTo555(0xFF0000));
  EXPECT_EQ(image.Pixel(1, 0), ColorTo555(0xFF0000));
  EXPECT_EQ(image.Pixel(2, 0), ColorTo555(0x00FF00));
  // The shared entry reads the depth: at 5-6-5 the same colours give other values.
  TestImage image16(1, 1, 16);
  image16.SetPixel(0, 0, ColorTo565(0x0000FF));
  StandardPixelRoutines(kFormat15)->replaceColor(image16.get(), 0, 0, 1, 1, 0x0000FF, 0xFF0000);
  EXPECT_EQ(image16.Pixel(0, 0), ColorTo565(0xFF0000));
}

TEST(PixelRoutines, OpaqueCopyHandlesBottomUpRowsAndOddLengths) {
  // Rows of 3 to 600 bytes: every size of the inline moves with every tail, the 32-byte loop,
  // and rows beyond 512 bytes, which go to the library's move.
  constexpr int kWidest = 200;
  for (int width = 1; width <= kWidest; ++width) {
    TestImage s(kWidest, 3, 24, false, true), d(kWidest, 3, 24);
    std::mt19937 random(static_cast<unsigned>(width));
    s.Randomise(random);
    CopyOpaqueRoutine(d.get(), 0, 0, s.get(), 0, 0, width, 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < kWidest; ++x)
        ASSERT_EQ(d.Pixel(x, y), x < width ? s.Pixel(x, y) : 0u) << width << ": " << x << "," << y;
  }
}

}  // namespace
}  // namespace vexa
