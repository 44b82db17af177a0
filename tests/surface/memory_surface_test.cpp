// Memory surfaces: buffers, grey surfaces and DIB sections, made through the prototypes and
// the public object as callers make them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <thread>
#include <unistd.h>

#include <vexa/alpha_buffer_surface.h>
#include <vexa/buffer_surface.h>
#include <vexa/dib_section_surface.h>
#include <vexa/library.h>
#include <vexa/palette.h>
#include <vexa/stream.h>
#include <vexa/surface_object.h>

#include "frame/library_state.h"
#include "surface/grey_palette.h"
#include "surface/palette_registry.h"
#include "surface/palette_search.h"

namespace {

constexpr int kDepths[] = {8, 15, 16, 24, 32};

cSurfaceImplementation* MemoryPrototype(int depth) {
  cSurfaceObject* prototype = nullptr;
  EXPECT_EQ(GetPrototype(&prototype, depth, kTypeMemory, kDriverNone), 1);
  return prototype->implementation;
}

std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// The byte offset of row y's first pixel from the start of the pixel block.
std::ptrdiff_t RowOffset(const cSurfaceImplementation& s, int y) { return s.Row(y) - s.storage; }

TEST(BufferSurface, StrideAndAlignmentOfEveryFormat) {
  // Width 33: 8 bits -> 36, 15 and 16 -> 68, 24 -> 100, 32 -> 132 bytes per row.
  const int strides33[] = {36, 68, 68, 100, 132};
  for (int f = 0; f < 5; ++f) {
    cSurfaceImplementation* prototype = MemoryPrototype(kDepths[f]);
    for (int w : {1, 2, 3, 5, 33}) {
      cSurfaceImplementation* s = prototype->CreateCompatible(w, 3);
      ASSERT_NE(s, nullptr) << "depth " << kDepths[f] << " width " << w;
      EXPECT_EQ(s->depth, kDepths[f]);
      EXPECT_EQ(s->stride % 4, 0);
      EXPECT_GE(s->stride, w * s->bytesPerPixel);
      if (w == 33) {
        EXPECT_EQ(s->stride, strides33[f]);
      }
      EXPECT_EQ(s->pitch, s->stride) << "buffers are top-down";
      EXPECT_EQ(Address(s->firstRow) % 8, 0u);
      EXPECT_LE(s->firstRow - s->storage, 7);
      EXPECT_EQ(s->GetKind(), kKindMemory);
      EXPECT_EQ(s->clipRight, w);
      EXPECT_EQ(s->clipBottom, 3);
      EXPECT_EQ(s->palette != nullptr, kDepths[f] == 8);
      s->Row(2)[s->stride - 1] = 0xAB;  // the last byte of the last row lies in the block
      s->Delete();
    }
  }
}

TEST(BufferSurface, CreateReplacesStorageAndDropsTheAlphaPlane) {
  cSurfaceImplementation* s = MemoryPrototype(15)->CreateCompatible(4, 4);
  ASSERT_NE(s, nullptr);
  s->SetClipRect(1, 1, 2, 2);
  ASSERT_NE(s->CreateAlpha(), nullptr);
  ASSERT_EQ(s->Create(33, 2), 1);
  EXPECT_EQ(s->stride, 68);
  EXPECT_EQ(s->pitch, 68);
  EXPECT_EQ(s->width, 33);
  EXPECT_EQ(s->height, 2);
  EXPECT_EQ(s->clipLeft, 0);
  EXPECT_EQ(s->clipRight, 33);
  EXPECT_EQ(s->clipBottom, 2);
  EXPECT_EQ(s->alphaFirstRow, nullptr);
  EXPECT_EQ(s->alphaStorage, nullptr);
  EXPECT_EQ(Address(s->firstRow) % 8, 0u);
  s->Delete();
}

TEST(BufferSurface, CreateThatFailsKeepsTheOldStorage) {
  cSurfaceImplementation* s = MemoryPrototype(32)->CreateCompatible(5, 5);
  ASSERT_NE(s, nullptr);
  s->SetPixelColor(4, 4, 0x123456);
  std::uint8_t* const oldRow = s->firstRow;
  // Larger than a surface may be, negative, and a stride that overflows 32 bits.
  EXPECT_EQ(s->Create(0x7FFFFFFF, 0x7FFFFFFF), 0);
  EXPECT_EQ(s->Create(-1, 5), 0);
  EXPECT_EQ(s->Create(0x20000000, 1), 0);
  EXPECT_EQ(s->firstRow, oldRow);
  EXPECT_EQ(s->width, 5);
  EXPECT_EQ(s->height, 5);
  COLORREF c = 0;
  ASSERT_EQ(s->GetPixelColor(4, 4, &c), 1);
  EXPECT_EQ(c, 0x123456u);
  EXPECT_EQ(s->CreateCompatible(-3, 2), nullptr);
  EXPECT_EQ(s->CreateCompatible(0x40000000, 0x40000000), nullptr);
  s->Delete();

  cBufferSurface* unformatted = new cBufferSurface();
  EXPECT_EQ(unformatted->Create(4, 4), 0) << "a buffer without a format cannot size its rows";
  EXPECT_EQ(unformatted->CreateCompatible(4, 4), nullptr);
  unformatted->Delete();
}

TEST(BufferSurface, PaletteReferenceFollowsTheSurface) {
  cSurfaceImplementation* prototype = MemoryPrototype(8);
  PaletteObject* palette = prototype->palette;
  ASSERT_NE(palette, nullptr);
  const int before = palette->refCount;
  cSurfaceImplementation* s = prototype->CreateCompatible(3, 3);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->palette, palette);
  EXPECT_EQ(palette->refCount, before + 1);
  s->Delete();
  EXPECT_EQ(palette->refCount, before);
}

