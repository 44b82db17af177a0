// The entry points of a sound filter plug-in.
#include <cstring>
#include <new>

#include <vexa/filter_plugin.h>

#include "plugin_entry.h"

using vexa_plugin::kPlugin;

VEXA_PLUGIN_ENTRY void* CreateFilter(std::uint32_t /*userValue*/) {
  return static_cast<CSoundFilter*>(new (std::nothrow) vexa_plugin::SndfileFilter(kPlugin.kind));
}

VEXA_PLUGIN_ENTRY int CanReadFile(CInputFile* input) {
  return vexa_plugin::CanRead(kPlugin.kind, input) ? 1 : 0;
}

VEXA_PLUGIN_ENTRY std::uint32_t GetFilterID() {
  std::uint32_t id = 0;
  std::memcpy(&id, kPlugin.id, 4);
  return id;
}

VEXA_PLUGIN_ENTRY const char* GetFilterName() { return kPlugin.name; }

VEXA_PLUGIN_ENTRY const char* const* GetFilterExts() { return kPlugin.exts; }
