// Adding images in every supplied form and storing them in every form: each must draw the
// same pixels. Also the row sizes, conversions, colour keys, information records, bitmaps and
// the refusal of damaged or oversized data.
#include <gtest/gtest.h>

#include <lz4.h>

#include <cstring>
#include <random>
#include <vector>

#include <vexa/blit.h>
#include <vexa/collision_mask.h>
#include <vexa/image_bank.h>
#include <vexa/image_surface.h>
#include <vexa/palette.h>
#include <vexa/surface_object.h>

#include "bank/image_layout.h"
#include "pixels/pixel_format.h"
#include "support/bank_fixture.h"
#include "support/surface_factory.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using testsupport::BankPtr;
using testsupport::MakeSurface;
using testsupport::NewBank;
using testsupport::RawPixel;

constexpr int kModes[] = {3, 6, 7, 4, 8};

int Bpp(int mode) { return vexa::ModeBytesPerPixel(mode); }
std::int64_t RowBytes(int mode, int w) { return vexa::ImageRowBytes(mode, w); }

// Plain rows of random pixels in the bank layout, about a third of them 0 (the colour key of
// colour 0 in every format), in runs long enough to exercise split runs.
Bytes RandomImage(int mode, int w, int h, std::mt19937& rng) {
  Bytes rows(static_cast<size_t>(RowBytes(mode, w) * h), 0);
  const int bpp = Bpp(mode);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool clear = ((x / 7 + y) % 3) == 0 || (y % 5 == 0 && x < 300);
      std::uint32_t v = clear ? 0 : (rng() | 1);
      if (bpp == 2 && !clear && (v & 0xFFFF) == 0) v = 1;
      std::memcpy(&rows[static_cast<size_t>(RowBytes(mode, w) * y + x * bpp)], &v,
                  static_cast<size_t>(bpp));
    }
  }
  return rows;
}

// The pixel stream of plain rows (no padding), as packets: runs of equal pixels, literals.
Bytes EncodePackets(const Bytes& rows, int mode, int w, int h) {
  const int bpp = Bpp(mode);
  std::vector<Bytes> pixels;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const auto* p = &rows[static_cast<size_t>(RowBytes(mode, w) * y + x * bpp)];
      pixels.emplace_back(p, p + bpp);
    }
  }
  Bytes out;
  size_t i = 0;
  while (i < pixels.size()) {
    size_t run = 1;
    while (i + run < pixels.size() && run < 127 && pixels[i + run] == pixels[i]) ++run;
    if (run >= 3) {
      out.push_back(static_cast<std::uint8_t>(run));
      out.insert(out.end(), pixels[i].begin(), pixels[i].end());
      i += run;
      continue;
    }
    size_t literal = 0;
    while (i + literal < pixels.size() && literal < 127) ++literal;
    out.push_back(static_cast<std::uint8_t>(0x80 | literal));
    for (size_t k = 0; k < literal; ++k)
      out.insert(out.end(), pixels[i + k].begin(), pixels[i + k].end());
    i += literal;
  }
  out.push_back(0);
  return out;
}

void PutU32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// The compressed stored form: byte count, then the uncompressed size and one LZ4 block.
Bytes CompressedForm(const Bytes& plain, std::uint32_t statedSize) {
  Bytes packed(static_cast<size_t>(LZ4_compressBound(static_cast<int>(plain.size()))));
  const int n = LZ4_compress_default(
      reinterpret_cast<const char*>(plain.data()), reinterpret_cast<char*>(packed.data()),
      static_cast<int>(plain.size()), static_cast<int>(packed.size()));
  Bytes form;
  PutU32(form, static_cast<std::uint32_t>(n + 4));
  PutU32(form, statedSize);
  form.insert(form.end(), packed.begin(), packed.begin() + n);
  return form;
}
Bytes CompressedForm(const Bytes& plain) {
  return CompressedForm(plain, static_cast<std::uint32_t>(plain.size()));
}

