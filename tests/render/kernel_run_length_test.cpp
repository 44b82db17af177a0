// The run-length form: its bytes, measuring, checking, and the run-length tables' blits,
// which must draw exactly what the standard blits draw from the plain image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "base/simd_level.h"
#include "pixels/kernels/kernel_routines.h"
#include "pixels/kernels/run_length_form.h"
#include "render/kernel_test_support.h"

namespace vexa {
namespace {

using test::TestImage;
using test::TestPalette;

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

std::vector<std::uint8_t> Encode(const PixelDescriptor& image, std::uint32_t key) {
  const std::uint32_t size = MeasureRunLengthForm(image.bytesPerPixel, nullptr, image.firstRow,
                                                  image.width, image.height, image.pitch, key);
  std::vector<std::uint8_t> block(size);
  EXPECT_EQ(EncodeRunLengthForm(image.bytesPerPixel, block.data(), image.firstRow, image.width,
                                image.height, image.pitch, key),
            size);
  return block;
}

// The run-length form of a random 16-bit image in which `percent` of the pixels are key 0.
std::vector<std::uint8_t> RandomBlock(int width, int height, unsigned seed, int percent) {
  TestImage image(width, height, 16);
  std::mt19937 random(seed);
  image.Randomise(random);
  image.Sprinkle(random, 0, percent);
  return Encode(*image.get(), 0);
}

// The run bytes of row `row`.
std::vector<int> RunsOf(const std::vector<std::uint8_t>& block, int row, int rows) {
  const std::uint32_t begin = 4 + U32(block, 4 + 8 * row);
  const std::uint32_t end = row + 1 < rows ? 4 + U32(block, 4 + 8 * (row + 1)) : 4 + U32(block, 8);
  return std::vector<int>(block.begin() + begin, block.begin() + end);
}

TEST(RunLengthForm, LongRunsSplitAt255) {
  TestImage image(300, 3, 32);
  const std::uint32_t key = 0x00FF00FF;
  for (int x = 0; x < 300; ++x) {
    image.SetPixel(x, 0, 0x123);  // 300 opaque
    image.SetPixel(x, 1, key);    // 300 transparent
    image.SetPixel(x, 2,
                   x < 10 || x >= 290 ? key : 7);  // 10 transparent, 280 opaque, 10 transparent
  }
  const std::vector<std::uint8_t> block = Encode(*image.get(), key);
  EXPECT_EQ(RunsOf(block, 0, 3), (std::vector<int>{0, 255, 0, 45}));
  EXPECT_EQ(RunsOf(block, 1, 3), (std::vector<int>{255, 0, 45, 0}));
  EXPECT_EQ(RunsOf(block, 2, 3), (std::vector<int>{10, 255, 0, 25, 10, 0}));
  // 4 + 8 x rows + run bytes + pixel bytes, the size field included.
  EXPECT_EQ(block.size(), 4u + 24 + 14 + 580 * 4);
  EXPECT_EQ(U32(block, 0), block.size());
  EXPECT_TRUE(RunLengthBlockValid(block.data(), block.size(), 300, 3, 4));

  std::uint8_t header[12] = {};
  MeasureRunLengthForm(4, header, image->firstRow, 300, 3, image->pitch, key);
  EXPECT_EQ(U32(std::vector<std::uint8_t>(header, header + 12), 4), 24u);
  EXPECT_EQ(U32(std::vector<std::uint8_t>(header, header + 12), 8), 24u + 14);
}

TEST(RunLengthForm, PixelBytesFollowTheRunsRowAfterRow) {
  TestImage image(4, 2, 24);
  image.SetPixel(0, 0, 0xAABBCC);
  image.SetPixel(3, 1, 0x010203);
  const std::vector<std::uint8_t> block = Encode(*image.get(), 0);
  // Row 0: 0 1 3 0; row 1: 3 1. Pixels: CC BB AA 03 02 01.
  EXPECT_EQ(RunsOf(block, 0, 2), (std::vector<int>{0, 1, 3, 0}));
  EXPECT_EQ(RunsOf(block, 1, 2), (std::vector<int>{3, 1}));
  const std::vector<std::uint8_t> pixels(block.end() - 6, block.end());
  EXPECT_EQ(pixels, (std::vector<std::uint8_t>{0xCC, 0xBB, 0xAA, 0x03, 0x02, 0x01}));
  EXPECT_EQ(U32(block, 8), 16u + 6);
  EXPECT_EQ(U32(block, 16), 16u + 6 + 3);
}

TEST(RunLengthForm, ValidationRefusesDamagedBlocks) {
  const std::vector<std::uint8_t> good = RandomBlock(20, 4, 3, 40);
  EXPECT_TRUE(RunLengthBlockValid(good.data(), good.size(), 20, 4, 2));
  EXPECT_FALSE(RunLengthBlockValid(good.data(), good.size() - 1, 20, 4, 2));  // size field too big
  EXPECT_FALSE(RunLengthBlockValid(good.data(), good.size(), 21, 4, 2));      // runs cover 20
  EXPECT_FALSE(RunLengthBlockValid(good.data(), good.size(), 20, 400, 2));    // no such row table
  std::vector<std::uint8_t> bad = good;
  bad[4 + 8 * 3] = 0xF0;  // row 3's runs far beyond the block
  bad[4 + 8 * 3 + 3] = 0x7F;
  EXPECT_FALSE(RunLengthBlockValid(bad.data(), bad.size(), 20, 4, 2));
  bad = good;
  bad[4 + 8 * 4 + 1] = 255;  // row 0's first copy count: the runs no longer add up to 20
  EXPECT_FALSE(RunLengthBlockValid(bad.data(), bad.size(), 20, 4, 2));
  const std::uint8_t tiny[4] = {2, 0, 0, 0};
  EXPECT_FALSE(RunLengthSizeFits(tiny, 4));
}

// Every draw of a bank image checks its row table first: each of the 2 x height offsets must
// lie inside the block (after its size field); the last byte is allowed, one past it is not.
TEST(RunLengthForm, RowTableCheckTakesEveryOffsetUpToTheBlocksEnd) {
  const std::vector<std::uint8_t> good = RandomBlock(20, 5, 4, 30);
  EXPECT_TRUE(RunLengthRowTableFits(good.data(), good.size(), 5));
  EXPECT_FALSE(RunLengthRowTableFits(good.data(), good.size() - 1, 5));  // size field too big
  EXPECT_FALSE(RunLengthRowTableFits(good.data(), good.size(), 1000));   // no such table
  const std::uint32_t limit = U32(good, 0) - 4;
  for (std::size_t field = 0; field < 10; ++field) {
    for (const std::uint32_t offset : {limit, limit + 1, 0xFFFFFFFFu}) {
      std::vector<std::uint8_t> block = good;
      std::memcpy(block.data() + 4 + 4 * field, &offset, 4);
      EXPECT_EQ(RunLengthRowTableFits(block.data(), block.size(), 5), offset == limit)
          << "field " << field << " offset " << offset;
    }
  }
}

// A surface over the run-length form of `image`.
struct RunLengthImage {
  std::vector<std::uint8_t> block;
  PixelDescriptor descriptor;
  RunLengthImage(TestImage& image) {
    block = Encode(*image.get(), image->transparentValue);
    descriptor = *image.get();
    descriptor.storage = descriptor.firstRow = block.data();
    descriptor.pixelRoutines = RunLengthPixelRoutines(image->formatIndex);
  }
};

TEST(RunLengthBlits, DrawExactlyWhatTheStandardBlitsDrawFromThePlainImage) {
  TestPalette palette;
  std::mt19937 random(11);
  const struct {
    int effect;
    std::uintptr_t parameter;
  } effects[] = {
      {0, 0}, {1, 50}, {3, 0}, {9, 0}, {6, 70u << 24 | 0x102030}, {12, 64u << 24 | 0x0000FF}};
  const struct {
    int x, y, width, height;
  } rects[] = {{0, 0, 37, 9}, {5, 2, 20, 5}, {36, 8, 1, 1}, {1, 0, 35, 1}};
  for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2}) {
    const KernelSet& k = KernelsAt(level);
    for (int depth : {8, 15, 16, 24, 32})
      for (bool withAlpha : {false, true}) {
        TestImage plain(37, 9, depth, withAlpha);
        plain.Randomise(random);
        plain->palette = palette.get();
        plain->transparentValue = depth == 8 ? 0 : 0x1F & random();
        plain.Sprinkle(random, plain->transparentValue, 45);
        if (withAlpha) plain.RandomiseAlpha(random, {0, 0, 255, 255, 1, 127, 90});
        RunLengthImage packed(plain);
        for (const auto& e : effects)
          for (const auto& r : rects)
            for (bool transparent : {false, true}) {
              TestImage expected(40, 12, depth), actual(40, 12, depth);
              expected.Randomise(random);
              std::memcpy(actual.bytes().data(), expected.bytes().data(), expected.bytes().size());
              expected->palette = actual->palette = palette.get();
              if (transparent) {
                CopyTransparentEffectWith(k, expected.get(), 2, 1, plain.get(), r.x, r.y, r.width,
                                          r.height, e.effect, e.parameter);
                RunLengthCopyTransparentWith(k, actual.get(), 2, 1, &packed.descriptor, r.x, r.y,
                                             r.width, r.height, e.effect, e.parameter);
              } else {
                CopyOpaqueEffectWith(k, expected.get(), 2, 1, plain.get(), r.x, r.y, r.width,
                                     r.height, e.effect, e.parameter);
                RunLengthCopyOpaqueWith(k, actual.get(), 2, 1, &packed.descriptor, r.x, r.y,
                                        r.width, r.height, e.effect, e.parameter);
              }
              ASSERT_EQ(actual.bytes(), expected.bytes())
                  << SimdLevelName(level) << " depth " << depth << " alpha " << withAlpha
                  << " effect " << e.effect << " rect " << r.x << "," << r.y << " transparent "
                  << transparent;
            }
      }
  }
}

