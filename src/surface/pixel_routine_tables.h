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

// Tables of surfaces that keep their pixels in the run-length form: only entries 3-6 (which
// read the source from that form) are set.
const PixelRoutineTableSet& RunLengthPixelRoutineTables();

// Entries 0 and 1: single-pixel write and read.
void InstallPixelAccessRoutines(PixelRoutineTableSet& tables);

}  // namespace vexa
