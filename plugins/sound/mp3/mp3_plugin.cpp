// "MP3 ": MPEG audio layer I-III files.
#include "../common/plugin_entry.h"

using vexa_plugin::PluginInfo;

namespace {
const int kMajors[] = {SF_FORMAT_MPEG, 0};
const char* const kExts[] = {"mp3", "mp2", "mpga", nullptr};
}  // namespace

const PluginInfo vexa_plugin::kPlugin = {"MP3 ", "MPEG audio", kExts, {kMajors, nullptr}};
