// Library-wide state of the frame: the registered threads, the surface prototypes, and the
// facts found at load (screen mode, platform). Guarded by the library lock where noted.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "platform/thread/thread.h"

namespace vexa {

inline constexpr int kDriverPrototypeCount = 13;
// Index of each driver's first prototype among the 13: four for the "d3d8" driver, four for
// "d3d9", five for "d3d11".
inline constexpr int kD3D8First = 0;
inline constexpr int kD3D9First = 4;
inline constexpr int kD3D11First = 8;

struct LibraryState {
  plat::CriticalSection lock;
  // (thread id, registration count); guarded by the lock.
  std::vector<std::pair<std::uint32_t, int>> threads;
  int attachCount = 0;  // guarded by the lock

  cSurfaceObject memoryPrototypes[5];
  cSurfaceObject dibSectionPrototypes[5];
  cSurfaceObject dibDCPrototypes[5];
  cSurfaceObject alphaPrototype;
  cSurfaceObject driverPrototypes[kDriverPrototypeCount];

  int prototypeBuilds = 0;    // how often the prototypes were built (for diagnostics)
  int prototypeReleases = 0;  // and released

  int screenModeCode = 8;
  int ntPlatform = 0;
};

// The state, made on first use and never destroyed: prototypes are released by the last
// UnregisterThread, not by static destruction.
LibraryState& Library();

// The first of a driver's prototypes and how many it has; null for other identifiers.
cSurfaceObject* DriverPrototypes(int driver, int* count);

// Screen mode code for a screen of this many bits per pixel (15 and 16 told apart by
// `reports15`).
int ScreenModeForBits(int bits, bool reports15);

}  // namespace vexa
