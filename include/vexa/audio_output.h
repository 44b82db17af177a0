// The process's audio output: the sound card (through SDL), or a null output that mixes only
// when the host asks for samples. A headless host (a test, a recording, a server) selects the
// null output before it loads the sound filters and then pumps the mixer once per frame; what
// it gets is exactly what the sound card would have played.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/wintypes.h>

inline constexpr int kAudioOutputDevice = 0;  // the default SDL audio device (the default)
inline constexpr int kAudioOutputNull = 1;    // mixes only in PumpAudioOutput

// Chooses the output for devices opened from now on (the first sound filter load opens one).
VEXA_API void SelectAudioOutput(int output);
// Mixes `frames` frames of the null output into `samples` (interleaved signed 16-bit, room for
// frames x channels of GetAudioOutputFormat) and returns the samples written; 0 for a null
// buffer, frames <= 0, or when the device output is selected.
VEXA_API int PumpAudioOutput(std::int16_t* samples, int frames);
// The format the mixer produces (PCM, 16 bits); 0 with a null pointer.
VEXA_API int GetAudioOutputFormat(WAVEFORMATEX* format);
