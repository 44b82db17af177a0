// Memory surfaces made through the prototypes and the public object as callers make them:
// row layout, storage replacement, files, row direction, grey views and shared palettes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <unistd.h>

#include <vexa/alpha_buffer_surface.h>
#include <vexa/buffer_surface.h>
#include <vexa/dib_section_surface.h>
#include <vexa/library.h>
#include <vexa/stream.h>
#include <vexa/surface_object.h>

#include "frame/library_state.h"
#include "palette/grey_palette.h"
#include "palette/palette_registry.h"

namespace {

constexpr int kDepths[] = {8, 15, 16, 24, 32};
constexpr COLORREF kNearGrey = 0x3F4143;

cSurfaceImplementation* Prototype(int depth, int type = kTypeMemory) {
  cSurfaceObject* prototype = nullptr;
  EXPECT_EQ(GetPrototype(&prototype, depth, type, kDriverNone), 1);
  return prototype->implementation;
}

std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

TEST(BufferSurface, StrideAndAlignmentOfEveryFormat) {
  const int strides33[] = {36, 68, 68, 100, 132};  // width 33 at 8, 15, 16, 24, 32 bits
  for (int f = 0; f < 5; ++f) {
    for (int w : {1, 2, 3, 33}) {
      cSurfaceImplementation* s = Prototype(kDepths[f])->CreateCompatible(w, 3);
      ASSERT_NE(s, nullptr) << "depth " << kDepths[f] << " width " << w;
      EXPECT_EQ(s->stride % 4, 0);
      EXPECT_GE(s->stride, w * s->bytesPerPixel);
      if (w == 33) {
        EXPECT_EQ(s->stride, strides33[f]) << "depth " << kDepths[f];
      }
      EXPECT_EQ(s->pitch, s->stride) << "buffers are top-down";
      EXPECT_EQ(Address(s->firstRow) % 8, 0u);
      EXPECT_LE(s->firstRow - s->storage, 7);
      s->Row(2)[s->stride - 1] = 0xAB;  // the last byte of the last row lies in the block
      s->Delete();
    }
  }
}

TEST(BufferSurface, CreateKeepsTheOldStorageWhenItFails) {
  cSurfaceImplementation* s = Prototype(32)->CreateCompatible(5, 5);
  ASSERT_NE(s, nullptr);
  s->SetPixelColor(4, 4, 0x123456);
  std::uint8_t* const oldRow = s->firstRow;
  EXPECT_EQ(s->Create(0x7FFFFFFF, 0x7FFFFFFF), 0);  // beyond 2 GiB
  EXPECT_EQ(s->Create(0x20000000, 1), 0);           // a stride beyond 32 bits
  EXPECT_EQ(s->Create(-1, 5), 0);
  EXPECT_EQ(s->CreateCompatible(-3, 2), nullptr);
  EXPECT_EQ(s->firstRow, oldRow);
  COLORREF c = 0;
  ASSERT_EQ(s->GetPixelColor(4, 4, &c), 1);
  EXPECT_EQ(c, 0x123456u);

  s->Delete();

  // Success: the new size, a full clip rectangle, and no alpha plane (it no longer fits).
  s = Prototype(15)->CreateCompatible(4, 4);
  s->SetClipRect(1, 1, 2, 2);
  ASSERT_NE(s->CreateAlpha(), nullptr);
  ASSERT_EQ(s->Create(33, 2), 1);
  EXPECT_EQ(s->stride, 68);
  EXPECT_EQ(s->clipLeft, 0);
  EXPECT_EQ(s->clipRight, 33);
  EXPECT_EQ(s->alphaFirstRow, nullptr);
  s->Delete();

  cBufferSurface* unformatted = new cBufferSurface();
  EXPECT_EQ(unformatted->Create(4, 4), 0) << "no format, no row size";
  unformatted->Delete();
}

// Made again at sizes that shrink and grow (a turning sprite's copy): the storage is kept
// while it holds the new size, and every size has its own rows, wholly writable.
TEST(BufferSurface, CreateAgainReusesStorageThatHoldsTheNewSize) {
  for (const int depth : kDepths) {
    cSurfaceImplementation* s = Prototype(depth)->CreateCompatible(48, 48);
    ASSERT_NE(s, nullptr);
    const std::uint8_t* const first = s->firstRow;
    const int sizes[][2] = {{47, 45}, {30, 30}, {61, 29}, {5, 90}, {48, 48}, {200, 100}, {3, 2}};
    for (const auto& size : sizes) {
      ASSERT_EQ(s->Create(size[0], size[1]), 1);
      ASSERT_EQ(s->width, size[0]);
      ASSERT_EQ(s->height, size[1]);
      const int rowBytes = (size[0] * (depth == 15 ? 16 : depth) + 7) / 8;
      EXPECT_GE(s->stride, rowBytes);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(s->firstRow) % 8, 0u);
      for (int y = 0; y < size[1]; ++y)
        std::memset(s->firstRow + static_cast<std::ptrdiff_t>(y) * s->stride, y & 0xFF,
                    static_cast<std::size_t>(rowBytes));
      for (int y = 0; y < size[1]; ++y)
        ASSERT_EQ(s->firstRow[static_cast<std::ptrdiff_t>(y) * s->stride + rowBytes - 1], y & 0xFF);
      if (&size - sizes < 3) {  // smaller, down to a quarter: the first block
        EXPECT_EQ(s->firstRow, first) << depth << " bits at " << size[0] << " x " << size[1];
      }
    }
    s->Delete();
  }
}

