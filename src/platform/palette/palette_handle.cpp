#include "platform/palette/palette_handle.h"

#include <algorithm>

#include <vexa/memory.h>

namespace plat {

HPALETTE CreatePaletteHandle(const LOGPALETTE* record) {
  if (record == nullptr) return nullptr;
  void* block = nullptr;
  if (!AllocBlockZero(&block, sizeof(PaletteHandle))) return nullptr;
  auto* handle = static_cast<PaletteHandle*>(block);
  handle->version = record->palVersion;
  handle->entryCount = std::min<WORD>(record->palNumEntries, 256);
  std::copy_n(record->palPalEntry, handle->entryCount, handle->entries);
  return handle;
}

void DeletePaletteHandle(HPALETTE handle) {
  void* block = handle;
  FreeBlockAndClear(&block);
}

int GetPaletteHandleEntries(HPALETTE handle, int first, int count, PALETTEENTRY* out) {
  if (handle == nullptr || out == nullptr || first < 0 || count <= 0) return 0;
  if (first >= handle->entryCount) return 0;
  const int copied = std::min(count, handle->entryCount - first);
  std::copy_n(handle->entries + first, copied, out);
  return copied;
}

}  // namespace plat