// Data with the 32-bit byte count of the sized-data flag in front.
Bytes Sized(const Bytes& data, std::uint32_t count) {
  Bytes out;
  PutU32(out, count);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

int Add(ImageBank* bank, int w, int h, std::uint32_t flags, const void* data, COLORREF key = 0,
        const LOGPALETTE* palette = nullptr) {
  return AddImage(bank, w, h, 0, 0, 0, 0, key, flags, data, palette);
}

ImageInfo Info(ImageBank* bank, int n) {
  ImageInfo info{};
  EXPECT_EQ(GetImageInfo(bank, n, &info), 1);
  return info;
}

// Raw pixels of image n drawn in `mode` at (1, 1) on a patterned background of its depth.
std::vector<std::uint32_t> Drawn(ImageBank* bank, int n, int drawMode, int w, int h) {
  cSurfaceObject image;
  if (!GetImageSurface(bank, n, &image, kImageSurfaceInPlace)) return {};
  auto target = MakeSurface(image.GetDepth(), w + 2, h + 2);
  PixelDescriptor& t = *target->implementation;
  for (int y = 0; y < t.height; ++y)
    for (int x = 0; x < t.width; ++x) testsupport::SetRawPixel(t, x, y, 0x5A5A5A5Au ^ (x * 31 + y));
  EXPECT_EQ(image.Blit(target.get(), 1, 1, drawMode, 0, 0, 0), 1);
  std::vector<std::uint32_t> out;
  for (int y = 0; y < t.height; ++y)
    for (int x = 0; x < t.width; ++x) out.push_back(RawPixel(t, x, y));
  return out;
}

std::uint32_t PacketFlag(int mode) {
  return Bpp(mode) == 1 ? kAddPackets8 : Bpp(mode) == 2 ? kAddPackets16 : kAddPackets24;
}

TEST(BankImageLayout, RowSizesOfEveryFormat) {
  // Width 3: 8 bits round to even, 24 bits pad the pixel count to even, no 4-byte padding.
  EXPECT_EQ(GetImageDataSize(3, 1, 3), 4);
  EXPECT_EQ(GetImageDataSize(3, 1, 4), 12);
  EXPECT_EQ(GetImageDataSize(3, 1, 6), 6);
  EXPECT_EQ(GetImageDataSize(3, 1, 7), 6);
  EXPECT_EQ(GetImageDataSize(3, 1, 8), 12);
  EXPECT_EQ(GetImageDataSize(3, 1, 2), 2);
  EXPECT_EQ(GetImageDataSize(5, 2, 2), 8);
  EXPECT_EQ(GetImageDataSize(2, 1, 4), 6);
  EXPECT_EQ(GetImageDataSize(3, 2, 3 | kAddAlphaPlane), 8 + 8) << "alpha rows of 4";
  EXPECT_EQ(GetImageDataSize(5, 1, 8 | kAddAlphaPlane), 20 + 8);
  EXPECT_EQ(GetImageDataSize(3, 1, 1), 0) << "1-bit pixels have no layout";
  EXPECT_EQ(GetImageDataSize(3, 1, 0), 0);
  EXPECT_EQ(GetImageDataSize(65535, 65535, 8), 0) << "17 GB does not fit";
  EXPECT_EQ(GetImageDataSize(65535, 65535, 3), 0);
  EXPECT_EQ(GetImageDataSize(-1, 5, 8), 0);
}

TEST(BankImageStorage, EveryFormDrawsTheSamePixels) {
  std::mt19937 rng(1234);
  for (int mode : kModes) {
    SCOPED_TRACE(testing::Message() << "mode " << mode);
    BankPtr bank = NewBank(mode);
    const int w = 301, h = 9;  // rows longer than 255 pixels split their runs
    const Bytes rows = RandomImage(mode, w, h, rng);
    const Bytes form = CompressedForm(rows);
    const int plain = Add(bank.get(), w, h, 0, rows.data());
    ASSERT_NE(plain, 0);
    EXPECT_EQ(Info(bank.get(), plain).flags, 0);
    struct Case {
      const char* name;
      std::uint32_t flags;
      const Bytes* data;
      std::uint8_t storedFlags;
    };
    const Bytes packets = EncodePackets(rows, mode, w, h);
    const std::vector<Case> cases = {
        {"run-length", kAddRunLength, &rows, kImageRunLength},
        {"lz4", kAddCompress, &rows, kImageCompressed},
        {"form kept", kAddCompressedForm | kAddCompress, &form, kImageCompressed},
        {"form opened", kAddCompressedForm, &form, 0},
        {"form to run-length", kAddCompressedForm | kAddRunLength, &form, kImageRunLength},
        {"packets", PacketFlag(mode), &packets, 0},
        {"packets to lz4", PacketFlag(mode) | kAddCompress, &packets, kImageCompressed},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      if (c.data == &packets && mode == 8) continue;  // no 4-byte packet form
      const int n =
          Add(bank.get(), w, h, c.flags | static_cast<std::uint32_t>(mode), c.data->data());
      ASSERT_NE(n, 0);
      EXPECT_EQ(Info(bank.get(), n).flags, c.storedFlags);
      for (int drawMode : {kModeTransparent, kModeOpaque}) {
        const auto expected = Drawn(bank.get(), plain, drawMode, w, h);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(Drawn(bank.get(), n, drawMode, w, h), expected) << "draw mode " << drawMode;
      }
    }
    // The kept form is stored byte for byte, and de-duplicates against itself.
    const int kept = Add(bank.get(), w, h, kAddCompressedForm | kAddCompress, form.data());
    const auto* entry = reinterpret_cast<const ImageEntryHeader*>(GetEntry(bank.get(), 0, kept));
    ASSERT_EQ(entry->entry.dataSize, form.size() - 4);
    EXPECT_EQ(std::memcmp(entry->Data(), form.data() + 4, form.size() - 4), 0);
    // Our own LZ4 storage uses the same compressor, so the first equal entry may be either.
    const int shared =
        Add(bank.get(), w, h, kAddCompressedForm | kAddCompress | kAddDeduplicate, form.data());
    ASSERT_NE(shared, 0);
    EXPECT_LT(shared, kept + 1);
    EXPECT_EQ(Info(bank.get(), shared).checksum, Info(bank.get(), kept).checksum);
    EXPECT_EQ(Info(bank.get(), shared).refCount, 2u);
    EXPECT_EQ(GetEntry(bank.get(), 0, kept + 1), nullptr) << "the new entry was released";
  }
}

TEST(BankImageStorage, RunLengthFormIsSmallerForSparseImagesAndUsesTheKey) {
  BankPtr bank = NewBank(8);
  std::vector<std::uint32_t> pixels(64 * 64, 0x00FF00FF);  // the key, magenta, in BGRX
  for (int i = 0; i < 64; ++i) pixels[static_cast<size_t>(i * 64 + i)] = 0x00123456;
  const int n = Add(bank.get(), 64, 64, kAddRunLength, pixels.data(), 0xFF00FF);
  const ImageInfo info = Info(bank.get(), n);
  EXPECT_EQ(info.flags, kImageRunLength);
  EXPECT_LT(info.dataSize, 64u * 64u * 4u / 4u);
  // An alpha plane, or compression, keeps the image out of the run-length form.
  std::vector<std::uint8_t> withAlpha(64 * 64 * 4 + 64 * 64, 0);
  EXPECT_EQ(
      Info(bank.get(), Add(bank.get(), 64, 64, kAddRunLength | kAddAlphaPlane, withAlpha.data()))
          .flags,
      kImageAlphaPlane);
  EXPECT_EQ(
      Info(bank.get(), Add(bank.get(), 64, 64, kAddRunLength | kAddCompress, pixels.data())).flags,
      kImageCompressed);
}

TEST(BankImageStorage, AlphaPlaneTravelsWithEveryForm) {
  BankPtr bank = NewBank(8);
  const int w = 5, h = 3;
  Bytes data(static_cast<size_t>(w * h * 4 + 8 * h));
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 37 + 1);
  const Bytes form = CompressedForm(data);
  for (std::uint32_t flags :
       {0u, kAddCompress, kAddCompressedForm, kAddCompressedForm | kAddCompress}) {
    const Bytes& in = (flags & kAddCompressedForm) ? form : data;
    const int n = Add(bank.get(), w, h, flags | kAddAlphaPlane, in.data());
    ASSERT_NE(n, 0) << flags;
    EXPECT_TRUE(Info(bank.get(), n).flags & kImageAlphaPlane);
    cSurfaceObject s;
    ASSERT_EQ(GetImageSurface(bank.get(), n, &s, 0), 1);
    ASSERT_TRUE(s.HasAlpha());
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        EXPECT_EQ(s.GetAlphaPointer()[y * s.GetAlphaPitch() + x],
                  data[static_cast<size_t>(w * h * 4 + 8 * y + x)]);
  }
}