// Opaque runs of every length from 1 to 300 pixels (short moves, the long-run move of each
// size and the library move beyond) between single key pixels, copied at every pixel size and
// every instruction level, the scalar plain copy as reference.
TEST(RunLengthBlits, RunsOfEveryLengthCopyExactly) {
  std::mt19937 random(3);
  constexpr int kWidth = 310, kHeight = 40;
  for (int depth : {8, 16, 24, 32}) {
    TestImage plain(kWidth, kHeight, depth);
    plain.Randomise(random);
    plain->transparentValue = 0;
    // Runs of 1, 2, ... 70 pixels, then in steps of 17 up to 300, each ended by a key pixel.
    int length = 1, left = length;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        if (left-- > 0) {
          if (plain.Pixel(x, y) == 0) plain.SetPixel(x, y, 1);
          continue;
        }
        plain.SetPixel(x, y, 0);
        length = length >= 300 ? 1 : length + (length < 70 ? 1 : 17);
        left = length;
      }
    RunLengthImage packed(plain);
    for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2})
      for (const int from : {0, 3}) {
        TestImage expected(kWidth, kHeight, depth);
        expected.Randomise(random);
        TestImage actual = expected;
        const KernelSet& k = KernelsAt(level);
        CopyTransparentEffectWith(KernelsAt(SimdLevel::Scalar), expected.get(), 0, 0, plain.get(),
                                  from, 0, kWidth - from, kHeight, 0, 0);
        RunLengthCopyTransparentWith(k, actual.get(), 0, 0, &packed.descriptor, from, 0,
                                     kWidth - from, kHeight, 0, 0);
        ASSERT_EQ(actual.bytes(), expected.bytes())
            << SimdLevelName(level) << " depth " << depth << " from " << from;
      }
  }
}

