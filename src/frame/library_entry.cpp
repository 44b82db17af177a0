// Process attach and detach, run by the shared object's constructor and destructor.
//
// Linux has no thread attach/detach notifications: threads register explicitly
// (RegisterThread), and the per-thread state that a detach would free (palettes, the list of
// application contexts) is held by thread-local guards that free it when the thread ends.
#include <vexa/library.h>

#include "base/cpu_features.h"
#include "frame/library_state.h"
#include "palette/palette_registry.h"
#include "platform/gdi/gdi.h"
#include "platform/window/window.h"

namespace {

__attribute__((constructor)) void OnProcessAttach() {
  vexa::LibraryState& lib = vexa::Library();
  lib.screenModeCode = 8;
  HDC screen = plat::GetDC(nullptr);
  if (screen) {
    // The screen has no system palette to capture. A 16-bit screen reports 15 or 16 bits in
    // its display settings, so no probing of its pixels is needed.
    const int bits =
        plat::GetDeviceCaps(screen, plat::BITSPIXEL) * plat::GetDeviceCaps(screen, plat::PLANES);
    plat::DisplaySettings current{};
    const bool reports15 =
        bits == 15 ||
        (bits == 16 && plat::EnumDisplaySettings(plat::ENUM_CURRENT_SETTINGS, &current) &&
         current.bitsPerPixel == 15);
    lib.screenModeCode =
        static_cast<std::uint16_t>(vexa::ScreenModeForBits(bits == 15 ? 16 : bits, reports15));
    plat::ReleaseDC(nullptr, screen);
  }
  vexa::SetLibraryCpuFeatureWord(vexa::ProbeCpuFeatureWord());
  RegisterThread();
}

__attribute__((destructor)) void OnProcessDetach() {
  UnregisterThread();
  vexa::FreeAllPaletteThreads();
}

}  // namespace
