// The routines of the pixel routine tables (entries 2-13) and the helpers the surface
// operations build on. Routines take pre-clipped rectangles and never clip, validate or
// allocate. The blit routines (3, 4, 6) also come in a form that takes the kernel set
// explicitly, so that tests can run them at every instruction level; the table entries use
// the library's active level.
//
// Which pixel format a routine works in is the source's (for blits and conversion) or the
// target's; entries that the 15- and 16-bit tables share pick the 5-5-5 or 5-6-5 form from
// that surface's depth. Effect routines use the MMX form of effect 1 when the destination's
// MMX flag is set, and at 8 bits that flag also chooses the nearest-colour search that fills
// the destination palette's inverse table.
#pragma once

#include <cstdint>

#include "pixels/kernels/effect_context.h"
#include "pixels/pixel_routine_tables.h"

namespace vexa {

// ---- raw fills (entry 2 converts the colour, then fills)
// -------------------------------------------------------------------

// Fills `height` rows from `firstRow` (`pitch` apart) with `width` copies of a stored pixel
// value of `bytesPerPixel` bytes.
void FillPixelRows(std::uint8_t* firstRow, int pitch, int width, int height, int bytesPerPixel,
                   std::uint32_t value);

// The fill of one row of pixels of `bytesPerPixel` bytes (1-4): `width` copies of `value`
// from `row`. For callers that fill many short rows of one surface.
using PixelRowFill = void (*)(std::uint8_t* row, int width, std::uint32_t value);
PixelRowFill PixelRowFiller(int bytesPerPixel);

// ---- entries 3-6 ---------------------------------------------------------------------------

void CopyTransparentWith(const KernelSet& kernels, PixelDescriptor* target, int x, int y,
                         const PixelDescriptor* source, int sourceX, int sourceY, int width,
                         int height);
void CopyTransparentEffectWith(const KernelSet& kernels, PixelDescriptor* target, int x, int y,
                               const PixelDescriptor* source, int sourceX, int sourceY, int width,
                               int height, std::uint32_t effect, std::uintptr_t parameter);
void CopyOpaqueEffectWith(const KernelSet& kernels, PixelDescriptor* target, int x, int y,
                          const PixelDescriptor* source, int sourceX, int sourceY, int width,
                          int height, std::uint32_t effect, std::uintptr_t parameter);
// Entry 5 of every table.
void CopyOpaqueRoutine(PixelDescriptor* target, int x, int y, const PixelDescriptor* source,
                       int sourceX, int sourceY, int width, int height);

// The effect routine set of a blit: null for effect codes without routines (7, 13 and above).
const EffectRoutineSet* BlitEffectSet(const KernelSet& kernels, const PixelDescriptor* target,
                                      int formatIndex, std::uint32_t effect);

// ---- installers: each family fills its entries of the five standard tables --------------

void InstallBlitRoutines(PixelRoutineTableSet& tables);           // 2, 3, 4, 5, 6
void InstallCallbackRoutines(PixelRoutineTableSet& tables);       // 7, 8
void InstallMirrorReplaceRoutines(PixelRoutineTableSet& tables);  // 9, 10
void InstallConvertRoutines(PixelRoutineTableSet& tables);        // 11
void InstallRunLengthRoutines(PixelRoutineTableSet& tables);      // 12, 13

// The tables of run-length image surfaces: entries 3-6 read the source from the run-length
// form (run_length_form.h), the others are empty.
void InstallRunLengthBlitRoutines(PixelRoutineTableSet& tables);
// Their transparent (3, 4) and opaque (5, 6) blits with an explicit kernel set; effect code 0
// is the plain copy.
void RunLengthCopyTransparentWith(const KernelSet& kernels, PixelDescriptor* target, int x, int y,
                                  const PixelDescriptor* source, int sourceX, int sourceY,
                                  int width, int height, std::uint32_t effect,
                                  std::uintptr_t parameter);
void RunLengthCopyOpaqueWith(const KernelSet& kernels, PixelDescriptor* target, int x, int y,
                             const PixelDescriptor* source, int sourceX, int sourceY, int width,
                             int height, std::uint32_t effect, std::uintptr_t parameter);

}  // namespace vexa
