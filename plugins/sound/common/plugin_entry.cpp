// The entry points of a sound filter plug-in.
#include <cstring>
#include <new>

#include "plugin_entry.h"

#define VEXA_PLUGIN_ENTRY extern "C" __attribute__((visibility("default")))

using vexa_plugin::kPlugin;

VEXA_PLUGIN_ENTRY CSoundFilter* CreateFilter(int /*userValue*/) {
  return new (std::nothrow) vexa_plugin::SndfileFilter(kPlugin.kind);
}

VEXA_PLUGIN_ENTRY int CanReadFile(CInputFile* stream) {
  return vexa_plugin::CanRead(kPlugin.kind, stream) ? 1 : 0;
}

VEXA_PLUGIN_ENTRY DWORD GetFilterID() {
  DWORD id = 0;
  std::memcpy(&id, kPlugin.id, 4);
  return id;
}

VEXA_PLUGIN_ENTRY const char* GetFilterName() { return kPlugin.name; }

VEXA_PLUGIN_ENTRY const char* const* GetFilterExts() { return kPlugin.exts; }
