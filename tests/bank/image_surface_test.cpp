// Surfaces over bank images (in place, private decompressed copies, run-length with its own
// routines) and save-buffer surfaces.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <vexa/blit.h>
#include <vexa/collision_mask.h>
#include <vexa/image_bank.h>
#include <vexa/image_surface.h>
#include <vexa/library.h>
#include <vexa/palette.h>
#include <vexa/surface_object.h>

#include "pixels/kernels/run_length_form.h"
#include "pixels/pixel_format.h"
#include "support/bank_fixture.h"
#include "support/surface_factory.h"

namespace {

using testsupport::BankPtr;
using testsupport::NewBank;
using testsupport::RawPixel;

const ImageEntryHeader* Entry(ImageBank* bank, int n) {
  return reinterpret_cast<const ImageEntryHeader*>(GetEntry(bank, kListImages, n));
}

// A 300 x 4 32-bit sprite: a diagonal band of colour on the colour key 0x00FF00 (green).
std::vector<std::uint32_t> Sprite() {
  std::vector<std::uint32_t> pixels(300 * 4, 0x0000FF00);
  for (int y = 0; y < 4; ++y)
    for (int x = 10 * y; x < 10 * y + 270; ++x)
      pixels[static_cast<size_t>(y * 300 + x)] = 0x00100000u + static_cast<std::uint32_t>(x);
  return pixels;
}

int AddSprite(ImageBank* bank, std::uint32_t flags) {
  const auto pixels = Sprite();
  return AddImage(bank, 300, 4, 0, 0, 0, 0, 0x00FF00, flags | 8, pixels.data(), nullptr);
}

TEST(ImageSurface, PlainImageInPlace) {
  BankPtr bank = NewBank(7);
  const std::uint16_t pixels[6] = {1, 2, 3, 4, 5, 6};
  const int n = AddImage(bank.get(), 3, 2, 0, 0, 0, 0, 0, 0, pixels, nullptr);
  cSurfaceObject s;
  ASSERT_EQ(GetImageSurface(bank.get(), n, &s, 0), 1);
  auto* image = static_cast<cImageSurface*>(s.implementation);
  EXPECT_EQ(image->firstRow, Entry(bank.get(), n)->Data()) << "the entry's pixels, in place";
  EXPECT_EQ(image->ownsBlock, 0);
  EXPECT_EQ(image->stride, 6) << "bank rows are not padded to 4 bytes";
  EXPECT_EQ(image->GetKind(), kKindMemory);
  EXPECT_EQ(image->HasCustomPixelRoutines(), 0);
  EXPECT_EQ(image->InitFormat(32), 0);
  EXPECT_EQ(image->depth, 16);
  // Drawing on the surface changes the image itself.
  s.SetPixelColor(2, 1, 0xFFFFFF);
  std::uint16_t stored = 0;
  std::memcpy(&stored, Entry(bank.get(), n)->Data() + 6 + 4, 2);
  EXPECT_EQ(stored, 0xFFFF);

  // CreateCompatible: an owning image surface with rows padded to 32 bits.
  cSurfaceImplementation* copy = image->CreateCompatible(3, 5);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->stride, 8);
  EXPECT_EQ(static_cast<cImageSurface*>(copy)->ownsBlock, 1);
  EXPECT_EQ(copy->CreateCompatible(-1, 2), nullptr);
  copy->Delete();
}

TEST(ImageSurface, EightBitImagesUseTheBankPalette) {
  BankPtr bank = NewBank(3);
  const std::uint8_t pixels[2] = {5, 0};
  const COLORREF asked = 0x20A0E0;
  const int n = AddImage(bank.get(), 2, 1, 0, 0, 0, 0, asked, 0, pixels, nullptr);
  cSurfaceObject s;
  ASSERT_EQ(GetImageSurface(bank.get(), n, &s, 0), 1);
  EXPECT_EQ(s.GetPalette(), bank->palette);
  EXPECT_EQ(s.GetTransparentValue(),
            static_cast<std::uint32_t>(GetNearestIndex(bank->palette, asked)));
  cSurfaceImplementation* copy = s.implementation->CreateCompatible(4, 4);
  EXPECT_EQ(copy->palette, bank->palette);
  copy->Delete();
}

TEST(ImageSurface, CompressedImagesGetAPrivateCopy) {
  BankPtr bank = NewBank(8);
  const int n = AddSprite(bank.get(), kAddCompress);
  const int plain = AddSprite(bank.get(), 0);
  cSurfaceObject a, b;
  ASSERT_EQ(GetImageSurface(bank.get(), n, &a, 0), 1);
  ASSERT_EQ(GetImageSurface(bank.get(), plain, &b, 0), 1);
  auto* image = static_cast<cImageSurface*>(a.implementation);
  EXPECT_EQ(image->ownsBlock, 1);
  EXPECT_EQ(std::memcmp(image->firstRow, Entry(bank.get(), plain)->Data(), 300 * 4 * 4), 0);
  // Writing on the copy leaves the stored image alone.
  a.FillColor(0x123456);
  cSurfaceObject again;
  ASSERT_EQ(GetImageSurface(bank.get(), n, &again, 0), 1);
  EXPECT_EQ(RawPixel(*again.implementation, 0, 0), 0x100000u);
  EXPECT_EQ(RawPixel(*again.implementation, 299, 0), 0x00FF00u);
}