// RGBA data: pixels (B, G, R, A) for 0x8000, (R, G, B, A) for 0x2000.
TEST(BankImageStorage, RgbaRulesOfCompressedData) {
  const Bytes rgba = {0x11, 0x22, 0x33, 0x00, 0x44, 0x55, 0x66, 0x80,
                      0x77, 0x88, 0x99, 0xFF, 0xAA, 0xBB, 0xCC, 0x00};
  const COLORREF key = 0x0000FF;  // red
  struct Case {
    std::uint32_t flags;
    std::vector<std::uint32_t> pixels;  // as read back: 0x00RRGGBB
    std::vector<std::uint8_t> alpha;
  };
  const std::vector<Case> cases = {
      {kAddAlphaInPixels, {0xFF0000, 0x665544, 0x998877, 0xFF0000}, {}},
      {kAddSwapRedBlue, {0xFF0000, 0x445566, 0x778899, 0xFF0000}, {}},
      {kAddAlphaInPixels | kAddAlphaPlane,
       {0x332211, 0x665544, 0x998877, 0xCCBBAA},
       {0, 0x80, 0xFF, 0}},
      {kAddSwapRedBlue | kAddAlphaPlane,
       {0x112233, 0x445566, 0x778899, 0xAABBCC},
       {0, 0x80, 0xFF, 0}},
  };
  BankPtr bank = NewBank(8);
  for (const Case& c : cases) {
    for (std::uint32_t keep : {0u, kAddCompress}) {
      SCOPED_TRACE(testing::Message() << std::hex << c.flags << " " << keep);
      // With an alpha plane the data may hold the pixels alone: the plane comes from them.
      const Bytes form = CompressedForm(rgba);
      const int n = AddImage(bank.get(), 2, 2, 0, 0, 0, 0, key, c.flags | keep | kAddCompressedForm,
                             form.data(), nullptr);
      ASSERT_NE(n, 0);
      cSurfaceObject s;
      ASSERT_EQ(GetImageSurface(bank.get(), n, &s, 0), 1);
      for (int i = 0; i < 4; ++i)
        EXPECT_EQ(RawPixel(*s.implementation, i % 2, i / 2), c.pixels[static_cast<size_t>(i)]) << i;
      ASSERT_EQ(s.HasAlpha() != 0, !c.alpha.empty());
      for (size_t i = 0; i < c.alpha.size(); ++i)
        EXPECT_EQ(s.GetAlphaPointer()[(i / 2) * static_cast<size_t>(s.GetAlphaPitch()) + i % 2],
                  c.alpha[i]);
    }
  }
  // The rules need 4-byte pixels: kept as it is in a 24-bit bank they are refused, opened and
  // converted they work.
  BankPtr bank24 = NewBank(4);
  const Bytes form = CompressedForm(rgba);
  EXPECT_EQ(
      Add(bank24.get(), 2, 2, kAddAlphaInPixels | kAddCompressedForm | kAddCompress, form.data()),
      0);
  EXPECT_NE(Add(bank24.get(), 2, 2, 8 | kAddAlphaInPixels | kAddCompressedForm, form.data()), 0);
}

