// The application context's palette: reading and searching it, replacing it, and pushing it
// into the context's windows and their back buffers.
#include <algorithm>
#include <cstring>
#include <mutex>

#include <vexa/game_window.h>
#include <vexa/image_bank.h>
#include <vexa/palette.h>
#include <vexa/surface_object.h>

#include "base/application_contexts.h"
#include "palette/palette_default.h"
#include "platform/gdi/gdi.h"
#include "platform/palette/palette_handle.h"
#include "platform/window/window.h"
#include "window/game_window.h"
#include "window/window_internal.h"

namespace vexa::window {
namespace {

constexpr int kFormatMask = 0xF;
constexpr int kFormat8 = 3;

bool TrueColour(int format) {
  format &= kFormatMask;
  return format == 4 || format == 6 || format == 7 || format == 8;
}

// The palette a format reads: the context's for 8-bit contexts, the default otherwise. The
// caller drops the reference it gets.
PaletteObject* PaletteFor(ImageBank* context, int format) {
  if ((format & kFormatMask) == kFormat8 && context) return AddPaletteRef(context->palette);
  return GetDefaultPalette();
}

struct PaletteRef {
  PaletteObject* palette;
  ~PaletteRef() {
    if (palette) ReleasePalette(palette);
  }
};

// The library-wide logical palette that system palettes are built from.
std::mutex& LibraryPaletteLock() {
  static std::mutex lock;
  return lock;
}
LOGPALETTE256& LibraryPalette() {
  static LOGPALETTE256 palette = [] {
    LOGPALETTE256 p = DefaultLogPalette();
    p.palVersion = kLogPaletteVersion;
    p.palNumEntries = 256;
    return p;
  }();
  return palette;
}

// Palette selection into contexts waits while a window is full-screen, unless that window
// allows it (state bit 0x2).
bool SelectionAllowed() {
  for (ImageBank* context : ThreadApplicationContexts())
    for (GameWindow* w = context->windows; w; w = w->next)
      if (w->window && plat::IsFullScreen(w->window) && !(w->state & kGameStateFullScreenPalette))
        return false;
  return true;
}

void PushToWindows(ImageBank* context, HPALETTE oldHandle, HPALETTE handle, bool all) {
  if ((context->formatWord & kFormatMask) != kFormat8) return;
  const bool select = SelectionAllowed();
  for (GameWindow* w = context->windows; w; w = w->next) {
    if (!all && w->selectedPalette != oldHandle) continue;
    if (select) SelectWindowPalette(w, handle);
    w->selectedPalette = handle;
    if (w->backBuffer && w->backBuffer->GetDepth() == 8)
      w->backBuffer->SetPalette(context->palette, 0);
  }
}

// Steps 1-4 of a replacement. `palette` null reads the entries of `handle` (null: the
// library-wide palette). 1 on success.
int Replace(ImageBank* context, HPALETTE handle, PaletteObject* palette, bool all) {
  PaletteObject* taken = nullptr;
  if (palette) {
    // The new reference first: the same palette set again must not be freed on the way.
    taken = AddPaletteRef(palette);
  } else {
    LOGPALETTE256 record{};
    record.palVersion = kLogPaletteVersion;
    record.palNumEntries = 256;
    if (handle) {
      if (plat::GetPaletteHandleEntries(handle, 0, 256, record.palPalEntry) <= 0) return 0;
    } else {
      std::lock_guard<std::mutex> guard(LibraryPaletteLock());
      record = LibraryPalette();
    }
    taken = CreatePaletteObject(reinterpret_cast<const LOGPALETTE*>(&record));
    if (!taken) return 0;
  }
  const HPALETTE oldHandle = context->paletteHandle;
  if (context->palette) ReleasePalette(context->palette);
  context->palette = taken;
  context->paletteMode = kFormat8;
  context->paletteHandle = handle ? handle : GetPaletteHandle(taken);
  if (context->workSurface && context->workSurface->GetDepth() == 8)
    context->workSurface->SetPalette(taken, 0);
  PushToWindows(context, oldHandle, context->paletteHandle, all);
  return 1;
}

}  // namespace

void SelectWindowPalette(GameWindow* window, HPALETTE palette) {
  if (!window->dc || !palette) return;
  const HPALETTE previous = plat::SelectPalette(window->dc, palette, 0);
  if (!window->previousPalette) window->previousPalette = previous;
  plat::RealizePalette(window->dc);
}

void RestoreWindowPalette(GameWindow* window) {
  if (window->dc && window->previousPalette)
    plat::SelectPalette(window->dc, window->previousPalette, 0);
  window->previousPalette = nullptr;
  window->selectedPalette = nullptr;
}

}  // namespace vexa::window