TEST(RunLengthBlits, TableEntriesDrawTheBlock) {
  TestImage plain(10, 2, 32);
  plain->transparentValue = 0;
  plain.SetPixel(4, 1, 0x00ABCDEF);
  RunLengthImage packed(plain);
  TestImage target(10, 2, 32);
  for (auto& b : target.bytes()) b = 0x11;
  const PixelRoutineTable* t = RunLengthPixelRoutines(kFormat32);
  t->copyTransparent(target.get(), 0, 0, &packed.descriptor, 0, 0, 10, 2);
  EXPECT_EQ(target.Pixel(4, 1), 0x00ABCDEFu);
  EXPECT_EQ(target.Pixel(3, 1), 0x11111111u);
  t->copyOpaque(target.get(), 0, 0, &packed.descriptor, 0, 0, 10, 2);
  EXPECT_EQ(target.Pixel(3, 1), 0u);  // transparent pixels are the key's value
}

// Damaged blocks (anything but a size field larger than the memory) draw without reading
// outside the block; AddressSanitizer builds check the "outside".
TEST(RunLengthBlits, DamagedBlocksStayInsideTheBlock) {
  std::mt19937 random(5);
  TestImage plain(33, 6, 16, true);
  plain.Randomise(random);
  plain->transparentValue = 0;
  plain.Sprinkle(random, 0, 50);
  const std::vector<std::uint8_t> good = Encode(*plain.get(), 0);
  for (int round = 0; round < 400; ++round) {
    std::vector<std::uint8_t> damaged = good;
    for (int i = 0; i < 1 + round % 6; ++i)
      damaged[4 + random() % (damaged.size() - 4)] = static_cast<std::uint8_t>(random());
    if (round % 7 == 0) {  // a size field that cuts the block short
      const std::uint32_t cut = static_cast<std::uint32_t>(random() % damaged.size());
      std::memcpy(damaged.data(), &cut, 4);
    }
    damaged.shrink_to_fit();
    PixelDescriptor source = *plain.get();
    source.firstRow = source.storage = damaged.data();
    if (round % 2) source.alphaFirstRow = nullptr;
    TestImage target(33, 6, 16);
    // The plain copy walks the row table on its own: it must draw what the checked row
    // walker reads, whole and from a column and row inside.
    for (const int from : {0, 2}) {
      TestImage expected(33, 6, 16), actual(33, 6, 16);
      for (int y = from; y < 6; ++y)
        WalkRunLengthRow(
            FindRunLengthRow(damaged.data(), y), 2, from, 33, [](int, int) {},
            [&](int column, const std::uint8_t* p, int n) {
              std::memcpy(expected->firstRow + (y - from) * expected->pitch + (column - from) * 2,
                          p, static_cast<std::size_t>(n) * 2);
            });
      source.alphaFirstRow = nullptr;
      RunLengthCopyTransparentWith(ActiveKernels(), actual.get(), 0, 0, &source, from, from,
                                   33 - from, 6 - from, 0, 0);
      ASSERT_EQ(actual.bytes(), expected.bytes()) << "round " << round << " from " << from;
    }
    if (round % 2 == 0) source.alphaFirstRow = plain->alphaFirstRow;
    RunLengthCopyTransparentWith(ActiveKernels(), target.get(), 0, 0, &source, 0, 0, 33, 6, 1, 64);
    RunLengthCopyOpaqueWith(ActiveKernels(), target.get(), 0, 0, &source, 3, 1, 30, 5, 9, 0);
    RunLengthCopyOpaqueWith(ActiveKernels(), target.get(), 0, 0, &source, 0, 0, 33, 6, 0, 0);
  }
}