TEST(BufferSurface, PixelsGoToAFileAndBack) {
  char name[] = "/tmp/vexa_buffer_XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  cSurfaceImplementation* s = MemoryPrototype(24)->CreateCompatible(7, 3);
  ASSERT_NE(s, nullptr);
  for (int i = 0; i < s->stride * s->height; ++i) s->firstRow[i] = static_cast<std::uint8_t>(i * 7);
  ASSERT_EQ(s->WritePixels(fd), 1);
  cSurfaceImplementation* copy = MemoryPrototype(24)->CreateCompatible(7, 3);
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(SeekFileStart(fd, 0), 0);
  ASSERT_EQ(copy->ReadPixels(fd), 1);
  for (int i = 0; i < s->stride * s->height; ++i) ASSERT_EQ(copy->firstRow[i], s->firstRow[i]) << i;
  // The file holds exactly one surface: a second read finds its end.
  EXPECT_EQ(copy->ReadPixels(fd), 0);
  EXPECT_EQ(MemoryPrototype(24)->ReadPixels(fd), 0) << "a prototype has no rows";
  s->Delete();
  copy->Delete();
  close(fd);
  unlink(name);
}

// Types 0-3 at every depth: the prototype, a surface of its class, pixels written through the
// public object landing where the row layout says, read back, locked, cloned and destroyed.
TEST(SurfaceObject, CreatesEveryTypeAtEveryDepth) {
  const int expectedKind[] = {kKindMemory, kKindDIBSection, kKindDIBSectionDC, kKindDIBSection};
  for (int type = 0; type <= 3; ++type) {
    for (int depth : kDepths) {
      SCOPED_TRACE(testing::Message() << "type " << type << " depth " << depth);
      cSurfaceObject* prototype = nullptr;
      ASSERT_EQ(GetPrototype(&prototype, depth, type, kDriverNone), 1);
      cSurfaceObject object;
      cSurfaceImplementation* s = object.Create(9, 4, prototype);
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(object.GetLastError(), 0u);
      EXPECT_EQ(s->GetKind(), expectedKind[type]);
      EXPECT_EQ(object.GetType(), type == 3 ? 1 : type);
      EXPECT_EQ(object.GetDepth(), depth);

      const bool bottomUp = type != 0;
      EXPECT_EQ(s->pitch, bottomUp ? -s->stride : s->stride);
      EXPECT_EQ(RowOffset(*s, 0), bottomUp ? 3 * s->stride : 0);
      EXPECT_EQ(RowOffset(*s, 3), bottomUp ? 0 : 3 * s->stride);

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
      EXPECT_EQ(row0, s->firstRow);
      const std::uint8_t* written = row0 + 3 * s->pitch + 8 * s->bytesPerPixel;
      // The low byte: the index, the blue field (0xC0 >> 3) of a 16-bit word, or the blue byte.
      EXPECT_EQ(written[0], depth == 8 ? 200 : depth <= 16 ? 0x18 : 0xC0);
      object.Unlock();

      cSurfaceObject clone;
      clone.Clone(object, -1, -1);
      EXPECT_TRUE(clone.IsValid());
      EXPECT_EQ(clone.GetWidth(), 9);
      EXPECT_EQ(clone.GetHeight(), 4);
      EXPECT_EQ(clone.GetDepth(), depth);
      EXPECT_EQ(clone.implementation->GetKind(), expectedKind[type]);
      EXPECT_NE(clone.implementation->storage, s->storage);
    }
  }
}