TEST(BufferSurface, PixelsGoToAFileAndBack) {
  char name[] = "/tmp/vexa_buffer_XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  cSurfaceImplementation* s = Prototype(24)->CreateCompatible(7, 3);
  cSurfaceImplementation* copy = Prototype(24)->CreateCompatible(7, 3);
  const int bytes = s->stride * s->height;
  for (int i = 0; i < bytes; ++i) s->firstRow[i] = static_cast<std::uint8_t>(i * 7);
  EXPECT_EQ(s->WritePixels(fd), 1);
  SeekFileStart(fd, 0);
  EXPECT_EQ(copy->ReadPixels(fd), 1);
  EXPECT_EQ(std::memcmp(copy->firstRow, s->firstRow, static_cast<std::size_t>(bytes)), 0);
  EXPECT_EQ(copy->ReadPixels(fd), 0) << "the file holds one surface";
  s->Delete();
  copy->Delete();
  close(fd);
  unlink(name);
}

// Types 0-3 at every depth: the class, the row direction, a pixel written through the public
// object landing where the layout says, and a clone.
TEST(SurfaceObject, CreatesEveryTypeAtEveryDepth) {
  const int kinds[] = {kKindMemory, kKindDIBSection, kKindDIBSectionDC, kKindDIBSection};
  for (int type = 0; type <= 3; ++type) {
    for (int depth : kDepths) {
      SCOPED_TRACE(testing::Message() << "type " << type << " depth " << depth);
      cSurfaceObject object;
      cSurfaceObject* prototype = nullptr;
      ASSERT_EQ(GetPrototype(&prototype, depth, type, kDriverNone), 1);
      cSurfaceImplementation* s = object.Create(9, 4, prototype);
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(s->GetKind(), kinds[type]);
      EXPECT_EQ(object.GetType(), type == 3 ? 1 : type);
      const bool bottomUp = type != 0;
      EXPECT_EQ(s->firstRow - s->storage, bottomUp ? 3 * s->stride : 0);
      EXPECT_EQ(s->pitch, bottomUp ? -s->stride : s->stride);
      if (bottomUp) {
        const auto& header = static_cast<cDIBSectionSurface*>(s)->bitmapHeader;
        EXPECT_EQ(header.biBitCount, depth == 15 ? 16 : depth);
        EXPECT_EQ(header.biHeight, 4);
        EXPECT_EQ(header.biSizeImage, static_cast<DWORD>(4 * s->stride));
        EXPECT_EQ(s->storage[0], 0) << "new sections are black";
      }
      // 8 bits: index 200; above: a colour every format holds exactly.
      const std::uint32_t value = depth == 8 ? 200 : 0x00C08040;
      if (depth == 8) {
        object.SetPixelValue(8, 3, value);
      } else {
        object.SetPixelColor(8, 3, value);
      }
      std::uint32_t read = 0;
      ASSERT_EQ(object.GetPixelValue(8, 3, &read), 1);
      EXPECT_EQ(read, value);
      std::uint8_t* row0 = object.LockBits();
      // The low byte: the index, the blue field (0xC0 >> 3) of a 16-bit word, or the blue byte.
      EXPECT_EQ(row0[3 * s->pitch + 8 * s->bytesPerPixel], depth == 8    ? 200
                                                           : depth <= 16 ? 0x18
                                                                         : 0xC0);
      object.Unlock();

      cSurfaceObject clone;
      clone.Clone(object, -1, -1);
      EXPECT_EQ(clone.implementation->GetKind(), kinds[type]);
      EXPECT_EQ(clone.GetWidth(), 9);
      EXPECT_EQ(clone.GetDepth(), depth);
    }
  }
  cSurfaceImplementation* section = Prototype(32, kTypeDIBSection);
  EXPECT_EQ(section->CreateCompatible(0, 5), nullptr);
  EXPECT_EQ(section->CreateCompatible(0x7FFFFFFF, 2), nullptr);
  EXPECT_EQ(section->HandlesOrigin(), 1);
}

