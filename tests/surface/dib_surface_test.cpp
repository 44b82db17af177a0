// cDIBSurface: the headers it accepts, row direction, colour table, the 32-bit alpha rule,
// and headers it must refuse without reading outside the caller's block.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include <vexa/dib_surface.h>
#include <vexa/library.h>
#include <vexa/palette.h>

namespace {

// A bitmap-information record with its masks or colour table and its bits, in one block of
// exactly the size the header describes (sizes outside the test's ranges get no bits).
struct DibBlock {
  DibBlock(int width, int height, int bitCount, DWORD compression = 0, DWORD clrUsed = 0,
           const DWORD* masks = nullptr) {
    const std::size_t table = compression == 3 ? 12
                              : bitCount >= 1 && bitCount <= 8
                                  ? 4 * (clrUsed ? clrUsed : 1u << bitCount)
                                  : 0;
    const bool sized = width > 0 && width < 4096 && height != 0 && height > -4096 && height < 4096;
    const std::size_t stride =
        sized ? ((static_cast<std::size_t>(width) * bitCount + 31) & ~std::size_t{31}) / 8 : 0;
    bytes.resize(40 + table + stride * static_cast<std::size_t>(height < 0 ? -height : height));
    const BITMAPINFOHEADER header{
        40, width, height, 1, static_cast<WORD>(bitCount), compression, 0, 0, 0, clrUsed, 0};
    std::memcpy(bytes.data(), &header, sizeof(header));
    if (compression == 3 && masks) std::memcpy(bytes.data() + 40, masks, 12);
    bits = bytes.data() + 40 + table;
  }
  BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(bytes.data()); }
  cDIBSurface* Wrap(int createPalette = 0) {
    return new cDIBSurface(info(), nullptr, createPalette);
  }

  std::vector<std::uint8_t> bytes;
  std::uint8_t* bits;
};

TEST(DIBSurface, HeaderVariantsGiveTheirDepths) {
  const DWORD m555[] = {0x7C00, 0x3E0, 0x1F}, m565[] = {0xF800, 0x7E0, 0x1F};
  const DWORD m888[] = {0xFF0000, 0xFF00, 0xFF}, wrong565[] = {0xF800, 0x7C0, 0x3F};
  struct Case {
    int bitCount;
    DWORD compression;
    const DWORD* masks;
    int depth;
  } cases[] = {
      {8, 0, nullptr, 8}, {16, 0, nullptr, 15}, {24, 0, nullptr, 24}, {32, 0, nullptr, 32},
      {16, 3, m555, 15},  {16, 3, m565, 16},    {32, 3, m888, 32},    {16, 3, wrong565, 0},
      {32, 3, m565, 0},   {24, 3, m888, 0},     {16, 1, nullptr, 0},  {8, 2, nullptr, 0},
      {1, 0, nullptr, 0}, {4, 0, nullptr, 0},   {15, 0, nullptr, 0},
  };
  for (const Case& c : cases) {
    DibBlock block(5, 3, c.bitCount, c.compression, 0, c.masks);
    cDIBSurface* s = block.Wrap();
    SCOPED_TRACE(testing::Message() << "bits " << c.bitCount << " compression " << c.compression);
    EXPECT_EQ(s->depth, c.depth);
    EXPECT_EQ(s->storage, c.depth ? block.bits : nullptr) << "the bits follow the record";
    EXPECT_EQ(s->stride, c.depth ? GetStride(5, c.depth) : 0);
    EXPECT_EQ(s->CreateCompatible(2, 2), nullptr);
    EXPECT_EQ(s->InitFormat(32), 0);
    s->Delete();
  }
}

