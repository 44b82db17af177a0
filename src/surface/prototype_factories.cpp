// The library's prototype implementations: formatted for their depth, without storage. A
// prototype that cannot be allocated or formatted is not made (null), and its public object
// stays empty.
//
// Prototypes serve every thread and outlive the thread that built them, so their palettes
// must not be palettes of that thread (those go when it unregisters): the 8-bit prototypes
// hold a process-wide palette with the library's default colours, the alpha prototype the
// shared grey palette. Surfaces made from them share these palettes.
#include "surface/prototype_factories.h"

#include <new>

#include <vexa/alpha_buffer_surface.h>
#include <vexa/buffer_surface.h>
#include <vexa/dib_section_surface.h>

#include "palette/grey_palette.h"
#include "palette/palette_default.h"
#include "palette/palette_search.h"

namespace vexa {
namespace {

// The default colours as a palette object would hold them: flags cleared and, after entry
// 0, black replaced by (8, 0, 0).
PaletteObject* PrototypePalette() {
  static PaletteObject* const palette = [] {
    static PaletteObject storage{};
    const LOGPALETTE256 record = DefaultLogPalette();
    for (int i = 0; i < 256; ++i) {
      PALETTEENTRY entry = record.palPalEntry[i];
      entry.peFlags = 0;
      if (i > 0 && RgbOf(entry) == 0) entry = PALETTEENTRY{8, 0, 0, 0};
      storage.entries[i] = entry;
    }
    return FinishProcessPalette(&storage);
  }();
  return palette;
}

template <class Surface>
cSurfaceImplementation* MakeFormatted(int depth) {
  auto* prototype = new (std::nothrow) Surface();
  if (!prototype) return nullptr;
  if (!prototype->InitFormat(depth)) {
    prototype->Delete();
    return nullptr;
  }
  if (prototype->depth == 8) {
    ReleasePalette(prototype->palette);  // the building thread's default palette
    prototype->palette = AddPaletteRef(PrototypePalette());
  }
  return prototype;
}

}  // namespace

cSurfaceImplementation* MakeMemoryPrototype(int depth) {
  return MakeFormatted<cBufferSurface>(depth);
}
cSurfaceImplementation* MakeDIBSectionPrototype(int depth) {
  return MakeFormatted<cDIBSectionSurface>(depth);
}
cSurfaceImplementation* MakeDIBDCPrototype(int depth) {
  return MakeFormatted<cDIBDCSurface>(depth);
}

// Alpha surfaces take the shared grey palette rather than a default palette.
cSurfaceImplementation* MakeAlphaPrototype() {
  auto* prototype = new (std::nothrow) cAlphaBufferSurface();
  if (!prototype) return nullptr;
  prototype->SetPixelFormat(8);
  prototype->palette = AddPaletteRef(SharedGreyPalette());
  return prototype;
}

}  // namespace vexa
