// Every vector form of the row operations against the scalar reference: random pixels, every
// format, effect, pass and MMX form, alpha bytes 0/1/127/255 and random, widths 0..70.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "base/simd_level.h"
#include "pixels/kernels/effect_rows.h"
#include "pixels/kernels/kernel_routines.h"
#include "pixels/kernels/run_length_form.h"
#include "render/kernel_test_support.h"

namespace vexa {
namespace {

using test::TestImage;
using test::TestPalette;

enum class Pass { Opaque, Keyed, Alpha };

constexpr int kDepths[] = {8, 15, 16, 24, 32};
constexpr int kRows = 3;

// A parameter that exercises the effect: shares across 0..128 and the substitute and key
// colours in the low 24 bits.
std::uintptr_t ParameterFor(int code, std::mt19937& random) {
  static const std::uint32_t kShares[] = {0, 1, 64, 127, 128};
  const std::uint32_t share = random() % 3 == 0 ? kShares[random() % 5] : random() % 129;
  if (code == 1) return share;
  if (code == 6 || code == 12) return share << 24 | (random() & 0xFFFFFF);
  return random();
}

struct Case {
  int depth;
  bool mmx;
  int code;
  Pass pass;
  int width;
};

// Runs one case at `level` and at the scalar level on identical data.
void ExpectSameAsScalar(SimdLevel level, const Case& c, std::uint32_t seed, TestPalette& palette) {
  std::mt19937 random(seed);
  const int width = c.width;
  TestImage source(width + 1, kRows, c.depth, c.pass == Pass::Alpha);
  TestImage destination(width + 1, kRows, c.depth);
  source.Randomise(random);
  destination.Randomise(random);
  source->palette = destination->palette = palette.get();
  source->flags = destination->flags = c.mmx ? kSurfaceFlagMmx : 0;
  const std::uint32_t mask = c.depth == 32 ? 0xFFFFFFFF : (1u << (8 * BytesPerPixel(c.depth))) - 1;
  source->transparentValue = random() & mask;
  source.Sprinkle(random, source->transparentValue, 30);
  if (c.pass == Pass::Alpha) source.RandomiseAlpha(random, {0, 1, 127, 255, 0, 255, 200, 54});
  const std::uintptr_t parameter = ParameterFor(c.code, random);
  // Destination pixels the effect compares with: the source key (6) and the effect-12 key.
  destination.Sprinkle(random, source->transparentValue, 20);
  if (c.code == 12) {
    EffectContext context;
    KernelsAt(SimdLevel::Scalar)
        .sets[0][FormatOfDepth(c.depth)][12]
        .setup(context, destination.get(), source.get(), parameter);
    destination.Sprinkle(random, context.destinationKey, 20);
  }
  TestImage reference = destination;

  const auto run = [&](const KernelSet& k, TestImage& target) {
    if (c.pass == Pass::Opaque)
      CopyOpaqueEffectWith(k, target.get(), 1, 0, source.get(), 0, 0, width, kRows, c.code,
                           parameter);
    else
      CopyTransparentEffectWith(k, target.get(), 1, 0, source.get(), 0, 0, width, kRows, c.code,
                                parameter);
  };
  // Both runs start from an empty inverse table, which they fill as they go: the vector
  // rows must fill it with the same colours, in the same order.
  const bool eightBit = c.depth == 8;
  if (eightBit) std::fill(palette.inverse.begin(), palette.inverse.end(), 0);
  run(KernelsAt(SimdLevel::Scalar), reference);
  const std::vector<std::uint8_t> referenceTable =
      eightBit ? palette.inverse : std::vector<std::uint8_t>();
  if (eightBit) std::fill(palette.inverse.begin(), palette.inverse.end(), 0);
  run(KernelsAt(level), destination);
  if (eightBit) {
    ASSERT_TRUE(palette.inverse == referenceTable) << "inverse table, effect " << c.code;
  }
  ASSERT_EQ(destination.bytes(), reference.bytes())
      << SimdLevelName(level) << " depth " << c.depth << " mmx " << c.mmx << " effect " << c.code
      << " pass " << static_cast<int>(c.pass) << " width " << width << " seed " << seed;
}

class VectorLevels : public ::testing::TestWithParam<SimdLevel> {};

TEST_P(VectorLevels, BlitRowsMatchScalarForEveryEffectPassAndWidth) {
  const SimdLevel level = GetParam();
  if (!SimdLevelSupported(level)) GTEST_SKIP() << SimdLevelName(level) << " not supported here";
  TestPalette palette;
  std::uint32_t seed = 1;
  for (int depth : kDepths)
    for (bool mmx : {false, true})
      for (int code = 0; code < kEffectCodeCount; ++code) {
        if (code == 7) continue;
        for (Pass pass : {Pass::Opaque, Pass::Keyed, Pass::Alpha})
          for (int width = 0; width <= 70; ++width) {
            ExpectSameAsScalar(level, Case{depth, mmx, code, pass, width}, seed++, palette);
            if (HasFatalFailure()) return;
          }
      }
}

TEST_P(VectorLevels, ConstantRowsMatchScalar) {
  const SimdLevel level = GetParam();
  if (!SimdLevelSupported(level)) GTEST_SKIP();
  std::mt19937 random(99);
  TestPalette palette;
  for (int depth : {15, 16, 32})
    for (int mmx = 0; mmx < 2; ++mmx)
      for (int code = 0; code < kEffectCodeCount; ++code) {
        if (code == 7) continue;
        for (int width = 0; width <= 70; ++width) {
          TestImage a(71, 1, depth), b(71, 1, depth);
          a.Randomise(random);
          std::memcpy(b.bytes().data(), a.bytes().data(), a.bytes().size());
          a->palette = palette.get();
          const std::uint32_t pixel = random();
          const std::uintptr_t parameter = ParameterFor(code, random);
          const int format = FormatOfDepth(depth);
          const EffectRoutineSet& vector = KernelsAt(level).sets[mmx][format][code];
          const EffectRoutineSet& scalar = KernelsAt(SimdLevel::Scalar).sets[mmx][format][code];
          EffectContext context;
          scalar.setup(context, a.get(), a.get(), parameter);
          const std::uint32_t value = depth == 32 ? pixel : pixel & 0xFFFF;
          RunConstantRow(vector, context, a->firstRow, value, width, a->bytesPerPixel);
          RunConstantRow(scalar, context, b->firstRow, value, width, b->bytesPerPixel);
          ASSERT_EQ(a.bytes(), b.bytes())
              << "depth " << depth << " effect " << code << " width " << width;
        }
      }
}

// The 16-bit blends take the fields apart without the working form: every pair of field
// values (extremes included, and 5-5-5 pixels with their unused top bit set) at every share,
// plain and MMX forms, blend (1) and blend-except-key (12), against the scalar rows.
TEST_P(VectorLevels, SixteenBitBlendsMatchScalarForEveryFieldPairAndShare) {
  const SimdLevel level = GetParam();
  if (!SimdLevelSupported(level)) GTEST_SKIP();
  constexpr int kWidth = 4096;
  for (int depth : {15, 16}) {
    const bool is555 = depth == 15;
    const auto pixel = [&](std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
      return is555 ? (red % 32) << 10 | (green % 32) << 5 | blue % 32
                   : (red % 32) << 11 | (green % 64) << 5 | blue % 32;
    };
    TestImage source(kWidth, 1, depth), destination(kWidth, 1, depth);
    auto* s = reinterpret_cast<std::uint16_t*>(source->firstRow);
    auto* d = reinterpret_cast<std::uint16_t*>(destination->firstRow);
    for (std::uint32_t i = 0; i < kWidth; ++i) {
      const std::uint32_t high = is555 && i % 3 == 0 ? 0x8000 : 0;
      s[i] = static_cast<std::uint16_t>(high | pixel(i, i, i / 64));
      d[i] = static_cast<std::uint16_t>(pixel(i / 32, i / 64, i));
    }
    const int format = FormatOfDepth(depth);
    for (int mmx = 0; mmx < 2; ++mmx)
      for (int code : {1, 12})
        for (std::uint32_t share = 0; share <= 128; ++share) {
          const std::uintptr_t parameter = code == 1 ? share : share << 24 | 0x0810F8;
          const EffectRoutineSet& vector = KernelsAt(level).sets[mmx][format][code];
          const EffectRoutineSet& scalar = KernelsAt(SimdLevel::Scalar).sets[mmx][format][code];
          EffectContext context;
          scalar.setup(context, destination.get(), source.get(), parameter);
          TestImage a = destination, b = destination;
          RunOpaqueRow(vector, context, a->firstRow, source->firstRow, kWidth, 2);
          RunOpaqueRow(scalar, context, b->firstRow, source->firstRow, kWidth, 2);
          ASSERT_EQ(a.bytes(), b.bytes())
              << "depth " << depth << " mmx " << mmx << " effect " << code << " share " << share;
        }
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, VectorLevels, ::testing::Values(SimdLevel::Sse2, SimdLevel::Avx2),
                         [](const auto& info) { return std::string(SimdLevelName(info.param)); });

TEST(KernelSets, TheActiveLevelHasVectorPartsWhereTheProcessorAllows) {
  const KernelSet& active = ActiveKernels();
  const bool vector = ActiveSimdLevel() != SimdLevel::Scalar;
  EXPECT_EQ(active.sets[1][kFormat32][1].opaqueVector != nullptr, vector);
  EXPECT_EQ(active.sets[0][kFormat16][0].keyedRows != nullptr, vector);
  // 8-bit rows need gathers (AVX2), and their alpha rows stay scalar; 24-bit rows have only
  // the scalar form.
  EXPECT_EQ(active.sets[0][kFormat8][1].opaqueVector != nullptr,
            ActiveSimdLevel() == SimdLevel::Avx2);
  EXPECT_EQ(active.sets[0][kFormat8][1].alphaVector, nullptr);
  EXPECT_EQ(active.sets[0][kFormat24][9].keyedRows, nullptr);
}

}  // namespace
}  // namespace vexa
