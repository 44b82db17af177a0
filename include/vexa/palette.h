// Palette objects: shared, reference-counted 256-entry colour tables of one thread.
//
// Every 8-bit surface refers to a palette object. A palette object belongs to the thread that
// created it: the thread registers with the palette registry (RegisterPaletteThread), which
// keeps every palette the thread creates and frees them all when the thread unregisters or
// ends. Asking a thread for a palette equal to one it already holds returns that one with a new
// reference. Palettes must not be passed between threads.
//
// Colours are 0x00BBGGRR values. The nearest-colour search that turns a colour into an index
// never picks index 0 for a colour other than black on a 256-entry palette: index 0 is kept
// for black and transparency.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/export.h>
#include <vexa/wintypes.h>

// A palette object. Its first part is a logical palette record (LOGPALETTE / LOGPALETTE256)
// with all 256 entries, so it can be passed wherever such a record is expected.
struct PaletteObject {
  WORD version;                // 0x300
  WORD entryCount;             // valid entries; 256 for every palette the library builds
  PALETTEENTRY entries[256];   // red, green, blue, flags (flags are always 0)
  std::uint8_t* inverseTable;  // 32768 bytes, 15-bit colour key -> index; built on demand
  HPALETTE systemPalette;      // platform palette handle, made on demand
  std::int32_t darkestIndex;   // the entry nearest to black among entries 1..entryCount-1
  std::int32_t refCount;       // number of holders
};

static_assert(offsetof(PaletteObject, version) == offsetof(LOGPALETTE256, palVersion));
static_assert(offsetof(PaletteObject, entryCount) == offsetof(LOGPALETTE256, palNumEntries));
static_assert(offsetof(PaletteObject, entries) == offsetof(LOGPALETTE256, palPalEntry));
static_assert(offsetof(PaletteObject, entries) == offsetof(LOGPALETTE, palPalEntry));
static_assert(offsetof(PaletteObject, inverseTable) >= sizeof(LOGPALETTE256));

// Number of entries in an inverse colour table (one per 15-bit colour key).
inline constexpr std::size_t kInverseTableSize = 32768;

// ---- the calling thread's registry record -------------------------------------------------

// Registers the calling thread (again) and returns a reference to its default palette, or
// null when memory runs out. The first registration of a thread other than the process's main
// thread also arranges that the thread's palettes are freed when the thread ends, should it
// never unregister (the main thread's go when the library is unloaded).
VEXA_API PaletteObject* RegisterPaletteThread();

// Undoes one registration; the last one frees every palette of the thread, whatever their
// reference counts (surfaces that use them must be gone by then).
VEXA_API void UnregisterPaletteThread();

// ---- palette objects -------------------------------------------------------------------

// A palette object for a logical palette record, with one reference for the caller: an equal
// palette of the calling thread when there is one, else a new object. Entries 1-255 that are
// pure black become (8, 0, 0) so that only entry 0 is black. A record of more than 256 entries
// keeps its first 256; a shorter record gets (8, 0, 0) in the entries it lacks. Null for a
// null record, on a thread that is not registered, or when memory runs out.
VEXA_API PaletteObject* CreatePaletteObject(const LOGPALETTE* record);

// A palette whose static system colours (entries 0-9 and 246-255) sit at their system
// positions, built from `palette` (see ArrangeSystemColors). `remapOut` (256 bytes, or null)
// receives the index translation. Returns `palette` itself with a new reference when it is
// already arranged so; null for a null palette.
VEXA_API PaletteObject* CreateIdentityPalette(PaletteObject* palette, BYTE* remapOut);

// Adds a reference; returns its argument (null stays null). Reference counts change
// atomically: the process-wide palettes of the prototypes and alpha views have holders on
// every thread.
VEXA_API PaletteObject* AddPaletteRef(PaletteObject* palette);

// Drops a reference. The last one frees the palette when it belongs to the calling thread.
// The second form takes the palette through its logical-palette view.
VEXA_API void ReleasePalette(PaletteObject* palette);
VEXA_API void ReleasePalette(LOGPALETTE* palette);

// The calling thread's default palette with a new reference; null when the thread has none.
VEXA_API PaletteObject* GetDefaultPalette();

// ---- colour to index ---------------------------------------------------------------------

// The index of the entry nearest to `color` (0 for black and for a null palette). Uses and
// fills the palette's inverse table when it has one.
VEXA_API int GetNearestIndex(PaletteObject* palette, COLORREF color);

// The inverse-table entry for `color`, computed by the nearest-colour search and stored
// when not yet known. Without an inverse table the search answers directly.
VEXA_API int LookupInverse(PaletteObject* palette, COLORREF color);

// Makes the palette's inverse table if it has none: 1 on success, 0 for a null palette or
// when memory runs out (the slower search then stays in use).
VEXA_API BOOL BuildInverseTable(PaletteObject* palette);

// ---- tables, handles and entries ----------------------------------------------------------

// The palette's platform palette handle, made on first use; null for a null palette or when
// it cannot be made. The palette owns it.
VEXA_API HPALETTE GetPaletteHandle(PaletteObject* palette);

// Copies up to `count` entries starting at `first` into `out`; entries beyond the palette's
// entry count are not copied. Returns the number copied (0 for a null palette or output).
VEXA_API int CopyPaletteEntries(const PaletteObject* palette, PALETTEENTRY* out, int first,
                                int count);

// Copies 256 source entries to `destination` and moves them so that the 20 static system
// colours sit at entries 0-9 and 246-255; `remapOut` (256 bytes, or null) receives the index
// translation. Returns 1 when entries moved.
VEXA_API BOOL ArrangeSystemColors(PALETTEENTRY* destination, const PALETTEENTRY* source,
                                  BYTE* remapOut);

// Fills `out` (256 bytes) with the destination index nearest to each source entry. With
// `keepIndexZero`, only source entry 0 may map to index 0. Returns 0 and leaves `out`
// untouched when the palettes hold the same 256 colours (or an argument is null).
VEXA_API BOOL BuildRemapTable(BYTE* out, const PaletteObject* destination,
                              const PaletteObject* source, BOOL keepIndexZero);
