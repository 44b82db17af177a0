// cSurfaceObject: loading device-independent bitmaps from memory, files and resources.
#include <vexa/surface_object.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include <vexa/dib_surface.h>
#include <vexa/memory.h>
#include <vexa/palette.h>
#include <vexa/stream.h>

#include "platform/file/file.h"
#include "platform/module/module.h"
#include "surface/bitmap_file_format.h"
#include "surface/bitmap_widen.h"

namespace {

constexpr int kBlitCopyAlpha = 2;
constexpr int kWholeSurface = 0x3FFFFFFF;

struct BlockGuard {
  void* block = nullptr;
  ~BlockGuard() { FreeBlockAndClear(&block); }
};

struct WrapperGuard {
  cSurfaceImplementation* surface = nullptr;
  ~WrapperGuard() { DeleteImplementation(surface); }
};

// Where the rows of a packed record start. Above 8 bits a record may still carry a colour
// table (colours-used entries) after its header (of any length) or masks: the rows follow it.
const void* RowsOfRecord(const BITMAPINFO* info) {
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biBitCount <= 8 || h.biClrUsed == 0) return nullptr;     // the wrapper knows
  if (!vexa::IsKnownBitmapHeaderSize(h.biSize)) return nullptr;  // the wrapper refuses it
  return reinterpret_cast<const std::uint8_t*>(info) +
         vexa::BitmapTableOffset(h.biSize, h.biCompression) + 4 * std::size_t{h.biClrUsed};
}

// A bitmap whose fourth bytes are all 0 never meant them as alpha (an all-transparent
// bitmap would be pointless to store): it loads opaque, as one whose bytes are all 255.
void DropEmptyAlpha(cSurfaceImplementation* surface) {
  if (!surface->alphaFirstRow) return;
  for (int y = 0; y < surface->height; ++y) {
    const std::uint8_t* row = surface->AlphaRow(y);
    for (int x = 0; x < surface->width; ++x) {
      if (row[x] != 0) return;
    }
  }
  surface->DeleteAlpha();
}

// The 256 entries the widened colour table starts from: this surface's palette when it is
// 8-bit, else the thread's default palette.
void WideningBase(cSurfaceImplementation* surface, PALETTEENTRY* out) {
  std::memset(out, 0, 256 * sizeof(PALETTEENTRY));
  if (surface->depth == 8 && surface->palette) {
    CopyPaletteEntries(surface->palette, out, 0, 256);
    return;
  }
  if (PaletteObject* defaults = GetDefaultPalette()) {
    CopyPaletteEntries(defaults, out, 0, 256);
    ReleasePalette(defaults);
  }
}

}  // namespace

int cSurfaceObject::LoadBitmap(BITMAPINFO* info, void* bits, int flags) {
  return LoadBitmap(static_cast<const BITMAPINFO*>(info), static_cast<const void*>(bits), flags);
}

int cSurfaceObject::LoadBitmap(const BITMAPINFO* info, const void* bits, int flags) {
  if (!info) {
    lastError = kErrorNoDeviceContext;
    return 0;
  }
  cSurfaceImplementation* current = implementation;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (current->IsDeviceSurface() || (header.biCompression != vexa::kBitmapUncompressed &&
                                     header.biCompression != vexa::kBitmapBitFields)) {
    lastError = kErrorNotSupported;
    return 0;
  }
  if (!bits) bits = RowsOfRecord(info);
  BlockGuard widened;
  if (header.biBitCount < 8) {
    if (header.biBitCount != 1 && header.biBitCount != 4) {
      lastError = kErrorNotSupported;
      return 0;
    }
    PALETTEENTRY base[256];
    WideningBase(current, base);
    widened.block = vexa::WidenBitmap(info, bits, base);
    if (!widened.block) {
      lastError = kErrorNoDeviceContext;
      return 0;
    }
    info = static_cast<const BITMAPINFO*>(widened.block);
    bits = nullptr;
  }

  WrapperGuard wrapper;
  wrapper.surface = new (std::nothrow) cDIBSurface(info, bits, 1);
  cSurfaceImplementation* dib = wrapper.surface;
  if (!dib || dib->depth == 0) {
    lastError = dib ? kErrorNoDeviceContext : kErrorNoMemory;
    return 0;
  }
  DropEmptyAlpha(dib);

  // The target: this implementation at the bitmap's size, else a new one made like it. The
  // palette is set on the target only, so that a failure leaves the surface untouched.
  cSurfaceImplementation* target = current;
  if (current->width != dib->width || current->height != dib->height) {
    target = current->CreateCompatible(dib->width, dib->height);
    if (!target) {
      lastError = kErrorNoMemory;
      return 0;
    }
  }
  const bool paletted = dib->depth <= 8 && target->depth <= 8;
  bool remap = false;
  if (paletted && !(flags & kLoadKeepPalette) && dib->palette) {
    PaletteObject* chosen = (flags & kLoadExactPalette)
                                ? AddPaletteRef(dib->palette)
                                : CreateIdentityPalette(dib->palette, nullptr);
    if (chosen) {
      remap = chosen != dib->palette;
      target->SetPalette(chosen, 0);
      ReleasePalette(chosen);
    }
  }
  if (dib->alphaFirstRow && !target->alphaFirstRow && target->depth > 8) target->CreateAlpha();
  if (!dib->Blit(target, 0, 0, 0, 0, kWholeSurface, kWholeSurface, 0, 0, 0, kBlitCopyAlpha)) {
    // Only a lack of memory (tables, planes) stops a plain copy.
    if (target != current) target->Delete();
    lastError = kErrorNoMemory;
    return 0;
  }
  if (paletted && remap) target->RemapFromPalette(dib->palette);
  if (target != current) SetImplementation(target);
  if (!dib->alphaFirstRow) target->DeleteAlpha();
  return 1;
}