TEST(DIBSectionSurface, HeaderKindAndDeviceOrigin) {
  for (int depth : kDepths) {
    cSurfaceObject* prototype = nullptr;
    ASSERT_EQ(GetPrototype(&prototype, depth, kTypeDIBSection, kDriverNone), 1);
    const auto* sectionPrototype = static_cast<cDIBSectionSurface*>(prototype->implementation);
    EXPECT_EQ(sectionPrototype->bottomUp, 1);
    EXPECT_EQ(sectionPrototype->storage, nullptr);
    EXPECT_EQ(sectionPrototype->bitmapHeader.biBitCount, depth == 15 ? 16 : depth);

    auto* s = static_cast<cDIBSectionSurface*>(prototype->implementation->CreateCompatible(33, 2));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->bitmapHeader.biSize, 40u);
    EXPECT_EQ(s->bitmapHeader.biWidth, 33);
    EXPECT_EQ(s->bitmapHeader.biHeight, 2) << "positive: bottom-up";
    EXPECT_EQ(s->bitmapHeader.biPlanes, 1);
    EXPECT_EQ(s->bitmapHeader.biSizeImage, static_cast<DWORD>(2 * s->stride));
    EXPECT_EQ(s->stride, GetStride(33, depth));
    for (int i = 0; i < 2 * s->stride; ++i) ASSERT_EQ(s->storage[i], 0) << "new sections are black";
    s->Delete();
  }
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeDIBSection, kDriverNone);
  EXPECT_EQ(prototype->implementation->CreateCompatible(0, 5), nullptr);
  EXPECT_EQ(prototype->implementation->CreateCompatible(5, -1), nullptr);
  EXPECT_EQ(prototype->implementation->CreateCompatible(0x7FFFFFFF, 2), nullptr);

  cSurfaceObject object;
  ASSERT_NE(object.Create(4, 4, prototype), nullptr);
  EXPECT_EQ(object.implementation->HandlesOrigin(), 1);
  object.SetOrigin(-2, 300);
  EXPECT_EQ(object.implementation->GetDeviceOrigin(), (300u << 16) | 0xFFFEu);
}

