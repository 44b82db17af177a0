// cSurfaceObject: building device-independent bitmaps from a surface and saving them.
#include <vexa/surface_object.h>

#include <cstring>
#include <new>

#include <vexa/dib_surface.h>
#include <vexa/library.h>
#include <vexa/memory.h>
#include <vexa/stream.h>

#include "surface/bitmap_file_format.h"

namespace {

bool IsSavedDepth(int depth) {
  return depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

// The fourth byte of each 32-bit pixel takes the alpha byte at the same place, or 0 without
// a plane: the byte is never left as whatever the surface or the block held.
void WriteFourthBytes(const cSurfaceImplementation* surface, cSurfaceImplementation* bitmap,
                      bool withAlpha) {
  for (int y = 0; y < surface->height; ++y) {
    const std::uint8_t* alpha = withAlpha ? surface->AlphaRow(y) : nullptr;
    std::uint8_t* pixel = bitmap->Row(y) + 3;
    for (int x = 0; x < surface->width; ++x, pixel += 4) *pixel = alpha ? alpha[x] : 0;
  }
}

struct BlockGuard {
  void* block = nullptr;
  ~BlockGuard() { FreeBlockAndClear(&block); }
};

}  // namespace

int cSurfaceObject::MakeBitmap(BITMAPINFO* info, void* bits, int flags) {
  using namespace vexa;
  if (!info) {
    lastError = kErrorNoDeviceContext;
    return 0;
  }
  cSurfaceImplementation* surface = implementation;
  const int depth = surface->depth;
  if (surface->IsDeviceSurface() || !IsSavedDepth(depth) || surface->width < 1) {
    lastError = kErrorNotSupported;
    return 0;
  }
  // Only the record's own bytes are written: its header, masks or table.
  const int headerSize = GetDIBHeaderSize(depth);
  auto* record = reinterpret_cast<std::uint8_t*>(info);
  std::memset(record, 0, static_cast<std::size_t>(headerSize));
  const BITMAPINFOHEADER header = MakeBitmapInfoHeader(surface->width, surface->height, depth);
  std::memcpy(record, &header, sizeof(header));
  if (depth == 16) {
    std::memcpy(record + kBitmapInfoHeaderSize, kBitmapMasks565, sizeof(kBitmapMasks565));
  } else if (depth == 8) {
    // Entries past the palette's stay 0.
    PALETTEENTRY entries[256] = {};
    surface->GetPaletteEntries(entries, 0, 256);
    std::uint8_t* table = record + kBitmapInfoHeaderSize;
    for (int i = 0; i < 256; ++i) {
      const std::uint8_t quad[4] = {entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
      std::memcpy(table + 4 * i, quad, sizeof(quad));
    }
  }
  if (flags & kSaveHeaderOnly) return 1;
  if (!bits) bits = record + headerSize;
  cSurfaceImplementation* bitmap = new (std::nothrow) cDIBSurface(info, bits, depth == 8);
  if (!bitmap) {
    lastError = kErrorNoMemory;
    return 0;
  }
  const int copied = surface->Blit(bitmap, 0, 0, 0, 0, surface->width, surface->height, 0, 0, 0, 0);
  if (copied && depth == 32) {
    WriteFourthBytes(surface, bitmap, (flags & kSaveAlpha) && surface->alphaFirstRow);
  }
  bitmap->Delete();
  if (!copied) lastError = kErrorNoMemory;  // only a lack of memory stops a plain copy
  return copied ? 1 : 0;
}

namespace {

// The surface's record and rows in one new block: its size, or 0 with lastError set. A
// header-only bitmap still has rows in the block; they are zeros, never what the memory held.
std::size_t BuildBitmapBlock(cSurfaceObject* object, int flags, BlockGuard* block) {
  const std::size_t size = object->GetDIBSizeOf();
  const bool zeroed = (flags & kSaveHeaderOnly) != 0;
  if (!(zeroed ? AllocBlockZero(&block->block, size) : AllocBlock(&block->block, size))) {
    object->lastError = kErrorNoMemory;
    return 0;
  }
  return object->MakeBitmap(static_cast<BITMAPINFO*>(block->block), nullptr, flags) ? size : 0;
}

int SaveWithFileHeader(cSurfaceObject* object, HFILE file, int flags) {
  if (file == kInvalidFile) {
    object->lastError = kErrorCannotCreate;
    return 0;
  }
  BlockGuard block;
  const std::size_t size = BuildBitmapBlock(object, flags, &block);
  int result = 0;
  if (size) {
    const auto recordBytes = static_cast<std::uint32_t>(GetDIBHeaderSize(object->GetDepth()));
    const BITMAPFILEHEADER header =
        vexa::MakeBitmapFileHeader(recordBytes, static_cast<std::uint32_t>(size) - recordBytes);
    int code = WriteFileExact(file, &header, sizeof(header));
    if (!code) code = WriteFileExact(file, block.block, static_cast<int>(size));
    object->lastError = static_cast<std::uint32_t>(code);
    result = code == 0;
  }
  ::CloseFile(file);
  return result;
}

}  // namespace

int cSurfaceObject::SaveBitmap(HFILE file, int flags) {
  BlockGuard block;
  const std::size_t size = BuildBitmapBlock(this, flags, &block);
  if (!size) return 0;
  const int code = WriteFileExact(file, block.block, static_cast<int>(size));
  lastError = static_cast<std::uint32_t>(code);
  return code == 0;
}

int cSurfaceObject::SaveBitmapToFileName(const char* name, int flags) {
  return SaveWithFileHeader(this, name ? CreateNewFile(name) : kInvalidFile, flags);
}

int cSurfaceObject::SaveBitmapToFileName(const WCHAR* name, int flags) {
  return SaveWithFileHeader(this, name ? CreateNewFileW(name) : kInvalidFile, flags);
}
