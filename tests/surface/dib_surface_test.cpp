// cDIBSurface: every header the surface accepts, the row direction, the colour table, the
// 32-bit alpha rule, and headers it must refuse without reading outside the caller's block.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include <vexa/dib_surface.h>
#include <vexa/library.h>
#include <vexa/palette.h>
#include <vexa/surface_object.h>

namespace {

// A bitmap-information record with its masks or colour table and its bits, in one block of
// exactly the size the header describes.
class DibBlock {
 public:
  DibBlock(int width, int height, int bitCount, DWORD compression = 0, DWORD clrUsed = 0,
           const DWORD* masks = nullptr)
      : tableBytes_(TableBytes(bitCount, compression, clrUsed)),
        bytes_(40 + tableBytes_ + ImageBytes(width, height, bitCount)) {
    BITMAPINFOHEADER header{};
    header.biSize = 40;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bitCount);
    header.biCompression = compression;
    header.biClrUsed = clrUsed;
    std::memcpy(bytes_.data(), &header, sizeof(header));
    if (compression == 3 && masks) std::memcpy(bytes_.data() + 40, masks, 12);
  }

  BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(bytes_.data()); }
  BITMAPINFOHEADER& header() { return info()->bmiHeader; }
  std::uint8_t* table() { return bytes_.data() + 40; }
  std::uint8_t* bits() { return bytes_.data() + 40 + tableBytes_; }
  std::size_t size() const { return bytes_.size(); }

 private:
  static std::size_t TableBytes(int bitCount, DWORD compression, DWORD clrUsed) {
    if (compression == 3) return 12;
    if (bitCount > 8 || bitCount < 1) return 0;
    return 4 * static_cast<std::size_t>(clrUsed ? clrUsed : 1u << bitCount);
  }
  static std::size_t ImageBytes(int width, int height, int bitCount) {
    if (width <= 0 || height == 0 || width > 4096 || height < -4096 || height > 4096) return 0;
    const std::size_t stride = ((static_cast<std::size_t>(width) * bitCount + 31) & ~std::size_t{31}) / 8;
    return stride * static_cast<std::size_t>(height < 0 ? -height : height);
  }

  std::size_t tableBytes_;
  std::vector<std::uint8_t> bytes_;
};

// Builds the surface and hands it to the test; deletes it afterwards.
struct DibSurface {
  explicit DibSurface(DibBlock& block, int createPalette = 0, const void* bits = nullptr)
      : surface(new cDIBSurface(block.info(), bits, createPalette)) {}
  ~DibSurface() { surface->Delete(); }
  cDIBSurface* operator->() const { return surface; }
  cDIBSurface* surface;
};

TEST(DIBSurface, HeaderVariantsGiveTheirDepths) {
  const DWORD masks555[] = {0x7C00, 0x3E0, 0x1F};
  const DWORD masks565[] = {0xF800, 0x7E0, 0x1F};
  const DWORD masks888[] = {0xFF0000, 0xFF00, 0xFF};
  const DWORD wrong565[] = {0xF800, 0x7C0, 0x3F};
  struct Case {
    int bitCount;
    DWORD compression;
    const DWORD* masks;
    int depth;
  } cases[] = {
      {8, 0, nullptr, 8},      {16, 0, nullptr, 15},    {24, 0, nullptr, 24},
      {32, 0, nullptr, 32},    {16, 3, masks555, 15},   {16, 3, masks565, 16},
      {32, 3, masks888, 32},   {16, 3, wrong565, 0},    {32, 3, masks565, 0},
      {24, 3, masks888, 0},    {16, 1, nullptr, 0},     {8, 2, nullptr, 0},
      {1, 0, nullptr, 0},      {4, 0, nullptr, 0},      {15, 0, nullptr, 0},
      {33, 0, nullptr, 0},
  };
  for (const Case& c : cases) {
    DibBlock block(5, 3, c.bitCount, c.compression, 0, c.masks);
    DibSurface s(block);
    SCOPED_TRACE(testing::Message() << "bits " << c.bitCount << " compression " << c.compression);
    EXPECT_EQ(s->depth, c.depth);
    if (c.depth == 0) {
      EXPECT_EQ(s->storage, nullptr);
      EXPECT_EQ(s->firstRow, nullptr);
      continue;
    }
    EXPECT_EQ(s->storage, block.bits()) << "the bits follow the record by default";
    EXPECT_EQ(s->stride, GetStride(5, c.depth));
    EXPECT_EQ(s->clipRight, 5);
    EXPECT_EQ(s->clipBottom, 3);
    EXPECT_EQ(s->CreateCompatible(2, 2), nullptr);
    EXPECT_EQ(s->InitFormat(32), 0);
  }
}