// The plain copy's row loop checks each pair with a single branch and leaves the pixel-bytes
// check out where the block has room for a whole row: damaged blocks of long and short runs,
// cut short by their size field (so that the last rows run out of pixel bytes) or holding
// pairs that add nothing or run past the width, must copy exactly what the checked row walker
// reads, at every level, whole, cut on the right and from a column inside.
TEST(RunLengthBlits, DamagedBlocksCopyWhatTheCheckedWalkReadsAtEveryLevel) {
  std::mt19937 random(17);
  constexpr int kWidth = 280, kHeight = 9;
  for (int depth : {16, 32}) {
    TestImage plain(kWidth, kHeight, depth);
    plain.Randomise(random);
    plain->transparentValue = 0;
    for (int y = 0; y < kHeight; ++y)  // runs of 1 to 270 pixels
      for (int x = 0; x < kWidth; ++x)
        if ((x * (y + 1) / 30) % 3 == 0 && y != 4) plain.SetPixel(x, y, 0);
    const std::vector<std::uint8_t> good = Encode(*plain.get(), 0);
    const int bpp = plain->bytesPerPixel;
    for (int round = 0; round < 120; ++round) {
      std::vector<std::uint8_t> damaged = good;
      const std::size_t runStart = 4 + 8 * kHeight;
      for (int i = 0; i < round % 5; ++i) {
        const std::size_t at = runStart + random() % (good.size() - runStart);
        damaged[at] = round % 3 == 0 ? 0 : static_cast<std::uint8_t>(random());
      }
      if (round % 4 == 1) {  // cut a few pixels short of the end of opaque row 4
        const auto cut = static_cast<std::uint32_t>(4 + U32(good, 4 + 8 * 4 + 4) +
                                                    (kWidth - 1 - random() % 12) * bpp);
        std::memcpy(damaged.data(), &cut, 4);
      } else if (round % 4 == 3) {  // cut inside the pixel bytes of the last rows
        const auto cut = static_cast<std::uint32_t>(good.size() - random() % (kWidth * bpp * 2));
        std::memcpy(damaged.data(), &cut, 4);
      }
      if (round % 6 == 5) damaged[4 + 8 * (random() % kHeight)] ^= 0x01;  // a moved row
      PixelDescriptor source = *plain.get();
      source.firstRow = source.storage = damaged.data();
      for (const int from : {0, 0, 5})
        for (const int width : {kWidth - from, 97}) {
          TestImage background(kWidth, kHeight, depth);
          background.Randomise(random);
          TestImage expected = background;
          for (int y = 0; y < kHeight; ++y)
            WalkRunLengthRow(
                FindRunLengthRow(damaged.data(), y), bpp, from, from + width, [](int, int) {},
                [&](int column, const std::uint8_t* p, int n) {
                  std::memcpy(expected->firstRow + y * expected->pitch + (column - from) * bpp, p,
                              static_cast<std::size_t>(n) * bpp);
                });
          for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2}) {
            TestImage actual = background;
            RunLengthCopyTransparentWith(KernelsAt(level), actual.get(), 0, 0, &source, from, 0,
                                         width, kHeight, 0, 0);
            ASSERT_EQ(actual.bytes(), expected.bytes())
                << SimdLevelName(level) << " depth " << depth << " round " << round << " from "
                << from << " width " << width;
          }
        }
    }
  }
}

