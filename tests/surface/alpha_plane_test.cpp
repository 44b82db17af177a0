// The alpha plane: creating, attaching, filling, detaching and viewing it, and the exact
// premultiply and demultiply rules at every depth above 8 bits.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <vexa/alpha_buffer_surface.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "surface/grey_palette.h"

namespace {

// A surface from the prototype of `type`, deleted with the object.
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

TEST(AlphaPlane, CreateAttachDetachDelete) {
  Surface surface(5, 3, 32);
  std::uint8_t* plane = surface->CreateAlpha();
  ASSERT_NE(plane, nullptr);
  EXPECT_EQ(surface->alphaStride, 8);
  EXPECT_EQ(surface->alphaPitch, 8);
  EXPECT_NE(surface->flags & kSurfaceFlagOwnsAlpha, 0u);
  for (int i = 0; i < 24; ++i) ASSERT_EQ(plane[i], 0) << "a new plane is transparent";
  ASSERT_NE(surface->CreateAlpha(), nullptr) << "a second plane replaces (and frees) the first";

  // The caller's plane, bottom-up: its lowest address is two rows below row 0.
  std::uint8_t mine[3 * 6] = {};
  surface->AttachAlpha(mine + 12, -6);
  EXPECT_EQ(surface->alphaFirstRow, mine + 12);
  EXPECT_EQ(surface->alphaStorage, mine);
  EXPECT_EQ(surface->alphaStride, 6);
  EXPECT_EQ(surface->flags & kSurfaceFlagOwnsAlpha, 0u);
  EXPECT_EQ(surface.object.HasAlpha(), 1);
  surface->DeleteAlpha();  // not owned: not freed
  EXPECT_EQ(surface->alphaFirstRow, nullptr);

  ASSERT_NE(surface->CreateAlpha(), nullptr);
  int pitch = 0;
  std::uint8_t* handed = surface->DetachAlpha(&pitch);
  EXPECT_EQ(pitch, 8);
  EXPECT_EQ(surface->alphaFirstRow, nullptr);
  EXPECT_EQ(surface->flags & kSurfaceFlagOwnsAlpha, 0u);
  std::free(handed);  // the caller's now
}

TEST(AlphaPlane, SetFromBufferFollowsTheSourcePitch) {
  Surface surface(3, 3, 24);
  // Source rows 0, 1, 2 at increasing addresses hold 10.., 20.., 30..; pitch -4 from the last
  // row reads them upwards.
  const std::uint8_t source[12] = {10, 11, 12, 0, 20, 21, 22, 0, 30, 31, 32, 0};
  ASSERT_EQ(surface->SetAlphaFromBuffer(source + 8, -4), 3);
  ASSERT_NE(surface->alphaFirstRow, nullptr) << "made when missing";
  EXPECT_EQ(surface->AlphaRow(0)[0], 30);
  EXPECT_EQ(surface->AlphaRow(2)[2], 12);
  // Pitch 0: the plane's own; a wider source copies only the plane's stride.
  ASSERT_EQ(surface->SetAlphaFromBuffer(source, 0), 3);
  EXPECT_EQ(surface->AlphaRow(1)[0], 20);
  const std::uint8_t wide[3 * 16] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(surface->SetAlphaFromBuffer(wide, 16), 3);
  EXPECT_EQ(surface->AlphaRow(0)[3], 4);
  EXPECT_EQ(surface->AlphaRow(1)[0], 0);
  EXPECT_EQ(surface->SetAlphaFromBuffer(nullptr, 4), 0);
}

TEST(AlphaPlane, AlphaSurfaceIsAViewOnThePlane) {
  Surface surface(6, 2, 16, kTypeDIBSection);
  EXPECT_EQ(surface->GetAlphaSurface(), nullptr);
  ASSERT_NE(surface->CreateAlpha(), nullptr);
  cSurfaceObject* view = surface.object.GetAlphaSurface();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->GetWidth(), 6);
  EXPECT_EQ(view->GetHeight(), 2);
  EXPECT_EQ(view->GetDepth(), 8);
  EXPECT_EQ(view->GetPitch(), surface->alphaPitch);
  EXPECT_EQ(view->implementation->palette, vexa::SharedGreyPalette());
  view->SetPixelValue(5, 1, 0x80);
  EXPECT_EQ(surface->AlphaRow(1)[5], 0x80) << "drawing on the view draws on the plane";
  DeleteSurfaceObject(view);
  EXPECT_NE(surface->alphaFirstRow, nullptr) << "the plane outlives its view";
  EXPECT_EQ(surface->AlphaRow(1)[5], 0x80);
}

// One pixel per alpha value 255, 0, 128 and 1, then premultiplied and demultiplied.
struct ExactCase {
  int depth;
  std::uint32_t pixel;  // as stored: 16-bit word, or blue | green << 8 | red << 16 | fourth << 24
  std::uint32_t premultiplied[4];
  std::uint32_t demultipliedAfter[4];
};

std::uint32_t LoadPixel(const std::uint8_t* p, int bytes) {
  std::uint32_t v = 0;
  std::memcpy(&v, p, static_cast<std::size_t>(bytes));
  return v;
}

