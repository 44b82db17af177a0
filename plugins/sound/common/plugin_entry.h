// What each sound plug-in defines: its identifier, name, extensions and the formats it takes.
// The entry points the filter manager looks up (plugin_entry.cpp) are the same for all.
#pragma once

#include "sndfile_filter.h"

namespace vexa_plugin {

struct PluginInfo {
  char id[5];  // four characters, spelled in memory order
  const char* name;
  const char* const* exts;  // null-terminated
  SndfileKind kind;
};

extern const PluginInfo kPlugin;

}  // namespace vexa_plugin
