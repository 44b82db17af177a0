// "WAVE": RIFF, RIFX (big-endian) and RF64 wave files, with any encoding libsndfile decodes.
#include "../common/plugin_entry.h"

using vexa_plugin::PluginInfo;

namespace {
const int kMajors[] = {SF_FORMAT_WAV, SF_FORMAT_WAVEX, SF_FORMAT_RF64, 0};
const char* const kExts[] = {"wav", "wave", nullptr};
}  // namespace

const PluginInfo vexa_plugin::kPlugin = {"WAVE", "Wave audio", kExts, {kMajors, nullptr}};