TEST(BankImageConversion, SuppliedFormatsAndPalettes) {
  // 32-bit pixels into a 16-bit bank.
  BankPtr bank16 = NewBank(7);
  const std::uint32_t bgrx[2] = {0x00FF8040, 0x00000000};
  const int n = Add(bank16.get(), 2, 1, 8, bgrx);
  cSurfaceObject s;
  ASSERT_EQ(GetImageSurface(bank16.get(), n, &s, 0), 1);
  EXPECT_EQ(s.GetDepth(), 16);
  EXPECT_EQ(RawPixel(*s.implementation, 0, 0), vexa::ColorTo565(vexa::SwapRedBlue(0xFF8040)));

  // 8-bit pixels with their own palette into a 32-bit bank.
  LOGPALETTE256 palette{0x300, 256, {}};
  palette.palPalEntry[1] = PALETTEENTRY{0x10, 0x20, 0x30, 0};
  palette.palPalEntry[2] = PALETTEENTRY{0xF0, 0xE0, 0xD0, 0};
  const auto* record = reinterpret_cast<const LOGPALETTE*>(&palette);
  BankPtr bank32 = NewBank(8);
  const std::uint8_t indexes[4] = {1, 2, 0, 0};
  const int m = Add(bank32.get(), 2, 1, 3, indexes, 0, record);
  ASSERT_EQ(GetImageSurface(bank32.get(), m, &s, 0), 1);
  EXPECT_EQ(RawPixel(*s.implementation, 0, 0), 0x102030u);
  EXPECT_EQ(RawPixel(*s.implementation, 1, 0), 0xF0E0D0u);

  // The same into an 8-bit bank: each index moves to the nearest colour of the bank palette.
  BankPtr bank8 = NewBank(3);
  const int k = Add(bank8.get(), 2, 1, 3, indexes, 0, record);
  ASSERT_EQ(GetImageSurface(bank8.get(), k, &s, 0), 1);
  for (int x = 0; x < 2; ++x) {
    const PALETTEENTRY e = palette.palPalEntry[indexes[x]];
    EXPECT_EQ(RawPixel(*s.implementation, x, 0),
              static_cast<std::uint32_t>(
                  GetNearestIndex(bank8->palette, e.peRed | e.peGreen << 8 | e.peBlue << 16)));
  }

  // 4-bit pixels (high nibble first) widen to indexes.
  const std::uint8_t nibbles[4] = {0x1F, 0x30, 0xAB, 0xC0};  // rows of 2 bytes, width 3
  const int f = Add(bank8.get(), 3, 2, 2, nibbles);
  ASSERT_EQ(GetImageSurface(bank8.get(), f, &s, 0), 1);
  const std::uint32_t wide[6] = {1, 15, 3, 10, 11, 12};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(RawPixel(*s.implementation, i % 3, i / 3), wide[i]);
}

