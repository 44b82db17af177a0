// Creation, sharing and release of palette objects.
#include "palette/palette_object.h"

#include <algorithm>
#include <atomic>

#include <vexa/memory.h>

#include "palette/palette_default.h"
#include "palette/palette_registry.h"
#include "palette/palette_search.h"
#include "platform/palette/palette_handle.h"

namespace vexa {
namespace {

std::atomic<int> gLivePalettes{0};

// The colour that stands for black in entries 1-255, so that only entry 0 is pure black.
constexpr PALETTEENTRY kNearBlack{8, 0, 0, 0};
constexpr COLORREF kNearBlackRgb = 8;

bool EntriesMatch(PALETTEENTRY a, PALETTEENTRY b, int index) {
  const COLORREF x = RgbOf(a);
  const COLORREF y = RgbOf(b);
  if (x == y) return true;
  const auto isBlackish = [](COLORREF c) { return c == 0 || c == kNearBlackRgb; };
  return index > 0 && isBlackish(x) && isBlackish(y);
}

// The object a record turns into, before it gets its own storage: at most 256 entries read
// from the record, the rest (8, 0, 0); flags cleared; black only at entry 0.
void NormaliseRecord(const LOGPALETTE& record, PaletteObject* out) {
  *out = PaletteObject{};
  out->version = record.palVersion;
  out->entryCount = std::min<WORD>(record.palNumEntries, 256);
  std::copy_n(record.palPalEntry, out->entryCount, out->entries);
  for (int i = 0; i < 256; ++i) {
    out->entries[i].peFlags = 0;
    if (i > 0 && RgbOf(out->entries[i]) == 0) out->entries[i] = kNearBlack;
  }
}

// The calling thread's palette with the wanted colours, or null (the registry lock is held).
PaletteObject* FindEqual(const RegistryLock&, ThreadPalettes* record, const PaletteObject& wanted) {
  PaletteObject** end = record->palettes + record->paletteCount;
  PaletteObject** found = std::find_if(
      record->palettes, end, [&](const PaletteObject* p) { return SamePaletteColors(*p, wanted); });
  return found != end ? *found : nullptr;
}

}  // namespace

PaletteObject* AllocatePaletteObject() {
  void* block = nullptr;
  if (!AllocBlockZero(&block, sizeof(PaletteObject))) return nullptr;
  gLivePalettes.fetch_add(1, std::memory_order_relaxed);
  return static_cast<PaletteObject*>(block);
}

void FreePaletteObject(PaletteObject* palette) {
  if (palette == nullptr) return;
  void* table = palette->inverseTable;
  FreeBlockAndClear(&table);
  plat::DeletePaletteHandle(palette->systemPalette);
  void* block = palette;
  FreeBlockAndClear(&block);
  gLivePalettes.fetch_sub(1, std::memory_order_relaxed);
}

std::int32_t ChangeReferences(PaletteObject& palette, std::int32_t by) {
  return std::atomic_ref<std::int32_t>(palette.refCount).fetch_add(by, std::memory_order_acq_rel) +
         by;
}

int LivePaletteObjectCount() { return gLivePalettes.load(std::memory_order_relaxed); }

bool SamePaletteColors(const PaletteObject& a, const PaletteObject& b) {
  if (a.entryCount != b.entryCount) return false;
  constexpr int kQuickCheck = 10;  // differing palettes usually differ here already
  if (!EntriesMatch(a.entries[kQuickCheck], b.entries[kQuickCheck], kQuickCheck)) return false;
  for (int i = 0; i < 256; ++i)
    if (!EntriesMatch(a.entries[i], b.entries[i], i)) return false;
  return true;
}

}  // namespace vexa

PaletteObject* CreatePaletteObject(const LOGPALETTE* record) {
  if (record == nullptr) return nullptr;
  PaletteObject wanted;
  vexa::NormaliseRecord(*record, &wanted);

  vexa::RegistryLock lock;
  vexa::ThreadPalettes* thread = vexa::FindCallingThread(lock);
  if (thread == nullptr) return nullptr;
  if (PaletteObject* existing = vexa::FindEqual(lock, thread, wanted)) {
    vexa::ChangeReferences(*existing, 1);
    return existing;
  }
  PaletteObject* palette = vexa::AllocatePaletteObject();
  if (palette == nullptr) return nullptr;
  *palette = wanted;
  palette->refCount = 1;
  const int darkest = vexa::NearestColorSearch(vexa::LibraryPaletteSearch(), palette->entries + 1,
                                               std::max(0, palette->entryCount - 1), 0);
  palette->darkestIndex = 1 + darkest;
  if (!vexa::AppendPalette(lock, thread, palette)) {
    vexa::FreePaletteObject(palette);
    return nullptr;
  }
  return palette;
}

PaletteObject* AddPaletteRef(PaletteObject* palette) {
  if (palette != nullptr) vexa::ChangeReferences(*palette, 1);
  return palette;
}

void ReleasePalette(PaletteObject* palette) {
  if (palette == nullptr || vexa::ChangeReferences(*palette, -1) > 0) return;
  // Only the owning thread frees: a palette released elsewhere stays in its owner's list, which
  // frees it when the owner unregisters or ends.
  vexa::RegistryLock lock;
  vexa::ThreadPalettes* thread = vexa::FindCallingThread(lock);
  if (thread != nullptr && vexa::RemovePalette(lock, thread, palette))
    vexa::FreePaletteObject(palette);
}

void ReleasePalette(LOGPALETTE* palette) {
  ReleasePalette(reinterpret_cast<PaletteObject*>(palette));
}

PaletteObject* GetDefaultPalette() {
  vexa::RegistryLock lock;
  vexa::ThreadPalettes* thread = vexa::FindCallingThread(lock);
  if (thread == nullptr || thread->paletteCount == 0) return nullptr;
  return AddPaletteRef(thread->palettes[0]);
}

int CopyPaletteEntries(const PaletteObject* palette, PALETTEENTRY* out, int first, int count) {
  if (palette == nullptr || out == nullptr || first < 0 || count <= 0 ||
      first >= palette->entryCount)
    return 0;
  const int copied = std::min(count, palette->entryCount - first);
  std::copy_n(palette->entries + first, copied, out);
  return copied;
}

HPALETTE GetPaletteHandle(PaletteObject* palette) {
  if (palette == nullptr) return nullptr;
  if (palette->systemPalette == nullptr) {
    LOGPALETTE256 record{};
    record.palVersion = palette->version;
    record.palNumEntries = palette->entryCount;
    std::copy_n(palette->entries, 256, record.palPalEntry);
    for (int i = vexa::kStaticLowCount; i < vexa::kStaticHighFirst; ++i)
      record.palPalEntry[i].peFlags = vexa::kNoCollapseFlag;
    palette->systemPalette =
        plat::CreatePaletteHandle(reinterpret_cast<const LOGPALETTE*>(&record));
  }
  return palette->systemPalette;
}
