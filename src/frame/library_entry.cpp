// Process attach and detach, run by the shared object's constructor and destructor.
//
// Linux has no thread attach/detach notifications: threads register explicitly
// (RegisterThread), and the per-thread state that a detach would free (palettes, the list of
// application contexts) is held by thread-local guards that free it when the thread ends.
#include <vexa/library.h>

#include "base/cpu_features.h"
#include "frame/library_state.h"
#include "platform/gdi/screen.h"
#include "palette/palette_registry.h"

namespace {

__attribute__((constructor)) void OnProcessAttach() {
  vexa::LibraryState& lib = vexa::Library();
  // 16-bit screens: the platform reports 15 or 16 bits itself, so no probing is needed.
  const int bits = plat::ScreenBitsPerPixel();
  lib.screenModeCode = vexa::ScreenModeForBits(bits, bits == 15);
  vexa::SetLibraryCpuFeatureWord(vexa::ProbeCpuFeatureWord());
  RegisterThread();
}

__attribute__((destructor)) void OnProcessDetach() {
  UnregisterThread();
  vexa::FreeAllPaletteThreads();
}

}  // namespace