TEST(DIBSurface, RowsRunBottomUpUnlessTheHeightIsNegative) {
  for (int height : {3, -3}) {
    DibBlock block(2, height, 24);  // rows of 8 bytes
    block.bits[0] = 0x11;           // first row in memory, pixel 0, blue
    block.bits[2 * 8 + 2] = 0x33;   // last row in memory, pixel 0, red
    cDIBSurface* s = block.Wrap();
    COLORREF row0 = 0;
    ASSERT_EQ(s->GetPixelColor(0, 0, &row0), 1);
    EXPECT_EQ(row0, height > 0 ? 0x000033u : 0x110000u);
    EXPECT_EQ(s->pitch, height > 0 ? -8 : 8);
    s->Delete();
  }
}

TEST(DIBSurface, ColorTableBecomesThePaletteOnRequest) {
  DibBlock block(4, 1, 8, 0, 16);
  for (int i = 0; i < 16; ++i) {
    const std::uint8_t quad[4] = {static_cast<std::uint8_t>(i), 100,
                                  static_cast<std::uint8_t>(200 + i), 0x77};
    std::memcpy(block.bytes.data() + 40 + 4 * i, quad, 4);  // blue, green, red, reserved
  }
  block.bits[3] = 5;
  cDIBSurface* s = block.Wrap(1);
  ASSERT_NE(s->palette, nullptr);
  EXPECT_EQ(s->palette->entryCount, 16);
  COLORREF color = 0;
  ASSERT_EQ(s->GetPixelColor(3, 0, &color), 1);
  EXPECT_EQ(color, 205u | 100u << 8 | 5u << 16);
  s->Delete();
  // Without a palette the bits still follow the 16 entries the header names, not 256 that
  // the block does not have.
  s = block.Wrap(0);
  EXPECT_EQ(s->palette, nullptr);
  EXPECT_EQ(s->storage, block.bits);
  s->Delete();
}

TEST(DIBSurface, LongerHeadersPlaceTheTableAndBitsAfterThemselves) {
  // A 108-byte header with an 8-bit table of 4 entries, and a 56-byte one whose 5-6-5 masks
  // sit inside it: the table, or the bits, start where the header ends.
  for (DWORD headerSize : {52u, 56u, 108u, 124u}) {
    SCOPED_TRACE(headerSize);
    std::vector<std::uint8_t> record(headerSize + 4 * 4 + 4, 0);
    BITMAPINFOHEADER header{40, 4, 1, 1, 8, 0, 0, 0, 0, 4, 0};
    header.biSize = headerSize;
    std::memcpy(record.data(), &header, sizeof(header));
    const std::uint8_t entry[4] = {0x10, 0x20, 0x30, 0};  // blue, green, red
    std::memcpy(record.data() + headerSize + 4 * 2, entry, 4);
    record[headerSize + 16 + 1] = 2;  // pixel 1 names entry 2
    cDIBSurface* s = new cDIBSurface(reinterpret_cast<BITMAPINFO*>(record.data()), nullptr, 1);
    ASSERT_EQ(s->depth, 8);
    EXPECT_EQ(s->storage, record.data() + headerSize + 16);
    COLORREF color = 0;
    ASSERT_EQ(s->GetPixelColor(1, 0, &color), 1);
    EXPECT_EQ(color, 0x102030u);
    s->Delete();

    std::vector<std::uint8_t> masked(headerSize + 4, 0);
    BITMAPINFOHEADER bitFields{40, 2, 1, 1, 16, 3, 0, 0, 0, 0, 0};
    bitFields.biSize = headerSize;
    std::memcpy(masked.data(), &bitFields, sizeof(bitFields));
    const DWORD m565[] = {0xF800, 0x7E0, 0x1F};
    std::memcpy(masked.data() + 40, m565, sizeof(m565));
    s = new cDIBSurface(reinterpret_cast<BITMAPINFO*>(masked.data()), nullptr, 0);
    EXPECT_EQ(s->depth, 16);
    EXPECT_EQ(s->storage, masked.data() + headerSize);
    s->Delete();
  }
}

