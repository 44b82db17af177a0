// Platform palette handles (HPALETTE): what a palette display would realise into its device
// contexts. This library's screens are true-colour, so a handle is just a copy of a logical
// palette record that device contexts and surfaces can read back.
#pragma once

#include <vexa/wintypes.h>

namespace plat {

struct PaletteHandle {
  WORD version;
  WORD entryCount;  // at most 256
  PALETTEENTRY entries[256];
};

// A handle holding a copy of the record's entries (at most the first 256); null for a null
// record or when memory runs out.
HPALETTE CreatePaletteHandle(const LOGPALETTE* record);

// Frees a handle; null is ignored.
void DeletePaletteHandle(HPALETTE handle);

// Copies up to `count` entries starting at `first` into `out`; returns the number copied
// (0 for a null handle, a null output or a first index past the handle's entries).
int GetPaletteHandleEntries(HPALETTE handle, int first, int count, PALETTEENTRY* out);

}  // namespace plat
