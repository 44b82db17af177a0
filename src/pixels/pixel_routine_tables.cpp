#include "pixels/pixel_routine_tables.h"

#include "pixels/kernels/kernel_routines.h"
#include "pixels/pixel_format.h"

namespace vexa {

const PixelRoutineTableSet& PixelRoutineTables() {
  static const PixelRoutineTableSet tables = [] {
    PixelRoutineTableSet t{};
    InstallPixelAccessRoutines(t);
    InstallBlitRoutines(t);
    InstallCallbackRoutines(t);
    InstallMirrorReplaceRoutines(t);
    InstallConvertRoutines(t);
    InstallRunLengthRoutines(t);
    return t;
  }();
  return tables;
}

const PixelRoutineTableSet& RunLengthPixelRoutineTables() {
  static const PixelRoutineTableSet tables = [] {
    PixelRoutineTableSet t{};
    InstallRunLengthBlitRoutines(t);
    return t;
  }();
  return tables;
}

const PixelRoutineTable* RunLengthPixelRoutines(int formatIndex) {
  if (formatIndex < 0 || formatIndex >= kFormatCount) return nullptr;
  return &RunLengthPixelRoutineTables()[formatIndex];
}

bool IsRunLengthTable(const PixelRoutineTable* table) {
  const PixelRoutineTableSet& set = RunLengthPixelRoutineTables();
  return table >= set.data() && table < set.data() + set.size();
}

}  // namespace vexa
