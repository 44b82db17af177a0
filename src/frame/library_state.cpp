#include "frame/library_state.h"

namespace vexa {

LibraryState& Library() {
  static LibraryState* state = new LibraryState();
  return *state;
}

cSurfaceObject* DriverPrototypes(int driver, int* count) {
  LibraryState& lib = Library();
  switch (driver) {
    case kDriverD3D8:
      *count = 4;
      return &lib.driverPrototypes[kD3D8First];
    case kDriverD3D9:
      *count = 4;
      return &lib.driverPrototypes[kD3D9First];
    case kDriverD3D11:
      *count = 5;
      return &lib.driverPrototypes[kD3D11First];
    default:
      *count = 0;
      return nullptr;
  }
}

int ScreenModeForBits(int bits, bool reports15) {
  if (bits == 16) return reports15 ? 6 : 7;
  if (bits <= 4) return 2;
  if (bits <= 8) return 3;
  if (bits <= 15) return 6;
  if (bits < 25) return 4;
  return 8;
}

}  // namespace vexa
