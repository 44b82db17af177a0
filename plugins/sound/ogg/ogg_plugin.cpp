// "OGG ": Ogg Vorbis and Ogg Opus. Other codecs in an Ogg container are refused.
#include "../common/plugin_entry.h"

using vexa_plugin::PluginInfo;

namespace {
const int kMajors[] = {SF_FORMAT_OGG, 0};
const char* const kExts[] = {"ogg", "oga", "opus", nullptr};
bool VorbisOrOpus(int subtype) { return subtype == SF_FORMAT_VORBIS || subtype == SF_FORMAT_OPUS; }
}  // namespace

const PluginInfo vexa_plugin::kPlugin = {
    "OGG ", "Ogg Vorbis and Opus audio", kExts, {kMajors, VorbisOrOpus}};