TEST(AlphaPlane, PremultiplyAndDemultiplyExactValues) {
  const std::uint8_t alphas[4] = {255, 0, 128, 1};
  const ExactCase cases[] = {
      // 5-5-5, bit 15 set: 31 * 128 / 255 = 15 per field, rebuilt with bit 15 clear. Back:
      // 15 x 8 = 120, 120 * 255 / 128 = 239, bits 3-7 = 29. Alpha 1: 0 stays 0.
      {15, 0xFFFF, {0xFFFF, 0, 0x3DEF, 0}, {0xFFFF, 0, 0x77BD, 0}},
      // 5-6-5 white: red and blue 15, green 63 * 128 / 255 = 31. Back: green 31 x 4 = 124,
      // 124 * 255 / 128 = 247, bits 2-7 = 61.
      {16, 0xFFFF, {0xFFFF, 0, 0x7BEF, 0}, {0xFFFF, 0, 0xEFBD, 0}},
      // blue 200, green 100, red 50: 128 -> 100, 50, 25; back 199, 99, 49.
      // Alpha 1 -> 0, 0, 0 and back 0.
      {24, 0x3264C8, {0x3264C8, 0, 0x193264, 0}, {0x3264C8, 0, 0x3163C7, 0}},
      // The fourth byte (0x4D) is never touched.
      {32, 0x4D3264C8, {0x4D3264C8, 0x4D000000, 0x4D193264, 0x4D000000},
       {0x4D3264C8, 0x4D000000, 0x4D3163C7, 0x4D000000}},
  };
  for (const ExactCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "depth " << c.depth);
    Surface surface(4, 1, c.depth);
    const int bpp = surface->bytesPerPixel;
    for (int x = 0; x < 4; ++x) std::memcpy(surface->Row(0) + x * bpp, &c.pixel, static_cast<std::size_t>(bpp));
    ASSERT_EQ(surface->SetAlphaFromBuffer(alphas, 4), 1);
    surface.object.PremultiplyAlpha();
    for (int x = 0; x < 4; ++x) EXPECT_EQ(LoadPixel(surface->Row(0) + x * bpp, bpp), c.premultiplied[x]) << x;
    surface.object.DemultiplyAlpha();
    for (int x = 0; x < 4; ++x) EXPECT_EQ(LoadPixel(surface->Row(0) + x * bpp, bpp), c.demultipliedAfter[x]) << x;
  }
}

TEST(AlphaPlane, DemultiplySaturatesComponentsAboveTheirAlpha) {
  // Components larger than alpha are not premultiplied colours; they become full intensity
  // rather than wrapping to a darker value.
  Surface surface(1, 1, 32);
  const std::uint8_t pixel[4] = {200, 150, 100, 9};  // blue 200 / 100 -> 510
  std::memcpy(surface->Row(0), pixel, 4);
  const std::uint8_t alpha = 100;
  surface->SetAlphaFromBuffer(&alpha, 1);
  surface->DemultiplyAlpha();
  EXPECT_EQ(LoadPixel(surface->Row(0), 4), 0x09FFFFFFu);

  Surface packed(1, 1, 16);
  const std::uint16_t white = 0xFFFF;
  std::memcpy(packed->Row(0), &white, 2);
  packed->SetAlphaFromBuffer(&alpha, 1);
  packed->DemultiplyAlpha();
  EXPECT_EQ(LoadPixel(packed->Row(0), 2), 0xFFFFu);
}

TEST(AlphaPlane, ConversionsFollowRowsAndSkipWhatTheyCannotConvert) {
  // A bottom-up section: row y of the plane goes with row y of the pixels.
  Surface section(2, 2, 32, kTypeDIBSection);
  std::memset(section->storage, 0xFF, static_cast<std::size_t>(2 * section->stride));
  const std::uint8_t alphas[2 * 4] = {0, 255, 0, 0, 255, 0, 0, 0};
  section->SetAlphaFromBuffer(alphas, 4);
  section->PremultiplyAlpha();
  EXPECT_EQ(LoadPixel(section->Row(0), 4), 0xFF000000u);
  EXPECT_EQ(LoadPixel(section->Row(0) + 4, 4), 0xFFFFFFFFu);
  EXPECT_EQ(LoadPixel(section->Row(1), 4), 0xFFFFFFFFu);
  EXPECT_EQ(LoadPixel(section->Row(1) + 4, 4), 0xFF000000u);

  // 8 bits, no plane, or no storage to lock: nothing happens.
  Surface paletted(2, 1, 8);
  paletted->Row(0)[0] = 77;
  paletted->CreateAlpha();
  paletted->PremultiplyAlpha();
  paletted->DemultiplyAlpha();
  EXPECT_EQ(paletted->Row(0)[0], 77);
  Surface planeless(1, 1, 24);
  planeless->Row(0)[0] = 77;
  planeless->PremultiplyAlpha();
  EXPECT_EQ(planeless->Row(0)[0], 77);
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
  cSurfaceImplementation* unlockable = prototype->implementation->CreateCompatible(1, 1);
  ASSERT_NE(unlockable, nullptr);
  std::memset(unlockable->firstRow, 0xFF, 4);
  unlockable->CreateAlpha();  // alpha 0 everywhere
  std::uint8_t* const pixels = unlockable->storage;
  unlockable->storage = nullptr;  // Lock now fails
  unlockable->PremultiplyAlpha();
  unlockable->storage = pixels;
  EXPECT_EQ(LoadPixel(unlockable->firstRow, 4), 0xFFFFFFFFu);
  unlockable->Delete();
}

}  // namespace