using namespace vexa;
using namespace vexa::window;

int GetContextPaletteEntries(LOGPALETTE* buffer, int format, ImageBank* context) {
  PaletteRef ref{PaletteFor(context, format)};
  if (!ref.palette) return 0;
  const int count = std::clamp<int>(ref.palette->entryCount, 0, 256);
  if (buffer) {
    buffer->palVersion = ref.palette->version;
    buffer->palNumEntries = static_cast<WORD>(count);
    for (int i = 0; i < count; ++i) {
      buffer->palPalEntry[i] = ref.palette->entries[i];
      buffer->palPalEntry[i].peFlags = 0;
    }
  }
  return count;
}

COLORREF GetContextPaletteColor(ImageBank* context, int format, int index) {
  PaletteRef ref{PaletteFor(context, format)};
  if (!ref.palette || index < 0 || index >= ref.palette->entryCount) return 0;
  const PALETTEENTRY& e = ref.palette->entries[index];
  return static_cast<COLORREF>(e.peRed | (e.peGreen << 8) | (e.peBlue << 16));
}

int GetContextNearestIndex(ImageBank* context, int format, COLORREF color) {
  if (TrueColour(format)) return -1;
  if ((color >> 24) == 1) return static_cast<int>(color & 0xFFFF);
  PaletteRef ref{PaletteFor(context, format)};
  if (!ref.palette) return -1;
  color &= 0xFFFFFF;
  if ((format & kFormatMask) == kFormat8) {
    // The static colours keep their own indexes when they match exactly.
    auto exact = [&](int first, int last) {
      for (int i = first; i <= last && i < ref.palette->entryCount; ++i) {
        const PALETTEENTRY& e = ref.palette->entries[i];
        if (static_cast<COLORREF>(e.peRed | (e.peGreen << 8) | (e.peBlue << 16)) == color) return i;
      }
      return -1;
    };
    if (int i = exact(0, kStaticLowCount - 1); i >= 0) return i;
    if (int i = exact(kStaticHighFirst, 255); i >= 0) return i;
  }
  return GetNearestIndex(ref.palette, color);
}

int GetContextPaletteMode(ImageBank* context) {
  return context ? static_cast<int>(context->paletteMode) : static_cast<int>(kPaletteModeNone);
}

int SetContextPalette(ImageBank* context, HPALETTE handle, PaletteObject* palette) {
  if (!context) return 0;
  return Replace(context, handle, palette, false);
}

int SelectContextPalette(ImageBank* context, HPALETTE handle) {
  if (!context) return 0;
  if (handle && handle == context->paletteHandle) {
    // The same palette: only windows made since get it.
    PushToWindows(context, handle, handle, true);
    return 1;
  }
  return Replace(context, handle, nullptr, true);
}

HPALETTE CreateSystemPalette(const LOGPALETTE* record) {
  std::lock_guard<std::mutex> guard(LibraryPaletteLock());
  LOGPALETTE256& library = LibraryPalette();
  if (record) {
    // Entries 10-245, as far as the record has them.
    const int last = std::min<int>(record->palNumEntries, kStaticHighFirst);
    for (int i = kStaticLowCount; i < last; ++i) {
      library.palPalEntry[i] = record->palPalEntry[i];
      library.palPalEntry[i].peFlags = kNoCollapseFlag;
    }
  }
  return plat::CreatePaletteHandle(reinterpret_cast<const LOGPALETTE*>(&library));
}

PaletteObject* CreateContextPaletteObject(const LOGPALETTE* record) {
  return CreatePaletteObject(record);
}

void ReleaseContextPaletteObject(PaletteObject* palette) {
  if (palette) ReleasePalette(palette);
}