// Pairs of two zero counts move the column nowhere, so the width no longer bounds how many
// pairs a row reads: a row of them up to the block's end must stop there at every level.
TEST(RunLengthBlits, PairsThatMoveNothingStopAtTheBlockEnd) {
  TestImage plain(8, 1, 16);
  // size, the row's entry (runs at 8, pixels at 0: room for the whole row), 16 zero run bytes;
  // past the block's end, memory that reads as pairs copying 4 pixels.
  std::vector<std::uint8_t> block(64, 4);
  std::fill(block.begin() + 12, block.begin() + 28, 0);
  for (std::size_t i = 28; i < block.size(); i += 2) block[i] = 0;
  const std::uint32_t header[] = {28, 8, 0};
  std::memcpy(block.data(), header, sizeof header);
  PixelDescriptor source = *plain.get();
  source.firstRow = source.storage = block.data();
  std::mt19937 random(2);
  for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2}) {
    TestImage target(8, 1, 16);
    target.Randomise(random);
    const std::vector<std::uint8_t> before = target.bytes();
    RunLengthCopyTransparentWith(KernelsAt(level), target.get(), 0, 0, &source, 0, 0, 8, 1, 0, 0);
    EXPECT_EQ(target.bytes(), before) << SimdLevelName(level);
  }
}

}  // namespace
}  // namespace vexa