TEST(ImageSurface, RunLengthImages) {
  BankPtr bank = NewBank(8);
  const int n = AddSprite(bank.get(), kAddRunLength);
  const int plain = AddSprite(bank.get(), 0);
  ASSERT_EQ(Entry(bank.get(), n)->flags, kImageRunLength);
  cSurfaceObject rle, flat, copy;
  ASSERT_EQ(GetImageSurface(bank.get(), n, &rle, kImageSurfaceInPlace), 1);
  ASSERT_EQ(GetImageSurface(bank.get(), plain, &flat, 0), 1);
  EXPECT_EQ(rle.implementation->HasCustomPixelRoutines(), 1);
  EXPECT_TRUE(vexa::IsRunLengthTable(rle.implementation->pixelRoutines));
  EXPECT_EQ(rle.implementation->firstRow, Entry(bank.get(), n)->Data());

  // Mode 1 copies it into plain pixels: the transparent ones hold the key.
  ASSERT_EQ(GetImageSurface(bank.get(), n, &copy, kImageSurfacePlain), 1);
  EXPECT_EQ(copy.implementation->HasCustomPixelRoutines(), 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 300; ++x)
      ASSERT_EQ(RawPixel(*copy.implementation, x, y), RawPixel(*flat.implementation, x, y))
          << x << "," << y;

  // Its compatible surfaces are plain.
  cSurfaceImplementation* compatible = rle.implementation->CreateCompatible(8, 8);
  EXPECT_EQ(compatible->HasCustomPixelRoutines(), 0);
  EXPECT_EQ(compatible->pixelRoutines, vexa::StandardPixelRoutines(vexa::kFormat32));
  compatible->Delete();

  // Masks of the run-length surface match those of the plain one, both kinds.
  for (std::uint32_t kind : {0u, kMaskTopEdge}) {
    const int size = flat.implementation->BuildMask(nullptr, kind);
    ASSERT_GT(size, 0);
    EXPECT_EQ(rle.implementation->BuildMask(nullptr, kind), size);
    std::vector<std::uint8_t> a(static_cast<size_t>(size)), b(static_cast<size_t>(size));
    ASSERT_EQ(rle.implementation->BuildMask(reinterpret_cast<CollisionMask*>(a.data()), kind),
              size);
    ASSERT_EQ(flat.implementation->BuildMask(reinterpret_cast<CollisionMask*>(b.data()), kind),
              size);
    EXPECT_EQ(a, b) << "kind " << kind;
  }
}

// Operations that need plain pixels must not treat the run-length block as rows: they work on a
// copy or refuse, and the block stays as it was.
TEST(ImageSurface, RunLengthBlockSurvivesEveryOperation) {
  BankPtr bank = NewBank(8);
  const int n = AddSprite(bank.get(), kAddRunLength);
  const ImageEntryHeader* entry = Entry(bank.get(), n);
  const std::vector<std::uint8_t> before(entry->Data(), entry->Data() + entry->entry.dataSize);
  cSurfaceObject s;
  ASSERT_EQ(GetImageSurface(bank.get(), n, &s, 0), 1);
  auto target = testsupport::MakeSurface(32, 320, 10);
  COLORREF color = 0;
  RECT box{};
  s.GetPixelColor(5, 1, &color);
  s.SetPixelColor(5, 1, 0x010203);
  s.FillRectColor(0, 0, 10, 2, 0x445566);
  s.FlipHorizontal();
  s.FlipVertical();
  s.ReplaceColor(0x00FF00, 0xFF0000);
  s.GetOpaqueBounds(&box);
  s.IsAllTransparent();
  s.IsAllOpaque();
  s.MoveRect(1, 1, 0, 0, 5, 2);
  s.StretchBlit(target.get(), 0, 0, 600, 8, kModeTransparent, 0, 0, 0);
  s.Blit(target.get(), 0, 0, kModeTransparent, kEffectSemiTransparent, 64, kBlitAntialias);
  std::uint8_t table[256] = {};
  s.RemapPixels(table);
  s.PremultiplyAlpha();
  cSurfaceObject rotated;
  rotated.Create(300, 300, target.get());
  s.implementation->Rotate(rotated.implementation, 30.0f, 1, 0, 1);
  EXPECT_EQ(std::vector<std::uint8_t>(entry->Data(), entry->Data() + entry->entry.dataSize),
            before);
}

TEST(SaveBufferSurface, ForeignStorage) {
  std::vector<std::uint32_t> memory(4 * 3, 0);
  auto* surface = new cSaveBufferSurface();
  EXPECT_EQ(surface->AttachStorage(reinterpret_cast<std::uint8_t*>(memory.data()), 4, 3, 16), 0)
      << "unformatted";
  ASSERT_EQ(surface->InitFormat(32), 1);
  ASSERT_EQ(surface->AttachStorage(reinterpret_cast<std::uint8_t*>(memory.data()), 4, 3, 16), 1);
  EXPECT_EQ(surface->CreateCompatible(2, 2), nullptr);
  EXPECT_EQ(surface->clipRight, 4);
  surface->SetPixelColor(1, 2, 0x0000FF);
  EXPECT_EQ(memory[9], 0xFF0000u);
  // Bottom-up rows: row 0 is the last one in memory.
  ASSERT_EQ(surface->AttachStorage(reinterpret_cast<std::uint8_t*>(memory.data() + 8), 4, 3, -16),
            1);
  surface->SetPixelColor(0, 2, 0x00FF00);
  EXPECT_EQ(memory[0], 0x00FF00u);
  surface->Delete();  // the memory stays the vector's: freeing it would be a double free
  EXPECT_EQ(memory[0], 0x00FF00u);
}

}  // namespace