TEST(AlphaBufferSurface, ViewsAddressTheCallersRows) {
  std::uint8_t bytes[12];
  for (int i = 0; i < 12; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  cAlphaBufferSurface* down = new cAlphaBufferSurface(bytes, 3, 3, 4);
  cAlphaBufferSurface* up = new cAlphaBufferSurface(bytes + 8, 3, 3, -4);
  std::uint32_t value = 0;
  down->GetPixelValue(2, 1, &value);
  EXPECT_EQ(value, 6u);
  up->GetPixelValue(2, 0, &value);
  EXPECT_EQ(value, 10u);
  COLORREF grey = 0;
  up->GetPixelColor(1, 2, &grey);
  EXPECT_EQ(grey, 0x010101u) << "the index is the grey level";
  EXPECT_EQ(up->Create(8, 8), 0);

  // A compatible copy of a bottom-up view owns top-down rows.
  cSurfaceImplementation* copy = up->CreateCompatible(5, 2);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->stride, 8);
  EXPECT_EQ(copy->pitch, 8);
  EXPECT_EQ(Address(copy->firstRow) % 8, 0u);
  copy->Row(1)[7] = 1;
  copy->Delete();
  down->Delete();
  up->Delete();
  EXPECT_EQ(bytes[11], 11) << "views never free or change the memory they show";
}

// The prototypes' palettes belong to no thread: a thread that never registered uses them,
// the palette registry gains nothing, and their inverse tables exist from the start (so no
// thread ever has to make one; they fill as colours arrive).
TEST(Prototypes, PalettesServeEveryThread) {
  vexa::LibraryState& lib = vexa::Library();
  cSurfaceImplementation* paletted[] = {lib.alphaPrototype.implementation,
                                        lib.memoryPrototypes[0].implementation,
                                        lib.dibSectionPrototypes[0].implementation};
  EXPECT_EQ(paletted[0]->palette, vexa::SharedGreyPalette());
  EXPECT_EQ(paletted[0]->palette->entries[77].peGreen, 77);
  PaletteObject* threadDefault = GetDefaultPalette();
  EXPECT_NE(paletted[1]->palette, threadDefault);
  EXPECT_EQ(std::memcmp(paletted[1]->palette->entries, threadDefault->entries,
                        sizeof(PALETTEENTRY) * 256),
            0);
  ReleasePalette(threadDefault);

  const int registered = vexa::RegisteredPaletteCount();
  for (cSurfaceImplementation* prototype : paletted) {
    PaletteObject* palette = prototype->palette;
    ASSERT_NE(palette->inverseTable, nullptr);
    const int expected = GetNearestIndex(palette, kNearGrey);
    std::thread([prototype, palette, expected] {
      cSurfaceImplementation* s = prototype->CreateCompatible(2, 1);
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(s->palette, palette);
      s->SetPixelColor(1, 0, kNearGrey);
      std::uint32_t index = 0;
      s->GetPixelValue(1, 0, &index);
      EXPECT_EQ(index, static_cast<std::uint32_t>(expected));
      s->Delete();
    }).join();
  }
  EXPECT_EQ(vexa::RegisteredPaletteCount(), registered);
}

}  // namespace
