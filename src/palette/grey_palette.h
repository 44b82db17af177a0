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
// Its inverse colour table is made at creation (with the entries' own keys entered) and then
// filled like any other palette's, as a cache: the first colour to reach an empty cell
// decides it. Threads share it without a lock because each cell is written at most once, by
// an atomic compare-and-swap from 0, and read atomically. Its reference count is updated
// atomically like every palette's, but nothing ever acts on its value.
#pragma once

#include <vexa/palette.h>

namespace vexa {

// The grey palette (entry i = (i, i, i)), without a new reference: callers that keep it add
// their own. Made on first use.
PaletteObject* SharedGreyPalette();

// Completes a process-wide palette whose 256 entries are set in `storage` (static storage
// that is never freed): the header, the darkest entry, the process's reference and the
// inverse table. Returns `storage`.
PaletteObject* FinishProcessPalette(PaletteObject* storage);

}  // namespace vexa