TEST(AlphaBufferSurface, ViewsAddressTheCallersRows) {
  std::uint8_t bytes[4 * 3] = {};
  for (int i = 0; i < 12; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  // Top-down view: row 1 starts 4 bytes in. Bottom-up view from the last row.
  cAlphaBufferSurface* down = new cAlphaBufferSurface(bytes, 3, 3, 4);
  cAlphaBufferSurface* up = new cAlphaBufferSurface(bytes + 8, 3, 3, -4);
  std::uint32_t value = 0;
  ASSERT_EQ(down->GetPixelValue(2, 1, &value), 1);
  EXPECT_EQ(value, 6u);
  ASSERT_EQ(up->GetPixelValue(2, 1, &value), 1);
  EXPECT_EQ(value, 6u);
  ASSERT_EQ(up->GetPixelValue(0, 0, &value), 1);
  EXPECT_EQ(value, 8u);
  EXPECT_EQ(up->bottomUp, 1);
  EXPECT_EQ(up->stride, 4);
  COLORREF grey = 0;
  ASSERT_EQ(up->GetPixelColor(1, 2, &grey), 1);
  EXPECT_EQ(grey, 0x010101u) << "the index is the grey level";
  EXPECT_EQ(down->palette, vexa::SharedGreyPalette());
  EXPECT_EQ(down->Create(8, 8), 0);

  // A compatible copy of a bottom-up view owns top-down rows.
  cSurfaceImplementation* copy = up->CreateCompatible(5, 2);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(static_cast<cAlphaBufferSurface*>(copy)->ownsStorage, 1);
  EXPECT_EQ(copy->stride, 8);
  EXPECT_EQ(copy->pitch, 8);
  EXPECT_EQ(copy->bottomUp, 0);
  EXPECT_EQ(Address(copy->firstRow) % 8, 0u);
  EXPECT_EQ(copy->palette, vexa::SharedGreyPalette());
  copy->Row(1)[7] = 1;
  copy->Delete();
  down->Delete();
  up->Delete();
  EXPECT_EQ(bytes[11], 11) << "views never free or change the memory they show";
}

// The palettes of the prototypes belong to no thread: threads that did not build the
// prototypes (or never registered) use them, and they outlive every thread's palettes.
TEST(Prototypes, PalettesServeEveryThread) {
  vexa::LibraryState& lib = vexa::Library();
  cSurfaceImplementation* alpha = lib.alphaPrototype.implementation;
  ASSERT_EQ(alpha->depth, 8);
  EXPECT_EQ(alpha->palette, vexa::SharedGreyPalette());
  EXPECT_EQ(alpha->storage, nullptr);
  PaletteObject* grey = vexa::SharedGreyPalette();
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(grey->entries[i].peRed, i);
    ASSERT_EQ(grey->entries[i].peBlue, i);
  }

  PaletteObject* threadDefault = GetDefaultPalette();
  cSurfaceImplementation* paletted[] = {alpha, lib.memoryPrototypes[0].implementation,
                                        lib.dibSectionPrototypes[0].implementation,
                                        lib.dibDCPrototypes[0].implementation};
  EXPECT_EQ(paletted[1]->palette, paletted[2]->palette);
  EXPECT_NE(paletted[1]->palette, threadDefault);
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(vexa::RgbOf(paletted[1]->palette->entries[i]), vexa::RgbOf(threadDefault->entries[i]))
        << "the default colours, entry " << i;
  }
  ReleasePalette(threadDefault);

  const int registered = vexa::RegisteredPaletteCount();
  for (cSurfaceImplementation* prototype : paletted) {
    PaletteObject* palette = prototype->palette;
    ASSERT_NE(palette->inverseTable, nullptr);
    for (std::size_t key = 0; key < kInverseTableSize; ++key) {
      ASSERT_NE(palette->inverseTable[key], 0) << "every slot is filled, so lookups never write: " << key;
    }
    const COLORREF colour = vexa::RgbOf(palette->entries[0x41]);
    const int expected = GetNearestIndex(palette, colour);
    std::thread([prototype, palette, colour, expected] {
      cSurfaceImplementation* s = prototype->CreateCompatible(2, 1);
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(s->palette, palette);
      s->SetPixelColor(1, 0, colour);
      std::uint32_t index = 0;
      s->GetPixelValue(1, 0, &index);
      EXPECT_EQ(index, static_cast<std::uint32_t>(expected));
      s->Delete();
    }).join();
  }
  EXPECT_EQ(vexa::RegisteredPaletteCount(), registered);
  EXPECT_GE(grey->refCount, 1);
}

}  // namespace