TEST(DIBSurface, RowsRunBottomUpUnlessTheHeightIsNegative) {
  for (int height : {3, -3}) {
    DibBlock block(2, height, 24);
    std::uint8_t* bits = block.bits();  // stride 8
    bits[0] = 0x11;                     // first row in memory, pixel 0, blue
    bits[2 * 8 + 2] = 0x33;             // last row in memory, pixel 0, red
    DibSurface s(block);
    COLORREF top = 0, bottom = 0;
    ASSERT_EQ(s->GetPixelColor(0, 0, &top), 1);
    ASSERT_EQ(s->GetPixelColor(0, 2, &bottom), 1);
    if (height > 0) {
      EXPECT_EQ(s->pitch, -8);
      EXPECT_EQ(s->bottomUp, 1);
      EXPECT_EQ(top, 0x000033u);
      EXPECT_EQ(bottom, 0x110000u);
    } else {
      EXPECT_EQ(s->pitch, 8);
      EXPECT_EQ(s->bottomUp, 0);
      EXPECT_EQ(top, 0x110000u);
      EXPECT_EQ(bottom, 0x000033u);
    }
  }
}

TEST(DIBSurface, ColourTableBecomesThePaletteOnRequest) {
  DibBlock block(4, 1, 8, 0, 16);
  for (int i = 0; i < 16; ++i) {
    const std::uint8_t quad[4] = {static_cast<std::uint8_t>(i), 100, static_cast<std::uint8_t>(200 + i), 0x77};
    std::memcpy(block.table() + 4 * i, quad, 4);  // blue, green, red, reserved
  }
  block.bits()[3] = 5;
  {
    DibSurface s(block, 1);
    ASSERT_EQ(s->depth, 8);
    ASSERT_NE(s->palette, nullptr);
    EXPECT_EQ(s->palette->entryCount, 16);
    EXPECT_EQ(s->palette->entries[5].peRed, 205);
    EXPECT_EQ(s->palette->entries[5].peGreen, 100);
    EXPECT_EQ(s->palette->entries[5].peBlue, 5);
    EXPECT_EQ(s->palette->entries[5].peFlags, 0);
    EXPECT_EQ(s->storage, block.table() + 64) << "bits after the 16 entries the header names";
    COLORREF colour = 0;
    ASSERT_EQ(s->GetPixelColor(3, 0, &colour), 1);
    EXPECT_EQ(colour, 205u | 100u << 8 | 5u << 16);
  }
  // Without a palette the bits still follow the table the header describes, not 256
  // entries that the block does not have.
  DibSurface plain(block, 0);
  EXPECT_EQ(plain->palette, nullptr);
  EXPECT_EQ(plain->storage, block.table() + 64);
  std::uint32_t index = 0;
  ASSERT_EQ(plain->GetPixelValue(3, 0, &index), 1);
  EXPECT_EQ(index, 5u);

  std::uint8_t elsewhere[4] = {9, 8, 7, 6};
  DibSurface given(block, 0, elsewhere);
  EXPECT_EQ(given->storage, elsewhere);
}

TEST(DIBSurface, ThirtyTwoBitsGetAnAlphaPlaneOnlyWhenSomePixelIsNotOpaque) {
  DibBlock block(3, 2, 32);
  std::uint8_t* bits = block.bits();
  for (int i = 0; i < 6; ++i) bits[4 * i + 3] = 0xFF;
  {
    DibSurface opaque(block);
    EXPECT_EQ(opaque->alphaFirstRow, nullptr);
    EXPECT_EQ(opaque->flags & kSurfaceFlagOwnsAlpha, 0u);
  }
  bits[4 * 1 + 3] = 0xFE;  // first row in memory = row 1 of a bottom-up bitmap
  DibSurface translucent(block);
  ASSERT_NE(translucent->alphaFirstRow, nullptr);
  EXPECT_EQ(translucent->AlphaRow(1)[1], 0xFE);
  EXPECT_EQ(translucent->AlphaRow(0)[1], 0xFF);
  EXPECT_EQ(translucent->alphaStride, 4);
}

