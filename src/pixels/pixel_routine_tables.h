// The five standard pixel routine tables, and the five tables of run-length image surfaces,
// built once at load.
//
// Each family of routines contributes its entries through one Install* function; tables are
// complete before any surface is made (they are built on first use, under C++'s guarantee
// for function-local statics).
#pragma once

#include <array>

#include <vexa/pixel_routines.h>

namespace vexa {

using PixelRoutineTableSet = std::array<PixelRoutineTable, 5>;

const PixelRoutineTableSet& PixelRoutineTables();

// Tables of surfaces that keep their pixels in the run-length form (pixels/kernels/
// run_length_form.h): only entries 3-6, which read the source from that form, are set. Such
// surfaces answer HasCustomPixelRoutines, so every other operation works on a plain copy.
const PixelRoutineTableSet& RunLengthPixelRoutineTables();
// The run-length table of a format (null for a format index out of range), and whether a
// table is one of them.
const PixelRoutineTable* RunLengthPixelRoutines(int formatIndex);
bool IsRunLengthTable(const PixelRoutineTable* table);

// Entries 0 and 1: single-pixel write and read.
void InstallPixelAccessRoutines(PixelRoutineTableSet& tables);

}  // namespace vexa
