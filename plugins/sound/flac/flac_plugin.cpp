// "FLAC": native FLAC streams.
#include "../common/plugin_entry.h"

using vexa_plugin::PluginInfo;

namespace {
const int kMajors[] = {SF_FORMAT_FLAC, 0};
const char* const kExts[] = {"flac", nullptr};
}  // namespace

const PluginInfo vexa_plugin::kPlugin = {"FLAC", "FLAC audio", kExts, {kMajors, nullptr}};