TEST(BankImages, HeaderFieldsAndColorKeys) {
  BankPtr bank15 = NewBank(6);
  EXPECT_EQ(AddImage(bank15.get(), 0x10003, 2, 0, 0, 0, 0, 0, 0, nullptr, nullptr), 0)
      << "a size beyond 16 bits is refused, not cut to its low bits";
  const int n =
      AddImage(bank15.get(), 3, 2, 0x18000, -1, 7, 0x12345, 0x123456, 0, nullptr, nullptr);
  ASSERT_NE(n, 0);
  ImageInfo info = Info(bank15.get(), n);
  EXPECT_EQ(info.width, 3);
  EXPECT_EQ(info.height, 2);
  EXPECT_EQ(info.format, 6);
  EXPECT_EQ(info.hotSpotX, -32768);
  EXPECT_EQ(info.hotSpotY, -1);
  EXPECT_EQ(info.actionPointX, 7);
  EXPECT_EQ(info.actionPointY, 0x2345);
  EXPECT_EQ(info.transparentColor, 0x103050u);
  EXPECT_EQ(info.checksum, 0u) << "no pixels supplied, no checksum";
  EXPECT_EQ(info.dataSize, 12u);
  EXPECT_EQ(info.refCount, 1u);

  BankPtr bank16 = NewBank(7);
  EXPECT_EQ(
      Info(bank16.get(), AddImage(bank16.get(), 1, 1, 0, 0, 0, 0, 0x123456, 0, nullptr, nullptr))
          .transparentColor,
      0x103450u);
  BankPtr bank8 = NewBank(3);
  const COLORREF asked = 0x405060;
  const int nearest = GetNearestIndex(bank8->palette, asked);
  const PALETTEENTRY e = bank8->palette->entries[nearest];
  EXPECT_EQ(Info(bank8.get(), AddImage(bank8.get(), 1, 1, 0, 0, 0, 0, asked, 0, nullptr, nullptr))
                .transparentColor,
            static_cast<COLORREF>(e.peRed | e.peGreen << 8 | e.peBlue << 16));

  EXPECT_EQ(AddImage(nullptr, 1, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr), 0);
  EXPECT_EQ(AddImage(bank8.get(), 0x10000, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr), 0);
  EXPECT_EQ(AddImage(bank8.get(), 1, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr), 0);
}

TEST(BankImages, TransformedInfo) {
  BankPtr bank = NewBank(8);
  const int n = AddImage(bank.get(), 10, 20, 3, 4, 5, 6, 0, 0, nullptr, nullptr);
  ImageInfo info{};
  ASSERT_EQ(GetImageTransformedInfo(bank.get(), n, 0.0f, 2.0f, 1.5f, &info), 1);
  EXPECT_EQ(info.width, 20);
  EXPECT_EQ(info.height, 30);
  EXPECT_EQ(info.hotSpotX, 6);
  EXPECT_EQ(info.hotSpotY, 6);
  EXPECT_EQ(info.actionPointX, 10);
  EXPECT_EQ(info.actionPointY, 9);
  // A quarter turn about the hot spot (3, 4): corners (-3, -4) .. (7, 16) turn to (y, -x), a
  // 20 x 10 box from (-4, -7); the hot spot lands on (4, 7), the action point (2, 2) from it
  // on (2, -2) + (4, 7).
  ASSERT_EQ(GetImageTransformedInfo(bank.get(), n, 90.0f, 1.0f, 1.0f, &info), 1);
  EXPECT_EQ(info.width, 20);
  EXPECT_EQ(info.height, 10);
  EXPECT_EQ(info.hotSpotX, 4);
  EXPECT_EQ(info.hotSpotY, 7);
  EXPECT_EQ(info.actionPointX, 6);
  EXPECT_EQ(info.actionPointY, 5);
  EXPECT_EQ(GetImageTransformedInfo(bank.get(), n + 1, 0.0f, 1.0f, 1.0f, &info), 0);
}

