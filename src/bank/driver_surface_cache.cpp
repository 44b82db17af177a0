#include "bank/driver_surface_cache.h"

#include <vexa/blit.h>
#include <vexa/display_driver.h>
#include <vexa/library.h>
#include <vexa/surface_implementation.h>
#include <vexa/surface_object.h>

#include "bank/bank_internal.h"
#include "bank/bank_list.h"
#include "bank/image_surface_factory.h"
#include "frame/driver_loader.h"

namespace vexa {
namespace {

DriverSurfaceEntry* FindDriverEntry(const ImageBank& bank, int number) {
  return reinterpret_cast<DriverSurfaceEntry*>(FindEntry(&bank, kListDriverSurfaces, number));
}

bool MayExpire(const DriverSurfaceEntry& entry) {
  return !(entry.flags & kDriverSurfaceNeverExpires);
}

void Stamp(const ImageBank& bank, DriverSurfaceEntry& entry) {
  entry.lastUseTime = BankClockMs();
  entry.lastUseFrame = bank.frameCounter;
}

// Copies the image into a driver surface of its size: static textures (types 6 and 7) take
// the whole content with CopyContentFrom; others, or a driver that declines, get a copying blit.
bool Fill(cImageSurface* source, cSurfaceImplementation* target) {
  target->SetTransparentColor(source->transparentColor);
  const int kind = target->GetKind();
  const int type = kind - DriverFirstKind(DriverOfKind(kind)) + kPrototypeFirst;
  if ((type == kPrototypeStatic || type == kPrototypeStaticAlpha) &&
      target->CopyContentFrom(source))
    return true;
  return source->Blit(target, 0, 0, 0, 0, source->width, source->height, kModeOpaque, 0, 0,
                      kBlitCopyAlpha) != 0;
}

// Draws the image onto its driver surface at (0, 0).
bool Refill(const ImageBank& bank, int number, DriverSurfaceEntry& entry) {
  const ImageEntryHeader* image = FindImage(&bank, number);
  if (!image || !entry.surface) return false;
  cImageSurface* source = MakeImageSurface(bank, *image);
  if (!source) return false;
  const bool filled = Fill(source, entry.surface);
  source->Delete();
  return filled;
}

void FrameCallback(void* bank) { ExpireStaleFrameDriverSurfaces(*static_cast<ImageBank*>(bank)); }

// A driver surface made from the driver's prototype of this type; null when the driver does
// not supply that prototype (GetPrototype then falls back to a library surface).
cSurfaceImplementation* MakeDriverSurface(int driver, int type, int width, int height) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, type, driver);
  if (!prototype || DriverOfKind(prototype->GetImplementation()->GetKind()) != driver)
    return nullptr;
  return prototype->GetImplementation()->CreateCompatible(width, height);
}

bool FitsAtlas(int width, int height) {
  return width >= kAtlasMinSide && width <= kAtlasMaxWidth && height >= kAtlasMinSide &&
         height <= kAtlasMaxHeight;
}

// Room for an image on the first atlas page that accepts it; pages are made on demand.
cSurfaceImplementation* PlaceInAtlas(ImageBank& bank, int driver, int width, int height) {
  const HookArg size = static_cast<HookArg>(static_cast<std::uint32_t>(width) |
                                            (static_cast<std::uint32_t>(height) << 16));
  for (cSurfaceObject*& page : bank.atlasPages) {
    if (!page) {
      cSurfaceImplementation* made =
          MakeDriverSurface(driver, kPrototypeStaticAlpha, kAtlasPageSize, kAtlasPageSize);
      if (!made) return nullptr;
      page = NewSurfaceObject();
      if (!page) {
        made->Delete();
        return nullptr;
      }
      page->SetImplementation(made);
    }
    cSurfaceImplementation* room = nullptr;
    if (page->GetImplementation()->DriverHook105(size, reinterpret_cast<HookArg>(&room)) && room)
      return room;
  }
  return nullptr;
}

}  // namespace

int DriverOfBankFormat(std::uint16_t formatWord) {
  if (!(formatWord & kBankDriverModeBit)) return kDriverNone;
  if (formatWord & kBankAtlasPacking) return kDriverD3D11;
  if (formatWord & kBankDriverD3D8Bit) return kDriverD3D8;
  if (formatWord & kBankDriverModeBit) return kDriverD3D9;
  return kDriverNone;
}

cSurfaceImplementation* MakeImageDriverSurface(ImageBank& bank, int number, std::uint32_t flags,
                                               bool* packed) {
  *packed = false;
  const int driver = DriverOfBankFormat(bank.formatWord);
  const ImageEntryHeader* image = FindImage(&bank, number);
  if (!driver || !image) return nullptr;
  cImageSurface* source = MakeImageSurface(bank, *image);
  if (!source) return nullptr;
  const int width = source->width, height = source->height;
  cSurfaceImplementation* made = nullptr;
  // Surfaces asked for an effect object (flag 2) are always their own: the effect may sample
  // the whole texture.
  if ((bank.formatWord & kBankAtlasPacking) && !(flags & kDriverSurfaceForEffect) &&
      FitsAtlas(width, height)) {
    made = PlaceInAtlas(bank, driver, width, height);
    *packed = made != nullptr;
  }
  if (!made) {
    const int type = source->alphaFirstRow ? kPrototypeStaticAlpha : kPrototypeStatic;
    made = MakeDriverSurface(driver, type, width, height);
  }
  if (made && !Fill(source, made)) {
    made->Delete();
    made = nullptr;
  }
  source->Delete();
  if (made)
    made->DriverHook94(reinterpret_cast<HookArg>(&FrameCallback), reinterpret_cast<HookArg>(&bank));
  return made;
}

