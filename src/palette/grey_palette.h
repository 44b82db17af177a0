// Process-wide palette objects: the shared grey palette of the alpha surfaces, and the
// finishing step for any other palette that surfaces of every thread share.
//
// Every other palette object belongs to the thread that created it and goes when that thread
// unregisters. A process-wide palette is in no thread's palette registry, so no thread's
// unregistration frees it and no ReleasePalette does either (its first reference, the
// process's own, is never dropped); it lives in static storage until the process ends. That
// is what lets alpha surfaces, and the prototypes built by whichever thread registers first,
// be used from any thread.
//
// Its inverse colour table is built and completely filled at creation, so nearest-colour
// lookups only ever read it and threads may share it without a lock. Its reference count
// has no meaning: holders on different threads update it without synchronisation, and
// nothing ever acts on its value.
#pragma once

#include <vexa/palette.h>

namespace vexa {

// The grey palette (entry i = (i, i, i)), without a new reference: callers that keep it add
// their own. Made on first use.
PaletteObject* SharedGreyPalette();

// Completes a process-wide palette whose 256 entries are set in `storage` (static storage
// that is never freed): the header, the darkest entry, the process's reference and the
// filled inverse table. Returns `storage`.
PaletteObject* FinishProcessPalette(PaletteObject* storage);

}  // namespace vexa
