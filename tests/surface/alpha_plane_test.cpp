// The alpha plane: making, attaching, filling, detaching and viewing it, and the exact
// premultiply and demultiply rules at every depth above 8 bits.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "palette/grey_palette.h"

namespace {

// A surface from the prototype of the depth and type, owned by `object`.
struct Surface {
  Surface(int width, int height, int depth, int type = kTypeMemory) {
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, depth, type, kDriverNone);
    s = object.Create(width, height, prototype);
  }
  cSurfaceImplementation* operator->() const { return s; }
  cSurfaceObject object;
  cSurfaceImplementation* s;
};

std::uint32_t Pixel(const std::uint8_t* p, int bytes) {
  std::uint32_t v = 0;
  std::memcpy(&v, p, static_cast<std::size_t>(bytes));
  return v;
}

TEST(AlphaPlane, CreateAttachAndDetach) {
  Surface surface(5, 3, 32);
  std::uint8_t* plane = surface->CreateAlpha();
  ASSERT_NE(plane, nullptr);
  EXPECT_EQ(surface->alphaPitch, 8);
  EXPECT_NE(surface->flags & kSurfaceFlagOwnsAlpha, 0u);
  EXPECT_EQ(plane[23], 0) << "a new plane is transparent";

  std::uint8_t mine[3 * 6] = {};
  surface->AttachAlpha(mine + 12, -6);  // frees the owned plane
  EXPECT_EQ(surface->alphaStorage, mine) << "the lowest address, two rows below row 0";
  EXPECT_EQ(surface->alphaStride, 6);
  EXPECT_EQ(surface->flags & kSurfaceFlagOwnsAlpha, 0u);
  surface->DeleteAlpha();  // not owned: not freed

  surface->CreateAlpha();
  int pitch = 0;
  std::uint8_t* handed = surface->DetachAlpha(&pitch);
  EXPECT_EQ(pitch, 8);
  EXPECT_EQ(surface.object.HasAlpha(), 0);
  std::free(handed);  // the caller's now
}

TEST(AlphaPlane, SetFromBufferFollowsTheSourcePitch) {
  Surface surface(3, 3, 24);
  const std::uint8_t source[12] = {10, 11, 12, 0, 20, 21, 22, 0, 30, 31, 32, 0};
  ASSERT_EQ(surface->SetAlphaFromBuffer(source + 8, -4), 3) << "makes the missing plane";
  EXPECT_EQ(surface->AlphaRow(0)[0], 30) << "pitch -4 reads the rows upwards";
  EXPECT_EQ(surface->AlphaRow(2)[2], 12);
  ASSERT_EQ(surface->SetAlphaFromBuffer(source, 0), 3);  // the plane's own pitch
  EXPECT_EQ(surface->AlphaRow(1)[0], 20);
  const std::uint8_t wide[3 * 16] = {1, 2, 3, 4, 5};
  ASSERT_EQ(surface->SetAlphaFromBuffer(wide, 16), 3);
  EXPECT_EQ(surface->AlphaRow(0)[3], 4) << "a row copies the plane's stride, no more";
  EXPECT_EQ(surface->AlphaRow(1)[0], 0);
}

TEST(AlphaPlane, AlphaSurfaceIsAViewOnThePlane) {
  Surface surface(6, 2, 16, kTypeDIBSection);
  EXPECT_EQ(surface->GetAlphaSurface(), nullptr);
  surface->CreateAlpha();
  cSurfaceObject* view = surface.object.GetAlphaSurface();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->GetDepth(), 8);
  EXPECT_EQ(view->implementation->palette, vexa::SharedGreyPalette());
  view->SetPixelValue(5, 1, 0x80);
  DeleteSurfaceObject(view);
  EXPECT_EQ(surface->AlphaRow(1)[5], 0x80) << "drawn through the view; the plane outlives it";
}