int cSurfaceObject::LoadBitmapFromFile(HFILE file, int flags) {
  return LoadBitmapFromFile(file, nullptr, flags);
}

int cSurfaceObject::LoadBitmapFromFile(HFILE file, void*, int flags) {
  using namespace vexa;
  std::uint8_t start[kBitmapFileHeaderSize];
  if (int code = ReadFileExact(file, start, sizeof(start))) {
    lastError = static_cast<std::uint32_t>(code);
    return 0;
  }
  BITMAPINFOHEADER header;
  std::int64_t fileBitsOffset = -1;
  int code = 0;
  if (start[0] == 'B' && start[1] == 'M') {
    BITMAPFILEHEADER fileHeader;
    std::memcpy(&fileHeader, start, sizeof(fileHeader));
    fileBitsOffset = std::int64_t{fileHeader.bfOffBits} - std::int64_t{kBitmapFileHeaderSize};
    code = ReadFileExact(file, &header, sizeof(header));
  } else {
    DWORD size;
    std::memcpy(&size, start, sizeof(size));
    if (size != kBitmapInfoHeaderSize) {
      lastError = kErrorNoDeviceContext;
      return 0;
    }
    std::memcpy(&header, start, sizeof(start));
    code = ReadFileExact(file, reinterpret_cast<std::uint8_t*>(&header) + sizeof(start),
                         static_cast<int>(sizeof(header) - sizeof(start)));
  }
  if (code) {
    lastError = static_cast<std::uint32_t>(code);
    return 0;
  }
  // Everything is sized from the file's own header and checked against what the file still
  // holds before the block is allocated.
  const std::int64_t left = plat::BytesLeft(file);
  const std::int64_t available = left < 0 ? -1 : left + std::int64_t{kBitmapInfoHeaderSize};
  BitmapLayout layout;
  switch (CheckBitmapHeader(header, fileBitsOffset, available, &layout)) {
    case BitmapHeaderCheck::kOk:
      break;
    case BitmapHeaderCheck::kBadBitCount:
      lastError = kErrorNotSupported;
      return 0;
    case BitmapHeaderCheck::kDamaged:
      lastError = kErrorNoDeviceContext;
      return 0;
  }
  const std::size_t recordBytes = PackedRecordSize(layout);
  BlockGuard block;
  if (!AllocBlock(&block.block, recordBytes + layout.imageBytes)) {
    lastError = kErrorNoMemory;
    return 0;
  }
  auto* record = static_cast<std::uint8_t*>(block.block);
  const BITMAPINFOHEADER packed = PackedRecordHeader(header, layout);
  std::memcpy(record, &packed, sizeof(packed));
  // Masks and the kept table entries, then whatever lies before the rows (table entries past
  // those a record keeps, a table above 8 bits, a gap the file header skips) is passed over.
  const std::size_t kept = recordBytes - kBitmapInfoHeaderSize;
  std::uint64_t position = kBitmapInfoHeaderSize + kept;
  code = ReadFileExact(file, record + kBitmapInfoHeaderSize, static_cast<int>(kept));
  if (!code && layout.bitsOffset > position) {
    const std::uint64_t skip = layout.bitsOffset - position;
    if (plat::SeekFile(file, static_cast<std::int64_t>(skip), SEEK_CUR) < 0) {
      code = static_cast<int>(kErrorRead);
    }
  }
  if (!code) {
    code = ReadFileExact(file, record + recordBytes, static_cast<int>(layout.imageBytes));
  }
  if (code) {
    lastError = kErrorNoDeviceContext;
    return 0;
  }
  return LoadBitmap(reinterpret_cast<const BITMAPINFO*>(record), nullptr, flags);
}

namespace {

// Loads from a file opened for the purpose, and closes it; 0x40000005 when it could not be
// opened.
int LoadFromOpenedFile(cSurfaceObject* object, HFILE file, int flags) {
  if (file == kInvalidFile) {
    object->lastError = kErrorCannotOpen;
    return 0;
  }
  const int result = object->LoadBitmapFromFile(file, flags);
  ::CloseFile(file);
  return result;
}

}  // namespace

int cSurfaceObject::LoadBitmapFromFileName(const char* name, int flags) {
  lastError = 0;
  return LoadFromOpenedFile(this, name ? OpenExistingFile(name, 0) : kInvalidFile, flags);
}

int cSurfaceObject::LoadBitmapFromFileName(const WCHAR* name, int flags) {
  lastError = 0;
  return LoadFromOpenedFile(this, name ? OpenExistingFileW(name, 0) : kInvalidFile, flags);
}

int cSurfaceObject::LoadBitmapFromResource(HMODULE module, const char* id, int flags) {
  // A pointer above 0xFFFF would be a resource name; modules here have numbered ones only.
  const auto value = reinterpret_cast<std::uintptr_t>(id);
  return LoadBitmapFromResource(module, value <= 0xFFFF ? static_cast<int>(value) : 0, flags);
}

int cSurfaceObject::LoadBitmapFromResource(HMODULE module, int id, int flags) {
  // A resource file holds a packed bitmap or a "BM" file; either is checked against the
  // file's size like any bitmap file.
  const std::string path = plat::ResourceFilePath(module, "bitmap", id, ".bmp");
  return LoadFromOpenedFile(this, path.empty() ? kInvalidFile : OpenExistingFile(path.c_str(), 0),
                            flags);
}