// Damaged or oversized data fails with 0 and leaves the bank as it was.
TEST(BankUntrustedData, RefusedCleanly) {
  BankPtr bank = NewBank(8);
  std::mt19937 rng(7);
  const Bytes rows = RandomImage(8, 4, 4, rng);
  auto refuses = [&](std::uint32_t flags, const Bytes& data, int w = 4, int h = 4) {
    const int before = GetEntryCount(bank.get(), 0);
    EXPECT_EQ(Add(bank.get(), w, h, flags, data.data()), 0) << std::hex << flags;
    EXPECT_EQ(GetEntryCount(bank.get(), 0), before);
  };
  // Compressed forms whose sizes disagree: stated size, byte count, LZ4 block.
  refuses(kAddCompressedForm, CompressedForm(rows, 63));
  refuses(kAddCompressedForm | kAddCompress, CompressedForm(rows, 65));
  Bytes shortCount = CompressedForm(rows);
  shortCount[0] = 3;
  refuses(kAddCompressedForm, shortCount);
  refuses(kAddCompressedForm | kAddCompress, shortCount);
  Bytes broken = CompressedForm(rows);
  broken[9] ^= 0xFF;
  broken.resize(broken.size() - 2);
  broken[0] = static_cast<std::uint8_t>(broken.size() - 4);
  refuses(kAddCompressedForm, broken);
  refuses(kAddCompressedForm | kAddSizedData, Sized(CompressedForm(rows), 20));
  // A few bytes that claim a 2 GB image.
  const Bytes tiny = CompressedForm(Bytes(16, 0), 65535u * 8000u * 4u);
  refuses(kAddCompressedForm, tiny, 65535, 8000);
  // Packet data: overrun, no terminator within the stated size, wrong pixel size.
  refuses(kAddPackets24, Bytes{17, 1, 2, 3, 0});
  refuses(kAddPackets24, Bytes{0x8F, 1, 2, 3, 0});
  refuses(kAddPackets24 | kAddSizedData, Sized(Bytes{3, 1, 2, 3, 0, 0, 0}, 4));
  refuses(kAddPackets8, Bytes{4, 1, 0});
  refuses(kAddPackets8 | kAddPackets16, Bytes{0});
  refuses(kAddPackets24 | kAddCompressedForm, Bytes{0, 0, 0, 0});
  // Plain data shorter than its stated size; an alpha plane that is missing.
  refuses(kAddSizedData, Sized(rows, static_cast<std::uint32_t>(rows.size() - 1)));
  refuses(kAddSizedData | kAddAlphaPlane, Sized(rows, static_cast<std::uint32_t>(rows.size())));
  // Sizes whose byte counts overflow, with and without data.
  refuses(kAddSizedData, Sized(rows, 64), 65535, 65535);
  EXPECT_EQ(AddImage(bank.get(), 65535, 65535, 0, 0, 0, 0, 0, 0, nullptr, nullptr), 0);
  // Formats without a layout.
  refuses(1, rows);
  refuses(9, rows);

  // Packets that end early leave the rest of the image 0.
  const int n = Add(bank.get(), 4, 4, kAddPackets24 | 4, Bytes{2, 1, 2, 3, 0}.data());
  cSurfaceObject s;
  ASSERT_EQ(GetImageSurface(bank.get(), n, &s, 0), 1);
  EXPECT_EQ(RawPixel(*s.implementation, 1, 0), 0x030201u);
  EXPECT_EQ(RawPixel(*s.implementation, 2, 0), 0u);
}

TEST(BankUntrustedData, DamagedEntriesGiveNoSurface) {
  BankPtr bank = NewBank(8);
  std::mt19937 rng(9);
  const Bytes rows = RandomImage(8, 40, 6, rng);
  // A kept form whose LZ4 block is damaged is only found out when it is opened.
  Bytes form = CompressedForm(rows);
  for (size_t i = 12; i < form.size(); i += 3) form[i] ^= 0x5A;
  const int lz4 = Add(bank.get(), 40, 6, kAddCompressedForm | kAddCompress, form.data());
  ASSERT_NE(lz4, 0);
  cSurfaceObject s;
  EXPECT_EQ(GetImageSurface(bank.get(), lz4, &s, 0), 0);
  EXPECT_FALSE(s.IsValid());

  // Run-length blocks whose offsets or size point outside the entry.
  const int rle = Add(bank.get(), 40, 6, kAddRunLength, rows.data());
  auto* image = reinterpret_cast<ImageEntryHeader*>(GetEntry(bank.get(), 0, rle));
  ASSERT_EQ(image->flags, kImageRunLength);
  ASSERT_EQ(GetImageSurface(bank.get(), rle, &s, 0), 1);
  std::uint8_t* block = image->Data();
  const Bytes saved(block, block + image->entry.dataSize);
  const std::uint32_t badOffsets[] = {0xFFFFFFF0u, image->entry.dataSize, 0x7FFFFFFFu};
  for (std::uint32_t bad : badOffsets) {
    for (int field = 0; field < 2; ++field) {
      std::memcpy(block + 4 + 8 * 3 + 4 * field, &bad, 4);
      cSurfaceObject damaged;
      EXPECT_EQ(GetImageSurface(bank.get(), rle, &damaged, 0), 0) << bad << " " << field;
      std::memcpy(block, saved.data(), saved.size());
    }
  }
  const std::uint32_t tooBig = image->entry.dataSize + 1;
  std::memcpy(block, &tooBig, 4);
  EXPECT_EQ(GetImageSurface(bank.get(), rle, &s, 1), 0);
  std::memcpy(block, saved.data(), saved.size());
  // Flags that no image can carry.
  image->flags = kImageRunLength | kImageCompressed;
  EXPECT_EQ(GetImageSurface(bank.get(), rle, &s, 0), 0);
  image->flags = kImageRunLength;
  image->format = 5;
  EXPECT_EQ(GetImageSurface(bank.get(), rle, &s, 0), 0);
  image->format = 8;
  EXPECT_EQ(GetImageSurface(bank.get(), rle, &s, 0), 1);
}

