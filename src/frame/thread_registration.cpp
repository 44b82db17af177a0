// Thread registration and the building and release of the surface prototypes.
#include <algorithm>

#include <vexa/library.h>
#include <vexa/palette.h>

#include <vexa/error_surface.h>
#include "base/cpu_features.h"
#include "frame/library_state.h"
#include "pixels/pixel_format.h"
#include "surface/prototype_factories.h"

namespace vexa {
namespace {

void Fill(cSurfaceObject& prototype, cSurfaceImplementation* made) {
  if (made) prototype.SetImplementation(made);
}

// Called under the lock by the first registration of the process.
void BuildPrototypes(LibraryState& lib) {
  ++lib.prototypeBuilds;
  for (int f = 0; f < kFormatCount; ++f)
    Fill(lib.memoryPrototypes[f], MakeMemoryPrototype(kFormatDepth[f]));
  Fill(lib.alphaPrototype, MakeAlphaPrototype());
  for (int f = 0; f < kFormatCount; ++f) {
    Fill(lib.dibSectionPrototypes[f], MakeDIBSectionPrototype(kFormatDepth[f]));
  }
  for (int f = 0; f < kFormatCount; ++f)
    Fill(lib.dibDCPrototypes[f], MakeDIBDCPrototype(kFormatDepth[f]));
}

// Called under the lock by the last unregistration. Driver prototypes belong to their
// plug-ins: the objects are emptied without deleting their implementations.
void ReleasePrototypes(LibraryState& lib) {
  ++lib.prototypeReleases;
  for (int f = 0; f < kFormatCount; ++f) {
    lib.memoryPrototypes[f].ReleaseImplementation();
    lib.dibSectionPrototypes[f].ReleaseImplementation();
    lib.dibDCPrototypes[f].ReleaseImplementation();
  }
  lib.alphaPrototype.ReleaseImplementation();
  for (cSurfaceObject& prototype : lib.driverPrototypes)
    prototype.implementation = GetErrorSurface();
}

}  // namespace
}  // namespace vexa

void RegisterThread() {
  using namespace vexa;
  LibraryState& lib = Library();
  plat::CriticalSectionGuard guard(lib.lock);
  const std::uint32_t self = plat::CurrentThreadId();
  for (auto& entry : lib.threads) {
    if (entry.first == self) {
      ++entry.second;
      return;
    }
  }
  lib.threads.emplace_back(self, 1);
  lib.ntPlatform = 1;
  SetLibraryCpuFeatureWord(ProbeCpuFeatureWord());
  // The registration keeps the default palette's reference: it is the first palette of the
  // thread's list, which GetDefaultPalette hands out.
  RegisterPaletteThread();
  if (lib.attachCount++ == 0) BuildPrototypes(lib);
}

void UnregisterThread() {
  using namespace vexa;
  LibraryState& lib = Library();
  bool removed = false;
  {
    plat::CriticalSectionGuard guard(lib.lock);
    const std::uint32_t self = plat::CurrentThreadId();
    auto it = std::find_if(lib.threads.begin(), lib.threads.end(),
                           [self](const auto& entry) { return entry.first == self; });
    if (it == lib.threads.end()) return;
    if (it->second > 0) --it->second;
    if (it->second > 0) return;
    lib.threads.erase(it);
    if (lib.threads.empty()) lib.threads.shrink_to_fit();
    removed = true;
    if (lib.attachCount > 0 && --lib.attachCount == 0) ReleasePrototypes(lib);
  }
  if (removed) UnregisterPaletteThread();
}
