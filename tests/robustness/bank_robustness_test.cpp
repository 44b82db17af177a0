// The image bank given hostile or careless input through its public calls: bitmaps whose
// header promises more than the block holds, bitmaps with long headers, sizes outside the
// 16-bit range. Blocks are allocated to their exact size, so the sanitizer run catches any
// read past them.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <vexa/image_bank.h>
#include <vexa/surface_object.h>

#include "support/bank_fixture.h"
#include "support/surface_factory.h"

namespace {

using testsupport::RawPixel;

using testsupport::BankPtr;
using testsupport::NewBank;

// A packed bitmap: a header of headerSize bytes (the 40 common fields, then zeros or colour
// masks), then `tail` (colour table and rows), in a block of exactly that size.
struct PackedDib {
  std::unique_ptr<std::uint8_t[]> block;
  std::size_t size = 0;
  const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(block.get()); }
};

PackedDib MakePackedDib(std::uint32_t headerSize, int width, int height, int bits,
                        std::uint32_t compression, std::uint32_t sizeImage,
                        const std::vector<std::uint32_t>& masks,
                        const std::vector<std::uint8_t>& tail) {
  std::vector<std::uint8_t> bytes(headerSize, 0);
  BITMAPINFOHEADER h{headerSize, width, height, 1, static_cast<WORD>(bits), compression, sizeImage,
                     0,          0,     0,      0};
  std::memcpy(bytes.data(), &h, sizeof(h));
  for (std::size_t i = 0; i < masks.size(); ++i) {
    const std::size_t at = sizeof(h) + 4 * i;
    if (at + 4 > bytes.size()) bytes.resize(at + 4, 0);
    std::memcpy(bytes.data() + at, &masks[i], 4);
  }
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  PackedDib dib;
  dib.size = bytes.size();
  dib.block = std::make_unique<std::uint8_t[]>(dib.size);
  std::memcpy(dib.block.get(), bytes.data(), dib.size);
  return dib;
}

TEST(BankRobustness, BitmapRowsMustFitTheStatedImageSize) {
  BankPtr bank = NewBank(8);
  ASSERT_TRUE(bank);
  // 64 x 64 at 32 bits needs 16 KiB of rows; the header says 16 bytes follow, and they do.
  const PackedDib shortBlock =
      MakePackedDib(40, 64, 64, 32, 0, 16, {}, std::vector<std::uint8_t>(16, 0x55));
  ASSERT_EQ(shortBlock.size, 56u);
  EXPECT_EQ(AddImageFromDIB(bank.get(), nullptr, shortBlock.info(), 0, 0), 0);
  EXPECT_EQ(GetEntryCount(bank.get(), kListImages), 0) << "a refused bitmap adds nothing";

  // One byte short of the last row is refused as well; the exact size and an unstated size
  // (0, the caller vouches for the rows) are read.
  const std::vector<std::uint8_t> rows(2 * 8, 0x11);  // 2 x 2 at 24 bits: 8-byte rows
  EXPECT_EQ(AddImageFromDIB(bank.get(), nullptr,
                            MakePackedDib(40, 2, 2, 24, 0, 15, {}, rows).info(), 0, 0),
            0);
  EXPECT_NE(AddImageFromDIB(bank.get(), nullptr,
                            MakePackedDib(40, 2, 2, 24, 0, 16, {}, rows).info(), 0, 0),
            0);
  EXPECT_NE(AddImageFromDIB(bank.get(), nullptr, MakePackedDib(40, 2, 2, 24, 0, 0, {}, rows).info(),
                            0, 0),
            0);
}

TEST(BankRobustness, LongHeadersHoldTheirColorMasks) {
  BankPtr bank = NewBank(7);
  ASSERT_TRUE(bank);
  const std::vector<std::uint32_t> masks565 = {0xF800, 0x07E0, 0x001F};
  for (std::uint32_t headerSize : {52u, 56u, 108u, 124u}) {
    SCOPED_TRACE(headerSize);
    // 1 x 1: the block ends right after the one padded row.
    const PackedDib one = MakePackedDib(headerSize, 1, 1, 16, 3, 0, masks565, {0x34, 0x12, 0, 0});
    const int n = AddImageFromDIB(bank.get(), nullptr, one.info(), 0, 0);
    ASSERT_NE(n, 0);
    cSurfaceObject s;
    ASSERT_EQ(GetImageSurface(bank.get(), n, &s, 0), 1);
    EXPECT_EQ(RawPixel(*s.implementation, 0, 0), 0x1234u);

    // The rows start after the whole header, not after the masks inside it.
    const PackedDib two =
        MakePackedDib(headerSize, 2, 1, 16, 3, 0, masks565, {0x78, 0x56, 0xCD, 0xAB});
    const int m = AddImageFromDIB(bank.get(), nullptr, two.info(), 0, 0);
    ASSERT_NE(m, 0);
    ASSERT_EQ(GetImageSurface(bank.get(), m, &s, 0), 1);
    EXPECT_EQ(RawPixel(*s.implementation, 0, 0), 0x5678u);
    EXPECT_EQ(RawPixel(*s.implementation, 1, 0), 0xABCDu);
  }
  // Masks the formats cannot hold are still refused in a long header.
  EXPECT_EQ(AddImageFromDIB(
                bank.get(), nullptr,
                MakePackedDib(108, 1, 1, 16, 3, 0, {0xF00, 0xF0, 0xF}, {0, 0, 0, 0}).info(), 0, 0),
            0);
}

TEST(BankRobustness, ImageSizesOutsideSixteenBitsAreRefused) {
  BankPtr bank = NewBank(8);
  ASSERT_TRUE(bank);
  // Null data adds an image of no pixels, so the sizes alone decide.
  for (int bad : {0, -5, -65536, 65536, 65541, 0x7FFFFFFF, static_cast<int>(0x80000000u)}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(AddImage(bank.get(), bad, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr), 0);
    EXPECT_EQ(AddImage(bank.get(), 1, bad, 0, 0, 0, 0, 0, 0, nullptr, nullptr), 0);
  }
  EXPECT_EQ(GetEntryCount(bank.get(), kListImages), 0);
  const int n = AddImage(bank.get(), 65535, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
  ASSERT_NE(n, 0);
  ImageInfo info{};
  ASSERT_EQ(GetImageInfo(bank.get(), n, &info), 1);
  EXPECT_EQ(info.width, 65535);
  EXPECT_EQ(info.height, 1);
}

}  // namespace