// A bitmap's pixels, rows bottom-up unless its height is negative.
struct Dib {
  std::vector<std::uint8_t> bytes;
  const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(bytes.data()); }
};
Dib MakeDib(int w, int h, int bits, std::uint32_t compression,
            const std::vector<std::uint32_t>& extra, const std::vector<std::uint8_t>& pixelRows) {
  BITMAPINFOHEADER header{40, w, h, 1, static_cast<WORD>(bits), compression, 0, 0, 0, 0, 0};
  Dib d;
  d.bytes.resize(40);
  std::memcpy(d.bytes.data(), &header, 40);
  for (std::uint32_t v : extra) PutU32(d.bytes, v);
  d.bytes.insert(d.bytes.end(), pixelRows.begin(), pixelRows.end());
  return d;
}

TEST(BankImages, FromBitmaps) {
  BankPtr bank = NewBank(8);
  cSurfaceObject s;
  // 24 bits, bottom-up, rows padded to 4 bytes.
  const Dib rgb = MakeDib(1, 2, 24, 0, {}, {1, 2, 3, 0, 4, 5, 6, 0});
  const ImagePlacement at{5, -6, 7, 8};
  const int n = AddImageFromDIB(bank.get(), &at, rgb.info());
  ASSERT_NE(n, 0);
  const ImageInfo info = Info(bank.get(), n);
  EXPECT_EQ(info.hotSpotX, 5);
  EXPECT_EQ(info.hotSpotY, -6);
  EXPECT_EQ(info.actionPointY, 8);
  ASSERT_EQ(GetImageSurface(bank.get(), n, &s, 0), 1);
  EXPECT_EQ(RawPixel(*s.implementation, 0, 0), 0x060504u);
  EXPECT_EQ(RawPixel(*s.implementation, 0, 1), 0x030201u);
  EXPECT_EQ(AddImageFromDIB(bank.get(), &at, rgb.info()), n) << "the plain form de-duplicates";
  EXPECT_EQ(Info(bank.get(), n).refCount, 2u);

  // 4 bits with a 3-colour table (biClrUsed 3), top-down.
  Dib four = MakeDib(3, -1, 4, 0, {0x00112233, 0x00445566, 0x00778899}, {0x12, 0x00, 0, 0});
  const std::uint32_t used = 3;
  std::memcpy(four.bytes.data() + offsetof(BITMAPINFOHEADER, biClrUsed), &used, 4);
  const int m = AddImageFromDIB(bank.get(), nullptr, four.info(), 0, 0);
  ASSERT_NE(m, 0);
  ASSERT_EQ(GetImageSurface(bank.get(), m, &s, 0), 1);
  EXPECT_EQ(RawPixel(*s.implementation, 0, 0), 0x445566u);
  EXPECT_EQ(RawPixel(*s.implementation, 1, 0), 0x778899u);
  EXPECT_EQ(RawPixel(*s.implementation, 2, 0), 0x112233u);

  // 16 bits with 5-6-5 masks into a 16-bit bank keep their values.
  BankPtr bank16 = NewBank(7);
  const Dib masks = MakeDib(2, 1, 16, 3, {0xF800, 0x07E0, 0x001F}, {0x34, 0x12, 0xCD, 0xAB});
  const int k = AddImageFromDIB(bank16.get(), nullptr, masks.info(), 0, 0);
  ASSERT_EQ(GetImageSurface(bank16.get(), k, &s, 0), 1);
  EXPECT_EQ(RawPixel(*s.implementation, 0, 0), 0x1234u);
  EXPECT_EQ(RawPixel(*s.implementation, 1, 0), 0xABCDu);

  // The spare byte of 32-bit pixels and the top bit of 5-5-5 ones are not kept: they would
  // hide the colour key.
  const Dib spare = MakeDib(1, 1, 32, 0, {}, {0, 0, 0, 0x7F});
  const int z = AddImageFromDIB(bank.get(), nullptr, spare.info(), 0, kAddRunLength);
  EXPECT_EQ(Info(bank.get(), z).flags, kImageRunLength);
  ASSERT_EQ(GetImageSurface(bank.get(), z, &s, kImageSurfacePlain), 1);
  EXPECT_EQ(s.IsAllTransparent(), 1);
  BankPtr bank15 = NewBank(6);
  const int t = AddImageFromDIB(bank15.get(), nullptr,
                                MakeDib(1, 1, 16, 0, {}, {0x00, 0x80, 0, 0}).info(), 0, 0);
  ASSERT_EQ(GetImageSurface(bank15.get(), t, &s, 0), 1);
  EXPECT_EQ(RawPixel(*s.implementation, 0, 0), 0u);

  // Forms the bank cannot read.
  EXPECT_EQ(AddImageFromDIB(bank.get(), nullptr,
                            MakeDib(2, 1, 16, 3, {0xF00, 0xF0, 0xF}, {0, 0, 0, 0}).info()),
            0);
  EXPECT_EQ(AddImageFromDIB(bank.get(), nullptr, MakeDib(2, 1, 8, 1, {}, {0, 0, 0, 0}).info()), 0);
  EXPECT_EQ(AddImageFromDIB(bank.get(), nullptr, MakeDib(0, 1, 24, 0, {}, {}).info()), 0);
  EXPECT_EQ(AddImageFromDIB(bank.get(), nullptr, nullptr), 0);
}

}  // namespace

