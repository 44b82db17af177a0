// Allocation, release and comparison of palette objects (internal to the palette files).
#pragma once

#include <vexa/palette.h>

namespace vexa {

// A zeroed palette object, or null when memory runs out.
PaletteObject* AllocatePaletteObject();

// Frees the palette's inverse table, its platform handle and the object itself.
void FreePaletteObject(PaletteObject* palette);

// Adds `by` to the palette's reference count atomically (process-wide palettes have holders on
// every thread) and returns the new count.
std::int32_t ChangeReferences(PaletteObject& palette, std::int32_t by);

// Number of palette objects allocated and not yet freed, in the whole process (for tests).
int LivePaletteObjectCount();

// Whether two palettes hold the same colours: the same entry count and red, green and blue
// of all 256 entries equal, where from entry 1 on (0, 0, 0) and (8, 0, 0) count as equal.
bool SamePaletteColors(const PaletteObject& a, const PaletteObject& b);

}  // namespace vexa