TEST(AlphaPlane, PremultiplyAndDemultiplyExactValues) {
  const std::uint8_t alphas[4] = {255, 0, 128, 1};
  struct Case {
    int depth;
    std::uint32_t pixel;  // as stored: 16-bit word, or bytes blue, green, red, fourth
    std::uint32_t premultiplied[4], demultiplied[4];
  } cases[] = {
      // 5-5-5 with bit 15 set: 31 * 128 / 255 = 15, rebuilt with bit 15 clear; back:
      // 15 x 8 = 120, 120 * 255 / 128 = 239, bits 3-7 give 29.
      {15, 0xFFFF, {0xFFFF, 0, 0x3DEF, 0}, {0xFFFF, 0, 0x77BD, 0}},
      // 5-6-5: green 63 -> 31; back 31 x 4 = 124 -> 247, bits 2-7 give 61.
      {16, 0xFFFF, {0xFFFF, 0, 0x7BEF, 0}, {0xFFFF, 0, 0xEFBD, 0}},
      // blue 200, green 100, red 50 -> 100, 50, 25 -> 199, 99, 49; alpha 1 leaves 0.
      {24, 0x3264C8, {0x3264C8, 0, 0x193264, 0}, {0x3264C8, 0, 0x3163C7, 0}},
      {32,
       0x4D3264C8,
       {0x4D3264C8, 0x4D000000, 0x4D193264, 0x4D000000},
       {0x4D3264C8, 0x4D000000, 0x4D3163C7, 0x4D000000}},  // the fourth byte stays
  };
  for (const Case& c : cases) {
    Surface surface(4, 1, c.depth);
    const int bpp = surface->bytesPerPixel;
    for (int x = 0; x < 4; ++x)
      std::memcpy(surface->Row(0) + x * bpp, &c.pixel, static_cast<std::size_t>(bpp));
    surface->SetAlphaFromBuffer(alphas, 4);
    surface.object.PremultiplyAlpha();
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(Pixel(surface->Row(0) + x * bpp, bpp), c.premultiplied[x]) << c.depth;
    surface.object.DemultiplyAlpha();
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(Pixel(surface->Row(0) + x * bpp, bpp), c.demultiplied[x]) << c.depth;
  }
}

TEST(AlphaPlane, ConversionsFollowRowsSaturateAndSkipWhatTheyCannotConvert) {
  // A bottom-up section: plane row y goes with pixel row y.
  Surface section(2, 2, 32, kTypeDIBSection);
  std::memset(section->storage, 0xFF, static_cast<std::size_t>(2 * section->stride));
  const std::uint8_t alphas[8] = {0, 255, 0, 0, 255, 0, 0, 0};
  section->SetAlphaFromBuffer(alphas, 4);
  section->PremultiplyAlpha();
  EXPECT_EQ(Pixel(section->Row(0), 4), 0xFF000000u);
  EXPECT_EQ(Pixel(section->Row(1), 4), 0xFFFFFFFFu);
  EXPECT_EQ(Pixel(section->Row(1) + 4, 4), 0xFF000000u);

  // Components above their alpha are no premultiplied colour: they saturate, never wrap.
  std::memset(section->storage, 0xC8, static_cast<std::size_t>(2 * section->stride));
  std::memset(section->AlphaRow(0), 100, 2);
  section->DemultiplyAlpha();
  EXPECT_EQ(Pixel(section->Row(0), 4), 0xC8FFFFFFu);

  // 8 bits, or no storage to lock: nothing changes.
  Surface paletted(2, 1, 8);
  paletted->Row(0)[0] = 77;
  paletted->CreateAlpha();
  paletted->PremultiplyAlpha();
  EXPECT_EQ(paletted->Row(0)[0], 77);
  Surface unlockable(1, 1, 32);
  std::memset(unlockable->firstRow, 0xFF, 4);
  unlockable->CreateAlpha();
  std::uint8_t* const pixels = unlockable->storage;
  unlockable->storage = nullptr;  // Lock fails now
  unlockable->PremultiplyAlpha();
  unlockable->storage = pixels;
  EXPECT_EQ(Pixel(unlockable->firstRow, 4), 0xFFFFFFFFu);
}

}  // namespace
