#include "surface/pixel_routine_tables.h"

namespace vexa {

const PixelRoutineTableSet& PixelRoutineTables() {
  static const PixelRoutineTableSet tables = [] {
    PixelRoutineTableSet t{};
    InstallPixelAccessRoutines(t);
    return t;
  }();
  return tables;
}

}  // namespace vexa
