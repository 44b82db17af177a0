// The ink effects through the table routines: fixed numeric cases, each effect's
// formula on chosen pixels, the two forms of effect 1, and the 8-bit palette path.
#include <gtest/gtest.h>

#include "palette/palette_ops.h"
#include "pixels/kernels/inks.h"
#include "pixels/kernels/kernel_routines.h"
#include "render/kernel_test_support.h"

namespace vexa {
namespace {

using test::TestImage;
using test::TestPalette;

// One pixel of `source` onto one pixel of `destination` at 32 bits, through routine 6 (or 3/4
// with `transparent`), in the plain or MMX form; returns the destination pixel.
std::uint32_t Blend32(std::uint32_t source, std::uint32_t destination, int effect,
                      std::uintptr_t parameter, bool mmx = false, int alpha = -1) {
  TestImage s(1, 1, 32, alpha >= 0), d(1, 1, 32);
  s.SetPixel(0, 0, source);
  d.SetPixel(0, 0, destination);
  d->flags = mmx ? kSurfaceFlagMmx : 0;
  if (alpha >= 0) {
    s.alphaBytes()[0] = static_cast<std::uint8_t>(alpha);
    CopyTransparentEffectWith(ActiveKernels(), d.get(), 0, 0, s.get(), 0, 0, 1, 1, effect,
                              parameter);
  } else {
    CopyOpaqueEffectWith(ActiveKernels(), d.get(), 0, 0, s.get(), 0, 0, 1, 1, effect, parameter);
  }
  return d.Pixel(0, 0);
}

TEST(KernelEffects, AlphaOneAt32BitsIsSourcePlus255TimesDestinationOver256) {
  // (S + D x 255) >> 8 per channel, fourth byte 0; alpha 0 skips and 255 copies whole.
  const std::uint32_t s = 0x7F10FF80, d = 0xAA204060;
  const auto channel = [](std::uint32_t a, std::uint32_t b, int shift) {
    return ((((a >> shift) & 0xFF) + ((b >> shift) & 0xFF) * 255) >> 8) << shift;
  };
  EXPECT_EQ(Blend32(s, d, 0, 0, false, 1), channel(s, d, 0) | channel(s, d, 8) | channel(s, d, 16));
  EXPECT_EQ(Blend32(s, d, 0, 0, false, 0), d);
  EXPECT_EQ(Blend32(s, d, 0, 0, false, 255), s);
  // With an effect the alpha weighs the effect's result: XOR at alpha 255 stores it whole.
  EXPECT_EQ(Blend32(s, d, 3, 0, false, 255), s ^ d);
}

TEST(KernelEffects, SemiTransparencyPlainClearsTheFourthByteMmxBlendsIt) {
  // c = 64: channels (S x 64 + D x 64) >> 7.
  EXPECT_EQ(Blend32(0xFF000000 | 0x00FF0000, 0x00000000 | 0x000000FF, 1, 64, false), 0x007F007Fu);
  EXPECT_EQ(Blend32(0xFF000000 | 0x00FF0000, 0x00000000 | 0x000000FF, 1, 64, true), 0x7F7F007Fu);
  // S + floor((D - S) x c / 128): 200 towards 0 by 1/128 floors to 198, not 199.
  EXPECT_EQ(Blend32(200, 0, 1, 1, true) & 0xFF, 198u);
  EXPECT_EQ(Blend32(200, 0, 1, 1, false) & 0xFF, 198u);
  // A share of 128 keeps the destination's colour, 0 the source's.
  EXPECT_EQ(Blend32(0x123456, 0x654321, 1, 128), 0x654321u);
  EXPECT_EQ(Blend32(0x123456, 0x654321, 1, 0), 0x123456u);
}

TEST(KernelEffects, MmxBlendIsTheByteFormulaOnEveryByte) {
  // The scalar MMX form works on pairs of bytes; it must equal s + ((d - s) x c >> 7) with an
  // arithmetic shift and saturation on each byte, for every byte pair and share.
  for (std::uint32_t c = 0; c <= 128; c += (c < 4 || c > 124) ? 1 : 31) {
    EffectContext context;
    context.destinationShare = c;
    context.sourceShare = 128 - c;
    for (int s = 0; s < 256; ++s)
      for (int d = 0; d < 256; ++d) {
        int expected = s + (((d - s) * static_cast<int>(c)) >> 7);
        expected = expected < 0 ? 0 : (expected > 255 ? 255 : expected);
        const std::uint32_t sp = static_cast<std::uint32_t>(s) * 0x01010101u;
        const std::uint32_t dp = static_cast<std::uint32_t>(d) * 0x01010101u;
        ASSERT_EQ(BlendAllBytes(context, sp, dp),
                  static_cast<std::uint32_t>(expected) * 0x01010101u)
            << "s " << s << " d " << d << " c " << c;
      }
  }
}

TEST(KernelEffects, ChannelEffectsAt32Bits) {
  EXPECT_EQ(Blend32(0x11F0800F, 0x22204001, 9, 0), 0x00FFC010u);   // add, saturating
  EXPECT_EQ(Blend32(0x11F0800F, 0x22204001, 11, 0), 0x00000000u);  // subtract, floor at 0
  EXPECT_EQ(Blend32(0x00102030, 0xFF405060, 11, 0), 0x00303030u);
  // Mono: (5 R + 9 G + 2 B) >> 4 with red in the third byte of a 32-bit pixel.
  EXPECT_EQ(Blend32(0x00FF0000, 0, 10, 0), 0x4F4F4Fu);  // 5 x 255 >> 4 = 79
  EXPECT_EQ(Blend32(0x000000FF, 0, 10, 0), 0x1F1F1Fu);  // 2 x 255 >> 4 = 31
  // Bitwise effects act on the whole pixel, fourth byte included.
  EXPECT_EQ(Blend32(0x0F0F0F0F, 0xFF00FF00, 2, 0), 0xF0F0F0F0u);
  EXPECT_EQ(Blend32(0x0F0F0F0F, 0xFF00FF00, 3, 0), 0xF00FF00Fu);
  EXPECT_EQ(Blend32(0x0F0F0F0F, 0xFF00FF00, 4, 0), 0x0F000F00u);
  EXPECT_EQ(Blend32(0x0F0F0F0F, 0xFF00FF00, 5, 0), 0xFF0FFF0Fu);
  EXPECT_EQ(Blend32(0x0F0F0F0F, 0xFF00FF00, 8, 0), 0xF000F000u);
}

TEST(KernelEffects, SubstituteAndExceptKeyLookAtTheDestination) {
  TestImage s(2, 1, 32), d(2, 1, 32);
  s->transparentValue = 0x000000;
  s.SetPixel(0, 0, 0x00FF0000);
  s.SetPixel(1, 0, 0x00FF0000);
  d.SetPixel(0, 0, 0x00000000);  // equal to the source's key: K replaces it before blending
  d.SetPixel(1, 0, 0x000000FE);
  d->flags = 0;
  // Effect 6, c = 64, K = 0x0000FF read as 0x00RRGGBB at 32 bits.
  CopyOpaqueEffectWith(ActiveKernels(), d.get(), 0, 0, s.get(), 0, 0, 2, 1, 6,
                       64u << 24 | 0x0000FF);
  EXPECT_EQ(d.Pixel(0, 0), 0x007F007Fu);
  EXPECT_EQ(d.Pixel(1, 0), 0x007F007Fu);
  // Effect 12: the key colour 0x00BBGGRR 0x0000FF (red) is the pixel 0x00FF0000 here.
  d.SetPixel(0, 0, 0x00FF0000);
  d.SetPixel(1, 0, 0x00000000);
  s.SetPixel(0, 0, 0x000000FE);
  s.SetPixel(1, 0, 0x000000FE);
  CopyOpaqueEffectWith(ActiveKernels(), d.get(), 0, 0, s.get(), 0, 0, 2, 1, 12,
                       64u << 24 | 0x0000FF);
  EXPECT_EQ(d.Pixel(0, 0), 0x00FF0000u);
  EXPECT_EQ(d.Pixel(1, 0), 0x0000007Fu);
}

TEST(KernelEffects, FifteenAndSixteenBitsBlendTheWidenedChannels) {
  TestImage s(1, 1, 16), d(1, 1, 16);
  s.SetPixel(0, 0, 0xF800);  // red 31 -> 248
  d.SetPixel(0, 0, 0x001F);  // blue 31 -> 248
  CopyOpaqueEffectWith(ActiveKernels(), d.get(), 0, 0, s.get(), 0, 0, 1, 1, 1, 64);
  EXPECT_EQ(d.Pixel(0, 0), ColorTo565(0x7C007C));  // 124 per channel, narrowed
  // Mono at 16 bits reads red from the top field.
  d.SetPixel(0, 0, 0);
  CopyOpaqueEffectWith(ActiveKernels(), d.get(), 0, 0, s.get(), 0, 0, 1, 1, 10, 0);
  EXPECT_EQ(d.Pixel(0, 0), ColorTo565(0x4D4D4D));  // 5 x 248 >> 4 = 77
  // At 5-5-5 inverting never sets bit 15.
  TestImage s15(1, 1, 15), d15(1, 1, 15);
  s15.SetPixel(0, 0, 0x0000);
  CopyOpaqueEffectWith(ActiveKernels(), d15.get(), 0, 0, s15.get(), 0, 0, 1, 1, 2, 0);
  EXPECT_EQ(d15.Pixel(0, 0), 0x7FFFu);
}

TEST(KernelEffects, EightBitInvertAndBitwiseActOnIndices) {
  TestPalette palette;
  TestImage s(3, 1, 8), d(3, 1, 8);
  s->palette = d->palette = palette.get();
  s.SetPixel(0, 0, 5);
  s.SetPixel(1, 0, 0x0F);
  s.SetPixel(2, 0, 0xF0);
  d.SetPixel(1, 0, 0x3C);
  d.SetPixel(2, 0, 0x3C);
  CopyOpaqueEffectWith(ActiveKernels(), d.get(), 0, 0, s.get(), 0, 0, 1, 1, 2, 0);
  EXPECT_EQ(d.Pixel(0, 0), 250u);
  CopyOpaqueEffectWith(ActiveKernels(), d.get(), 1, 0, s.get(), 1, 0, 2, 1, 3, 0);
  EXPECT_EQ(d.Pixel(1, 0), 0x33u);
  EXPECT_EQ(d.Pixel(2, 0), 0xCCu);
}

TEST(KernelEffects, EightBitBlendGoesThroughThePaletteAndFillsTheInverseTable) {
  TestPalette palette;
  PaletteObject* p = palette.get();
  p->entries[1] = PALETTEENTRY{200, 0, 0, 0};
  p->entries[2] = PALETTEENTRY{0, 0, 200, 0};
  p->entries[3] = PALETTEENTRY{100, 0, 100, 0};  // the half-way colour
  for (int i = 4; i < 256; ++i) p->entries[i] = PALETTEENTRY{0, 255, 0, 0};
  TestImage s(1, 1, 8), d(1, 1, 8);
  s->palette = d->palette = p;
  s.SetPixel(0, 0, 1);
  d.SetPixel(0, 0, 2);
  for (bool mmx : {false, true}) {
    d->flags = mmx ? kSurfaceFlagMmx : 0;
    d.SetPixel(0, 0, 2);
    CopyOpaqueEffectWith(ActiveKernels(), d.get(), 0, 0, s.get(), 0, 0, 1, 1, 1, 64);
    EXPECT_EQ(d.Pixel(0, 0), 3u) << "mmx " << mmx;
  }
  EXPECT_EQ(palette.inverse[ColorKey(0x640064)], 3);
}

TEST(KernelEffects, TransparentCopyVisitsExactlyTheRectangle) {
  // A 5-pixel row through the transparent copy: the key pixel and the pixels around the
  // rectangle keep their values.
  TestImage s(7, 1, 32), d(7, 1, 32);
  s->transparentValue = 0x00123456;
  for (int x = 0; x < 7; ++x) {
    s.SetPixel(x, 0, 0x100 + x);
    d.SetPixel(x, 0, 0xD0);
  }
  s.SetPixel(3, 0, 0x00123456);
  CopyTransparentWith(ActiveKernels(), d.get(), 1, 0, s.get(), 1, 0, 5, 1);
  const std::uint32_t expected[7] = {0xD0, 0x101, 0x102, 0xD0, 0x104, 0x105, 0xD0};
  for (int x = 0; x < 7; ++x) EXPECT_EQ(d.Pixel(x, 0), expected[x]) << "x " << x;
}

TEST(KernelEffects, EffectSevenAndCodesAboveTwelveDrawNothing) {
  for (std::uint32_t code : {7u, 13u, 0xFFFu}) {
    EXPECT_EQ(Blend32(0x112233, 0x445566, static_cast<int>(code), 0), 0x445566u) << code;
  }
  // Only the low 12 bits are the code: 0x1000 | 9 is the add effect.
  EXPECT_EQ(Blend32(0x010101, 0x020202, 0x1009, 0), 0x030303u);
}

TEST(KernelEffects, MmxSetsDifferFromPlainOnlyInEffectOne) {
  for (int format = 0; format < kFormatCount; ++format) {
    const EffectRoutineSet* plain = EffectRoutines(format, false);
    const EffectRoutineSet* mmx = EffectRoutines(format, true);
    for (int code = 0; code < kEffectCodeCount; ++code) {
      EXPECT_EQ(plain[code].setup == nullptr, code == 7);
      EXPECT_EQ(plain[code].opaque == mmx[code].opaque, code != 1) << format << " " << code;
    }
  }
}

}  // namespace
}  // namespace vexa