cSurfaceImplementation* TakeCachedDriverSurface(ImageBank& bank, int number) {
  DriverSurfaceEntry* entry = FindDriverEntry(bank, number);
  if (!entry || !entry->surface || (entry->flags & kDriverSurfacePacked)) return nullptr;
  cSurfaceImplementation* surface = entry->surface;
  entry->surface = nullptr;
  RemoveEntry(bank, kListDriverSurfaces, number);
  return surface;
}

void DestroyDriverSurfaceEntry(ImageBank& bank, int number) {
  DriverSurfaceEntry* entry = FindDriverEntry(bank, number);
  if (!entry) return;
  DeleteImplementation(entry->surface);
  entry->surface = nullptr;
  RemoveEntry(bank, kListDriverSurfaces, number);
}

void FreeDriverSurfaceList(ImageBank& bank) {
  ForEachEntry(bank, kListDriverSurfaces, [](int, BankEntryHeader* e) {
    auto* entry = reinterpret_cast<DriverSurfaceEntry*>(e);
    DeleteImplementation(entry->surface);
    entry->surface = nullptr;
  });
  FreeListBlocks(bank, kListDriverSurfaces);
  bank.cleanupCursor = 0;
}

bool RecordDriverSurface(ImageBank& bank, int number, cSurfaceImplementation* surface,
                         std::uint32_t flags) {
  BankEntryHeader* block = AllocateEntry(sizeof(DriverSurfaceEntry), 0, true);
  if (!block) return false;
  DestroyDriverSurfaceEntry(bank, number);
  if (!SetEntryAt(bank, kListDriverSurfaces, number, block)) {
    FreeEntry(block);
    return false;
  }
  auto* entry = reinterpret_cast<DriverSurfaceEntry*>(block);
  entry->surface = surface;
  entry->flags = flags;
  Stamp(bank, *entry);
  return true;
}

int ExpireIdleDriverSurfaces(ImageBank& bank, std::uint32_t now) {
  const int count = GetEntryCount(&bank, kListDriverSurfaces);
  if (count <= 0) return 0;
  int destroyed = 0;
  const int visits = count < kExpiryVisitsPerPass ? count : kExpiryVisitsPerPass;
  for (int i = 0; i < visits; ++i) {
    if (bank.cleanupCursor < 0 || bank.cleanupCursor >= count) bank.cleanupCursor = 0;
    const int number = ++bank.cleanupCursor;
    DriverSurfaceEntry* entry = FindDriverEntry(bank, number);
    if (!entry || !MayExpire(*entry)) continue;
    if (entry->surface && entry->surface->GetKind() == kKindNeverExpires) continue;
    // Unsigned difference: the clock wraps like the multimedia timer's.
    if (now - entry->lastUseTime <= kExpiryIdleMs) continue;
    DestroyDriverSurfaceEntry(bank, number);
    ++destroyed;
  }
  return destroyed;
}

int ExpireStaleFrameDriverSurfaces(ImageBank& bank) {
  int destroyed = 0;
  const int count = GetEntryCount(&bank, kListDriverSurfaces);
  for (int number = 1; number <= count; ++number) {
    DriverSurfaceEntry* entry = FindDriverEntry(bank, number);
    if (!entry || !MayExpire(*entry)) continue;
    if (bank.frameCounter - entry->lastUseFrame <= kExpiryIdleFrames) continue;
    DestroyDriverSurfaceEntry(bank, number);
    ++destroyed;
  }
  return destroyed;
}

int RefillDriverSurfaces(ImageBank& bank) {
  int refilled = 0;
  ForEachEntry(bank, kListDriverSurfaces, [&](int number, BankEntryHeader* e) {
    auto* entry = reinterpret_cast<DriverSurfaceEntry*>(e);
    if (!Refill(bank, number, *entry)) return;
    if (MayExpire(*entry)) Stamp(bank, *entry);
    ++refilled;
  });
  return refilled;
}

}  // namespace vexa

using namespace vexa;

cSurfaceImplementation* GetImageDriverSurface(ImageBank* bank, int number, std::uint32_t flags) {
  if (!bank || !FindImage(bank, number)) return nullptr;
  if (DriverSurfaceEntry* entry = FindDriverEntry(*bank, number)) {
    Stamp(*bank, *entry);
    return entry->surface;
  }
  bool packed = false;
  cSurfaceImplementation* made = MakeImageDriverSurface(*bank, number, flags, &packed);
  if (!made) return nullptr;
  const std::uint32_t kept =
      (flags & kDriverSurfaceNeverExpires) | (packed ? kDriverSurfacePacked : 0);
  if (!RecordDriverSurface(*bank, number, made, kept)) {
    made->Delete();
    return nullptr;
  }
  return made;
}

int RefillImageDriverSurfaces(ImageBank* bank) { return bank ? RefillDriverSurfaces(*bank) : 0; }

int ReleaseImageDriverSurface(ImageBank* bank, int number) {
  if (!bank || !FindDriverEntry(*bank, number)) return 0;
  DestroyDriverSurfaceEntry(*bank, number);
  return 1;
}