TEST(DIBSurface, ThirtyTwoBitsGetAnAlphaPlaneOnlyWhenSomePixelIsNotOpaque) {
  DibBlock block(3, 2, 32);
  for (int i = 0; i < 6; ++i) block.bits[4 * i + 3] = 0xFF;
  cDIBSurface* s = block.Wrap();
  EXPECT_EQ(s->alphaFirstRow, nullptr);
  s->Delete();
  block.bits[4 * 1 + 3] = 0xFE;  // first row in memory: row 1 of a bottom-up bitmap
  s = block.Wrap();
  ASSERT_NE(s->alphaFirstRow, nullptr);
  EXPECT_EQ(s->AlphaRow(1)[1], 0xFE);
  EXPECT_EQ(s->AlphaRow(0)[1], 0xFF);
  s->Delete();
}

TEST(DIBSurface, UnsafeHeadersStayUnformatted) {
  struct Case {
    const char* what;
    LONG width, height;
    int bitCount;
    DWORD clrUsed, sizeImage, headerSize;
  } cases[] = {
      {"negative width", -4, 4, 32, 0, 0, 40},
      {"zero height", 4, 0, 32, 0, 0, 40},
      {"most negative height", 4, INT_MIN, 8, 0, 0, 40},
      {"stride beyond 2 GiB", 0x20000000, 1, 32, 0, 0, 40},
      {"image beyond 2 GiB", 0x4000, 0x10000, 32, 0, 0, 40},
      {"image size short of the rows", 4, 4, 32, 0, 63, 40},
      {"more than 256 colours", 4, 4, 8, 257, 0, 40},
      {"a 12-byte header", 4, 4, 24, 0, 0, 12},
  };
  for (const Case& c : cases) {
    DibBlock block(1, 1, c.bitCount);
    BITMAPINFOHEADER& h = block.info()->bmiHeader;
    h.biWidth = c.width;
    h.biHeight = c.height;
    h.biClrUsed = c.clrUsed;
    h.biSizeImage = c.sizeImage;
    h.biSize = c.headerSize;
    cDIBSurface* s = block.Wrap(1);
    EXPECT_EQ(s->depth, 0) << c.what;
    EXPECT_EQ(s->firstRow, nullptr) << c.what;
    s->Delete();
  }
}

// Random headers over blocks of exactly the size each header describes: an accepted header
// only ever leads to reads inside the block (AddressSanitizer checks every pixel and alpha
// read).
TEST(DIBSurface, RandomHeadersNeverReadOutsideTheirBlock) {
  std::mt19937 random(20240611);
  const int bitCounts[] = {0, 1, 2, 4, 8, 15, 16, 24, 32, 48};
  const DWORD masks[][3] = {
      {0x7C00, 0x3E0, 0x1F}, {0xF800, 0x7E0, 0x1F}, {0xFF0000, 0xFF00, 0xFF}, {1, 2, 4}};
  int accepted = 0;
  for (int round = 0; round < 1500; ++round) {
    const DWORD compression = random() % 4 == 0 ? 3 : random() % 8 == 0 ? random() % 5 : 0;
    DibBlock block(static_cast<int>(random() % 40) - 4, static_cast<int>(random() % 60) - 30,
                   bitCounts[random() % 10], compression, random() % 3 == 0 ? random() % 300 : 0,
                   masks[random() % 4]);
    for (std::size_t i = compression == 3 ? 52 : 40; i < block.bytes.size(); ++i)
      block.bytes[i] = static_cast<std::uint8_t>(random());
    cDIBSurface* s = block.Wrap(static_cast<int>(random() % 2));
    std::uint32_t sum = 0, value = 0;
    for (int y = 0; y < s->height && s->depth; ++y) {
      for (int x = 0; x < s->width; ++x) {
        ASSERT_EQ(s->GetPixelValue(x, y, &value), 1) << "round " << round;
        sum += value + (s->alphaFirstRow ? s->AlphaRow(y)[x] : 0);
      }
    }
    accepted += s->depth != 0;
    volatile std::uint32_t sink = sum;  // keeps the reads
    (void)sink;
    s->Delete();
  }
  EXPECT_GT(accepted, 200) << "the sweep must reach accepted headers too";
}

}  // namespace