TEST(DIBSurface, PublicCreateFromADIBPrototypeRecordsNoMemory) {
  DibBlock block(2, 2, 32);
  cSurfaceObject prototype;
  prototype.SetImplementation(new cDIBSurface(block.info(), nullptr, 0));
  cSurfaceObject object;
  EXPECT_EQ(object.Create(4, 4, &prototype), nullptr);
  EXPECT_EQ(object.GetLastError(), kErrorNoMemory);
}

TEST(DIBSurface, UnsafeHeadersStayUnformatted) {
  struct Case {
    const char* what;
    LONG width, height;
    int bitCount;
    DWORD clrUsed, sizeImage, headerSize;
  } cases[] = {
      {"negative width", -4, 4, 32, 0, 0, 40},
      {"zero width", 0, 4, 32, 0, 0, 40},
      {"zero height", 4, 0, 32, 0, 0, 40},
      {"most negative height", 4, INT_MIN, 8, 0, 0, 40},
      {"stride beyond 2 GiB", 0x20000000, 1, 32, 0, 0, 40},
      {"image beyond 2 GiB", 0x4000, 0x10000, 32, 0, 0, 40},
      {"image size short of the rows", 4, 4, 32, 0, 63, 40},
      {"more than 256 colours", 4, 4, 8, 257, 0, 40},
      {"a header shorter than 40 bytes", 4, 4, 24, 0, 0, 12},
  };
  for (const Case& c : cases) {
    DibBlock block(1, 1, c.bitCount);
    block.header().biWidth = c.width;
    block.header().biHeight = c.height;
    block.header().biClrUsed = c.clrUsed;
    block.header().biSizeImage = c.sizeImage;
    block.header().biSize = c.headerSize;
    DibSurface s(block, 1);
    EXPECT_EQ(s->depth, 0) << c.what;
    EXPECT_EQ(s->firstRow, nullptr) << c.what;
    EXPECT_EQ(s->palette, nullptr) << c.what;
  }
  cDIBSurface* none = new cDIBSurface(nullptr, nullptr, 1);
  EXPECT_EQ(none->depth, 0);
  none->Delete();
}

// Random headers over blocks of exactly the size each header describes: whatever the header
// says, an accepted one only ever leads to reads inside the block (AddressSanitizer checks
// every pixel and alpha read), and a refused one leaves nothing behind.
TEST(DIBSurface, RandomHeadersNeverReadOutsideTheirBlock) {
  std::mt19937 random(20240611);
  const int bitCounts[] = {0, 1, 2, 4, 8, 15, 16, 24, 32, 48};
  const DWORD maskSets[][3] = {{0x7C00, 0x3E0, 0x1F}, {0xF800, 0x7E0, 0x1F}, {0xFF0000, 0xFF00, 0xFF}, {1, 2, 4}};
  int accepted = 0;
  for (int round = 0; round < 1500; ++round) {
    const int width = static_cast<int>(random() % 40) - 4;
    const int height = static_cast<int>(random() % 60) - 30;
    const int bitCount = bitCounts[random() % 10];
    const DWORD compression = random() % 4 == 0 ? 3 : random() % 8 == 0 ? random() % 5 : 0;
    const DWORD clrUsed = random() % 3 == 0 ? random() % 300 : 0;
    DibBlock block(width, height, bitCount, compression, clrUsed, maskSets[random() % 4]);
    // Random colour tables and pixels (the masks stay as chosen).
    std::uint8_t* bytes = reinterpret_cast<std::uint8_t*>(block.info());
    for (std::size_t i = compression == 3 ? 52 : 40; i < block.size(); ++i)
      bytes[i] = static_cast<std::uint8_t>(random());
    DibSurface s(block, static_cast<int>(random() % 2));
    SCOPED_TRACE(testing::Message() << "round " << round);
    if (s->depth == 0) continue;
    ++accepted;
    std::uint32_t sum = 0;
    for (int y = 0; y < s->height; ++y) {
      for (int x = 0; x < s->width; ++x) {
        std::uint32_t value = 0;
        ASSERT_EQ(s->GetPixelValue(x, y, &value), 1);
        sum += value;
        if (s->alphaFirstRow) sum += s->AlphaRow(y)[x];
      }
    }
    volatile std::uint32_t sink = sum;  // keeps the reads
    (void)sink;
  }
  EXPECT_GT(accepted, 200) << "the sweep must exercise accepted headers too";
}

}  // namespace
