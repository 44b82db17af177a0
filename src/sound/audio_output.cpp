#include <vexa/audio_output.h>

#include <algorithm>
#include <vector>

#include "platform/audio/audio.h"

void SelectAudioOutput(int output) {
  plat::audio::SelectOutput(output == kAudioOutputNull ? plat::audio::Output::kNull
                                                       : plat::audio::Output::kSdl);
}

int PumpAudioOutput(std::int16_t* samples, int frames) {
  if (!samples || frames <= 0 || plat::audio::SelectedOutput() != plat::audio::Output::kNull) {
    return 0;
  }
  const std::vector<std::int16_t> mixed = plat::audio::Pump(DWORD(frames));
  std::copy(mixed.begin(), mixed.end(), samples);
  return int(mixed.size());
}

int GetAudioOutputFormat(WAVEFORMATEX* format) {
  if (!format) return 0;
  *format = plat::audio::OutputFormat();
  return 1;
}
