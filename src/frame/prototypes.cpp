// Choosing the prototype a new surface is cloned from.
#include <vexa/library.h>

#include <vexa/error_surface.h>
#include "frame/driver_loader.h"
#include "frame/library_state.h"
#include "pixels/pixel_format.h"

namespace vexa {
namespace {

constexpr int kTypeRenderAlpha = 8;  // driver 7's fifth prototype

// The comparison depth of a request: 8, 16, 24, 32 for their ranges, the request itself
// for 9-15 (where the request is then replaced by 15, so only 15 itself matches).
int CanonicalDepth(int depth) {
  if (depth >= 9 && depth <= 15) return depth;
  return kFormatDepth[FormatOfDepth(depth)];
}

bool IsEmpty(const cSurfaceObject& prototype) { return !prototype.IsValid(); }

// The prototype for a driver type (2, 4-7, and 8 for driver 7) with a driver identifier 5, 6
// or 7, and the depth it stands for.
cSurfaceObject* DriverChoice(LibraryState& lib, int format, int type, int driver, int* canonical) {
  cSurfaceObject* fallback =
      (type == 2 || type == 4) ? &lib.dibDCPrototypes[format] : &lib.dibSectionPrototypes[format];
  if (!LoadDisplayDriver(driver)) return fallback;
  int count = 0;
  cSurfaceObject* first = DriverPrototypes(driver, &count);
  cSurfaceObject* chosen = nullptr;
  if (type >= 4 && type - 4 < count && !IsEmpty(first[type - 4])) chosen = &first[type - 4];
  if (!chosen) chosen = &lib.dibSectionPrototypes[format];
  if (chosen->implementation->depth == 0) return fallback;
  *canonical = chosen->implementation->depth;
  return chosen;
}

}  // namespace
}  // namespace vexa

int GetPrototype(cSurfaceObject** out, int depth, int type, int driver) {
  using namespace vexa;
  LibraryState& lib = Library();
  const int format = FormatOfDepth(depth);
  int canonical = CanonicalDepth(depth);
  const int requested = (depth >= 9 && depth <= 15) ? 15 : depth;

  cSurfaceObject* chosen;
  if (type == kTypeRenderAlpha && driver == kDriverD3D11) {
    // Driver 7's fifth prototype: the only driver type above 7.
    chosen = DriverChoice(lib, format, type, driver, &canonical);
  } else if (type > 7 || type == 1 || type == 3) {
    chosen = &lib.dibSectionPrototypes[format];
  } else if (type == 0) {
    chosen = &lib.memoryPrototypes[format];
  } else if (driver == kDriverD3D9 || driver == kDriverD3D8 || driver == kDriverD3D11) {
    chosen = DriverChoice(lib, format, type, driver, &canonical);
  } else {
    chosen = type == 2 ? &lib.dibDCPrototypes[format] : &lib.dibSectionPrototypes[format];
  }
  if (out) *out = chosen;
  return (!IsEmpty(*chosen) && requested == canonical) ? 1 : 0;
}

void UnloadDrivers() {
  using namespace vexa;
  for (cSurfaceObject& prototype : Library().driverPrototypes) {
    prototype.implementation = GetErrorSurface();  // driver implementations belong to the plug-in
  }
  UnloadDisplayDrivers();
}

int GetScreenModeCode() { return vexa::Library().screenModeCode; }
int IsNTPlatform() { return vexa::Library().ntPlatform; }