namespace {

TEST(BankImageMasks, BuiltOnceStoredPerKindAndReleasedWithTheImage) {
  BankPtr bank = NewBank(8);
  std::mt19937 rng(3);
  const Bytes rows = RandomImage(8, 37, 11, rng);
  const int plain = AddImage(bank.get(), 37, 11, 4, -2, 0, 0, 0, 0, rows.data(), nullptr);
  const int rle = AddImage(bank.get(), 37, 11, 4, -2, 0, 0, 0, kAddRunLength, rows.data(), nullptr);
  const int lz4 = AddImage(bank.get(), 37, 11, 4, -2, 0, 0, 0, kAddCompress, rows.data(), nullptr);
  for (std::uint32_t kind : {0u, kMaskTopEdge}) {
    SCOPED_TRACE(kind);
    const CollisionMask* reference = GetImageMask(bank.get(), plain, kind);
    ASSERT_NE(reference, nullptr);
    EXPECT_EQ(reference->width, 37);
    EXPECT_EQ(reference->height, 11);
    EXPECT_EQ(reference->hotSpotX, 4);
    EXPECT_EQ(reference->hotSpotY, -2);
    EXPECT_EQ(GetImageMask(bank.get(), plain, kind), reference) << "stored, not rebuilt";
    const int list = kind ? kListTopEdgeMasks : kListMasks;
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(reference),
              reinterpret_cast<const std::uint8_t*>(GetEntry(bank.get(), list, plain)) + 16);
    const size_t bytes = static_cast<size_t>(reference->height * reference->rowBytes);
    for (int other : {rle, lz4}) {
      const CollisionMask* mask = GetImageMask(bank.get(), other, kind);
      ASSERT_NE(mask, nullptr);
      EXPECT_EQ(std::memcmp(MaskBits(mask), MaskBits(reference), bytes), 0) << other;
    }
    // Every solid pixel of the full mask is a non-key pixel of the image.
    if (!kind) {
      for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 37; ++x) {
          std::uint32_t v = 0;
          std::memcpy(&v, &rows[static_cast<size_t>(y * 37 * 4 + x * 4)], 4);
          EXPECT_EQ(TestMaskPoint(MaskBits(reference), x, y, 37, 11), v != 0 ? 1 : 0)
              << x << "," << y;
        }
    }
  }
  EXPECT_NE(BuildImageMask(bank.get(), plain, 0), nullptr) << "rebuilding replaces the mask";
  EXPECT_EQ(DeleteImage(bank.get(), plain), 0);
  EXPECT_EQ(GetEntry(bank.get(), kListMasks, plain), nullptr);
  EXPECT_EQ(GetEntry(bank.get(), kListTopEdgeMasks, plain), nullptr);
  EXPECT_EQ(GetImageMask(bank.get(), plain, 0), nullptr);
  EXPECT_EQ(GetImageMask(nullptr, 1, 0), nullptr);
}

}  // namespace
