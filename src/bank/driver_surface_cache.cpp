#include "bank/driver_surface_cache.h"

#include <vexa/blit.h>
#include <vexa/surface_implementation.h>

#include "bank/bank_internal.h"
#include "bank/bank_list.h"
#include "bank/image_surface_factory.h"

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

// Draws the image onto its driver surface at (0, 0).
bool Refill(const ImageBank& bank, int number, DriverSurfaceEntry& entry) {
  const ImageEntryHeader* image = FindImage(&bank, number);
  if (!image || !entry.surface) return false;
  cImageSurface* source = MakeImageSurface(bank, *image);
  if (!source) return false;
  const int drawn = source->Blit(entry.surface, 0, 0, 0, 0, source->width, source->height,
                                 kModeOpaque, 0, 0, kBlitCopyAlpha);
  source->Delete();
  return drawn != 0;
}

}  // namespace

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

cSurfaceImplementation* GetImageDriverSurface(ImageBank* bank, int number, std::uint32_t) {
  if (!bank || !FindImage(bank, number)) return nullptr;
  if (DriverSurfaceEntry* entry = FindDriverEntry(*bank, number)) {
    Stamp(*bank, *entry);
    return entry->surface;
  }
  // FIXME: making a driver surface (own size or an atlas page) needs a loaded display driver;
  // until one exists no bank is driver-backed (SetImageBankFormat clears the driver bits) and
  // there is nothing to create.
  return nullptr;
}

int ReleaseImageDriverSurface(ImageBank* bank, int number) {
  if (!bank || !FindDriverEntry(*bank, number)) return 0;
  DestroyDriverSurfaceEntry(*bank, number);
  return 1;
}
